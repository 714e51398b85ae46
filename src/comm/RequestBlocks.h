#pragma once

#include "ModbusRequest.h"

#include <cstddef>
#include <span>
#include <utility>
#include <variant>
#include <vector>

namespace halvane {

struct TDataChannel;

// A tag's place in a block: its table index and the registers (or bits) that its own
// request would read.
struct BlockMember {
    size_t tag = 0;
    int address = 0;
    int count = 1;

    int End() const { return address + count; }
    bool operator==(const BlockMember&) const = default;
};

// One read request that serves several tags of one slave and one function: input tags,
// and output tags read back.
struct RequestBlock {
    int moduleAddr = 1;
    ModbusFunction function = ModbusFunction::ReadHoldingRegisters;
    std::vector<BlockMember> members; // by address, then table order

    // The first register (or bit) read and how many are read from there.
    int Start() const;
    int Quantity() const;
    bool operator==(const RequestBlock&) const = default;
};

// One turn of a connection's round robin: a tag's own transaction, or a block's request.
using PollTurn = std::variant<size_t, RequestBlock>;

// The tags a turn polls, in table order.
std::vector<size_t> TurnTags(const PollTurn& turn);
size_t FirstTag(const PollTurn& turn);

// The unread registers (bits) that may lie between two neighbours of a block: reading
// them costs less than a request of their own.
constexpr int kMaxGapRegisters = 8;
constexpr int kMaxGapBits = 64;

// The turns of connection `connection` over `table`, ordered by their first tag. Without
// `combine` every tag of the connection has a turn of its own. With it, the input tags
// (functions 1 to 4) of one slave and one function whose ranges overlap or lie within the
// gap of each other share blocks of at most kMaxReadRegisters registers or kMaxReadBits
// bits. With `readBack`, output tags join them as the read of what they write (their coil,
// or their holding registers); otherwise output tags keep turns of their own, as do tags
// whose slave or register address a request cannot carry.
std::vector<PollTurn> BuildPollTurns(std::span<const TDataChannel> table, int connection,
                                     bool combine, bool readBack = false);

// The turns that stand for `block` once its member `tag` leaves it: the members before it
// by address, its own turn, the members after it (each group only when not empty).
std::vector<PollTurn> WithoutMember(const RequestBlock& block, size_t tag);

// The two halves of a block of at least two members, each reading only its own range.
std::pair<RequestBlock, RequestBlock> SplitBlock(const RequestBlock& block);

} // namespace halvane
