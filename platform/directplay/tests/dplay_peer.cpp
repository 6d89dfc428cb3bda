// A DirectPlay peer in its own process, driven line by line over standard input; it answers
// each command with one line on standard output. The tests start several and kill some.
#include "dplay_support.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>
#include <map>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

struct Received {
    DPID from = 0;
    std::vector<BYTE> bytes;
};

class Peer {
public:
    Peer()
        : dp_(dptest::CreateDirectPlay()), event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~Peer() {
        dp_.Reset();
        CloseHandle(event_);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    std::string Run(const std::string& line);

private:
    std::string Joined(HRESULT hr, DWORD flags);
    bool Next(Received& message, Clock::time_point deadline);
    std::string Send(DPID to, int count, std::size_t size);
    std::string Collect(int count, int timeoutMs);

    dptest::Ref<IDirectPlay4A> dp_;
    HANDLE event_;
    DPID player_ = 0;
    std::deque<Received> systemMessages_; // set aside while collecting data
};

std::string Result(HRESULT hr) {
    char text[32];
    std::snprintf(text, sizeof text, "hr %08x", static_cast<unsigned>(hr));
    return text;
}

std::uint8_t Pattern(std::uint32_t sequence, std::size_t index) {
    return static_cast<std::uint8_t>(sequence * 7 + index);
}

std::string Peer::Joined(HRESULT hr, DWORD flags) {
    if (SUCCEEDED(hr)) {
        hr = dptest::CreateNamedPlayer(dp_.Get(), player_, "peer", event_, flags);
    }
    return Result(hr) + " " + std::to_string(player_);
}

bool Peer::Next(Received& message, Clock::time_point deadline) {
    for (;;) {
        DPID to;
        const HRESULT hr = dptest::ReceiveAny(dp_.Get(), message.from, to, message.bytes);
        if (SUCCEEDED(hr)) {
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 ||
            WaitForSingleObject(event_, static_cast<DWORD>(left.count())) != WAIT_OBJECT_0) {
            return false;
        }
    }
}

// Guaranteed sends, each starting with its sequence number and filled with a pattern.
std::string Peer::Send(DPID to, int count, std::size_t size) {
    std::vector<BYTE> payload(std::max<std::size_t>(size, 4));
    for (int sequence = 0; sequence < count; ++sequence) {
        std::memcpy(payload.data(), &sequence, 4);
        for (std::size_t i = 4; i < payload.size(); ++i) {
            payload[i] = Pattern(sequence, i);
        }
        const HRESULT hr =
            dp_->SendEx(player_, to, DPSEND_GUARANTEED | DPSEND_ASYNC, payload.data(),
                        static_cast<DWORD>(payload.size()), 0, 0, nullptr, nullptr);
        if (FAILED(hr)) {
            return Result(hr);
        }
    }
    return Result(DP_OK);
}

// Receives `count` application messages and checks, per sender, order and content.
std::string Peer::Collect(int count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::map<DPID, std::uint32_t> expected;
    bool ordered = true;
    bool intact = true;
    int received = 0;
    Received message;
    while (received < count && Next(message, deadline)) {
        if (message.from == DPID_SYSMSG) {
            systemMessages_.push_back(message);
            continue;
        }
        ++received;
        std::uint32_t sequence = 0;
        if (message.bytes.size() < 4) {
            intact = false;
            continue;
        }
        std::memcpy(&sequence, message.bytes.data(), 4);
        ordered = ordered && sequence == expected[message.from]++;
        for (std::size_t i = 4; i < message.bytes.size(); ++i) {
            intact = intact && message.bytes[i] == Pattern(sequence, i);
        }
    }
    return "collected " + std::to_string(received) + " " + std::to_string(expected.size()) + " " +
           std::to_string(ordered) + " " + std::to_string(intact);
}

std::string Peer::Run(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "provider") {
        int index = 0;
        in >> index;
        return Result(dptest::InitializeProvider(dp_.Get(), index));
    }
    if (command == "tcpip-host") {
        std::string host;
        in >> host;
        return Result(dptest::InitializeTcpIpHost(dp_.Get(), host));
    }
    if (command == "host") {
        std::uint32_t application = 0;
        DWORD maxPlayers = 0;
        std::string name;
        in >> std::hex >> application >> std::dec >> maxPlayers >> name;
        return Joined(dptest::HostSession(dp_.Get(), dptest::Application(application), maxPlayers,
                                          name.c_str()),
                      DPPLAYER_SERVERPLAYER);
    }
    if (command == "join") {
        std::uint32_t application = 0;
        DWORD timeoutMs = 0;
        std::string which;
        in >> std::hex >> application >> std::dec >> timeoutMs >> which;
        const DWORD flags = which == "all" ? DPENUMSESSIONS_ALL : DPENUMSESSIONS_AVAILABLE;
        return Joined(
            dptest::JoinSession(dp_.Get(), dptest::Application(application), timeoutMs, flags), 0);
    }
    if (command == "enum") {
        std::uint32_t application = 0;
        DWORD timeoutMs = 0;
        in >> std::hex >> application >> std::dec >> timeoutMs;
        std::vector<dptest::FoundSession> sessions;
        const auto started = Clock::now();
        const HRESULT hr = dptest::FindSessions(dp_.Get(), dptest::Application(application),
                                                timeoutMs, DPENUMSESSIONS_AVAILABLE, sessions);
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
        std::ostringstream out;
        out << Result(hr) << " " << elapsed.count() << " " << sessions.size();
        for (const auto& session : sessions) {
            out << " " << std::hex << session.desc.guidApplication.Data1 << std::dec << ":"
                << session.name << ":" << session.desc.dwCurrentPlayers << "/"
                << session.desc.dwMaxPlayers;
        }
        return out.str();
    }
    if (command == "send") {
        DPID to = 0;
        int count = 0;
        std::size_t size = 0;
        in >> to >> count >> size;
        return Send(to, count, size);
    }
    if (command == "collect") {
        int count = 0;
        int timeoutMs = 0;
        in >> count >> timeoutMs;
        return Collect(count, timeoutMs);
    }
    if (command == "recv") {
        int timeoutMs = 0;
        in >> timeoutMs;
        Received message;
        if (!systemMessages_.empty()) {
            message = systemMessages_.front();
            systemMessages_.pop_front();
        } else if (!Next(message, Clock::now() + std::chrono::milliseconds(timeoutMs))) {
            return "none";
        }
        if (message.from != DPID_SYSMSG) {
            return "data " + std::to_string(message.from) + " " +
                   std::to_string(message.bytes.size());
        }
        DWORD type = 0;
        DPID id = 0;
        std::memcpy(&type, message.bytes.data(), sizeof type);
        if (type == DPSYS_CREATEPLAYERORGROUP || type == DPSYS_DESTROYPLAYERORGROUP) {
            std::memcpy(&id, message.bytes.data() + offsetof(DPMSG_CREATEPLAYERORGROUP, dpId),
                        sizeof id);
        }
        return "sys " + std::to_string(type) + " " + std::to_string(id);
    }
    if (command == "close") {
        return Result(dp_->Close());
    }
    return "unknown " + command;
}

} // namespace

int main() {
    CoInitialize(nullptr);
    {
        Peer peer;
        std::string line;
        while (std::getline(std::cin, line) && line != "quit") {
            std::cout << peer.Run(line) << std::endl;
        }
    }
    CoUninitialize();
    return 0;
}
