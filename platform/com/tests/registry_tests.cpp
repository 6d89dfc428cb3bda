// The registry file when it is damaged and when a save fails or is cut short.
#include "debug_lines.h"
#include "win32/extensions.h"
#include "windows.h"
#include "winreg.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// A value as text, or the error code of the lookup.
std::string Query(const char* keyName, const char* valueName) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName, 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS) {
        return "error " + std::to_string(result);
    }
    char buffer[256] = {};
    DWORD size = sizeof buffer - 1;
    result =
        RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(buffer, size) : "error " + std::to_string(result);
}

LONG SetText(const char* keyName, const char* valueName, const std::string& text) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(HKEY_CLASSES_ROOT, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
        result =
            RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                           static_cast<DWORD>(text.size()));
        RegCloseKey(key);
    }
    return result;
}

class RegistryFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("registry-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        file_ = folder_ / "registry.txt";
        setenv("VORN_REGISTRY_FILE", file_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("VORN_REGISTRY_FILE");
        fs::remove_all(folder_);
    }

    std::string Line(int number, const char* what) const {
        return "registry: line " + std::to_string(number) + " of " + file_.string() + " " + what +
               ", skipped\n";
    }

    fs::path folder_;
    fs::path file_;
};

TEST_F(RegistryFile, DamagedLinesAreSkippedWithADebugLineAndTheRestIsRead) {
    WriteFile(file_, "K HKEY_CLASSES_ROOT\\Good\n"
                     "V 1 6F6B first\n"
                     "V 1 ZZ second\n"             // 3: not hex
                     "V 1 6F6 third\n"             // 4: half a byte
                     "V ZZ 6F6B fourth\n"          // 5: no type
                     "V 1\n"                       // 6: no data
                     "V 1 6F6B a b\n"              // 7: a field too many
                     "X 1 6F6B fifth\n"            // 8: no such line
                     "V 1 6F6B bad%G1name\n"       // 9: broken escape
                     "V 1 6F\x01\x02 sixth\n"      // 10: control bytes
                     "K HKEY_CLASSES_ROOT\\B%ZZ\n" // 11: broken escape in a key
                     "V 1 6F6B lost\n"             // 12: its value
                     "K Nowhere\\Key\n"            // 13: no predefined key
                     "K HKEY_CLASSES_ROOT\\Later\n"
                     "V 1 6F6B%20two seventh\n" // 15: an escape in the data
                     "V 1 6F6B eighth\n"
                     "V 1 6F6"); // 17: cut short
    DebugLines debug;
    EXPECT_EQ(Query("Good", "first"), "ok");
    EXPECT_EQ(Query("Later", "eighth"), "ok");
    for (const char* name : {"second", "third", "fourth", "fifth", "sixth"}) {
        EXPECT_EQ(Query("Good", name), "error 2") << name; // ERROR_FILE_NOT_FOUND
    }
    EXPECT_EQ(Query("Later", "seventh"), "error 2");
    EXPECT_EQ(Query("B", "lost"), "error 2");
    const auto lines = debug.Take();
    // Each lookup reads the file again: the first one's lines are those of the file.
    ASSERT_GE(lines.size(), 13u);
    const std::vector<std::string> first(lines.begin(), lines.begin() + 13);
    EXPECT_EQ(first, (std::vector<std::string>{
                         Line(3, "is damaged"), Line(4, "is damaged"), Line(5, "is damaged"),
                         Line(6, "is damaged"), Line(7, "is damaged"), Line(8, "is damaged"),
                         Line(9, "is damaged"), Line(10, "is damaged"), Line(11, "is damaged"),
                         Line(12, "belongs to no key"), Line(13, "is damaged"),
                         Line(15, "is damaged"), Line(17, "is truncated")}));
}

TEST_F(RegistryFile, AWriteToADamagedFileKeepsTheOldFileBesideItAndLeavesACleanOne) {
    const std::string damaged = "K HKEY_CLASSES_ROOT\\Good\nV 1 6F6B first\nV 1 ZZ second\n";
    WriteFile(file_, damaged);
    EXPECT_EQ(SetText("Good", "new", "yes"), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(folder_ / "registry.txt.damaged"), damaged);
    DebugLines debug;
    EXPECT_EQ(Query("Good", "first"), "ok");
    EXPECT_EQ(Query("Good", "new"), "yes");
    EXPECT_TRUE(debug.Take().empty());
    EXPECT_EQ(ReadFile(file_).find("ZZ"), std::string::npos);
}

// Random bytes, or lines of random fields in the file's own alphabet.
std::string RandomText(std::mt19937& random, bool asLines) {
    std::string text;
    const std::size_t length = random() % 400;
    if (!asLines) {
        while (text.size() < length) {
            text.push_back(static_cast<char>(random() % 256));
        }
        return text;
    }
    constexpr std::string_view alphabet = "0123456789ABCDEFZ%-\\";
    while (text.size() < length) {
        text += random() % 3 == 0 ? "K" : "V";
        for (std::size_t field = random() % 5; field > 0; --field) {
            text += ' ';
            for (std::size_t i = random() % 6; i > 0; --i) {
                text += alphabet[random() % alphabet.size()];
            }
        }
        text += '\n';
    }
    return text;
}

TEST_F(RegistryFile, RandomBytesNeverEndTheReaderAndLookupsFailWithRegistryCodes) {
    std::mt19937 random(17);
    const std::string good = "K HKEY_CLASSES_ROOT\\Good\nV 1 6F6B first\n";
    for (int round = 0; round < 150; ++round) {
        const bool keepGood = round % 3 != 0;
        WriteFile(file_, (keepGood ? good : "") + RandomText(random, round % 3 == 2));
        DebugLines debug;
        HKEY key = nullptr;
        const LONG opened = RegOpenKeyExA(HKEY_CLASSES_ROOT, "Good", 0, KEY_READ, &key);
        EXPECT_TRUE(opened == ERROR_SUCCESS || opened == ERROR_FILE_NOT_FOUND) << round;
        if (opened == ERROR_SUCCESS) {
            char name[64];
            DWORD size = sizeof name;
            const LONG enumerated =
                RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
            EXPECT_TRUE(enumerated == ERROR_SUCCESS || enumerated == ERROR_NO_MORE_ITEMS) << round;
            RegCloseKey(key);
        }
        if (keepGood) {
            EXPECT_EQ(Query("Good", "first"), "ok") << round;
        }
        // A write over it succeeds, and what it leaves reads without a complaint.
        EXPECT_EQ(SetText("After", "v", "w"), ERROR_SUCCESS) << round;
        debug.Take();
        EXPECT_EQ(Query("After", "v"), "w") << round;
        EXPECT_TRUE(debug.Take().empty()) << round;
    }
}

// A registry of some size, so that a save takes more than a few bytes.
void FillRegistry() {
    for (int i = 0; i < 50; ++i) {
        const std::string name = "Key" + std::to_string(i);
        ASSERT_EQ(SetText(name.c_str(), "value", std::string(200, static_cast<char>('a' + i % 26))),
                  ERROR_SUCCESS);
    }
}

// Runs `save` in a child process whose files may not grow beyond 4 KB; the child's wait
// status.
int SaveInChildWithSmallFileLimit(bool ignoreSignal, const std::function<LONG()>& save) {
    const pid_t child = fork();
    if (child == 0) {
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (ignoreSignal) {
            signal(SIGXFSZ, SIG_IGN);
        }
        _exit(save() == ERROR_CANTWRITE ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

TEST_F(RegistryFile, ASaveCutShortLeavesTheOldFileIntact) {
    FillRegistry();
    const std::string before = ReadFile(file_);
    ASSERT_GT(before.size(), 8000u);
    const auto save = [] { return SetText("Key7", "value", "changed"); };

    // The file limit ends the child in the middle of writing.
    const int killed = SaveInChildWithSmallFileLimit(false, save);
    ASSERT_TRUE(WIFSIGNALED(killed)) << killed;
    EXPECT_EQ(WTERMSIG(killed), SIGXFSZ);
    EXPECT_EQ(ReadFile(file_), before);

    // With the signal ignored the write fails, the call says so and leaves nothing behind.
    const int failed = SaveInChildWithSmallFileLimit(true, save);
    ASSERT_TRUE(WIFEXITED(failed)) << failed;
    EXPECT_EQ(WEXITSTATUS(failed), 0) << "RegSetValueExA did not report ERROR_CANTWRITE";
    EXPECT_EQ(ReadFile(file_), before);
    EXPECT_FALSE(fs::exists(folder_ / "registry.txt.new"));

    // The next save, without a limit, goes through.
    EXPECT_EQ(save(), ERROR_SUCCESS);
    EXPECT_EQ(Query("Key7", "value"), "changed");
}

TEST_F(RegistryFile, EveryWriteReportsAFailedSaveAndChangesNothing) {
    SetText("Keep", "value", "kept");
    const std::string before = ReadFile(file_);
    // The temporary file cannot be made: a folder has its name.
    fs::create_directory(folder_ / "registry.txt.new");
    DebugLines debug;
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Other", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_WRITE, nullptr, &key, nullptr),
              static_cast<LONG>(ERROR_CANTWRITE));
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Keep", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "value", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 1),
              static_cast<LONG>(ERROR_CANTWRITE));
    EXPECT_EQ(RegDeleteValueA(key, "value"), static_cast<LONG>(ERROR_CANTWRITE));
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "Keep"), static_cast<LONG>(ERROR_CANTWRITE));
    EXPECT_EQ(ReadFile(file_), before);
    EXPECT_EQ(Query("Keep", "value"), "kept");
    const auto lines = debug.Take();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "registry: cannot write " + file_.string() + ": Is a directory\n");
}

TEST_F(RegistryFile, AnUnreadableFileFailsLookupsAndIsNotOverwritten) {
    // A folder where the file should be: it exists but cannot be read as a file.
    fs::create_directory(file_);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Any", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_BADDB));
    EXPECT_EQ(SetText("Any", "v", "w"), static_cast<LONG>(ERROR_CANTWRITE));
    EXPECT_TRUE(fs::is_directory(file_));
}

} // namespace
