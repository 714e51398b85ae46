// The network connection against the simulator on loopback: how many transactions it
// makes at the shortest poll interval, how long a poll step takes to reach the wire and
// to come back (beside a plain libmodbus client), and what an idle station costs in CPU.
#include "BenchSupport.h"
#include "Connections.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"

#include <modbus.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace halvane {
namespace {

using namespace bench;
using namespace std::chrono_literals;

constexpr int kUnit = 1;
constexpr int kRegister = 101; // the simulator's test word 12000 + unit
constexpr uint16_t kRegisterValue = 12001;
constexpr auto kPollRun = 5s;
constexpr auto kIdleRun = 10s;

// The simulator on a port it chooses itself (its start-up line names it), ended with
// SIGTERM when it goes out of scope.
class Simulator final {
public:
    Simulator() {
        try {
            Start();
        } catch (...) {
            Stop();
            throw;
        }
    }
    ~Simulator() { Stop(); }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    int Port() const { return m_port; }

private:
    void Start() {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        m_out = out[0];
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::string args[] = {HALVANE_SIM, "--tcp", "127.0.0.1:0", "--units", "1,2", "--static"};
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                        args[4].data(), args[5].data(), nullptr};
        const int rc = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv, environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            m_pid = -1;
            throw std::runtime_error("cannot start " + args[0]);
        }
        // "halvane-sim: serving units 1,2 over Modbus TCP on 127.0.0.1:PORT"
        std::string line;
        char c = 0;
        while (::read(m_out, &c, 1) == 1 && c != '\n')
            line += c;
        const size_t colon = line.rfind(':');
        if (c != '\n' || colon == std::string::npos)
            throw std::runtime_error("the simulator did not start: " + line);
        m_port = std::stoi(line.substr(colon + 1));
    }
    void Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(std::exchange(m_pid, -1), nullptr, 0);
        }
        if (m_out >= 0)
            ::close(std::exchange(m_out, -1));
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_port = 0;
};

double CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// A plain libmodbus client of the simulator, reading the same register as the tag.
class PlainClient final {
public:
    explicit PlainClient(int port) : m_ctx(modbus_new_tcp("127.0.0.1", port)) {
        if (!m_ctx || modbus_connect(m_ctx.get()) != 0 || modbus_set_slave(m_ctx.get(), kUnit) != 0)
            throw std::runtime_error(std::string("libmodbus: ") + modbus_strerror(errno));
    }
    // One read, timed into `us`; false when it failed or read another value.
    bool Read(std::vector<double>& us) {
        uint16_t value = 0;
        const auto start = Clock::now();
        const int rc = modbus_read_registers(m_ctx.get(), kRegister, 1, &value);
        us.push_back(Micros(Clock::now() - start));
        return rc == 1 && value == kRegisterValue;
    }

private:
    struct Close {
        void operator()(modbus_t* ctx) const {
            modbus_close(ctx);
            modbus_free(ctx);
        }
    };
    std::unique_ptr<modbus_t, Close> m_ctx;
};

int Run() {
    Simulator sim;
    TempDir folder;
    ProfileStore store(folder / "config.cfg");
    store.WriteString("Ethernet.1", "enabled", "1");
    store.WriteString("Ethernet.1", "host", "127.0.0.1");
    store.WriteInteger("Ethernet.1", "port", sim.Port());
    store.WriteInteger("Ethernet.1", "timeout", 1000);
    store.WriteInteger("Ethernet.1", "interval", 10);

    TDataChannel word;
    word.Port = kNetworkConnection;
    word.ModuleAddr = kUnit;
    word.Function = 2; // read holding registers
    word.RegisterAddr = kRegister;
    word.ByteLength = 2;
    TagTable tags;
    tags.Assign({word});

    TraceTimes trace;
    Connections connections(tags, store, &trace);
    bool problem = false;
    connections.Setup([&problem](const ConnectionProblem& failure) {
        std::fprintf(stderr, "%s\n", failure.text.c_str());
        problem = true;
    });
    if (problem)
        return 1;

    // The poll timer at its shortest interval. Half an interval after each poll the
    // plain client reads the same register, so that both see the same machine.
    const std::chrono::milliseconds interval(connections.PollIntervalMs(kNetworkConnection));
    const auto ticks = static_cast<size_t>(kPollRun / interval);
    PlainClient plain(sim.Port());
    Times polls;
    std::vector<double> paced;
    int plainFailures = 0;
    const auto elapsed = Tick(std::chrono::microseconds(interval) / 2, 2 * ticks, [&](size_t i) {
        if (i % 2 == 1) {
            plainFailures += plain.Read(paced) ? 0 : 1;
            return;
        }
        polls.push_back(Clock::now());
        connections.PollNext(kNetworkConnection);
    });
    const Times sent = trace.Sent();
    const Times received = trace.Received();
    const TDataChannel last = tags.Snapshot(0);
    std::vector<double> burst;
    for (size_t i = 0; i < ticks; ++i)
        plainFailures += plain.Read(burst) ? 0 : 1;

    // The same station with nothing to poll.
    const double cpuBefore = CpuMs();
    std::this_thread::sleep_for(kIdleRun);
    const double idleCpuMs = CpuMs() - cpuBefore;
    connections.Shutdown();

    const std::vector<double> toRequest = SincePoll(polls, sent);
    const std::vector<double> toReply = SincePoll(polls, received);
    const double rate =
        static_cast<double>(received.size()) / std::chrono::duration<double>(elapsed).count();
    const double ideal = 1000.0 / static_cast<double>(interval.count());

    std::printf("Connection %d against halvane-sim on 127.0.0.1:%d, poll interval %lld ms: %zu "
                "polls, %zu requests, %zu replies, last reading %g (%s)\n",
                kNetworkConnection, sim.Port(), static_cast<long long>(interval.count()),
                polls.size(), sent.size(), received.size(), last.RealValue,
                last.ValueValid ? "valid" : last.Status.c_str());
    Row("figure", "station", "reference", "ratio");
    Row("transactions per second", Text("%.1f/s", rate), Text("%.0f/s ideal", ideal),
        Text("%.3f", rate / ideal));
    Row("poll -> request sent, median / p99", MedianAndP99(toRequest), "", "");
    Row("poll -> reply, median / p99", MedianAndP99(toReply), MedianAndP99(paced) + " libmodbus",
        Text("%.2f", Percentile(toReply, 0.5) / Percentile(paced, 0.5)));
    Row("libmodbus back to back, median / p99", "", MedianAndP99(burst), "");
    Row("CPU of the idle station per 10 s", Text("%.1f ms", idleCpuMs), "", "");
    if (plainFailures > 0)
        std::printf("libmodbus: %d failed reads\n", plainFailures);
    return 0;
}

} // namespace
} // namespace halvane

int main() {
    return halvane::bench::RunReported("bench_comm", halvane::Run);
}
