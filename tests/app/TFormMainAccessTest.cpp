// Users at the station's main window, polling the libmodbus simulator: the login at the
// start, the role checked where each action runs (a viewer's click on a preset button
// writes nothing to the slave, an operator's does), the rights of nobody logged in, the
// logout after idle minutes, and the journal naming who did what.
#include "Accounts.h"
#include "AlarmStation.h"
#include "EventJournal.h"
#include "MessageBox.h"
#include "PeerSupport.h"
#include "ScreenList.h"
#include "ScreenPaintArea.h"
#include "StationAccess.h"
#include "StationSupport.h"
#include "TFormLogin.h"
#include "TFormScreen.h"
#include "WidgetInput.h"

#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <limits>

using namespace halvane;
using test::ModalAnswers;
using test::WaitUntil;

namespace {

constexpr char kPassword[] = "station-pass";
constexpr int kRegister = 10;

class TFormMainAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sim = std::make_unique<peers::Child>(std::vector<std::string>{
            HALVANE_SIM, "--tcp", "127.0.0.1:" + std::to_string(m_simPort), "--static"});
        ASSERT_EQ(peers::RunPymodbus(m_simPort, "assert not c.write_register(" +
                                                    std::to_string(kRegister) +
                                                    ", 7, slave=1).isError()"),
                  0);
        // An output tag written only when set, and a screen with a button that presets 42.
        WriteStation(m_root,
                     "[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" + std::to_string(m_simPort) +
                         "\ninterval=50\ntimeout=500\nwriteMode=1\n"
                         "[Channel.0]\nName=Setpoint\nPort=4\nFunction=5\nRegisterAddr=" +
                         std::to_string(kRegister) + "\nLinear=0\nFormat=%0.0f\n",
                     {{1, "Plant", 320, 200}});
        WriteText(m_root / "cfg/screen.1.cfg",
                  "[General]\nTitle=Plant\nWidth=320\nHeight=200\nNoOfMarkers=1\n"
                  "[Marker.0]\nTL=20,20\nBR=220,60\nType=51\nChannel=0\nUseStyle=0\n"
                  "AttrStr1=Set\nAttrDouble1=42\n");
        AccountStore users(m_root / "cfg/users.cfg");
        ASSERT_EQ(users.Add("vic", Role::Viewer, kPassword), std::nullopt);
        ASSERT_EQ(users.Add("olga", Role::Operator, kPassword), std::nullopt);
        ASSERT_EQ(users.Add("ed", Role::Engineer, kPassword), std::nullopt);
    }

    bool RegisterHolds(int value) const {
        return peers::RunPymodbus(m_simPort,
                                  "r = c.read_holding_registers(" + std::to_string(kRegister) +
                                      ", count=1, slave=1)\nsys.exit(0 if r.registers[0] == " +
                                      std::to_string(value) + " else 1)") == 0;
    }

    // Starts the station, answering its login dialog with `name` (empty: Cancel).
    std::unique_ptr<TFormMain> Start(const std::string& name) {
        ModalAnswers answers;
        answers.Then<TFormLogin>([name](TFormLogin& dialog) { Answer(dialog, name); });
        auto form = StartStation(m_root);
        EXPECT_TRUE(WaitUntil([&] { return !QApplication::activeModalWidget(); }));
        return form;
    }
    static void Answer(TFormLogin& dialog, const std::string& name) {
        if (name.empty()) {
            test::MouseClick(dialog, "ButtonCancel");
            return;
        }
        test::Type(dialog, "EditName", QString::fromStdString(name));
        test::Type(dialog, "EditPassword", kPassword);
        test::MouseClick(dialog, "ButtonOK");
    }
    static void LogInAs(TFormMain& form, const std::string& name) {
        ModalAnswers answers;
        answers.Then<TFormLogin>([name](TFormLogin& dialog) { Answer(dialog, name); });
        form.findChild<QAction*>("LogIn1")->trigger();
    }

    static void ClickPresetButton(TFormMain& form) {
        TFormScreen* screen = form.Screens()->At(0);
        const MarkerRect& bounds = screen->Objects()[0].Bounds;
        const QPoint centre((bounds.Left + bounds.Right) / 2, (bounds.Top + bounds.Bottom) / 2);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, QPointF(centre),
                              QPointF(screen->PaintArea()->mapToGlobal(centre)), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(screen->PaintArea(), &event);
        }
    }

    // The journal's logins, logouts and writes with their users: "write olga", "login vic".
    std::string Journal() const {
        const JournalReadResult read =
            ReadJournal(m_root / "events", 0, std::numeric_limits<LocalMsecs>::max());
        std::string lines;
        for (const JournalEvent& event : read.events)
            if (event.event.starts_with("log") || event.event.starts_with("write"))
                lines += event.event + " " + event.user +
                         (event.text.empty() ? "" : " " + event.text) + "\n";
        return lines;
    }
    static QString StatusUser(const TFormMain& form) {
        return form.statusBar()->findChild<QLabel*>("LabelUser")->text();
    }

    void AddToConfig(const std::string& text) const {
        std::ofstream(m_root / "cfg/config.cfg", std::ios::app) << text;
    }

    const int m_simPort = peers::FreePort();
    TempDir m_root;
    std::unique_ptr<peers::Child> m_sim;
};

TEST_F(TFormMainAccessTest, AViewersClickWritesNothingAnOperatorsClickWrites) {
    auto form = Start("vic");
    ASSERT_TRUE(form);
    EXPECT_FALSE(form->EditMode()); // a viewer may not edit: the screens start in run time
    EXPECT_EQ(StatusUser(*form), "vic (viewer)");

    ClickPresetButton(*form);
    EXPECT_EQ(MessageBox::LastText(),
              "You are logged in as vic (viewer); this needs the operator role.");
    QTest::qWait(500); // ten polls: a write would have gone out
    EXPECT_TRUE(RegisterHolds(7));
    EXPECT_FALSE(form->Tags().WritePending(0));
    form->findChild<QAction*>("Demomode1")->trigger();
    EXPECT_FALSE(form->DemoMode());

    LogInAs(*form, "olga");
    EXPECT_EQ(StatusUser(*form), "olga (operator)");
    ClickPresetButton(*form);
    EXPECT_TRUE(WaitUntil([&] { return RegisterHolds(42); }, 5000));
    form->findChild<QAction*>("LogOut1")->trigger();
    EXPECT_EQ(StatusUser(*form), "Not logged in");
    form->Alarms()->Service().Flush();
    EXPECT_EQ(Journal(), "login vic\nlogout vic another user logged in\nlogin olga\n"
                         "write olga\nlogout olga\n");
}

// Nobody logged in without the guest's rights sees nothing and may do nothing; an engineer
// starts in edit mode and leaves it by logging out; a refused password is journaled with
// the name as typed.
TEST_F(TFormMainAccessTest, LockedWithoutAUserAndEditModeEndsWithTheLogout) {
    AddToConfig("[Security]\nGuestViewer=0\n");
    auto form = Start("");
    ASSERT_TRUE(form);
    EXPECT_FALSE(form->centralWidget()->isVisible());
    form->findChild<QAction*>("Trends1")->trigger();
    EXPECT_EQ(MessageBox::LastText().toStdString().find("Nobody is logged in"), 0u);

    ModalAnswers answers;
    answers.Then<TFormLogin>([](TFormLogin& dialog) {
        test::Type(dialog, "EditName", "Ed");
        test::Type(dialog, "EditPassword", "wrong-password");
        test::MouseClick(dialog, "ButtonOK");
        Answer(dialog, "ed");
    });
    form->findChild<QAction*>("LogIn1")->trigger();
    EXPECT_TRUE(form->centralWidget()->isVisible());
    form->findChild<QAction*>("PutscreensinEditmode1")->trigger();
    EXPECT_TRUE(form->EditMode());
    form->findChild<QAction*>("LogOut1")->trigger();
    EXPECT_FALSE(form->EditMode());
    EXPECT_FALSE(form->centralWidget()->isVisible());
    form->Alarms()->Service().Flush();
    EXPECT_EQ(Journal(), "login-failed Ed\nlogin ed\nlogout ed\n");
}

TEST_F(TFormMainAccessTest, IdleMinutesLogOutOnlyWithoutInput) {
    AddToConfig("[Security]\nIdleLogout=1\n");
    auto form = Start("");
    ASSERT_TRUE(form);
    QTimer* idle = form->Access()->TimerIdleLogout();
    idle->setInterval(300); // minutes in the file; shortened for the test
    form->Access()->LogIn(Account{"olga", Role::Operator, {}, false});
    for (int i = 0; i < 6; ++i) { // moving the mouse keeps the user in
        QTest::mouseMove(form->centralWidget(), QPoint(10 + i, 10));
        QTest::qWait(100);
    }
    EXPECT_TRUE(form->Access()->CurrentSession().User());
    EXPECT_TRUE(WaitUntil([&] { return !form->Access()->CurrentSession().User(); }, 2000));
    form->Alarms()->Service().Flush();
    EXPECT_NE(Journal().find("logout olga idle"), std::string::npos) << Journal();
}

} // namespace
