#include "TagTable.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TagVocabulary.h"
#include "TempDir.h"
#include "ValueText.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <tuple>
#include <utility>

using namespace halvane;

namespace {

class TagTableTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    std::filesystem::path File(const std::string& content) {
        WriteText(m_dir / "config.cfg", content);
        return m_dir / "config.cfg";
    }
    TempDir m_dir;
};

std::string SavedTagExample() {
    return "[Channel.0]\nPort=1\nModuleAddr=1\nRegisterAddr=100\nFunction=2\nDataType=0\n"
           "DisplayType=0\nSigned=0\nReverseOrder=0\nSwapBytes=0\nSwapWords=0\nSwapDWords=0\n"
           "Name=Tank level\nUnit=m\nDesc=\nFormat=%0.2f\nHigh.Threshold=4.5\n"
           "Low.Threshold=0.5\nEnableAlert=1\nSMSAlert=0\nLinear=2\nFilter=0\nMaxX=4000\n"
           "MinX=0\nACoff=0.00125\nBCoff=0\nOffset=0\nDefaultValue=0\n\n"
           "[Points.0]\nPoint.0=0;0.0000\nPoint.1=4000;5.0000\n";
}

} // namespace

TEST_F(TagTableTest, ANewTagHasTheConstructedState) {
    const TDataChannel tag;
    EXPECT_EQ(tag.Format, "%0.2f");
    EXPECT_EQ(tag.ModuleAddr, 1);
    EXPECT_EQ(tag.Function, 0);
    EXPECT_EQ(tag.Linear, 0);
    EXPECT_FALSE(tag.EnableAlert);
    EXPECT_EQ(tag.Status, "Unknown");
    EXPECT_FALSE(tag.ValueValid);
}

TEST_F(TagTableTest, ASectionWithOnlyANameTakesTheLoadDefaults) {
    ProfileStore store(File("[Channel.0]\nName=Pump\n"));
    const auto tags = LoadAllTags(store);
    ASSERT_EQ(tags.size(), 1u);
    const TDataChannel& t = tags[0];
    EXPECT_EQ(t.Name, "Pump");
    EXPECT_TRUE(t.EnableAlert);
    EXPECT_EQ(t.Linear, 2);
    EXPECT_EQ(t.Function, 2);
    EXPECT_EQ(t.DataType, 0);
    EXPECT_EQ(t.ByteLength, 2);
    EXPECT_FALSE(t.Signed);
    EXPECT_EQ(t.Port, 0);
    EXPECT_EQ(t.Status, "Cfg: Disabled");
    EXPECT_EQ(t.Format, "%0.2f");
    EXPECT_EQ(t.ModuleAddr, 1);
}

TEST_F(TagTableTest, LoadingStopsAtTheFirstMissingSection) {
    ProfileStore store(File("[Channel.0]\nName=a\n[Channel.1]\nName=b\n[Channel.3]\nName=d\n"
                            "[Channel.2]\n; no key: the section does not exist\n"));
    const auto tags = LoadAllTags(store);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[1].Name, "b");
}

TEST_F(TagTableTest, LoadsTheSavedExample) {
    ProfileStore store(File(SavedTagExample()));
    const auto tags = LoadAllTags(store);
    ASSERT_EQ(tags.size(), 1u);
    const TDataChannel& t = tags[0];
    EXPECT_EQ(t.Port, 1);
    EXPECT_EQ(t.RegisterAddr, 100);
    EXPECT_EQ(t.Status, "Unknown");
    EXPECT_DOUBLE_EQ(t.HighThreshold, 4.5);
    EXPECT_DOUBLE_EQ(t.ACoff, 0.00125);
    ASSERT_EQ(t.PointCount, 2);
    EXPECT_EQ(t.PointX[1], 4000);
    EXPECT_DOUBLE_EQ(t.PointY[1], 5.0);
}

TEST_F(TagTableTest, SavingTheExampleWritesItByteForByte) {
    ProfileStore source(File(SavedTagExample()));
    const auto tags = LoadAllTags(source);
    ProfileStore target(m_dir / "saved.cfg");
    ASSERT_TRUE(tags[0].SaveToConfig(target, 0));
    EXPECT_EQ(ReadText(m_dir / "saved.cfg"), SavedTagExample());
}

TEST_F(TagTableTest, DefaultValueBecomesTheOutputTagsRealValue) {
    ProfileStore store(File("[Channel.0]\nFunction=5\nDefaultValue=12.5\n"
                            "[Channel.1]\nFunction=2\nDefaultValue=12.5\n"
                            "[Channel.2]\nFunction=4\nDefaultValue=1\n"));
    const auto tags = LoadAllTags(store);
    EXPECT_DOUBLE_EQ(tags[0].RealValue, 12.5);
    EXPECT_DOUBLE_EQ(tags[0].DefaultValue, 12.5);
    EXPECT_TRUE(tags[0].IsOutputTag());
    EXPECT_DOUBLE_EQ(tags[1].RealValue, 0);
    EXPECT_DOUBLE_EQ(tags[1].DefaultValue, 0);
    EXPECT_FALSE(tags[1].IsOutputTag());
    EXPECT_DOUBLE_EQ(tags[2].RealValue, 1);
}

TEST_F(TagTableTest, PointEntries) {
    ProfileStore store(File("[Channel.0]\nName=x\n[Points.0]\n"
                            "Point.0=10;1.5\n"
                            "Point.3=;7\n"
                            "Point.4=12\n"
                            "Point.5=abc;2.5\n"
                            "Point.6= -20x;junk\n"
                            "Point.7=4294967296;1\n"
                            "Point.8=-99999999999;2\n"
                            "Point.99=99;9.9\n"
                            "Point.100=100;10\n"));
    const auto tags = LoadAllTags(store);
    const TDataChannel& t = tags[0];
    ASSERT_EQ(t.PointCount, 6);
    EXPECT_EQ(t.PointX[0], 10);
    EXPECT_DOUBLE_EQ(t.PointY[0], 1.5);
    EXPECT_EQ(t.PointX[1], 0);
    EXPECT_DOUBLE_EQ(t.PointY[1], 2.5);
    EXPECT_EQ(t.PointX[2], -20);
    EXPECT_DOUBLE_EQ(t.PointY[2], 0);
    EXPECT_EQ(t.PointX[3], INT32_MAX); // saturates beyond 32 bits
    EXPECT_EQ(t.PointX[4], INT32_MIN);
    EXPECT_EQ(t.PointX[5], 99);
}

TEST_F(TagTableTest, SavingAShorterFunctionRemovesStalePoints) {
    const auto file =
        File("[Channel.0]\nName=x\n[Points.0]\nPoint.0=0;0\nPoint.1=1;1\nPoint.2=2;2\n"
             "Point.3=3;3\nPoint.4=4;4\n");
    ProfileStore store(file);
    auto tags = LoadAllTags(store);
    ASSERT_EQ(tags[0].PointCount, 5);
    tags[0].PointCount = 2;
    tags[0].PointY[1] = 1.23456;
    ASSERT_TRUE(tags[0].SaveToConfig(store, 0));
    EXPECT_EQ(store.ReadKeys("Points.0"), (std::vector<std::string>{"Point.0", "Point.1"}));
    EXPECT_EQ(store.ReadString("Points.0", "Point.1", ""), "1;1.2346");
    EXPECT_DOUBLE_EQ(LoadAllTags(store)[0].PointY[1], 1.2346);
}

TEST_F(TagTableTest, FloatsFollowTheLocaleSeparatorPointsDoNot) {
    ProfileStore store(m_dir / "c.cfg");
    TDataChannel tag;
    tag.HighThreshold = 4.5;
    tag.PointCount = 1;
    tag.PointY[0] = 2.5;
    SetDecimalSeparator(',');
    ASSERT_TRUE(tag.SaveToConfig(store, 0));
    EXPECT_EQ(store.ReadString("Channel.0", "High.Threshold", ""), "4,5");
    EXPECT_EQ(store.ReadString("Points.0", "Point.0", ""), "0;2.5000");
    EXPECT_DOUBLE_EQ(LoadAllTags(store)[0].HighThreshold, 4.5);
    SetDecimalSeparator('.');
}

TEST_F(TagTableTest, TextsKeepTheirBytes) {
    const auto file = File("[Channel.0]\nName=Temp\xE9rature\nUnit=\xB0"
                           "C\nDesc=\xC2\xB0"
                           "C utf8\n");
    ProfileStore store(file);
    const auto tags = LoadAllTags(store);
    ASSERT_TRUE(tags[0].SaveToConfig(store, 0));
    EXPECT_EQ(store.ReadString("Channel.0", "Name", ""), "Temp\xE9rature");
    EXPECT_EQ(store.ReadString("Channel.0", "Unit", ""), "\xB0"
                                                         "C");
    EXPECT_EQ(store.ReadString("Channel.0", "Desc", ""), "\xC2\xB0"
                                                         "C utf8");
}

// Limits are written only while they are set: a tag saved without them keeps a section
// without the keys, and clearing one removes its key.
TEST_F(TagTableTest, WriteLimitsAreKeptOnlyWhileSet) {
    ProfileStore store(File("[Channel.0]\nName=a\nFunction=5\n[Channel.1]\nName=b\nFunction=5\n"
                            "WriteMin=-2.5\nWriteMax=100\n[Channel.2]\nName=c\nWriteMax=x\n"));
    auto tags = LoadAllTags(store);
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(std::pair(tags[0].WriteMin, tags[0].WriteMax),
              std::pair(std::optional<double>(), std::optional<double>()));
    EXPECT_EQ(std::pair(tags[1].WriteMin, tags[1].WriteMax),
              std::pair(std::optional<double>(-2.5), std::optional<double>(100)));
    EXPECT_EQ(tags[2].WriteMax, std::nullopt);

    ASSERT_TRUE(tags[0].SaveToConfig(store, 0));
    EXPECT_EQ(store.ReadString("Channel.0", "WriteMin", "absent"), "absent");
    EXPECT_EQ(store.ReadString("Channel.0", "WriteMax", "absent"), "absent");

    tags[1].WriteMin.reset();
    tags[1].WriteMax = 80;
    ASSERT_TRUE(tags[1].SaveToConfig(store, 1));
    EXPECT_EQ(store.ReadString("Channel.1", "WriteMin", "absent"), "absent");
    const auto reloaded = LoadAllTags(store);
    EXPECT_EQ(std::pair(reloaded[1].WriteMin, reloaded[1].WriteMax),
              std::pair(std::optional<double>(), std::optional<double>(80)));
}

TEST_F(TagTableTest, DeletingRenumbersTheSections) {
    // The alarm keys move with their tags.
    const std::array<std::string, 4> alarmKeys{"", "AlarmPriority=4\n",
                                               "AlarmPriority=1\nAlarmDelay=5\n", ""};
    std::string content;
    for (int i = 0; i < 4; ++i)
        content += "[Channel." + std::to_string(i) + "]\nName=tag" + std::to_string(i) +
                   "\nPort=1\n" + alarmKeys[i] + "[Points." + std::to_string(i) +
                   "]\nPoint.0=" + std::to_string(i) + ";1\n" + (i == 3 ? "Point.1=30;2\n" : "");
    ProfileStore store(File(content));
    auto tags = LoadAllTags(store);
    int events = 0;
    ASSERT_TRUE(DeleteTag(store, tags, 1, [&] { ++events; }));
    EXPECT_EQ(events, 1); // after the tag at index 0
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_FALSE(store.SectionExists("Channel.3"));
    EXPECT_FALSE(store.SectionExists("Points.3"));
    const auto reloaded = LoadAllTags(store);
    ASSERT_EQ(reloaded.size(), 3u);
    EXPECT_EQ(reloaded[0].Name, "tag0");
    EXPECT_EQ(reloaded[1].Name, "tag2");
    EXPECT_EQ(reloaded[2].Name, "tag3");
    EXPECT_EQ(reloaded[2].PointCount, 2);
    EXPECT_EQ(reloaded[1].PointCount, 1);
    EXPECT_EQ(reloaded[1].PointX[0], 2);
    EXPECT_EQ(std::tuple(reloaded[1].AlarmPriority, reloaded[1].AlarmDelay), std::tuple(1, 5.0));
    EXPECT_EQ(std::tuple(reloaded[2].AlarmPriority, reloaded[2].AlarmDelay), std::tuple(3, 0.0));
    EXPECT_EQ(store.ReadString("Channel.2", "AlarmPriority", "absent"), "absent");

    ASSERT_TRUE(DeleteTag(store, tags, 2));
    ASSERT_TRUE(DeleteTag(store, tags, 0));
    EXPECT_EQ(LoadAllTags(store).size(), 1u);
    EXPECT_EQ(LoadAllTags(store)[0].Name, "tag2");
}

// A reload (after any edit in the tag list) must not drop a preset that waits to be
// written; one whose tag changed its register, function or value is not carried.
TEST_F(TagTableTest, PendingWritesSurviveAReloadOfTheSameTags) {
    TDataChannel pump;
    pump.Port = 4;
    pump.Function = kFunctionWriteCoil;
    pump.RegisterAddr = 10;
    pump.RealValue = 1;
    pump.WritePending = true;
    TDataChannel level = pump;
    level.Function = 2;
    level.WritePending = false;
    TDataChannel setpoint = pump;
    setpoint.Function = kFunctionWriteRegister;
    setpoint.RegisterAddr = 20;
    const std::vector<TDataChannel> before{level, pump, setpoint};

    TDataChannel reloadedPump = pump;
    reloadedPump.WritePending = false;
    TDataChannel movedSetpoint = setpoint;
    movedSetpoint.WritePending = false;
    movedSetpoint.RegisterAddr = 21;
    std::vector<TDataChannel> after{reloadedPump, movedSetpoint, level}; // renumbered too
    CarryPendingWrites(before, after);
    EXPECT_TRUE(after[0].WritePending);
    EXPECT_EQ(after[0].Status, "Pending write");
    EXPECT_FALSE(after[1].WritePending);
    EXPECT_FALSE(after[2].WritePending);

    after[0].WritePending = false;
    after[0].RealValue = 0; // preset again meanwhile and saved with another value
    CarryPendingWrites(before, after);
    EXPECT_FALSE(after[0].WritePending);
}

TEST_F(TagTableTest, VocabularyTables) {
    EXPECT_EQ(DataTypes().front().name, "Integer - Byte");
    EXPECT_EQ(DataTypeByteLength(102), 8);
    EXPECT_EQ(DataTypeByteLength(27), 1);
    EXPECT_EQ(DataTypeByteLength(28), 0); // bit 8: understood, but not in the table
    EXPECT_EQ(FunctionListText(5), "(6) Write Holding Register");
    EXPECT_EQ(FunctionListText(6), "(16) Write Multiple Registers");
    EXPECT_EQ(FunctionListText(7), "Unknown");
    EXPECT_EQ(Ports()[4].listText, "Network");
    EXPECT_EQ(ConversionModes()[2], "Use function y=f(x)");
}

// The listeners hear of every change a subscriber could see, of stored presets and of
// writes that began to fail, and of nothing else.
TEST_F(TagTableTest, TheChangeListenersHearOfChanges) {
    struct Heard final : TagChangeListener {
        void TagChanged(size_t index) override { events += std::to_string(index) + " "; }
        void AllTagsChanged() override { events += "all "; }
        void PresetStored(size_t index, double value, const WriteOrigin& origin) override {
            events += "preset " + std::to_string(index) + "=" + FormatValue("%g", value) +
                      (origin.source == WriteSource::Mqtt ? " mqtt " : " other ");
        }
        void WriteFailed(size_t index, const std::string& status) override {
            events += "failed " + std::to_string(index) + " " + status + " ";
        }
        std::string events;
    } heard, second;
    TagTable tags;
    tags.AddChangeListener(&heard);
    tags.AddChangeListener(&second);
    TDataChannel output;
    output.Function = kFunctionWriteRegister;
    tags.Assign({TDataChannel{}, output});
    TDataChannel reading = tags.Snapshot(0);
    reading.RealValue = 3;
    reading.ValueValid = true;
    tags.StoreOutcome(0, reading); // changed
    tags.StoreOutcome(0, reading); // the same again: nothing to tell
    reading.Status = "Read: Timeout";
    reading.ValueValid = false;
    tags.StoreOutcome(0, reading); // an input tag's failure is no failed write
    TDataChannel written = tags.Snapshot(1);
    written.RealValue = 9; // preset meanwhile: the outcome is dropped
    tags.StoreOutcome(1, written);
    tags.Update(1, [](TDataChannel& tag) { tag.RealValue = 5; });
    tags.NotifyPresetStored(1, 5, WriteSource::Mqtt);
    written = tags.Snapshot(1);
    written.Status = "Read: Timeout";
    tags.StoreOutcome(1, written);
    tags.StoreOutcome(1, written); // the retry fails the same way
    tags.UpdateAll([](TDataChannel&, size_t) {});
    tags.RemoveChangeListener(&heard);
    tags.Update(0, [](TDataChannel& tag) { tag.RealValue = 4; });
    EXPECT_EQ(heard.events, "all 0 0 1 preset 1=5 mqtt failed 1 Read: Timeout 1 all ");
    EXPECT_EQ(second.events, heard.events + "0 ");
}
