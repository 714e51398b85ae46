// The main window with MQTT publishing on, against a real Mosquitto broker: the navigator's
// "MQTT" entry and its hint, the status bar, writes made on the window's thread, and the
// settings dialog turning the client off and on again.
#include "TFormMain.h"

#include "MqttClient.h"
#include "MqttSupport.h"
#include "StationSupport.h"
#include "TFormSettings.h"
#include "WidgetTestSupport.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace halvane;
using test::WaitUntil;

TEST(TFormMainMqtt, TheNavigatorStatusBarAndSettingsFollowTheClient) {
    mqtt_test::Broker broker;
    ASSERT_TRUE(broker.Started());
    const std::string port = std::to_string(broker.Port());
    TempDir root;
    WriteStation(root,
                 "[MQTT]\nEnabled=1\nHost=127.0.0.1\nPort=" + port +
                     "\nTopicPrefix=main/st\nAllowWrites=1\n"
                     "[Channel.0]\nName=Setpoint\nFunction=5\nFormat=%0.0f\n",
                 {});
    mqtt_test::Subscriber plant(broker.Port(), "main/st/#");
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    ASSERT_TRUE(form->Mqtt());

    QTreeWidgetItem* connections = form->TreeViewMain()->topLevelItem(0);
    ASSERT_EQ(connections->childCount(), 5);
    EXPECT_EQ(connections->child(4)->text(0), QString::fromStdString("MQTT: 127.0.0.1:" + port));
    const QString connected = QString::fromStdString("MQTT: connected to 127.0.0.1:" + port);
    EXPECT_TRUE(WaitUntil([&] { return form->statusBar()->currentMessage() == connected; }))
        << form->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(form->Mqtt()->StatusText(), "Connected to 127.0.0.1:" + port);
    ASSERT_TRUE(plant.WaitForText("main/st/status", "online"));

    // A write is made when the window's thread gets to it, as the tag list makes it.
    plant.Publish("main/st/set/1", "42");
    EXPECT_TRUE(WaitUntil([&] { return form->Tags().Snapshot(0).RealValue == 42; }));
    EXPECT_TRUE(plant.WaitForText("main/st/set/1/result", "accepted: 42"));
    EXPECT_EQ(form->Tags().Snapshot(0).Status, "Pending write");

    // Off in the settings: the entry goes and the station says "offline".
    const auto saveWithMqtt = [&](bool enabled) {
        test::ModalAnswers answers;
        answers.Then<TFormSettings>([enabled](TFormSettings& dialog) {
            test::Child<QCheckBox>(dialog, "CheckBoxEnableMqtt")->setChecked(enabled);
            test::Click(dialog, "ButtonSave");
        });
        Trigger(*form, "Advancedsettings1");
    };
    saveWithMqtt(false);
    EXPECT_FALSE(form->Mqtt());
    EXPECT_EQ(connections->childCount(), 4);
    EXPECT_TRUE(plant.WaitForText("main/st/status", "offline"));

    saveWithMqtt(true);
    ASSERT_TRUE(form->Mqtt());
    EXPECT_EQ(connections->childCount(), 5);
    EXPECT_TRUE(mqtt_test::WaitUntil([&] { return plant.Last("main/st/status") == "online"; }));
    form->close();
    EXPECT_TRUE(mqtt_test::WaitUntil([&] { return plant.Last("main/st/status") == "offline"; }));
}

// A flood of writes over MQTT: the window's thread makes them in a few batches, each saved
// once, and keeps running its timers (polling, history, painting); the newest value wins.
TEST(TFormMainMqtt, AFloodOfWritesLeavesTheWindowsThreadFree) {
    mqtt_test::Broker broker;
    ASSERT_TRUE(broker.Started());
    TempDir root;
    WriteStation(root,
                 "[MQTT]\nEnabled=1\nHost=127.0.0.1\nPort=" + std::to_string(broker.Port()) +
                     "\nTopicPrefix=main/st\nAllowWrites=1\n"
                     "[Channel.0]\nName=Setpoint\nFunction=5\nFormat=%0.0f\n",
                 {});
    mqtt_test::Subscriber plant(broker.Port(), "main/st/#");
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    ASSERT_TRUE(plant.WaitForText("main/st/status", "online"));

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    ticker.start(20);
    constexpr int kWrites = 20000;
    std::atomic<bool> flooded{false};
    std::thread flood([&] {
        mqtt_test::Flood(broker.Port(), "main/st/set/1", kWrites);
        flooded = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return flooded.load(); }, 60000));
    flood.join();
    const qint64 floodEnd = clock.elapsed();
    // The newest write wins, and the last of the flood may still be on its way or lost
    // (QoS 0): a write sent again until one is made after all of the flood.
    const std::string result = "main/st/set/1/result";
    const auto answered = [&](const std::string& text) {
        return std::ranges::any_of(plant.On(result),
                                   [&](const mqtt_test::Message& m) { return m.payload == text; });
    };
    EXPECT_TRUE(WaitUntil([&] {
        if (answered("accepted: 30000"))
            return true;
        plant.Publish("main/st/set/1", "30000");
        return false;
    }));
    RecordProperty("longest_gap_ms", static_cast<int>(longestGap));
    RecordProperty("drain_ms", static_cast<int>(clock.elapsed() - floodEnd));
    EXPECT_LT(longestGap, 1000);
    EXPECT_EQ(form->Tags().Snapshot(0).RealValue, 30000);
    EXPECT_NE(ReadText(root / "cfg/config.cfg").find("DefaultValue=30000"), std::string::npos);
    form->close();
}

// A project without the section: no client, no entry.
TEST(TFormMainMqtt, WithoutTheSectionThereIsNoClient) {
    TempDir root;
    WriteStation(root, "", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    EXPECT_FALSE(form->Mqtt());
    EXPECT_EQ(form->TreeViewMain()->topLevelItem(0)->childCount(), 4);
    form->close();
}
