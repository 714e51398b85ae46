// The demo project as a new user first sees it: nothing moves when a screen is opened in
// edit mode, no normal state is drawn as an alarm, no unused line shows as a fault.
#include "ConnectionSettings.h"
#include "ProfileStore.h"
#include "ScreenFile.h"
#include "TagTable.h"
#include "TempDir.h"
#include "ValueConversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

using namespace halvane;

namespace {

const std::filesystem::path kDemo = HALVANE_DEMO_ROOT;

TEST(DemoProject, ObjectsStandOnTheGrid) {
    const ProfileStore config(kDemo / "cfg/config.cfg");
    for (const int number : ReadScreenList(config)) {
        const ProfileStore file(kDemo / "cfg" / ScreenFileName(number));
        for (const TScreenMarker& object : LoadObjects(file))
            for (const int32_t edge : {object.Left, object.Top, object.Right, object.Bottom})
                EXPECT_EQ(edge % 10, 0) << "screen " << number << ": " << object.AttrStr1;
    }
}

// Only the level switches are alarms when on; off is never one.
TEST(DemoProject, BinaryTagsAlarmOnlyWhereOnIsAnAlarm) {
    const TempDir copy; // the loader may write: never the shipped file
    std::filesystem::copy_file(kDemo / "cfg/config.cfg", copy / "config.cfg");
    ProfileStore config(copy / "config.cfg");
    const std::set<std::string> alarmsWhenOn = {"Level high", "Level low"};
    for (TDataChannel tag : LoadAllTags(config)) {
        if (!IsMaskedBitDataType(tag.DataType))
            continue;
        tag.RealValue = 0;
        EXPECT_EQ(AlarmState(tag), 0) << tag.Name;
        tag.RealValue = 1;
        EXPECT_EQ(AlarmState(tag) != 0, alarmsWhenOn.contains(tag.Name)) << tag.Name;
    }
}

TEST(DemoProject, OnlyTheLinkInUseIsEnabled) {
    const ProfileStore config(kDemo / "cfg/config.cfg");
    for (int connection = 1; connection <= 3; ++connection)
        EXPECT_FALSE(ReadSerialSettings(config, connection).enabled) << connection;
    EXPECT_TRUE(ReadNetworkSettings(config).enabled);
}

} // namespace
