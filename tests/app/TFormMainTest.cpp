// The main window on a temporary data root, polling the libmodbus simulator.
#include "TFormMain.h"
#include "Connections.h"
#include "DataRoot.h"
#include "Icons.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "TFormConnections.h"
#include "TempDir.h"
#include "WidgetTestSupport.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace halvane;
using test::WaitUntil;

namespace {

class Simulator final {
public:
    explicit Simulator(int port, const std::string& units = "1") {
        std::vector<std::string> args{HALVANE_SIM, "--tcp", "127.0.0.1:" + std::to_string(port),
                                      "--units",   units,   "--static"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ);
        ::usleep(300'000);
    }
    ~Simulator() {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }

private:
    pid_t m_pid = -1;
};

} // namespace

TEST(TFormMain, PollsItsTagsAndShowsTheConnections) {
    TempDir root;
    const int port = 21000 + ::getpid() % 10000;
    Simulator sim(port);
    WriteText(root / "cfg/config.cfg",
              "[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" + std::to_string(port) +
                  "\ninterval=5\n[Serial.2]\ninterval=100\ncomport=4\n"
                  "[Channel.0]\nPort=4\nFunction=2\nRegisterAddr=101\n"
                  "Linear=0\nName=Word\n[Channel.1]\nName=Off\n");
    SetDecimalSeparator('.');
    SetDataRoot(root.Path().string());
    TFormMain form(false);
    ASSERT_TRUE(form.Create());
    form.show();

    QTreeWidgetItem* connections = form.TreeViewMain()->topLevelItem(0);
    ASSERT_EQ(connections->childCount(), 4);
    EXPECT_EQ(connections->child(1)->text(0), "Serial port 2, COM4");
    EXPECT_EQ(connections->child(3)->text(0), QStringLiteral("Network 1, 127.0.0.1:%1").arg(port));
    EXPECT_EQ(form.TreeViewMain()->topLevelItem(2)->child(0)->text(0), "1. Word");
    EXPECT_EQ(form.findChild<QTimer*>("TimerPoll4")->interval(), 10);
    EXPECT_EQ(form.findChild<QTimer*>("TimerPoll2")->interval(), 200);

    ASSERT_TRUE(WaitUntil([&] { return form.Tags().Snapshot(0).ValueValid; }));
    EXPECT_DOUBLE_EQ(form.Tags().Snapshot(0).RealValue, 12001);
    EXPECT_EQ(form.Tags().Snapshot(1).Status, "Cfg: Disabled");

    // Demo mode: the poll timers hand nothing over, the demo timer feeds the tags.
    form.findChild<QAction*>("Demomode1")->trigger();
    EXPECT_EQ(form.windowTitle(), "Halvane [demo mode]");
    form.Tags().Update(0, [](TDataChannel& t) { t.SetTagError("Unknown"); });
    QTest::qWait(300);
    EXPECT_FALSE(form.Tags().Snapshot(0).ValueValid);
    form.findChild<QAction*>("Demomode1")->trigger();
    EXPECT_EQ(form.windowTitle(), "Halvane");
    ASSERT_TRUE(WaitUntil([&] { return form.Tags().Snapshot(0).ValueValid; }));
    form.close();
}

// Pointed at another simulator through "&Connections...", the running station polls it:
// the tag list shows the second simulator's values without a restart.
TEST(TFormMain, TheConnectionsDialogMovesPollingToAnotherSimulator) {
    using test::ModalAnswers;
    TempDir root;
    const int first = 31000 + ::getpid() % 10000;
    const int second = first + 10000;
    Simulator unit1(first, "1");
    Simulator unit2(second, "2");
    WriteText(root / "cfg/config.cfg",
              "[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" + std::to_string(first) +
                  "\ninterval=50\n"
                  "[Channel.0]\nName=One\nPort=4\nModuleAddr=1\nFunction=2\nRegisterAddr=101\n"
                  "Linear=0\n"
                  "[Channel.1]\nName=Two\nPort=4\nModuleAddr=2\nFunction=2\nRegisterAddr=101\n"
                  "Linear=0\n");
    SetDecimalSeparator('.');
    SetDataRoot(root.Path().string());
    TFormMain form(false);
    ASSERT_TRUE(form.Create());
    form.show();
    form.ShowPage(0); // no screens: the tag list
    const QAbstractItemModel* tagList = form.findChild<QTableView*>("StringGridChannels")->model();
    const auto shown = [&](int row) {
        return tagList->index(row, 9).data().toString() + " " +
               tagList->index(row, 10).data().toString();
    };
    ASSERT_TRUE(WaitUntil([&] { return shown(0) == "12001 OK"; })) << shown(0).toStdString();
    ASSERT_TRUE(WaitUntil([&] { return shown(1) == "- Exception code 0B"; }))
        << shown(1).toStdString();

    const QList<QAction*> menus = form.menuBar()->actions();
    const auto settings = std::ranges::find(menus, QStringLiteral("&Settings"), &QAction::text);
    ASSERT_NE(settings, menus.end());
    const QAction* item = (*settings)->menu()->actions().value(0);
    EXPECT_EQ(item->objectName(), "Connections1");
    EXPECT_EQ(item->text(), "&Connections...");
    {
        ModalAnswers answers;
        answers.Then<TFormConnections>([&](TFormConnections& dialog) {
            EXPECT_EQ(test::Text(dialog, "EditEthPort"), QString::number(first));
            test::SetText(dialog, "EditEthPort", QString::number(second));
            test::Click(dialog, "ButtonSave");
        });
        form.findChild<QAction*>("Connections1")->trigger();
    }
    EXPECT_EQ(form.TreeViewMain()->topLevelItem(0)->child(3)->text(0),
              QStringLiteral("Network 1, 127.0.0.1:%1").arg(second));
    EXPECT_TRUE(WaitUntil([&] { return shown(1) == "12002 OK"; })) << shown(1).toStdString();
    EXPECT_TRUE(WaitUntil([&] { return shown(0) == "- Exception code 0B"; }))
        << shown(0).toStdString();

    // The "Connections" node and each of its children open the dialog too.
    QTreeWidgetItem* connections = form.TreeViewMain()->topLevelItem(0);
    for (QTreeWidgetItem* node : {connections, connections->child(0), connections->child(3)}) {
        ModalAnswers answers;
        answers.Then<TFormConnections>(
            [](TFormConnections& dialog) { test::Click(dialog, "ButtonCancel"); });
        form.TreeViewMain()->setCurrentItem(node);
        emit form.TreeViewMain()->itemDoubleClicked(node, 0);
    }
    form.close();
}

// The light of each connection entry follows its link: green while it is up, red while it is
// down or reconnecting, grey while the connection is not used.
TEST(TFormMain, ConnectionLightsFollowTheLinks) {
    TempDir root;
    const int port = 22000 + ::getpid() % 10000;
    std::optional<Simulator> sim(std::in_place, port);
    qputenv("HALVANE_COM7", QByteArray::fromStdString((root / "no-such-tty").string()));
    WriteText(root / "cfg/config.cfg",
              "[Serial.2]\nenabled=1\ncomport=7\n"
              "[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" +
                  std::to_string(port) +
                  "\ninterval=10\nreconnect=1\n"
                  "[Channel.0]\nPort=4\nFunction=2\nRegisterAddr=101\nName=Word\n");
    SetDecimalSeparator('.');
    SetDataRoot(root.Path().string());
    TFormMain form(false);
    ASSERT_TRUE(form.Create());
    form.show();
    qunsetenv("HALVANE_COM7");

    const QTreeWidgetItem* connections = form.TreeViewMain()->topLevelItem(0);
    const auto light = [&](int entry) {
        return connections->child(entry)->icon(0).pixmap(16).toImage();
    };
    const auto picture = [](NavigatorIcon icon) {
        return MakeNavigatorIcon(icon).pixmap(16).toImage();
    };
    const QImage grey = picture(NavigatorIcon::ConnectionDisabled);
    const QImage red = picture(NavigatorIcon::Disconnected);
    const QImage green = picture(NavigatorIcon::Connected);
    ASSERT_NE(grey, red);
    EXPECT_EQ(light(0), grey);  // not used
    EXPECT_EQ(light(1), red);   // its device is missing
    EXPECT_EQ(light(3), green); // polling the simulator

    sim.reset();
    EXPECT_TRUE(WaitUntil([&] { return light(3) == red; }, 5000));
    sim.emplace(port);
    EXPECT_TRUE(WaitUntil([&] { return light(3) == green; }, 10000));
    form.close();
}
