#include "win32/extensions.h"
#include "windows.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr std::array<BYTE, 4> typelibBytes{'M', 'S', 'F', 'T'};
constexpr std::array<BYTE, 3> scriptBytes{'H', 'K', 'R'};

class ModuleResources : public ::testing::Test {
protected:
    void SetUp() override {
        module = win32::RegisterModuleResources(reinterpret_cast<const void*>(&typelibBytes),
                                                {{std::string("TYPELIB"), WORD{1}, typelibBytes},
                                                 {std::string("REGISTRY"), WORD{102}, scriptBytes}},
                                                {{100, "Project"}});
    }
    void TearDown() override { win32::UnregisterModuleResources(module); }

    HMODULE module = nullptr;
};

TEST_F(ModuleResources, FindsResourcesByNumberAndTypeName) {
    EXPECT_EQ(module, GetModuleHandleA(nullptr));
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(1), "typelib");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(SizeofResource(module, info), 4u);
    const void* data = LockResource(LoadResource(module, info));
    EXPECT_EQ(std::memcmp(data, "MSFT", 4), 0);

    HRSRC script = FindResourceA(module, "#102", "REGISTRY");
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(SizeofResource(module, script), 3u);
}

TEST_F(ModuleResources, MissingResourcesReportWhatIsMissing) {
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(2), "TYPELIB"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(1), "BITMAP"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST_F(ModuleResources, LoadStringCopiesAndTruncates) {
    char buffer[32];
    EXPECT_EQ(LoadStringA(module, 100, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "Project");
    EXPECT_EQ(LoadStringA(module, 100, buffer, 4), 3);
    EXPECT_STREQ(buffer, "Pro");
    EXPECT_EQ(LoadStringA(module, 101, buffer, sizeof buffer), 0);
}

TEST_F(ModuleResources, ModuleFileNameIsTheProgram) {
    char path[4096];
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_NE(std::string(path).find("win32_tests"), std::string::npos);
    char whole[4096];
    EXPECT_EQ(GetModuleFileNameA(nullptr, whole, sizeof whole), length);
}

// Reads the UTF-16 string at `offset`, as far as its terminator.
std::string ReadKey(const std::vector<BYTE>& block, size_t offset) {
    std::string key;
    for (; block.at(offset) != 0 || block.at(offset + 1) != 0; offset += 2) {
        key.push_back(static_cast<char>(block[offset]));
    }
    return key;
}

WORD ReadWord(const std::vector<BYTE>& block, size_t offset) {
    return static_cast<WORD>(block.at(offset) | (block.at(offset + 1) << 8));
}

TEST(VersionResource, BuildsAVersionInfoTreeWithTheStrings) {
    const std::vector<BYTE> block =
        win32::BuildVersionResource(0x00010000, 0x00000001, {{"OLESelfRegister", ""}});
    EXPECT_EQ(ReadWord(block, 0), block.size());
    EXPECT_EQ(ReadWord(block, 2), 52);
    EXPECT_EQ(ReadKey(block, 6), "VS_VERSION_INFO");
    // The fixed information follows the key, aligned: 6 + 32 bytes of key, 2 of padding.
    EXPECT_EQ(ReadWord(block, 40), 0x04BD);
    EXPECT_EQ(ReadWord(block, 42), 0xFEEF);
    EXPECT_EQ(ReadWord(block, 40 + 10), 1); // dwFileVersionMS high word

    // Each child starts after its parent's key (6 bytes of header, then UTF-16 with the
    // terminator), aligned to 4 bytes.
    auto firstChild = [](size_t node, size_t keyLength) {
        return (node + 6 + 2 * (keyLength + 1) + 3) & ~size_t{3};
    };
    const size_t stringFileInfo = 40 + 52;
    EXPECT_EQ(ReadKey(block, stringFileInfo + 6), "StringFileInfo");
    const size_t table = firstChild(stringFileInfo, 14);
    EXPECT_EQ(ReadKey(block, table + 6), "040904B0");
    const size_t entry = firstChild(table, 8);
    EXPECT_EQ(ReadKey(block, entry + 6), "OLESelfRegister");
    EXPECT_EQ(ReadWord(block, entry + 2), 1); // the empty value and its terminator
}

TEST(DebugOutput, LinesGoToTheInstalledSink) {
    std::vector<std::string> lines;
    auto previous =
        win32::SetDebugOutputSink([&lines](const char* text) { lines.push_back(text); });
    OutputDebugStringA("first line\n");
    OutputDebugStringA("second line\n");
    win32::SetDebugOutputSink(previous);
    OutputDebugStringA("not captured\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "first line\n");
    EXPECT_EQ(lines[1], "second line\n");
}

} // namespace
