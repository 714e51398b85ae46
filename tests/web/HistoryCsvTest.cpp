#include "CLog.h"
#include "HistoryLines.h"
#include "NumberFormat.h"
#include "WebServer.h"

#include "WebTestSupport.h"

#include <gtest/gtest.h>

namespace halvane {
namespace {

using test::Curl;
using test::HttpReply;
using test::NamedTag;

const QDate kDay(2026, 12, 10);

// A station with the tags Level[m] and "Pump, A" and a day of history written as the
// station writes it in the system's locale, with ";" and "," as decimal point.
class HistoryCsvTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDecimalSeparator(',');
        station.SetTags({NamedTag("Level", "m"), NamedTag("Pump, A", "")});
        std::vector<TDataChannel> tags{NamedTag("Level", "m"), NamedTag("Pump, A", "")};
        std::string text = BuildHistoryHeader(tags, ';') + "\r\n";
        for (int minute = 0; minute < 240; ++minute) {
            tags[0].RealValue = minute == 100 ? 99.5 : minute == 101 ? -4.25 : minute / 4.0;
            tags[0].ValueValid = minute != 2;
            tags[1].RealValue = minute % 2;
            tags[1].ValueValid = true;
            const QDateTime at(kDay, QTime(8 + minute / 60, minute % 60));
            text += BuildHistoryLine(at, tags, ';') + "\r\n";
        }
        WriteText(HistoryFile(kDay), text);
        ASSERT_TRUE(server.Start(0)) << server.LastError();
    }
    void TearDown() override { SetDecimalSeparator('.'); }

    HttpReply Get(const std::string& path, const std::vector<std::string>& options = {}) {
        return Curl(server.Port(), path, options);
    }

    test::WebStation station;
    WebServer server{station.Context()};
};

TEST_F(HistoryCsvTest, AnswersTheTagsOfTheRangeAsCsv) {
    const HttpReply reply =
        Get("/history.csv?tags=2,1&from=2026-12-10T08:00:00&to=2026-12-10T08%3A03");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Header("content-type"), "text/csv; charset=UTF-8");
    EXPECT_EQ(reply.body, "Timestamp,\"Pump, A[]\",Level[m]\r\n"
                          "2026-12-10T08:00:00,0,0\r\n"
                          "2026-12-10T08:01:00,1,0.25\r\n"
                          "2026-12-10T08:02:00,0,\r\n"
                          "2026-12-10T08:03:00,1,0.75\r\n");
    const HttpReply empty = Get("/history.csv?tags=1&from=2026-12-09T08:00&to=2026-12-09T09:00");
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body, "Timestamp,Level[m]\r\n");
    const HttpReply head = Get("/history.csv?tags=1&from=2026-12-10", {"-I"});
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "");
}

TEST_F(HistoryCsvTest, ALongRangeIsBoundedAndKeepsItsExtremes) {
    const HttpReply reply =
        Get("/history.csv?tags=1&from=2026-12-10T08:00&to=2026-12-10T11:59:59&points=4");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(test::Occurrences(reply.body, "\r\n"), 1u + 8u); // two rows per part at most
    EXPECT_NE(reply.body.find(",99.5\r\n"), std::string::npos) << reply.body;
    EXPECT_NE(reply.body.find(",-4.25\r\n"), std::string::npos) << reply.body;
}

TEST_F(HistoryCsvTest, RefusesWhatItCannotAnswerWithAReason) {
    const std::string range = "&from=2026-12-10T08:00:00&to=2026-12-10T09:00:00";
    const struct {
        std::string query;
        std::string says;
    } cases[] = {
        {"", "Missing tags"},
        {"?from=2026-12-10", "Missing tags"},
        {"?tags=" + range, "Missing tags"},
        {"?tags=0" + range, "Tag number \"0\" is not a whole number from 1 to 2."},
        {"?tags=3" + range, "Tag number \"3\""},
        {"?tags=1,x" + range, "Tag number \"x\""},
        {"?tags=1,,2" + range, "Tag number \"\""},
        {"?tags=-1" + range, "Tag number \"-1\""},
        {"?tags=2,1,2" + range, "Tag number 2 is asked for twice."},
        {"?tags=99999999999999999999999" + range, "Tag number \"9999"},
        {"?tags=1&from=2026-13-10T08:00:00", "Malformed from \"2026-13-10T08:00:00\""},
        {"?tags=1&from=10.12.2026", "Malformed from"},
        {"?tags=1&from=2026-12-10&to=yesterday", "Malformed to \"yesterday\""},
        {"?tags=1&from=2026-12-10T09:00&to=2026-12-10T08:00", "from must not be later than to"},
        {"?tags=1&points=1" + range, "points \"1\" is not a whole number from 2 to 10000."},
        {"?tags=1&points=1e3" + range, "points \"1e3\""},
    };
    for (const auto& c : cases) {
        const HttpReply reply = Get("/history.csv" + c.query);
        EXPECT_EQ(reply.status, 400) << c.query;
        EXPECT_EQ(reply.Header("content-type"), "text/plain; charset=UTF-8") << c.query;
        EXPECT_NE(reply.body.find(c.says), std::string::npos) << c.query << ": " << reply.body;
    }
}

TEST_F(HistoryCsvTest, AsksForTheCredentialsOfEveryRequestFirst) {
    station.SetCredentials("op", "secret");
    EXPECT_EQ(Get("/history.csv?tags=1&from=2026-12-10").status, 401);
    EXPECT_EQ(Get("/history.csv?tags=9").status, 401); // no hint before the login
    EXPECT_EQ(Get("/history.csv?tags=1&from=2026-12-10", {"-u", "op:wrong"}).status, 401);
    EXPECT_EQ(Get("/history.csv?tags=1&from=2026-12-10", {"-u", "op:secret"}).status, 200);
    EXPECT_EQ(Get("/history.csv?tags=9", {"-u", "op:secret"}).status, 400);
}

TEST_F(HistoryCsvTest, ADocumentOfTheSameNameWins) {
    station.Document("history.csv", "mine");
    EXPECT_EQ(Get("/history.csv?tags=1").body, "mine");
}

} // namespace
} // namespace halvane
