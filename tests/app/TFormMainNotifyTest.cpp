// Notifications through the running station: the main window polls the libmodbus simulator
// while an independent Modbus client (pymodbus) moves the register, and the station's alarms
// reach a real mail server (aiosmtpd) and a real webhook receiver (http.server).
#include "AlarmStation.h"
#include "Notifier.h"
#include "NotifySupport.h"
#include "PeerSupport.h"
#include "StationSupport.h"
#include "TFormSettings.h"
#include "TankOnSimulator.h"
#include "WidgetInput.h"
#include "WidgetTestSupport.h"

#include <QStatusBar>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace halvane;
using test::WaitUntil;
using testing::HasSubstr;

namespace {

class TFormMainNotifyTest : public test::TankOnSimulator {
protected:
    void SetUp() override {
        TankOnSimulator::SetUp();
        ASSERT_TRUE(m_mail->Start());
        ASSERT_TRUE(m_web->Start());
    }

    // The station with `notify` as its [Notify] section: the tank level in holding register 0,
    // marked for notifications, of priority 1.
    void WriteProject(const std::string& notify) const {
        WriteStation(
            m_root,
            notify + "[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" + std::to_string(m_simPort) +
                "\ninterval=50\ntimeout=500\n"
                "[Channel.0]\nName=Tank level\nUnit=%\nPort=4\nFunction=2\n"
                "RegisterAddr=0\nLinear=0\nFormat=%0.0f\nEnableAlert=1\n"
                "High.Threshold=90\nLow.Threshold=10\nAlarmPriority=1\nSMSAlert=1\n",
            {{1, "Overview", 320, 200}});
    }
    std::string Receivers() const {
        return "SmtpUrl=smtp://127.0.0.1:" + std::to_string(m_mail->Port()) +
               "\nSmtpStartTls=off\nFrom=station@plant.example\nTo=night@plant.example\n"
               "WebhookUrl=http://127.0.0.1:" +
               std::to_string(m_web->Port()) + "/alarm\n";
    }

    static std::string Subject(std::string_view event) {
        return "\r\nSubject: [Halvane " + NotifyStationName() + "] P1 " + std::string(event) +
               ": Tank level high 95 % > 90 %\r\n";
    }

    std::unique_ptr<notify_test::Receiver> m_mail = notify_test::MailServer();
    std::unique_ptr<notify_test::Receiver> m_web = notify_test::WebReceiver();
};

} // namespace

TEST_F(TFormMainNotifyTest, AnAlarmOfAMarkedTagIsMailedAndPostedWhenRaisedAndWhenItReturns) {
    WriteProject("[Notify]\nEnabled=1\n" + Receivers());
    auto form = Start();
    ASSERT_TRUE(form);
    Set(*form, 95);
    ASSERT_TRUE(m_mail->WaitForMessages(1));
    ASSERT_TRUE(m_web->WaitForMessages(1));
    EXPECT_THAT(m_mail->Messages()[0], HasSubstr(Subject("raised")));
    EXPECT_THAT(m_web->Messages()[0], HasSubstr("application/json"));
    EXPECT_THAT(notify_test::Body(m_web->Messages()[0]), HasSubstr("\"event\":\"raised\""));

    Set(*form, 50);
    ASSERT_TRUE(m_mail->WaitForMessages(2));
    EXPECT_THAT(m_mail->Messages()[1], HasSubstr(Subject("returned")));
    ASSERT_TRUE(m_web->WaitForMessages(2));
    form->close();
    EXPECT_EQ(m_mail->Messages().size(), 2);
    EXPECT_EQ(m_web->Messages().size(), 2);
}

// Options that cannot be used are told in the status bar and send nothing; saved right in
// the settings dialog, the notifier starts over with them at once.
TEST_F(TFormMainNotifyTest, SavedSettingsRestartTheNotifierAndUnusableOnesAreTold) {
    WriteProject("[Notify]\nEnabled=1\nWebhookUrl=ftp://127.0.0.1/alarm\n");
    auto form = Start();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->statusBar()->currentMessage(),
              "Notifications not started: The webhook must be an address starting with http:// "
              "or https://.");

    test::ModalAnswers answers;
    answers.Then<TFormSettings>([&](TFormSettings& dialog) {
        test::Type(dialog, "EditNotifyWebhookUrl",
                   QString("http://127.0.0.1:%1/alarm").arg(m_web->Port()));
        test::MouseClick(dialog, "ButtonSave");
    });
    Trigger(*form, "Advancedsettings1");
    Set(*form, 95);
    ASSERT_TRUE(m_web->WaitForMessages(1));
    EXPECT_THAT(notify_test::Body(m_web->Messages()[0]), HasSubstr("\"event\":\"raised\""));
    EXPECT_TRUE(m_mail->Messages().empty());
}
