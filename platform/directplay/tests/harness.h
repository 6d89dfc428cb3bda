// Test set-up: the stand-in's settings for loopback-only runs, and peer processes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace dptest {

// Turns on the loopback-only switch, aims enumeration at the loopback broadcast address,
// gives both providers free ports of their own and a short keepalive. Child processes
// inherit it.
void UseLoopbackSettings(unsigned keepaliveMs = 1000);

// A peer process (dplay_peer unless another program is named) driven over its standard
// input; each command returns its one-line answer.
class PeerProcess {
public:
    PeerProcess();
    explicit PeerProcess(const std::string& program,
                         const std::vector<std::string>& arguments = {});
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    std::string Command(const std::string& line);
    // Writes one line to the process's standard input; false when the process is gone.
    bool Send(const std::string& line);
    // The next line the process writes: "peer silent" after timeoutMs, "peer gone" at its end.
    std::string ReadLine(int timeoutMs);
    pid_t Pid() const { return pid_; }
    // Ends the process at once, as a crash would.
    void Kill();
    // Waits for the process to end by itself and returns its wait status.
    int Wait();

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
};

// The word at `index` (from 0) of a peer's answer; empty past its last word.
std::string Word(const std::string& answer, int index);

// CPU time (user and system, in clock ticks) and resident memory (kB) of a process.
struct ProcessUsage {
    long ticks = 0;
    long residentKb = 0;
};
ProcessUsage UsageOf(pid_t pid);

} // namespace dptest
