#include "TFormEditPoint.h"

#include "TFormFunction.h"
#include "TagWindowSupport.h"
#include "WidgetInput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>

namespace halvane {
namespace {

using test::Child;
using test::Click;
using test::ModalAnswers;
using test::SetText;
using test::Text;
using test::Type;

class TFormEditPointTest : public test::ConfigFileTest {
protected:
    TFormEditPointTest() {
        m_config.WriteInteger("Serial.2", "comport", 5);
        m_config.WriteInteger("Serial.2", "protocolId", 1);
        m_config.WriteInteger("Serial.3", "protocolId", 9);
    }
    ~TFormEditPointTest() override { m_editor.hide(); }

    void Open(const TDataChannel& tag, int number = 1) {
        m_editor.Tag() = tag;
        m_editor.SetTagNumber(number);
        m_editor.show();
    }
    // Saves and returns the working copy as the caller takes it over.
    TDataChannel Save() {
        Click(m_editor, "ButtonSave");
        EXPECT_EQ(m_editor.result(), QDialog::Accepted);
        EXPECT_FALSE(m_editor.isVisible());
        return m_editor.Tag();
    }
    template <class W> W* Get(const char* name) { return Child<W>(m_editor, name); }
    bool Checked(const char* name) { return Get<QAbstractButton>(name)->isChecked(); }
    bool Enabled(const char* name) { return Get<QWidget>(name)->isEnabled(); }

    TFormEditPoint m_editor{m_config};
};

TEST_F(TFormEditPointTest, ShowsTheTag) {
    TDataChannel tag;
    tag.Name = "Flow";
    tag.Unit = "m3/h";
    tag.HighThreshold = 12.5;
    tag.Linear = 1;
    tag.Filter = 1;
    tag.RegisterAddr = 100;
    Open(tag, 7);
    EXPECT_EQ(Text(m_editor, "EditId"), "7");
    EXPECT_FALSE(Enabled("EditId"));
    EXPECT_EQ(Text(m_editor, "EditName"), "Flow");
    EXPECT_EQ(Text(m_editor, "EditHighThreshold"), "12.5");
    EXPECT_EQ(Get<QLabel>("LabelHighUnit")->text(), "m3/h");
    EXPECT_EQ(Get<QLabel>("LabelRegHex")->text(), "0x0064");
    EXPECT_TRUE(Checked("RadioButtonLinearized"));
    EXPECT_TRUE(Checked("CheckBoxFilter"));
    EXPECT_FALSE(Get<QCheckBox>("CheckBoxSMSAlert")->isVisible());
    EXPECT_EQ(m_editor.windowTitle(), "Tag");
    auto* types = Get<QComboBox>("ComboBoxDataType");
    ASSERT_EQ(types->count(), 13);
    EXPECT_EQ(types->itemText(0), "Integer - Byte (1 B)");
    EXPECT_EQ(types->currentText(), "Integer - Word (2 B)");
}

TEST_F(TFormEditPointTest, FloatTypesAreAlwaysSigned) {
    TDataChannel tag;
    tag.DataType = 101;
    tag.Signed = false;
    Open(tag);
    EXPECT_TRUE(Checked("RadioButtonSigned"));
    EXPECT_FALSE(Enabled("RadioButtonSigned"));
    EXPECT_FALSE(Enabled("RadioButtonUnsigned"));

    Get<QComboBox>("ComboBoxDataType")->setCurrentText("Integer - Word (2 B)");
    EXPECT_TRUE(Enabled("RadioButtonSigned"));
    EXPECT_TRUE(Enabled("RadioButtonUnsigned"));
    EXPECT_TRUE(Checked("RadioButtonSigned"));
    Get<QRadioButton>("RadioButtonUnsigned")->setChecked(true);
    const TDataChannel saved = Save();
    EXPECT_EQ(saved.DataType, 0);
    EXPECT_EQ(saved.ByteLength, 2);
    EXPECT_FALSE(saved.Signed);
}

// Byte order means nothing to the single bits of coils and discrete inputs.
TEST_F(TFormEditPointTest, ByteOrderOnlyForRegisterFunctions) {
    TDataChannel tag;
    tag.Function = 0;
    tag.SwapBytes = true;
    Open(tag);
    const char* const boxes[] = {"CheckBoxSwapBytes", "CheckBoxSwapDWords", "CheckBoxSwapWords",
                                 "CheckBoxReverseOrder"};
    EXPECT_FALSE(Enabled("CheckBoxSwapBytes")) << "on show";
    EXPECT_TRUE(Checked("CheckBoxSwapBytes"));
    const struct {
        int function;
        bool byteOrder;
    } cases[] = {{0, false}, {1, false}, {2, true}, {3, true}, {4, false}, {5, true}, {6, true}};
    for (const auto& c : cases) {
        Get<QComboBox>("ComboBoxFunction")->setCurrentIndex(c.function);
        for (const char* box : boxes)
            EXPECT_EQ(Enabled(box), c.byteOrder) << c.function << " " << box;
    }
    EXPECT_TRUE(Save().SwapBytes); // kept for a change back to registers
}

TEST_F(TFormEditPointTest, RegisterAddressShownInHexadecimal) {
    Open(TDataChannel{});
    SetText(m_editor, "EditRegisterAddr", "1000");
    EXPECT_EQ(Get<QLabel>("LabelRegHex")->text(), "0x03E8");
    SetText(m_editor, "EditRegisterAddr", "");
    EXPECT_EQ(Get<QLabel>("LabelRegHex")->text(), "0x03E8");
    SetText(m_editor, "EditRegisterAddr", "12x");
    EXPECT_EQ(Get<QLabel>("LabelRegHex")->text(), "0x03E8");
}

TEST_F(TFormEditPointTest, ConnectionDisplayFollowsThePort) {
    TDataChannel tag;
    tag.Port = 4;
    Open(tag);
    EXPECT_EQ(Text(m_editor, "EditComPort"), "Network adapter");
    EXPECT_EQ(Text(m_editor, "EditProtocol"), "Modbus TCP");
    EXPECT_FALSE(Enabled("EditComPort"));

    const struct {
        int port;
        const char* name;
        const char* protocol;
    } cases[] = {
        {0, "", ""},
        {1, "COM1", "Modbus ASCII"}, // no section: the defaults
        {2, "COM5", "Modbus RTU"},
        {3, "COM1", ""}, // protocol id without a name
        {4, "Network adapter", "Modbus TCP"},
    };
    for (const auto& c : cases) {
        Get<QComboBox>("ComboBoxCommunication")->setCurrentIndex(c.port);
        EXPECT_EQ(Text(m_editor, "EditComPort"), c.name) << c.port;
        EXPECT_EQ(Text(m_editor, "EditProtocol"), c.protocol) << c.port;
    }
    EXPECT_EQ(Save().Port, 4);
}

TEST_F(TFormEditPointTest, ThresholdsThatAreNotNumbersBecomeZero) {
    TDataChannel tag;
    tag.HighThreshold = 3;
    tag.LowThreshold = 1;
    Open(tag);
    EXPECT_FALSE(Enabled("EditHighThreshold"));
    SetText(m_editor, "EditHighThreshold", "");
    SetText(m_editor, "EditLowThreshold", "");
    TDataChannel saved = Save();
    EXPECT_EQ(saved.HighThreshold, 0);
    EXPECT_EQ(saved.LowThreshold, 0);

    tag.EnableAlert = true;
    Open(tag);
    EXPECT_TRUE(Enabled("EditHighThreshold"));
    Get<QCheckBox>("CheckBoxEnableAlert")->click();
    EXPECT_FALSE(Enabled("EditLowThreshold"));
    Get<QCheckBox>("CheckBoxEnableAlert")->click();
    SetText(m_editor, "EditHighThreshold", "10");
    SetText(m_editor, "EditLowThreshold", "abc");
    saved = Save();
    EXPECT_EQ(saved.HighThreshold, 0);
    EXPECT_EQ(saved.LowThreshold, 0);
    EXPECT_TRUE(saved.EnableAlert);
}

TEST_F(TFormEditPointTest, BadSlaveAddressIsReportedAndOnlyThePortTaken) {
    TDataChannel tag;
    tag.Name = "Kept";
    Open(tag);
    Get<QComboBox>("ComboBoxCommunication")->setCurrentIndex(2);
    SetText(m_editor, "EditSlaveAddress", "one");
    SetText(m_editor, "EditName", "Lost");
    const TDataChannel saved = Save();
    EXPECT_EQ(MessageBox::LastText(), "'one' is not a valid integer value");
    EXPECT_EQ(saved.Port, 2);
    EXPECT_EQ(saved.ModuleAddr, 1);
    EXPECT_EQ(saved.Name, "Kept");
}

// Hand-edited numbers longer than their fields are shown whole and saved unchanged.
TEST_F(TFormEditPointTest, AddressesLongerThanTheirFieldsAreKept) {
    TDataChannel tag;
    tag.ModuleAddr = 12345;
    tag.RegisterAddr = 1234567;
    Open(tag);
    EXPECT_EQ(Text(m_editor, "EditRegisterAddr"), "1234567");
    EXPECT_EQ(Get<QLabel>("LabelRegHex")->text(), "0x12D687");
    const TDataChannel saved = Save();
    EXPECT_EQ(saved.ModuleAddr, 12345);
    EXPECT_EQ(saved.RegisterAddr, 1234567);
}

TEST_F(TFormEditPointTest, FormatIsStoredAsTyped) {
    Open(TDataChannel{});
    Get<QComboBox>("ComboBoxFormat")->setEditText("%0.3f V");
    EXPECT_EQ(Save().Format, "%0.3f V");
}

TEST_F(TFormEditPointTest, ConfirmedFunctionSelectsUseFunction) {
    TDataChannel tag;
    tag.Name = "Scaled";
    tag.Linear = 0;
    Open(tag);
    EXPECT_TRUE(Checked("RadioButtonNoConversion"));
    {
        ModalAnswers answers;
        answers.Then<TFormFunction>([](TFormFunction& function) {
            function.Tag().PointCount = 1;
            function.Tag().PointX[0] = 50;
            Click(function, "ButtonCancel");
        });
        Click(m_editor, "ButtonDefineFunction");
    }
    EXPECT_TRUE(Checked("RadioButtonNoConversion"));

    ModalAnswers answers;
    answers.Then<TFormFunction>([](TFormFunction& function) {
        EXPECT_EQ(function.windowTitle(), "Function for tag: Scaled");
        function.Tag().PointCount = 1;
        function.Tag().PointX[0] = 50;
        Click(function, "ButtonSave");
    });
    Click(m_editor, "ButtonDefineFunction");
    EXPECT_TRUE(Checked("RadioButtonFunction"));
    const TDataChannel saved = Save();
    EXPECT_EQ(saved.Linear, 2);
    EXPECT_EQ(saved.PointCount, 1);
    EXPECT_EQ(saved.PointX[0], 50);
}

// The alarm fields typed and picked on their page go through the file and come back.
TEST_F(TFormEditPointTest, AlarmFieldsAreSavedAndShownAgain) {
    TDataChannel tag;
    tag.Unit = "°C";
    tag.EnableAlert = true;
    Open(tag);
    test::ClickTab(*Get<QTabWidget>("PageControl1"), "TabSheetAlarms");
    auto* priority = Get<QComboBox>("ComboBoxAlarmPriority");
    QStringList items;
    for (int i = 0; i < priority->count(); ++i)
        items << priority->itemText(i);
    EXPECT_EQ(items, QStringList({"1 - critical", "2 - high", "3 - medium", "4 - low"}));
    EXPECT_EQ(priority->currentText(), "3 - medium");
    EXPECT_EQ(Text(m_editor, "EditAlarmDeadband"), "0");
    EXPECT_EQ(Text(m_editor, "EditAlarmDelay"), "0");
    EXPECT_EQ(Get<QLabel>("LabelDeadbandUnit")->text(), "°C");

    QTest::keyClick(priority, Qt::Key_Up);
    QTest::keyClick(priority, Qt::Key_Up);
    Type(m_editor, "EditAlarmDeadband", "1.5");
    Type(m_editor, "EditAlarmDelay", "30");
    test::MouseClick(m_editor, "ButtonSave");
    EXPECT_FALSE(m_editor.isVisible());
    ASSERT_TRUE(m_editor.Tag().SaveToConfig(m_config, 0));
    EXPECT_EQ(Stored("Channel.0", "AlarmPriority"), "1");
    EXPECT_EQ(Stored("Channel.0", "AlarmDeadband"), "1.5");
    EXPECT_EQ(Stored("Channel.0", "AlarmDelay"), "30");

    TDataChannel reloaded;
    ASSERT_TRUE(reloaded.LoadFromConfig(ProfileStore(m_file), 0));
    Open(reloaded);
    EXPECT_EQ(priority->currentText(), "1 - critical");
    EXPECT_EQ(Text(m_editor, "EditAlarmDeadband"), "1.5");
    EXPECT_EQ(Text(m_editor, "EditAlarmDelay"), "30");

    // Back at the defaults the keys leave the file.
    QTest::keyClick(priority, Qt::Key_Down);
    QTest::keyClick(priority, Qt::Key_Down);
    Type(m_editor, "EditAlarmDeadband", "0");
    Type(m_editor, "EditAlarmDelay", "0");
    test::MouseClick(m_editor, "ButtonSave");
    ASSERT_TRUE(m_editor.Tag().SaveToConfig(m_config, 0));
    EXPECT_EQ(FileText().find("Alarm"), std::string::npos) << FileText();
}

// The notification check box is offered only while notifications are on; hidden, it still
// carries the tag's stored flag through a save.
TEST_F(TFormEditPointTest, TheNotificationCheckBoxFollowsTheNotifySwitch) {
    const struct {
        const char* section;
        bool shown;
    } cases[] = {{"", false}, {"[Notify]\nEnabled=0\n", false}, {"[Notify]\nEnabled=1\n", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        WriteText(m_file, c.section);
        for (const bool stored : {true, false}) {
            TDataChannel tag;
            tag.EnableAlert = true;
            tag.SMSAlert = stored;
            Open(tag);
            test::ClickTab(*Get<QTabWidget>("PageControl1"), "TabSheetAlarms");
            auto* box = Get<QCheckBox>("CheckBoxSMSAlert");
            EXPECT_EQ(box->isVisible(), c.shown);
            EXPECT_EQ(box->isChecked(), stored);
            if (c.shown) {
                EXPECT_EQ(box->text(), "Send a notification when the alarm is raised and when "
                                       "it ends");
                test::MouseClick(m_editor, "CheckBoxSMSAlert");
            }
            EXPECT_EQ(Save().SMSAlert, c.shown ? !stored : stored);
        }
    }
}

// Like the thresholds, the alarm fields take input only while alarms are enabled.
TEST_F(TFormEditPointTest, AlarmFieldsFollowTheAlarmCheckBox) {
    Open(TDataChannel{});
    test::ClickTab(*Get<QTabWidget>("PageControl1"), "TabSheetAlarms");
    const char* const fields[] = {"EditHighThreshold", "EditLowThreshold", "ComboBoxAlarmPriority",
                                  "EditAlarmDeadband", "EditAlarmDelay"};
    for (const bool enabled : {false, true, false}) {
        for (const char* field : fields)
            EXPECT_EQ(Enabled(field), enabled) << field;
        test::MouseClick(m_editor, "CheckBoxEnableAlert");
    }
}

// A deadband or delay that is not a number of 0 or more is named in a message; the dialog
// stays open with the input and the working copy keeps every field it had.
TEST_F(TFormEditPointTest, RefusedDeadbandOrDelayKeepsTheDialogOpen) {
    const struct {
        const char* deadband;
        const char* delay;
        const char* message;
    } cases[] = {
        {"-0.5", "5", "Deadband '-0.5' is not valid: enter a number of 0 or more"},
        {"1", "-2", "Delay '-2' is not valid: enter a number of 0 or more"},
        {"abc", "5", "Deadband 'abc' is not valid: enter a number of 0 or more"},
        {"1", "", "Delay '' is not valid: enter a number of 0 or more"},
    };
    TDataChannel tag;
    tag.Name = "Level";
    tag.EnableAlert = true;
    tag.AlarmDeadband = 2;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.deadband) + "|" + c.delay);
        Open(tag);
        test::ClickTab(*Get<QTabWidget>("PageControl1"), "TabSheetAlarms");
        Type(m_editor, "EditName", "Renamed");
        Type(m_editor, "EditAlarmDeadband", c.deadband);
        Type(m_editor, "EditAlarmDelay", c.delay);
        test::MouseClick(m_editor, "ButtonSave");
        EXPECT_TRUE(m_editor.isVisible());
        EXPECT_EQ(MessageBox::LastText().toStdString(), c.message);
        EXPECT_EQ(m_editor.Tag(), tag);
        EXPECT_EQ(Text(m_editor, "EditAlarmDelay"), c.delay);

        Type(m_editor, "EditAlarmDeadband", "0.25");
        Type(m_editor, "EditAlarmDelay", "4");
        const TDataChannel saved = Save();
        EXPECT_EQ(saved.Name, "Renamed");
        EXPECT_EQ(saved.AlarmDeadband, 0.25);
        EXPECT_EQ(saved.AlarmDelay, 4);
    }
}

// The limits typed on the output page reach the file; cleared, they leave it again.
TEST_F(TFormEditPointTest, WriteLimitsAreSavedAndShownAgain) {
    TDataChannel tag;
    tag.Function = 5;
    tag.Unit = "%";
    Open(tag);
    test::ClickTab(*Get<QTabWidget>("PageControl1"), "TabSheetOutput");
    EXPECT_EQ(Text(m_editor, "EditWriteMin"), "");
    EXPECT_EQ(Get<QLabel>("LabelWriteMaxUnit")->text(), "%");
    Type(m_editor, "EditWriteMin", "0");
    Type(m_editor, "EditWriteMax", "100");
    test::MouseClick(m_editor, "ButtonSave");
    EXPECT_FALSE(m_editor.isVisible());
    ASSERT_TRUE(m_editor.Tag().SaveToConfig(m_config, 0));
    EXPECT_EQ(Stored("Channel.0", "WriteMin"), "0");
    EXPECT_EQ(Stored("Channel.0", "WriteMax"), "100");

    TDataChannel reloaded;
    ASSERT_TRUE(reloaded.LoadFromConfig(ProfileStore(m_file), 0));
    Open(reloaded);
    EXPECT_EQ(Text(m_editor, "EditWriteMax"), "100");
    Type(m_editor, "EditWriteMin", "");
    Type(m_editor, "EditWriteMax", "");
    test::MouseClick(m_editor, "ButtonSave");
    ASSERT_TRUE(m_editor.Tag().SaveToConfig(m_config, 0));
    EXPECT_EQ(FileText().find("Write"), std::string::npos) << FileText();
}

TEST_F(TFormEditPointTest, MinimumAboveMaximumKeepsTheDialogOpen) {
    TDataChannel tag;
    tag.Function = 5;
    tag.WriteMax = 50;
    Open(tag);
    test::ClickTab(*Get<QTabWidget>("PageControl1"), "TabSheetOutput");
    Type(m_editor, "EditName", "Renamed");
    Type(m_editor, "EditWriteMin", "80");
    test::MouseClick(m_editor, "ButtonSave");
    EXPECT_TRUE(m_editor.isVisible());
    EXPECT_EQ(MessageBox::LastText().toStdString(),
              "The write minimum 80 is above the write maximum 50.");
    EXPECT_EQ(m_editor.Tag(), tag);
    EXPECT_EQ(Text(m_editor, "EditWriteMin"), "80");

    Type(m_editor, "EditWriteMin", "20");
    const TDataChannel saved = Save();
    EXPECT_EQ(saved.Name, "Renamed");
    EXPECT_EQ(std::pair(saved.WriteMin, saved.WriteMax),
              std::pair(std::optional<double>(20), std::optional<double>(50)));
}

} // namespace
} // namespace halvane
