#include "BlockTransaction.h"

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
            outcome.members.push_back({std::nullopt, exchanged.failure});
            continue;
        }
        const auto offset = static_cast<size_t>(member.address - block.Start());
        outcome.members.push_back({SliceValues(block.function, exchanged.data->View(), offset,
                                               static_cast<size_t>(member.count)),
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

void StoreMemberOutcome(TDataChannel& tag, const MemberOutcome& outcome,
                        const ProfileStore* config) {
    if (outcome.values)
        StoreReading(tag, *outcome.values, config);
    else
        tag.SetTagError(outcome.failure);
}

} // namespace halvane
