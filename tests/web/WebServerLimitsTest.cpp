#include "WebServer.h"

#include "WebTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace halvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Curl;
using test::HttpReply;
using test::ParseReply;
using test::RawClient;
using test::Repeated;

const std::string kPartialHead = "GET / HTTP/1.1\r\nHost: a\r\n";

std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

std::string ErrorPage(const std::string& reason) {
    return "<html><head><title>Error</title></head><body>" + reason + "</body></html>";
}

class WebServerLimitsTest : public ::testing::Test {
protected:
    void Start(WebServerLimits limits = {}) {
        server = std::make_unique<WebServer>(station.Context(), limits);
        ASSERT_TRUE(server->Start(0)) << server->LastError();
        station.Document("index.html", "hello");
    }
    int Port() const { return server->Port(); }

    // The clients, each with a request head begun and never finished.
    std::vector<std::unique_ptr<RawClient>> Loiterers(size_t count) {
        std::vector<std::unique_ptr<RawClient>> clients;
        for (size_t i = 0; i < count; ++i) {
            clients.push_back(std::make_unique<RawClient>(Port()));
            EXPECT_TRUE(clients.back()->Send(kPartialHead));
        }
        return clients;
    }

    test::WebStation station;
    std::unique_ptr<WebServer> server;
};

TEST_F(WebServerLimitsTest, SlowClientsNeitherHoldOthersNorOutlastTheRequestTime) {
    Start({.requestTime = 1500ms});
    const auto connected = Clock::now();
    auto slow = Loiterers(12);
    // Each sends one more byte of its head every 200 ms, for 3 s at most.
    std::atomic<bool> done = false;
    std::thread drip([&] {
        for (int round = 0; round < 15 && !done; ++round) {
            std::this_thread::sleep_for(200ms);
            for (auto& client : slow)
                client->Send("X");
        }
    });
    const auto asked = Clock::now();
    const HttpReply normal = Curl(Port(), "/", {"--max-time", "3"});
    EXPECT_EQ(normal.status, 200);
    EXPECT_EQ(normal.body, "hello");
    EXPECT_LT(Since(asked), 1000ms);
    for (auto& client : slow) {
        const HttpReply reply = ParseReply(client->Receive(3s));
        EXPECT_EQ(reply.status, 408);
        EXPECT_EQ(reply.body, ErrorPage("Request Timeout"));
        EXPECT_TRUE(client->Closed());
    }
    EXPECT_LT(Since(connected), 2500ms);
    done = true;
    drip.join();
}

// Captions that take their time, as a stand-in for a slow expansion.
class SlowScreens final : public ScreenSource {
public:
    size_t ScreenCount() const override { return 1; }
    std::string ScreenCaption(size_t) const override {
        ++calls;
        std::this_thread::sleep_for(5ms);
        return "Overview";
    }
    SharedBmp ScreenBmp(size_t) const override { return nullptr; }
    mutable std::atomic<int> calls = 0;
};

TEST_F(WebServerLimitsTest, StopClosesEveryConnectionAndEndsExpansionsAtOnce) {
    SlowScreens screens;
    TemplateCounters counters;
    const WebContext context = station.Context();
    server =
        std::make_unique<WebServer>(WebContext{context.store, context.tags, &screens, counters});
    ASSERT_TRUE(server->Start(0)) << server->LastError();
    // 1000 captions: 5 s of expansion.
    station.Document("slow.html.tpl", Repeated("${screen_name.0}", 1000));
    station.Document("big.bin", std::string(32 << 20, 'b'));
    auto idle = Loiterers(3);
    RawClient expanding(Port());
    ASSERT_TRUE(expanding.Send("GET /slow.html HTTP/1.1\r\nHost: a\r\n\r\n"));
    RawClient notReading(Port()); // the reply does not fit into the socket buffers
    ASSERT_TRUE(notReading.Send("GET /big.bin HTTP/1.1\r\nHost: a\r\n\r\n"));
    for (int i = 0; i < 200 && screens.calls == 0; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_GT(screens.calls, 0);

    const auto stopping = Clock::now();
    server->Stop();
    EXPECT_LT(Since(stopping), 500ms);
    EXPECT_LT(screens.calls, 200);
    for (auto& client : idle) {
        client->Receive(1s);
        EXPECT_TRUE(client->Closed());
    }
    EXPECT_EQ(expanding.Receive(1s), "");
    EXPECT_TRUE(expanding.Closed());
    notReading.Receive(1s, 1 << 30);
    EXPECT_TRUE(notReading.Closed());
}

TEST_F(WebServerLimitsTest, HeadsAndBodiesBeyondTheLimitsAreRefused) {
    Start();
    const std::string get = "GET / HTTP/1.1\r\nHost: a\r\n";
    // Requests that the library refuses itself get its own page; the others ours.
    const struct {
        std::string what;
        std::string request;
        int status;
        bool libraryPage = false;
    } cases[] = {
        {"100 header lines", get + Repeated("X-A: b\r\n", 99) + "\r\n", 200},
        {"101 header lines", get + Repeated("X-A: b\r\n", 100) + "\r\n", 431},
        {"a 17 KB header", get + "X-A: " + std::string(17'000, 'a') + "\r\n\r\n", 431},
        {"a 17 KB target", "GET /" + std::string(17'000, 'a') + " HTTP/1.1\r\n\r\n", 414},
        {"a body within the limit",
         "POST / HTTP/1.1\r\nContent-Length: 16384\r\n\r\n" + std::string(16'384, 'b'), 200},
        {"a body beyond the limit", "POST / HTTP/1.1\r\nContent-Length: 16385\r\n\r\n", 413},
        {"a huge body", "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", 413,
         true},
        {"a chunked body",
         "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n0\r\n\r\n", 411},
        {"a length that is no number", "POST / HTTP/1.1\r\nContent-Length: 5x\r\n\r\nabcde", 400,
         true},
        {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\na", 400},
        {"a folded header line, joined", get + "X-A: b\r\n c\r\n\r\n", 200},
        {"a header line without colon", get + "X-A b\r\n\r\n", 400, true},
        {"no version", "GET /\r\n\r\n", 400, true},
        {"another version", "GET / HTTP/2.0\r\n\r\n", 505, true},
        {"a bare CR ending a line", "GET / HTTP/1.1\rHost: a\r\n\r\n", 400, true},
        {"an empty line before the request", "\r\n" + get + "\r\n", 200},
        {"a target that is no path", "GET index.html HTTP/1.1\r\n\r\n", 400},
        {"lines ending in LF alone", "GET / HTTP/1.1\nHost: a\n\n", 200},
        {"HTTP/1.0", "GET / HTTP/1.0\r\n\r\n", 200},
    };
    for (const auto& c : cases) {
        RawClient client(Port());
        ASSERT_TRUE(client.Send(c.request)) << c.what;
        const HttpReply reply = ParseReply(client.Receive(3s));
        EXPECT_EQ(reply.status, c.status) << c.what;
        EXPECT_EQ(reply.Header("connection"), "close") << c.what;
        EXPECT_TRUE(client.Closed()) << c.what;
        if (c.libraryPage)
            continue; // libmicrohttpd 0.9.75 writes the head of its own refusals twice
        EXPECT_EQ(reply.Header("content-length"), std::to_string(reply.body.size())) << c.what;
        if (c.status != 200) {
            EXPECT_TRUE(reply.body.starts_with("<html><head><title>Error</title>")) << c.what;
        }
    }
}

// Sends `head` and then `piece` over and over, up to 64 MB, until the server answers; the
// answer and how much was sent by then.
std::pair<HttpReply, size_t> Flood(int port, const std::string& head, const std::string& piece) {
    RawClient client(port);
    size_t sent = 0;
    if (!client.Send(head))
        return {};
    while (sent < (64u << 20) && !client.Readable(0ms) && client.Send(piece))
        sent += piece.size();
    return {ParseReply(client.Receive(3s)), sent};
}

TEST_F(WebServerLimitsTest, FloodsOfHeadersOrBodyAreCutOffEarly) {
    Start();
    const auto [headers, headerBytes] =
        Flood(Port(), "GET / HTTP/1.1\r\n", Repeated("X-Flood: 0123456789\r\n", 3000));
    EXPECT_EQ(headers.status, 431); // the library's own page: the head outgrew its memory
    EXPECT_LT(headerBytes, 16u << 20);
    const auto [body, bodyBytes] = Flood(
        Port(), "POST / HTTP/1.1\r\nContent-Length: 400000000\r\n\r\n", std::string(64 << 10, 'b'));
    EXPECT_EQ(body.status, 413);
    EXPECT_EQ(body.body, ErrorPage("Payload Too Large"));
    EXPECT_LT(bodyBytes, 16u << 20);
}

} // namespace
} // namespace halvane
