#include "Notifier.h"

#include "CurlDelivery.h"
#include "NotifySupport.h"
#include "TagTable.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

using namespace halvane;
using namespace notify_test;
using testing::HasSubstr;
using testing::Not;

namespace {

// Records the journal lines of the notifier itself.
class JournalRecorder final : public AlarmSubscriber {
public:
    void JournalLineAdded(const JournalEvent& event) override {
        if (!event.event.starts_with("notify-"))
            return;
        const std::lock_guard lock(m_mutex);
        m_lines.push_back(event);
    }
    std::vector<JournalEvent> Lines() const {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }
    size_t Count(std::string_view event) const {
        const auto lines = Lines();
        return static_cast<size_t>(
            std::ranges::count_if(lines, [&](const JournalEvent& l) { return l.event == event; }));
    }

private:
    mutable std::mutex m_mutex;
    std::vector<JournalEvent> m_lines;
};

// A clock the test moves on by hand.
struct TestClock {
    std::atomic<int64_t> ms{1'797'000'000'000};
    AlarmTime Now() const { return AlarmTime(std::chrono::milliseconds(ms.load())); }
    void Advance(std::chrono::milliseconds by) { ms += by.count(); }
};

TDataChannel Tag(std::string name, bool smsAlert, int priority) {
    TDataChannel tag;
    tag.Name = std::move(name);
    tag.Unit = "%";
    tag.Format = "%.1f";
    tag.EnableAlert = true;
    tag.HighThreshold = 90;
    tag.LowThreshold = 10;
    tag.SMSAlert = smsAlert;
    tag.AlarmPriority = priority;
    tag.RealValue = 50;
    tag.ValueValid = true;
    return tag;
}

QJsonObject Json(const std::string& request) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(Body(request))).object();
}

// The alarm service over three tags: 1 notifies, 2 has no SMSAlert, 3 is of priority 3.
class NotifierTest : public testing::Test {
protected:
    NotifierTest() {
        tags.Assign({Tag("Tank level", true, 1), Tag("Pump", false, 1), Tag("Mixer", true, 3)});
        AlarmOptions alarmOptions;
        alarmOptions.commDelaySeconds = 0;
        alarms = std::make_unique<AlarmService>(tags, alarmOptions);
        alarms->Subscribe(&journal);
    }
    ~NotifierTest() override {
        notifier.reset();
        alarms->Unsubscribe(&journal);
    }

    void SetValue(size_t index, double value) {
        tags.Update(index, [&](TDataChannel& tag) { tag.RealValue = value; });
        alarms->Flush();
    }
    // A raised line of tag 1 as the alarm service journals it.
    void RaiseTank(const std::string& text) {
        JournalEvent line = EventNow("raised", "");
        line.tag = 1;
        line.name = "Tank level";
        line.priority = 1;
        line.value = 95;
        line.limit = 90;
        line.text = text;
        alarms->Record(line, false);
    }
    void StartNotifier(const NotifyOptions& options, NotifyTiming timing = Quick()) {
        notifier =
            std::make_unique<Notifier>(*alarms, tags, options, "STATION", spool.Path(), timing);
        ASSERT_EQ(notifier->Start(), std::nullopt);
    }
    static NotifyTiming Quick() {
        NotifyTiming timing;
        timing.retryDelays = {std::chrono::milliseconds(100), std::chrono::milliseconds(200)};
        timing.longestSleep = std::chrono::milliseconds(50);
        return timing;
    }
    static NotifyOptions Webhook(int port) {
        NotifyOptions options;
        options.enabled = true;
        options.webhookUrl = "http://127.0.0.1:" + std::to_string(port) + "/alarm";
        return options;
    }
    static NotifyOptions Mail(int port) {
        NotifyOptions options;
        options.enabled = true;
        options.smtpUrl = "smtp://127.0.0.1:" + std::to_string(port);
        options.smtpStartTls = StartTls::Off;
        options.from = "station@example.com";
        options.to = "night@example.com";
        return options;
    }
    std::vector<std::filesystem::path> SpoolFiles() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(spool.Path()))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        return files;
    }

    TempDir spool;
    TagTable tags;
    JournalRecorder journal;
    std::unique_ptr<AlarmService> alarms;
    std::unique_ptr<Notifier> notifier;
};

TEST_F(NotifierTest, RaisedAndEndedAlarmsArriveOnceEachByMailAndWebhook) {
    auto mail = MailServer();
    auto web = WebReceiver();
    ASSERT_TRUE(mail->Start());
    ASSERT_TRUE(web->Start());
    NotifyOptions options = Mail(mail->Port());
    options.webhookUrl = Webhook(web->Port()).webhookUrl;
    StartNotifier(options);
    alarms->Start();
    alarms->Flush();
    for (size_t index : {0, 1, 2})
        SetValue(index, 95.2); // only tag 1 notifies: 2 has no SMSAlert, 3 a lower priority
    SetValue(0, 50);

    ASSERT_TRUE(mail->WaitForMessages(2));
    ASSERT_TRUE(web->WaitForMessages(2));
    std::this_thread::sleep_for(300ms);
    const auto mails = mail->Messages();
    const auto posts = web->Messages();
    ASSERT_EQ(mails.size(), 2u);
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_THAT(mails[0], HasSubstr("RCPT TO:night@example.com\n"));
    EXPECT_THAT(
        mails[0],
        HasSubstr("\r\nSubject: [Halvane STATION] P1 raised: Tank level high 95.2 % > 90 %\r\n"));
    EXPECT_THAT(
        mails[1],
        HasSubstr("\r\nSubject: [Halvane STATION] P1 returned: Tank level high 95.2 % > 90 %\r\n"));
    EXPECT_THAT(mails[0], HasSubstr("Station: STATION\r\n"));
    EXPECT_THAT(mails[0], HasSubstr("Value: 95.2\r\n"));
    EXPECT_THAT(posts[0], HasSubstr("Content-Type: application/json"));
    EXPECT_EQ(Json(posts[0])["event"].toString(), "raised");
    EXPECT_EQ(Json(posts[0])["name"].toString(), "Tank level");
    EXPECT_EQ(Json(posts[0])["station"].toString(), "STATION");
    EXPECT_EQ(Json(posts[1])["event"].toString(), "returned");
    EXPECT_EQ(Json(posts[1])["state"].toString(), "returned");
    EXPECT_TRUE(WaitUntil([&] { return journal.Count("notify-sent") == 4; }));
    EXPECT_TRUE(WaitUntil([&] { return SpoolFiles().empty(); }));
    alarms->Stop();
}

TEST_F(NotifierTest, AnAlarmAcknowledgedWhileActiveTellsItsEndOnceAsCleared) {
    auto web = WebReceiver();
    ASSERT_TRUE(web->Start());
    StartNotifier(Webhook(web->Port()));
    alarms->Start();
    alarms->Flush();
    SetValue(0, 95.2);
    alarms->AcknowledgeAll(AlarmActor{});
    SetValue(0, 50);
    ASSERT_TRUE(web->WaitForMessages(2));
    std::this_thread::sleep_for(300ms);
    const auto posts = web->Messages();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(Json(posts[1])["event"].toString(), "cleared");
    alarms->Stop();
}

TEST_F(NotifierTest, AReceiverThatIsDownGetsEverythingInOrderEvenAfterARestart) {
    auto web = WebReceiver();
    StartNotifier(Webhook(web->Port()));
    for (const char* text : {"High: 91 % > 90 %", "High: 92 % > 90 %", "High: 93 % > 90 %"})
        RaiseTank(text);
    ASSERT_TRUE(WaitUntil([&] { return journal.Count("notify-failed") >= 2; }));
    EXPECT_THAT(journal.Lines()[0].text, HasSubstr("Couldn't connect"));
    EXPECT_EQ(SpoolFiles().size(), 3u);

    notifier.reset(); // the station stops while nothing could be delivered
    ASSERT_TRUE(web->Start());
    StartNotifier(Webhook(web->Port()));
    ASSERT_TRUE(web->WaitForMessages(3));
    const auto posts = web->Messages();
    ASSERT_EQ(posts.size(), 3u);
    for (size_t i = 0; i < posts.size(); ++i)
        EXPECT_EQ(Json(posts[i])["text"].toString().toStdString(),
                  "High: 9" + std::to_string(i + 1) + " % > 90 %");
    EXPECT_TRUE(WaitUntil([&] { return SpoolFiles().empty(); }));
}

TEST_F(NotifierTest, ARefusingReceiverIsRetriedWithItsOwnWordsJournaledUntilTheMessageIsTooOld) {
    auto web = WebReceiver({"503"});
    ASSERT_TRUE(web->Start());
    TestClock clock;
    NotifyTiming timing = Quick();
    timing.clock = [&] { return clock.Now(); };
    timing.retryDelays = {std::chrono::minutes(1)};
    StartNotifier(Webhook(web->Port()), timing);
    RaiseTank("High: 95 % > 90 %");
    ASSERT_TRUE(web->WaitForMessages(1));
    ASSERT_TRUE(WaitUntil([&] { return journal.Count("notify-failed") == 1; }));
    EXPECT_THAT(journal.Lines()[0].text, HasSubstr("HTTP 503: refused by test"));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(web->Messages().size(), 1u); // its next try waits for the minute

    clock.Advance(std::chrono::minutes(1));
    ASSERT_TRUE(web->WaitForMessages(2));
    clock.Advance(std::chrono::hours(24));
    ASSERT_TRUE(web->WaitForMessages(3));
    ASSERT_TRUE(WaitUntil([&] { return SpoolFiles().empty(); }));
    EXPECT_THAT(journal.Lines().back().text, HasSubstr("dropped"));
}

TEST_F(NotifierTest, BeyondTheHourlyCapOneSummaryTellsHowManyWereHeldBack) {
    auto web = WebReceiver();
    ASSERT_TRUE(web->Start());
    TestClock clock;
    NotifyTiming timing = Quick();
    timing.clock = [&] { return clock.Now(); };
    NotifyOptions options = Webhook(web->Port());
    options.maxPerHour = 2;
    StartNotifier(options, timing);
    for (int i = 0; i < 5; ++i)
        RaiseTank("High: 9" + std::to_string(i) + " % > 90 %");
    ASSERT_TRUE(web->WaitForMessages(2));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(web->Messages().size(), 2u);

    clock.Advance(std::chrono::minutes(61));
    ASSERT_TRUE(web->WaitForMessages(3));
    const QJsonObject summary = Json(web->Messages()[2]);
    EXPECT_EQ(summary["event"].toString(), "summary");
    EXPECT_EQ(summary["text"].toString(), "3 more alarms in the last hour");
}

TEST_F(NotifierTest, LineBreaksInANameReachNoHeaderAndTheWebhookHeaderGoesAsOneLine) {
    auto mail = MailServer();
    auto web = WebReceiver();
    ASSERT_TRUE(mail->Start());
    ASSERT_TRUE(web->Start());
    NotifyOptions options = Mail(mail->Port());
    options.webhookUrl = Webhook(web->Port()).webhookUrl;
    options.webhookHeader = "X-Token: abc123";
    StartNotifier(options);
    JournalEvent line = EventNow("raised", "");
    line.tag = 1;
    line.priority = 1;
    line.name = "Tank\r\nBcc: evil@example.com\r\n\r\nforged body";
    line.text = "High: 95 %\r\nX-Injected: 1 > 90 %";
    alarms->Record(line, false);
    ASSERT_TRUE(mail->WaitForMessages(1));
    ASSERT_TRUE(web->WaitForMessages(1));
    const std::string received = mail->Messages()[0];
    EXPECT_THAT(received, HasSubstr("RCPT TO:night@example.com\n"));
    EXPECT_THAT(received, Not(HasSubstr("\nBcc:")));
    EXPECT_THAT(received, Not(HasSubstr("\nX-Injected")));
    EXPECT_THAT(web->Messages()[0], HasSubstr("X-Token: abc123\n"));
    EXPECT_THAT(web->Messages()[0], Not(HasSubstr("\nX-Injected")));
}

// A certificate for 127.0.0.1, made for the test.
std::pair<std::string, std::string> MakeCertificate(const TempDir& dir) {
    const std::string cert = (dir / "cert.pem").string();
    const std::string key = (dir / "key.pem").string();
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
        "-addext subjectAltName=IP:127.0.0.1 -keyout " +
        key + " -out " + cert + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return {cert, key};
}

TEST_F(NotifierTest, TheTestMessageGoesOverStartTlsWithALoginAndFailuresKeepThePasswordHidden) {
    TempDir certs;
    const auto [cert, key] = MakeCertificate(certs);
    const std::string password = "Secr3t-Passw0rd";
    auto mail = MailServer({"--starttls", cert, key, "--login", "station", password});
    ASSERT_TRUE(mail->Start());
    NotifyOptions options = Mail(mail->Port());
    options.smtpStartTls = StartTls::Required;
    options.caFile = cert;
    options.smtpUser = "station";
    options.smtpPassword = password;
    EXPECT_EQ(SendTestMessage(options, "STATION"), std::nullopt);
    ASSERT_TRUE(mail->WaitForMessages(1));
    EXPECT_THAT(mail->Messages()[0], HasSubstr("Subject: [Halvane STATION] Test message\r\n"));

    testing::internal::CaptureStderr();
    options.smtpPassword = "wrong-" + password;
    const auto refused = SendTestMessage(options, "STATION");
    EXPECT_THAT(refused.value_or(""), HasSubstr("535")); // the server's own answer
    EXPECT_THAT(refused.value_or(""), Not(HasSubstr(password)));

    // Queued while the server refuses the login: neither the spool's names nor the journal
    // nor stderr show the password.
    StartNotifier(options);
    RaiseTank("High: 95 % > 90 %");
    ASSERT_TRUE(WaitUntil([&] { return journal.Count("notify-failed") >= 1; }));
    notifier.reset();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_THAT(errors, Not(HasSubstr(password)));
    for (const JournalEvent& line : journal.Lines())
        EXPECT_THAT(line.text, Not(HasSubstr(password)));
    ASSERT_FALSE(SpoolFiles().empty());
    for (const auto& file : SpoolFiles()) {
        EXPECT_THAT(file.string(), Not(HasSubstr(password)));
        EXPECT_THAT(ReadText(file), Not(HasSubstr(password)));
    }
}

TEST_F(NotifierTest, TestMessagesAnswerWithTheReasonTheyFailed) {
    auto plain = MailServer(); // offers no STARTTLS
    auto web = WebReceiver({"401"});
    ASSERT_TRUE(plain->Start());
    ASSERT_TRUE(web->Start());
    NotifyOptions options = Mail(plain->Port());
    options.smtpStartTls = StartTls::Required;
    EXPECT_THAT(SendTestMessage(options, "S").value_or(""), HasSubstr("Mail: "));
    options.smtpStartTls = StartTls::Optional;
    EXPECT_EQ(SendTestMessage(options, "S"), std::nullopt);
    options.smtpUrl.clear();
    options.webhookUrl = Webhook(web->Port()).webhookUrl;
    EXPECT_EQ(SendTestMessage(options, "S"), "Webhook: HTTP 401: refused by test");
    options.webhookUrl = "gopher://127.0.0.1/";
    EXPECT_THAT(SendTestMessage(options, "S").value_or(""), HasSubstr("http://"));
}

} // namespace
