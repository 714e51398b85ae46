// The settings dialog through its widgets: what it shows, what "&Save" writes and refuses,
// the style actions through the style editor, its folders, and the menu item that opens it.
#include "TFormSettings.h"

#include "MessageBox.h"
#include "ProfileStore.h"
#include "StationSupport.h"
#include "TFormEditScreenObject.h"
#include "TFormEditStyles.h"
#include "WidgetInput.h"
#include "WidgetTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace halvane;
using test::Child;
using test::Click;
using test::ModalAnswers;
using test::SetText;
using test::Text;
using test::Type;

namespace {

const QString kTimesMessage =
    "Interval or Retention times are invalid. Please enter valid numbers.";
const QString kPortMessage = "Invalid Web server Port. Please enter valid numbers.";
const QString kCommDelayMessage =
    "Invalid Communication alarm delay. Please enter a whole number of seconds, 0 or more.";

// Takes the URLs that the dialog hands to the desktop instead of opening them.
class FolderRecorder final : public QObject {
    Q_OBJECT
public:
    FolderRecorder() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~FolderRecorder() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

// A file that not even root may write, for the life of this object: its mode for a user,
// the immutable flag for root. Nothing when the file system cannot do it.
class ReadOnlyFile final {
public:
    explicit ReadOnlyFile(std::filesystem::path file) : m_file(std::move(file)) {
        m_done = ::geteuid() == 0 ? SetImmutable(true) : ::chmod(m_file.c_str(), 0444) == 0;
    }
    ~ReadOnlyFile() { Release(); }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool Done() const { return m_done; }
    void Release() {
        if (!std::exchange(m_done, false))
            return;
        if (::geteuid() == 0)
            SetImmutable(false);
        else
            ::chmod(m_file.c_str(), 0644);
    }

private:
    bool SetImmutable(bool on) const {
        const int fd = ::open(m_file.c_str(), O_RDONLY);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0)
            ::close(fd);
        return done;
    }

    std::filesystem::path m_file;
    bool m_done = false;
};

class TFormSettingsTest : public ::testing::Test {
protected:
    TFormSettingsTest() {
        SetDataRoot(m_root.Path().string());
        SetDecimalSeparator('.');
    }
    ~TFormSettingsTest() override {
        if (m_form)
            m_form->hide();
    }

    // The dialog over a config.cfg that holds `content`, shown.
    TFormSettings& Open(const std::string& content) {
        m_form.reset();
        WriteText(ConfigFile(), content);
        m_config = std::make_unique<ProfileStore>(ConfigFile());
        m_styleEditor = std::make_unique<TFormEditStyles>(*m_config);
        m_form = std::make_unique<TFormSettings>(*m_config, *m_styleEditor);
        m_form->show();
        return *m_form;
    }
    void Reopen() {
        m_form->hide();
        m_form->show();
    }
    std::filesystem::path ConfigFile() const { return m_root / "cfg/config.cfg"; }
    bool Checked(const char* name) const { return Child<QCheckBox>(*m_form, name)->isChecked(); }
    QComboBox* Separator() const { return Child<QComboBox>(*m_form, "ComboBoxSeparator"); }
    QString Styles() const { return Child<QPlainTextEdit>(*m_form, "MemoStyles")->toPlainText(); }
    QTabWidget* Pages() const { return Child<QTabWidget>(*m_form, "PageControlSettings"); }
    void ShowPage(const char* name) { Pages()->setCurrentWidget(Child(*m_form, name)); }
    // Saves; true when the dialog closed with OK.
    bool Save() {
        Click(*m_form, "ButtonSave");
        return !m_form->isVisible() && m_form->result() == QDialog::Accepted;
    }

    TempDir m_root;
    std::unique_ptr<ProfileStore> m_config;
    std::unique_ptr<TFormEditStyles> m_styleEditor;
    std::unique_ptr<TFormSettings> m_form;
};

} // namespace

TEST_F(TFormSettingsTest, OpensOnTheHistoryPageWithTheDefaults) {
    TFormSettings& form = Open("");
    EXPECT_EQ(form.windowTitle(), "Settings");
    QStringList pages;
    for (int i = 0; i < Pages()->count(); ++i)
        pages << Pages()->tabText(i);
    EXPECT_EQ(pages, QStringList({"Styles", "History", "Web server", "Others", "MQTT", "Alarms",
                                  "Notifications"}));
    EXPECT_EQ(Pages()->currentWidget()->objectName(), "TabSheetHistory");

    EXPECT_FALSE(Checked("CheckBoxEnableHistory"));
    EXPECT_EQ(Text(form, "EditInterval"), "60");
    EXPECT_EQ(Text(form, "EditRetention"), "30"); // the logger's own default is 7
    EXPECT_EQ(Separator()->currentText(), ",");
    EXPECT_EQ(Separator()->itemText(0), ",");
    EXPECT_EQ(Separator()->itemText(1), ";");
    EXPECT_FALSE(Checked("CheckBoxEnableWebServer"));
    EXPECT_EQ(Text(form, "EditWebPort"), "8088");
    EXPECT_EQ(Text(form, "EditWebUsername"), "");
    EXPECT_EQ(Text(form, "EditWebPassword"), "");
    EXPECT_FALSE(Checked("CheckBoxCRC"));
    EXPECT_EQ(Styles(), "No styles");

    SetText(form, "EditWebPassword", "abc");
    EXPECT_EQ(Child<QLineEdit>(form, "EditWebPassword")->displayText(), "***");
}

// The history writes the separator as one byte: one printable ASCII character, or none.
TEST_F(TFormSettingsTest, TheSeparatorTakesOneTypedCharacter) {
    Open("");
    const struct {
        QString typed;
        QString taken;
    } cases[] = {{"|", "|"}, {";,", ";"}, {"\t", ""}, {"§", ""}, {" ", " "}};
    for (const auto& c : cases) {
        Separator()->clearEditText();
        QTest::keyClicks(Separator()->lineEdit(), c.typed);
        EXPECT_EQ(Separator()->currentText(), c.taken) << c.typed.toStdString();
    }
}

TEST_F(TFormSettingsTest, EveryShowReadsTheStoredValues) {
    TFormSettings& form =
        Open("[General]\nLog.Enabled=1\nLog.Interval=15\nLog.Retention=90\nLog.Separator=;x\n"
             "IgnoreCRC=1\n[WebServer]\nEnabled=1\nPort=http\nUsername=J\xF6rg\nPassword=pw\n"
             "[Style.0]\nName=Big\n[Style.1]\nM.Bold=1\n");
    EXPECT_TRUE(Checked("CheckBoxEnableHistory"));
    EXPECT_EQ(Text(form, "EditInterval"), "15");
    EXPECT_EQ(Text(form, "EditRetention"), "90");
    EXPECT_EQ(Separator()->currentText(), ";");
    EXPECT_TRUE(Checked("CheckBoxEnableWebServer"));
    EXPECT_EQ(Text(form, "EditWebPort"), "http"); // the stored text, number or not
    EXPECT_EQ(Text(form, "EditWebUsername"), "Jörg");
    EXPECT_EQ(Text(form, "EditWebPassword"), "pw");
    EXPECT_TRUE(Checked("CheckBoxCRC"));
    EXPECT_EQ(Styles(), "Big\nStyle 2");

    // Typed but not saved: the next show has the stored values again, and the page last
    // shown stays in front.
    SetText(form, "EditInterval", "999");
    m_config->WriteString("General", "Log.Retention", "7");
    ShowPage("TabSheetOthers");
    Reopen();
    EXPECT_EQ(Text(form, "EditInterval"), "15");
    EXPECT_EQ(Text(form, "EditRetention"), "7");
    EXPECT_EQ(Pages()->currentWidget()->objectName(), "TabSheetOthers");

    // Restored from minimised, the dialog is not shown anew: the typing stays.
    SetText(form, "EditInterval", "999");
    SetText(form, "EditMqttHost", "broker.plant");
    test::MinimiseAndRestore(form);
    EXPECT_EQ(Text(form, "EditInterval"), "999");
    EXPECT_EQ(Text(form, "EditMqttHost"), "broker.plant");
}

// The history follows its switch and interval at the next tick: only the pages whose
// settings wait for a start ask for a restart.
TEST_F(TFormSettingsTest, TheHistoryPageSaysWhenItsSettingsTakeEffect) {
    Open("");
    const auto texts = [this](const char* page) {
        QStringList shown;
        for (const QLabel* label : Child(*m_form, page)->findChildren<QLabel*>())
            shown << label->text();
        return shown;
    };
    const QString restart = "Program must be restarted in order for the changes to take effect.";
    EXPECT_FALSE(texts("TabSheetHistory").contains(restart));
    EXPECT_TRUE(texts("TabSheetHistory")
                    .contains("History starts, stops and follows a new interval at once after "
                              "saving; a new list separator applies from the next sample on (the "
                              "header of the day's file at the next start). Retention time takes "
                              "effect at the next start."));
    EXPECT_TRUE(texts("TabSheetWebServer").contains(restart));
}

// Each control reaches its own key; keys that were absent follow the order of the saving
// steps, and the values no control shows are written back as they were read.
TEST_F(TFormSettingsTest, SaveWritesEveryControlAndClosesWithOk) {
    TFormSettings& form = Open("[General]\nNavigator.Type=1\nFloatingScreens=1\n");
    Child<QCheckBox>(form, "CheckBoxEnableHistory")->click();
    SetText(form, "EditInterval", "15");
    SetText(form, "EditRetention", "90");
    Separator()->setCurrentIndex(1);
    Child<QCheckBox>(form, "CheckBoxEnableWebServer")->click();
    SetText(form, "EditWebPort", "8080");
    SetText(form, "EditWebUsername", "admin");
    SetText(form, "EditWebPassword", "secret");
    Child<QCheckBox>(form, "CheckBoxCRC")->click();
    ASSERT_TRUE(Save());
    EXPECT_EQ(ReadText(ConfigFile()), "[General]\nNavigator.Type=1\nFloatingScreens=1\n"
                                      "Log.Enabled=1\nLog.Separator=;\nNavigator.Show=0\n"
                                      "IgnoreCRC=1\nLog.Interval=15\nLog.Retention=90\n\n"
                                      "[WebServer]\nEnabled=1\nPort=8080\nUsername=admin\n"
                                      "Password=secret\n");

    // An emptied separator is stored empty.
    form.show();
    Separator()->clearEditText();
    ASSERT_TRUE(Save());
    EXPECT_EQ(m_config->ReadString("General", "Log.Separator", "(absent)"), "");
}

// The "MQTT" page: defaults shown, a page left alone writes nothing, typed values are
// written, and a refused number keeps its stored value and the dialog open.
TEST_F(TFormSettingsTest, TheMqttPage) {
    TFormSettings& form = Open("[WebServer]\nPort=9000\n");
    const QString id = QString::fromStdString(DefaultMqttClientId());
    EXPECT_FALSE(Checked("CheckBoxEnableMqtt"));
    EXPECT_EQ(Text(form, "EditMqttHost"), "localhost");
    EXPECT_EQ(Text(form, "EditMqttPort"), "1883");
    EXPECT_EQ(Text(form, "EditMqttClientId"), id);
    EXPECT_EQ(Text(form, "EditMqttTopicPrefix"), "halvane/" + id);
    EXPECT_EQ(Child<QComboBox>(form, "ComboBoxMqttQoS")->currentIndex(), 1);
    EXPECT_EQ(Text(form, "EditMqttRepublish"), "60");
    EXPECT_FALSE(Checked("CheckBoxMqttAllowWrites"));
    EXPECT_FALSE(Checked("CheckBoxMqttTls"));
    ASSERT_TRUE(Save());
    EXPECT_FALSE(m_config->SectionExists("MQTT"));

    const struct {
        const char* port;
        const char* republish;
        QString message; // the last box shown
        const char* storedPort;
    } cases[] = {
        {"0", "30", "Invalid MQTT broker Port. Please enter valid numbers.", ""},
        {"1884", "never", "Invalid MQTT Republish interval. Please enter valid numbers.", "1884"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        Open("");
        Child<QCheckBox>(*m_form, "CheckBoxEnableMqtt")->click();
        SetText(*m_form, "EditMqttHost", "broker.plant");
        SetText(*m_form, "EditMqttPort", c.port);
        SetText(*m_form, "EditMqttRepublish", c.republish);
        EXPECT_FALSE(Save());
        EXPECT_EQ(MessageBox::LastCaption(), "Invalid numbers");
        EXPECT_EQ(MessageBox::LastText(), c.message);
        EXPECT_EQ(m_config->ReadString("MQTT", "Host", ""), "broker.plant");
        EXPECT_EQ(m_config->ReadString("MQTT", "Port", ""), c.storedPort);
    }
    Open("");
    Child<QCheckBox>(*m_form, "CheckBoxEnableMqtt")->click();
    SetText(*m_form, "EditMqttHost", "10.1.1.1");
    SetText(*m_form, "EditMqttUsername", "station");
    SetText(*m_form, "EditMqttPassword", "pw");
    SetText(*m_form, "EditMqttTopicPrefix", "site/one");
    Child<QComboBox>(*m_form, "ComboBoxMqttQoS")->setCurrentIndex(0);
    SetText(*m_form, "EditMqttRepublish", "15");
    Child<QCheckBox>(*m_form, "CheckBoxMqttAllowWrites")->click();
    ASSERT_TRUE(Save());
    const MqttOptions options = LoadMqttOptions(*m_config);
    EXPECT_TRUE(options.enabled && options.allowWrites);
    EXPECT_EQ(options.host, "10.1.1.1");
    EXPECT_EQ(options.username, "station");
    EXPECT_EQ(options.password, "pw");
    EXPECT_EQ(options.topicPrefix, "site/one");
    EXPECT_EQ(options.qos, 0);
    EXPECT_EQ(options.republishSeconds, 15);
}

// The page compares with what is stored, not with what it showed: a port written by a save
// that refused the prefix is written back when both are put back.
TEST_F(TFormSettingsTest, TheMqttPageWritesBackAValueThatARefusedSaveStored) {
    TFormSettings& form = Open("");
    const QString prefix = Text(form, "EditMqttTopicPrefix");
    SetText(form, "EditMqttPort", "1884");
    SetText(form, "EditMqttTopicPrefix", "site/#");
    EXPECT_FALSE(Save());
    EXPECT_EQ(MessageBox::LastCaption(), "Invalid topic prefix");
    EXPECT_EQ(m_config->ReadString("MQTT", "Port", ""), "1884");

    SetText(form, "EditMqttPort", "1883");
    SetText(form, "EditMqttTopicPrefix", prefix);
    EXPECT_TRUE(Save());
    EXPECT_EQ(LoadMqttOptions(*m_config).port, 1883);
    EXPECT_EQ(LoadMqttSettings(*m_config).topicPrefix, prefix.toStdString());
}

// A refused number shows its message and keeps its stored value; the dialog stays open
// with what was typed, and every other value is stored all the same.
TEST_F(TFormSettingsTest, RefusedNumbersShowTheirMessageAndKeepTheDialogOpen) {
    const struct {
        const char* interval;
        const char* retention;
        const char* port;
        const QString& message;
        const char* storedInterval;
        const char* storedRetention;
        const char* storedPort;
    } cases[] = {
        {"abc", "90", "8080", kTimesMessage, "10", "90", "8080"},
        {"15", "-3", "8080", kTimesMessage, "15", "5", "8080"}, // the interval before it stays
        {"15", "90", "http", kPortMessage, "15", "90", "9000"},
        {"15", "90", "70000", kPortMessage, "15", "90", "9000"},
        {"15", "90", "0", kPortMessage, "15", "90", "9000"},
        {"", "90", "", kPortMessage, "10", "90", "9000"}, // both boxes, the port's last
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.interval) + "|" + c.retention + "|" + c.port);
        TFormSettings& form = Open("[General]\nLog.Interval=10\nLog.Retention=5\n"
                                   "[WebServer]\nPort=9000\n");
        SetText(form, "EditInterval", c.interval);
        SetText(form, "EditRetention", c.retention);
        SetText(form, "EditWebPort", c.port);
        SetText(form, "EditWebUsername", "admin");
        Child<QCheckBox>(form, "CheckBoxCRC")->click();
        EXPECT_FALSE(Save());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(MessageBox::LastCaption(), "Invalid numbers");
        EXPECT_EQ(MessageBox::LastText(), c.message);
        EXPECT_EQ(Text(form, "EditInterval"), c.interval);
        EXPECT_EQ(Text(form, "EditWebPort"), c.port);
        const ProfileStore file(ConfigFile());
        EXPECT_EQ(file.ReadString("General", "Log.Interval", ""), c.storedInterval);
        EXPECT_EQ(file.ReadString("General", "Log.Retention", ""), c.storedRetention);
        EXPECT_EQ(file.ReadString("WebServer", "Port", ""), c.storedPort);
        EXPECT_EQ(file.ReadString("General", "IgnoreCRC", ""), "1");
        EXPECT_EQ(file.ReadString("WebServer", "Username", ""), "admin");

        SetText(form, "EditInterval", "15");
        SetText(form, "EditRetention", "90");
        SetText(form, "EditWebPort", "8080");
        EXPECT_TRUE(Save());
    }
}

// Nothing is lost when config.cfg cannot be written: the file stays as it was, the dialog
// stays open with the input, and a later save writes it.
TEST_F(TFormSettingsTest, AFileThatCannotBeWrittenKeepsTheDialogOpen) {
    const std::string original = "[General]\nLog.Interval=10\n; the plant's notes\n";
    TFormSettings& form = Open(original);
    ReadOnlyFile readOnly(ConfigFile());
    if (!readOnly.Done())
        GTEST_SKIP() << "cannot make config.cfg read-only here";
    SetText(form, "EditInterval", "15");
    EXPECT_FALSE(Save());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(MessageBox::LastCaption(), "Configuration not saved");
    EXPECT_NE(MessageBox::LastText().indexOf("config.cfg"), -1)
        << MessageBox::LastText().toStdString();
    EXPECT_EQ(ReadText(ConfigFile()), original);
    EXPECT_EQ(Text(form, "EditInterval"), "15");

    readOnly.Release();
    EXPECT_TRUE(Save());
    EXPECT_EQ(ProfileStore(ConfigFile()).ReadString("General", "Log.Interval", ""), "15");
}

// Style actions write at once, and "&Cancel" takes nothing else.
TEST_F(TFormSettingsTest, CancelWritesNothingButAnAddedStyleStays) {
    TFormSettings& form = Open("");
    ShowPage("TabSheetStyles");
    SetText(form, "EditInterval", "15");
    Child<QCheckBox>(form, "CheckBoxEnableWebServer")->click();
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    MessageBox::SetNextInput("Tank");
    Click(form, "ButtonAddStyle");
    EXPECT_EQ(MessageBox::LastCaption(), "Style added");
    EXPECT_EQ(Styles(), "Tank"); // in place of "No styles"
    Click(form, "ButtonCancel");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(ReadText(ConfigFile()), "[Style.0]\nName=Tank\n");
}

TEST_F(TFormSettingsTest, TheStylesPageListsAddsAndEditsStyles) {
    TFormSettings& form = Open("[Style.0]\nName=Big\n");
    SetText(form, "EditInterval", "15");
    ShowPage("TabSheetStyles");
    EXPECT_EQ(Styles(), "Big");

    MessageBox::SetNextAnswer(QMessageBox::No);
    Click(form, "ButtonAddStyle");
    EXPECT_EQ(Styles(), "Big");
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    MessageBox::SetNextInput("Tank");
    Click(form, "ButtonAddStyle");
    EXPECT_EQ(Styles(), "Big\nTank");

    // The editor opens on the first style and lists them all; a new name shows when it closes.
    {
        ModalAnswers answers;
        answers.Then<TFormEditStyles>([](TFormEditStyles& editor) {
            EXPECT_TRUE(editor.isModal());
            const auto* styles = Child<QComboBox>(editor, "ComboBoxStyle");
            EXPECT_EQ(styles->count(), 2);
            EXPECT_EQ(styles->currentText(), "Big");
            MessageBox::SetNextInput("Large");
            Click(editor, "ButtonChangeName");
            Click(editor, "ButtonClose");
        });
        Click(form, "ButtonEditStyles");
    }
    EXPECT_EQ(Styles(), "Large\nTank");

    // Showing the page reads the styles again.
    m_config->WriteString("Style.2", "Name", "Pump");
    ShowPage("TabSheetHistory");
    ShowPage("TabSheetStyles");
    EXPECT_EQ(Styles(), "Large\nTank\nPump");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Text(form, "EditInterval"), "15"); // typed input outlives the style actions
}

TEST_F(TFormSettingsTest, FolderButtonsOpenTheHistoryAndTheWebRoot) {
    TFormSettings& form = Open("");
    FolderRecorder recorder;
    Click(form, "ButtonOpenHistoryFolder");
    Click(form, "ButtonOpenWebRoot");
    const auto folder = [&](const char* name) {
        return QUrl::fromLocalFile(QString::fromStdString((m_root / name).string()));
    };
    EXPECT_EQ(recorder.opened, QList<QUrl>({folder("history"), folder("http")}));
}

// The "Alarms" page and the journal folder: a project that never changed them is saved
// without the section; typed values are written in their fixed order beside the rest of the
// dialog, shown again, and erased when they are back at their defaults.
TEST_F(TFormSettingsTest, TheAlarmSettingsAreWrittenOnlyWhenTheyDifferFromTheDefaults) {
    const std::string original = "[General]\nLog.Interval=15\n";
    TFormSettings& form = Open(original);
    test::ClickTab(*Pages(), "TabSheetAlarms");
    EXPECT_EQ(Text(form, "EditAlarmCommDelay"), "10");
    EXPECT_TRUE(Checked("CheckBoxAlarmSound"));
    EXPECT_EQ(Text(form, "EditEventsFolder"), "");
    ASSERT_TRUE(Save());
    EXPECT_FALSE(m_config->SectionExists("Alarms"));
    EXPECT_EQ(ReadText(ConfigFile()).find("[Alarms]"), std::string::npos);

    form.show();
    test::ClickTab(*Pages(), "TabSheetAlarms");
    Type(form, "EditAlarmCommDelay", "0");
    test::MouseClick(form, "CheckBoxAlarmSound");
    test::ClickTab(*Pages(), "TabSheetHistory");
    Type(form, "EditEventsFolder", "journal");
    test::MouseClick(form, "ButtonSave");
    ASSERT_FALSE(form.isVisible());
    const std::string text = ReadText(ConfigFile());
    EXPECT_NE(text.find("\n[Alarms]\nCommDelay=0\nSound=0\nEventsFolder=journal\n"),
              std::string::npos)
        << text;

    Reopen();
    EXPECT_EQ(Text(form, "EditAlarmCommDelay"), "0");
    EXPECT_FALSE(Checked("CheckBoxAlarmSound"));
    EXPECT_EQ(Text(form, "EditEventsFolder"), "journal");
    test::ClickTab(*Pages(), "TabSheetAlarms");
    Type(form, "EditAlarmCommDelay", "10");
    test::MouseClick(form, "CheckBoxAlarmSound");
    test::ClickTab(*Pages(), "TabSheetHistory");
    Type(form, "EditEventsFolder", "");
    ASSERT_TRUE(Save());
    EXPECT_FALSE(m_config->SectionExists("Alarms")) << ReadText(ConfigFile());
}

// A delay that is not a whole number of 0 or more is named like the other refused numbers
// and keeps its stored value; the rest of the page is written all the same.
TEST_F(TFormSettingsTest, RefusedCommunicationAlarmDelayKeepsTheDialogOpen) {
    for (const char* typed : {"-1", "2.5", "soon", ""}) {
        SCOPED_TRACE(typed);
        TFormSettings& form = Open("[Alarms]\nCommDelay=5\n");
        test::ClickTab(*Pages(), "TabSheetAlarms");
        Type(form, "EditAlarmCommDelay", typed);
        test::MouseClick(form, "CheckBoxAlarmSound");
        EXPECT_FALSE(Save());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(MessageBox::LastCaption(), "Invalid numbers");
        EXPECT_EQ(MessageBox::LastText(), kCommDelayMessage);
        EXPECT_EQ(Text(form, "EditAlarmCommDelay"), typed);
        const ProfileStore file(ConfigFile());
        EXPECT_EQ(file.ReadString("Alarms", "CommDelay", ""), "5");
        EXPECT_EQ(file.ReadString("Alarms", "Sound", ""), "0");
        EXPECT_EQ(file.ReadString("General", "Log.Interval", ""), "60");
    }
}

TEST_F(TFormSettingsTest, TheJournalFolderButtonOpensTheFolderTyped) {
    TFormSettings& form = Open("[Alarms]\nEventsFolder=journal\n");
    FolderRecorder recorder;
    const auto url = [](const std::filesystem::path& folder) {
        return QUrl::fromLocalFile(QString::fromStdString(folder.string()));
    };
    test::MouseClick(form, "ButtonOpenEventsFolder");
    Type(form, "EditEventsFolder", "");
    test::MouseClick(form, "ButtonOpenEventsFolder");
    const TempDir elsewhere;
    Type(form, "EditEventsFolder", QString::fromStdString(elsewhere.Path().string()));
    test::MouseClick(form, "ButtonOpenEventsFolder");
    EXPECT_EQ(recorder.opened, QList<QUrl>({url(m_root / "journal"), url(m_root / "events"),
                                            url(elsewhere.Path())}));
}

TEST(TFormMainSettings, TheSettingsMenuOpensTheDialogModally) {
    TempDir root;
    WriteStation(root, "[General]\nLog.Interval=15\n", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);

    // The menu's items in their order; those whose windows are not built yet are absent.
    const QStringList order = {"Connections1", "EditScreens1", "Points1", "Advancedsettings1"};
    QStringList items;
    for (const QAction* action : form->menuBar()->actions().at(2)->menu()->actions())
        items << action->objectName();
    QStringList expected = order;
    expected.removeIf([&](const QString& item) { return !items.contains(item); });
    EXPECT_EQ(items, expected);
    auto* item = form->findChild<QAction*>("Advancedsettings1");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&Settings...");

    ModalAnswers answers;
    answers.Then<TFormSettings>([](TFormSettings& dialog) {
        EXPECT_TRUE(dialog.isModal());
        EXPECT_EQ(Text(dialog, "EditInterval"), "15");
        Click(dialog, "ButtonCancel");
    });
    item->trigger();
}

// The settings dialog and the object editor open the same style editor: the style that the
// object editor set last is the one the settings dialog opens it on.
TEST(TFormMainSettings, TheStyleEditorIsSharedWithTheObjectEditor) {
    TempDir root;
    WriteStation(root, "[Style.0]\nName=Big\n[Style.1]\nName=Small\n", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->findChildren<TFormEditStyles*>().size(), 1);

    auto* objectEditor = form->findChild<TFormEditScreenObject*>();
    ASSERT_NE(objectEditor, nullptr);
    TScreenMarker object;
    object.UseStyle = 1;
    objectEditor->EditObject(object);
    objectEditor->show();
    auto* settings = form->findChild<TFormSettings*>();
    ASSERT_NE(settings, nullptr);
    settings->show();
    ModalAnswers answers;
    for (const char* opener : {"object editor", "settings"})
        answers.Then<TFormEditStyles>([opener](TFormEditStyles& editor) {
            EXPECT_EQ(Child<QComboBox>(editor, "ComboBoxStyle")->currentText(), "Small") << opener;
            Click(editor, "ButtonClose");
        });
    Click(*objectEditor, "ButtonStyles");
    Click(*settings, "ButtonEditStyles");
    objectEditor->hide();
    settings->hide();
}

#include "TFormSettingsTest.moc"
