#include "TagJson.h"

#include "JournalFormat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace halvane {
namespace {

TDataChannel Tag(std::string name, std::string unit, double value, bool valid, int function = 0) {
    TDataChannel tag;
    tag.Name = std::move(name);
    tag.Unit = std::move(unit);
    tag.RealValue = value;
    tag.ValueValid = valid;
    tag.Status = valid ? "OK" : "Timeout";
    tag.Function = function;
    return tag;
}

TDataChannel WithLimits(TDataChannel tag, double low, double high) {
    tag.WriteMin = low;
    tag.WriteMax = high;
    return tag;
}

AlarmInfo Alarm(size_t tag, AlarmKind kind, AlarmListState state) {
    AlarmInfo alarm;
    alarm.tagIndex = tag;
    alarm.kind = kind;
    alarm.state = state;
    return alarm;
}

TEST(TagJson, ObjectsCarryWhatTheStationShows) {
    const TagTable::ChangeTime at = std::chrono::system_clock::now();
    const std::string atText = JournalTimeText(at);
    struct Case {
        TDataChannel tag;
        std::optional<TagTable::ChangeTime> changedAt;
        std::optional<AlarmKind> alarm;
        std::string json;
    } cases[] = {
        {Tag("Tank level", "%", 95.2, true), at, AlarmKind::High,
         R"({"number":4,"name":"Tank level","value":95.2,"text":"95.20 %","unit":"%",)"
         R"("valid":true,"status":"OK","alarm":"high","writable":false,"min":null,"max":null,)"
         R"("ts":")" +
             atText + "\"}"},
        // no value without a valid reading; stored bytes become UTF-8; quotes escaped
        {Tag("Temp \"A\" \xB0",
             "\xB0"
             "C",
             3, false),
         std::nullopt, AlarmKind::Low,
         R"({"number":4,"name":"Temp \"A\" °","value":null,"text":"3.00 °C","unit":"°C",)"
         R"("valid":false,"status":"Timeout","alarm":"low","writable":false,"min":null,)"
         R"("max":null,"ts":null})"},
        {WithLimits(Tag("Pump", "", 1, true, 5), 0, 100), std::nullopt, std::nullopt,
         R"({"number":4,"name":"Pump","value":1,"text":"1.00","unit":"","valid":true,)"
         R"("status":"OK","alarm":null,"writable":true,"min":0,"max":100,"ts":null})"},
    };
    for (const Case& c : cases) {
        std::string out;
        AppendTagJson(out, c.tag, 3, c.changedAt, c.alarm);
        EXPECT_EQ(out, c.json);
    }
}

TEST(TagJson, OnlyAnActiveLimitAlarmCounts) {
    const LimitAlarms alarms({Alarm(0, AlarmKind::High, AlarmListState::Unacknowledged),
                              Alarm(1, AlarmKind::Low, AlarmListState::Acknowledged),
                              Alarm(2, AlarmKind::High, AlarmListState::Returned),
                              Alarm(3, AlarmKind::High, AlarmListState::Shelved),
                              Alarm(4, AlarmKind::Communication, AlarmListState::Unacknowledged)});
    EXPECT_EQ(alarms.Of(0), AlarmKind::High);
    EXPECT_EQ(alarms.Of(1), AlarmKind::Low);
    for (size_t index : {2, 3, 4, 5})
        EXPECT_EQ(alarms.Of(index), std::nullopt) << index;
}

TEST(TagJson, TheTableGivesEachTagTheTimeItLastChanged) {
    TagTable table;
    table.Assign({Tag("A", "", 1, true), Tag("B", "", 2, true)});
    EXPECT_EQ(TagListJson(table, {}).find("\"ts\":\""), std::string::npos);

    // a connection marking the tags it polls changes nothing they show
    table.Update(0, [](TDataChannel& tag) { tag.PollingNow = true; });
    const auto before = std::chrono::system_clock::now();
    table.Update(1, [](TDataChannel& tag) { tag.RealValue = 5; });
    std::vector<std::optional<TagTable::ChangeTime>> times;
    table.ReadAllTimed(
        [&](const TDataChannel&, size_t, auto changedAt) { times.push_back(changedAt); });
    ASSERT_EQ(times.size(), 2u);
    EXPECT_FALSE(times[0]);
    ASSERT_TRUE(times[1]);
    EXPECT_GE(*times[1], before);

    const std::vector<size_t> some{1, 7};
    const std::string json = TagsJson(table, some, {});
    EXPECT_TRUE(json.starts_with(R"([{"number":2,"name":"B","value":5,)")) << json;
    EXPECT_EQ(json.find("\"number\":1,"), std::string::npos);
}

} // namespace
} // namespace halvane
