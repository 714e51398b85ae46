#include "AlarmService.h"
#include "WebServer.h"

#include "WebTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace halvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Curl;
using test::NumberedTags;
using test::RawClient;

struct StreamEvent {
    std::string name; // "tags", "alarms", or "" for a comment
    std::string data;
    Clock::time_point arrived;
};

// A client of the live stream on a raw HTTP/1.0 connection (its body is not chunked), from
// `source`; a small `receiveBuffer` and no reading make it a client that falls behind.
class StreamReader final {
public:
    explicit StreamReader(int port, const std::string& source = "127.0.0.1", int receiveBuffer = 0)
        : m_raw(port, source, receiveBuffer) {
        m_raw.Send("GET /api/stream HTTP/1.0\r\n\r\n");
    }

    // Whether the stream's head has come (its status in `status`) within `timeout`.
    bool Opened(std::chrono::milliseconds timeout = 2s) {
        const auto deadline = Clock::now() + timeout;
        while (m_head.empty() && Clock::now() < deadline && !m_raw.Closed())
            Take(10ms);
        return !m_head.empty();
    }
    int Status() const { return m_head.size() > 12 ? std::stoi(m_head.substr(9, 3)) : 0; }
    const std::string& Head() const { return m_head; }

    // The next event or comment, when one comes within `timeout`.
    std::optional<StreamEvent> Next(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (m_events.empty() && Clock::now() < deadline && !m_raw.Closed())
            Take(5ms);
        if (m_events.empty())
            return std::nullopt;
        StreamEvent event = m_events.front();
        m_events.erase(m_events.begin());
        return event;
    }
    // The next event named `name`, past the others.
    std::optional<StreamEvent> NextNamed(const std::string& name,
                                         std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (auto event = Next(std::chrono::duration_cast<std::chrono::milliseconds>(
                   deadline - Clock::now()))) {
            if (event->name == name)
                return event;
        }
        return std::nullopt;
    }
    // Reads until the server closes the connection, within `timeout`.
    bool ClosedWithin(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (!m_raw.Closed() && Clock::now() < deadline)
            Take(10ms);
        return m_raw.Closed();
    }

private:
    void Take(std::chrono::milliseconds wait) {
        m_bytes += m_raw.Receive(wait);
        const auto now = Clock::now();
        if (m_head.empty()) {
            const size_t end = m_bytes.find("\r\n\r\n");
            if (end == std::string::npos)
                return;
            m_head = m_bytes.substr(0, end);
            m_bytes.erase(0, end + 4);
        }
        for (size_t end = m_bytes.find("\n\n"); end != std::string::npos;
             end = m_bytes.find("\n\n")) {
            m_events.push_back(Parse(m_bytes.substr(0, end), now));
            m_bytes.erase(0, end + 2);
        }
    }

    static StreamEvent Parse(const std::string& block, Clock::time_point arrived) {
        StreamEvent event{{}, {}, arrived};
        size_t line = 0;
        while (line < block.size()) {
            const size_t end = std::min(block.find('\n', line), block.size());
            const std::string text = block.substr(line, end - line);
            if (text.starts_with("event: "))
                event.name = text.substr(7);
            else if (text.starts_with("data: "))
                event.data = text.substr(6);
            else if (text.starts_with(':'))
                event.data = text;
            line = end + 1;
        }
        return event;
    }

    RawClient m_raw;
    std::string m_head;
    std::string m_bytes;
    std::vector<StreamEvent> m_events;
};

QJsonArray JsonArray(const std::string& data) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(data)).array();
}

void Read(TagTable& tags, size_t index, double value) {
    TDataChannel tag = tags.Snapshot(index);
    tag.RealValue = value;
    tag.ValueValid = true;
    tag.Status = "OK";
    tags.StoreOutcome(index, tag);
}

// Bytes of memory the process has allocated and not freed (with a sanitizer, not what its
// allocator keeps of what was freed).
size_t HeapBytes() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return ::mallinfo2().uordblks;
#endif
}

class EventStreamTest : public ::testing::Test {
protected:
    void Start(WebServerLimits limits = {}) {
        server.emplace(station.Context(), limits);
        ASSERT_TRUE(server->Start(0)) << server->LastError();
    }
    int Port() const { return server->Port(); }

    test::WebStation station;
    std::optional<WebServer> server;
};

TEST_F(EventStreamTest, OpensAsAnEventStreamThatAnswersNoOtherMethod) {
    station.SetTags(NumberedTags(2));
    Start();
    const auto opened = Curl(Port(), "/api/stream", {"-N", "--max-time", "1"});
    EXPECT_EQ(opened.status, 200);
    EXPECT_EQ(opened.Header("content-type"), "text/event-stream");
    EXPECT_EQ(opened.Header("cache-control"), "no-cache");
    EXPECT_EQ(opened.body, "") << "no snapshot: the client asks /api/tags after opening";

    const auto posted = Curl(Port(), "/api/stream", {"-X", "POST"});
    EXPECT_EQ(posted.status, 405);
    EXPECT_EQ(posted.Header("content-type"), "application/json; charset=utf-8");
}

TEST_F(EventStreamTest, SendsTheChangedTagsAloneAtOnce) {
    station.SetTags(NumberedTags(5));
    Start();
    StreamReader reader(Port());
    ASSERT_TRUE(reader.Opened());
    EXPECT_EQ(reader.Status(), 200);

    const auto changed = Clock::now();
    Read(station.Tags(), 2, 42.5);
    Read(station.Tags(), 4, 7);
    const auto event = reader.NextNamed("tags", 2s);
    ASSERT_TRUE(event);
    EXPECT_LT(event->arrived - changed, 300ms);
    QJsonArray tags = JsonArray(event->data);
    if (tags.size() == 1) // the second change may come in the next batch
        if (const auto next = reader.NextNamed("tags", 1s))
            tags.append(JsonArray(next->data)[0]);
    ASSERT_EQ(tags.size(), 2) << event->data;
    EXPECT_EQ(tags[0].toObject()["number"], 3);
    EXPECT_EQ(tags[0].toObject()["value"], 42.5);
    EXPECT_EQ(tags[1].toObject()["number"], 5);
    EXPECT_EQ(tags[1].toObject()["value"], 7);

    // A value stored again unchanged is no change.
    Read(station.Tags(), 2, 42.5);
    EXPECT_FALSE(reader.NextNamed("tags", 600ms));
}

TEST_F(EventStreamTest, AClientThatComesLaterHearsAChangeBackToAnEarlierValue) {
    station.SetTags(NumberedTags(1));
    Start();
    {
        StreamReader first(Port());
        ASSERT_TRUE(first.Opened());
        Read(station.Tags(), 0, 5);
        ASSERT_TRUE(first.NextNamed("tags", 2s));
    }
    std::this_thread::sleep_for(300ms); // the first client has gone
    Read(station.Tags(), 0, 7);         // heard by nobody
    std::this_thread::sleep_for(300ms);

    StreamReader second(Port());
    ASSERT_TRUE(second.Opened());
    Read(station.Tags(), 0, 5);
    const auto event = second.NextNamed("tags", 2s);
    ASSERT_TRUE(event);
    EXPECT_EQ(JsonArray(event->data)[0].toObject()["value"], 5) << event->data;
}

TEST_F(EventStreamTest, SendsAtMostOneBatchEveryQuarterSecondWithTheLatestValue) {
    station.SetTags(NumberedTags(3));
    Start();
    StreamReader reader(Port());
    ASSERT_TRUE(reader.Opened());

    auto changes = std::async(std::launch::async, [&tags = station.Tags()] {
        for (int i = 1; i <= 100; ++i) {
            Read(tags, static_cast<size_t>(i % 3), i);
            std::this_thread::sleep_for(10ms);
        }
    });
    std::vector<StreamEvent> batches;
    while (auto event = reader.NextNamed("tags", 600ms))
        batches.push_back(*event);
    changes.get();
    ASSERT_GE(batches.size(), 2u);
    for (size_t i = 1; i < batches.size(); ++i)
        EXPECT_GE(batches[i].arrived - batches[i - 1].arrived, 200ms) << "batch " << i;
    const QJsonArray last = JsonArray(batches.back().data);
    const auto hundred = std::ranges::find_if(
        last, [](const QJsonValue& tag) { return tag.toObject()["number"] == 2; });
    ASSERT_NE(hundred, last.end()) << batches.back().data;
    EXPECT_EQ(hundred->toObject()["value"], 100);
}

TEST_F(EventStreamTest, SendsTheActiveAlarmListWhenItChanges) {
    TDataChannel tank = test::NamedTag("Tank", "%");
    tank.EnableAlert = true;
    tank.HighThreshold = 90;
    tank.LowThreshold = 10;
    station.SetTags({tank});
    test::WebStationWithAlarms web{station};
    AlarmOptions options;
    options.commDelaySeconds = 0;
    ASSERT_TRUE(web.Start(options));
    web.alarms->Configure({true, true, true, true, true}, false);
    StreamReader reader(web.server->Port());
    ASSERT_TRUE(reader.Opened());

    Read(station.Tags(), 0, 95);
    const auto raised = reader.NextNamed("alarms", 2s);
    ASSERT_TRUE(raised);
    const QJsonArray list = JsonArray(raised->data);
    ASSERT_EQ(list.size(), 1) << raised->data;
    EXPECT_EQ(list[0].toObject()["tag"], 1);
    EXPECT_EQ(list[0].toObject()["kind"], "high");
    EXPECT_EQ(list[0].toObject()["state"], "unacknowledged");

    web.alarms->AcknowledgeTag(0, {"olga", "web"});
    const auto acknowledged = reader.NextNamed("alarms", 2s);
    ASSERT_TRUE(acknowledged);
    EXPECT_EQ(JsonArray(acknowledged->data)[0].toObject()["state"], "acknowledged");
}

TEST_F(EventStreamTest, KeepsStreamsAliveWithCommentsBeyondTheIdleTime) {
    station.SetTags(NumberedTags(1));
    WebServerLimits limits;
    limits.idleTime = 1s;
    limits.streamKeepAlive = 300ms;
    Start(limits);
    StreamReader reader(Port());
    ASSERT_TRUE(reader.Opened());
    for (int i = 0; i < 3; ++i) {
        const auto comment = reader.Next(1s);
        ASSERT_TRUE(comment) << "comment " << i;
        EXPECT_EQ(comment->data, ": keep-alive");
    }

    // A stream with nothing to send outlives the idle time too.
    limits.streamKeepAlive = 60s;
    Start(limits);
    StreamReader quiet(Port());
    ASSERT_TRUE(quiet.Opened());
    std::this_thread::sleep_for(2500ms);
    Read(station.Tags(), 0, 3);
    EXPECT_TRUE(quiet.NextNamed("tags", 1s));
}

TEST_F(EventStreamTest, RefusesTheSixtyFifthClientUntilOneLeaves) {
    station.SetTags(NumberedTags(1));
    Start();
    // From several addresses: one address may hold only so many connections.
    std::vector<std::unique_ptr<StreamReader>> readers;
    for (int i = 0; i < 64; ++i) {
        readers.push_back(
            std::make_unique<StreamReader>(Port(), "127.0.0." + std::to_string(2 + i / 16)));
        ASSERT_TRUE(readers.back()->Opened()) << "client " << i;
        ASSERT_EQ(readers.back()->Status(), 200) << "client " << i;
    }
    const auto refused = Curl(Port(), "/api/stream", {"--max-time", "2"});
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.Header("content-type"), "application/json; charset=utf-8");
    EXPECT_TRUE(refused.body.starts_with("{\"error\":")) << refused.body;

    readers.erase(readers.begin());
    int status = 0;
    for (const auto deadline = Clock::now() + 3s; status != 200 && Clock::now() < deadline;) {
        StreamReader late(Port());
        status = late.Opened() ? late.Status() : 0;
        if (status != 200)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(status, 200);

    Read(station.Tags(), 0, 1);
    for (const auto& reader : readers)
        EXPECT_TRUE(reader->NextNamed("tags", 2s));
}

TEST_F(EventStreamTest, DropsAClientThatFallsBehindWhileOthersGoOn) {
    station.SetTags(NumberedTags(3000));
    Start();
    StreamReader reading(Port());
    StreamReader stuck(Port(), "127.0.0.1", 4096);
    ASSERT_TRUE(reading.Opened());
    ASSERT_TRUE(stuck.Opened());

    // Every tag changes for every batch: about half a megabyte each time.
    const auto changeAll = [&](double value) {
        station.Tags().UpdateAll([value](TDataChannel& tag, size_t) {
            tag.RealValue = value;
            tag.ValueValid = true;
        });
    };
    const size_t before = HeapBytes();
    for (int round = 1; round <= 24; ++round) {
        changeAll(round);
        ASSERT_TRUE(reading.NextNamed("tags", 2s)) << "round " << round;
    }
    const size_t after = HeapBytes();
    EXPECT_TRUE(stuck.ClosedWithin(5s));
    EXPECT_LT(after, before + 6u * 1024 * 1024) << "held for the client that does not read";

    changeAll(100);
    bool latest = false;
    while (const auto event = latest ? std::nullopt : reading.NextNamed("tags", 2s))
        latest = JsonArray(event->data)[0].toObject()["value"] == 100;
    EXPECT_TRUE(latest);
}

TEST_F(EventStreamTest, StoppingTheServerEndsEveryStreamAtOnce) {
    station.SetTags(NumberedTags(1));
    Start();
    std::vector<std::unique_ptr<StreamReader>> readers;
    for (int i = 0; i < 3; ++i) {
        readers.push_back(std::make_unique<StreamReader>(Port()));
        ASSERT_TRUE(readers.back()->Opened());
    }
    auto curl = std::async(std::launch::async,
                           [port = Port()] { return Curl(port, "/api/stream", {"-N"}); });
    std::this_thread::sleep_for(300ms);

    const auto stopping = Clock::now();
    server->Stop();
    ASSERT_EQ(curl.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(curl.get().status, 200);
    for (const auto& reader : readers)
        EXPECT_TRUE(reader->ClosedWithin(500ms));
    EXPECT_LT(Clock::now() - stopping, 1s);
}

} // namespace
} // namespace halvane
