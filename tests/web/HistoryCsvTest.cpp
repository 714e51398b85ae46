#include "CLog.h"
#include "HistoryEndpoint.h"
#include "HistoryLines.h"
#include "NumberFormat.h"
#include "WebServer.h"

#include "WebTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

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

// Seven lines a second apart, asked for over their whole day, come back as they are.
TEST_F(HistoryCsvTest, WithoutPointsEveryLineOfTheRangeComesBack) {
    const QDate day = kDay.addDays(1);
    std::vector<TDataChannel> tags{NamedTag("Level", "m")};
    tags[0].ValueValid = true;
    std::string text = BuildHistoryHeader(tags, ';') + "\r\n";
    std::string expected = "Timestamp,Level[m]\r\n";
    for (int second = 0; second < 7; ++second) {
        tags[0].RealValue = second * 1.5;
        text += BuildHistoryLine(QDateTime(day, QTime(9, 0, second)), tags, ';') + "\r\n";
        expected += "2026-12-11T09:00:0" + std::to_string(second) + "," +
                    FormatGeneral(second * 1.5, '.') + "\r\n";
    }
    WriteText(HistoryFile(day), text);
    EXPECT_EQ(Get("/history.csv?tags=1&from=2026-12-11&to=2026-12-11T23:59:59").body, expected);
}

// A day file that a spreadsheet sorted by value: the same answers as in time order.
TEST_F(HistoryCsvTest, LinesOutOfTimeOrderGiveTheSameBoundedAnswer) {
    const QDate day = kDay.addDays(2);
    constexpr int kLines = 3000;
    std::vector<TDataChannel> tags{NamedTag("Level", "m")};
    tags[0].ValueValid = true;
    std::vector<std::pair<int, std::string>> byValue;
    std::string expected = "Timestamp,Level[m]\r\n";
    for (int i = 0; i < kLines; ++i) {
        const int value = i * 7919 % kLines; // each value once, in no time order
        const QDateTime at(day, QTime(8, 0).addSecs(10 * i));
        tags[0].RealValue = value;
        byValue.emplace_back(value, BuildHistoryLine(at, tags, ';') + "\r\n");
        expected += at.toString(Qt::ISODate).toStdString() + "," + std::to_string(value) + "\r\n";
    }
    std::sort(byValue.begin(), byValue.end());
    std::string text = BuildHistoryHeader(tags, ';') + "\r\n";
    for (const auto& [value, line] : byValue)
        text += line;
    WriteText(HistoryFile(day), text);
    const std::string range = "&from=2026-12-12T08:00&to=2026-12-12T16:19:50";
    EXPECT_EQ(Get("/history.csv?tags=1" + range).body, expected);
    const HttpReply thinned = Get("/history.csv?tags=1&points=2" + range);
    EXPECT_EQ(test::Occurrences(thinned.body, "\r\n"), 1u + 4u) << thinned.body.substr(0, 200);
    EXPECT_NE(thinned.body.find(",0\r\n"), std::string::npos) << thinned.body;
    EXPECT_NE(thinned.body.find(",2999\r\n"), std::string::npos) << thinned.body;
}

// A thousand tags: a thousand lines are a million values, the most that one answer holds.
TEST_F(HistoryCsvTest, AnExactAnswerBeyondTheBoundIsRefusedWithAWordOnPoints) {
    const QDate day = kDay.addDays(3);
    constexpr size_t kTags = 1000;
    std::vector<TDataChannel> tags;
    std::string numbers;
    for (size_t i = 0; i < kTags; ++i) {
        tags.push_back(NamedTag("T" + std::to_string(i), "", 1));
        tags.back().ValueValid = true;
        numbers += (i ? "," : "") + std::to_string(i + 1);
    }
    station.SetTags(tags);
    const auto at = [&](int line) { return QDateTime(day, QTime(0, 0).addSecs(line)); };
    const std::string values =
        BuildHistoryLine(at(0), tags, ';')
            .substr(BuildHistoryLine(at(0), {}, ';').size()); // the same in every line
    std::string text = BuildHistoryHeader(tags, ';') + "\r\n";
    for (int line = 0; line <= 1000; ++line)
        text += BuildHistoryLine(at(line), {}, ';') + values + "\r\n";
    WriteText(HistoryFile(day), text);
    const std::string query = "/history.csv?tags=" + numbers + "&from=2026-12-13";
    const HttpReply refused = Get(query + "&to=2026-12-13T00:16:40");
    EXPECT_EQ(refused.status, 413);
    EXPECT_EQ(refused.Header("content-type"), "text/plain; charset=UTF-8");
    EXPECT_NE(refused.body.find("points="), std::string::npos) << refused.body;
    const HttpReply thousand = Get(query + "&to=2026-12-13T00:16:39");
    EXPECT_EQ(thousand.status, 200);
    EXPECT_EQ(test::Occurrences(thousand.body, "\r\n"), 1u + 1000u);
    const HttpReply thinned = Get(query + "&to=2026-12-13T00:16:40&points=200");
    EXPECT_EQ(thinned.status, 200);
    EXPECT_EQ(test::Occurrences(thinned.body, "\r\n"), 1u + 400u);
}

// A day file larger than any reading may take: its header, then a hole of 64 GiB without
// line ends (it takes no disk space).
void WriteHugeDayFile(QDate day) {
    WriteText(HistoryFile(day), "\"Timestamp\";\"Level[m]\"\r\n");
    std::filesystem::resize_file(HistoryFile(day), std::uintmax_t{64} << 30);
}

const std::string kHugeDayQuery = "tags=1&from=2026-12-14&to=2026-12-14T23:00";

TEST_F(HistoryCsvTest, ReadingEndsWhenItsTimeIsUp) {
    WriteHugeDayFile(kDay.addDays(4));
    const auto start = std::chrono::steady_clock::now();
    const WebResponse response =
        HistoryCsvResponse(kHugeDayQuery, station.Context(), {}, std::chrono::milliseconds(300));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(response.status, 503);
    EXPECT_EQ(response.body, "Reading the history took longer than 0.3 s. Ask for a shorter "
                             "range.\n");
}

// Clients that go away while their history is read leave every handler free at once.
TEST_F(HistoryCsvTest, ReadingEndsWhenItsClientHasGone) {
    WriteHugeDayFile(kDay.addDays(4));
    station.Document("index.html", "static");
    {
        std::vector<std::unique_ptr<test::RawClient>> clients;
        for (size_t i = 0; i < kHandlerThreads; ++i) {
            clients.push_back(std::make_unique<test::RawClient>(server.Port()));
            clients.back()->Send("GET /history.csv?" + kHugeDayQuery +
                                 " HTTP/1.1\r\nHost: a\r\n\r\n");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get("/index.html").body, "static");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
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
