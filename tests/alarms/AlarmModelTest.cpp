#include "AlarmModel.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace halvane;
using namespace std::chrono_literals;

namespace {

using Type = AlarmEventType;
using State = AlarmListState;

const AlarmTime kStart = AlarmTime(std::chrono::seconds(1'800'000'000));

AlarmTime At(double seconds) {
    return kStart +
           std::chrono::duration_cast<AlarmTime::duration>(std::chrono::duration<double>(seconds));
}

// A valid reading of a tank temperature with limits 10 and 90.
TDataChannel Reading(double value) {
    TDataChannel tag;
    tag.EnableAlert = true;
    tag.HighThreshold = 90;
    tag.LowThreshold = 10;
    tag.Unit = "°C";
    tag.RealValue = value;
    tag.ValueValid = true;
    tag.Status = "OK";
    return tag;
}

TDataChannel Failed(std::string status = "Read: Timeout") {
    TDataChannel tag = Reading(50);
    tag.SetTagError(std::move(status));
    return tag;
}

std::vector<Type> Types(const std::vector<AlarmEvent>& events) {
    std::vector<Type> types;
    for (const AlarmEvent& event : events)
        types.push_back(event.type);
    return types;
}

class AlarmModelTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }

    std::vector<AlarmEvent> Feed(const TDataChannel& tag, double seconds, size_t tagIndex = 0) {
        return m_model.Evaluate(tagIndex, tag, m_settings, m_link, At(seconds));
    }
    std::vector<Type> FeedValue(double value, double seconds) {
        return Types(Feed(Reading(value), seconds));
    }
    // The listed state of tag 0's alarm of `kind`; nothing when it is not listed.
    std::optional<State> StateOf(AlarmKind kind, bool withShelved = false) const {
        for (const AlarmInfo& row : m_model.Alarms(withShelved))
            if (row.tagIndex == 0 && row.kind == kind)
                return row.state;
        return std::nullopt;
    }

    AlarmModel m_model;
    AlarmSettings m_settings;
    LinkContext m_link;
};

} // namespace

TEST_F(AlarmModelTest, SettingsReadTheirKeysAndRefuseBadValues) {
    TempDir dir;
    WriteText(dir / "config.cfg", "[Channel.0]\nName=Plain\n"
                                  "[Channel.1]\nAlarmPriority=1\nAlarmDeadband=2.5\nAlarmDelay=30\n"
                                  "[Channel.2]\nAlarmPriority=4\n"
                                  "[Channel.3]\nAlarmPriority=0\nAlarmDeadband=-1\nAlarmDelay=-5\n"
                                  "[Channel.4]\nAlarmPriority=5\nAlarmDeadband=x\n");
    ProfileStore store(dir / "config.cfg");
    struct Case {
        int tag;
        int priority;
        double deadband;
        double delay;
    };
    for (const Case& c : {Case{0, 3, 0, 0}, Case{1, 1, 2.5, 30}, Case{2, 4, 0, 0}, Case{3, 3, 0, 0},
                          Case{4, 3, 0, 0}}) {
        SCOPED_TRACE(c.tag);
        TDataChannel tag;
        ASSERT_TRUE(tag.LoadFromConfig(store, c.tag));
        const AlarmSettings settings = AlarmSettingsOf(tag);
        EXPECT_EQ(settings.priority, c.priority);
        EXPECT_EQ(settings.deadband, c.deadband);
        EXPECT_EQ(settings.delaySeconds, c.delay);
    }
}

TEST_F(AlarmModelTest, ConditionTextsUseTheTagsFormatAndUnit) {
    TDataChannel high = Reading(95.2);
    EXPECT_EQ(AlarmConditionText(AlarmKind::High, high), "High: 95.20 °C > 90 °C");
    TDataChannel low = Reading(3.14159);
    low.Unit.clear();
    low.Format = "%0.1f";
    low.LowThreshold = 4.5;
    EXPECT_EQ(AlarmConditionText(AlarmKind::Low, low), "Low: 3.1 < 4.5");
    high.Unit = "\xb0"
                "C"; // stored by an older station in its 8-bit code page
    EXPECT_EQ(AlarmConditionText(AlarmKind::High, high), "High: 95.20 °C > 90 °C");
    EXPECT_EQ(AlarmConditionText(AlarmKind::Communication, Failed()),
              "No communication: Read: Timeout");
}

// Each step is a reading (a value) or an acknowledgement, with the events it must give
// and the state the high or low alarm is left in.
TEST_F(AlarmModelTest, TransitionsFollowReadingsAndAcknowledgements) {
    constexpr double kAck = -1000;
    struct Step {
        double value;
        std::vector<Type> events;
        std::optional<State> state;
    };
    struct Case {
        const char* name;
        AlarmKind kind;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases{
        {"raised, acknowledged, cleared",
         AlarmKind::High,
         {{95, {Type::Raised}, State::Unacknowledged},
          {96, {}, State::Unacknowledged},
          {kAck, {Type::Acknowledged}, State::Acknowledged},
          {kAck, {}, State::Acknowledged},
          {97, {}, State::Acknowledged},
          {50, {Type::Cleared}, std::nullopt}}},
        {"returned stays listed until acknowledged",
         AlarmKind::High,
         {{95, {Type::Raised}, State::Unacknowledged},
          {50, {Type::Returned}, State::Returned},
          {51, {}, State::Returned},
          {kAck, {Type::Cleared}, std::nullopt},
          {kAck, {}, std::nullopt}}},
        {"active again while returned",
         AlarmKind::Low,
         {{5, {Type::Raised}, State::Unacknowledged},
          {50, {Type::Returned}, State::Returned},
          {4, {Type::Raised}, State::Unacknowledged}}},
        {"the limit itself is no alarm",
         AlarmKind::High,
         {{90, {}, std::nullopt},
          {90.01, {Type::Raised}, State::Unacknowledged},
          {90, {Type::Returned}, State::Returned}}},
        {"a chattering value gives one event per transition",
         AlarmKind::High,
         {{95, {Type::Raised}, State::Unacknowledged},
          {50, {Type::Returned}, State::Returned},
          {95, {Type::Raised}, State::Unacknowledged},
          {50, {Type::Returned}, State::Returned}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AlarmModel model;
        double t = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.value);
            t += 1;
            const auto events = step.value == kAck
                                    ? model.Acknowledge(0, c.kind, "ann", At(t))
                                    : model.Evaluate(0, Reading(step.value), {}, m_link, At(t));
            EXPECT_EQ(Types(events), step.events);
            for (const AlarmEvent& event : events)
                EXPECT_EQ(event.kind, c.kind);
            const auto rows = model.Alarms(false);
            ASSERT_EQ(rows.size(), step.state ? 1u : 0u);
            if (step.state) {
                EXPECT_EQ(rows[0].state, *step.state);
            }
        }
    }
}

TEST_F(AlarmModelTest, EventsCarryTheConditionAndWhoAcknowledged) {
    m_settings.priority = 2;
    const auto raised = Feed(Reading(95.2), 1);
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].tagIndex, 0u);
    EXPECT_EQ(raised[0].priority, 2);
    EXPECT_EQ(raised[0].value, 95.2);
    EXPECT_EQ(raised[0].limit, 90);
    EXPECT_EQ(raised[0].text, "High: 95.20 °C > 90 °C");
    EXPECT_EQ(raised[0].time, At(1));

    const auto acknowledged = m_model.Acknowledge(0, AlarmKind::High, "ann", At(2));
    ASSERT_EQ(acknowledged.size(), 1u);
    EXPECT_EQ(acknowledged[0].user, "ann");
    const auto rows = m_model.Alarms(false);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].acknowledgedBy, "ann");
    EXPECT_EQ(rows[0].acknowledgedAt, At(2));
    EXPECT_EQ(rows[0].since, At(1));

    Feed(Reading(50), 3);
    Feed(Reading(99), 4);
    ASSERT_EQ(m_model.Alarms(false).size(), 1u);
    EXPECT_EQ(m_model.Alarms(false)[0].acknowledgedBy, "") << "a new raise asks again";
    Feed(Reading(50), 5);
    const auto cleared = m_model.Acknowledge(0, AlarmKind::High, "bob", At(6));
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_EQ(cleared[0].user, "bob");
}

TEST_F(AlarmModelTest, HighAndLowAreJudgedOnlyOnValidValuesWithAlertsOn) {
    EXPECT_EQ(FeedValue(95, 1), std::vector{Type::Raised});
    TDataChannel invalid = Reading(50);
    invalid.ValueValid = false;
    m_link.linkEnabled = false;
    EXPECT_TRUE(Feed(invalid, 2).empty());
    EXPECT_EQ(StateOf(AlarmKind::High), State::Unacknowledged);
    invalid.RealValue = 5;
    EXPECT_TRUE(Feed(invalid, 3).empty());

    TDataChannel off = Reading(95);
    off.EnableAlert = false;
    EXPECT_EQ(Types(Feed(off, 4)), std::vector{Type::Returned});
    off.RealValue = 5;
    EXPECT_TRUE(Feed(off, 5).empty());
}

TEST_F(AlarmModelTest, DeadbandHoldsAnActiveAlarmUntilTheValueIsClearOfTheLimit) {
    m_settings.deadband = 5;
    struct Step {
        double value;
        std::vector<Type> events;
    };
    for (const Step& step : std::vector<Step>{{95, {Type::Raised}},
                                              {89, {}},
                                              {86, {}},
                                              {84, {Type::Returned}},
                                              {89, {}},
                                              {91, {Type::Raised}},
                                              {5, {Type::Returned, Type::Raised}},
                                              {14, {}},
                                              {16, {Type::Returned}}}) {
        SCOPED_TRACE(step.value);
        EXPECT_EQ(FeedValue(step.value, 1), step.events);
    }
}

TEST_F(AlarmModelTest, DelayRaisesOnlyAConditionThatLastedLongEnough) {
    m_settings.delaySeconds = 10;
    // Chattering faster than the delay stays quiet.
    for (int t = 0; t < 60; ++t)
        EXPECT_TRUE(FeedValue(t % 4 < 3 ? 95 : 50, t).empty()) << t;
    EXPECT_TRUE(m_model.Alarms(true).empty());

    EXPECT_TRUE(FeedValue(95, 100).empty());
    EXPECT_TRUE(FeedValue(95, 109.9).empty());
    EXPECT_EQ(FeedValue(95, 110), std::vector{Type::Raised});
    EXPECT_EQ(m_model.Alarms(false)[0].since, At(110));
    // Returning is not delayed.
    EXPECT_EQ(FeedValue(50, 111), std::vector{Type::Returned});
    // The delay is looked at on the next reading, not on a timer.
    EXPECT_TRUE(FeedValue(95, 200).empty());
    EXPECT_EQ(FeedValue(96, 300), std::vector{Type::Raised});
}

TEST_F(AlarmModelTest, CommunicationAlarmAfterTheFailureLastedLongerThanTheDelay) {
    m_link.commDelaySeconds = 10;
    EXPECT_TRUE(Feed(Failed(), 0).empty());
    EXPECT_TRUE(Feed(Failed(), 10).empty());
    const auto raised = Feed(Failed(), 10.5);
    ASSERT_EQ(Types(raised), std::vector{Type::Raised});
    EXPECT_EQ(raised[0].kind, AlarmKind::Communication);
    EXPECT_EQ(raised[0].text, "No communication: Read: Timeout");
    EXPECT_TRUE(Feed(Failed("Read: CRC error"), 11).empty());
    const auto returned = Feed(Reading(50), 12);
    EXPECT_EQ(Types(returned), std::vector{Type::Returned});
    EXPECT_EQ(returned[0].kind, AlarmKind::Communication);

    // A short failure starts the delay afresh.
    EXPECT_TRUE(Feed(Failed(), 20).empty());
    EXPECT_TRUE(Feed(Reading(50), 25).empty());
    EXPECT_TRUE(Feed(Failed(), 26).empty());
    EXPECT_TRUE(Feed(Failed(), 35).empty());
}

TEST_F(AlarmModelTest, NoCommunicationAlarmWhereNoCommunicationIsExpected) {
    struct Case {
        const char* name;
        LinkContext link;
        std::string status;
    };
    for (const Case& c : {Case{"disabled tag", {true, false, 10}, "Cfg: Disabled"},
                          Case{"disabled link", {false, false, 10}, "Read: Timeout"},
                          Case{"demo", {true, true, 10}, "Read: Timeout"},
                          Case{"turned off", {true, false, 0}, "Read: Timeout"},
                          Case{"never polled", {true, false, 10}, "Unknown"},
                          Case{"output not written yet", {true, false, 10}, "Pending write"},
                          Case{"output not read back", {true, false, 10}, "Read-back refused"}}) {
        SCOPED_TRACE(c.name);
        AlarmModel model;
        for (int t : {0, 100, 1000})
            EXPECT_TRUE(model.Evaluate(0, Failed(c.status), {}, c.link, At(t)).empty());
        EXPECT_TRUE(model.Alarms(true).empty());
    }
}

TEST_F(AlarmModelTest, ShelvedAlarmIsHiddenFollowsItsConditionAndExpires) {
    Feed(Reading(95), 0);
    Feed(Failed(), 1); // no communication alarm yet: the delay has not passed
    EXPECT_TRUE(m_model.Shelve(0, AlarmKind::Low, At(60), "not listed", At(1)).empty());
    EXPECT_TRUE(m_model.Shelve(0, AlarmKind::High, At(1), "past", At(1)).empty());

    const auto shelved = m_model.Shelve(0, AlarmKind::High, At(60), "sensor work", At(1));
    ASSERT_EQ(Types(shelved), std::vector{Type::Shelved});
    EXPECT_EQ(shelved[0].text, "sensor work");
    EXPECT_FALSE(StateOf(AlarmKind::High));
    EXPECT_EQ(StateOf(AlarmKind::High, true), State::Shelved);
    EXPECT_EQ(m_model.Counts().listed, 0u);
    EXPECT_FALSE(m_model.NewestUnacknowledged());
    EXPECT_TRUE(m_model.AcknowledgeAll("ann", At(2)).empty());

    // While shelved the condition comes and goes without events.
    EXPECT_TRUE(FeedValue(50, 3).empty());
    EXPECT_TRUE(FeedValue(95, 4).empty());
    EXPECT_TRUE(FeedValue(50, 5).empty());
    EXPECT_TRUE(m_model.Tick(At(59)).empty());
    EXPECT_EQ(Types(m_model.Tick(At(60))), std::vector{Type::Unshelved});
    EXPECT_EQ(StateOf(AlarmKind::High), State::Returned) << "shows its true state";
    EXPECT_TRUE(m_model.Tick(At(61)).empty());
}

TEST_F(AlarmModelTest, UnshelvingShowsWhatHappenedMeanwhile) {
    struct Case {
        const char* name;
        bool acknowledge;
        double valueWhileShelved;
        std::optional<State> after;
    };
    for (const Case& c : {Case{"acknowledged, then ended", true, 50, std::nullopt},
                          Case{"acknowledged, still active", true, 95, State::Acknowledged},
                          Case{"unacknowledged, still active", false, 95, State::Unacknowledged}}) {
        SCOPED_TRACE(c.name);
        AlarmModel model;
        model.Evaluate(0, Reading(95), {}, m_link, At(0));
        if (c.acknowledge)
            model.Acknowledge(0, AlarmKind::High, "ann", At(1));
        model.Shelve(0, AlarmKind::High, At(3600), "", At(2));
        EXPECT_TRUE(model.Evaluate(0, Reading(c.valueWhileShelved), {}, m_link, At(3)).empty());
        EXPECT_EQ(model.Alarms(true).size(), 1u) << "a shelved alarm stays shelved";
        EXPECT_EQ(Types(model.Shelve(0, AlarmKind::High, At(7200), "longer", At(3))),
                  std::vector{Type::Shelved});
        EXPECT_EQ(Types(model.Unshelve(0, AlarmKind::High, At(4))), std::vector{Type::Unshelved});
        const auto rows = model.Alarms(true);
        ASSERT_EQ(rows.size(), c.after ? 1u : 0u);
        if (c.after) {
            EXPECT_EQ(rows[0].state, *c.after);
        }
        EXPECT_TRUE(model.Unshelve(0, AlarmKind::High, At(5)).empty());
    }
}

TEST_F(AlarmModelTest, ListIsSortedByStatePriorityAndAge) {
    auto raise = [&](size_t tagIndex, int priority, double t) {
        m_model.Evaluate(tagIndex, Reading(95), {priority, 0, 0}, m_link, At(t));
    };
    raise(1, 3, 1); // acknowledged below
    raise(2, 4, 2);
    raise(3, 1, 3);
    raise(4, 3, 4);
    raise(5, 3, 5); // returned below
    raise(6, 3, 6); // shelved below
    m_model.Acknowledge(1, AlarmKind::High, "ann", At(10));
    m_model.Evaluate(5, Reading(50), {}, m_link, At(11));
    m_model.Shelve(6, AlarmKind::High, At(100), "", At(12));

    std::vector<size_t> order;
    for (const AlarmInfo& row : m_model.Alarms(true))
        order.push_back(row.tagIndex);
    EXPECT_EQ(order, (std::vector<size_t>{3, 4, 2, 5, 1, 6}));
    EXPECT_EQ(m_model.Alarms(false).size(), 5u);
    const AlarmCounts counts = m_model.Counts();
    EXPECT_EQ(counts.listed, 5u);
    EXPECT_EQ(counts.unacknowledged, 4u);
    ASSERT_TRUE(m_model.NewestUnacknowledged());
    EXPECT_EQ(m_model.NewestUnacknowledged()->tagIndex, 5u);

    EXPECT_EQ(m_model.AcknowledgeAll("ann", At(20)).size(), 4u);
    EXPECT_EQ(m_model.Counts().unacknowledged, 0u);
    EXPECT_FALSE(m_model.NewestUnacknowledged());
}

TEST_F(AlarmModelTest, BeyondTheListLimitOneEntrySaysTooMany) {
    for (size_t i = 0; i < kMaxListedAlarms; ++i)
        ASSERT_EQ(Feed(Reading(95), 1, i).size(), 1u);
    const auto overflow = Feed(Reading(95), 2, kMaxListedAlarms);
    ASSERT_EQ(Types(overflow), std::vector{Type::TooMany});
    EXPECT_EQ(overflow[0].text, "too many alarms");
    EXPECT_TRUE(Feed(Reading(95), 3, kMaxListedAlarms + 1).empty()) << "said once";
    EXPECT_TRUE(Feed(Reading(95), 3, kMaxListedAlarms).empty());

    auto rows = m_model.Alarms(false);
    ASSERT_EQ(rows.size(), kMaxListedAlarms + 1);
    EXPECT_EQ(rows[0].kind, AlarmKind::TooMany);
    EXPECT_EQ(rows[0].text, "too many alarms");

    // A place set free takes the next alarm, and the entry goes.
    m_model.Acknowledge(0, AlarmKind::High, "ann", At(4));
    Feed(Reading(50), 5, 0);
    EXPECT_EQ(FeedValue(95, 6), std::vector{Type::Raised}) << "tag 0 again";
    EXPECT_EQ(Types(Feed(Reading(50), 7, 1)), std::vector{Type::Returned});
    m_model.Acknowledge(1, AlarmKind::High, "ann", At(8));
    EXPECT_EQ(Types(Feed(Reading(95), 9, kMaxListedAlarms)), std::vector{Type::Raised});
    rows = m_model.Alarms(false);
    EXPECT_EQ(rows.size(), kMaxListedAlarms);
    EXPECT_TRUE(std::ranges::none_of(
        rows, [](const AlarmInfo& row) { return row.kind == AlarmKind::TooMany; }));
}

TEST_F(AlarmModelTest, StateSurvivesARestart) {
    Feed(Reading(95), 1, 0);
    m_model.Acknowledge(0, AlarmKind::High, "ann\tlee", At(2));
    Feed(Reading(95), 3, 1);
    m_model.Acknowledge(1, AlarmKind::High, "bob", At(4));
    Feed(Reading(5), 5, 2);
    Feed(Reading(95), 6, 3);
    m_model.Shelve(3, AlarmKind::High, At(3600), "line 1\nline 2 \\ end", At(7));
    Feed(Reading(50), 8, 3); // returned while shelved

    const std::string saved = m_model.SaveState();
    AlarmModel restored;
    ASSERT_TRUE(restored.RestoreState(saved));
    const auto before = m_model.Alarms(true);
    const auto after = restored.Alarms(true);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_TRUE(after == before);

    // Still active: not asked again. No longer active: cleared.
    EXPECT_TRUE(restored.Evaluate(0, Reading(95), {}, m_link, At(100)).empty());
    EXPECT_EQ(Types(restored.Evaluate(1, Reading(50), {}, m_link, At(100))),
              std::vector{Type::Cleared});
    EXPECT_EQ(restored.Counts().listed, 2u);
    EXPECT_EQ(Types(restored.Tick(At(3600))), std::vector{Type::Unshelved});
    EXPECT_EQ(restored.Counts().unacknowledged, 2u) << "tag 2 active, tag 3 returned";
}

TEST_F(AlarmModelTest, RestoreSkipsLinesItCannotRead) {
    Feed(Reading(95), 1, 7);
    const std::string good = m_model.SaveState();
    AlarmModel restored;
    EXPECT_FALSE(
        restored.RestoreState("garbage\n" + good + "7\thigh\tbogus\t3\t1\t0\t0\t\t\t\t\t\n"));
    ASSERT_EQ(restored.Alarms(true).size(), 1u);
    EXPECT_EQ(restored.Alarms(true)[0].tagIndex, 7u);
    EXPECT_TRUE(restored.RestoreState(""));
    EXPECT_TRUE(restored.Alarms(true).empty());
}

TEST_F(AlarmModelTest, EvaluationsFromTwoThreadsWhileAnotherAcknowledges) {
    constexpr int kRounds = 2000;
    auto worker = [&](size_t firstTag) {
        for (int i = 0; i < kRounds; ++i)
            m_model.Evaluate(firstTag + static_cast<size_t>(i % 8), Reading(i % 3 ? 95 : 50), {},
                             m_link, At(i));
    };
    std::thread a(worker, 0);
    std::thread b(worker, 100);
    for (int i = 0; i < kRounds / 10; ++i) {
        m_model.AcknowledgeAll("ann", At(i));
        m_model.Alarms(false);
        m_model.Tick(At(i));
    }
    a.join();
    b.join();
    const AlarmCounts counts = m_model.Counts();
    EXPECT_EQ(counts.listed, m_model.Alarms(false).size());
    EXPECT_LE(counts.listed, 16u);
}
