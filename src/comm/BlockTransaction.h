#pragma once

#include "ModbusTransaction.h"
#include "RequestBlocks.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvane {

class ProfileStore;
struct TDataChannel;

// What one member of a block got: its slice of the reply as a value buffer, or the status
// text of the failure, with its exception code when the request read this member alone.
struct MemberOutcome {
    std::optional<ValueBuffer> values;
    std::string failure;
    std::optional<uint8_t> aloneException;
};

struct BlockOutcome {
    std::vector<MemberOutcome> members; // in the order of the block's members
    // The blocks that stand for the block from now on: itself, or the pieces it was split into.
    std::vector<RequestBlock> standing;
};

// One block's request: every member takes its own slice of the reply, or, when the
// request fails, the status text of the failure.
//
// A slave that answers "illegal data address" (exception 02) for a block of several tags
// maps no register somewhere in its range: the block is split in halves at once, and each
// half read (and split again) in the same way, down to single tags, so that only the tags
// that read the unmapped register show the exception.
BlockOutcome DoBlockTransaction(const RequestBlock& block, const TransactionContext& context);

// Hands a member's outcome to its tag through the conversion of a reading of its own, or
// for an output tag, of a read-back. True when the device refused the output tag's
// read-back (the tag is marked so).
bool StoreMemberOutcome(TDataChannel& tag, const MemberOutcome& outcome,
                        const ProfileStore* config);

} // namespace halvane
