// Combined requests without a peer: how a connection's tags are grouped into blocks (slave,
// function, gap, overlap, the 125-register and 2000-bit limits), how a block is halved, and
// how a block's data is sliced into each tag's value buffer.
#include "RequestBlocks.h"

#include "ReplyValues.h"
#include "TDataChannel.h"

#include <gtest/gtest.h>

#include <numeric>

namespace halvane {

void PrintTo(const PollTurn& turn, std::ostream* out) {
    if (const auto* index = std::get_if<size_t>(&turn)) {
        *out << "tag " << *index;
        return;
    }
    const auto& block = std::get<RequestBlock>(turn);
    *out << "block of unit " << block.moduleAddr << ", function " << int(block.function) << ", "
         << block.Start() << " +" << block.Quantity() << ", tags";
    for (size_t tag : TurnTags(turn))
        *out << ' ' << tag;
}

namespace {

using enum ModbusFunction;

constexpr int kPort = 4;

// A tag of connection kPort: `function` is the tag's index 0..5 (or another), `bytes` its
// data type's length.
TDataChannel Tag(int function, int address, int bytes = 2, int unit = 1, int port = kPort) {
    TDataChannel tag;
    tag.Port = port;
    tag.ModuleAddr = unit;
    tag.Function = function;
    tag.RegisterAddr = address;
    tag.ByteLength = bytes;
    return tag;
}

// What a turn reads: its unit, function, range and tags (a tag's own turn has no range).
struct Reads {
    int unit = 0;
    ModbusFunction function = ReadHoldingRegisters;
    int start = 0;
    int quantity = 0;
    std::vector<size_t> tags;
    bool operator==(const Reads&) const = default;
};

void PrintTo(const Reads& r, std::ostream* out) {
    *out << "unit " << r.unit << ", function " << int(r.function) << ", " << r.start << " +"
         << r.quantity << ", tags " << ::testing::PrintToString(r.tags);
}

Reads Own(size_t tag) {
    return {0, ReadHoldingRegisters, 0, 0, {tag}};
}

std::vector<Reads> Turns(const std::vector<TDataChannel>& table, bool combine = true) {
    std::vector<Reads> reads;
    for (const PollTurn& turn : BuildPollTurns(table, kPort, combine)) {
        if (const auto* block = std::get_if<RequestBlock>(&turn))
            reads.push_back({block->moduleAddr, block->function, block->Start(), block->Quantity(),
                             TurnTags(turn)});
        else
            reads.push_back(Own(std::get<size_t>(turn)));
    }
    return reads;
}

std::vector<size_t> Indexes(size_t from, size_t to) {
    std::vector<size_t> indexes(to - from);
    std::iota(indexes.begin(), indexes.end(), from);
    return indexes;
}

TEST(BuildPollTurns, WithoutCombiningEveryTagOfTheConnectionHasItsOwnTurn) {
    const std::vector<TDataChannel> table{Tag(2, 0), Tag(2, 1, 2, 1, 1), Tag(2, 1), Tag(5, 2),
                                          Tag(2, 2, 2, 1, 0)};
    EXPECT_EQ(Turns(table, false), (std::vector<Reads>{Own(0), Own(2), Own(3)}));
}

TEST(BuildPollTurns, GroupsBySlaveFunctionAndNeighbourhood) {
    const auto hr = ReadHoldingRegisters;
    const struct {
        const char* what;
        std::vector<TDataChannel> table;
        std::vector<Reads> expected;
    } cases[] = {
        {"neighbours in any table order",
         {Tag(2, 2), Tag(2, 0), Tag(2, 1)},
         {{1, hr, 0, 3, {0, 1, 2}}}},
        {"overlapping ranges and a double word",
         {Tag(2, 10, 4), Tag(2, 11), Tag(2, 10, 1)},
         {{1, hr, 10, 2, {0, 1, 2}}}},
        {"a gap of 8 registers is read", {Tag(2, 0), Tag(2, 9)}, {{1, hr, 0, 10, {0, 1}}}},
        {"a gap of 9 is not", {Tag(2, 0), Tag(2, 10)}, {{1, hr, 0, 1, {0}}, {1, hr, 10, 1, {1}}}},
        {"another slave, another block",
         {Tag(2, 0), Tag(2, 1, 2, 2), Tag(2, 1)},
         {{1, hr, 0, 2, {0, 2}}, {2, hr, 1, 1, {1}}}},
        {"another function, another block",
         {Tag(2, 0), Tag(3, 1), Tag(0, 2, 1), Tag(1, 3, 1)},
         {{1, hr, 0, 1, {0}},
          {1, ReadInputRegisters, 1, 1, {1}},
          {1, ReadCoils, 2, 1, {2}},
          {1, ReadDiscreteInputs, 3, 1, {3}}}},
        {"an output tag keeps its own turn in table order",
         {Tag(2, 0), Tag(5, 1), Tag(2, 1), Tag(4, 2)},
         {{1, hr, 0, 2, {0, 2}}, Own(1), Own(3)}},
        {"one bit per tag, up to 64 unread bits between",
         {Tag(0, 7, 1), Tag(0, 0, 1), Tag(0, 73, 1), Tag(0, 75, 1)},
         {{1, ReadCoils, 0, 8, {0, 1}}, {1, ReadCoils, 73, 3, {2, 3}}}},
        {"bits up to 64 apart share a block",
         {Tag(1, 0, 1), Tag(1, 65, 1)},
         {{1, ReadDiscreteInputs, 0, 66, {0, 1}}}},
        {"what a request cannot carry stays alone",
         {Tag(2, 0), Tag(7, 1), Tag(2, 2, 2, 256), Tag(2, -1), Tag(2, 65533, 8), Tag(2, 65535)},
         {{1, hr, 0, 1, {0}}, Own(1), Own(2), Own(3), Own(4), {1, hr, 65535, 1, {5}}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Turns(c.table), c.expected) << c.what;
}

TEST(BuildPollTurns, BlocksStayWithinTheLimitsOfOneRequest) {
    std::vector<TDataChannel> words;
    for (int address = 0; address < 1000; ++address)
        words.push_back(Tag(2, address));
    const std::vector<Reads> wordBlocks = Turns(words);
    ASSERT_EQ(wordBlocks.size(), 8u); // the fewest the limit allows
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(wordBlocks[i], (Reads{1, ReadHoldingRegisters, int(125 * i), i < 7 ? 125 : 125,
                                        Indexes(125 * i, 125 * i + 125)}));

    // A double that would make the block 126 registers long begins the next one.
    std::vector<TDataChannel> edge;
    for (int address = 0; address < 122; ++address)
        edge.push_back(Tag(3, address));
    edge.push_back(Tag(3, 122, 8));
    const std::vector<Reads> edgeBlocks = Turns(edge);
    ASSERT_EQ(edgeBlocks.size(), 2u);
    EXPECT_EQ(edgeBlocks[0].quantity, 122);
    EXPECT_EQ(edgeBlocks[1], (Reads{1, ReadInputRegisters, 122, 4, {122}}));

    std::vector<TDataChannel> coils;
    for (int address = 0; address < 2100; ++address)
        coils.push_back(Tag(0, address, 1));
    EXPECT_EQ(Turns(coils), (std::vector<Reads>{{1, ReadCoils, 0, 2000, Indexes(0, 2000)},
                                                {1, ReadCoils, 2000, 100, Indexes(2000, 2100)}}));
}

TEST(SplitBlock, HalvesEachReadingOnlyItsOwnRange) {
    const auto turns = BuildPollTurns(
        std::vector<TDataChannel>{Tag(2, 0), Tag(2, 3), Tag(2, 8, 4), Tag(2, 12), Tag(2, 13)},
        kPort, true);
    ASSERT_EQ(turns.size(), 1u);
    const auto& block = std::get<RequestBlock>(turns.front());
    const auto [first, second] = SplitBlock(block);
    EXPECT_EQ(first.Start(), 0);
    EXPECT_EQ(first.Quantity(), 4);
    EXPECT_EQ(second.Start(), 8);
    EXPECT_EQ(second.Quantity(), 6);
    EXPECT_EQ(first.members.size() + second.members.size(), block.members.size());
}

TEST(SliceValues, EachTagTakesItsOwnRegistersOrBit) {
    // Registers 10..13 hold 0x0102 0x0304 0x0506 0x0708; coils 0..15 the bytes 0x05 0x80.
    const std::vector<uint8_t> words{1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<uint8_t> bits{0x05, 0x80};
    const auto hr = ReadHoldingRegisters;
    const struct {
        ModbusFunction function;
        const std::vector<uint8_t>& data;
        size_t offset;
        size_t count;
        ValueBuffer expected;
    } cases[] = {
        {hr, words, 0, 1, {2, 1}},
        {hr, words, 1, 2, {6, 5, 4, 3}},
        {hr, words, 0, 4, {8, 7, 6, 5, 4, 3, 2, 1}},
        {hr, words, 3, 1, {8, 7}},
        {hr, words, 3, 2, {8, 7}}, // past the data: nothing more
        {ReadCoils, bits, 0, 1, {1}},
        {ReadCoils, bits, 1, 1, {0}},
        {ReadCoils, bits, 2, 4, {1}},
        {ReadDiscreteInputs, bits, 15, 1, {1}},
        {ReadDiscreteInputs, bits, 16, 1, {0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SliceValues(c.function, c.data, c.offset, c.count), c.expected)
            << int(c.function) << " at " << c.offset;
}

} // namespace
} // namespace halvane
