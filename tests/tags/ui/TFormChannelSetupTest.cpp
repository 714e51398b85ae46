#include "TFormChannelSetup.h"

#include "TFormEditPoint.h"
#include "TFormPresetValue.h"
#include "TagListModel.h"
#include "TagWindowSupport.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>

#include <cstdio>

namespace halvane {
namespace {

using test::Child;
using test::Click;
using test::ModalAnswers;
using test::SetText;
using test::Text;

using Calls = std::vector<std::string>;

TDataChannel NamedTag(const std::string& name, int port = 1, int function = 2) {
    TDataChannel tag;
    tag.Name = name;
    tag.Port = port;
    tag.Function = function;
    return tag;
}

class TFormChannelSetupTest : public test::ConfigFileTest {
protected:
    // Saves the tags to the file and loads the table from it, as a start does.
    void Load(const std::vector<TDataChannel>& tags) {
        for (size_t i = 0; i < tags.size(); ++i)
            ASSERT_TRUE(tags[i].SaveToConfig(m_config, static_cast<int>(i)));
        m_tags.Assign(LoadAllTags(m_config));
        m_form.Fill();
    }

    QTableView* Grid() const { return Child<QTableView>(m_form, "StringGridChannels"); }
    QAbstractItemModel* Model() const { return Grid()->model(); }
    QString Cell(int row, int column) const {
        return Model()->index(row, column).data().toString();
    }
    QVariant Icon(int row, int column) const {
        return Model()->index(row, column).data(TagListModel::kIconRole);
    }
    // Opens the context menu and tells whether "Set value" is offered.
    bool SetValueEnabled() {
        auto* menu = Child<QMenu>(m_form, "PopupMenu1");
        menu->popup(QPoint(0, 0));
        menu->hide();
        return Child<QAction>(m_form, "SetValue1")->isEnabled();
    }

    TagTable m_tags;
    test::FakeTagListHost m_host{m_tags, m_config};
    TFormChannelSetup m_form{m_tags, m_config, m_host};
};

TEST_F(TFormChannelSetupTest, WithoutTagsOnlyTheHeaderAndNothingToEditDeleteOrSet) {
    ModalAnswers none;
    Load({});
    EXPECT_EQ(Model()->rowCount(), 0);
    ASSERT_EQ(Model()->columnCount(), 12);
    EXPECT_EQ(Model()->headerData(0, Qt::Horizontal).toString(), "Id");
    EXPECT_EQ(Model()->headerData(9, Qt::Horizontal).toString(), "Real value");
    const QHeaderView* header = Grid()->horizontalHeader();
    EXPECT_EQ(header->sectionSize(2), 133);
    for (int column = 0; column < header->count(); ++column) // no header cut short
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
            << Model()->headerData(column, Qt::Horizontal).toString().toStdString();
    EXPECT_EQ(m_form.SelectedTag(), -1);

    Click(m_form, "ButtonEdit");
    Click(m_form, "ButtonDelete");
    EXPECT_FALSE(SetValueEnabled());
    Child<QAction>(m_form, "SetValue1")->trigger();
    EXPECT_EQ(m_host.calls, Calls{});
}

TEST_F(TFormChannelSetupTest, AddOnEmptyTableOpensADefaultTagAndSavesIt) {
    Load({});
    ModalAnswers answers;
    answers.Then<TFormEditPoint>([](TFormEditPoint& editor) {
        EXPECT_EQ(Text(editor, "EditId"), "1");
        EXPECT_EQ(Text(editor, "EditName"), "");
        EXPECT_EQ(Text(editor, "EditSlaveAddress"), "1");
        EXPECT_EQ(Child<QComboBox>(editor, "ComboBoxCommunication")->currentIndex(), 0);
        SetText(editor, "EditName", "Level");
        Click(editor, "ButtonSave");
    });
    Click(m_form, "ButtonAdd");
    EXPECT_EQ(Stored("Channel.0", "Name"), "Level");
    EXPECT_EQ(m_host.calls, (Calls{"StopCommunication", "ReloadTags"}));
    ASSERT_EQ(Model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 1), "Level");
}

TEST_F(TFormChannelSetupTest, GridShowsConfigurationAndStatus) {
    TDataChannel disabled = NamedTag("Off", 0);
    disabled.RegisterAddr = 255;
    TDataChannel fresh = NamedTag("Fresh", 4, 5);
    fresh.RegisterAddr = 4096;
    fresh.DataType = 101;
    fresh.ModuleAddr = 12;
    Load({disabled, fresh});

    const QStringList off{"1",
                          "Off",
                          "",
                          "None",
                          "1",
                          "(3) Read Holding Register",
                          "255 (0xFF)",
                          "Integer - Word",
                          "-",
                          "-",
                          "Cfg: Disabled",
                          "   "};
    const QStringList never{"2",
                            "Fresh",
                            "",
                            "Network",
                            "12",
                            "(6) Write Holding Register",
                            "4096 (0x1000)",
                            "Float - Single precision",
                            "-",
                            "-",
                            "Unknown",
                            "   "};
    for (int c = 0; c < 12; ++c) {
        EXPECT_EQ(Cell(0, c), off[c]) << c;
        EXPECT_EQ(Cell(1, c), never[c]) << c;
    }
    EXPECT_EQ(Icon(0, 10).toInt(), static_cast<int>(TagStatusIcon::Error));
    EXPECT_EQ(Icon(1, 10).toInt(), static_cast<int>(TagStatusIcon::None));
    EXPECT_FALSE(Icon(1, 11).toBool());
}

TEST_F(TFormChannelSetupTest, RefreshReportsOnlyTheCellsThatChanged) {
    Load({NamedTag("A"), NamedTag("B"), NamedTag("C", 2)});
    QSignalSpy changed(Model(), &QAbstractItemModel::dataChanged);

    m_form.Refresh();
    EXPECT_EQ(changed.count(), 0);

    m_tags.Update(1, [](TDataChannel& tag) {
        tag.RawValue = 1234;
        tag.RealValue = 12.5;
        tag.Unit = "bar";
        tag.ValueValid = true;
    });
    m_form.Refresh();
    ASSERT_EQ(changed.count(), 3);
    for (int i = 0; i < 3; ++i) {
        const auto from = changed[i][0].value<QModelIndex>();
        const auto to = changed[i][1].value<QModelIndex>();
        EXPECT_EQ(from.row(), 1);
        EXPECT_EQ(to.row(), 1);
        EXPECT_EQ(from.column(), 8 + i);
        EXPECT_EQ(to.column(), 8 + i);
    }
    EXPECT_EQ(Cell(1, 8), "1234");
    EXPECT_EQ(Cell(1, 9), "12.5 bar");
    EXPECT_EQ(Cell(1, 10), "OK");
    EXPECT_EQ(Icon(1, 10).toInt(), static_cast<int>(TagStatusIcon::Ok));

    // The polling column's text never changes: its icon does, for neighbours in one signal.
    changed.clear();
    m_tags.UpdateAll([](TDataChannel& tag, size_t index) { tag.PollingNow = index < 2; });
    m_form.Refresh();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>(), Model()->index(0, 11));
    EXPECT_EQ(changed[0][1].value<QModelIndex>(), Model()->index(1, 11));
    EXPECT_TRUE(Icon(0, 11).toBool());

    // A new value with the same text is no change to show.
    changed.clear();
    m_tags.Update(1, [](TDataChannel& tag) { tag.RawValue = 1234.0000001; });
    m_form.Refresh();
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(TFormChannelSetupTest, SetValueOnlyForOutputTagsAndStoresTheValue) {
    TDataChannel output = NamedTag("Valve", 1, 5);
    output.Unit = "bar";
    output.Linear = 1; // the register holds tenths of a bar
    output.ACoff = 0.1;
    output.DefaultValue = 2.5; // the last preset, loaded as the value to write
    Load({NamedTag("Level"), output});

    Grid()->selectRow(0);
    EXPECT_FALSE(SetValueEnabled());
    Grid()->selectRow(1);
    ASSERT_TRUE(SetValueEnabled());

    // A wrong text is corrected in place: the dialog stays open with the reason.
    ModalAnswers answers;
    answers.Then<TFormPresetValue>([](TFormPresetValue& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Preset value for tag 2");
        EXPECT_EQ(Child<QLabel>(dialog, "LabelCurrent")->text(), "2.50 bar (Unknown)");
        EXPECT_EQ(Child<QLabel>(dialog, "LabelRange")->text(), "0 to 6553.5 bar");
        SetText(dialog, "EditValue", "abc");
        Click(dialog, "ButtonOK");
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(Child<QLabel>(dialog, "LabelMessage")->text(),
                  "'abc' is not a valid floating point value");
        SetText(dialog, "EditValue", "7000");
        Click(dialog, "ButtonOK");
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(Child<QLabel>(dialog, "LabelMessage")->text(),
                  "The value 7000 does not fit the register (it is written as 70000). The "
                  "register takes 0 to 65535.");
        SetText(dialog, "EditValue", "12.5");
        Click(dialog, "ButtonOK");
    });
    Child<QAction>(m_form, "SetValue1")->trigger();
    const TDataChannel preset = m_tags.Snapshot(1);
    EXPECT_EQ(preset.RealValue, 12.5);
    EXPECT_EQ(preset.Status, "Pending write");
    EXPECT_EQ(Stored("Channel.1", "DefaultValue"), "12.5");
    EXPECT_EQ(Cell(1, 10), "Pending write");
    EXPECT_EQ(m_host.calls, Calls{}); // no reload after a preset

    for (const char* button : {"ButtonCancel", "ButtonOK"}) { // OK with nothing typed
        answers.Then<TFormPresetValue>([button](TFormPresetValue& dialog) {
            EXPECT_EQ(Child<QLabel>(dialog, "LabelCurrent")->text(), "12.50 bar (Pending write)");
            Click(dialog, button);
        });
        Child<QAction>(m_form, "SetValue1")->trigger();
        EXPECT_EQ(m_tags.Snapshot(1), preset) << button;
    }
    EXPECT_EQ(Stored("Channel.1", "DefaultValue"), "12.5");
}

// The write limits narrow the offered range and refuse a value outside them in place.
TEST_F(TFormChannelSetupTest, SetValueKeepsToTheWriteLimits) {
    TDataChannel output = NamedTag("Pump speed setpoint", 1, 5);
    output.Unit = "%";
    output.WriteMin = 0;
    output.WriteMax = 100;
    Load({output});
    Grid()->selectRow(0);
    ModalAnswers answers;
    answers.Then<TFormPresetValue>([](TFormPresetValue& dialog) {
        EXPECT_EQ(Child<QLabel>(dialog, "LabelRange")->text(), "0 to 100 %");
        SetText(dialog, "EditValue", "250");
        Click(dialog, "ButtonOK");
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(Child<QLabel>(dialog, "LabelMessage")->text(),
                  "The value 250 is outside the limits of Pump speed setpoint: 0 to 100 %.");
        SetText(dialog, "EditValue", "100");
        Click(dialog, "ButtonOK");
    });
    Child<QAction>(m_form, "SetValue1")->trigger();
    EXPECT_EQ(m_tags.Snapshot(0).RealValue, 100);
    EXPECT_EQ(Stored("Channel.0", "DefaultValue"), "100");
}

// Each action asks for its role where it runs: refused, it opens no dialog and changes
// neither the table nor the file.
TEST_F(TFormChannelSetupTest, RefusedRolesOpenNothingAndChangeNothing) {
    TDataChannel output = NamedTag("Valve", 1, 6);
    Load({NamedTag("Pump"), output});
    const std::string before = FileText();
    Grid()->selectRow(1);
    ModalAnswers none;
    m_host.role = Role::Viewer;
    Child<QAction>(m_form, "SetValue1")->trigger();
    m_host.role = Role::Operator;
    for (const char* button : {"ButtonAdd", "ButtonClone", "ButtonEdit", "ButtonDelete"})
        Click(m_form, button);
    EXPECT_EQ(m_host.asked, (std::vector<Role>{Role::Operator, Role::Engineer, Role::Engineer,
                                               Role::Engineer, Role::Engineer}));
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(m_tags.Snapshot(1).Status, output.Status);
    EXPECT_EQ(m_host.calls, Calls{});
}

TEST_F(TFormChannelSetupTest, CloneOpensTheCopyAndCancelChangesNothing) {
    Load({NamedTag("Pump")});
    const std::string before = FileText();
    Grid()->selectRow(0);
    ModalAnswers answers;
    answers.Then<TFormEditPoint>([](TFormEditPoint& editor) {
        EXPECT_EQ(Text(editor, "EditName"), "Pump (copy)");
        EXPECT_EQ(Text(editor, "EditId"), "2");
        Click(editor, "ButtonCancel");
    });
    Click(m_form, "ButtonClone");
    EXPECT_EQ(m_tags.Size(), 1u);
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(m_host.calls, Calls{});
}

TEST_F(TFormChannelSetupTest, ClonedTagIsAppendedSavedAndReloaded) {
    TDataChannel pump = NamedTag("Pump", 3, 4);
    pump.PointCount = 2;
    pump.PointX[1] = 100;
    pump.PointY[1] = 10;
    Load({pump});
    Grid()->selectRow(0);
    ModalAnswers answers;
    answers.Then<TFormEditPoint>([](TFormEditPoint& editor) { Click(editor, "ButtonSave"); });
    Click(m_form, "ButtonClone");
    EXPECT_EQ(Stored("Channel.1", "Name"), "Pump (copy)");
    EXPECT_EQ(Stored("Channel.1", "Port"), "3");
    EXPECT_EQ(Stored("Points.1", "Point.1"), "100;10.0000");
    EXPECT_EQ(m_host.calls, (Calls{"StopCommunication", "ReloadTags"}));
    ASSERT_EQ(Model()->rowCount(), 2);
    EXPECT_EQ(Cell(1, 0), "2");
}

TEST_F(TFormChannelSetupTest, EditByDoubleClickSavesUnderTheTagsIndex) {
    Load({NamedTag("A"), NamedTag("B")});
    Grid()->selectRow(1);
    {
        ModalAnswers answers;
        answers.Then<TFormEditPoint>([](TFormEditPoint& editor) {
            EXPECT_EQ(Text(editor, "EditId"), "2");
            SetText(editor, "EditName", "Renamed");
            Click(editor, "ButtonCancel");
        });
        emit Grid()->doubleClicked(Model()->index(1, 3));
    }
    EXPECT_EQ(Stored("Channel.1", "Name"), "B");
    EXPECT_EQ(m_host.calls, Calls{});

    ModalAnswers answers;
    answers.Then<TFormEditPoint>([](TFormEditPoint& editor) {
        EXPECT_EQ(Text(editor, "EditName"), "B");
        SetText(editor, "EditName", "Renamed");
        Click(editor, "ButtonSave");
    });
    emit Grid()->doubleClicked(Model()->index(1, 3));
    EXPECT_EQ(Stored("Channel.1", "Name"), "Renamed");
    EXPECT_EQ(Stored("Channel.0", "Name"), "A");
    EXPECT_EQ(m_host.calls, (Calls{"StopCommunication", "ReloadTags"}));
    EXPECT_EQ(Cell(1, 1), "Renamed");
}

TEST_F(TFormChannelSetupTest, DeleteRefusedForATagUsedOnAScreen) {
    Load({NamedTag("A"), NamedTag("B")});
    m_host.usedOn[0] = "Main";
    Grid()->selectRow(0);
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    Click(m_form, "ButtonDelete");
    EXPECT_EQ(MessageBox::LastCaption(), "Tag already used");
    EXPECT_EQ(MessageBox::LastText(),
              "This tag cannot be deleted because it is already used on the screen 'Main'. Please "
              "remove the object associated with this tag from the screen.");
    EXPECT_EQ(m_tags.Size(), 2u);
    EXPECT_EQ(Stored("Channel.0", "Name"), "A");
    EXPECT_EQ(m_host.calls, Calls{"ScreenUsingTag 0"});
}

TEST_F(TFormChannelSetupTest, DeleteRenumbersTheSectionsAndTheScreens) {
    TDataChannel d = NamedTag("D");
    d.PointCount = 1;
    d.PointX[0] = 7;
    Load({NamedTag("A"), NamedTag("B"), NamedTag("C"), d});
    Grid()->selectRow(1);

    MessageBox::SetNextAnswer(QMessageBox::No);
    Click(m_form, "ButtonDelete");
    EXPECT_EQ(MessageBox::LastText(),
              "Do you want to delete this tag permanently? Click 'Yes' to continue.");
    EXPECT_EQ(m_tags.Size(), 4u);
    EXPECT_EQ(m_host.calls, Calls{});

    MessageBox::SetNextAnswer(QMessageBox::Yes);
    Click(m_form, "ButtonDelete");
    EXPECT_EQ(m_host.calls, (Calls{"ScreenUsingTag 1", "ShowProgress on", "RenumberScreenTags 1 4",
                                   "StopCommunication", "ShowProgress off", "ReloadTags"}));
    EXPECT_EQ(Stored("Channel.0", "Name"), "A");
    EXPECT_EQ(Stored("Channel.1", "Name"), "C");
    EXPECT_EQ(Stored("Channel.2", "Name"), "D");
    EXPECT_EQ(Stored("Points.2", "Point.0"), "7;0.0000");
    EXPECT_EQ(FileText().find("[Channel.3]"), std::string::npos);
    EXPECT_EQ(FileText().find("[Points.3]"), std::string::npos);
    ASSERT_EQ(Model()->rowCount(), 3);
    EXPECT_EQ(Cell(2, 1), "D");
}

TEST_F(TFormChannelSetupTest, ShowTrendAsksForTheSelectedTagsTrend) {
    Load({NamedTag("A"), NamedTag("B")});
    Child<QAction>(m_form, "ShowTrend1")->trigger(); // nothing selected
    Grid()->selectRow(1);
    Child<QAction>(m_form, "ShowTrend1")->trigger();
    EXPECT_EQ(m_host.calls, Calls{"ShowTrend 1"});
}

TEST_F(TFormChannelSetupTest, HeaderButtonOpensTheCommunicationMonitor) {
    Click(m_form, "ButtonCommMonitor");
    EXPECT_EQ(m_host.calls, Calls{"ShowCommunicationMonitor"});
}

// The refresh runs on the user-interface thread twice a second: with 10,000 tags it
// must stay far below that period.
TEST_F(TFormChannelSetupTest, RefreshOfTenThousandTagsStaysQuick) {
    constexpr size_t kTags = 10000;
    std::vector<TDataChannel> tags(kTags);
    for (size_t i = 0; i < kTags; ++i) {
        tags[i] = NamedTag("Tag " + std::to_string(i));
        tags[i].Unit = "V";
    }
    m_tags.Assign(std::move(tags));
    m_form.resize(1200, 800);
    m_form.show();
    QElapsedTimer timer;

    timer.start();
    m_form.Fill();
    const qint64 fillMs = timer.elapsed();

    m_tags.UpdateAll([](TDataChannel& tag, size_t i) {
        tag.RawValue = static_cast<double>(i);
        tag.RealValue = static_cast<double>(i) / 10;
        tag.ValueValid = true;
        tag.PollingNow = i % 2 == 0;
    });
    timer.restart();
    m_form.Refresh();
    const qint64 allChangedMs = timer.elapsed();

    timer.restart();
    m_form.Refresh();
    const qint64 unchangedMs = timer.elapsed();

    std::printf("10,000 tags: fill %lld ms, refresh with every value changed %lld ms, "
                "refresh without changes %lld ms\n",
                static_cast<long long>(fillMs), static_cast<long long>(allChangedMs),
                static_cast<long long>(unchangedMs));
    EXPECT_EQ(Cell(9999, 9), "999.9 V");
    EXPECT_LT(allChangedMs, 1000);
    EXPECT_LT(unchangedMs, 1000);
    m_form.hide();
}

} // namespace
} // namespace halvane
