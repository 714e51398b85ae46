#include "AlarmEndpoint.h"
#include "AlarmService.h"
#include "EventJournal.h"
#include "WebServer.h"

#include "WebTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <optional>

namespace halvane {
namespace {

using test::Curl;
using test::HttpReply;
using test::NamedTag;

TDataChannel AlarmTag(std::string name) {
    TDataChannel tag = NamedTag(std::move(name), "%");
    tag.EnableAlert = true;
    tag.HighThreshold = 90;
    tag.LowThreshold = 10;
    return tag;
}

QJsonArray AlarmList(const HttpReply& reply) {
    EXPECT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(reply.Header("content-type"), "application/json; charset=utf-8");
    return QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).array();
}

std::chrono::system_clock::time_point LocalTime(int hour, int minute) {
    const QDateTime at(QDate(2026, 12, 10), QTime(hour, minute));
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(at.toMSecsSinceEpoch()));
}

// A station of two tags with alarm limits 10 and 90, its alarm service writing its
// journal in the data root, and a web server that offers both.
class AlarmApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        station.SetTags({AlarmTag("Tank \"A\""), AlarmTag("Pump")});
        AlarmOptions options;
        options.commDelaySeconds = 0;
        ASSERT_TRUE(web.Start(options)) << web.server->LastError();
        web.alarms->Configure({true, true, true, true, true}, false);
    }

    std::filesystem::path JournalFolder() const { return web.JournalFolder(); }

    void Read(size_t index, double value) { web.Read(index, value); }

    HttpReply Get(const std::string& path, const std::vector<std::string>& options = {}) {
        return Curl(web.server->Port(), path, options);
    }

    test::WebStation station;
    test::WebStationWithAlarms web{station};
};

TEST_F(AlarmApiTest, ListsTheAlarmsAndTheShelvedOnesOnlyWhenAsked) {
    EXPECT_EQ(AlarmList(Get("/api/alarms")).size(), 0);
    Read(0, 95.5);
    Read(1, 5);
    web.alarms->Shelve(1, AlarmKind::Low, std::chrono::system_clock::now() + std::chrono::hours(1),
                       "maintenance", {});

    const QJsonArray listed = AlarmList(Get("/api/alarms"));
    ASSERT_EQ(listed.size(), 1);
    const QJsonObject high = listed[0].toObject();
    EXPECT_EQ(high["tag"], 1);
    EXPECT_EQ(high["name"], "Tank \"A\"");
    EXPECT_EQ(high["kind"], "high");
    EXPECT_EQ(high["state"], "unacknowledged");
    EXPECT_EQ(high["value"], 95.5);
    EXPECT_EQ(high["limit"], 90);
    EXPECT_TRUE(high["acknowledged_at"].isNull());

    const QJsonArray all = AlarmList(Get("/api/alarms?shelved=1"));
    ASSERT_EQ(all.size(), 2);
    const QJsonObject low = all[1].toObject();
    EXPECT_EQ(low["tag"], 2);
    EXPECT_EQ(low["kind"], "low");
    EXPECT_EQ(low["state"], "shelved");
    EXPECT_TRUE(low["shelved_until"].isString());

    web.alarms->AcknowledgeTag(0, {"", "station"});
    const QJsonObject acknowledged = AlarmList(Get("/api/alarms?shelved=0"))[0].toObject();
    EXPECT_EQ(acknowledged["state"], "acknowledged");
    EXPECT_TRUE(acknowledged["acknowledged_at"].isString());

    EXPECT_EQ(Get("/api/alarms?shelved=yes").status, 400);
}

TEST_F(AlarmApiTest, AsksForCredentialsAndLeavesWhatIsAnsweredTodayAsItIs) {
    station.SetCredentials("op", "secret");
    EXPECT_EQ(Get("/api/alarms").status, 401);
    EXPECT_EQ(Get("/api/events").status, 401);
    EXPECT_EQ(AlarmList(Get("/api/alarms", {"-u", "op:secret"})).size(), 0);

    station.Document("api/alarms", "a file");
    station.Document("api/events.tpl", "a template");
    EXPECT_EQ(Get("/api/alarms", {"-u", "op:secret"}).body, "a file");
    EXPECT_EQ(Get("/api/events", {"-u", "op:secret"}).body, "a template\r\n");

    // A station without alarms knows neither path, before any credentials are asked for.
    std::filesystem::remove_all(station.Dir().Path() / "http/api");
    WebServer withoutAlarms{station.Context()};
    ASSERT_TRUE(withoutAlarms.Start(0));
    for (const char* path : {"/api/alarms", "/api/events"})
        EXPECT_EQ(Curl(withoutAlarms.Port(), path).status, 404) << path;
}

TEST_F(AlarmApiTest, AnswersTheJournalLinesOfTheRangeAsCsv) {
    std::vector<JournalEvent> events;
    EventJournal journal(JournalFolder(), {});
    for (const int minute : {0, 30, 59}) {
        events.push_back({LocalTime(8, minute), "raised", 1, "Tank \"A\", left", 3, 95.5, 90, "",
                          "station", "High: 95.50 % > 90 %"});
        ASSERT_TRUE(journal.Append(events.back(), false));
    }
    const std::string header = std::string(kJournalHeader) + "\r\n";

    const HttpReply reply = Get("/api/events?from=2026-12-10T08:00&to=2026-12-10T08%3A30:00");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Header("content-type"), "text/csv; charset=UTF-8");
    EXPECT_EQ(reply.body, header + JournalLine(events[0]) + JournalLine(events[1]));
    EXPECT_EQ(Get("/api/events?from=2026-12-10T08:59&to=2026-12-10T09:00").body,
              header + JournalLine(events[2]));
    EXPECT_EQ(Get("/api/events?from=2026-12-09&to=2026-12-09T23:59").body, header);

    for (const char* query :
         {"from=yesterday", "to=2026-12-32", "from=2026-12-10T09:00&to=2026-12-10T08:00"}) {
        const HttpReply refused = Get(std::string("/api/events?") + query);
        EXPECT_EQ(refused.status, 400) << query;
        EXPECT_EQ(refused.Header("content-type"), kMessageType) << query;
        EXPECT_FALSE(refused.body.empty()) << query;
    }
}

TEST_F(AlarmApiTest, AJournalRangeBeyondTheBoundIsRefused) {
    const JournalEvent event{LocalTime(8, 0), "write", 2,     "Pump", std::nullopt, 1,
                             std::nullopt,    "",      "web", ""};
    WriteText(JournalFolder() / JournalFileName(QDate(2026, 12, 10)),
              std::string(kJournalHeader) + "\r\n" + test::Repeated(JournalLine(event), 100'001));
    const HttpReply reply = Get("/api/events?from=2026-12-10&to=2026-12-10T09:00");
    EXPECT_EQ(reply.status, 413);
    EXPECT_NE(reply.body.find("100000"), std::string::npos) << reply.body;
}

} // namespace
} // namespace halvane
