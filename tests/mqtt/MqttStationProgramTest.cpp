// The station program with MQTT on, against a real Mosquitto broker: what it leaves on the
// status topic when it is killed and when it ends.
#include "MqttSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

using namespace mqtt_test;

namespace {

// The station program itself, over the data root `root`; ended by the caller.
pid_t StartStationProgram(const TempDir& root) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    pid_t pid = -1;
    std::string args[] = {HALVANE_BINARY, "--data-root", root.Path().string(), "-runtime"};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), nullptr};
    return ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

} // namespace

// Killed, the station leaves its last will; ended, it says "offline" itself.
TEST(MqttStationProgram, OfflineAfterAKillAndAfterAnEnd) {
    Broker broker;
    ASSERT_TRUE(broker.Started());
    TempDir root;
    WriteText(root / "cfg/config.cfg",
              "[MQTT]\nEnabled=1\nHost=127.0.0.1\nPort=" + std::to_string(broker.Port()) +
                  "\nTopicPrefix=st/one\n");
    const std::string status = "st/one/status";
    for (const int signal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(signal);
        Subscriber watcher(broker.Port(), status);
        const pid_t pid = StartStationProgram(root);
        ASSERT_GT(pid, 0);
        const bool online = watcher.WaitForText(status, "online", 60s);
        ::kill(pid, signal);
        ::waitpid(pid, nullptr, 0);
        ASSERT_TRUE(online);
        EXPECT_TRUE(WaitUntil([&] { return watcher.Last(status) == "offline"; })); // after it
        Subscriber later(broker.Port(), "st/one/#");
        EXPECT_TRUE(later.WaitForText(status, "offline"));
        EXPECT_TRUE(later.On(status).back().retained);
        EXPECT_TRUE(later.WaitForText("st/one/tags", "[]"));
    }
}
