// The main window on a temporary data root, polling the libmodbus simulator.
#include "TFormMain.h"
#include "Connections.h"
#include "DataRoot.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "TempDir.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace halvane;

namespace {

class Simulator final {
public:
    explicit Simulator(int port) {
        std::vector<std::string> args{HALVANE_SIM, "--tcp", "127.0.0.1:" + std::to_string(port),
                                      "--static"};
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

template <typename Condition> bool WaitUntil(Condition done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

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
