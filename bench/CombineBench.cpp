// Combined requests against a libmodbus slave: the time to refresh every tag of one
// connection once, with `combine` off and on, beside its bound (requests × poll interval):
// 1000 words on neighbouring holding registers over TCP on loopback, and 100 over RTU at
// 115200 bit/s on a pty pair. Beside them, one block's transaction and a plain libmodbus
// client reading the same registers, and for RTU the line time of the block's frames.
#include "BenchSupport.h"
#include "ModbusTransaction.h"
#include "NetworkLink.h"
#include "PeerSupport.h"
#include "TComPort.h"

#include <modbus.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace halvane {
namespace {

using namespace bench;
using namespace std::chrono_literals;

constexpr int kUnit = 1;
constexpr int kMappedRegisters = 1000;
constexpr int kTcpTags = 1000;
constexpr int kRtuTags = 100;
constexpr int kBaudRate = 115200;
constexpr int kBaudRateId = 12; // 115200 in the connection settings' table
constexpr int kBlockRuns = 100;

struct FreeModbus {
    void operator()(modbus_t* ctx) const {
        modbus_close(ctx);
        modbus_free(ctx);
    }
};
using ModbusContext = std::unique_ptr<modbus_t, FreeModbus>;

// Answers requests on `ctx` until the master goes away. Holding register i holds i.
[[noreturn]] void Serve(modbus_t* ctx) {
    modbus_mapping_t* map = modbus_mapping_new(0, 0, kMappedRegisters, 0);
    for (int i = 0; i < kMappedRegisters; ++i)
        map->tab_registers[i] = static_cast<uint16_t>(i);
    uint8_t query[MODBUS_MAX_ADU_LENGTH];
    for (;;) {
        const int length = modbus_receive(ctx, query);
        if (length > 0)
            modbus_reply(ctx, query, length, map);
        else if (length < 0 && errno != EMBBADCRC)
            std::_Exit(0);
    }
}

// A libmodbus slave (unit 1) in a child process of its own, ended with SIGTERM.
class Slave final {
public:
    // Over Modbus TCP on a free loopback port; each master gets a process of its own.
    static Slave Tcp() {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = peers::Loopback(0);
        socklen_t length = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if (::bind(listener, any, length) != 0 || ::listen(listener, 8) != 0 ||
            ::getsockname(listener, any, &length) != 0)
            throw std::runtime_error("cannot listen on loopback");
        Slave slave(ntohs(address.sin_port));
        slave.m_pid = ::fork();
        if (slave.m_pid == 0) {
            std::signal(SIGCHLD, SIG_IGN); // the masters' processes need no waiting for
            for (;;) {
                const int master = ::accept(listener, nullptr, nullptr);
                if (master >= 0 && ::fork() == 0) {
                    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
                    modbus_t* ctx = modbus_new_tcp("127.0.0.1", slave.m_port);
                    modbus_set_socket(ctx, master);
                    Serve(ctx);
                }
                ::close(master);
            }
        }
        ::close(listener);
        return slave;
    }
    // Over Modbus RTU on `device`, 115200 8N1.
    static Slave Rtu(const std::string& device) {
        Slave slave(0);
        slave.m_pid = ::fork();
        if (slave.m_pid == 0) {
            modbus_t* ctx = modbus_new_rtu(device.c_str(), kBaudRate, 'N', 8, 1);
            if (!ctx || modbus_set_slave(ctx, kUnit) != 0 || modbus_connect(ctx) != 0)
                std::_Exit(1);
            Serve(ctx);
        }
        return slave;
    }
    Slave(Slave&& other) noexcept : m_port(other.m_port), m_pid(std::exchange(other.m_pid, -1)) {}
    Slave& operator=(Slave&&) = delete;
    ~Slave() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    int Port() const { return m_port; }

private:
    explicit Slave(int port) : m_port(port) {}

    int m_port;
    pid_t m_pid = -1;
};

// A plain libmodbus master reading `count` registers from 0, each read timed into `us`.
class PlainClient final {
public:
    explicit PlainClient(modbus_t* ctx) : m_ctx(ctx) {
        if (!m_ctx || modbus_set_slave(m_ctx.get(), kUnit) != 0 || modbus_connect(m_ctx.get()) != 0)
            throw std::runtime_error(std::string("libmodbus: ") + modbus_strerror(errno));
    }
    bool Read(int count, std::vector<double>& us) {
        std::vector<uint16_t> values(static_cast<size_t>(count));
        const auto start = Clock::now();
        const int rc = modbus_read_registers(m_ctx.get(), 0, count, values.data());
        us.push_back(Micros(Clock::now() - start));
        return rc == count && values.back() == count - 1;
    }

private:
    ModbusContext m_ctx;
};

// One connection of the station over `count` word tags on registers 0.., with `combine`.
class Station final {
public:
    Station(int connection, int count, bool combine,
            const std::function<void(ProfileStore&)>& setup)
        : m_connection(connection) {
        setup(m_store);
        m_store.WriteString(ConnectionSection(connection), "combine", combine ? "1" : "0");
        std::vector<TDataChannel> tags;
        for (int address = 0; address < count; ++address)
            tags.push_back(peers::Tag(connection, kUnit, 2, address));
        m_tags.Assign(tags);
        bool problem = false;
        m_connections.Setup([&problem](const ConnectionProblem& failure) {
            std::fprintf(stderr, "%s\n", failure.text.c_str());
            problem = true;
        });
        if (problem)
            throw std::runtime_error("the station could not start");
    }
    ~Station() { m_connections.Shutdown(); }

    std::chrono::milliseconds Interval() const {
        return std::chrono::milliseconds(m_connections.PollIntervalMs(m_connection));
    }
    // Polls at the interval until every tag has been read once (or twice as many polls as
    // tags went by): the requests it took and the time from the first poll to the last reply.
    std::pair<size_t, Clock::duration> Refresh() {
        m_tags.UpdateAll([](TDataChannel& tag, size_t) { tag.SetTagError("Unknown"); });
        m_trace.Clear();
        const auto start = Clock::now();
        for (size_t tick = 0; tick < 2 * m_tags.Size(); ++tick) {
            std::this_thread::sleep_until(start + tick * Interval());
            if (AllValid())
                break;
            m_connections.PollNext(m_connection);
        }
        const Times received = m_trace.Received();
        return {m_trace.Sent().size(),
                received.empty() ? Clock::duration{} : received.back() - start};
    }
    // Poll step -> reply of `runs` turns; `between(i)` runs half an interval after each.
    std::vector<double> PollToReply(size_t runs, const std::function<void()>& between) {
        m_trace.Clear();
        Times polls;
        Tick(std::chrono::microseconds(Interval()) / 2, 2 * runs, [&](size_t i) {
            if (i % 2 == 1) {
                between();
                return;
            }
            polls.push_back(Clock::now());
            m_connections.PollNext(m_connection);
        });
        m_pollToRequest = SincePoll(polls, m_trace.Sent());
        return SincePoll(polls, m_trace.Received());
    }
    // Of the last PollToReply: poll step -> request sent.
    const std::vector<double>& PollToRequest() const { return m_pollToRequest; }
    bool AllValid() const {
        bool valid = true;
        m_tags.ReadAll([&valid](const TDataChannel& tag, size_t i) {
            valid = valid && tag.ValueValid && tag.RawValue == static_cast<double>(i);
        });
        return valid;
    }

private:
    int m_connection;
    TempDir m_folder;
    ProfileStore m_store{m_folder / "config.cfg"};
    TagTable m_tags;
    TraceTimes m_trace;
    Connections m_connections{m_tags, m_store, &m_trace};
    std::vector<double> m_pollToRequest;
};

// One block's transaction as the worker runs it, `runs` times; `between()` after each.
std::vector<double> TimeExchanges(const TransactionContext& context, int count, int runs,
                                  const std::function<void()>& between) {
    const ModbusRequest block =
        ModbusRequest::MakeRead(ModbusFunction::ReadHoldingRegisters, kUnit, 0, count);
    std::vector<double> us;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const ExchangeOutcome outcome = Exchange(block, context);
        us.push_back(Micros(Clock::now() - start));
        failures += outcome.data ? 0 : 1;
        between();
    }
    if (failures > 0)
        std::printf("station: %d failed block transactions\n", failures);
    return us;
}

std::string Seconds(Clock::duration d) {
    return Text("%.4f s", std::chrono::duration<double>(d).count());
}

// The full refresh with `combine` off and on, beside requests × interval.
template <class Start> void RefreshRows(const char* link, const Start& start) {
    for (const bool combine : {false, true}) {
        Station station = start(combine);
        const auto [requests, time] = station.Refresh();
        const auto bound = static_cast<long>(requests) * station.Interval();
        Row(Text("%s refresh, combine %s", link, combine ? "on" : "off"),
            Seconds(time) + Text(" %zu req", requests),
            Seconds(bound) + Text(" = %zu x %lld ms", requests,
                                  static_cast<long long>(station.Interval().count())),
            Text("%.3f%s", std::chrono::duration<double>(time) / bound,
                 station.AllValid() ? "" : " (values wrong)"));
    }
}

void Tcp() {
    const Slave slave = Slave::Tcp();
    const auto start = [&slave](bool combine) {
        return Station(kNetworkConnection, kTcpTags, combine, [&slave](ProfileStore& store) {
            store.WriteString("Ethernet.1", "enabled", "1");
            store.WriteString("Ethernet.1", "host", "127.0.0.1");
            store.WriteInteger("Ethernet.1", "port", slave.Port());
            store.WriteInteger("Ethernet.1", "timeout", 1000);
            store.WriteInteger("Ethernet.1", "interval", 10);
        });
    };
    RefreshRows("TCP 1000 words", start);

    // One block of 125 registers at a time, a plain client's read of the same 125 right
    // after each, so that both see the same machine.
    PlainClient plain(modbus_new_tcp("127.0.0.1", slave.Port()));
    std::vector<double> plainUs;
    int plainFailures = 0;
    const auto readPlain = [&] { plainFailures += plain.Read(125, plainUs) ? 0 : 1; };
    NetworkLink link;
    if (!link.Connect("127.0.0.1", slave.Port()))
        throw std::runtime_error("cannot connect: " + link.LastError());
    std::minstd_rand random;
    TransactionContext context;
    context.connection = kNetworkConnection;
    context.protocol = ModbusProtocol::Tcp;
    context.link = &link;
    context.random = &random;
    const std::vector<double> exchangeUs = TimeExchanges(context, 125, kBlockRuns, readPlain);
    Row("TCP block of 125, transaction", MedianAndP99(exchangeUs),
        MedianAndP99(plainUs) + " libmodbus",
        Text("%.2f", Percentile(exchangeUs, 0.5) / Percentile(plainUs, 0.5)));
    link.Close();

    // The same through the poll step and the worker's hand-over, a poll every interval.
    Station station = start(true);
    plainUs.clear();
    const std::vector<double> blockUs = station.PollToReply(kBlockRuns, readPlain);
    Row("TCP block of 125, poll -> reply", MedianAndP99(blockUs),
        MedianAndP99(plainUs) + " libmodbus",
        Text("%.2f", Percentile(blockUs, 0.5) / Percentile(plainUs, 0.5)));
    Row("TCP block of 125, poll -> request sent", MedianAndP99(station.PollToRequest()), "", "");
    if (plainFailures > 0)
        std::printf("libmodbus: %d failed reads\n", plainFailures);
}

void Rtu() {
    TempDir folder;
    const peers::PtyPair pty(folder.Path());
    ::setenv("HALVANE_COM1", pty.StationEnd().c_str(), 1);
    const Slave slave = Slave::Rtu(pty.PeerEnd());
    std::this_thread::sleep_for(300ms);
    const auto start = [](bool combine) {
        return Station(1, kRtuTags, combine, [](ProfileStore& store) {
            store.WriteString("Serial.1", "enabled", "1");
            store.WriteInteger("Serial.1", "comport", 1);
            store.WriteInteger("Serial.1", "protocolId", 1);
            store.WriteInteger("Serial.1", "baudrateId", kBaudRateId);
            store.WriteInteger("Serial.1", "timeout", 1000);
            store.WriteInteger("Serial.1", "interval", 200);
        });
    };
    RefreshRows("RTU 100 words", start);

    // The frames of one block: request 8 bytes, reply 3 + 200 + 2; 10 bits a character.
    const double lineUs = (8.0 + 3 + 2 * kRtuTags + 2) * 10 / kBaudRate * 1e6;
    std::vector<double> exchangeUs;
    {
        TComPort port;
        port.SetPortSettings(pty.StationEnd(), kBaudRate, 8, TComPort::NoParity,
                             TComPort::OneStopBit);
        port.SetTimeouts(1000, -1);
        if (!port.Open())
            throw std::runtime_error("cannot open " + pty.StationEnd());
        TransactionContext context;
        context.connection = 1;
        context.protocol = ModbusProtocol::Rtu;
        context.port = &port;
        exchangeUs = TimeExchanges(context, kRtuTags, kBlockRuns, [] {});
    }
    std::vector<double> plainUs;
    {
        PlainClient plain(modbus_new_rtu(pty.StationEnd().c_str(), kBaudRate, 'N', 8, 1));
        for (int i = 0; i < kBlockRuns; ++i)
            plain.Read(kRtuTags, plainUs);
    }
    Row("RTU block of 100, transaction", MedianAndP99(exchangeUs),
        Text("%.0f us line time", lineUs), Text("%.4f", Percentile(exchangeUs, 0.5) / lineUs));
    Row("RTU libmodbus read of the 100", MedianAndP99(plainUs), "(a pty paces no bytes)", "");
}

} // namespace
} // namespace halvane

int main() {
    return halvane::bench::RunReported("bench_combine", [] {
        halvane::bench::Row("figure", "station", "bound / reference", "ratio");
        halvane::Tcp();
        halvane::Rtu();
        return 0;
    });
}
