#include "EventJournal.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <iostream>
#include <stop_token>
#include <thread>

using namespace halvane;
using namespace std::chrono;

namespace {

system_clock::time_point Utc(int year, unsigned month, unsigned day, int hour, int minute,
                             int second = 0, int msec = 0) {
    return sys_days(std::chrono::year(year) / month / day) + hours(hour) + minutes(minute) +
           seconds(second) + milliseconds(msec);
}

void SetZone(const char* zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
}

JournalEvent Event(system_clock::time_point at, std::string text) {
    return {at, "raised", 3, "Tank level", 2, 95.2, 90, "", "station", std::move(text)};
}

class EventJournalTest : public ::testing::Test {
protected:
    void SetUp() override { SetZone("Europe/Berlin"); }
    void TearDown() override {
        if (m_zone)
            SetZone(m_zone->c_str());
        else {
            ::unsetenv("TZ");
            ::tzset();
        }
    }

    // Everything of local 2026-12-10 and 2026-12-11.
    JournalReadResult ReadTwoDays(const JournalReadLimits& limits = {}) const {
        return ReadJournal(m_folder, ToLocalMsecs(QDate(2026, 12, 10)),
                           ToLocalMsecs(QDate(2026, 12, 11), 23, 59, 59, 999), limits);
    }

    const std::optional<std::string> m_zone =
        std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
    TempDir m_dir;
    std::filesystem::path m_folder = m_dir / "events";
    std::vector<std::string> m_reports;
    EventJournal m_journal{m_folder,
                           [this](const std::string& text) { m_reports.push_back(text); }};
};

TEST_F(EventJournalTest, AwkwardTextsReadBackUnchanged) {
    const std::vector<std::string> texts = {
        "Tank, level", "say \"hi\"", "two\r\nlines",           "only\nLF",        "only\rCR",
        "\"",          ",",          "Überdruck 95 °C — 東京", "  blanks kept  ", ""};
    std::vector<JournalEvent> written = {
        Event(Utc(2026, 12, 10, 19, 5, 1, 123), "say \"hi\""),
        {Utc(2026, 12, 10, 19, 5, 2), "started", {}, "", {}, {}, {}, "", "", ""},
        {Utc(2026, 12, 10, 19, 5, 3), "write", 12, "Valve", {}, -1e-300, {}, "", "web", ""}};
    written.front().name = "Tank, level";
    for (size_t i = 0; i < texts.size(); ++i)
        written.push_back({Utc(2026, 12, 10, 20, 0, static_cast<int>(i)), "acknowledged", 1,
                           texts[i], 4, 0.1 + static_cast<double>(i), 1.0 / 3, texts[i], texts[i],
                           texts[i]});
    for (const JournalEvent& event : written)
        ASSERT_TRUE(m_journal.Append(event, false));

    const std::string file = ReadText(m_folder / "2026-12-10.csv");
    EXPECT_TRUE(file.starts_with("Time,Event,Tag,Name,Priority,Value,Limit,User,Source,Text\r\n"
                                 "2026-12-10T20:05:01.123+01:00,raised,3,\"Tank, level\",2,95.2,"
                                 "90,,station,\"say \"\"hi\"\"\"\r\n"))
        << file;
    const JournalReadResult read = ReadTwoDays();
    EXPECT_FALSE(read.Cut());
    EXPECT_EQ(read.events, written);
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(EventJournalTest, TimeCarriesTheLocalOffset) {
    struct Case {
        const char* zone;
        system_clock::time_point at;
        std::string text;
    };
    const Case cases[] = {
        {"Europe/Berlin", Utc(2026, 12, 10, 19, 5, 1, 123), "2026-12-10T20:05:01.123+01:00"},
        {"Europe/Berlin", Utc(2026, 7, 1, 22, 0, 0, 5), "2026-07-02T00:00:00.005+02:00"},
        {"America/St_Johns", Utc(2026, 12, 10, 19, 5, 1, 123), "2026-12-10T15:35:01.123-03:30"},
        {"UTC", Utc(2026, 12, 31, 23, 59, 59, 999), "2026-12-31T23:59:59.999+00:00"},
    };
    for (const Case& c : cases) {
        SetZone(c.zone);
        EXPECT_EQ(JournalTimeText(c.at), c.text) << c.zone;
        const auto parsed = ParseJournalTime(c.text);
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(parsed->at, c.at) << c.text;
    }
}

TEST_F(EventJournalTest, DaySplitsAtLocalMidnight) {
    const JournalEvent lastOfDay = Event(Utc(2026, 12, 10, 22, 59, 59, 999), "last");
    const JournalEvent firstOfDay = Event(Utc(2026, 12, 10, 23, 0), "first");
    ASSERT_TRUE(m_journal.Append(lastOfDay, false));
    ASSERT_TRUE(m_journal.Append(firstOfDay, false));

    const std::string header = "Time,Event,Tag,Name,Priority,Value,Limit,User,Source,Text\r\n";
    EXPECT_EQ(ReadText(m_folder / "2026-12-10.csv"), header + JournalLine(lastOfDay));
    EXPECT_EQ(ReadText(m_folder / "2026-12-11.csv"), header + JournalLine(firstOfDay));
    const LocalMsecs midnight = ToLocalMsecs(QDate(2026, 12, 11));
    EXPECT_EQ(ReadJournal(m_folder, midnight - 1, midnight - 1).events, std::vector{lastOfDay});
    EXPECT_EQ(ReadJournal(m_folder, midnight, midnight).events, std::vector{firstOfDay});
    EXPECT_EQ(ReadTwoDays().events, (std::vector{lastOfDay, firstOfDay}));
}

TEST_F(EventJournalTest, LinesFromSeveralThreadsNeverMix) {
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    const auto text = [](int thread, int line) {
        return std::to_string(thread) + "/" + std::to_string(line) + ",\r\n\"" +
               std::string(2000, static_cast<char>('a' + thread));
    };
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < kLines; ++i) {
                    JournalEvent event = Event(Utc(2026, 12, 10, 12, 0), text(t, i));
                    event.source = std::to_string(t);
                    EXPECT_TRUE(m_journal.Append(event, false));
                }
            });
    }
    const JournalReadResult read = ReadTwoDays();
    ASSERT_EQ(read.events.size(), size_t{kThreads * kLines});
    int next[kThreads] = {};
    for (const JournalEvent& event : read.events) {
        const int t = std::stoi(event.source);
        EXPECT_EQ(event.text, text(t, next[t]++));
    }
}

TEST_F(EventJournalTest, FailureIsReportedOnceUntilALineIsWritten) {
    std::filesystem::create_directories(m_folder / "2026-12-10.csv");
    const JournalEvent blocked = Event(Utc(2026, 12, 10, 12, 0), "blocked");
    EXPECT_FALSE(m_journal.Append(blocked, true));
    EXPECT_FALSE(m_journal.Append(blocked, false));
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_NE(m_reports[0].find("2026-12-10.csv"), std::string::npos) << m_reports[0];

    EXPECT_TRUE(m_journal.Append(Event(Utc(2026, 12, 11, 12, 0), "fine"), true));
    EXPECT_FALSE(m_journal.Append(blocked, true));
    EXPECT_EQ(m_reports.size(), 2u);

    WriteText(m_dir / "file", "not a folder");
    std::vector<std::string> reports;
    EventJournal unmakeable(m_dir / "file" / "events",
                            [&](const std::string& text) { reports.push_back(text); });
    EXPECT_FALSE(unmakeable.Append(blocked, false));
    EXPECT_FALSE(unmakeable.Append(blocked, false));
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(EventJournalTest, RemoveOlderThanKeepsTheRetainedDays) {
    const QDate today(2026, 12, 10);
    for (int back = 0; back <= 4; ++back)
        WriteText(m_folder / JournalFileName(today.addDays(-back)), "x");
    WriteText(m_folder / "notes.csv", "x");
    WriteText(m_folder / "2026-13-45.csv", "x");

    m_journal.RemoveOlderThan(0, today);
    EXPECT_TRUE(std::filesystem::exists(m_folder / "2026-12-06.csv"));
    m_journal.RemoveOlderThan(2, today);
    for (const char* kept :
         {"2026-12-10.csv", "2026-12-09.csv", "2026-12-08.csv", "notes.csv", "2026-13-45.csv"})
        EXPECT_TRUE(std::filesystem::exists(m_folder / kept)) << kept;
    for (const char* removed : {"2026-12-07.csv", "2026-12-06.csv"})
        EXPECT_FALSE(std::filesystem::exists(m_folder / removed)) << removed;
}

// A crash leaves a last line cut short: it is not read, and after a restart the next line
// stands on its own whether the cut fell inside quotes or not.
TEST_F(EventJournalTest, LineCutByACrashIsSkippedAndTheNextOneReads) {
    const JournalEvent kept = Event(Utc(2026, 12, 10, 12, 0), "kept");
    const std::string cutLine = JournalLine(Event(Utc(2026, 12, 10, 12, 1), "cut, short"));
    for (const std::string& cut :
         {cutLine.substr(0, cutLine.find("cut,") + 3), cutLine.substr(0, cutLine.find(",2,"))}) {
        std::filesystem::remove_all(m_folder);
        {
            EventJournal beforeCrash(m_folder, [](const std::string&) {});
            ASSERT_TRUE(beforeCrash.Append(kept, false));
        }
        std::ofstream(m_folder / "2026-12-10.csv", std::ios::app | std::ios::binary) << cut;
        EXPECT_EQ(ReadTwoDays().events, std::vector{kept}) << cut;

        EventJournal afterRestart(m_folder, [](const std::string&) {});
        const JournalEvent next = Event(Utc(2026, 12, 10, 12, 2), "next");
        ASSERT_TRUE(afterRestart.Append(next, true));
        EXPECT_EQ(ReadTwoDays().events, (std::vector{kept, next})) << cut;
    }
}

TEST_F(EventJournalTest, ReadingIsBounded) {
    ASSERT_TRUE(m_journal.Append(Event(Utc(2026, 12, 9, 12, 0), "before the range"), false));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(m_journal.Append(Event(Utc(2026, 12, 10, 12, i), std::to_string(i)), false));

    const JournalReadResult atMost3 = ReadTwoDays({3});
    EXPECT_EQ(atMost3.end, HistoryReadEnd::TooManyLines);
    ASSERT_EQ(atMost3.events.size(), 3u);
    EXPECT_EQ(atMost3.events[2].text, "2");
    const JournalReadResult exactly5 = ReadTwoDays({5});
    EXPECT_EQ(exactly5.end, HistoryReadEnd::Complete);
    EXPECT_EQ(exactly5.events.size(), 5u);
    EXPECT_EQ(ReadTwoDays({0, steady_clock::now() - seconds(1)}).end, HistoryReadEnd::OutOfTime);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(ReadJournal(m_folder, 0, ToLocalMsecs(QDate(2027, 1, 1)), {}, stop.get_token()).end,
              HistoryReadEnd::Stopped);
}

// Run by hand: how many alarm lines a second this disk takes.
TEST_F(EventJournalTest, DISABLED_AppendsPerSecondWithSync) {
    const auto start = steady_clock::now();
    int lines = 0;
    while (steady_clock::now() - start < seconds(3))
        lines += m_journal.Append(Event(system_clock::now(), "rate"), true) ? 1 : 0;
    const double elapsed = duration<double>(steady_clock::now() - start).count();
    std::cout << lines / elapsed << " appends/s with fsync\n";
}

} // namespace
