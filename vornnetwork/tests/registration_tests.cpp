#include "server_library.h"

#include "com/text.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <utility>

namespace {

const std::string clsidText = com::GuidToString(CLSID_VornLANNetwork);
const std::string libidText = com::GuidToString(LIBID_VORNNETWORKLib);

std::optional<std::string> ReadText(const std::string& keyName, const char* valueName = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    char buffer[4096];
    DWORD size = sizeof buffer;
    const LONG result =
        RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(buffer);
}

bool KeyExists(const std::string& keyName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

int RunRegsvr32(const std::string& arguments) {
    const std::string command =
        std::string(REGSVR32_PROGRAM) + " /s " + arguments + " " + VORNNETWORK_LIBRARY;
    return std::system(command.c_str());
}

// Exit code and everything regsvr32 wrote to its outputs.
std::pair<int, std::string> RunRegsvr32WithOutput(const std::string& arguments) {
    const std::string command =
        std::string(REGSVR32_PROGRAM) + " " + arguments + " " + VORNNETWORK_LIBRARY + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    if (pipe == nullptr) {
        return {-1, output};
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string LibraryPath() {
    char path[4096];
    return realpath(VORNNETWORK_LIBRARY, path) != nullptr ? path : "";
}

TEST(Registration, Regsvr32WritesTheRegistrationTable) {
    UseFreshRegistry();
    ASSERT_EQ(RunRegsvr32(""), 0);

    EXPECT_EQ(ReadText("VornNetwork.VornLANNetwork.1"), "VornLANNetwork Class");
    EXPECT_EQ(ReadText("VornNetwork.VornLANNetwork.1\\CLSID"), clsidText);
    EXPECT_EQ(ReadText("VornNetwork.VornLANNetwork"), "VornLANNetwork Class");
    EXPECT_EQ(ReadText("VornNetwork.VornLANNetwork\\CLSID"), clsidText);

    const std::string classKey = "CLSID\\" + clsidText;
    EXPECT_EQ(ReadText(classKey), "VornLANNetwork Class");
    EXPECT_EQ(ReadText(classKey + "\\ProgID"), "VornNetwork.VornLANNetwork.1");
    EXPECT_EQ(ReadText(classKey + "\\VersionIndependentProgID"), "VornNetwork.VornLANNetwork");
    EXPECT_EQ(ReadText(classKey + "\\InprocServer32"), LibraryPath());
    EXPECT_EQ(ReadText(classKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ReadText(classKey + "\\TypeLib"), libidText);
}

TEST(Registration, ProgIdResolvesThroughCurVer) {
    UseFreshRegistry();
    ASSERT_EQ(RunRegsvr32(""), 0);
    const auto current = ReadText("VornNetwork.VornLANNetwork\\CurVer");
    ASSERT_EQ(current, "VornNetwork.VornLANNetwork.1");
    EXPECT_EQ(ReadText(*current + "\\CLSID"), clsidText);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"VornNetwork.VornLANNetwork", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_VornLANNetwork);
    ASSERT_EQ(CLSIDFromProgID(u"VornNetwork.VornLANNetwork.1", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_VornLANNetwork);
}

TEST(Registration, TypeLibraryIsRegistered) {
    UseFreshRegistry();
    ASSERT_EQ(RunRegsvr32(""), 0);
    const std::string versionKey = "TypeLib\\" + libidText + "\\1.0";
    EXPECT_EQ(ReadText(versionKey), "VornNetwork 1.0 Type Library");
    EXPECT_EQ(ReadText(versionKey + "\\409\\win64"), LibraryPath());
    EXPECT_EQ(ReadText(versionKey + "\\FLAGS"), "0");
    EXPECT_TRUE(KeyExists(versionKey + "\\HELPDIR"));
}

TEST(Registration, UnregisterRemovesTheClassButKeepsClsid) {
    UseFreshRegistry();
    ASSERT_EQ(RunRegsvr32(""), 0);
    ASSERT_EQ(RunRegsvr32("/u"), 0);
    EXPECT_FALSE(KeyExists("VornNetwork.VornLANNetwork.1"));
    EXPECT_FALSE(KeyExists("VornNetwork.VornLANNetwork"));
    EXPECT_FALSE(KeyExists("CLSID\\" + clsidText));
    EXPECT_TRUE(KeyExists("CLSID"));
    EXPECT_FALSE(KeyExists("TypeLib\\" + libidText));
}

TEST(Registration, ExportsReportRegistrationResults) {
    UseFreshRegistry();
    ASSERT_NE(Server().module, nullptr);
    EXPECT_EQ(Server().DllRegisterServer(), S_OK);
    EXPECT_TRUE(KeyExists("CLSID\\" + clsidText + "\\InprocServer32"));
    EXPECT_EQ(Server().DllUnregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists("CLSID\\" + clsidText));
}

TEST(Registration, ClientProcessCreatesTheObjectByProgId) {
    UseFreshRegistry();
    EXPECT_NE(std::system(VORN_CLIENT_PROGRAM), 0); // not registered yet
    ASSERT_EQ(RunRegsvr32(""), 0);
    EXPECT_EQ(std::system(VORN_CLIENT_PROGRAM), 0);
}

TEST(Registration, Regsvr32ReportsDamagedLinesAndAFileItCannotWrite) {
    const std::filesystem::path file = UseFreshRegistry();
    std::ofstream(file) << "K HKEY_CLASSES_ROOT\\Other\nV 1 ZZ \nV 1 6F6B00 kept\nV 1 41";
    const auto [code, output] = RunRegsvr32WithOutput("/s");
    EXPECT_EQ(code, 0) << output;
    EXPECT_EQ(output, "regsvr32: registry: line 2 of " + file.string() +
                          " is damaged, skipped\nregsvr32: registry: line 4 of " + file.string() +
                          " is truncated, skipped\n");
    EXPECT_EQ(ReadText("Other", "kept"), "ok");
    EXPECT_EQ(ReadText("VornNetwork.VornLANNetwork\\CLSID"), clsidText);

    // The temporary file beside the registry cannot be made: the failure is named, and the
    // registration stays.
    const std::filesystem::path blocker = file.string() + ".new";
    std::filesystem::create_directory(blocker);
    const auto [failed, message] = RunRegsvr32WithOutput("/s /u");
    std::filesystem::remove(blocker);
    EXPECT_EQ(failed, 5);
    EXPECT_NE(
        message.find("regsvr32: registry: cannot write " + file.string() + ": Is a directory\n"),
        std::string::npos)
        << message;
    EXPECT_NE(message.find("failed with 0x800703F5: the registry file could not be written\n"),
              std::string::npos)
        << message;
    EXPECT_EQ(ReadText("VornNetwork.VornLANNetwork\\CLSID"), clsidText);
}

} // namespace
