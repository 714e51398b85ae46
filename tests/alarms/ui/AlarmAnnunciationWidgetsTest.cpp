#include "AlarmBanner.h"
#include "AlarmSound.h"

#include "AlarmWindowSupport.h"
#include "WidgetTestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <gtest/gtest.h>

namespace halvane {
namespace {

using test::WaitUntil;

TEST(AlarmBannerTest, ShowsTheCountsAndTheNewestAlarmOnItsColourAndOpensTheListOnAClick) {
    test::AlarmStation station({test::LevelTag("Tank level", 2), test::LevelTag("Flow", 4)});
    AlarmBanner banner(station.Service());
    EXPECT_TRUE(banner.isHidden());

    station.Read(0, 95);
    station.Read(1, 97);
    ASSERT_TRUE(WaitUntil([&] { return banner.isVisibleTo(nullptr); }, 5000));
    EXPECT_EQ(banner.text(), "2 alarms, 2 unacknowledged   Flow: High: 97.0 % > 90 %");
    EXPECT_TRUE(banner.styleSheet().contains("#1976d2")) << banner.styleSheet().toStdString();

    station.Service().AcknowledgeTag(1, {});
    ASSERT_TRUE(WaitUntil([&] { return banner.text().startsWith("2 alarms, 1 "); }, 5000));
    EXPECT_EQ(banner.text(), "2 alarms, 1 unacknowledged   Tank level: High: 95.0 % > 90 %");
    EXPECT_TRUE(banner.styleSheet().contains("#f57c00"));

    banner.show();
    QSignalSpy clicked(&banner, &AlarmBanner::clicked);
    QTest::mouseClick(&banner, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    station.Service().AcknowledgeAll({});
    station.Read(0, 50);
    station.Read(1, 50);
    EXPECT_TRUE(WaitUntil([&] { return banner.isHidden(); }, 5000));
}

TEST(AlarmSoundTest, SoundsForACriticalAlarmUntilSilencedOrAcknowledged) {
    test::AlarmStation station({test::LevelTag("Tank level", 1), test::LevelTag("Flow", 3),
                                test::LevelTag("Pressure", 2)});
    AlarmSound sound(station.Service());
    station.Read(1, 95); // priority 3: silent
    QTest::qWait(50);
    EXPECT_FALSE(sound.Sounding());

    station.Read(0, 95);
    ASSERT_TRUE(WaitUntil([&] { return sound.Sounding(); }, 5000));
    sound.Silence();
    EXPECT_FALSE(sound.Sounding());
    station.Read(0, 96); // the same alarm, still waiting
    QTest::qWait(50);
    EXPECT_FALSE(sound.Sounding());

    station.Read(2, 5); // a new one
    ASSERT_TRUE(WaitUntil([&] { return sound.Sounding(); }, 5000));
    station.Service().AcknowledgeAll({});
    EXPECT_TRUE(WaitUntil([&] { return !sound.Sounding(); }, 5000));
}

TEST(AlarmSoundTest, ShipsAShortMonoBeep) {
    QFile wav(":/alarms/alarm.wav");
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    const QByteArray bytes = wav.readAll();
    ASSERT_GT(bytes.size(), 44);
    EXPECT_EQ(bytes.left(4), "RIFF");
    EXPECT_EQ(bytes.mid(8, 8), "WAVEfmt ");
    const auto le16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    const auto le32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    EXPECT_EQ(le16(20), 1);      // PCM
    EXPECT_EQ(le16(22), 1);      // mono
    EXPECT_EQ(le32(24), 22050u); // Hz
    EXPECT_EQ(le16(34), 16);     // bits
    const double seconds = (bytes.size() - 44) / (2.0 * 22050);
    EXPECT_NEAR(seconds, 0.4, 0.05);
}

TEST(AlarmSoundTest, SoundSwitchedOffNeverPlays) {
    test::AlarmStation station({test::LevelTag("Tank level", 1)}, false);
    AlarmSound sound(station.Service());
    station.Read(0, 95);
    QTest::qWait(100);
    sound.Reconsider();
    EXPECT_FALSE(sound.Sounding());
}

} // namespace
} // namespace halvane
