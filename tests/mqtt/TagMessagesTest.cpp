#include "TagMessages.h"

#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"
#include "ValueConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <variant>

using namespace halvane;

namespace {

TDataChannel Reading(double value, bool valid) {
    TDataChannel tag;
    tag.Name = "Level";
    tag.Unit = "mm";
    tag.Format = "%0.1f";
    tag.RealValue = value;
    tag.ValueValid = valid;
    // A valid tag keeps the reason of its last failure, which no view shows.
    tag.Status = valid ? "Connection is closed" : "Read: Timeout";
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
    TDataChannel written = base;
    written.Status = "Pending write"; // the device has confirmed it
    EXPECT_EQ(StateOf(sameText), StateOf(base));
    EXPECT_EQ(StateOf(written), StateOf(base));
    EXPECT_EQ(StateOf(written).status, "OK");
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

// What a message asks for is read on arrival: everything that cannot be made is refused
// with its reason, quoting at most 64 bytes of what came.
TEST(TagMessages, ReadTagWrite) {
    TagTable tags;
    TDataChannel input;
    input.Function = 3;
    TDataChannel output;
    output.Function = 5;
    output.Signed = true;
    tags.Assign({input, output});
    const std::string longText(100, 'x');
    const std::string longUtf8 = std::string(63, 'y') + "\xC3\xA9" + longText; // é at 63..64
    const struct {
        std::string number;
        std::string payload;
        std::variant<TagWrite, std::string> read;
    } cases[] = {
        {"2", "-12.5", TagWrite{"2", 1, -12.5}},
        {"02", " 7 ", TagWrite{"02", 1, 7}},
        {"1", "5", "refused: tag 1 is an input tag."},
        {"3", "5", "refused: there is no tag 3."},
        {"x", "5", "refused: there is no tag x."},
        {"2", "abc", "refused: 'abc' is not a valid floating point value."},
        {"2", "1,5", "refused: '1,5' is not a valid floating point value."},
        {"2", "40000",
         "refused: The value 40000 does not fit the register. The register takes -32768 to "
         "32767."},
        {"2", longText,
         "refused: '" + longText.substr(0, 64) + "...' is not a valid floating point value."},
        {"2", longUtf8,
         "refused: '" + longUtf8.substr(0, 63) + "...' is not a valid floating point value."},
        {longText, "5", "refused: there is no tag " + longText.substr(0, 64) + "...."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadTagWrite(tags, c.number, c.payload), c.read) << c.number << " " << c.payload;
}

// A write over MQTT keeps to the tag's write limits like every other preset.
TEST(TagMessages, WritesKeepToTheWriteLimits) {
    TagTable tags;
    TDataChannel output;
    output.Function = 5;
    output.Name = "Pump speed setpoint";
    output.Unit = "%";
    output.WriteMin = 0;
    output.WriteMax = 100;
    tags.Assign({output});
    EXPECT_EQ(
        ReadTagWrite(tags, "1", "250"),
        (std::variant<TagWrite, std::string>(
            "refused: The value 250 is outside the limits of Pump speed setpoint: 0 to 100 %.")));
    EXPECT_EQ(ReadTagWrite(tags, "1", "100"),
              (std::variant<TagWrite, std::string>(TagWrite{"1", 0, 100})));
}

// Writes are made as the tag list's preset makes them: value and default stored, "Pending
// write", all saved with one file write; each result says what the register receives.
TEST(TagMessages, MakeTagWrites) {
    SetDecimalSeparator(',');
    TempDir dir;
    ProfileStore store(dir / "config.cfg");
    TagTable tags;
    TDataChannel input;
    input.Function = 3;
    TDataChannel output;
    output.Function = 5;
    TDataChannel scaled = output;
    scaled.Linear = 1;
    scaled.ACoff = 0.1;
    tags.Assign({input, output, scaled});
    const std::vector<TagWrite> writes = {
        {"2", 1, 75.5}, {"3", 2, 7.5}, {"1", 0, 5}, {"2", 1, 70000}};
    EXPECT_EQ(MakeTagWrites(tags, store, writes),
              (std::vector<std::string>{
                  "accepted: 75.5, written as 75", "accepted: 7.5, written as 75",
                  "refused: tag 1 is an input tag.",
                  "refused: The value 70000 does not fit the register. The register takes 0 to "
                  "65535."}));
    EXPECT_EQ(MakeTagWrites(tags, store, {{"2", 1, 42}}), std::vector<std::string>{"accepted: 42"});
    const TDataChannel preset = tags.Snapshot(1);
    EXPECT_EQ(preset.RealValue, 42);
    EXPECT_EQ(preset.DefaultValue, 42);
    EXPECT_EQ(preset.Status, "Pending write");
    EXPECT_FALSE(preset.ValueValid);
    EXPECT_EQ(store.ReadFloat("Channel.1", "DefaultValue", 0), 42);
    EXPECT_EQ(store.ReadFloat("Channel.2", "DefaultValue", 0), 7.5);
    EXPECT_FALSE(store.SectionExists("Channel.0"));

    std::filesystem::remove(dir / "config.cfg");
    std::filesystem::create_directory(dir / "config.cfg"); // a folder in its place
    const std::vector<std::string> unsaved = MakeTagWrites(tags, store, {{"2", 1, 43}});
    ASSERT_EQ(unsaved.size(), 1U);
    EXPECT_TRUE(unsaved[0].starts_with("accepted: 43 (not saved: ")) << unsaved[0];
    SetDecimalSeparator('.');
}
