#include "NotifyMessage.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

using namespace halvane;
using testing::HasSubstr;
using testing::Not;

namespace {

JournalEvent Line(std::string event, std::string name, std::string text, int priority = 1) {
    JournalEvent line;
    line.time = std::chrono::system_clock::time_point(std::chrono::seconds(1'797'000'000));
    line.event = std::move(event);
    line.tag = 7;
    line.name = std::move(name);
    line.priority = priority;
    line.value = 95.2;
    line.limit = 90;
    line.text = std::move(text);
    return line;
}

NotifyOptions Mail() {
    NotifyOptions options;
    options.from = "station@example.com";
    options.to = "night@example.com,boss@example.com";
    return options;
}

std::vector<std::string> HeaderLines(const std::string& mail) {
    std::vector<std::string> lines;
    std::istringstream in(mail.substr(0, mail.find("\r\n\r\n")));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The subject as a reader's mail program shows it: encoded words decoded and joined.
std::string DecodedSubject(const std::string& mail) {
    std::string subject;
    bool inSubject = false;
    for (std::string line : HeaderLines(mail)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with("Subject: ")) {
            inSubject = true;
            line = line.substr(9);
        } else if (!inSubject || !line.starts_with(" ")) {
            inSubject = false;
            continue;
        }
        const size_t from = line.find("=?UTF-8?B?");
        if (from == std::string::npos) {
            subject += line;
            continue;
        }
        const size_t to = line.find("?=", from + 10);
        subject += QByteArray::fromBase64(
                       QByteArray::fromStdString(line.substr(from + 10, to - from - 10)))
                       .toStdString();
    }
    return subject;
}

TEST(NotifyMessageTest, SubjectNamesPriorityEventTagAndCondition) {
    struct Case {
        Notice notice;
        const char* subject;
    };
    const Case cases[] = {
        {{Line("raised", "Tank level", "High: 95.2 % > 90 %"), 0},
         "[Halvane STATION] P1 raised: Tank level high 95.2 % > 90 %"},
        {{Line("returned", "Tank level", "Low: 3.10 m < 5 m", 2), 0},
         "[Halvane STATION] P2 returned: Tank level low 3.10 m < 5 m"},
        {{Line("cleared", "Pump", "No communication: Timeout"), 0},
         "[Halvane STATION] P1 cleared: Pump no communication: Timeout"},
        {{Line("raised", "", ""), 12}, "[Halvane STATION] 12 more alarms in the last hour"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NoticeSubject(c.notice, "STATION"), c.subject);
}

TEST(NotifyMessageTest, OnlyTheStartAndTheEndOfAnAlarmWithinThePriorityNotify) {
    struct Case {
        const char* event;
        int priority;
        const char* source;
        bool notifies;
    };
    const Case cases[] = {
        {"raised", 1, "", true},          {"raised", 2, "", true},
        {"raised", 3, "", false},         {"returned", 2, "", true},
        {"cleared", 2, "", true},         // condition ended while acknowledged
        {"cleared", 2, "station", false}, // acknowledged after it had returned
        {"cleared", 2, "web", false},     {"acknowledged", 1, "station", false},
        {"shelved", 1, "station", false}, {"notify-sent", 1, "", false},
    };
    for (const Case& c : cases) {
        JournalEvent line = Line(c.event, "T", "High: 1 > 0", c.priority);
        line.source = c.source;
        EXPECT_EQ(StartsOrEndsAlarm(line, 2), c.notifies)
            << c.event << " " << c.priority << " " << c.source;
    }
    JournalEvent tooMany = Line("raised", "", "too many alarms");
    tooMany.tag.reset();
    tooMany.priority.reset();
    EXPECT_FALSE(StartsOrEndsAlarm(tooMany, 4));
}

TEST(NotifyMessageTest, LineBreaksInNamesAndUnitsNeverStartAHeaderLine) {
    const Notice notice{
        Line("raised", "Tank\r\nBcc: evil@example.com", "High: 95.2 %\nX-Evil: 1 > 90 %"), 0};
    const std::string mail = MailMessage(notice, Mail(), "North\r\nReply-To: evil@example.com");
    for (const std::string& line : HeaderLines(mail)) {
        EXPECT_THAT(line, Not(testing::StartsWith("Bcc")));
        EXPECT_THAT(line, Not(testing::StartsWith("X-Evil")));
        EXPECT_THAT(line, Not(testing::StartsWith("Reply-To")));
    }
    EXPECT_EQ(DecodedSubject(mail),
              "[Halvane North  Reply-To: evil@example.com] P1 raised: Tank  Bcc: evil@example.com "
              "high 95.2 % X-Evil: 1 > 90 %");
    // Nor in the body: every line there is one of ours.
    std::istringstream body(mail.substr(mail.find("\r\n\r\n") + 4));
    for (std::string line; std::getline(body, line);)
        EXPECT_THAT(line, testing::MatchesRegex("[A-Za-z]+: .*\r")) << line;
}

TEST(NotifyMessageTest, ASubjectBeyondAsciiIsSentAsEncodedWordsOfWholeCharacters) {
    const Notice notice{Line("raised", "Füllstand Behälter Süd — Überlauf mit Ölabscheider Nr. 7",
                             "High: 95.2 °C > 90 °C"),
                        0};
    const std::string mail = MailMessage(notice, Mail(), "Kläranlage");
    for (const std::string& line : HeaderLines(mail)) {
        EXPECT_LE(line.size(), 78u) << line;
        EXPECT_TRUE(std::ranges::all_of(line, [](char c) {
            return static_cast<unsigned char>(c) < 0x80;
        })) << line;
    }
    EXPECT_EQ(DecodedSubject(mail), NoticeSubject(notice, "Kläranlage"));
    EXPECT_THAT(mail, HasSubstr("Content-Type: text/plain; charset=UTF-8\r\n"));
    EXPECT_THAT(mail, HasSubstr("Füllstand")); // the body as UTF-8
    EXPECT_THAT(mail, HasSubstr("To: night@example.com, boss@example.com\r\n"));
}

TEST(NotifyMessageTest, WebhookCarriesTheAlarmFieldsWithEventAndStation) {
    const Notice notice{Line("returned", "Tank \"A\"\nlevel", "High: 95.2 % > 90 %", 2), 0};
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(WebhookBody(notice, "North"))).object();
    EXPECT_EQ(json["event"].toString(), "returned");
    EXPECT_EQ(json["station"].toString(), "North");
    EXPECT_EQ(json["tag"].toInt(), 7);
    EXPECT_EQ(json["name"].toString(), "Tank \"A\"\nlevel");
    EXPECT_EQ(json["kind"].toString(), "high");
    EXPECT_EQ(json["state"].toString(), "returned");
    EXPECT_EQ(json["priority"].toInt(), 2);
    EXPECT_DOUBLE_EQ(json["value"].toDouble(), 95.2);
    EXPECT_DOUBLE_EQ(json["limit"].toDouble(), 90);
    EXPECT_EQ(json["text"].toString(), "High: 95.2 % > 90 %");
    EXPECT_TRUE(json["acknowledged_at"].isNull());
    for (const char* key : {"since", "acknowledged_by"})
        EXPECT_TRUE(json.contains(key)) << key;

    const QJsonObject summary =
        QJsonDocument::fromJson(
            QByteArray::fromStdString(WebhookBody({Line("raised", "", ""), 5}, "North")))
            .object();
    EXPECT_EQ(summary["event"].toString(), "summary");
    EXPECT_EQ(summary["count"].toInt(), 5);
    EXPECT_EQ(summary["text"].toString(), "5 more alarms in the last hour");
}

} // namespace
