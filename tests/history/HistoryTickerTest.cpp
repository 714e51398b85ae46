#include "HistoryTicker.h"
#include "DemoValues.h"
#include "HistoryTestSupport.h"
#include "ProfileStore.h"
#include "TagTable.h"

#include <memory>

using namespace halvane;

namespace {

const QLocale kUnitedStates(QLocale::English, QLocale::UnitedStates);

class HistoryTickerTest : public HistoryTest {
protected:
    void SetUp() override {
        HistoryTest::SetUp();
        SetNow(2014, 4, 8, 10, 0, 0);
        m_store = std::make_unique<ProfileStore>(m_root / "cfg" / "config.cfg");
        m_tags.Assign({Tag("Level", "m", 1.5), Tag("Pump", "", 0)});
    }
    void Set(const char* key, const char* value) { m_store->WriteString("General", key, value); }
    // One tick a second later.
    void Tick() {
        m_now = m_now.addSecs(1);
        m_ticker.Tick(m_store.get(), m_tags);
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i)
            Tick();
    }
    std::string Today() const { return DayText(2014, 4, 8); }

    std::unique_ptr<ProfileStore> m_store;
    TagTable m_tags;
    CLog m_log{Clock()};
    HistoryTicker m_ticker{m_log, kUnitedStates};
};

} // namespace

TEST_F(HistoryTickerTest, DisabledFromTheStartLeavesOnlyTheHeader) {
    StartHistory(m_log, *m_store, m_tags);
    Ticks(130);
    EXPECT_EQ(Today(), "\"Timestamp\",\"Level[m]\",\"Pump[]\"\r\n");
}

TEST_F(HistoryTickerTest, DefaultIntervalWritesEverySixtiethTick) {
    Set("Log.Enabled", "1");
    Set("Log.Separator", ";");
    StartHistory(m_log, *m_store, m_tags);
    Ticks(59);
    EXPECT_EQ(Today(), "\"Timestamp\";\"Level[m]\";\"Pump[]\"\r\n");
    Ticks(1);
    Ticks(60);
    EXPECT_EQ(Today(), "\"Timestamp\";\"Level[m]\";\"Pump[]\"\r\n"
                       "4/8/14 10:01:00 AM;1.5;0\r\n"
                       "4/8/14 10:02:00 AM;1.5;0\r\n");
}

TEST_F(HistoryTickerTest, IntervalAndSwitchAreReadAtEveryTick) {
    StartHistory(m_log, *m_store, m_tags);
    Set("Log.Interval", "3");
    Ticks(5); // disabled: the count does not move
    Set("Log.Enabled", "1");
    Ticks(2);
    Set("Log.Enabled", "0");
    Ticks(4);
    Set("Log.Enabled", "1");
    Tick(); // third counted tick
    Set("Log.Interval", "0");
    Tick();
    Set("Log.Interval", "-4");
    Tick();
    EXPECT_EQ(Today(), "\"Timestamp\",\"Level[m]\",\"Pump[]\"\r\n"
                       "4/8/14 10:00:12 AM,1.5,0\r\n"
                       "4/8/14 10:00:13 AM,1.5,0\r\n"
                       "4/8/14 10:00:14 AM,1.5,0\r\n");
}

TEST_F(HistoryTickerTest, WithoutStoreNothingHappens) {
    StartHistory(m_log, *m_store, m_tags);
    Set("Log.Enabled", "1");
    Set("Log.Interval", "1");
    for (int i = 0; i < 3; ++i)
        m_ticker.Tick(nullptr, m_tags);
    Tick();
    EXPECT_EQ(Today(), "\"Timestamp\",\"Level[m]\",\"Pump[]\"\r\n"
                       "4/8/14 10:00:01 AM,1.5,0\r\n");
}

// Columns are matched by position: whenever the tags or the separator no longer match the
// file's header, the current header goes before the next line.
TEST_F(HistoryTickerTest, HeaderIsWrittenAgainWhenTheTagsOrTheSeparatorChange) {
    Set("Log.Enabled", "1");
    Set("Log.Interval", "1");
    Set("Log.Separator", "");
    StartHistory(m_log, *m_store, m_tags);
    Tick();
    m_tags.Assign({Tag("Level", "m", 2), Tag("Pump", "", 1), Tag("Flow", "l/s", 0.25)});
    Tick();
    Tick();
    m_tags.Assign({Tag("Level", "m", 2), Tag("Valve", "", 1), Tag("Flow", "l/s", 0.25)});
    Tick();
    Set("Log.Separator", ";");
    Tick();
    m_tags.Assign({});
    Tick();
    EXPECT_EQ(Today(), "\"Timestamp\",\"Level[m]\",\"Pump[]\"\r\n"
                       "4/8/14 10:00:01 AM,1.5,0\r\n"
                       "\"Timestamp\",\"Level[m]\",\"Pump[]\",\"Flow[l/s]\"\r\n"
                       "4/8/14 10:00:02 AM,2,1,0.25\r\n"
                       "4/8/14 10:00:03 AM,2,1,0.25\r\n"
                       "\"Timestamp\",\"Level[m]\",\"Valve[]\",\"Flow[l/s]\"\r\n"
                       "4/8/14 10:00:04 AM,2,1,0.25\r\n"
                       "\"Timestamp\";\"Level[m]\";\"Valve[]\";\"Flow[l/s]\"\r\n"
                       "4/8/14 10:00:05 AM;2;1;0.25\r\n"
                       "\"Timestamp\"\r\n"
                       "4/8/14 10:00:06 AM\r\n");
}

TEST_F(HistoryTickerTest, RestartWithOtherTagsRepeatsTheHeaderBeforeItsFirstLine) {
    WriteText(DayFile(2014, 4, 8), "\"Timestamp\",\"Level[m]\"\r\n4/8/14 9:00:00 AM,1\r\n");
    Set("Log.Enabled", "1");
    Set("Log.Interval", "1");
    StartHistory(m_log, *m_store, m_tags);
    Tick();
    Tick();
    EXPECT_EQ(Today(), "\"Timestamp\",\"Level[m]\"\r\n4/8/14 9:00:00 AM,1\r\n"
                       "\"Timestamp\",\"Level[m]\",\"Pump[]\"\r\n"
                       "4/8/14 10:00:01 AM,1.5,0\r\n"
                       "4/8/14 10:00:02 AM,1.5,0\r\n");
}

// Demo readings are valid values and are logged; a tag on no connection has none.
TEST_F(HistoryTickerTest, DemoValuesAreLogged) {
    std::vector<TDataChannel> tags = {Tag("Level", "m", 0, false), Tag("Spare", "", 0, false)};
    tags[0].Port = 1;
    DemoTick(tags, m_store.get(), MakeDemoRandom(7));
    m_tags.Assign(tags);
    Set("Log.Enabled", "1");
    Set("Log.Interval", "1");
    StartHistory(m_log, *m_store, m_tags);
    Tick();
    EXPECT_EQ(Today(), "\"Timestamp\",\"Level[m]\",\"Spare[]\"\r\n"
                       "4/8/14 10:00:01 AM," +
                           FormatGeneral(tags[0].RealValue) + ",\r\n");
}

TEST_F(HistoryTickerTest, RetentionComesFromTheSettings) {
    Set("Log.Retention", "2");
    WriteText(DayFile(2014, 4, 5), "old\r\n");
    WriteText(DayFile(2014, 4, 6), "recent\r\n");
    StartHistory(m_log, *m_store, m_tags);
    EXPECT_FALSE(std::filesystem::exists(DayFile(2014, 4, 5)));
    EXPECT_TRUE(std::filesystem::exists(DayFile(2014, 4, 6)));
}
