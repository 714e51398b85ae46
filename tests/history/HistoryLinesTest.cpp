#include "HistoryLines.h"
#include "HistoryTestSupport.h"
#include "ProfileStore.h"

#include <cmath>

using namespace halvane;

namespace {

const QLocale kUnitedStates(QLocale::English, QLocale::UnitedStates);
const QLocale kGermany(QLocale::German, QLocale::Germany);
const QDate kDay(2014, 4, 8);

} // namespace

TEST(HistoryHeader, QuotesEveryCellAndDoublesQuotesInside) {
    struct Case {
        std::vector<TDataChannel> tags;
        char separator;
        std::string header;
    };
    const Case cases[] = {
        {{}, ',', R"("Timestamp")"},
        {{Tag("Level", "m"), Tag("Pump", "")}, ';', R"("Timestamp";"Level[m]";"Pump[]")"},
        {{Tag("Flow, in", "m3/h")}, ',', R"("Timestamp","Flow, in[m3/h]")"},
        {{Tag(R"(Tank "A")", R"(")"), Tag("\"", "\"\"")},
         ',',
         R"("Timestamp","Tank ""A""[""]","""[""""]")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildHistoryHeader(c.tags, c.separator), c.header) << c.header;
}

TEST(HistorySeparator, FirstCharacterOfTheSettingCommaWhenEmpty) {
    struct Case {
        const char* config;
        char separator;
    };
    const Case cases[] = {
        {"", ','},
        {"[General]\nLog.Separator=;\n", ';'},
        {"[General]\nLog.Separator=,\n", ','},
        {"[General]\nLog.Separator=\n", ','},
        {"[General]\nLog.Separator=|x\n", '|'},
    };
    TempDir dir;
    for (const Case& c : cases) {
        WriteText(dir / "config.cfg", c.config);
        const ProfileStore store(dir / "config.cfg");
        EXPECT_EQ(HistorySeparator(store), c.separator) << c.config;
    }
}

TEST(HistoryTimestamp, TimeZoneFieldIsTakenOutOfTheTimeFormat) {
    struct Case {
        const char* format;
        const char* kept;
    };
    const Case cases[] = {
        {"h:mm:ss AP t", "h:mm:ss AP"},
        {"HH:mm:ss t", "HH:mm:ss"},
        {"HH:mm:ss tttt", "HH:mm:ss"},
        {"H:mm:ss (t)", "H:mm:ss"},
        {"APh:mm:ss [t]", "APh:mm:ss"},
        {"HH:mm:ss, t", "HH:mm:ss"},
        {"t APh:mm:ss", "APh:mm:ss"},
        {"HH 'h' mm 'min' ss 's' t", "HH 'h' mm 'min' ss 's'"},
        {"'kl'. HH:mm:ss t", "'kl'. HH:mm:ss"},
        {"H 'at' mm t", "H 'at' mm"},
        {"HH:mm:ss", "HH:mm:ss"},
        {"H''mm 'o''clock' t", "H''mm 'o''clock'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TimeFormatWithoutZone(QString::fromUtf8(c.format)).toStdString(), c.kept)
            << c.format;
}

TEST(HistoryTimestamp, ShortDateAndLongTimeOfThePinnedLocale) {
    struct Case {
        const QLocale& locale;
        QTime time;
        const char* text;
    };
    const Case cases[] = {
        {kUnitedStates, QTime(13, 5, 9), "4/8/14 1:05:09 PM"},
        {kUnitedStates, QTime(0, 0, 1), "4/8/14 12:00:01 AM"},
        {kUnitedStates, QTime(0, 0), "4/8/14"},
        {kGermany, QTime(13, 5, 9), "08.04.14 13:05:09"},
        {kGermany, QTime(23, 59, 59), "08.04.14 23:59:59"},
        {kGermany, QTime(0, 0), "08.04.14"},
        // Not exactly midnight: the time stays, though it shows as 00:00:00.
        {kGermany, QTime(0, 0, 0, 1), "08.04.14 00:00:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatHistoryTimestamp(QDateTime(kDay, c.time), c.locale), c.text) << c.text;
}

TEST(HistoryLine, TimestampThenEveryValueInGeneralFormat) {
    const QDateTime at(kDay, QTime(13, 5, 9));
    const std::vector<TDataChannel> tags = {Tag("a", "", 1.5), Tag("b", "", 1.5e20),
                                            Tag("c", "", 0), Tag("d", "", -0.000001),
                                            Tag("e", "", 123456.789)};
    EXPECT_EQ(BuildHistoryLine(at, tags, ',', kUnitedStates, '.'),
              "4/8/14 1:05:09 PM,1.5,1.5E20,0,-1E-6,123456.789");
    EXPECT_EQ(BuildHistoryLine(at, tags, ';', kGermany, ','),
              "08.04.14 13:05:09;1,5;1,5E20;0;-1E-6;123456,789");
    EXPECT_EQ(BuildHistoryLine(QDateTime(kDay, QTime(0, 0)), {}, ';', kGermany, ','), "08.04.14");
}

// A value never read, or left over from a reading that failed since, is no measurement.
TEST(HistoryLine, ValueThatIsNotValidLeavesItsFieldEmpty) {
    const std::vector<TDataChannel> tags = {Tag("never read", "", 0, false), Tag("read", "", 2.5),
                                            Tag("link lost", "", 7, false)};
    EXPECT_EQ(BuildHistoryLine(QDateTime(kDay, QTime(13, 5, 9)), tags, ';', kUnitedStates, '.'),
              "4/8/14 1:05:09 PM;;2.5;");
}
