#include "TagMessages.h"

#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"
#include "ValueConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace halvane;

namespace {

TDataChannel Reading(double value, bool valid) {
    TDataChannel tag;
    tag.Name = "Level";
    tag.Unit = "mm";
    tag.Format = "%0.1f";
    tag.RealValue = value;
    tag.ValueValid = valid;
    tag.Status = valid ? "OK" : "Read: Timeout";
    tag.LowThreshold = 100;
    tag.HighThreshold = 4500;
    tag.EnableAlert = true;
    return tag;
}

constexpr std::string_view kTime = "2026-12-10T16:20:00.123Z";

} // namespace

TEST(TagMessages, TagPayloads) {
    TDataChannel quoted = Reading(150, true);
    quoted.Name = "Tank \"A\"\\1\n";
    quoted.Unit = "\xB0"
                  "C"; // Windows-1252 degree sign as stored
    TDataChannel endless = Reading(std::numeric_limits<double>::infinity(), true);
    endless.EnableAlert = false;
    const struct {
        const char* what;
        TDataChannel tag;
        std::string json;
    } cases[] = {
        {"valid, no alarm", Reading(2500.25, true),
         R"({"name":"Level","value":2500.25,"text":"2500.2","unit":"mm","valid":true,)"
         R"("status":"OK","alarm":null,"ts":"2026-12-10T16:20:00.123Z"})"},
        {"high", Reading(4600, true),
         R"({"name":"Level","value":4600,"text":"4600.0","unit":"mm","valid":true,)"
         R"("status":"OK","alarm":"high","ts":"2026-12-10T16:20:00.123Z"})"},
        {"low", Reading(-0.125, true),
         R"({"name":"Level","value":-0.125,"text":"-0.1","unit":"mm","valid":true,)"
         R"("status":"OK","alarm":"low","ts":"2026-12-10T16:20:00.123Z"})"},
        {"not valid", Reading(2500, false),
         R"({"name":"Level","value":null,"text":"2500.0","unit":"mm","valid":false,)"
         R"("status":"Read: Timeout","alarm":null,"ts":"2026-12-10T16:20:00.123Z"})"},
        {"escapes and 8-bit text", quoted,
         "{\"name\":\"Tank \\\"A\\\"\\\\1\\n\",\"value\":150,\"text\":\"150.0\",\"unit\":"
         "\"\xC2\xB0"
         "C\",\"valid\":true,\"status\":\"OK\",\"alarm\":null,"
         "\"ts\":\"2026-12-10T16:20:00.123Z\"}"},
        {"infinite", endless,
         R"({"name":"Level","value":null,"text":"inf","unit":"mm","valid":true,)"
         R"("status":"OK","alarm":null,"ts":"2026-12-10T16:20:00.123Z"})"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TagPayload(c.tag, StateOf(c.tag), kTime), c.json) << c.what;
}

TEST(TagMessages, StateFollowsWhatSubscribersSee) {
    const TDataChannel base = Reading(2500, true);
    TDataChannel sameText = base;
    sameText.RealValue = 2500.01; // "%0.1f" shows the same
    TDataChannel invalid = base;
    invalid.SetTagError("Read: Timeout");
    TDataChannel alarm = base;
    alarm.HighThreshold = 2000;
    EXPECT_EQ(StateOf(sameText), StateOf(base));
    EXPECT_NE(StateOf(invalid), StateOf(base));
    EXPECT_NE(StateOf(alarm), StateOf(base));
    EXPECT_EQ(StateOf(alarm).alarm, kAlarmHigh);
}

TEST(TagMessages, IsoUtcTime) {
    using namespace std::chrono;
    const system_clock::time_point t{milliseconds(1796919600123LL)};
    EXPECT_EQ(IsoUtcTime(t), "2026-12-10T16:20:00.123Z");
    EXPECT_EQ(IsoUtcTime(system_clock::time_point{}), "1970-01-01T00:00:00.000Z");
}

TEST(TagMessages, TagListDescribesEveryTag) {
    EXPECT_EQ(TagListPayload({}), "[]");
    EXPECT_EQ(TagListPayload({{"Pump", "", 4}, {"Level", "mm", 3}}),
              R"([{"number":1,"name":"Pump","unit":"","function":"(5) Write Coil",)"
              R"("output":true},{"number":2,"name":"Level","unit":"mm","function":)"
              R"("(4) Read Input Register","output":false}])");
}

TEST(TagMessages, TagNumbers) {
    const struct {
        const char* text;
        std::optional<int> number;
    } cases[] = {
        {"1", 1},
        {"42", 42},
        {"0", std::nullopt},
        {"-1", std::nullopt},
        {"+1", std::nullopt},
        {" 1", std::nullopt},
        {"1a", std::nullopt},
        {"", std::nullopt},
        {"99999999999", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TagNumberText(c.text), c.number) << c.text;
}

// A write from the broker is the tag list's preset: value and default stored, "Pending
// write", saved; everything else refused with its reason.
TEST(TagMessages, PresetFromMessage) {
    SetDecimalSeparator(',');
    TempDir dir;
    ProfileStore store(dir / "config.cfg");
    TagTable tags;
    TDataChannel input;
    input.Function = 3;
    TDataChannel output;
    output.Function = 5;
    output.Signed = true;
    tags.Assign({input, output});
    const struct {
        const char* number;
        const char* payload;
        std::string result;
    } cases[] = {
        {"2", "-12.5", "accepted: -12.5"},
        {"2", " 7 ", "accepted: 7"},
        {"1", "5", "refused: tag 1 is an input tag."},
        {"3", "5", "refused: there is no tag 3."},
        {"x", "5", "refused: there is no tag x."},
        {"2", "abc", "refused: 'abc' is not a valid floating point value."},
        {"2", "1,5", "refused: '1,5' is not a valid floating point value."},
        {"2", "40000",
         "refused: The value 40000 does not fit the register. The register takes -32768 to "
         "32767."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PresetFromMessage(tags, store, c.number, c.payload), c.result)
            << c.number << " " << c.payload;
    const TDataChannel preset = tags.Snapshot(1);
    EXPECT_EQ(preset.RealValue, 7);
    EXPECT_EQ(preset.DefaultValue, 7);
    EXPECT_EQ(preset.Status, "Pending write");
    EXPECT_FALSE(preset.ValueValid);
    EXPECT_EQ(store.ReadFloat("Channel.1", "DefaultValue", 0), 7);
    SetDecimalSeparator('.');
}
