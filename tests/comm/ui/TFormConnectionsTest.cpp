// The Connections dialog through its widgets, with a station that records what it is asked.
#include "TFormConnections.h"

#include "ConnectionsHost.h"
#include "ConnectionsWindowSupport.h"
#include "DataRoot.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TempDir.h"
#include "WidgetTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>

namespace halvane {
namespace {

using test::BoxesShownBy;
using test::Child;
using test::Click;
using test::SetText;
using test::Text;

const std::string kBadNumberBox = "Cannot save changes: Cannot save changes. Please make sure all "
                                  "values are correct (e.g. timeouts, intervals).";

class RecordingHost final : public ConnectionsHost {
public:
    void ShutdownConnections() override { calls.push_back("ShutdownConnections"); }
    bool SetupConnections() override {
        calls.push_back("SetupConnections");
        return serialPortsOpen;
    }
    void ShowConnectionStatus() override { calls.push_back("ShowConnectionStatus"); }
    std::optional<bool> IsConnectionOpen(int connection) const override {
        return open[static_cast<size_t>(connection - 1)];
    }

    std::array<std::optional<bool>, 4> open{false, false, false, false};
    bool serialPortsOpen = true;
    std::vector<std::string> calls;
};

// While alive, this thread's file accesses are checked as a user who is not root, so
// that file modes apply to them.
class FileAccessAsNobody final {
public:
    FileAccessAsNobody() {
        const passwd* nobody = ::getpwnam("nobody");
        if (::geteuid() == 0 && nobody) {
            ::setfsgid(nobody->pw_gid);
            ::setfsuid(nobody->pw_uid);
        }
    }
    ~FileAccessAsNobody() {
        ::setfsuid(::geteuid());
        ::setfsgid(::getegid());
    }
    FileAccessAsNobody(const FileAccessAsNobody&) = delete;
    FileAccessAsNobody& operator=(const FileAccessAsNobody&) = delete;
};

class TFormConnectionsTest : public ::testing::Test {
protected:
    TFormConnectionsTest() {
        SetDecimalSeparator('.');
        SetDataRoot(m_root.Path().string());
        for (const char* variable : {"HALVANE_COM1", "HALVANE_COM5", "HALVANE_COM30"})
            ::unsetenv(variable);
        WriteText(m_file, "");
    }
    ~TFormConnectionsTest() override { m_form.hide(); }

    void Project(const std::string& content) { WriteText(m_file, content); }
    // Shows the dialog again, as each opening does: the settings are loaded anew.
    void Open() {
        m_form.hide();
        m_form.show();
    }
    template <class W = QWidget> W* Get(const QString& name) {
        return Child<W>(m_form, name.toLatin1().constData());
    }
    QComboBox* List(const char* name, int connection) {
        return Get<QComboBox>(name + QString::number(connection));
    }
    // What serial panel `port` shows, list by list.
    QStringList SerialPanel(int port) {
        QStringList shown;
        for (const char* list :
             {"ComboBoxPort", "ComboBoxBaudRate", "ComboBoxProtocol", "ComboBoxDataBits",
              "ComboBoxParity", "ComboBoxStopBits", "ComboBoxTimeout", "ComboBoxInterval"})
            shown << List(list, port)->currentText();
        return shown;
    }
    QStringList NetworkPanel() {
        return {Text(m_form, "EditHost"), Text(m_form, "EditEthPort"),
                List("ComboBoxTimeout", 4)->currentText(),
                List("ComboBoxInterval", 4)->currentText()};
    }
    bool Checked(int connection) {
        return Get<QCheckBox>(QStringLiteral("CheckBox%1").arg(connection))->isChecked();
    }
    bool Reconnects(int connection) {
        return Get<QCheckBox>(QStringLiteral("CheckBoxReconnect%1").arg(connection))->isChecked();
    }
    QString Status(int connection) {
        return Get<QLabel>(QStringLiteral("LabelStatus%1").arg(connection))->text();
    }
    std::string Stored(const std::string& section, const std::string& key) const {
        return ProfileStore(m_file).ReadString(section, key, "<absent>");
    }
    std::vector<std::string> Save() {
        return BoxesShownBy([this] { Click(m_form, "ButtonSave"); });
    }

    TempDir m_root;
    std::filesystem::path m_file = m_root / "cfg/config.cfg";
    ProfileStore m_store{m_file};
    RecordingHost m_host;
    TFormConnections m_form{m_store, m_host};
};

TEST_F(TFormConnectionsTest, AnEmptyProjectShowsTheDefaults) {
    Open();
    EXPECT_EQ(m_form.windowTitle(), "Connections");
    for (int port = 1; port <= 3; ++port) {
        EXPECT_EQ(SerialPanel(port), (QStringList{"COM1 (/dev/ttyS0)", "9600 bps", "Modbus ASCII",
                                                  "8", "None", "1", "300", "2000"}))
            << port;
        EXPECT_FALSE(Checked(port));
        EXPECT_FALSE(Reconnects(port));
        EXPECT_FALSE(Get(QStringLiteral("Panel%1").arg(port))->isEnabled());
    }
    EXPECT_EQ(NetworkPanel(), (QStringList{"localhost", "502", "300", "2000"}));
    EXPECT_FALSE(Checked(4));
    EXPECT_EQ(Text(m_form, "EditEthProtocol"), "Modbus TCP");
    EXPECT_FALSE(Get("EditEthProtocol")->isEnabled());

    const struct {
        const char* list;
        int count;
        const char* first;
        const char* last;
    } lists[] = {
        {"ComboBoxPort1", 30, "COM1 (/dev/ttyS0)", "COM30 (/dev/ttyS29)"},
        {"ComboBoxBaudRate2", 15, "110 bps", "256000 bps"},
        {"ComboBoxProtocol3", 3, "Modbus ASCII", "AT Hayes (GSM Modem)"},
        {"ComboBoxDataBits1", 4, "5", "8"},
        {"ComboBoxParity1", 5, "None", "Space"},
        {"ComboBoxStopBits1", 3, "1", "2"},
        {"ComboBoxTimeout1", 19, "10", "5000"},
        {"ComboBoxInterval2", 9, "200", "10000"},
        {"ComboBoxTimeout4", 19, "10", "5000"},
        {"ComboBoxInterval4", 15, "10", "10000"},
        {"ComboBoxWriteMode2", 2, "every poll (cyclic)", "only when a value is set"},
        {"ComboBoxWriteMode4", 2, "every poll (cyclic)", "only when a value is set"},
    };
    for (const auto& l : lists) {
        auto* list = Get<QComboBox>(l.list);
        ASSERT_EQ(list->count(), l.count) << l.list;
        EXPECT_EQ(list->itemText(0), l.first) << l.list;
        EXPECT_EQ(list->itemText(l.count - 1), l.last) << l.list;
    }
    EXPECT_EQ(Get<QComboBox>("ComboBoxStopBits2")->itemText(1), "1.5");
    EXPECT_TRUE(Get<QComboBox>("ComboBoxTimeout3")->isEditable());
    EXPECT_FALSE(Get<QComboBox>("ComboBoxBaudRate3")->isEditable());
}

TEST_F(TFormConnectionsTest, EachShowLoadsWhatIsStoredNowWithTheDevicesOfThePorts) {
    std::filesystem::create_directories(m_root / "dev");
    std::filesystem::create_symlink("/dev/ttyUSB0", m_root / "dev/COM5");
    Project("[Serial.2]\nenabled=1\ncomport=5\nbaudrateId=12\nprotocolId=1\ndatabitsId=2\n"
            "parityId=2\nstopbitsId=2\ntimeout=150\ninterval=abc\n"
            "[Ethernet.1]\nenabled=1\nhost=plc.local\nport=1502\ntimeout=1000\ninterval=50\n");
    Open();
    EXPECT_EQ(SerialPanel(2), (QStringList{"COM5 (/dev/ttyUSB0)", "115200 bps", "Modbus RTU", "7",
                                           "Even", "2", "150", "abc"}));
    EXPECT_TRUE(Checked(2));
    EXPECT_TRUE(Get("Panel2")->isEnabled());
    EXPECT_FALSE(Get("Panel1")->isEnabled());
    EXPECT_TRUE(Checked(4));
    EXPECT_EQ(NetworkPanel(), (QStringList{"plc.local", "1502", "1000", "50"}));

    // Changed by another program, and the device of COM5 changed too.
    ::setenv("HALVANE_COM5", "/dev/ttyACM1", 1);
    Project("[Serial.2]\ncomport=5\n[Serial.3]\ncomport=31\n");
    EXPECT_EQ(BoxesShownBy([this] { Open(); }), std::vector<std::string>{});
    ::unsetenv("HALVANE_COM5");
    EXPECT_EQ(SerialPanel(2)[0], "COM5 (/dev/ttyACM1)");
    EXPECT_FALSE(Checked(2));
    EXPECT_FALSE(Get("Panel2")->isEnabled());
    EXPECT_EQ(NetworkPanel(), (QStringList{"localhost", "502", "300", "2000"}));
    // A port beyond the list keeps its number: saving does not turn it into another one.
    EXPECT_EQ(SerialPanel(3)[0], "COM31 (/dev/ttyS30)");
    EXPECT_EQ(Save(), std::vector<std::string>{});
    EXPECT_EQ(Stored("Serial.3", "comport"), "31");
    Open();
    EXPECT_EQ(List("ComboBoxPort", 3)->count(), 31);
}

// The number lists take what is typed as typed: no suggestion completes it (a typed 15
// would become 150), and a restore from minimised is no show that loads the file again.
TEST_F(TFormConnectionsTest, TypedTimesAreSavedAsTyped) {
    Open();
    Click(m_form, "CheckBox1");
    m_form.activateWindow(); // completion works in the field that has the focus
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_form));
    const struct {
        const char* list;
        const char* typed;
        const char* section;
        const char* key;
    } cases[] = {
        {"ComboBoxTimeout1", "15", "Serial.1", "timeout"},
        {"ComboBoxInterval1", "100", "Serial.1", "interval"},
        {"ComboBoxTimeout4", "5", "Ethernet.1", "timeout"},
        {"ComboBoxInterval4", "100", "Ethernet.1", "interval"},
    };
    for (const auto& c : cases) {
        auto* list = Get<QComboBox>(c.list);
        list->setFocus();
        list->clearEditText();
        QTest::keyClicks(list->lineEdit(), c.typed);
        EXPECT_EQ(list->currentText().toStdString(), c.typed) << c.list;
    }
    test::MinimiseAndRestore(m_form);
    EXPECT_TRUE(Checked(1));
    EXPECT_EQ(Save(), std::vector<std::string>{});
    for (const auto& c : cases)
        EXPECT_EQ(Stored(c.section, c.key), c.typed) << c.list;
}

TEST_F(TFormConnectionsTest, StatusLabelsShowWhetherEachConnectionIsOpen) {
    m_host.open = {true, false, false, true};
    Open();
    EXPECT_EQ((QStringList{Status(1), Status(2), Status(3), Status(4)}),
              (QStringList{"Connected", "Disconnected", "Disconnected", "Connected"}));
    auto* label = Get<QLabel>("LabelStatus4");
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->toolTip(), "Current connection status");

    m_host.open[2] = std::nullopt; // one state that cannot be told: none is shown
    Open();
    EXPECT_EQ((QStringList{Status(1), Status(2), Status(3), Status(4)}),
              (QStringList{"Unknown", "Unknown", "Unknown", "Unknown"}));
}

TEST_F(TFormConnectionsTest, AProjectFileThatCannotBeReadIsSaidAndTheDefaultsShown) {
    std::filesystem::remove(m_file);
    std::filesystem::create_directory(m_file);
    const auto boxes = BoxesShownBy([this] { Open(); });
    EXPECT_EQ(boxes, std::vector<std::string>{
                         "Cannot save changes: Unknown error while reading connection settings "
                         "from configuration file. Close the program and try again."});
    EXPECT_EQ(SerialPanel(1)[0], "COM1 (/dev/ttyS0)");
    EXPECT_EQ(NetworkPanel(), (QStringList{"localhost", "502", "300", "2000"}));
}

TEST_F(TFormConnectionsTest, EnabledBoxesGreyOnlyTheirOwnSerialPanel) {
    Open();
    Click(m_form, "CheckBox2");
    EXPECT_TRUE(Get("Panel2")->isEnabled());
    EXPECT_FALSE(Get("Panel1")->isEnabled());
    EXPECT_FALSE(Get("Panel3")->isEnabled());
    Click(m_form, "CheckBox2");
    EXPECT_FALSE(Get("Panel2")->isEnabled());
    // The network connection's settings stay editable either way.
    for (int click = 0; click < 2; ++click) {
        Click(m_form, "CheckBox4");
        for (const char* field : {"EditHost", "EditEthPort", "ComboBoxTimeout4",
                                  "ComboBoxInterval4", "ButtonDefaultsEth"})
            EXPECT_TRUE(Get(field)->isEnabled()) << field;
    }
}

TEST_F(TFormConnectionsTest, EachDefaultsButtonResetsTheLineAndTimesOfItsOwnConnection) {
    const std::string serial = "enabled=1\ncomport=4\nbaudrateId=12\nprotocolId=1\ndatabitsId=0\n"
                               "parityId=3\nstopbitsId=2\ntimeout=40\ninterval=500\n";
    Project("[Serial.1]\n" + serial + "[Serial.2]\n" + serial + "[Serial.3]\n" + serial +
            "[Ethernet.1]\nenabled=1\nhost=plc\nport=1502\ntimeout=50\ninterval=20\n");
    Open();
    const QStringList changed{
        "COM4 (/dev/ttyS3)", "115200 bps", "Modbus RTU", "5", "Mark", "2", "40", "500"};
    const QStringList reset{
        "COM4 (/dev/ttyS3)", "115200 bps", "Modbus RTU", "8", "None", "1", "300", "2000"};
    const char* buttons[] = {"ButtonDefaults1", "ButtonDefault2", "ButtonDefault3"};
    for (int port = 1; port <= 3; ++port) {
        Click(m_form, buttons[port - 1]);
        for (int other = 1; other <= 3; ++other) {
            EXPECT_EQ(SerialPanel(other), other <= port ? reset : changed)
                << buttons[port - 1] << ", panel " << other;
            EXPECT_EQ(Reconnects(other), other <= port) << buttons[port - 1] << ", panel " << other;
        }
        EXPECT_EQ(NetworkPanel(), (QStringList{"plc", "1502", "50", "20"}));
        EXPECT_FALSE(Reconnects(4));
    }
    EXPECT_TRUE(Checked(1));

    Click(m_form, "ButtonDefaultsEth");
    EXPECT_EQ(NetworkPanel(), (QStringList{"plc", "502", "300", "2000"}));
    EXPECT_TRUE(Checked(4));
    EXPECT_TRUE(Reconnects(4));
}

TEST_F(TFormConnectionsTest, ChoosingThePortOfAnotherEnabledConnectionIsWarnedAbout) {
    Project("[Serial.1]\ncomport=2\n[Serial.2]\nenabled=1\ncomport=2\n"
            "[Serial.3]\ncomport=3\n");
    // What is stored is not the user's choice: loading it warns of nothing.
    EXPECT_EQ(BoxesShownBy([this] { Open(); }), std::vector<std::string>{});

    QComboBox* port1 = List("ComboBoxPort", 1);
    const auto choose = [&](int comport) {
        return BoxesShownBy([&] { port1->setCurrentIndex(comport - 1); });
    };
    const std::vector<std::string> warning{
        "Cannot specify the same port: This port has been already specified. You cannot use "
        "the same port in more than one connections."};
    EXPECT_EQ(choose(3), std::vector<std::string>{}); // serial port 3 is disabled
    EXPECT_EQ(choose(2), warning); // serial port 1 itself is disabled: still a warning
    EXPECT_EQ(port1->currentText(), "COM2 (/dev/ttyS1)");
    Click(m_form, "CheckBox3");
    EXPECT_EQ(choose(3), warning);
}

TEST_F(TFormConnectionsTest, ABadNumberStopsTheSaveThereAndKeepsTheDialogOpen) {
    Project("[Ethernet.1]\nport=1502\n");
    Open();
    List("ComboBoxTimeout", 2)->setEditText("abc");
    EXPECT_EQ(Save(), std::vector<std::string>{kBadNumberBox});
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_EQ(m_host.calls, std::vector<std::string>{}); // nothing restarted
    EXPECT_EQ(Stored("Serial.1", "enabled"), "0");       // the whole of Serial.1
    EXPECT_EQ(Stored("Serial.2", "stopbitsId"), "0");    // and Serial.2 up to the bad key
    EXPECT_EQ(Stored("Serial.2", "timeout"), "<absent>");
    EXPECT_EQ(Stored("Ethernet.1", "enabled"), "<absent>");
    EXPECT_EQ(List("ComboBoxTimeout", 2)->currentText(), "abc");

    // A port no socket can have is refused the same way, after the host is written.
    List("ComboBoxTimeout", 2)->setEditText("400");
    Click(m_form, "CheckBox4");
    SetText(m_form, "EditHost", "plc.local");
    SetText(m_form, "EditEthPort", "70000");
    EXPECT_EQ(Save(), std::vector<std::string>{kBadNumberBox});
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_EQ(Stored("Serial.2", "timeout"), "400");
    EXPECT_EQ(Stored("Ethernet.1", "host"), "plc.local");
    EXPECT_EQ(Stored("Ethernet.1", "port"), "1502");

    Click(m_form, "ButtonCancel");
    EXPECT_FALSE(m_form.isVisible());
    EXPECT_EQ(m_host.calls, std::vector<std::string>{"ShowConnectionStatus"});
}

TEST_F(TFormConnectionsTest, AReadOnlyProjectFileIsSaidAndLeftAsItWas) {
    const std::string original = "[Serial.1]\nenabled=1\ncomport=2\n";
    Project(original);
    for (const auto& folder : {m_root.Path(), m_root / "cfg"})
        ::chmod(folder.c_str(), 0755);
    ::chmod(m_file.c_str(), 0444);
    Open();
    Click(m_form, "CheckBox4");
    std::vector<std::string> boxes;
    {
        const FileAccessAsNobody nobody;
        boxes = Save();
    }
    EXPECT_EQ(boxes, std::vector<std::string>{
                         "Cannot save changes: Unknown error while saving changes. Please make "
                         "sure your disk folder is not in read-only mode."});
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_EQ(m_host.calls, std::vector<std::string>{});
    EXPECT_EQ(ReadText(m_file), original);
    EXPECT_TRUE(Checked(4));
}

TEST_F(TFormConnectionsTest, SaveWritesRestartsCommunicationAndCloses) {
    Open();
    Click(m_form, "CheckBox1");
    List("ComboBoxPort", 1)->setCurrentIndex(6);
    List("ComboBoxProtocol", 1)->setCurrentIndex(1);
    List("ComboBoxInterval", 1)->setEditText("500");
    Click(m_form, "CheckBox4");
    SetText(m_form, "EditHost", "plc.local");
    SetText(m_form, "EditEthPort", "1502");
    Click(m_form, "CheckBoxReconnect4");
    List("ComboBoxWriteMode", 4)->setCurrentIndex(1);
    Click(m_form, "CheckBoxCombine1");
    EXPECT_EQ(Get<QCheckBox>("CheckBoxCombine4")->text(), "Combine requests");
    EXPECT_EQ(Save(), std::vector<std::string>{});
    EXPECT_FALSE(m_form.isVisible());
    EXPECT_EQ(m_form.result(), QDialog::Accepted);
    EXPECT_EQ(m_host.calls, (std::vector<std::string>{"ShutdownConnections", "SetupConnections",
                                                      "ShowConnectionStatus"}));
    const ConnectionsDialogValues stored = LoadConnectionsDialogValues(ProfileStore(m_file));
    EXPECT_EQ(stored.serial[0], (SerialPanelValues{true, 7, 6, 1, 3, 0, 0, "300", "500", false,
                                                   WriteMode::Cyclic, true}));
    EXPECT_EQ(stored.network, (NetworkPanelValues{true, "plc.local", "1502", "300", "2000", true,
                                                  WriteMode::WhenSet}));
    EXPECT_EQ(Stored("Ethernet.1", "writeMode"), "1");
    Open();
    EXPECT_EQ(List("ComboBoxWriteMode", 4)->currentText(), "only when a value is set");
    EXPECT_EQ(List("ComboBoxWriteMode", 1)->currentText(), "every poll (cyclic)");

    // A serial port that the start could not open: the summary, then the dialog closes.
    m_host.calls.clear();
    m_host.serialPortsOpen = false;
    Open();
    EXPECT_EQ(Save(), std::vector<std::string>{
                          "Cannot setup or open serial ports: Cannot properly configure or open "
                          "one or more of the enabled serial ports. Your communication may not "
                          "work properly. "});
    EXPECT_FALSE(m_form.isVisible());
    EXPECT_EQ(m_host.calls.back(), "ShowConnectionStatus");
}

} // namespace
} // namespace halvane
