#include "HistoryReader.h"

#include "HistoryExport.h"
#include "HistoryLines.h"
#include "HistoryTestSupport.h"

#include <algorithm>
#include <cmath>
#include <random>

using namespace halvane;

namespace {

const QDate kDay(2026, 12, 10);

LocalMsecs At(int h, int m, int s = 0, QDate day = kDay) {
    return ToLocalMsecs(day, h, m, s);
}

// One column's values in row order, NaN shown as "-".
std::vector<std::string> Shown(const HistoryTable& table, size_t column) {
    std::vector<std::string> shown;
    for (const double value : table.values[column])
        shown.push_back(std::isnan(value) ? "-" : FormatGeneral(value, '.'));
    return shown;
}

class HistoryReaderTest : public HistoryTest {
protected:
    std::filesystem::path Folder() const { return m_root / "history"; }
    void File(QDate day, const std::string& text) const { WriteText(HistoryFile(day), text); }
    HistoryResult Read(std::vector<std::string> columns, LocalMsecs from, LocalMsecs to,
                       size_t buckets = 0, const QLocale& locale = QLocale::c(),
                       LocalMsecs gap = 180'000) const {
        return HistoryReader(Folder(), locale).Read({std::move(columns), from, to, buckets, gap});
    }
};

} // namespace

TEST(HistoryTimestamp, ReadsWhatEachLocaleWritesAndWhatSpreadsheetsMakeOfIt) {
    const QLocale c = QLocale::c();
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale fi(QLocale::Finnish, QLocale::Finland);
    const QLocale ko(QLocale::Korean, QLocale::SouthKorea);
    struct Case {
        const QLocale& locale;
        std::string text;
        std::optional<LocalMsecs> at;
    };
    const Case cases[] = {
        {c, "10 Dec 2026 14:05:09", At(14, 5, 9)},
        {c, "10 Dec 2026", At(0, 0)}, // midnight: the date alone
        {us, "12/10/26 2:05:09 PM", At(14, 5, 9)},
        {us, "12/10/26 12:00:01 AM", At(0, 0, 1)},
        {us, "12/10/2026 14:05", At(14, 5)}, // spreadsheet: 4-digit year, 24 h, no seconds
        {de, "10.12.26 14:05:09", At(14, 5, 9)},
        {de, "10.12.2026 14:05", At(14, 5)},
        {fi, "10.12.2026 14.05.09", At(14, 5, 9)},
        {ko, "26. 12. 10. \xEC\x98\xA4\xED\x9B\x84 2\xEC\x8B\x9C 5\xEB\xB6\x84 9\xEC\xB4\x88",
         At(14, 5, 9)},
        {de, "2026-12-10 14:05:09", At(14, 5, 9)}, // ISO from a spreadsheet
        {de, "2026-12-10T14:05:09", At(14, 5, 9)},
        {de, "12.10.26 14:05:09", At(14, 5, 9)}, // day and month swapped: the file's day wins
        {de, "10.12.26 25:05:09", std::nullopt},
        {de, "10.12.26 14:05:09x", std::nullopt},
        {de, "Level", std::nullopt},
        {de, "", std::nullopt},
    };
    for (const Case& c : cases) {
        HistoryTimestampParser parser(c.locale);
        EXPECT_EQ(parser.Parse(c.text, kDay), c.at)
            << c.locale.name().toStdString() << " " << c.text;
    }
}

TEST(HistoryTimestamp, IsoTextsOfRequests) {
    EXPECT_EQ(ParseIsoLocal("2026-12-10T08:00:00"), At(8, 0));
    EXPECT_EQ(ParseIsoLocal("2026-12-10T08:30"), At(8, 30));
    EXPECT_EQ(ParseIsoLocal("2026-12-10"), At(0, 0));
    for (const char* bad : {"2026-13-10T08:00:00", "2026-12-10T24:00:00", "2026-12-10T8:00",
                            "10.12.2026", "2026-12-10T08:00:00Z", "", "2026-12-1"})
        EXPECT_EQ(ParseIsoLocal(bad), std::nullopt) << bad;
    EXPECT_EQ(IsoLocalText(At(8, 5, 3)), "2026-12-10T08:05:03");
    EXPECT_EQ(IsoLocalText(ToLocalMsecs(QDate(1969, 12, 31), 23, 59, 59, 250)),
              "1969-12-31T23:59:59.250");
}

// What the station's own writer puts down, in four locales and both separators, reads back
// with its times and values.
TEST_F(HistoryReaderTest, ReadsTheLinesTheStationWrites) {
    struct Case {
        QLocale locale;
        char separator;
        char decimal;
    };
    const Case cases[] = {
        {QLocale::c(), ',', '.'},
        {QLocale(QLocale::English, QLocale::UnitedStates), ',', '.'},
        {QLocale(QLocale::German, QLocale::Germany), ';', ','},
        {QLocale(QLocale::Finnish, QLocale::Finland), ';', ','},
    };
    for (const Case& c : cases) {
        const std::vector<TDataChannel> tags{Tag("Level", "m", 1.25), Tag("Pump; A", "", 0),
                                             Tag("Flow", "m3/h", -3.5e20, false)};
        std::string text = BuildHistoryHeader(tags, c.separator) + "\r\n";
        for (const QTime time : {QTime(0, 0), QTime(9, 0, 30), QTime(21, 59, 59)})
            text +=
                BuildHistoryLine(QDateTime(kDay, time), tags, c.separator, c.locale, c.decimal) +
                "\r\n";
        File(kDay, text);
        const auto [table, report] = Read({"Flow[m3/h]", "Pump; A[]", "Level[m]"}, At(0, 0),
                                          At(23, 59, 59), 0, c.locale, kMsecsPerDay);
        const std::string name = c.locale.name().toStdString();
        EXPECT_EQ(table.times, (std::vector{At(0, 0), At(9, 0, 30), At(21, 59, 59)})) << name;
        EXPECT_EQ(Shown(table, 0), (std::vector<std::string>{"-", "-", "-"})) << name;
        EXPECT_EQ(Shown(table, 1), (std::vector<std::string>{"0", "0", "0"})) << name;
        EXPECT_EQ(Shown(table, 2), (std::vector<std::string>{"1.25", "1.25", "1.25"})) << name;
        EXPECT_EQ(report.lines, 3u) << name;
        EXPECT_EQ(report.unreadableLines, 0u) << name;
    }
}

// A day whose tags changed twice, a crash that cut a line and a restart that wrote its
// header right behind the cut, a quoted name with the separator inside, ',' decimals and a
// cut last line.
TEST_F(HistoryReaderTest, MatchesColumnsByNameThroughChangedHeadersAndCrashes) {
    File(kDay, "\"Timestamp\";\"Level[m]\";\"Pump; A[]\"\r\n"
               "10.12.26 08:00:00;1,5;0\r\n"
               "10.12.26 08:01:00;1,75;1\r\n"
               "10.12.26 08:02:00;2;1\r\n"
               "10.12.26 08:03:00;2,2\"Timestamp\";\"Pump; A[]\";\"Flow[l/s]\";\"Level[cm]\"\r\n"
               "10.12.26 08:04:00;0;7,5;230\r\n"
               "10.12.26 08:05:00;1;;240\r\n"
               "10.12.26 08:06:00;1\r\n"
               "10.12.26 08:07:00;1;8;25");
    const QLocale de(QLocale::German, QLocale::Germany);
    const auto [table, report] =
        Read({"Level[m]", "Pump; A[]", "Flow[l/s]", "Gone[]"}, At(8, 0), At(9, 0), 0, de);
    EXPECT_EQ(table.times,
              (std::vector{At(8, 0), At(8, 1), At(8, 2), At(8, 4), At(8, 5), At(8, 6)}));
    // Level moved to the last column under another unit: found by its name.
    EXPECT_EQ(Shown(table, 0), (std::vector<std::string>{"1.5", "1.75", "2", "230", "240", "-"}));
    EXPECT_EQ(Shown(table, 1), (std::vector<std::string>{"0", "1", "1", "0", "1", "1"}));
    EXPECT_EQ(Shown(table, 2), (std::vector<std::string>{"-", "-", "-", "7.5", "-", "-"}));
    EXPECT_EQ(Shown(table, 3), (std::vector<std::string>(6, "-")));
    EXPECT_EQ(report.unreadableLines, 1u); // the unterminated last line
}

TEST_F(HistoryReaderTest, ReadsFilesThatASpreadsheetSaved) {
    File(kDay, "\xEF\xBB\xBFTimestamp,Level[m],\"Note, long[]\",Pump[]\n"
               "2026-12-10 08:00,1.5,\"x\",\"3\"\n"
               "12/10/2026 08:01:00 AM,#N/A,,4\n"
               "10/12/2026 08:02,\"2,5\",,5\n"
               "\n"
               "total,9,,\n");
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const auto [table, report] = Read({"Level[m]", "Pump[]"}, At(0, 0), At(23, 0), 0, us);
    EXPECT_EQ(table.times, (std::vector{At(8, 0), At(8, 1), At(8, 2)}));
    EXPECT_EQ(Shown(table, 0), (std::vector<std::string>{"1.5", "-", "2.5"}));
    EXPECT_EQ(Shown(table, 1), (std::vector<std::string>{"3", "4", "5"}));
    EXPECT_EQ(report.unreadableLines, 1u); // "total"
}

// What a spreadsheet or a crash can leave: lines before any header (nothing says whose
// values they are), an infinite value, a file without line ends.
TEST_F(HistoryReaderTest, LinesItCannotPlaceAreCountedNotGuessed) {
    File(kDay, "2026-12-10 07:59,9\n"
               "Timestamp,Level[m]\n"
               "2026-12-10 08:00,INF\n"
               "2026-12-10 08:01,-inf\n"
               "2026-12-10 08:02,2\n");
    File(kDay.addDays(1), std::string(5 << 20, 'x'));
    const auto [table, report] = Read({"Level[m]"}, At(0, 0), At(23, 0, 0, kDay.addDays(1)));
    EXPECT_EQ(table.times, (std::vector{At(8, 0), At(8, 1), At(8, 2)}));
    EXPECT_EQ(Shown(table, 0), (std::vector<std::string>{"-", "-", "2"}));
    EXPECT_GE(report.unreadableLines, 2u);
}

TEST_F(HistoryReaderTest, ReadsOnlyTheDaysOfTheRangeAndLeavesGapsWhereNothingWasRecorded) {
    const auto day = [](int d) { return QDate(2026, 12, d); };
    File(day(8), "\"Timestamp\",\"A[]\"\r\n8 Dec 2026 23:58:00,1\r\n8 Dec 2026 23:59:00,2\r\n");
    // day 9 is missing; day 11 is a folder where a file should be; day 12 is outside
    File(day(10), "\"Timestamp\",\"A[]\"\r\n10 Dec 2026 00:01:00,3\r\n10 Dec 2026 00:02:00,\r\n"
                  "10 Dec 2026 00:03:00,5\r\n10 Dec 2026 00:30:00,6\r\n");
    std::filesystem::create_directories(HistoryFile(day(11)));
    File(day(12), "garbage that would be counted");
    File(day(7), "\"Timestamp\",\"A[]\"\r\n7 Dec 2026 23:59:00,0\r\n");
    const auto [table, report] =
        Read({"A[]"}, ToLocalMsecs(day(8), 23, 59), ToLocalMsecs(day(11), 23, 59));
    EXPECT_EQ(report.files, 3u);
    ASSERT_EQ(report.unreadable.size(), 1u);
    EXPECT_EQ(report.unreadable[0], HistoryFile(day(11)));
    EXPECT_EQ(report.unreadableLines, 0u);
    // Rows: 23:59 on the 8th, a break, 00:01, 00:02 without value, 00:03, a break, 00:30.
    ASSERT_EQ(table.Rows(), 7u);
    EXPECT_EQ(Shown(table, 0), (std::vector<std::string>{"2", "-", "3", "-", "5", "-", "6"}));
    EXPECT_EQ(table.times[0], ToLocalMsecs(day(8), 23, 59));
    EXPECT_GT(table.times[1], table.times[0]);
    EXPECT_LT(table.times[1], At(0, 1));
    EXPECT_EQ(table.times[6], At(0, 30));
    const auto empty = Read({"A[]"}, At(1, 0), At(2, 0));
    EXPECT_EQ(empty.table.Rows(), 0u);
    EXPECT_EQ(empty.report.lines, 0u);
}

TEST_F(HistoryReaderTest, DownsamplingKeepsEveryBucketsMinimumAndMaximum) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1, 1);
    std::string text = "\"Timestamp\",\"A[]\",\"B[]\"\r\n";
    std::vector<double> a, b;
    for (int minute = 0; minute < 1440; ++minute) {
        a.push_back(minute == 700 ? 1000 : minute == 701 ? -1000 : noise(random));
        b.push_back(minute % 97 == 0 ? 50 + minute : noise(random));
        text +=
            FormatHistoryTimestamp(QDateTime(kDay, QTime(minute / 60, minute % 60)), QLocale::c()) +
            "," + FormatGeneral(a.back(), '.') + "," + FormatGeneral(b.back(), '.') + "\r\n";
    }
    File(kDay, text);
    const size_t buckets = 100;
    const auto [table, report] = Read({"A[]", "B[]"}, At(0, 0), At(23, 59, 59), buckets);
    EXPECT_TRUE(report.downsampled);
    EXPECT_LE(table.Rows(), 2 * buckets);
    const LocalMsecs width = (At(23, 59, 59) - At(0, 0) + buckets) / buckets; // rounded up
    for (size_t k = 0; k < buckets; ++k) {
        for (const auto& [column, values] : {std::pair{0, &a}, std::pair{1, &b}}) {
            double lowest = INFINITY, highest = -INFINITY, shownLow = INFINITY,
                   shownHigh = -INFINITY;
            for (int minute = 0; minute < 1440; ++minute) {
                if ((At(minute / 60, minute % 60) - At(0, 0)) / width != static_cast<LocalMsecs>(k))
                    continue;
                lowest = std::min(lowest, (*values)[static_cast<size_t>(minute)]);
                highest = std::max(highest, (*values)[static_cast<size_t>(minute)]);
            }
            for (size_t row = 0; row < table.Rows(); ++row) {
                if ((table.times[row] - At(0, 0)) / width != static_cast<LocalMsecs>(k))
                    continue;
                shownLow = std::min(shownLow, table.values[static_cast<size_t>(column)][row]);
                shownHigh = std::max(shownHigh, table.values[static_cast<size_t>(column)][row]);
            }
            EXPECT_EQ(FormatGeneral(shownLow, '.'), FormatGeneral(lowest, '.')) << "bucket " << k;
            EXPECT_EQ(FormatGeneral(shownHigh, '.'), FormatGeneral(highest, '.')) << "bucket " << k;
        }
    }
    // As many buckets as half the lines or more: every line as it is.
    const auto exact = Read({"A[]"}, At(11, 0), At(11, 59, 59), 30);
    EXPECT_FALSE(exact.report.downsampled);
    ASSERT_EQ(exact.table.Rows(), 60u);
    for (size_t i = 0; i < 60; ++i) {
        EXPECT_EQ(exact.table.times[i], At(11, static_cast<int>(i)));
        EXPECT_EQ(FormatGeneral(exact.table.values[0][i], '.'), FormatGeneral(a[660 + i], '.'));
    }
}

// A spreadsheet that sorted a day file by a value leaves its lines in no time order: the
// rows are those of the file in time order, with the same bound and the same gaps.
TEST_F(HistoryReaderTest, TheOrderOfTheLinesMakesNoDifference) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> noise(-1, 1);
    std::vector<std::string> lines;
    for (int minute = 0; minute < 1440; ++minute) {
        if (minute >= 600 && minute < 660)
            continue; // an hour not recorded
        lines.push_back(
            FormatHistoryTimestamp(QDateTime(kDay, QTime(minute / 60, minute % 60)), QLocale::c()) +
            "," + FormatGeneral(noise(random), '.') + "\r\n");
    }
    std::vector<std::string> shuffledLines = lines;
    std::shuffle(shuffledLines.begin(), shuffledLines.end(), random);
    const auto table = [&](const std::vector<std::string>& fileLines, size_t buckets) {
        std::string text = "\"Timestamp\",\"A[]\"\r\n";
        for (const std::string& line : fileLines)
            text += line;
        File(kDay, text);
        return Read({"A[]"}, At(0, 0), At(23, 59, 59), buckets).table;
    };
    // Every line and a gap row; two rows in each of the 97 buckets with lines and the gap
    // between buckets 41 and 45; two halves of a day, the gap inside one.
    const std::pair<size_t, size_t> bucketsAndRows[] = {{0, lines.size() + 1}, {100, 195}, {2, 4}};
    for (const auto& [buckets, rows] : bucketsAndRows) {
        const HistoryTable ordered = table(lines, buckets);
        const HistoryTable shuffled = table(shuffledLines, buckets);
        EXPECT_EQ(ordered.Rows(), rows) << buckets;
        EXPECT_EQ(shuffled.times, ordered.times) << buckets;
        EXPECT_EQ(Shown(shuffled, 0), Shown(ordered, 0)) << buckets;
    }
}

TEST_F(HistoryReaderTest, ExportsIsoTimesPointDecimalsAndEmptyFields) {
    HistoryTable table;
    table.columns = {"a", "b"};
    table.times = {At(8, 0), At(8, 1)};
    table.values = {{1.5, NAN}, {-2e-7, 3}};
    EXPECT_EQ(HistoryCsvText(table, {"Level[m]", "Flow, in[\"l\"]"}),
              "Timestamp,Level[m],\"Flow, in[\"\"l\"\"]\"\r\n"
              "2026-12-10T08:00:00,1.5,-2E-7\r\n"
              "2026-12-10T08:01:00,,3\r\n");
}
