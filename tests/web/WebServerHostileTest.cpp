#include "CLog.h"
#include "WebServer.h"

#include "Sanitizers.h"
#include "WebTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace halvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::HttpReply;
using test::ParseReply;
using test::RawClient;

// Under ThreadSanitizer everything runs many times slower: the crowds are smaller there.
constexpr size_t kCrowdDivisor = test::kThreadSanitizer ? 4 : 1;

size_t Crowd(size_t count) {
    return count / kCrowdDivisor;
}

std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// This process's resident memory: the server runs inside it.
size_t ResidentBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:"))
            return std::stoul(line.substr(6)) * 1024;
    return 0;
}

// The attackers come from loopback addresses of their own: 127.0.0.2, 127.0.0.3, ...
std::string Attacker(size_t index) {
    return "127.0.0." + std::to_string(2 + index);
}

std::string Get(const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: a\r\n\r\n";
}

// The whole replies, each as long as its Content-Length says, that arrive within `timeout`,
// up to `count` of them.
std::vector<HttpReply> ReceiveReplies(RawClient& client, size_t count,
                                      std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::vector<HttpReply> replies;
    std::string pending;
    while (replies.size() < count) {
        const size_t headEnd = pending.find("\r\n\r\n");
        if (headEnd != std::string::npos) {
            HttpReply head = ParseReply(pending.substr(0, headEnd + 4));
            const std::string length = head.Header("content-length");
            const size_t end = headEnd + 4 + (length.empty() ? 0 : std::stoul(length));
            if (pending.size() >= end) {
                replies.push_back(ParseReply(pending.substr(0, end)));
                pending.erase(0, end);
                continue;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms || client.Closed())
            break;
        pending += client.Receive(left, 1);
    }
    return replies;
}

// A day file that takes longer to read than any history request may: its header, then a
// hole of 64 GiB without line ends (it takes no disk space).
const QDate kHugeDay(2026, 12, 14);
const std::string kHugeDayHistory = "/history.csv?tags=1&from=2026-12-14&to=2026-12-14T23:00";

// A station with a small document and one tag with a day of history that takes long to read.
class WebServerHostileTest : public ::testing::Test {
protected:
    void SetUp() override {
        station.Document("index.html", "hello");
        station.SetTags({test::NamedTag("Level", "m")});
        WriteText(HistoryFile(kHugeDay), "\"Timestamp\";\"Level[m]\"\r\n");
        std::filesystem::resize_file(HistoryFile(kHugeDay), std::uintmax_t{64} << 30);
    }
    void Start(WebServerLimits limits = {}) {
        server = std::make_unique<WebServer>(station.Context(), limits);
        ASSERT_TRUE(server->Start(0)) << server->LastError();
    }
    int Port() const { return server->Port(); }
    // A 10 MB document and one screen of a 6 MB picture, before Start.
    void AddLargeReplies() {
        station.Document("big.bin", std::string(10 << 20, 'd'));
        station.SetScreens({{"Overview", "BM" + std::string((6 << 20) - 2, 'p')}});
    }

    // A normal client's request from 127.0.0.1, answered within 1 s.
    void ExpectHelloAtOnce() {
        const auto asked = Clock::now();
        RawClient client(Port());
        EXPECT_TRUE(client.Send(Get("/index.html")));
        const HttpReply reply = ParseReply(client.Receive(2s));
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.body, "hello");
        EXPECT_LT(Since(asked), 1000ms);
    }

    test::WebStation station;
    std::unique_ptr<WebServer> server;
};

// Clients with a receive window of 2 KB that read it now and then, or (one in four) never
// after the first.
class SlowReaders {
public:
    SlowReaders(int port, const std::string& path, size_t count, size_t addresses) {
        for (size_t i = 0; i < count; ++i) {
            m_clients.push_back(std::make_unique<RawClient>(port, Attacker(i % addresses), 2048));
            m_clients.back()->Send(Get(path));
        }
        m_received.resize(count);
        m_reading = std::thread([this] { Read(); });
    }
    ~SlowReaders() { Finish(); }

    // Whether each has had the beginning of its reply, or been closed, within `timeout`.
    bool Settle(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (m_settled < m_clients.size() && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return m_settled == m_clients.size();
    }

    // Stops reading; then the beginning of what each has received, and whether the server
    // closed it.
    struct Outcome {
        std::string start;
        bool closed;
    };
    std::vector<Outcome> Finish() {
        if (m_reading.joinable()) {
            m_done = true;
            m_reading.join();
        }
        std::vector<Outcome> outcomes;
        for (size_t i = 0; i < m_clients.size(); ++i) {
            Take(i);
            outcomes.push_back({m_received[i], m_clients[i]->Closed()});
        }
        return outcomes;
    }
    size_t PeakResidentBytes() const { return m_peakResident; }

private:
    void Take(size_t i) {
        const bool settled = !m_received[i].empty() || m_clients[i]->Closed();
        const std::string bytes = m_clients[i]->Receive(2ms, 2048);
        if (m_received[i].size() < 64)
            m_received[i] += bytes.substr(0, 64);
        m_settled += !settled && (!m_received[i].empty() || m_clients[i]->Closed());
    }
    void Read() {
        while (!m_done) {
            for (size_t i = 0; i < m_clients.size() && !m_done; ++i)
                if (i % 4 != 0 || m_received[i].empty())
                    Take(i);
            m_peakResident = std::max(m_peakResident.load(), ResidentBytes());
            std::this_thread::sleep_for(100ms);
        }
    }

    std::vector<std::unique_ptr<RawClient>> m_clients;
    std::vector<std::string> m_received;
    std::atomic<bool> m_done = false;
    std::atomic<size_t> m_settled = 0;
    std::atomic<size_t> m_peakResident = 0;
    std::thread m_reading;
};

TEST_F(WebServerHostileTest, SlowReadersOfLargeRepliesLeaveOthersAnsweredAndMemoryBounded) {
    const size_t readers = Crowd(600);
    const struct {
        std::string what;
        std::string path;
        size_t addresses;
        WebServerLimits limits;
    } cases[] = {
        {"a 10 MB document", "/big.bin", 20, {.maxConnections = 1000}},
        {"a screen picture", "/screen-image-0.bmp", 20, {.maxConnections = 1000}},
        {"a 10 MB document from one address", "/big.bin", 1, {}},
    };
    AddLargeReplies();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start(c.limits);
        const size_t residentBefore = ResidentBytes();
        SlowReaders slow(Port(), c.path, readers, c.addresses);
        EXPECT_TRUE(slow.Settle(5s));
        for (int i = 0; i < 5; ++i) {
            ExpectHelloAtOnce();
            std::this_thread::sleep_for(200ms);
        }
        const auto outcomes = slow.Finish();
        const size_t served = std::count_if(outcomes.begin(), outcomes.end(), [](auto& o) {
            return o.start.starts_with("HTTP/1.1 200 OK\r\n");
        });
        const size_t refused = std::count_if(outcomes.begin(), outcomes.end(),
                                             [](auto& o) { return o.start.empty() && o.closed; });
        if (c.addresses > 1) {
            EXPECT_EQ(served, readers);
        } else {
            EXPECT_GT(served, 0u);
            EXPECT_LE(served, kMaxConnectionsPerAddress);
            EXPECT_EQ(served + refused, readers);
        }
        // What the readers add: freed memory of earlier tests may still be held by the process.
        EXPECT_LT(slow.PeakResidentBytes() - residentBefore, 100u << 20);
    }
}

// Each churner sends its request, reads the reply and keeps its end of the connection open.
TEST_F(WebServerHostileTest, ClientsThatNeverCloseCauseNoResetForOthers) {
    Start();
    std::atomic<bool> churning = true;
    std::atomic<int> asked = 0;
    std::atomic<int> failed = 0;
    std::thread normal([&] {
        while (churning) {
            RawClient client(Port());
            client.Send(Get("/index.html"));
            const HttpReply reply = ParseReply(client.Receive(2s));
            ++asked;
            failed += reply.status != 200 || reply.body != "hello";
        }
    });
    const size_t churners = Crowd(2000);
    std::vector<std::unique_ptr<RawClient>> kept;
    size_t answered = 0;
    const auto read = [&](size_t i) {
        const auto replies = ReceiveReplies(*kept[i], 1, 2s);
        answered += replies.size() == 1 && replies[0].status == 200;
    };
    const auto start = Clock::now();
    for (size_t i = 0; i < churners && Since(start) < 5s; ++i) {
        std::this_thread::sleep_until(start + i * 1ms);
        kept.push_back(std::make_unique<RawClient>(Port(), Attacker(i % 10)));
        kept.back()->Send(Get("/index.html"));
        if (i >= 10)
            read(i - 10);
    }
    for (size_t i = kept.size() - 10; i < kept.size(); ++i)
        read(i);
    churning = false;
    normal.join();
    EXPECT_EQ(kept.size(), churners);
    EXPECT_EQ(answered, kept.size());
    EXPECT_GT(asked, 10);
    EXPECT_EQ(failed, 0) << "of " << asked;
}

TEST_F(WebServerHostileTest, KeptConnectionsAnswerEveryRequestInOrder) {
    Start({.keepAlive = true});
    const struct {
        std::string path;
        int status;
        std::string body;
    } requests[] = {
        // Documents, templates and the history each have threads of their own.
        {"/p0.txt", 200, "page 0"},
        {"/p1.html", 200, "page 1\r\n"},
        {"/history.csv?tags=1&from=2026-12-09&to=2026-12-09T01:00", 200, "Timestamp,Level[m]\r\n"},
        {"/p3.txt", 200, "page 3"},
        {"/screen-image-9.bmp", 404,
         "<html><head><title>Error</title></head><body>Not Found</body></html>"},
        {"/p5.html", 200, "page 5\r\n"},
        {"/p6.txt", 200, "page 6"},
        {"/p7.html", 200, "page 7\r\n"},
        {"/history.csv?tags=2", 400, "Tag number \"2\" is not a whole number from 1 to 1.\n"},
        {"/p9.txt", 200, "page 9"},
    };
    for (const char* name : {"p0.txt", "p3.txt", "p6.txt", "p9.txt"})
        station.Document(name, "page " + std::string(1, name[1]));
    for (const char* name : {"p1.html.tpl", "p5.html.tpl", "p7.html.tpl"})
        station.Document(name, "page " + std::string(1, name[1]));

    RawClient client(Port());
    for (size_t i = 0; i < 3; ++i) { // one after the other
        ASSERT_TRUE(client.Send(Get(requests[i].path))) << requests[i].path;
        const auto replies = ReceiveReplies(client, 1, 2s);
        ASSERT_EQ(replies.size(), 1u) << requests[i].path;
        EXPECT_EQ(replies[0].body, requests[i].body) << requests[i].path;
        EXPECT_NE(replies[0].Header("connection"), "close") << requests[i].path;
    }
    std::string pipelined;
    for (const auto& request : requests)
        pipelined += Get(request.path);
    ASSERT_TRUE(client.Send(pipelined));
    const auto replies = ReceiveReplies(client, std::size(requests), 3s);
    ASSERT_EQ(replies.size(), std::size(requests));
    for (size_t i = 0; i < replies.size(); ++i) {
        EXPECT_EQ(replies[i].status, requests[i].status) << requests[i].path;
        EXPECT_EQ(replies[i].body, requests[i].body) << requests[i].path;
    }
    EXPECT_FALSE(client.Closed());
}

TEST_F(WebServerHostileTest, WithoutKeepAliveAConnectionCarriesOneRequest) {
    Start();
    RawClient client(Port());
    ASSERT_TRUE(client.Send(Get("/index.html")));
    const HttpReply reply = ParseReply(client.Receive(2s));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "hello");
    EXPECT_EQ(reply.Header("connection"), "close");
    EXPECT_TRUE(client.Closed());
}

TEST_F(WebServerHostileTest, RequestsAreReadAsHttp11ClientsSendThem) {
    Start();
    RawClient expecting(Port());
    ASSERT_TRUE(expecting.Send("POST /index.html HTTP/1.1\r\nHost: a\r\nExpect: 100-continue\r\n"
                               "Content-Length: 5\r\n\r\n"));
    EXPECT_EQ(expecting.Receive(1s, 1), "HTTP/1.1 100 Continue\r\n\r\n");
    ASSERT_TRUE(expecting.Send("a=b&c"));
    const HttpReply continued = ParseReply(expecting.Receive(2s));
    EXPECT_EQ(continued.status, 200);
    EXPECT_EQ(continued.body, "hello");

    RawClient leadingEmptyLine(Port());
    ASSERT_TRUE(leadingEmptyLine.Send("\r\n" + Get("/index.html")));
    const HttpReply reply = ParseReply(leadingEmptyLine.Receive(2s));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "hello");
}

TEST_F(WebServerHostileTest, DroppedHistoryRequestsHoldNeitherDocumentsNorLaterHistory) {
    Start();
    {
        std::vector<std::unique_ptr<RawClient>> dropping;
        for (size_t i = 0; i < 40; ++i) {
            dropping.push_back(std::make_unique<RawClient>(Port(), Attacker(i % 2)));
            EXPECT_TRUE(dropping.back()->Send(Get(kHugeDayHistory)));
        }
        std::this_thread::sleep_for(200ms);
        ExpectHelloAtOnce();
    }
    ExpectHelloAtOnce();
    const auto asked = Clock::now();
    RawClient client(Port());
    ASSERT_TRUE(client.Send(Get("/history.csv?tags=1&from=2026-12-09&to=2026-12-09T01:00")));
    const HttpReply reply = ParseReply(client.Receive(5s));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "Timestamp,Level[m]\r\n");
    EXPECT_LT(Since(asked), 3s);
}

size_t OpenFiles() {
    const std::filesystem::directory_iterator files("/proc/self/fd");
    return std::distance(begin(files), end(files));
}

TEST_F(WebServerHostileTest, StopWithEveryKindOfClientConnectedEndsAtOnce) {
    AddLargeReplies();
    const size_t filesBefore = OpenFiles();
    Start({.keepAlive = true});
    std::vector<std::unique_ptr<RawClient>> clients;
    const auto connect = [&](const std::string& source, const std::string& request,
                             int receiveBuffer = 0) {
        clients.push_back(std::make_unique<RawClient>(Port(), source, receiveBuffer));
        clients.back()->Send(request);
    };
    for (size_t i = 0; i < 10; ++i) {
        connect(Attacker(16), Get("/index.html"));                        // answered and kept
        connect(Attacker(17), "GET /index.html HTTP/1.1\r\nHost: a\r\n"); // a head begun
        connect(Attacker(18), Get(kHugeDayHistory));
    }
    connect("127.0.0.1", "POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 9\r\n\r\n");
    const size_t slowFrom = clients.size();
    for (size_t i = 0; i < Crowd(100); ++i) {
        connect(Attacker(i % 8), Get("/big.bin"), 2048);
        connect(Attacker(8 + i % 8), Get("/screen-image-0.bmp"), 2048);
    }
    std::this_thread::sleep_for(300ms);

    const auto stopping = Clock::now();
    server->Stop();
    EXPECT_LT(Since(stopping), 1000ms);
    // Every connection is closed on the server's side; the slow readers would see it only
    // once they have read what is still on its way.
    EXPECT_EQ(OpenFiles(), filesBefore + clients.size());
    for (size_t i = 0; i < slowFrom; ++i) {
        clients[i]->Receive(1s);
        EXPECT_TRUE(clients[i]->Closed()) << i;
    }
}

} // namespace
} // namespace halvane
