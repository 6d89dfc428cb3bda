// A game that uses VornNetwork in a process of its own, driven line by line over standard
// input; each command is answered with one line on standard output:
//   address <text>                       SetAddress
//   open <flags> <protocol> <group> <name>  Open; answers hr, id, flags and addresses
//   wait <cmd>                           the next window message with that cmd
//   text <text>                          the next cmdText with exactly that text
//   close                                Close
//   leave                                returns from main with everything left open
#include "VornNetwork.h"
#include "netmessage.h"
#include "records.h"
#include "window_recorder.h"

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>

namespace {

constexpr unsigned kWaitMs = 8000;
// Every peer of the tests plays the same game.
constexpr GUID kApplication{
    0x7A3E0101, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hr));
    return text;
}

std::string Describe(const vorntest::WindowMessage& message) {
    std::ostringstream out;
    out << "got " << message.Cmd() << " type " << int{message.Type()} << " from "
        << message.IdFrom() << " to " << message.IdTo() << " size " << message.DataSize();
    if (message.Cmd() == cmdText || message.Cmd() == cmdRefused) {
        // One answer, one line: a line break of the text is written as \n.
        out << " text ";
        for (const char c : message.Text()) {
            out << (c == '\n' ? std::string("\\n") : std::string(1, c));
        }
    }
    if (message.Cmd() == cmdLogin && message.DataSize() == sizeof(LoginRecord)) {
        const auto login = ReadRecord<LoginRecord>(message.block.data() + NetMessage::headerSize);
        out << " login " << login.player.idPlayer << " " << login.player.dwFlags << " "
            << login.player.idGroup << " " << login.player.szName << " [" << login.game.szAddresses
            << "]";
    }
    return out.str();
}

class Game {
public:
    explicit Game(IVornLANNetwork* network) : network_(network) {}
    ~Game() {
        if (network_ == nullptr) {
            return;
        }
        network_->Close(player_.idGroup, static_cast<INT>(player_.idPlayer));
        network_->Release();
    }
    // Hands the object over unclosed.
    IVornLANNetwork* Leave() { return std::exchange(network_, nullptr); }
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    std::string Run(const std::string& line) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "address") {
            std::string address;
            in >> address;
            return "hr " + Hex(network_->SetAddress(reinterpret_cast<LPWSTR>(address.data())));
        }
        if (command == "open") {
            return Open(in);
        }
        if (command == "wait") {
            UINT cmd = 0;
            in >> cmd;
            const auto message = window_.TakeCmd(cmd, kWaitMs);
            return message ? Describe(*message) : "timeout";
        }
        if (command == "text") {
            std::string text;
            std::getline(in >> std::ws, text);
            return window_.TakeText(text, kWaitMs) ? "got text" : "timeout";
        }
        if (command == "close") {
            return "hr " +
                   Hex(network_->Close(player_.idGroup, static_cast<INT>(player_.idPlayer)));
        }
        return "unknown command";
    }

private:
    std::string Open(std::istringstream& in) {
        DWORD flags = 0;
        INT protocolType = 0;
        std::string name;
        in >> flags >> protocolType >> player_.idGroup >> name;
        player_.dwFlags = flags;
        std::snprintf(player_.szName, sizeof player_.szName, "%s", name.c_str());
        std::snprintf(game_.szName, sizeof game_.szName, "pool of %s", name.c_str());
        GUID application = kApplication;
        const HRESULT hr =
            network_->Open(nullptr, &application, protocolType, reinterpret_cast<BYTE*>(&player_),
                           reinterpret_cast<BYTE*>(&game_), window_.Handle());
        std::ostringstream out;
        out << "hr " << Hex(hr) << " id " << player_.idPlayer << " flags " << player_.dwFlags
            << " addresses [" << game_.szAddresses << "]";
        return out.str();
    }

    IVornLANNetwork* network_;
    vorntest::WindowRecorder window_;
    PlayerInfo player_{0, 0, 0, 0, {}, {}};
    GameInfo game_{};
};

// Where a game that leaves without closing keeps its object, as in a global of its own.
IVornLANNetwork* leftOpen = nullptr;

IVornLANNetwork* CreateNetwork() {
    HMODULE module = LoadLibraryA(VORNNETWORK_LIBRARY);
    if (module == nullptr) {
        return nullptr;
    }
    auto getClassObject = reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, LPVOID*)>(
        GetProcAddress(module, "DllGetClassObject"));
    IClassFactory* factory = nullptr;
    if (getClassObject == nullptr || FAILED(getClassObject(CLSID_VornLANNetwork, IID_IClassFactory,
                                                           reinterpret_cast<void**>(&factory)))) {
        return nullptr;
    }
    IVornLANNetwork* network = nullptr;
    factory->CreateInstance(nullptr, IID_IVornLANNetwork, reinterpret_cast<void**>(&network));
    factory->Release();
    return network;
}

} // namespace

int main() {
    if (FAILED(CoInitialize(nullptr))) {
        return 1;
    }
    IVornLANNetwork* network = CreateNetwork();
    if (network == nullptr) {
        std::cout << "no network object" << std::endl;
        return 2;
    }
    {
        Game game(network);
        std::string line;
        while (std::getline(std::cin, line) && line != "quit") {
            if (line == "leave") {
                leftOpen = game.Leave();
                return 0;
            }
            std::cout << game.Run(line) << std::endl;
        }
    }
    CoUninitialize();
    return 0;
}
