#include "BlockTransaction.h"

#include "ReadBack.h"
#include "TDataChannel.h"

namespace halvane {

namespace {

constexpr uint8_t kIllegalDataAddress = 0x02;

void ReadBlock(const RequestBlock& block, const TransactionContext& context,
               BlockOutcome& outcome) {
    const ModbusRequest request =
        ModbusRequest::MakeRead(block.function, block.moduleAddr, block.Start(), block.Quantity());
    const ExchangeOutcome exchanged = Exchange(request, context);
    if (exchanged.exceptionCode == kIllegalDataAddress && block.members.size() > 1) {
        const auto [first, second] = SplitBlock(block);
        ReadBlock(first, context, outcome);
        ReadBlock(second, context, outcome);
        return;
    }
    outcome.standing.push_back(block);
    for (const BlockMember& member : block.members) {
        if (!exchanged.data) {
            const bool alone = block.members.size() == 1;
            outcome.members.push_back({std::nullopt, exchanged.failure,
                                       alone ? exchanged.exceptionCode : std::optional<uint8_t>{}});
            continue;
        }
        const auto offset = static_cast<size_t>(member.address - block.Start());
        outcome.members.push_back({SliceValues(block.function, exchanged.data->View(), offset,
                                               static_cast<size_t>(member.count)),
                                   {},
                                   {}});
    }
}

} // namespace

BlockOutcome DoBlockTransaction(const RequestBlock& block, const TransactionContext& context) {
    BlockOutcome outcome;
    outcome.members.reserve(block.members.size());
    ReadBlock(block, context, outcome);
    return outcome;
}

bool StoreMemberOutcome(TDataChannel& tag, const MemberOutcome& outcome,
                        const ProfileStore* config) {
    const bool output = tag.IsOutputTag();
    if (outcome.values) {
        if (output)
            StoreReadBack(tag, *outcome.values, config);
        else
            StoreReading(tag, *outcome.values, config);
        return false;
    }
    if (output && outcome.aloneException && IsReadBackRefusal(*outcome.aloneException)) {
        MarkReadBackRefused(tag);
        return true;
    }
    tag.SetTagError(outcome.failure);
    return false;
}

} // namespace halvane
