#include "NotifyOptions.h"

#include "ProfileStore.h"
#include "SettingsFields.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace halvane {

namespace {

constexpr std::string_view kSection = "Notify";
const NotifyOptions kDefaults;

std::string Text(const ProfileStore& config, std::string_view key) {
    return ShownText(config, kSection, key, "");
}

int Number(const ProfileStore& config, std::string_view key, int fallback, int lowest,
           int highest) {
    const int value = config.ReadInteger(kSection, key, fallback);
    return value >= lowest && value <= highest ? value : fallback;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char lower, char c) {
               return std::tolower(static_cast<unsigned char>(c)) == lower;
           });
}

bool HasScheme(std::string_view url, std::initializer_list<std::string_view> schemes) {
    return std::ranges::any_of(schemes, [&](std::string_view scheme) {
        return StartsWithNoCase(url, scheme) && url.size() > scheme.size();
    });
}

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A plain address: something "@" something, nothing that would end it or open another.
bool PlainAddress(std::string_view address) {
    const size_t at = address.find('@');
    return at != std::string_view::npos && at > 0 && at + 1 < address.size() &&
           std::ranges::none_of(address, [](char c) {
               return static_cast<unsigned char>(c) <= ' ' || c == '<' || c == '>' || c == ',' ||
                      c == '"' || c == '\x7f';
           });
}

// "Name: value" with a name of the characters HTTP allows in a header's name.
bool HeaderLine(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos)
        return false;
    return std::ranges::all_of(line.substr(0, colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) ||
               std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    });
}

void WriteOrDrop(ProfileStore& config, std::string_view key, const std::string& value,
                 const std::string& fallback) {
    if (value == fallback)
        config.DeleteKey(kSection, key);
    else
        WriteEditedText(config, kSection, key, value);
}

void WriteOrDrop(ProfileStore& config, std::string_view key, int value, int fallback) {
    if (value == fallback)
        config.DeleteKey(kSection, key);
    else
        config.WriteInteger(kSection, key, value);
}

} // namespace

std::string_view StartTlsName(StartTls mode) {
    switch (mode) {
    case StartTls::Optional:
        return "optional";
    case StartTls::Off:
        return "off";
    case StartTls::Required:
        break;
    }
    return "required";
}

std::optional<StartTls> ParseStartTls(std::string_view text) {
    for (const StartTls mode : {StartTls::Required, StartTls::Optional, StartTls::Off})
        if (StartsWithNoCase(text, StartTlsName(mode)) && text.size() == StartTlsName(mode).size())
            return mode;
    return std::nullopt;
}

std::vector<std::string> Recipients(std::string_view to) {
    std::vector<std::string> addresses;
    while (!to.empty()) {
        const size_t comma = std::min(to.find(','), to.size());
        const std::string_view address = Trimmed(to.substr(0, comma));
        if (!address.empty())
            addresses.emplace_back(address);
        to.remove_prefix(std::min(comma + 1, to.size()));
    }
    return addresses;
}

NotifyOptions LoadNotifyOptions(const ProfileStore& config) {
    NotifyOptions options;
    options.enabled = config.ReadBool(kSection, "Enabled", false);
    options.smtpUrl = Text(config, "SmtpUrl");
    options.smtpStartTls =
        ParseStartTls(Text(config, "SmtpStartTls")).value_or(kDefaults.smtpStartTls);
    options.smtpUser = Text(config, "SmtpUser");
    options.smtpPassword = Text(config, "SmtpPassword");
    options.from = Text(config, "From");
    options.to = Text(config, "To");
    options.webhookUrl = Text(config, "WebhookUrl");
    options.webhookHeader = Text(config, "WebhookHeader");
    options.minPriority = Number(config, "MinPriority", kDefaults.minPriority, 1, kLowestPriority);
    options.maxPerHour = Number(config, "MaxPerHour", kDefaults.maxPerHour, 1, 1'000'000);
    return options;
}

bool SaveNotifyOptions(ProfileStore& config, const NotifyOptions& options) {
    ProfileStore::Batch batch(config);
    WriteOrDrop(config, "Enabled", options.enabled ? 1 : 0, 0);
    WriteOrDrop(config, "SmtpUrl", options.smtpUrl, kDefaults.smtpUrl);
    WriteOrDrop(config, "SmtpStartTls", std::string(StartTlsName(options.smtpStartTls)),
                std::string(StartTlsName(kDefaults.smtpStartTls)));
    WriteOrDrop(config, "SmtpUser", options.smtpUser, kDefaults.smtpUser);
    WriteOrDrop(config, "SmtpPassword", options.smtpPassword, kDefaults.smtpPassword);
    WriteOrDrop(config, "From", options.from, kDefaults.from);
    WriteOrDrop(config, "To", options.to, kDefaults.to);
    WriteOrDrop(config, "WebhookUrl", options.webhookUrl, kDefaults.webhookUrl);
    WriteOrDrop(config, "WebhookHeader", options.webhookHeader, kDefaults.webhookHeader);
    WriteOrDrop(config, "MinPriority", options.minPriority, kDefaults.minPriority);
    WriteOrDrop(config, "MaxPerHour", options.maxPerHour, kDefaults.maxPerHour);
    return batch.Commit();
}

std::optional<std::string> NotifyOptionsProblem(const NotifyOptions& options) {
    const std::array<std::pair<std::string_view, const std::string*>, 8> lines{{
        {"mail server", &options.smtpUrl},
        {"mail user", &options.smtpUser},
        {"mail password", &options.smtpPassword},
        {"sender", &options.from},
        {"recipients", &options.to},
        {"webhook address", &options.webhookUrl},
        {"webhook header", &options.webhookHeader},
        {"certificate file", &options.caFile},
    }};
    for (const auto& [what, text] : lines)
        if (HasLineBreak(*text))
            return "The " + std::string(what) + " must be a single line.";
    if (!options.smtpUrl.empty() && !HasScheme(options.smtpUrl, {"smtp://", "smtps://"}))
        return std::string("The mail server must be an address starting with smtp:// or smtps://.");
    if (!options.webhookUrl.empty() && !HasScheme(options.webhookUrl, {"http://", "https://"}))
        return std::string("The webhook must be an address starting with http:// or https://.");
    if (!options.webhookHeader.empty() && !HeaderLine(options.webhookHeader))
        return std::string("The webhook header must read \"Name: value\".");
    if (!options.smtpUrl.empty()) {
        if (!PlainAddress(std::string(Trimmed(options.from))))
            return "The sender \"" + options.from + "\" is not a mail address.";
        const std::vector<std::string> to = Recipients(options.to);
        if (to.empty())
            return std::string("Mail needs at least one recipient.");
        for (const std::string& address : to)
            if (!PlainAddress(address))
                return "The recipient \"" + address + "\" is not a mail address.";
    }
    if (options.minPriority < 1 || options.minPriority > kLowestPriority)
        return std::string("The lowest priority that notifies must be from 1 to 4.");
    if (options.maxPerHour < 1)
        return std::string("At least one message an hour must be allowed.");
    return std::nullopt;
}

} // namespace halvane
