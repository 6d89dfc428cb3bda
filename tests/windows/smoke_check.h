// What the Windows smoke programs share: checks that count their failures.
#pragma once

#include <cstdio>

class Checks {
public:
    // Reports a failed check with its description; returns the condition.
    bool operator()(bool condition, const char* what) {
        if (!condition) {
            std::printf("FAILED: %s\n", what);
            std::fflush(stdout);
            ++failures_;
        }
        return condition;
    }
    // The program's exit code.
    int Result(const char* program) const {
        if (failures_ == 0)
            std::printf("%s: every check passed\n", program);
        else
            std::printf("%s: %d checks failed\n", program, failures_);
        return failures_ == 0 ? 0 : 1;
    }

private:
    int failures_ = 0;
};
