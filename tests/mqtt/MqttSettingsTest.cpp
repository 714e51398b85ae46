#include "MqttSettings.h"

#include "ProfileStore.h"
#include "StoreFileTest.h"

#include <gtest/gtest.h>

using namespace halvane;

namespace {

using MqttSettingsTest = StoreFileTest;

} // namespace

TEST_F(MqttSettingsTest, OptionsWithDefaultsAndStoredValues) {
    const std::string id = DefaultMqttClientId();
    ASSERT_TRUE(id.starts_with("halvane-"));
    MqttOptions defaults;
    defaults.host = "localhost";
    defaults.clientId = id;
    defaults.topicPrefix = "halvane/" + id;
    EXPECT_EQ(LoadMqttOptions(Store("")), defaults);

    MqttOptions stored{true, "broker.plant", 8883,          "st-1",  "user",  "pw", "site/st-1",
                       0,    true,           "/etc/ca.pem", "c.pem", "k.pem", 15,   true};
    EXPECT_EQ(LoadMqttOptions(Store("[MQTT]\nEnabled=1\nHost=broker.plant\nPort=8883\n"
                                    "ClientId=st-1\nUsername=user\nPassword=pw\n"
                                    "TopicPrefix=site/st-1//\nQoS=0\nTLS=1\nCAFile=/etc/ca.pem\n"
                                    "CertFile=c.pem\nKeyFile=k.pem\nRepublish=15\n"
                                    "AllowWrites=1\n")),
              stored);

    // Out of range: the defaults; a client id alone names the prefix.
    const MqttOptions odd =
        LoadMqttOptions(Store("[mqtt]\nPort=70000\nQoS=2\nRepublish=0\nClientId=x\n"));
    EXPECT_EQ(odd.port, 1883);
    EXPECT_EQ(odd.qos, 1);
    EXPECT_EQ(odd.republishSeconds, 60);
    EXPECT_EQ(odd.topicPrefix, "halvane/x");
}

TEST_F(MqttSettingsTest, SaveRefusesBadNumbersAndWritesTheRest) {
    ProfileStore& store = Store("[MQTT]\nPort=1884\nRepublish=30\n");
    MqttSettings settings = LoadMqttSettings(store);
    EXPECT_EQ(settings.port, "1884");
    EXPECT_EQ(settings.republish, "30");
    settings.enabled = true;
    settings.host = "10.0.0.5";
    settings.port = "0";
    settings.republish = "soon";
    settings.allowWrites = true;
    EXPECT_EQ(SaveMqttSettings(store, settings), (MqttSaveOutcome{false, false, true, true}));
    const MqttOptions options = LoadMqttOptions(store);
    EXPECT_TRUE(options.enabled && options.allowWrites);
    EXPECT_EQ(options.host, "10.0.0.5");
    EXPECT_EQ(options.port, 1884);
    EXPECT_EQ(options.republishSeconds, 30);

    settings.port = "65535";
    settings.republish = "1";
    settings.qos = 0;
    EXPECT_EQ(SaveMqttSettings(store, settings), MqttSaveOutcome{});
    EXPECT_EQ(LoadMqttOptions(store).port, 65535);
    EXPECT_EQ(LoadMqttOptions(store).republishSeconds, 1);
    EXPECT_EQ(LoadMqttOptions(store).qos, 0);
}

// A project copied to another station must take that station's own client id and
// prefix, so the defaults shown are not stored; a prefix that is no topic is refused.
TEST_F(MqttSettingsTest, DefaultsShownAreNotStoredAndAWildcardPrefixIsRefused) {
    ProfileStore& store = Store("[MQTT]\nTopicPrefix=plant/line1\n");
    MqttSettings settings = LoadMqttSettings(store);
    EXPECT_EQ(settings.clientId, DefaultMqttClientId());
    settings.enabled = true;
    settings.topicPrefix = "halvane/" + settings.clientId;
    EXPECT_EQ(SaveMqttSettings(store, settings), MqttSaveOutcome{});
    EXPECT_EQ(store.ReadString("MQTT", "ClientId", "<absent>"), "");
    EXPECT_EQ(store.ReadString("MQTT", "TopicPrefix", "<absent>"), "");

    settings.clientId = "pump-house";
    settings.topicPrefix = "halvane/pump-house"; // follows the typed id: stored empty too
    EXPECT_EQ(SaveMqttSettings(store, settings), MqttSaveOutcome{});
    EXPECT_EQ(LoadMqttOptions(store).topicPrefix, "halvane/pump-house");

    for (const char* prefix : {"plant/#", "plant/+/x", "", "bad\xff"}) {
        settings.topicPrefix = prefix;
        EXPECT_FALSE(SaveMqttSettings(store, settings).prefixValid) << prefix;
        EXPECT_EQ(store.ReadString("MQTT", "TopicPrefix", "<absent>"), "") << prefix;
    }
    store.WriteString("MQTT", "TopicPrefix", "plant/#");
    EXPECT_EQ(LoadMqttOptions(store).topicPrefix, "halvane/pump-house");
}
