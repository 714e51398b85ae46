// The connections against a real Modbus slave (pymodbus), over TCP and over a pty pair
// made by socat (RTU and ASCII). Never our own framing on both ends.
#include "Connections.h"
#include "DataRoot.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using namespace halvane;
using namespace std::chrono_literals;

// A child process, ended with SIGTERM when it goes out of scope.
class Child final {
public:
    explicit Child(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

private:
    pid_t m_pid = -1;
};

const std::string kPeer = std::string(PEERS_DIR) + "/modbus_slave.py";

int FreePort() {
    static int next = 20000 + (::getpid() % 20000);
    return next++;
}

TDataChannel Tag(int port, int unit, int function, int reg, int dataType = 0) {
    TDataChannel tag;
    tag.Port = port;
    tag.ModuleAddr = unit;
    tag.Function = function;
    tag.RegisterAddr = reg;
    tag.DataType = dataType;
    tag.ByteLength = dataType == 2 ? 4 : (dataType >= 20 ? 1 : 2);
    tag.Linear = 0;
    return tag;
}

struct Expected {
    TDataChannel tag;
    bool valid;
    double value;
    const char* status;
};

// Tags every peer can answer: unit 1 and unit 2 hold distinct values.
std::vector<Expected> Cases(int port) {
    TDataChannel write = Tag(port, 1, 5, 10);
    write.RealValue = 1234;
    return {
        {Tag(port, 1, 2, 0), true, 1000, ""},
        {Tag(port, 2, 2, 0), true, 2000, ""},
        {Tag(port, 1, 3, 3), true, 2003, ""},
        {Tag(port, 1, 0, 3, 20), true, 1, ""},
        {Tag(port, 1, 0, 4, 20), true, 0, ""},
        {Tag(port, 2, 1, 1, 20), true, 1, ""},
        {Tag(port, 1, 2, 4, 2), true, 1004.0 * 65536 + 1005, ""},
        {write, true, 1234, ""},
        {Tag(port, 1, 2, 10), true, 1234, ""}, // the value written just before
        {Tag(port, 1, 2, 500), false, 0, "Exception code 02"},
    };
}

class ConnectionsPeerTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        SetDecimalSeparator('.');
        SetDataRoot(m_dir.Path().string());
        WriteText(m_dir / "cfg/config.cfg", "");
        m_store = std::make_unique<ProfileStore>(m_dir / "cfg/config.cfg");
    }
    // Polls connection `connection` until each tag had its turn once.
    void PollEachOnce(Connections& connections, int connection, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            connections.PollNext(connection);
            // The worker takes the tag at once; wait for the outcome before the next turn.
            for (int w = 0; w < 300; ++w) {
                const auto tag = m_tags.Snapshot(i);
                if (tag.ValueValid || tag.Status != "Unknown")
                    break;
                std::this_thread::sleep_for(5ms);
            }
        }
    }
    TempDir m_dir;
    std::unique_ptr<ProfileStore> m_store;
    TagTable m_tags;
};

} // namespace

TEST_P(ConnectionsPeerTest, ReadsAndWritesEveryFunctionAgainstPymodbus) {
    const std::string framing = GetParam();
    std::unique_ptr<Child> socat;
    std::unique_ptr<Child> peer;
    int connection = 0;
    if (framing == "tcp") {
        connection = kNetworkConnection;
        const int port = FreePort();
        peer = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/python3", kPeer, "--tcp", std::to_string(port)});
        m_store->WriteString("Ethernet.1", "enabled", "1");
        m_store->WriteString("Ethernet.1", "host", "127.0.0.1");
        m_store->WriteInteger("Ethernet.1", "port", port);
        m_store->WriteInteger("Ethernet.1", "timeout", 1000);
    } else {
        connection = 1;
        const auto a = (m_dir / "ttyA").string();
        const auto b = (m_dir / "ttyB").string();
        socat = std::make_unique<Child>(std::vector<std::string>{
            "/usr/bin/socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b});
        for (int i = 0; i < 100 && !(std::filesystem::exists(a) && std::filesystem::exists(b)); ++i)
            std::this_thread::sleep_for(20ms);
        peer = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/python3", kPeer, "--" + framing, b});
        std::filesystem::create_directories(m_dir / "dev");
        std::filesystem::create_symlink(a, m_dir / "dev/COM7");
        m_store->WriteString("Serial.1", "enabled", "1");
        m_store->WriteInteger("Serial.1", "comport", 7);
        m_store->WriteInteger("Serial.1", "protocolId", framing == "rtu" ? 1 : 0);
        m_store->WriteInteger("Serial.1", "timeout", 1000);
    }
    const auto cases = Cases(connection);
    std::vector<TDataChannel> tags;
    for (const auto& c : cases)
        tags.push_back(c.tag);
    m_tags.Assign(tags);

    Connections connections(m_tags, *m_store, nullptr);
    // The peer needs a moment to listen: retry the start until it connects.
    Connections::StartResult started;
    for (int attempt = 0; attempt < 50; ++attempt) {
        started = connections.Setup();
        if (started.problems.empty())
            break;
        connections.Shutdown();
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(started.problems.empty()) << started.problems.front().text;
    ASSERT_TRUE(connections.IsConnected(connection));
    if (framing != "tcp")
        std::this_thread::sleep_for(1500ms); // the serial peer starts after its device opens

    PollEachOnce(connections, connection, cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto tag = m_tags.Snapshot(i);
        SCOPED_TRACE(framing + " tag " + std::to_string(i));
        EXPECT_EQ(tag.ValueValid, cases[i].valid) << tag.Status;
        if (cases[i].valid)
            EXPECT_DOUBLE_EQ(tag.RealValue, cases[i].value);
        else
            EXPECT_EQ(tag.Status, cases[i].status);
    }
    connections.Shutdown();
    EXPECT_FALSE(connections.IsConnected(connection));
}

INSTANTIATE_TEST_SUITE_P(Framings, ConnectionsPeerTest, ::testing::Values("tcp", "rtu", "ascii"));
