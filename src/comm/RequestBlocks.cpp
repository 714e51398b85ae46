#include "RequestBlocks.h"

#include "ReadBack.h"
#include "TDataChannel.h"

#include <algorithm>
#include <map>
#include <optional>
#include <ranges>

namespace halvane {

namespace {

constexpr int kAddressSpace = 0x10000;

// The read a tag's turn makes: its own, or for an output tag read back, the read of what
// it writes; nothing for any other output tag.
std::optional<TagRead> ReadOf(const TDataChannel& tag, bool readBack) {
    if (readBack)
        return ReadBackOf(tag);
    const auto function = FunctionFromIndex(tag.Function);
    if (!function || IsWriteFunction(*function))
        return std::nullopt;
    return TagRead{*function, RegisterCount(tag.ByteLength)};
}

// The block member a tag would be, with the function it reads, or nothing for a tag that
// keeps its own turn.
std::optional<std::pair<ModbusFunction, BlockMember>> MemberOf(const TDataChannel& tag,
                                                               size_t index, bool readBack) {
    const std::optional<TagRead> read = ReadOf(tag, readBack);
    if (!read || tag.ModuleAddr < 0 || tag.ModuleAddr > 0xFF)
        return std::nullopt;
    const BlockMember member{index, tag.RegisterAddr, read->count};
    if (member.address < 0 || member.End() > kAddressSpace)
        return std::nullopt;
    return std::pair(read->function, member);
}

// Cuts the members of one slave and function, sorted by address, into blocks: a member
// joins the block before it when it starts within the gap of the block's end and the
// block then stays within the limit.
std::vector<RequestBlock> CutIntoBlocks(int moduleAddr, ModbusFunction function,
                                        std::vector<BlockMember> members) {
    std::ranges::sort(members, {},
                      [](const BlockMember& m) { return std::pair(m.address, m.tag); });
    const int gap = IsBitRead(function) ? kMaxGapBits : kMaxGapRegisters;
    const int limit = IsBitRead(function) ? kMaxReadBits : kMaxReadRegisters;
    std::vector<RequestBlock> blocks;
    int start = 0;
    int end = 0;
    for (const BlockMember& member : members) {
        const int joinedEnd = std::max(end, member.End());
        if (!blocks.empty() && member.address <= end + gap && joinedEnd - start <= limit) {
            end = joinedEnd;
        } else {
            blocks.push_back({moduleAddr, function, {}});
            start = member.address;
            end = member.End();
        }
        blocks.back().members.push_back(member);
    }
    return blocks;
}

} // namespace

int RequestBlock::Start() const {
    return members.empty() ? 0 : members.front().address;
}

int RequestBlock::Quantity() const {
    const auto ends = members | std::views::transform(&BlockMember::End);
    return members.empty() ? 0 : *std::ranges::max_element(ends) - Start();
}

std::vector<size_t> TurnTags(const PollTurn& turn) {
    if (const auto* index = std::get_if<size_t>(&turn))
        return {*index};
    std::vector<size_t> tags;
    for (const BlockMember& member : std::get<RequestBlock>(turn).members)
        tags.push_back(member.tag);
    std::ranges::sort(tags);
    return tags;
}

size_t FirstTag(const PollTurn& turn) {
    if (const auto* index = std::get_if<size_t>(&turn))
        return *index;
    const auto& members = std::get<RequestBlock>(turn).members;
    return std::ranges::min(members | std::views::transform(&BlockMember::tag));
}

std::vector<PollTurn> BuildPollTurns(std::span<const TDataChannel> table, int connection,
                                     bool combine, bool readBack) {
    std::vector<PollTurn> turns;
    // By slave and function code.
    std::map<std::pair<int, ModbusFunction>, std::vector<BlockMember>> groups;
    for (size_t index = 0; index < table.size(); ++index) {
        const TDataChannel& tag = table[index];
        if (tag.Port != connection)
            continue;
        const auto member =
            combine ? MemberOf(tag, index, readBack && tag.IsOutputTag()) : std::nullopt;
        if (member)
            groups[{tag.ModuleAddr, member->first}].push_back(member->second);
        else
            turns.emplace_back(index);
    }
    for (auto& [key, members] : groups)
        for (RequestBlock& block : CutIntoBlocks(key.first, key.second, std::move(members)))
            turns.emplace_back(std::move(block));
    std::ranges::sort(turns, {}, FirstTag);
    return turns;
}

std::vector<PollTurn> WithoutMember(const RequestBlock& block, size_t tag) {
    const auto member = std::ranges::find(block.members, tag, &BlockMember::tag);
    std::vector<PollTurn> turns;
    if (member != block.members.begin())
        turns.emplace_back(
            RequestBlock{block.moduleAddr, block.function, {block.members.begin(), member}});
    turns.emplace_back(tag);
    if (member != block.members.end() && member + 1 != block.members.end())
        turns.emplace_back(
            RequestBlock{block.moduleAddr, block.function, {member + 1, block.members.end()}});
    return turns;
}

std::pair<RequestBlock, RequestBlock> SplitBlock(const RequestBlock& block) {
    const auto half = block.members.begin() + static_cast<std::ptrdiff_t>(block.members.size() / 2);
    return {RequestBlock{block.moduleAddr, block.function, {block.members.begin(), half}},
            RequestBlock{block.moduleAddr, block.function, {half, block.members.end()}}};
}

} // namespace halvane
