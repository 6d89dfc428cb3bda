// The library as a module: what it exports, that unloading really unloads it, and that a
// game's process ends cleanly with its session open or closed.
#include "VornNetwork.h"
#include "harness.h"
#include "module_symbols.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <set>
#include <string>

namespace {

using dptest::PeerProcess;

bool Loaded() {
    void* handle = dlopen(VORNNETWORK_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    return handle != nullptr;
}

TEST(VornNetworkModule, ExportsTheFourEntryPointsAlone) {
    EXPECT_EQ(testmodule::ExportedSymbols(VORNNETWORK_LIBRARY),
              (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                     "DllUnregisterServer"}));
}

// Once its objects and class objects have gone the library may be unloaded, and then it is.
TEST(VornNetworkModule, UnloadsOnceItsObjectsHaveGone) {
    ASSERT_FALSE(Loaded());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        void* library = dlopen(VORNNETWORK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        const auto getClassObject = reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, LPVOID*)>(
            dlsym(library, "DllGetClassObject"));
        const auto canUnloadNow =
            reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllCanUnloadNow"));
        ASSERT_NE(getClassObject, nullptr);
        ASSERT_NE(canUnloadNow, nullptr);
        IClassFactory* factory = nullptr;
        ASSERT_EQ(getClassObject(CLSID_VornLANNetwork, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)),
                  S_OK);
        IVornLANNetwork* network = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IVornLANNetwork,
                                          reinterpret_cast<void**>(&network)),
                  S_OK);
        EXPECT_EQ(canUnloadNow(), S_FALSE);
        network->Release();
        factory->Release();
        EXPECT_EQ(canUnloadNow(), S_OK);
        EXPECT_EQ(dlclose(library), 0);
        EXPECT_FALSE(Loaded()) << "dlclose left the library loaded";
    }
}

class VornNetworkExit : public ::testing::Test {
protected:
    void SetUp() override { dptest::UseLoopbackSettings(1000); }

    static void ExpectCleanExit(PeerProcess& process, const char* who) {
        const int status = process.Wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << who << ": wait status " << status
            << (WIFSIGNALED(status) ? " (signal " + std::to_string(WTERMSIG(status)) + ")"
                                    : std::string());
    }
};

bool Succeeded(const std::string& answer) {
    return answer.starts_with("hr 00000000 ");
}

// A lobby server and a player return from main with their sessions open, nothing closed
// or released; then a host and its peer that closed everything first.
TEST_F(VornNetworkExit, AProcessEndsCleanlyWithItsSessionOpenOrClosed) {
    {
        PeerProcess server(VORN_PEER_PROGRAM);
        ASSERT_TRUE(Succeeded(server.Command("open 768 0 0 lobby")));
        PeerProcess player(VORN_PEER_PROGRAM);
        ASSERT_TRUE(Succeeded(player.Command("open 0 0 5 alice")));
        EXPECT_EQ(server.Command("text Create player ID=2"), "got text");
        ASSERT_TRUE(player.Send("leave"));
        ExpectCleanExit(player, "player leaving its session open");
        ASSERT_TRUE(server.Send("leave"));
        ExpectCleanExit(server, "lobby server leaving its session open");
    }
    PeerProcess host(VORN_PEER_PROGRAM);
    ASSERT_TRUE(Succeeded(host.Command("open 256 0 0 host")));
    PeerProcess peer(VORN_PEER_PROGRAM);
    ASSERT_TRUE(Succeeded(peer.Command("open 0 0 0 bob")));
    EXPECT_EQ(peer.Command("close"), "hr 00000000");
    EXPECT_EQ(host.Command("close"), "hr 00000000");
    for (PeerProcess* process : {&peer, &host}) {
        ASSERT_TRUE(process->Send("quit"));
        ExpectCleanExit(*process, "a process that closed first");
    }
}

} // namespace
