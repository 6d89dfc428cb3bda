// What the session fuzz targets check on every input: the packets a session sends are
// whole, and what a game receives from it is well-formed.
#pragma once

#include "session.h"

#include <functional>
#include <span>
#include <vector>

namespace directplay {

// Ends the run, so that the fuzzer reports the input, unless `condition` holds.
void Check(bool condition);

// Whether `bytes` hold every field of a packet of their kind, and nothing after the last.
bool WellFormed(std::span<const std::uint8_t> bytes);

// The connections of a session without a network, recording what it sends. Called with the
// session's lock held.
class RecordingLinks : public Links {
public:
    void SendTo(PeerId peer, const std::vector<std::uint8_t>& bytes, bool) override;
    void CloseLater(PeerId peer) override { closed.push_back(peer); }
    void Flush() override {}
    void FlushSoon() override {}
    in_addr RemoteAddress(PeerId) const override;

    std::vector<PeerId> sent;
    std::vector<std::vector<std::uint8_t>> packets;
    std::vector<PeerId> closed;
};

// Takes every queued message, as a game does with a buffer grown to the size asked; each
// must be addressed to a player of the session (`isPlayer`) and system messages must be
// well-formed.
void DrainMessages(Session& session, const std::function<bool(DPID)>& isPlayer);

// Splits a fuzz input after its first byte into records: a kind byte, a 16-bit
// little-endian length and that many bytes (fewer when the input ends first).
void ForEachRecord(
    std::span<const std::uint8_t> input,
    const std::function<void(std::uint8_t kind, std::span<const std::uint8_t>)>& take);

} // namespace directplay
