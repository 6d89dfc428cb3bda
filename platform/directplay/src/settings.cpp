#include "settings.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace directplay {
namespace {

std::optional<std::uint32_t> NumberVariable(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const char* end = text + std::strlen(text);
    auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::atomic<std::uint64_t> enumerationQueries{0};
std::atomic<std::uint64_t> sessionConnects{0};

const Provider kProviders[] = {
    {0, &DPSPGUID_TCPIP, "Internet TCP/IP Connection For DirectPlay", true},
    {1, &DPSPGUID_IPX, "IPX Connection For DirectPlay", false},
};

} // namespace

Settings ReadSettings() {
    Settings settings;
    const char* loopback = std::getenv(kLoopbackOnlyVariable);
    settings.loopbackOnly = loopback != nullptr && std::strcmp(loopback, "1") == 0;
    if (const char* address = std::getenv(kEnumerationAddressVariable); address && *address) {
        settings.enumerationAddress = address;
    }
    settings.tcpIpPort =
        static_cast<std::uint16_t>(NumberVariable(kTcpIpPortVariable).value_or(kDefaultTcpIpPort));
    settings.ipxPort =
        static_cast<std::uint16_t>(NumberVariable(kIpxPortVariable).value_or(kDefaultIpxPort));
    settings.keepaliveMs = NumberVariable(kKeepaliveVariable).value_or(kDefaultKeepaliveMs);
    settings.enumerationTimeoutMs = NumberVariable(kEnumerationTimeoutVariable);
    return settings;
}

std::uint16_t Provider::Port(const Settings& settings) const {
    return index == 0 ? settings.tcpIpPort : settings.ipxPort;
}

std::span<const Provider> Providers() {
    return kProviders;
}

const Provider* FindProvider(const GUID& guid) {
    for (const Provider& provider : kProviders) {
        if (*provider.guid == guid) {
            return &provider;
        }
    }
    return nullptr;
}

std::optional<in_addr> ResolveIPv4(const std::string& host) {
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) {
        return address;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return address;
}

bool IsLoopback(in_addr address) {
    return (ntohl(address.s_addr) >> 24) == 127;
}

bool TargetAllowed(const Settings& settings, in_addr address) {
    return !settings.loopbackOnly || IsLoopback(address);
}

void CountEnumerationQuery() {
    ++enumerationQueries;
}

void CountSessionConnect() {
    ++sessionConnects;
}

TransportCounters GetTransportCounters() {
    return {enumerationQueries.load(), sessionConnects.load()};
}

} // namespace directplay
