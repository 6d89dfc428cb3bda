// A client of the demo game's lobby that speaks DirectPlay directly, without VornNetwork,
// and writes whatever NetMessage it is told to; driven line by line over standard input,
// one answer line per command:
//   join                                          joins the session: "joined hr <hr> id <id>"
//   send <target> <cmd> <type> <from> <to> <n> <text>  the message n times, the text with its NUL
//   login <target> <from> <idPlayer> <flags> <group> <size>  a login cut to size payload bytes
//   short <target> <bytes>                        a message cut to that many bytes
//   drain <silenceMs>                             every message received until that long a
//                                                 silence: "drained <n>" and "; cmd type from
//                                                 to size text" for each
#include "dplay_support.h"
#include "netmessage.h"
#include "records.h"

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// The demo game's application.
constexpr GUID kApplication{
    0x7A3E0202, 0x5151, 0x4242, {0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88}};

std::string Result(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hr));
    return text;
}

class RawClient {
public:
    RawClient()
        : dp_(dptest::CreateDirectPlay()), event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~RawClient() {
        dp_.Reset();
        CloseHandle(event_);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    std::string Run(const std::string& line) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "join") {
            const HRESULT hr = dptest::JoinAsPlayer(dp_.Get(), kApplication, event_, id_, 10000);
            return "joined hr " + Result(hr) + " id " + std::to_string(id_);
        }
        if (command == "send") {
            return Send(in);
        }
        if (command == "login") {
            return Login(in);
        }
        if (command == "short") {
            DPID target = 0;
            std::size_t bytes = 0;
            in >> target >> bytes;
            const std::string text(100, 'x');
            auto wire = NetMessage(100, msgToGroup, id_, 5, text.data(), 100).Serialise();
            wire.resize(std::min(bytes, wire.size()));
            return "sent hr " + Result(SendBytes(target, wire));
        }
        if (command == "drain") {
            int silenceMs = 0;
            in >> silenceMs;
            return Drain(static_cast<DWORD>(silenceMs));
        }
        return "unknown " + command;
    }

private:
    std::string Send(std::istringstream& in) {
        DPID target = 0;
        UINT cmd = 0;
        unsigned type = 0;
        DWORD idFrom = 0;
        DWORD idTo = 0;
        int count = 0;
        std::string text;
        in >> target >> cmd >> type >> idFrom >> idTo >> count;
        std::getline(in >> std::ws, text);
        const auto wire = NetMessage(cmd, static_cast<BYTE>(type), idFrom, idTo, text.c_str(),
                                     static_cast<UINT>(text.size() + 1))
                              .Serialise();
        HRESULT hr = DP_OK;
        for (int i = 0; i < count && SUCCEEDED(hr); ++i) {
            hr = SendBytes(target, wire);
        }
        return "sent hr " + Result(hr);
    }

    std::string Login(std::istringstream& in) {
        DPID target = 0;
        DWORD idFrom = 0;
        LoginRecord login{};
        std::size_t size = 0;
        in >> target >> idFrom >> login.player.idPlayer >> login.player.dwFlags >>
            login.player.idGroup >> size;
        std::snprintf(login.player.szName, sizeof login.player.szName, "mallory");
        std::snprintf(login.game.szName, sizeof login.game.szName, "pool of mallory");
        const auto wire = NetMessage(cmdLogin, msgToServer, idFrom, 0, &login,
                                     static_cast<UINT>(std::min(size, sizeof login)))
                              .Serialise();
        return "sent hr " + Result(SendBytes(target, wire));
    }

    HRESULT SendBytes(DPID target, std::vector<BYTE> wire) {
        return dp_->SendEx(id_, target, DPSEND_GUARANTEED | DPSEND_ASYNC, wire.data(),
                           static_cast<DWORD>(wire.size()), 0, 0, nullptr, nullptr);
    }

    std::string Drain(DWORD silenceMs) {
        std::ostringstream out;
        int count = 0;
        std::vector<BYTE> buffer;
        for (;;) {
            DPID from = 0;
            DPID to = 0;
            if (FAILED(dptest::ReceiveAny(dp_.Get(), from, to, buffer))) {
                if (WaitForSingleObject(event_, silenceMs) != WAIT_OBJECT_0) {
                    break;
                }
                continue;
            }
            if (from == DPID_SYSMSG) {
                continue;
            }
            ++count;
            const auto message = NetMessage::Parse(buffer.data(), buffer.size());
            if (!message) {
                out << "; unreadable " << buffer.size();
                continue;
            }
            out << "; " << message->Cmd() << ' ' << int{message->Type()} << ' ' << message->IdFrom()
                << ' ' << message->IdTo() << ' ' << message->DataSize();
            // A text on one line: a line break is written as \n.
            for (DWORD i = 0; i < message->DataSize() && message->Data()[i] != 0; ++i) {
                const char c = static_cast<char>(message->Data()[i]);
                out << (i == 0 ? " " : "") << (c == '\n' ? std::string("\\n") : std::string(1, c));
            }
        }
        return "drained " + std::to_string(count) + out.str();
    }

    dptest::Ref<IDirectPlay4A> dp_;
    HANDLE event_;
    DPID id_ = 0;
};

} // namespace

int main() {
    CoInitialize(nullptr);
    {
        RawClient client;
        std::string line;
        while (std::getline(std::cin, line) && line != "quit") {
            std::cout << client.Run(line) << std::endl;
        }
    }
    CoUninitialize();
    return 0;
}
