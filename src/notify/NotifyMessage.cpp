#include "NotifyMessage.h"

#include "JsonText.h"

#include <QByteArray>
#include <QDateTime>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <optional>

namespace halvane {

namespace {

constexpr std::string_view kCrLf = "\r\n";
// Bytes of UTF-8 in one encoded word: 56 characters of base64, a word of 68 with its frame, a
// header line within 78.
constexpr size_t kEncodedWordBytes = 42;

struct Condition {
    std::string_view kind;  // high, low, communication
    std::string_view words; // what the subject says of it: "high 95.2 % > 90 %"
};

// The alarm's kind and condition from the journal's text ("High: 95.2 % > 90 %",
// "Low: ...", "No communication: <status>").
Condition ConditionOf(const JournalEvent& line) {
    for (const auto& [prefix, kind] : std::array<std::pair<std::string_view, std::string_view>, 2>{
             {{"High: ", "high"}, {"Low: ", "low"}}})
        if (line.text.starts_with(prefix))
            return {kind, std::string_view(line.text).substr(prefix.size())};
    return {"communication", line.text};
}

std::string ConditionWords(const JournalEvent& line) {
    const Condition condition = ConditionOf(line);
    if (condition.kind == "communication") {
        std::string words(condition.words);
        if (!words.empty())
            words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
        return words;
    }
    return std::string(condition.kind) + " " + std::string(condition.words);
}

std::string StateOf(const JournalEvent& line) {
    if (line.event == "raised")
        return "unacknowledged";
    return line.event; // returned, cleared
}

std::string StateWords(const JournalEvent& line) {
    if (line.event == "raised")
        return "active, not acknowledged";
    if (line.event == "returned")
        return "returned to normal, not acknowledged";
    return "returned to normal, acknowledged";
}

std::string NumberText(const std::optional<double>& value) {
    if (!value)
        return "-";
    std::string out;
    AppendJsonNumber(out, *value);
    return out;
}

std::string SummaryText(size_t heldBack) {
    return std::to_string(heldBack) + " more alarms in the last hour";
}

std::string DateHeader(std::chrono::system_clock::time_point time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count()).toString(Qt::RFC2822Date).toStdString();
}

std::string MailBody(const Notice& notice, std::string_view station) {
    const JournalEvent& line = notice.line;
    std::string body;
    const auto add = [&](std::string_view label, std::string_view value) {
        body += std::string(label) + ": " + OneLine(value) + std::string(kCrLf);
    };
    add("Station", station);
    add("Time", JournalTimeText(line.time));
    if (notice.heldBack > 0) {
        body += SummaryText(notice.heldBack) +
                " were not sent one by one; the station's "
                "journal holds them all." +
                std::string(kCrLf);
        return body;
    }
    if (line.event == kTestEvent) {
        body += "A test of the station's notifications: this address receives them." +
                std::string(kCrLf);
        return body;
    }
    add("Tag", std::to_string(line.tag.value_or(0)) + " " + line.name);
    add("Alarm", ConditionWords(line));
    add("Priority", std::to_string(line.priority.value_or(0)));
    add("State", StateWords(line));
    add("Value", NumberText(line.value));
    add("Limit", NumberText(line.limit));
    return body;
}

// Cuts UTF-8 into pieces of at most `bytes`, never inside a character.
std::vector<std::string_view> Pieces(std::string_view text, size_t bytes) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        size_t end = std::min(bytes, text.size());
        while (end < text.size() && end > 1 &&
               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        pieces.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return pieces;
}

} // namespace

bool StartsOrEndsAlarm(const JournalEvent& line, int minPriority) {
    if (!line.tag || !line.priority || *line.priority > minPriority)
        return false;
    if (line.event == "raised" || line.event == "returned")
        return true;
    // An operator's acknowledgement carries where it was made; the condition's end does not.
    return line.event == "cleared" && line.source.empty();
}

std::string OneLine(std::string_view text) {
    std::string out(text);
    std::ranges::replace_if(
        out, [](char c) { return static_cast<unsigned char>(c) < ' ' || c == '\x7f'; }, ' ');
    return out;
}

std::string EncodedHeaderText(std::string_view utf8) {
    const bool ascii = std::ranges::all_of(utf8, [](char c) {
        return static_cast<unsigned char>(c) >= ' ' && static_cast<unsigned char>(c) < 0x7f;
    });
    if (ascii)
        return std::string(utf8);
    std::string out;
    for (const std::string_view piece : Pieces(utf8, kEncodedWordBytes)) {
        if (!out.empty())
            out += std::string(kCrLf) + " ";
        out += "=?UTF-8?B?" +
               QByteArray(piece.data(), static_cast<qsizetype>(piece.size()))
                   .toBase64()
                   .toStdString() +
               "?=";
    }
    return out;
}

std::string NoticeSubject(const Notice& notice, std::string_view station) {
    const std::string prefix = "[Halvane " + std::string(station) + "] ";
    if (notice.heldBack > 0)
        return OneLine(prefix + SummaryText(notice.heldBack));
    if (notice.line.event == kTestEvent)
        return OneLine(prefix + "Test message");
    const JournalEvent& line = notice.line;
    return OneLine(prefix + "P" + std::to_string(line.priority.value_or(0)) + " " + line.event +
                   ": " + line.name + " " + ConditionWords(line));
}

std::string MailMessage(const Notice& notice, const NotifyOptions& options,
                        std::string_view station) {
    std::string to;
    for (const std::string& address : Recipients(options.to))
        to += (to.empty() ? "" : ", ") + OneLine(address);
    std::string message;
    const auto header = [&](std::string_view name, std::string_view value) {
        message += std::string(name) + ": " + std::string(value) + std::string(kCrLf);
    };
    header("From", OneLine(options.from));
    header("To", to);
    header("Subject", EncodedHeaderText(NoticeSubject(notice, station)));
    header("Date", DateHeader(notice.line.time));
    header("MIME-Version", "1.0");
    header("Content-Type", "text/plain; charset=UTF-8");
    header("Content-Transfer-Encoding", "8bit");
    return message + std::string(kCrLf) + MailBody(notice, station);
}

std::string WebhookBody(const Notice& notice, std::string_view station) {
    const JournalEvent& line = notice.line;
    std::string out = "{";
    const auto text = [&](std::string_view key, std::string_view value) {
        AppendJsonKey(out, key);
        AppendJsonString(out, value);
    };
    const auto number = [&](std::string_view key, const std::optional<double>& value) {
        AppendJsonKey(out, key);
        if (value)
            AppendJsonNumber(out, *value);
        else
            out += "null";
    };
    if (notice.heldBack > 0) {
        text("event", "summary");
        text("station", station);
        number("count", static_cast<double>(notice.heldBack));
        text("text", SummaryText(notice.heldBack));
        text("since", JournalTimeText(line.time));
        return out + '}';
    }
    if (line.event == kTestEvent) {
        text("event", kTestEvent);
        text("station", station);
        text("text", "Test message");
        return out + '}';
    }
    text("event", line.event);
    text("station", station);
    number("tag", line.tag);
    text("name", line.name);
    text("kind", ConditionOf(line).kind);
    text("state", StateOf(line));
    number("priority", line.priority);
    number("value", line.value);
    number("limit", line.limit);
    text("text", line.text);
    text("since", JournalTimeText(line.time));
    text("acknowledged_by", line.user);
    AppendJsonKey(out, "acknowledged_at");
    out += "null";
    return out + '}';
}

} // namespace halvane
