#include "MqttSettings.h"

#include "ProfileStore.h"
#include "SettingsFields.h"
#include "StoredText.h"

#include <climits>
#include <string_view>
#include <unistd.h>

namespace halvane {

namespace {

constexpr std::string_view kSection = "MQTT";
constexpr std::string_view kDefaultHost = "localhost";
constexpr int kDefaultPort = 1883;
constexpr int kDefaultQos = 1;
constexpr int kDefaultRepublish = 60;
constexpr IntegerRange kPortRange{1, 65535};
constexpr IntegerRange kRepublishRange{1, INT_MAX};

bool InRange(int value, IntegerRange range) {
    return value >= range.lowest && value <= range.highest;
}

int ReadNumber(const ProfileStore& config, std::string_view key, int fallback, IntegerRange range) {
    const int value = config.ReadInteger(kSection, key, fallback);
    return InRange(value, range) ? value : fallback;
}

std::string Text(const ProfileStore& config, std::string_view key, std::string_view fallback = {}) {
    return ShownText(config, kSection, key, fallback);
}

std::string StoredClientId(const ProfileStore& config) {
    std::string id = Text(config, "ClientId");
    return id.empty() ? DefaultMqttClientId() : id;
}

std::string DefaultPrefix(const std::string& clientId) {
    return "halvane/" + clientId;
}

std::string StoredPrefix(const ProfileStore& config, const std::string& clientId) {
    std::string prefix = Text(config, "TopicPrefix");
    return prefix.empty() || !ValidTopicPrefix(prefix) ? DefaultPrefix(clientId) : prefix;
}

} // namespace

bool ValidTopicPrefix(const std::string& prefix) {
    return !prefix.empty() &&
           prefix.find_first_of(std::string_view("+#\0", 3)) == std::string::npos &&
           IsValidUtf8(prefix);
}

std::string DefaultMqttClientId() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        name[0] = '\0';
    return "halvane-" + std::string(name);
}

MqttOptions LoadMqttOptions(const ProfileStore& config) {
    MqttOptions options;
    options.enabled = config.ReadBool(kSection, "Enabled", false);
    options.host = Text(config, "Host", kDefaultHost);
    options.port = ReadNumber(config, "Port", kDefaultPort, kPortRange);
    options.clientId = StoredClientId(config);
    options.username = Text(config, "Username");
    options.password = Text(config, "Password");
    options.topicPrefix = StoredPrefix(config, options.clientId);
    while (options.topicPrefix.size() > 1 && options.topicPrefix.back() == '/')
        options.topicPrefix.pop_back();
    options.qos = ReadNumber(config, "QoS", kDefaultQos, {0, 1});
    options.tls = config.ReadBool(kSection, "TLS", false);
    options.caFile = Text(config, "CAFile");
    options.certFile = Text(config, "CertFile");
    options.keyFile = Text(config, "KeyFile");
    options.republishSeconds = ReadNumber(config, "Republish", kDefaultRepublish, kRepublishRange);
    options.allowWrites = config.ReadBool(kSection, "AllowWrites", false);
    return options;
}

MqttSettings LoadMqttSettings(const ProfileStore& config) {
    MqttSettings settings;
    settings.enabled = config.ReadBool(kSection, "Enabled", false);
    settings.host = Text(config, "Host", kDefaultHost);
    settings.port = Text(config, "Port", std::to_string(kDefaultPort));
    settings.clientId = StoredClientId(config);
    settings.username = Text(config, "Username");
    settings.password = Text(config, "Password");
    settings.topicPrefix = StoredPrefix(config, settings.clientId);
    settings.qos = ReadNumber(config, "QoS", kDefaultQos, {0, 1});
    settings.tls = config.ReadBool(kSection, "TLS", false);
    settings.caFile = Text(config, "CAFile");
    settings.certFile = Text(config, "CertFile");
    settings.keyFile = Text(config, "KeyFile");
    settings.republish = Text(config, "Republish", std::to_string(kDefaultRepublish));
    settings.allowWrites = config.ReadBool(kSection, "AllowWrites", false);
    return settings;
}

MqttSaveOutcome SaveMqttSettings(ProfileStore& config, const MqttSettings& settings) {
    ProfileStore::Batch batch(config);
    config.WriteBool(kSection, "Enabled", settings.enabled);
    WriteEditedText(config, kSection, "Host", settings.host);
    MqttSaveOutcome outcome;
    outcome.portValid = WriteNumber(config, kSection, "Port", settings.port, kPortRange);
    const bool ownId = settings.clientId == DefaultMqttClientId();
    WriteEditedText(config, kSection, "ClientId", ownId ? "" : settings.clientId);
    WriteEditedText(config, kSection, "Username", settings.username);
    WriteEditedText(config, kSection, "Password", settings.password);
    outcome.prefixValid = ValidTopicPrefix(settings.topicPrefix);
    if (outcome.prefixValid)
        WriteEditedText(
            config, kSection, "TopicPrefix",
            settings.topicPrefix == DefaultPrefix(settings.clientId) ? "" : settings.topicPrefix);
    config.WriteInteger(kSection, "QoS", settings.qos == 0 ? 0 : 1);
    config.WriteBool(kSection, "TLS", settings.tls);
    WriteEditedText(config, kSection, "CAFile", settings.caFile);
    WriteEditedText(config, kSection, "CertFile", settings.certFile);
    WriteEditedText(config, kSection, "KeyFile", settings.keyFile);
    outcome.republishValid =
        WriteNumber(config, kSection, "Republish", settings.republish, kRepublishRange);
    config.WriteBool(kSection, "AllowWrites", settings.allowWrites);
    outcome.written = batch.Commit();
    return outcome;
}

} // namespace halvane
