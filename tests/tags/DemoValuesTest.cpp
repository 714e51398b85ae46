#include "DemoValues.h"
#include "TagTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <vector>

namespace halvane {
namespace {

using test::MakeTag;

TDataChannel PolledTag(int dataType, int port) {
    TDataChannel tag = MakeTag(dataType);
    tag.Port = port;
    tag.PollingNow = true;
    tag.Status = "Read: Timeout";
    return tag;
}

TEST(DemoTickTest, FeedsOneRandomReadingPerPolledTagInTableOrder) {
    std::vector<TDataChannel> tags = {
        PolledTag(kDataTypeWord, 1), PolledTag(kDataTypeWord, 0),
        PolledTag(kDataTypeByte, 2), PolledTag(kDataTypeMaskedBit0 + 2, 4),
        PolledTag(kDataTypeWord, 3), PolledTag(kDataTypeFloatSingle, 1),
    };
    tags[4].SwapBytes = true;
    std::vector<uint32_t> draws = {500, 700, 4, 1, 999};
    size_t next = 0;
    DemoTick(tags, nullptr, [&] { return draws.at(next++); });

    EXPECT_EQ(next, draws.size());
    const std::vector<double> raw = {500, 0, 188, 1, 256, std::bit_cast<float>(uint32_t{999})};
    for (size_t i = 0; i < tags.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tags[i].RawValue, raw[i]);
        EXPECT_EQ(tags[i].RealValue, raw[i]);
    }
    EXPECT_FALSE(tags[1].ValueValid);
    EXPECT_EQ(tags[1].Status, "Cfg: Disabled");
    EXPECT_TRUE(tags[1].PollingNow);
    for (const size_t i : {0, 2, 3, 4, 5}) {
        EXPECT_TRUE(tags[i].ValueValid);
        EXPECT_FALSE(tags[i].PollingNow);
    }
}

TEST(DemoTickTest, ResetLeavesEveryTagUnknownAndOutputsAtTheirPreset) {
    std::vector<TDataChannel> tags = {PolledTag(kDataTypeWord, 1), PolledTag(kDataTypeWord, 0),
                                      PolledTag(kDataTypeWord, 1), PolledTag(kDataTypeWord, 1)};
    tags[2].Function = kFunctionWriteRegister;
    tags[2].DefaultValue = 42.5;
    tags[3].Function = kFunctionWriteCoil;
    tags[3].DefaultValue = 1;
    DemoTick(tags, nullptr, [] { return 321U; });
    ASSERT_EQ(tags[2].RealValue, 321); // demo values reach output tags too
    tags[0].FilterCountdown = 4;
    std::vector<TDataChannel> expected = tags;
    for (TDataChannel& tag : expected) {
        tag.RawValue = 0;
        tag.RealValue = tag.IsOutputTag() ? tag.DefaultValue : 0;
        tag.ValueValid = false;
        tag.Status = "Unknown";
    }
    ResetDemoValues(tags);
    EXPECT_EQ(tags, expected);
    EXPECT_EQ(tags[2].RealValue, 42.5);
    EXPECT_EQ(tags[3].RealValue, 1);
}

TEST(DemoRandomTest, CoversZeroTo999AndRepeatsForOneSeed) {
    DemoRandom first = MakeDemoRandom(7);
    DemoRandom second = MakeDemoRandom(7);
    std::vector<uint32_t> values(10000);
    std::generate(values.begin(), values.end(), first);
    EXPECT_EQ(*std::min_element(values.begin(), values.end()), 0U);
    EXPECT_EQ(*std::max_element(values.begin(), values.end()), kDemoValueMax);
    EXPECT_TRUE(
        std::all_of(values.begin(), values.end(), [&](uint32_t v) { return v == second(); }));
}

} // namespace
} // namespace halvane
