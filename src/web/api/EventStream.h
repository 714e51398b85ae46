#pragma once

#include "AlarmService.h"
#include "TagChangeSet.h"
#include "TagTable.h"
#include "WebRequest.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace halvane {

inline constexpr std::string_view kStreamPath = "/api/stream";
inline constexpr std::string_view kEventStreamType = "text/event-stream";

// The answer to "/api/stream" once the request may see it: a GET (or HEAD) is let through
// as a 200 of type text/event-stream and no body, which the server turns into a live
// stream; any other method gets 405 with a JSON error. Nothing for any other path.
std::optional<WebResponse> StreamRoute(const WebRequest& request, const WebContext& context,
                                       std::stop_token stop);

struct EventStreamOptions {
    // Changes are sent in batches at least this far apart.
    std::chrono::milliseconds batchInterval{250};
    // A comment line goes to every client this often, so that proxies and browsers see a
    // live connection while nothing changes.
    std::chrono::milliseconds keepAlive{15'000};
    size_t maxClients = 64;
    // A client that has more than this unsent is dropped.
    size_t maxUnsent = 1 << 20;
};

using StreamFrame = std::shared_ptr<const std::string>;

// What one stream's connection has not taken yet. The connection takes its bytes with Read
// on the server's thread; the hub adds frames from its own. Whoever holds the connection
// gives three actions: suspend it (called from Read when nothing waits), resume it (when
// something comes for a suspended one) and shut its socket down (when the client is dropped).
// They are never called once Detach has returned.
class StreamClient final {
public:
    struct Actions {
        std::function<void()> suspend;
        std::function<void()> resume;
        std::function<void()> shutDown;
    };
    enum class State { Data, Waiting, Ended, Dropped };
    struct ReadResult {
        State state;
        size_t bytes = 0;
    };

    explicit StreamClient(Actions actions)
        : m_actions(std::move(actions)), m_shutDown(std::move(m_actions.shutDown)) {}

    // Copies what waits into `buffer`; with nothing there the connection is suspended
    // (Waiting) until a frame comes or the stream ends.
    ReadResult Read(std::span<char> buffer);
    // Queues `frame`; false when the unsent bytes then pass `maxUnsent`: the client is
    // dropped, its queue freed and its socket shut down.
    bool Push(const StreamFrame& frame, size_t maxUnsent);
    // The stream ends once what waits has been read (the server stops).
    void End();
    // The connection is gone: nothing of it is touched any more.
    void Detach();
    size_t Unsent() const;

private:
    void ResumeIfWaiting(); // under the lock
    void ShutDown();

    mutable std::mutex m_mutex;
    Actions m_actions;
    std::deque<StreamFrame> m_frames;
    size_t m_offset = 0; // into the first frame
    size_t m_unsent = 0;
    bool m_waiting = false;
    bool m_ended = false;
    bool m_dropped = false;

    std::mutex m_shutDownMutex; // guards m_shutDown
    std::function<void()> m_shutDown;
};

// The hub of the live stream's clients. It listens to the tag table and, when there is one,
// the alarm service, and its own thread sends every client the tags that changed
// ("event: tags", the objects of /api/tags) and the active alarm list when it changed
// ("event: alarms", as /api/alarms gives it), in batches at least `batchInterval` apart
// (a change after a quiet time goes at once), and a keep-alive comment every `keepAlive`.
// Each frame is made once and shared by every client.
class EventStream final : private TagChangeListener, private AlarmSubscriber {
public:
    EventStream(TagTable& tags, AlarmService* alarms, EventStreamOptions options = {});
    ~EventStream();
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // A new client; null when `maxClients` are open or the hub is closed.
    std::shared_ptr<StreamClient> Open(StreamClient::Actions actions);
    // The client's connection has ended.
    void Remove(const std::shared_ptr<StreamClient>& client);
    // Ends every stream and refuses new ones.
    void CloseAll();
    size_t ClientCount() const;

private:
    using Clock = std::chrono::steady_clock;

    void TagChanged(size_t index) override;
    void AllTagsChanged() override;
    void AlarmsChanged() override;
    void AskForTags(); // under the table's lock
    void Run(std::stop_token stop);
    std::optional<std::string> TakeTagsJson();
    std::string AlarmsJson() const;
    void Broadcast(const StreamFrame& frame);

    TagTable& m_tags;
    AlarmService* const m_alarms;
    const EventStreamOptions m_options;

    // What clients were last sent of a tag (the thread's).
    struct Shown {
        double value = 0;
        bool valid = false;
        std::string status;
        std::optional<AlarmKind> alarm;
        bool operator==(const Shown&) const = default;
    };
    std::vector<std::optional<Shown>> m_sent; // by tag index

    TagChangeSet m_changes;   // guarded by the table's lock
    bool m_tagsAsked = false; // likewise: the thread has been told of them

    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable_any m_wake;
    bool m_tagsChanged = false;
    bool m_alarmsChanged = false;
    bool m_closed = false;
    std::vector<std::shared_ptr<StreamClient>> m_clients;

    std::jthread m_thread;
};

} // namespace halvane
