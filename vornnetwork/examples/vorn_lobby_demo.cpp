// A small pool game on the command line: it creates the VornLANNetwork object through COM
// by its ProgID, opens it as lobby server, competitor or spectator of a group, prints every
// message its window receives, and sends what is typed on standard input.
//
//   vorn_lobby_demo server|player|spectator [group] [name] [address]
//
// With VORN_LOBBY_DEMO_QUIET set (to anything) the window takes its messages without printing
// them, as a benchmark's game does, and the demo prints "window messages N" when it ends.
//
// Commands on standard input (one a line):
//   group <text>      SendToGroup: the text to the other members of the group (cmd 100)
//   all <text>        SendToAll (cmd 100)
//   to <id> <text>    Send to one player (cmd 100)
//   state <text>      the group's game state (cmdSetState to the group)
//   server <text>     a message for the lobby server's game (cmdToServer)
//   quit              Close and leave (so does the end of the input)
#include "VornNetwork.h"
#include "netmessage.h"
#include "records.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

namespace {

constexpr UINT cmdChat = 100;
// Every copy of the demo plays the same game.
constexpr GUID kApplication{
    0x7A3E0202, 0x5151, 0x4242, {0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88}};

std::mutex outputLock;

// One line on standard output; the caller holds outputLock.
void WriteLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintLine(const std::string& line) {
    std::lock_guard guard(outputLock);
    WriteLine(line);
}

// A text payload on one line: a line break is shown as \n.
std::string OneLine(const BYTE* data, DWORD size) {
    std::string text;
    for (DWORD i = 0; i < size && data[i] != 0; ++i) {
        text += data[i] == '\n' ? std::string("\\n") : std::string(1, static_cast<char>(data[i]));
    }
    return text;
}

// The payload of the commands the demo knows, in words.
std::string DescribePayload(UINT cmd, const BYTE* data, DWORD size) {
    std::ostringstream out;
    if ((cmd == cmdText || cmd == cmdRefused || cmd == cmdChat || cmd == cmdSetState ||
         cmd == cmdToServer) &&
        size > 0) {
        out << " \"" << OneLine(data, size) << "\"";
    } else if (cmd == cmdStart && size == 5) {
        out << " seed " << ReadRecord<DWORD>(data) << " role " << int{data[4]};
    } else if (cmd == cmdLogin && size >= sizeof(LoginRecord)) {
        const auto login = ReadRecord<LoginRecord>(data);
        out << " " << login.player.szName << " id " << login.player.idPlayer << " flags "
            << login.player.dwFlags << " group " << login.player.idGroup;
    } else if (cmd == cmdSpectatorSnapshot && size >= 556) {
        // Two slots of (length 272, idPlayer, nUser, idGroup, dwFlags, name...), then the state.
        for (int slot = 0; slot < 2; ++slot) {
            const BYTE* at = data + slot * 276;
            out << " competitor " << ReadRecord<DWORD>(at + 4) << " " << OneLine(at + 20, 272 - 16);
        }
        out << " state " << ReadRecord<DWORD>(data + 552) << " bytes";
    }
    return out.str();
}

// The game's window: a thread that takes each posted network message, prints it (unless
// quiet) and frees its memory block.
class GameWindow {
public:
    explicit GameWindow(bool quiet) : quiet_(quiet), thread_([this] { Run(); }) {
        std::unique_lock guard(lock_);
        ready_.wait(guard, [this] { return window_ != nullptr; });
    }
    ~GameWindow() {
        // Posted behind every network message, the finish lets the thread take them all;
        // without it, destroying the window ends the thread at once.
        const bool finishing = PostMessageA(window_, kFinish, 0, 0) != FALSE;
        if (!finishing) {
            DestroyWindow(window_);
        }
        thread_.join();
        if (finishing) {
            DestroyWindow(window_);
        }
        if (quiet_) {
            PrintLine("window messages " + std::to_string(received_));
        }
    }
    GameWindow(const GameWindow&) = delete;
    GameWindow& operator=(const GameWindow&) = delete;

    HWND Handle() const { return window_; }

private:
    void Run() {
        const UINT networkMessage = RegisterWindowMessageA("Ballix network message");
        {
            std::lock_guard guard(lock_);
            window_ = CreateWindowExA(0, "VornLobbyDemo", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                      nullptr, nullptr);
        }
        ready_.notify_all();
        MSG msg{};
        while (GetMessageA(&msg, window_, 0, 0) > 0 && msg.message != kFinish) {
            if (msg.message == networkMessage) {
                ++received_;
                const auto block = reinterpret_cast<HGLOBAL>(msg.lParam);
                if (!quiet_) {
                    Print(block);
                }
                GlobalFree(block);
            }
        }
    }

    // Prints the message in the block; the caller frees it.
    static void Print(HGLOBAL block) {
        const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
        const SIZE_T size = GlobalSize(block);
        if (bytes != nullptr && size >= NetMessage::headerSize) {
            const auto header = ReadRecord<NetMessageHeader>(bytes);
            const DWORD declaredSize = header.nDataSize; // a copy: the record is packed
            const DWORD dataSize = std::min<DWORD>(declaredSize, size - NetMessage::headerSize);
            std::ostringstream line;
            line << "message cmd " << header.cmd << " type " << int{header.type} << " from "
                 << header.idFrom << " to " << header.idTo << " size " << header.nDataSize
                 << DescribePayload(header.cmd, bytes + NetMessage::headerSize, dataSize);
            PrintLine(line.str());
        }
        if (bytes != nullptr) {
            GlobalUnlock(block);
        }
    }

    // Ends the window's thread; posted by the destructor.
    static constexpr UINT kFinish = WM_USER;

    const bool quiet_;
    std::size_t received_ = 0; // network messages taken, read after the thread has ended
    std::mutex lock_;
    std::condition_variable ready_;
    HWND window_ = nullptr;
    std::thread thread_;
};

struct Options {
    DWORD dwFlags;
    INT idGroup = 1;
    std::string name = "player";
    std::string address;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    if (argc < 2) {
        return false;
    }
    const std::string role = argv[1];
    if (role == "server") {
        options.dwFlags = roleLobbyServer;
    } else if (role == "player") {
        options.dwFlags = roleCompetitor;
    } else if (role == "spectator") {
        options.dwFlags = roleSpectator;
    } else {
        return false;
    }
    if (argc > 2) {
        options.idGroup = std::atoi(argv[2]);
    }
    if (argc > 3) {
        options.name = argv[3];
    }
    if (argc > 4) {
        options.address = argv[4];
    }
    return true;
}

class Game {
public:
    Game(IVornLANNetwork* network, const Options& options) : network_(network) {
        player_.dwFlags = options.dwFlags;
        player_.idGroup = options.idGroup;
        std::snprintf(player_.szName, sizeof player_.szName, "%s", options.name.c_str());
        std::snprintf(player_.szInfo, sizeof player_.szInfo, "demo");
        std::snprintf(game_.szName, sizeof game_.szName, "pool of %s", options.name.c_str());
        if (!options.address.empty()) {
            std::string address = options.address;
            network_->SetAddress(reinterpret_cast<LPWSTR>(address.data()));
        }
    }
    ~Game() {
        network_->Close(player_.idGroup, static_cast<INT>(player_.idPlayer));
        network_->Release();
    }
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    HRESULT Open() {
        // The open line comes first: what the window receives meanwhile (a start that follows
        // the login at once) is printed after it.
        std::lock_guard guard(outputLock);
        GUID application = kApplication;
        const HRESULT hr =
            network_->Open(nullptr, &application, 0, reinterpret_cast<BYTE*>(&player_),
                           reinterpret_cast<BYTE*>(&game_), window_.Handle());
        char line[512];
        std::snprintf(line, sizeof line, "open hr %08x id %u flags %u group %d addresses [%s]",
                      static_cast<unsigned>(hr), static_cast<unsigned>(player_.idPlayer),
                      static_cast<unsigned>(player_.dwFlags), player_.idGroup, game_.szAddresses);
        WriteLine(line);
        return hr;
    }

    // One command line; false ends the game.
    bool Run(const std::string& line) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        std::string rest;
        std::getline(in >> std::ws, rest);
        HRESULT hr = S_OK;
        if (command == "quit") {
            return false;
        } else if (command == "group") {
            hr = SendText(&IVornLANNetwork::SendToGroup, player_.idGroup, cmdChat, rest);
        } else if (command == "state") {
            hr = SendText(&IVornLANNetwork::SendToGroup, player_.idGroup, cmdSetState, rest);
        } else if (command == "all") {
            hr = network_->SendToAll(player_.idPlayer, cmdChat, Bytes(rest), Size(rest), TRUE);
        } else if (command == "server") {
            hr = network_->SendToServer(player_.idPlayer, cmdToServer, Bytes(rest), Size(rest),
                                        TRUE);
        } else if (command == "to") {
            std::istringstream target(rest);
            UINT idTo = 0;
            std::string text;
            target >> idTo;
            std::getline(target >> std::ws, text);
            hr = SendText(&IVornLANNetwork::Send, idTo, cmdChat, text);
        } else if (!command.empty()) {
            PrintLine("unknown command " + command);
            return true;
        }
        if (FAILED(hr)) {
            char text[64];
            std::snprintf(text, sizeof text, "send failed %08x", static_cast<unsigned>(hr));
            PrintLine(text);
        }
        return true;
    }

private:
    using SendMethod = HRESULT (STDMETHODCALLTYPE IVornLANNetwork::*)(UINT, UINT, UINT, BYTE*, INT,
                                                                      LONG);

    HRESULT SendText(SendMethod method, UINT target, UINT cmd, std::string& text) {
        return (network_->*method)(target, player_.idPlayer, cmd, Bytes(text), Size(text), TRUE);
    }
    static BYTE* Bytes(std::string& text) { return reinterpret_cast<BYTE*>(text.data()); }
    static INT Size(const std::string& text) { return static_cast<INT>(text.size() + 1); }

    IVornLANNetwork* network_;
    GameWindow window_{std::getenv("VORN_LOBBY_DEMO_QUIET") != nullptr};
    PlayerInfo player_{0, 0, 0, 0, {}, {}};
    GameInfo game_{};
};

IVornLANNetwork* CreateNetwork() {
    CLSID clsid{};
    IVornLANNetwork* network = nullptr;
    HRESULT hr = CLSIDFromProgID(u"VornNetwork.VornLANNetwork", &clsid);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVornLANNetwork,
                              reinterpret_cast<void**>(&network));
    }
    if (FAILED(hr)) {
        std::fprintf(stderr,
                     "vorn_lobby_demo: no VornNetwork.VornLANNetwork (0x%08X); register "
                     "libVornNetwork.so with regsvr32 first\n",
                     static_cast<unsigned>(hr));
        return nullptr;
    }
    return network;
}

} // namespace

int main(int argc, char** argv) {
    Options options{};
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: vorn_lobby_demo server|player|spectator [group] [name] "
                             "[address]\n");
        return 1;
    }
    if (FAILED(CoInitialize(nullptr))) {
        return 1;
    }
    int code = 2;
    if (IVornLANNetwork* network = CreateNetwork()) {
        Game game(network, options);
        code = FAILED(game.Open()) ? 3 : 0;
        std::string line;
        while (code == 0 && std::getline(std::cin, line) && game.Run(line)) {
        }
    }
    CoUninitialize();
    return code;
}
