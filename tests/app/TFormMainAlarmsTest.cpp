// The station's alarms through its main window, polling the libmodbus simulator while an
// independent Modbus client (pymodbus) moves the register: the banner, the alarm list docked
// at the bottom, the station's own web server and the journal follow the alarm, which
// outlives a restart; the settings dialog is journaled when it saves.
#include "AlarmBanner.h"
#include "AlarmStation.h"
#include "EventJournal.h"
#include "PeerSupport.h"
#include "StationSupport.h"
#include "TFormAlarms.h"
#include "TFormSettings.h"
#include "TankOnSimulator.h"
#include "WebTestSupport.h"
#include "WidgetInput.h"

#include <QDockWidget>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

using namespace halvane;
using test::WaitUntil;

namespace {

class TFormMainAlarmsTest : public test::TankOnSimulator {
protected:
    void SetUp() override {
        TankOnSimulator::SetUp();
        // The tank level in holding register 0, listed on the second screen only.
        WriteStation(m_root,
                     "[WebServer]\nEnabled=1\nPort=" + std::to_string(m_webPort) +
                         "\n"
                         "[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" +
                         std::to_string(m_simPort) +
                         "\ninterval=50\ntimeout=500\n"
                         "[Channel.0]\nName=Tank level\nUnit=%\nPort=4\nFunction=2\n"
                         "RegisterAddr=0\nLinear=0\nFormat=%0.0f\nEnableAlert=1\n"
                         "High.Threshold=90\nLow.Threshold=10\n",
                     {{1, "Overview", 320, 200}, {2, "Tank", 320, 200}});
        WriteText(m_root / "cfg/screen.2.cfg",
                  "[General]\nTitle=Tank\nWidth=320\nHeight=200\nNoOfMarkers=1\n"
                  "[Marker.0]\nTL=0,40\nBR=320,80\nType=0\nChannel=0\nUseStyle=0\n");
    }

    // The state of each alarm that /api/alarms lists, in its order; "no answer" when none came.
    std::vector<std::string> ApiStates() const {
        const test::HttpReply reply = test::Curl(m_webPort, "/api/alarms");
        const QJsonDocument alarms = QJsonDocument::fromJson(QByteArray::fromStdString(reply.body));
        if (reply.status != 200 || !reply.Header("content-type").starts_with("application/json") ||
            !alarms.isArray())
            return {"no answer"};
        std::vector<std::string> states;
        for (const QJsonValue alarm : alarms.array())
            states.push_back(alarm["state"].toString().toStdString());
        return states;
    }
    bool ApiComesToList(const std::vector<std::string>& states) const {
        return WaitUntil([&] { return ApiStates() == states; });
    }

    // The journal's events, one per line: an alarm's with its tag number, a station event
    // with its text.
    std::string Journal() const {
        const JournalReadResult read =
            ReadJournal(m_root / "events", 0, std::numeric_limits<LocalMsecs>::max());
        std::string lines;
        for (const JournalEvent& event : read.events) {
            const std::string detail = event.tag ? std::to_string(*event.tag) : event.text;
            lines += event.event + (detail.empty() ? "" : " " + detail) + "\n";
        }
        return lines;
    }

    static QTableView* Grid(const TFormMain& form) {
        return test::Child<QTableView>(*form.Alarms()->List(), "StringGridAlarms");
    }
    static QPoint RowCentre(const TFormMain& form, int row) {
        const QTableView* grid = Grid(form);
        return grid->visualRect(grid->model()->index(row, 3)).center();
    }
    // A click on the first row of the list, then on "Acknowledge".
    static void AcknowledgeFirstRow(TFormMain& form) {
        QTest::mouseClick(Grid(form)->viewport(), Qt::LeftButton, {}, RowCentre(form, 0));
        test::MouseClick(*form.Alarms()->List(), "ButtonAcknowledge");
    }
    static QString Banner(const TFormMain& form) { return form.Alarms()->Banner()->text(); }
    static bool BannerShows(const TFormMain& form, const QString& text) {
        return WaitUntil([&] { return Banner(form).startsWith(text); });
    }
    static size_t ListedRows(const TFormMain& form) {
        return static_cast<size_t>(Grid(form)->model()->rowCount());
    }

    const int m_webPort = peers::FreePort();
};

} // namespace

TEST_F(TFormMainAlarmsTest, AnAlarmGoesThroughTheWindowTheWebServerAndTheJournal) {
    auto form = Start();
    ASSERT_TRUE(form);
    ASSERT_TRUE(form->Web());
    EXPECT_TRUE(ApiComesToList({}));

    Set(*form, 95);
    EXPECT_TRUE(BannerShows(*form, "1 alarms, 1 unacknowledged")) << Banner(*form).toStdString();
    EXPECT_TRUE(Banner(*form).endsWith("Tank level: High: 95 % > 90 %"))
        << Banner(*form).toStdString();
    EXPECT_TRUE(ApiComesToList({"unacknowledged"}));

    // F9 on the main window shows the list and hides it again.
    QDockWidget* dock = form->Alarms()->Dock();
    ASSERT_FALSE(dock->isVisible());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_F9);
    ASSERT_TRUE(dock->isVisible());
    EXPECT_TRUE(WaitUntil([&] { return ListedRows(*form) == 1; }));

    AcknowledgeFirstRow(*form);
    EXPECT_TRUE(BannerShows(*form, "1 alarms, 0 unacknowledged")) << Banner(*form).toStdString();
    EXPECT_TRUE(ApiComesToList({"acknowledged"}));

    Set(*form, 50);
    EXPECT_TRUE(WaitUntil([&] { return ListedRows(*form) == 0; }));
    EXPECT_TRUE(ApiComesToList({}));
    EXPECT_TRUE(WaitUntil([&] { return !form->Alarms()->Banner()->isVisible(); }));
    QTest::keyClick(form.get(), Qt::Key_F9);
    EXPECT_FALSE(dock->isVisible());

    // The simulator going away is a link going down; the station's own stop is not.
    m_sim->Stop();
    EXPECT_TRUE(WaitUntil([&] { return Journal().ends_with("link-down\n"); })) << Journal();
    form->close();
    EXPECT_EQ(Journal(),
              "started\nlink-up\nraised 1\nacknowledged 1\ncleared 1\nlink-down\nstopped\n");
}

TEST_F(TFormMainAlarmsTest, AnAcknowledgedAlarmStaysAcknowledgedAfterARestart) {
    {
        auto form = Start();
        ASSERT_TRUE(form);
        Set(*form, 95);
        form->Alarms()->ShowList();
        ASSERT_TRUE(WaitUntil([&] { return ListedRows(*form) == 1; }));
        AcknowledgeFirstRow(*form);
        ASSERT_EQ(form->Alarms()->Service().Counts().unacknowledged, 0u);
        form->close();
    }
    auto form = Start();
    ASSERT_TRUE(form);
    form->Alarms()->Service().Flush();
    const std::vector<AlarmInfo> alarms = form->Alarms()->Service().Alarms(false);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms.front().state, AlarmListState::Acknowledged);
    EXPECT_TRUE(BannerShows(*form, "1 alarms, 0 unacknowledged")) << Banner(*form).toStdString();
    EXPECT_TRUE(ApiComesToList({"acknowledged"}));
    EXPECT_EQ(Journal(), "started\nlink-up\nraised 1\nacknowledged 1\nstopped\n"
                         "started\nlink-up\n");
    form->close();
}

TEST_F(TFormMainAlarmsTest, TheBannerOpensTheListAndARowOpensTheScreenOfItsTag) {
    auto form = Start();
    ASSERT_TRUE(form);
    Set(*form, 5); // below the low limit
    ASSERT_TRUE(BannerShows(*form, "1 alarms, 1 unacknowledged"));
    ASSERT_EQ(Pages(*form), "10|0");

    QDockWidget* dock = form->Alarms()->Dock();
    ASSERT_FALSE(dock->isVisible());
    QTest::mouseClick(form->Alarms()->Banner(), Qt::LeftButton);
    ASSERT_TRUE(dock->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return ListedRows(*form) == 1; }));

    // The first click of a double click selects the row.
    QTest::mouseClick(Grid(*form)->viewport(), Qt::LeftButton, {}, RowCentre(*form, 0));
    QTest::mouseDClick(Grid(*form)->viewport(), Qt::LeftButton, {}, RowCentre(*form, 0));
    EXPECT_EQ(Pages(*form), "01|0");
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 1);
    form->close();
}

TEST_F(TFormMainAlarmsTest, SettingsSavedAreJournaledAndSettingsCancelledAreNot) {
    auto form = Start();
    ASSERT_TRUE(form);
    const auto settings = [&](const char* button) {
        test::ModalAnswers answers;
        answers.Then<TFormSettings>(
            [button](TFormSettings& dialog) { test::MouseClick(dialog, button); });
        Trigger(*form, "Advancedsettings1");
    };
    settings("ButtonCancel");
    settings("ButtonSave");
    form->close();
    EXPECT_EQ(Journal(), "started\nlink-up\nconfig-saved Settings\nstopped\n");
}
