#include "AlarmSettingsFields.h"

#include "DataRoot.h"
#include "ProfileStore.h"
#include "StoreFileTest.h"

#include <gtest/gtest.h>

using namespace halvane;

namespace {

using AlarmSettingsFieldsTest = StoreFileTest;

const std::string kOtherSections = "[General]\nLog.Interval=15\n";

} // namespace

TEST_F(AlarmSettingsFieldsTest, LoadsDefaultsAndStoredValues) {
    const struct {
        const char* name;
        std::string file;
        AlarmFields shown;
    } cases[] = {
        {"no section", kOtherSections, {"10", true, ""}},
        {"every key",
         "[Alarms]\nCommDelay=0\nSound=0\nEventsFolder=journal\n",
         {"0", false, "journal"}},
        {"as stored",
         "[Alarms]\nCommDelay=soon\nSound=off\nEventsFolder=J\xF6rg\n",
         {"soon", true, "J\xC3\xB6rg"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadAlarmFields(Store(c.file)), c.shown) << c.name;
}

// A value at its default is erased rather than written, so that a project keeps the file it
// had until one is changed; the others go out in their fixed order.
TEST_F(AlarmSettingsFieldsTest, WritesOnlyWhatDiffersFromTheDefaults) {
    const struct {
        const char* name;
        std::string file;
        AlarmFields typed;
        std::string written;
    } cases[] = {
        {"defaults on a project without them", kOtherSections, {"10", true, ""}, kOtherSections},
        {"every one changed",
         kOtherSections,
         {"0", false, "/var/log/events"},
         kOtherSections + "\n[Alarms]\nCommDelay=0\nSound=0\nEventsFolder=/var/log/events\n"},
        {"one changed",
         kOtherSections,
         {"30", true, ""},
         kOtherSections + "\n[Alarms]\nCommDelay=30\n"},
        {"back to the defaults",
         "[Alarms]\nCommDelay=30\nSound=0\nEventsFolder=x\nOther=1\n",
         {"010", true, ""},
         "[Alarms]\nOther=1\n"},
    };
    for (const auto& c : cases) {
        ProfileStore& store = Store(c.file);
        EXPECT_EQ(SaveAlarmFields(store, c.typed), AlarmSaveOutcome{}) << c.name;
        EXPECT_EQ(ReadText(m_file), c.written) << c.name;
    }
}

// A delay that is not a whole number of 0 or more keeps the stored one; the sound and the
// folder are written all the same.
TEST_F(AlarmSettingsFieldsTest, RefusedDelayKeepsItsStoredValue) {
    for (const char* typed : {"-1", "2.5", "abc", "", "99999999999"}) {
        ProfileStore& store = Store("[Alarms]\nCommDelay=5\n");
        const AlarmSaveOutcome outcome = SaveAlarmFields(store, {typed, false, "journal"});
        EXPECT_FALSE(outcome.commDelayValid) << typed;
        EXPECT_TRUE(outcome.written) << typed;
        EXPECT_EQ(ReadText(m_file), "[Alarms]\nCommDelay=5\nSound=0\nEventsFolder=journal\n")
            << typed;
    }
}

// A folder left as shown keeps its 8-bit bytes; a typed one is stored as UTF-8.
TEST_F(AlarmSettingsFieldsTest, FolderLeftAsShownKeepsItsBytes) {
    ProfileStore& store = Store("[Alarms]\nEventsFolder=J\xF6rg\n");
    AlarmFields settings = LoadAlarmFields(store);
    SaveAlarmFields(store, settings);
    EXPECT_EQ(store.ReadString("Alarms", "EventsFolder", ""), "J\xF6rg");
    settings.eventsFolder = "J\xC3\xB6rg2";
    SaveAlarmFields(store, settings);
    EXPECT_EQ(store.ReadString("Alarms", "EventsFolder", ""), "J\xC3\xB6rg2");
}

TEST(EventsFolderPath, EmptyRelativeAndAbsolute) {
    SetDataRoot("/srv/plant");
    const struct {
        const char* setting;
        const char* folder;
    } cases[] = {
        {"", "/srv/plant/events"},
        {"journal", "/srv/plant/journal"},
        {"logs\\events", "/srv/plant/logs/events"},
        {"/var/log/halvane", "/var/log/halvane"},
        {"\\mnt\\events", "/mnt/events"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EventsFolderPath(c.setting), std::filesystem::path(c.folder)) << c.setting;
}
