#include "fuzz_checks.h"

#include <algorithm>

#include <cstdlib>
#include <cstring>

namespace directplay {
namespace {

// Player messages point at names stored after them inside the buffer.
void CheckSystemMessage(const std::vector<std::uint8_t>& buffer) {
    Check(buffer.size() >= sizeof(DPMSG_GENERIC));
    const auto* generic = reinterpret_cast<const DPMSG_GENERIC*>(buffer.data());
    if (generic->dwType != DPSYS_CREATEPLAYERORGROUP) {
        return;
    }
    Check(buffer.size() >= sizeof(DPMSG_CREATEPLAYERORGROUP));
    const auto* created = reinterpret_cast<const DPMSG_CREATEPLAYERORGROUP*>(buffer.data());
    const char* begin = reinterpret_cast<const char*>(buffer.data());
    const char* end = begin + buffer.size();
    for (const char* name : {created->dpnName.lpszShortNameA, created->dpnName.lpszLongNameA}) {
        Check(name >= begin + sizeof(DPMSG_CREATEPLAYERORGROUP) && name < end);
        Check(std::memchr(name, 0, static_cast<std::size_t>(end - name)) != nullptr);
    }
}

} // namespace

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool WellFormed(std::span<const std::uint8_t> bytes) {
    Reader reader(bytes);
    switch (reader.Kind()) {
    case PacketKind::EnumQuery:
        reader.U8();
        reader.Guid();
        break;
    case PacketKind::EnumAnswer:
        reader.U8();
        reader.Guid();
        reader.Guid();
        reader.U32();
        reader.U32();
        reader.U32();
        reader.Text();
        reader.U32();
        break;
    case PacketKind::Join:
        reader.Guid();
        break;
    case PacketKind::Welcome:
        reader.U32();
        reader.U32();
        break;
    case PacketKind::Refused:
    case PacketKind::DestroyPlayer:
        reader.U32();
        break;
    case PacketKind::CreatePlayer:
        reader.U32();
        reader.U32();
        reader.Text();
        reader.Text();
        break;
    case PacketKind::PlayerCreated:
        reader.U32();
        reader.U32();
        reader.U32();
        break;
    case PacketKind::PlayerAdded:
    case PacketKind::PlayerRemoved:
        reader.U32();
        reader.U32();
        reader.Text();
        reader.Text();
        reader.U32();
        break;
    case PacketKind::Data:
        reader.U32();
        reader.U32();
        reader.Rest();
        break;
    case PacketKind::EnumRegister:
    case PacketKind::EnumUnregister:
        break;
    case PacketKind::EnumRelay:
        reader.U32();
        reader.U32();
        reader.Rest();
        break;
    }
    return reader.Complete();
}

void RecordingLinks::SendTo(PeerId peer, const std::vector<std::uint8_t>& bytes, bool) {
    Check(WellFormed(bytes));
    sent.push_back(peer);
    packets.push_back(bytes);
}

in_addr RecordingLinks::RemoteAddress(PeerId) const {
    return in_addr{htonl(INADDR_LOOPBACK)};
}

void DrainMessages(Session& session, const std::function<bool(DPID)>& isPlayer) {
    std::vector<std::uint8_t> buffer;
    for (;;) {
        DPID from = 0;
        DPID to = 0;
        DWORD size = 0;
        HRESULT hr = session.Receive(&from, &to, 0, nullptr, &size);
        if (hr == DPERR_NOMESSAGES) {
            return;
        }
        // Only an empty message fits in no buffer.
        buffer.clear();
        if (hr == DPERR_BUFFERTOOSMALL) {
            buffer.assign(size, 0xAA);
            hr = session.Receive(&from, &to, 0, buffer.data(), &size);
        }
        Check(hr == DP_OK && size == buffer.size() && isPlayer(to));
        if (from == DPID_SYSMSG) {
            CheckSystemMessage(buffer);
        }
    }
}

void ForEachRecord(
    std::span<const std::uint8_t> input,
    const std::function<void(std::uint8_t kind, std::span<const std::uint8_t>)>& take) {
    while (input.size() >= 3) {
        const std::uint8_t kind = input[0];
        const std::size_t length = std::min<std::size_t>(
            input[1] | static_cast<std::size_t>(input[2]) << 8, input.size() - 3);
        const auto bytes = input.subspan(3, length);
        input = input.subspan(3 + length);
        take(kind, bytes);
    }
}

} // namespace directplay
