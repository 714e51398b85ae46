#pragma once

#include <string>

namespace halvane {

class ProfileStore;

// Section "MQTT" of config.cfg as the client uses it. A project without the section has
// the client off.
struct MqttOptions {
    bool enabled = false;
    std::string host;
    int port = 1883;
    std::string clientId;
    std::string username;
    std::string password;
    std::string topicPrefix; // without a trailing "/"
    int qos = 1;             // 0 or 1
    bool tls = false;
    std::string caFile;
    std::string certFile; // with keyFile: a client certificate, optional
    std::string keyFile;
    int republishSeconds = 60;
    bool allowWrites = false;

    bool operator==(const MqttOptions&) const = default;
};

// "halvane-" + the host name.
std::string DefaultMqttClientId();

// The stored values as UTF-8; an absent key, or one that does not hold what it should,
// reads as its default: host "localhost", port 1883, client id DefaultMqttClientId(),
// prefix "halvane/" + client id, QoS 1, republish every 60 s, the switches off.
MqttOptions LoadMqttOptions(const ProfileStore& config);

// The same section as the settings dialog shows it: switches as flags, fields as their
// UTF-8 text.
struct MqttSettings {
    bool enabled = false;
    std::string host;
    std::string port;
    std::string clientId;
    std::string username;
    std::string password;
    std::string topicPrefix;
    int qos = 1;
    bool tls = false;
    std::string caFile;
    std::string certFile;
    std::string keyFile;
    std::string republish; // seconds
    bool allowWrites = false;

    bool operator==(const MqttSettings&) const = default;
};

// Which of the typed numbers were refused, and whether the file took the values.
struct MqttSaveOutcome {
    bool portValid = true;
    bool republishValid = true;
    bool prefixValid = true;
    bool written = true;

    bool operator==(const MqttSaveOutcome&) const = default;
};

MqttSettings LoadMqttSettings(const ProfileStore& config);

// Whether `prefix` can start the station's topics: not empty, no "+" or "#" wildcards,
// no NUL, valid UTF-8.
bool ValidTopicPrefix(const std::string& prefix);

// Writes every key of the section in one file write. A port outside 1..65535, a
// republish interval that is not a whole number of at least 1 s or a topic prefix that
// is no topic keeps its stored value; every other value is written all the same. A text
// left as it was shown keeps its stored bytes. A client id and a prefix that still show
// what the host name gives are stored empty, so a project copied to another station
// takes that station's own.
MqttSaveOutcome SaveMqttSettings(ProfileStore& config, const MqttSettings& settings);

} // namespace halvane
