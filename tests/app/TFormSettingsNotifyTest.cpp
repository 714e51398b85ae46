// The settings dialog's "Notifications" page through mouse and keys: what it shows and
// writes, what it refuses, and its test message against real receivers.
#include "TFormSettings.h"

#include "DataRoot.h"
#include "MessageBox.h"
#include "Notifier.h"
#include "NotifySupport.h"
#include "ProfileStore.h"
#include "TFormEditStyles.h"
#include "WidgetInput.h"
#include "WidgetTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

using namespace halvane;
using test::Child;
using test::Text;
using test::Type;
using testing::HasSubstr;
using testing::Not;

namespace {

constexpr std::string_view kStored = "[Notify]\nEnabled=1\nWebhookUrl=http://old.plant/hook\n";

class TFormSettingsNotifyTest : public ::testing::Test {
protected:
    TFormSettingsNotifyTest() { SetDataRoot(m_root.Path().string()); }
    ~TFormSettingsNotifyTest() override {
        if (m_form)
            m_form->hide();
    }

    // The dialog over a config.cfg that holds `content`, shown on the notifications page.
    TFormSettings& Open(std::string_view content) {
        m_form.reset();
        WriteText(ConfigFile(), std::string(content));
        m_config = std::make_unique<ProfileStore>(ConfigFile());
        m_styleEditor = std::make_unique<TFormEditStyles>(*m_config);
        m_form = std::make_unique<TFormSettings>(*m_config, *m_styleEditor);
        m_form->show();
        ShowPage();
        return *m_form;
    }
    void ShowPage() {
        test::ClickTab(*Child<QTabWidget>(*m_form, "PageControlSettings"), "TabSheetNotify");
    }
    std::filesystem::path ConfigFile() const { return m_root / "cfg/config.cfg"; }
    bool Checked(const char* name) const { return Child<QCheckBox>(*m_form, name)->isChecked(); }
    QString Chosen(const char* combo) const {
        return Child<QComboBox>(*m_form, combo)->currentText();
    }
    // Picks `item` of a combo box with the keyboard.
    void Choose(const char* combo, const QString& item) {
        auto* box = Child<QComboBox>(*m_form, combo);
        box->setFocus();
        const int steps = box->findText(item) - box->currentIndex();
        for (int i = 0; i < std::abs(steps); ++i)
            QTest::keyClick(box, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_EQ(box->currentText(), item);
    }
    void TypeMaxPerHour(const QString& text) {
        auto* spin = Child<QSpinBox>(*m_form, "SpinBoxNotifyMaxPerHour");
        QTest::mouseClick(spin, Qt::LeftButton);
        QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(spin, text);
    }
    // Mail through a receiver on `port` without TLS.
    void TypeMailServer(int port) {
        Type(*m_form, "EditNotifySmtpUrl", QString("smtp://127.0.0.1:%1").arg(port));
        Choose("ComboBoxNotifyStartTls", "off");
        Type(*m_form, "EditNotifyFrom", "station@plant.example");
        Type(*m_form, "EditNotifyTo", "night@plant.example");
    }
    bool Save() {
        test::MouseClick(*m_form, "ButtonSave");
        return !m_form->isVisible() && m_form->result() == QDialog::Accepted;
    }
    QPushButton* TestButton() const { return Child<QPushButton>(*m_form, "ButtonNotifyTest"); }
    // Clicks "Send test message" and waits for its answer: the box's caption and text.
    std::pair<QString, QString> SendTest() {
        test::MouseClick(*m_form, "ButtonNotifyTest");
        EXPECT_TRUE(test::WaitUntil([&] { return TestButton()->isEnabled(); }, 30000));
        return {MessageBox::LastCaption(), MessageBox::LastText()};
    }

    TempDir m_root;
    std::unique_ptr<ProfileStore> m_config;
    std::unique_ptr<TFormEditStyles> m_styleEditor;
    std::unique_ptr<TFormSettings> m_form;
};

// A listening socket that never answers: a mail client waits for its greeting in vain.
class SilentServer final {
public:
    SilentServer() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = peers::Loopback(0);
        socklen_t length = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(m_fd, 4);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(m_fd); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

} // namespace

TEST_F(TFormSettingsNotifyTest, ShowsTheDefaultsAndAnUnchangedPageWritesNoSection) {
    const std::string original = "[General]\nLog.Interval=15\n";
    TFormSettings& form = Open(original);
    EXPECT_FALSE(Checked("CheckBoxEnableNotify"));
    for (const char* edit :
         {"EditNotifySmtpUrl", "EditNotifySmtpUser", "EditNotifySmtpPassword", "EditNotifyFrom",
          "EditNotifyTo", "EditNotifyWebhookUrl", "EditNotifyWebhookHeader"})
        EXPECT_EQ(Text(form, edit), "") << edit;
    EXPECT_EQ(Chosen("ComboBoxNotifyStartTls"), "required");
    EXPECT_EQ(Chosen("ComboBoxNotifyMinPriority"), "2");
    EXPECT_EQ(Child<QSpinBox>(form, "SpinBoxNotifyMaxPerHour")->value(), 60);
    Type(form, "EditNotifySmtpPassword", "secret");
    EXPECT_EQ(Child<QLineEdit>(form, "EditNotifySmtpPassword")->echoMode(), QLineEdit::Password);
    EXPECT_NE(Child<QLineEdit>(form, "EditNotifySmtpPassword")->displayText(), "secret");
    Type(form, "EditNotifySmtpPassword", "");

    ASSERT_TRUE(Save());
    EXPECT_EQ(ReadText(ConfigFile()).find("[Notify]"), std::string::npos) << ReadText(ConfigFile());
}

TEST_F(TFormSettingsNotifyTest, TypedValuesAreSavedAndShownAgain) {
    TFormSettings& form = Open("");
    test::MouseClick(form, "CheckBoxEnableNotify");
    Type(form, "EditNotifySmtpUrl", "smtps://mail.plant.example:465");
    Choose("ComboBoxNotifyStartTls", "optional");
    Type(form, "EditNotifySmtpUser", "station");
    Type(form, "EditNotifySmtpPassword", "Secr3t");
    Type(form, "EditNotifyFrom", "station@plant.example");
    Type(form, "EditNotifyTo", "night@plant.example, chief@plant.example");
    Type(form, "EditNotifyWebhookUrl", "https://hooks.plant.example/alarm");
    Type(form, "EditNotifyWebhookHeader", "Authorization: Bearer t0ken");
    Choose("ComboBoxNotifyMinPriority", "3");
    TypeMaxPerHour("12");
    ASSERT_TRUE(Save());

    NotifyOptions expected;
    expected.enabled = true;
    expected.smtpUrl = "smtps://mail.plant.example:465";
    expected.smtpStartTls = StartTls::Optional;
    expected.smtpUser = "station";
    expected.smtpPassword = "Secr3t";
    expected.from = "station@plant.example";
    expected.to = "night@plant.example, chief@plant.example";
    expected.webhookUrl = "https://hooks.plant.example/alarm";
    expected.webhookHeader = "Authorization: Bearer t0ken";
    expected.minPriority = 3;
    expected.maxPerHour = 12;
    EXPECT_EQ(LoadNotifyOptions(ProfileStore(ConfigFile())), expected);

    form.show();
    ShowPage();
    EXPECT_TRUE(Checked("CheckBoxEnableNotify"));
    EXPECT_EQ(Text(form, "EditNotifySmtpUrl"), "smtps://mail.plant.example:465");
    EXPECT_EQ(Chosen("ComboBoxNotifyStartTls"), "optional");
    EXPECT_EQ(Text(form, "EditNotifySmtpPassword"), "Secr3t");
    EXPECT_EQ(Text(form, "EditNotifyWebhookHeader"), "Authorization: Bearer t0ken");
    EXPECT_EQ(Chosen("ComboBoxNotifyMinPriority"), "3");
    EXPECT_EQ(Child<QSpinBox>(form, "SpinBoxNotifyMaxPerHour")->value(), 12);
}

// A refused value keeps every stored notification key and the dialog open with the input;
// the other pages are written as ever.
TEST_F(TFormSettingsNotifyTest, RefusedValuesSayWhyAndKeepTheDialogOpen) {
    const struct {
        const char* edit;
        const char* key;
        const char* typed;
        std::string message;
        const char* stored; // the key's value in the file afterwards
    } cases[] = {
        {"EditNotifyWebhookUrl", "WebhookUrl", "file:///etc/passwd",
         "The webhook must be an address starting with http:// or https://.",
         "http://old.plant/hook"},
        {"EditNotifySmtpUrl", "SmtpUrl", "ftp://mail.plant.example",
         "The mail server must be an address starting with smtp:// or smtps://.", "(absent)"},
        {"EditNotifySmtpUrl", "SmtpUrl", "smtp://mail.plant.example",
         "The sender \"\" is not a mail address.", "(absent)"},
        {"EditNotifyWebhookHeader", "WebhookHeader", "Bearer t0ken",
         "The webhook header must read \"Name: value\".", "(absent)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        TFormSettings& form = Open(kStored);
        Type(form, c.edit, c.typed);
        test::MouseClick(form, "CheckBoxEnableNotify");
        test::ClickTab(*Child<QTabWidget>(form, "PageControlSettings"), "TabSheetOthers");
        test::MouseClick(form, "CheckBoxCRC");
        EXPECT_FALSE(Save());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(MessageBox::LastCaption(), "Invalid notification settings");
        EXPECT_EQ(MessageBox::LastText().toStdString(), c.message);
        EXPECT_EQ(Text(form, c.edit), c.typed);
        const ProfileStore file(ConfigFile());
        EXPECT_EQ(file.ReadString("Notify", "Enabled", ""), "1");
        EXPECT_EQ(file.ReadString("Notify", "WebhookUrl", ""), "http://old.plant/hook");
        EXPECT_EQ(file.ReadString("Notify", c.key, "(absent)"), c.stored);
        EXPECT_EQ(file.ReadString("General", "IgnoreCRC", ""), "1");
    }
}

TEST_F(TFormSettingsNotifyTest, TheTestButtonSendsTheTypedValuesAndShowsTheServersAnswer) {
    auto mail = notify_test::MailServer({"--login", "station", "Secr3t-Passw0rd", "--plain-login"});
    ASSERT_TRUE(mail->Start());
    TFormSettings& form = Open("");
    TypeMailServer(mail->Port());
    Type(form, "EditNotifySmtpUser", "station");
    Type(form, "EditNotifySmtpPassword", "Secr3t-Passw0rd");
    EXPECT_EQ(SendTest(), std::make_pair(QString("Test message"), QString("Test message sent.")));
    ASSERT_TRUE(mail->WaitForMessages(1));
    EXPECT_THAT(mail->Messages()[0],
                HasSubstr("Subject: [Halvane " + NotifyStationName() + "] Test message\r\n"));
    EXPECT_THAT(mail->Messages()[0], HasSubstr("RCPT TO:night@plant.example\n"));
    EXPECT_FALSE(ProfileStore(ConfigFile()).SectionExists("Notify")); // sent, not saved

    Type(form, "EditNotifySmtpPassword", "wrong-Secr3t-Passw0rd");
    const auto [caption, text] = SendTest();
    EXPECT_EQ(caption, "Test message not sent");
    EXPECT_THAT(text.toStdString(), HasSubstr("535")); // the server's own refusal
    EXPECT_THAT(text.toStdString(), Not(HasSubstr("Secr3t")));
    EXPECT_EQ(mail->Messages().size(), 1);
}

// A server that never answers holds up neither the window nor its events: the button waits,
// greyed with a wait cursor, and the time-out comes back as the answer.
TEST_F(TFormSettingsNotifyTest, TheWindowStaysResponsiveWhileTheTestMessageWaits) {
    const SilentServer silent;
    TFormSettings& form = Open("");
    TypeMailServer(silent.Port());
    QElapsedTimer clicked;
    clicked.start();
    test::MouseClick(form, "ButtonNotifyTest");
    EXPECT_LT(clicked.elapsed(), 2000);
    EXPECT_FALSE(TestButton()->isEnabled());
    EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
    Type(form, "EditNotifyTo", "typed@plant.example"); // the window still takes keys
    EXPECT_EQ(Text(form, "EditNotifyTo"), "typed@plant.example");

    ASSERT_TRUE(test::WaitUntil([&] { return TestButton()->isEnabled(); }, 30000));
    EXPECT_GE(clicked.elapsed(), 5000);
    EXPECT_EQ(MessageBox::LastCaption(), "Test message not sent");
    EXPECT_THAT(MessageBox::LastText().toStdString(), HasSubstr("Mail: "));
    EXPECT_NE(form.cursor().shape(), Qt::WaitCursor);
}
