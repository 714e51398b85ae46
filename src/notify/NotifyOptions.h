#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

class ProfileStore;

// How an smtp:// server is asked for TLS before the login and the message.
enum class StartTls { Required, Optional, Off };

// Section "Notify" of config.cfg: where the alarm notifications go. A project without the
// section sends nothing.
struct NotifyOptions {
    bool enabled = false;                       // "Enabled"
    std::string smtpUrl;                        // "SmtpUrl": smtp://host:port or smtps://host:port
    StartTls smtpStartTls = StartTls::Required; // "SmtpStartTls": required, optional, off
    std::string smtpUser;                       // "SmtpUser": empty sends without a login
    std::string smtpPassword;                   // "SmtpPassword"
    std::string from;                           // "From": one address
    std::string to;                             // "To": addresses separated by ","
    std::string webhookUrl;                     // "WebhookUrl": http:// or https://
    std::string webhookHeader;                  // "WebhookHeader": one "Name: value" line
    int minPriority = 2;                        // "MinPriority": priorities 1..this notify
    int maxPerHour = 60;                        // "MaxPerHour"
    // Not stored: the certificates that sign the servers' own, for a private authority;
    // empty trusts the system's.
    std::string caFile;

    bool operator==(const NotifyOptions&) const = default;
};

inline constexpr int kLowestPriority = 4;

// The stored values as UTF-8; an absent key, or one that does not hold what it should,
// reads as its default.
NotifyOptions LoadNotifyOptions(const ProfileStore& config);

// Writes the keys whose value is not the default and removes the others, in one file write:
// a project that never set a notification keeps no "Notify" section. False when the file
// could not be written.
bool SaveNotifyOptions(ProfileStore& config, const NotifyOptions& options);

// Why the options cannot be used, as a sentence for the settings page; nothing when they
// can: an address that is no smtp(s):// or http(s):// URL, a line break in any field (it
// would start a header line of its own), a header that does not read "Name: value", mail
// without sender or recipient, a priority outside 1..4, a cap below 1.
std::optional<std::string> NotifyOptionsProblem(const NotifyOptions& options);

// The addresses of "To", trimmed, the empty ones left out.
std::vector<std::string> Recipients(std::string_view to);

// "required", "optional", "off"; and back (nothing for another text).
std::string_view StartTlsName(StartTls mode);
std::optional<StartTls> ParseStartTls(std::string_view text);

} // namespace halvane
