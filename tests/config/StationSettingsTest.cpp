#include "StationSettings.h"

#include "ProfileStore.h"
#include "StoreFileTest.h"

#include <gtest/gtest.h>

using namespace halvane;

namespace {

using StationSettingsTest = StoreFileTest;

} // namespace

TEST_F(StationSettingsTest, LoadsDefaultsAndStoredValues) {
    const struct {
        const char* name;
        std::string file;
        StationSettings shown;
    } cases[] = {
        {"empty file", "", {false, "60", "30", ",", false, "8088", "", "", false, false, 0, false}},
        {"every key",
         "[General]\nLog.Enabled=1\nLog.Interval=15\nLog.Retention=90\nLog.Separator=;\n"
         "IgnoreCRC=1\nNavigator.Show=1\nNavigator.Type=1\nFloatingScreens=1\n"
         "[WebServer]\nEnabled=1\nPort=8080\nUsername=admin\nPassword=secret\n",
         {true, "15", "90", ";", true, "8080", "admin", "secret", true, true, 1, true}},
        {"values as the store reads them",
         "[General]\nLog.Enabled=yes\nLog.Interval=0x3C\nLog.Retention=many\n"
         "Log.Separator=;,\nFloatingScreens=2\n[WebServer]\nPort=http\nUsername=J\xF6rg\n",
         {false, "60", "30", ";", false, "http", "J\xC3\xB6rg", "", false, false, 0, true}},
        {"8-bit separator",
         "[General]\nLog.Separator=\xA7;\n",
         {false, "60", "30", "\xC2\xA7", false, "8088", "", "", false, false, 0, false}},
        {"UTF-8 separator",
         "[General]\nLog.Separator=\xC2\xA7;\n",
         {false, "60", "30", "\xC2\xA7", false, "8088", "", "", false, false, 0, false}},
        {"empty separator and port",
         "[General]\nLog.Separator=\n[WebServer]\nPort=\n",
         {false, "60", "30", "", false, "", "", "", false, false, 0, false}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadStationSettings(Store(c.file)), c.shown) << c.name;
}

// Every key is written, those no control shows too, in the order of the saving steps.
TEST_F(StationSettingsTest, SavingWhatWasLoadedWritesEveryKeyInOrder) {
    ProfileStore& store = Store("");
    EXPECT_EQ(SaveStationSettings(store, LoadStationSettings(store)), SettingsSaveOutcome{});
    EXPECT_EQ(ReadText(m_file), "[General]\nLog.Enabled=0\nLog.Separator=,\nNavigator.Show=0\n"
                                "Navigator.Type=0\nIgnoreCRC=0\nFloatingScreens=0\n"
                                "Log.Interval=60\nLog.Retention=30\n\n"
                                "[WebServer]\nEnabled=0\nPort=8088\nUsername=\nPassword=\n");
}

// A refused number keeps its stored value; every other value is written all the same.
TEST_F(StationSettingsTest, RefusedNumbersKeepTheirStoredValues) {
    const struct {
        const char* interval;
        const char* retention;
        const char* port;
        SettingsSaveOutcome outcome;
        const char* storedInterval;
        const char* storedRetention;
        const char* storedPort;
    } cases[] = {
        {"15", "40", "8080", {true, true, true}, "15", "40", "8080"},
        {" 15 ", "0x28", "$1F90", {true, true, true}, "15", "40", "8080"}, // as the store reads
        {"0", "0", "1", {true, true, true}, "0", "0", "1"},
        {"15", "40", "65535", {true, true, true}, "15", "40", "65535"},
        {"abc", "40", "8080", {false, true, true}, "10", "40", "8080"},
        {"15", "1.5", "8080", {false, true, true}, "15", "5", "8080"},
        {"-1", "40", "8080", {false, true, true}, "10", "40", "8080"},
        {"15", "-7", "8080", {false, true, true}, "15", "5", "8080"},
        {"", "", "8080", {false, true, true}, "10", "5", "8080"},
        {"99999999999", "40", "8080", {false, true, true}, "10", "40", "8080"},
        {"15", "40", "0", {true, false, true}, "15", "40", "9000"},
        {"15", "40", "65536", {true, false, true}, "15", "40", "9000"},
        {"15", "40", "-80", {true, false, true}, "15", "40", "9000"},
        {"15", "40", "80x", {true, false, true}, "15", "40", "9000"},
        {"x", "40", "", {false, false, true}, "10", "40", "9000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.interval) + "|" + c.retention + "|" + c.port);
        ProfileStore& store = Store("[General]\nLog.Interval=10\nLog.Retention=5\n"
                                    "[WebServer]\nPort=9000\nUsername=old\n");
        StationSettings settings = LoadStationSettings(store);
        settings.interval = c.interval;
        settings.retention = c.retention;
        settings.webPort = c.port;
        settings.historyEnabled = true;
        settings.webUsername = "new";
        EXPECT_EQ(SaveStationSettings(store, settings), c.outcome);
        const ProfileStore file(m_file);
        EXPECT_EQ(file.ReadString("General", "Log.Interval", ""), c.storedInterval);
        EXPECT_EQ(file.ReadString("General", "Log.Retention", ""), c.storedRetention);
        EXPECT_EQ(file.ReadString("WebServer", "Port", ""), c.storedPort);
        EXPECT_EQ(file.ReadString("General", "Log.Enabled", ""), "1");
        EXPECT_EQ(file.ReadString("WebServer", "Username", ""), "new");
    }
}

// Credentials and the separator left as shown keep their 8-bit bytes (a password re-encoded
// would no longer match); what the user typed is stored as UTF-8.
TEST_F(StationSettingsTest, TextsLeftAsShownKeepTheirBytes) {
    const std::string original = "[General]\nLog.Separator=\xA7\n"
                                 "[WebServer]\nUsername=J\xF6rg\nPassword=gr\xFCn\n";
    ProfileStore& store = Store(original);
    StationSettings settings = LoadStationSettings(store);
    SaveStationSettings(store, settings);
    EXPECT_EQ(store.ReadString("General", "Log.Separator", ""), "\xA7");
    EXPECT_EQ(store.ReadString("WebServer", "Username", ""), "J\xF6rg");
    EXPECT_EQ(store.ReadString("WebServer", "Password", ""), "gr\xFCn");

    settings.separator = "";
    settings.webPassword = "gr\xC3\xBCn!";
    SaveStationSettings(store, settings);
    EXPECT_EQ(store.ReadString("General", "Log.Separator", "(absent)"), "");
    EXPECT_EQ(store.ReadString("WebServer", "Username", ""), "J\xF6rg");
    EXPECT_EQ(store.ReadString("WebServer", "Password", ""), "gr\xC3\xBCn!");
}
