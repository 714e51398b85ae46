// The Connections dialog's rules without a window: loading with defaults, "Set defaults",
// the duplicate-port check and the writes of "Save" with their order and their stop.
#include "ConnectionsDialogValues.h"

#include "ProfileStore.h"
#include "StoreFileTest.h"

#include <gtest/gtest.h>

#include <functional>

namespace halvane {
namespace {

std::vector<std::string> Keys(const std::vector<KeyWrite>& writes, const std::string& section) {
    std::vector<std::string> keys;
    for (const KeyWrite& write : writes)
        if (write.section == section)
            keys.push_back(write.key);
    return keys;
}

using ConnectionsDialogValuesTest = StoreFileTest;

TEST_F(ConnectionsDialogValuesTest, LoadsStoredTextsAndTheDefaultsOfWhatIsMissingOrOutOfTable) {
    EXPECT_EQ(LoadConnectionsDialogValues(Store("")), ConnectionsDialogValues{});

    const ConnectionsDialogValues loaded = LoadConnectionsDialogValues(
        Store("[Serial.2]\nenabled=1\ncomport=31\nbaudrateId=12\nprotocolId=1\ndatabitsId=2\n"
              "parityId=2\nstopbitsId=2\ntimeout=abc\ninterval=500\nreconnect=1\nwriteMode=7\n"
              "[Serial.3]\nbaudrateId=20\ndatabitsId=-1\nparityId=5\nstopbitsId=3\nprotocolId=3\n"
              "[Ethernet.1]\nenabled=1\nhost=plc.local\nport=0x1F6\ntimeout=\ninterval=5\n"
              "reconnect=1\nwriteMode=1\ncombine=1\n"));
    EXPECT_EQ(loaded.serial[0], SerialPanelValues{});
    // A port beyond the list's 30 is kept: opening it works all the same. An unknown write
    // mode writes cyclically, as without the key.
    EXPECT_EQ(loaded.serial[1], (SerialPanelValues{true, 31, 12, 1, 2, 2, 2, "abc", "500", true}));
    // Indexes outside their tables show what opening the port uses instead.
    EXPECT_EQ(loaded.serial[2], SerialPanelValues{});
    EXPECT_EQ(loaded.network, (NetworkPanelValues{true, "plc.local", "0x1F6", "", "5", true,
                                                  WriteMode::WhenSet, true}));
}

TEST(ConnectionsDialogValues, SetDefaultsKeepsPortLineSpeedProtocolAndHost) {
    SerialPanelValues serial{true, 4, 12, 1, 0, 2, 1, "1000", "abc"};
    SetSerialDefaults(serial);
    EXPECT_EQ(serial, (SerialPanelValues{true, 4, 12, 1, 3, 0, 0, "300", "2000", true}));

    NetworkPanelValues network{true, "plc", "1502", "50", "10"};
    SetNetworkDefaults(network);
    EXPECT_EQ(network, (NetworkPanelValues{true, "plc", "502", "300", "2000", true}));
}

TEST(ConnectionsDialogValues, PortOfAnotherEnabledConnection) {
    struct Row {
        std::array<bool, 3> enabled;
        std::array<int, 3> comports;
        int changed;
        bool warned;
    };
    const Row rows[] = {
        {{false, true, false}, {2, 2, 3}, 0, true},   // the other one is enabled
        {{false, false, true}, {2, 2, 3}, 0, false},  // the other one on the port is disabled
        {{true, false, false}, {2, 2, 3}, 0, false},  // only its own box is checked
        {{true, true, true}, {1, 2, 3}, 1, false},    // all different
        {{false, false, true}, {5, 1, 5}, 0, true},   // the third one
        {{true, false, false}, {5, 1, 5}, 2, true},   // seen from the third one
        {{true, true, false}, {30, 31, 31}, 1, false} // the third one, on the same port, is off
    };
    for (const Row& row : rows) {
        ConnectionsDialogValues values;
        for (size_t i = 0; i < 3; ++i) {
            values.serial[i].enabled = row.enabled[i];
            values.serial[i].comport = row.comports[i];
        }
        EXPECT_EQ(PortOfAnotherEnabled(values, row.changed), row.warned)
            << row.comports[0] << "," << row.comports[1] << "," << row.comports[2] << " changed "
            << row.changed;
    }
}

TEST(ConnectionsDialogValues, SaveWritesEveryKeyInOrderWithNumbersAsIntegers) {
    ConnectionsDialogValues values;
    values.serial[0] = {true, 4, 12, 1, 2, 1, 2, "0x10", " 250 "};
    values.serial[2].timeout = "-5"; // times are not range-checked
    values.serial[1].reconnect = true;
    values.serial[2].writeMode = WriteMode::WhenSet;
    values.serial[2].combine = true;
    values.network = {true, "plc.local", "65535", "$64", "10", true, WriteMode::WhenSet, true};
    const ConnectionsSave save = PlanConnectionsSave(values);
    EXPECT_TRUE(save.complete);

    const std::vector<std::string> serialKeys{"comport",    "baudrateId", "protocolId",
                                              "databitsId", "parityId",   "stopbitsId",
                                              "timeout",    "interval",   "enabled"};
    ASSERT_EQ(save.writes.size(), 3 * serialKeys.size() + 5 + 4 + 4 + 4);
    std::vector<std::string> withOptions = serialKeys;
    withOptions.push_back("reconnect");
    withOptions.push_back("writeMode");
    withOptions.push_back("combine");
    for (const char* section : {"Serial.1", "Serial.2", "Serial.3"})
        EXPECT_EQ(Keys(save.writes, section), withOptions) << section;
    EXPECT_EQ(Keys(save.writes, "Ethernet.1"),
              (std::vector<std::string>{"enabled", "host", "port", "timeout", "interval",
                                        "reconnect", "writeMode", "combine"}));
    // Sections one after the other, the network last.
    EXPECT_EQ(save.writes[9].section, "Serial.2");
    EXPECT_EQ(save.writes[27].section, "Ethernet.1");

    const std::vector<KeyWrite> serial1(save.writes.begin(), save.writes.begin() + 9);
    EXPECT_EQ(serial1, (std::vector<KeyWrite>{{"Serial.1", "comport", "4"},
                                              {"Serial.1", "baudrateId", "12"},
                                              {"Serial.1", "protocolId", "1"},
                                              {"Serial.1", "databitsId", "2"},
                                              {"Serial.1", "parityId", "1"},
                                              {"Serial.1", "stopbitsId", "2"},
                                              {"Serial.1", "timeout", "16"},
                                              {"Serial.1", "interval", "250"},
                                              {"Serial.1", "enabled", "1"}}));
    EXPECT_EQ(save.writes[24], (KeyWrite{"Serial.3", "timeout", "-5"}));
    EXPECT_EQ(save.writes[26], (KeyWrite{"Serial.3", "enabled", "0"}));
    const std::vector<KeyWrite> network(save.writes.begin() + 27, save.writes.begin() + 32);
    EXPECT_EQ(network, (std::vector<KeyWrite>{{"Ethernet.1", "enabled", "1"},
                                              {"Ethernet.1", "host", "plc.local"},
                                              {"Ethernet.1", "port", "65535"},
                                              {"Ethernet.1", "timeout", "100"},
                                              {"Ethernet.1", "interval", "10"}}));
    // The keys beyond the dialog's first layout come after all the others, in the order
    // they were added.
    const std::vector<KeyWrite> options(save.writes.begin() + 32, save.writes.end());
    EXPECT_EQ(options, (std::vector<KeyWrite>{{"Serial.1", "reconnect", "0"},
                                              {"Serial.2", "reconnect", "1"},
                                              {"Serial.3", "reconnect", "0"},
                                              {"Ethernet.1", "reconnect", "1"},
                                              {"Serial.1", "writeMode", "0"},
                                              {"Serial.2", "writeMode", "0"},
                                              {"Serial.3", "writeMode", "1"},
                                              {"Ethernet.1", "writeMode", "1"},
                                              {"Serial.1", "combine", "0"},
                                              {"Serial.2", "combine", "0"},
                                              {"Serial.3", "combine", "1"},
                                              {"Ethernet.1", "combine", "1"}}));
}

TEST(ConnectionsDialogValues, SaveStopsBeforeTheFirstBadNumber) {
    using Edit = std::function<void(ConnectionsDialogValues&)>;
    struct Row {
        const char* what;
        Edit edit;
        KeyWrite lastWritten;
    };
    const Row rows[] = {
        {"letters in a serial timeout",
         [](auto& v) { v.serial[1].timeout = "abc"; },
         {"Serial.2", "stopbitsId", "0"}},
        {"a fraction in a serial interval",
         [](auto& v) { v.serial[0].interval = "12.5"; },
         {"Serial.1", "timeout", "300"}},
        {"an empty serial interval",
         [](auto& v) { v.serial[2].interval = ""; },
         {"Serial.3", "timeout", "300"}},
        {"a number beyond 32 bits",
         [](auto& v) { v.serial[0].timeout = "4294967296"; },
         {"Serial.1", "stopbitsId", "0"}},
        {"a port with letters",
         [](auto& v) { v.network.port = "502x"; },
         {"Ethernet.1", "host", "localhost"}},
        {"port 0", [](auto& v) { v.network.port = "0"; }, {"Ethernet.1", "host", "localhost"}},
        {"port 65536",
         [](auto& v) { v.network.port = "65536"; },
         {"Ethernet.1", "host", "localhost"}},
        {"a negative port",
         [](auto& v) { v.network.port = "-502"; },
         {"Ethernet.1", "host", "localhost"}},
        {"an empty network interval",
         [](auto& v) { v.network.interval = " "; },
         {"Ethernet.1", "timeout", "300"}},
        {"the first bad number counts",
         [](auto& v) {
             v.serial[2].timeout = "x";
             v.serial[1].interval = "y";
         },
         {"Serial.2", "timeout", "300"}},
    };
    for (const Row& row : rows) {
        ConnectionsDialogValues values;
        row.edit(values);
        const ConnectionsSave save = PlanConnectionsSave(values);
        EXPECT_FALSE(save.complete) << row.what;
        ASSERT_FALSE(save.writes.empty()) << row.what;
        EXPECT_EQ(save.writes.back(), row.lastWritten) << row.what;
    }
}

TEST_F(ConnectionsDialogValuesTest, SaveWritesWhatComesBeforeABadNumberAndKeepsTheRest) {
    ProfileStore& store = Store("; plant\n[Serial.2]\ncomport=9\ntimeout=700\nextra=1\n");
    ConnectionsDialogValues values;
    values.serial[0].comport = 3;
    values.serial[1].timeout = "abc";
    EXPECT_EQ(SaveConnectionsDialogValues(store, values), ConnectionsSaveResult::BadNumber);
    EXPECT_EQ(ReadText(m_file),
              "; plant\n[Serial.2]\ncomport=1\ntimeout=700\nextra=1\n"
              "baudrateId=6\nprotocolId=0\ndatabitsId=3\nparityId=0\n"
              "stopbitsId=0\n\n"
              "[Serial.1]\ncomport=3\nbaudrateId=6\nprotocolId=0\ndatabitsId=3\n"
              "parityId=0\nstopbitsId=0\ntimeout=300\ninterval=2000\nenabled=0\n");

    values.serial[1].timeout = "700";
    EXPECT_EQ(SaveConnectionsDialogValues(store, values), ConnectionsSaveResult::Saved);
    EXPECT_EQ(LoadConnectionsDialogValues(ProfileStore(m_file)), values);
}

TEST_F(ConnectionsDialogValuesTest, SaveToAFileThatCannotBeReadWritesNothing) {
    std::filesystem::create_directory(m_file); // a folder in place of the file
    ProfileStore store(m_file);
    EXPECT_EQ(SaveConnectionsDialogValues(store, ConnectionsDialogValues{}),
              ConnectionsSaveResult::WriteFailed);
    EXPECT_TRUE(std::filesystem::is_empty(m_file));
}

} // namespace
} // namespace halvane
