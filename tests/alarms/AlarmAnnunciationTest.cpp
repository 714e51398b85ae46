#include "AlarmAnnunciation.h"

#include <gtest/gtest.h>

using namespace halvane;

namespace {

const AlarmTime kStart = AlarmTime(std::chrono::seconds(1'800'000'000));

AlarmInfo Alarm(size_t tagIndex, int priority, AlarmListState state, int sinceSeconds = 0) {
    AlarmInfo alarm;
    alarm.tagIndex = tagIndex;
    alarm.priority = priority;
    alarm.state = state;
    alarm.since = kStart + std::chrono::seconds(sinceSeconds);
    alarm.text = "High: 95.20 °C > 90 °C";
    return alarm;
}

} // namespace

TEST(AlarmAnnunciationTest, BannerTexts) {
    EXPECT_EQ(AlarmCountsText({}), "");
    EXPECT_EQ(AlarmCountsText({3, 2}), "3 alarms, 2 unacknowledged");
    EXPECT_EQ(NewestAlarmText(Alarm(0, 1, AlarmListState::Unacknowledged), "Tank level"),
              "Tank level: High: 95.20 °C > 90 °C");
}

TEST(AlarmAnnunciationTest, SoundOnlyForWaitingCriticalAlarms) {
    using State = AlarmListState;
    struct Case {
        int priority;
        State state;
        bool sounds;
    };
    const Case cases[] = {
        {1, State::Unacknowledged, true}, {2, State::Returned, true},
        {2, State::Acknowledged, false},  {3, State::Unacknowledged, false},
        {1, State::Shelved, false},
    };
    for (const Case& c : cases) {
        const AlarmInfo alarms[] = {Alarm(0, c.priority, c.state)};
        EXPECT_EQ(AlarmSoundWanted(alarms, true, {}), c.sounds)
            << "P" << c.priority << " state " << static_cast<int>(c.state);
        EXPECT_FALSE(AlarmSoundWanted(alarms, false, {})); // Sound=0
    }
    AlarmInfo tooMany = Alarm(kNoTag, 1, State::Unacknowledged);
    tooMany.kind = AlarmKind::TooMany;
    EXPECT_FALSE(AlarmSoundWanted(std::span(&tooMany, 1), true, {}));
}

TEST(AlarmAnnunciationTest, SilenceHoldsUntilANewAlarmIsRaised) {
    using State = AlarmListState;
    std::vector<AlarmInfo> alarms = {Alarm(0, 1, State::Unacknowledged)};
    const std::vector<SilencedAlarm> silenced = SoundingAlarms(alarms);
    EXPECT_FALSE(AlarmSoundWanted(alarms, true, silenced));

    alarms[0].state = State::Returned; // still the same alarm
    EXPECT_FALSE(AlarmSoundWanted(alarms, true, silenced));

    alarms[0].state = State::Unacknowledged; // raised again
    alarms[0].since += std::chrono::seconds(30);
    EXPECT_TRUE(AlarmSoundWanted(alarms, true, silenced));

    alarms = {Alarm(0, 1, State::Unacknowledged), Alarm(1, 2, State::Unacknowledged)};
    EXPECT_TRUE(AlarmSoundWanted(alarms, true, silenced)); // another tag
    alarms[1].kind = AlarmKind::Low;
    alarms[1].tagIndex = 0; // another kind of the same tag
    EXPECT_TRUE(AlarmSoundWanted(alarms, true, silenced));
}
