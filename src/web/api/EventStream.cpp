#include "EventStream.h"

#include "AlarmJson.h"
#include "ApiEndpoint.h"
#include "TagJson.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace halvane {

namespace {

StreamFrame Frame(std::string_view event, const std::string& json) {
    return std::make_shared<const std::string>("event: " + std::string(event) + "\ndata: " + json +
                                               "\n\n");
}

} // namespace

std::optional<WebResponse> StreamRoute(const WebRequest& request, const WebContext&,
                                       std::stop_token) {
    if (request.path != kStreamPath)
        return std::nullopt;
    if (request.method != "GET" && request.method != "HEAD")
        return JsonError(405, "The stream is read with GET");
    return WebResponse{200, std::string(kEventStreamType), {}, {}, false, {}, {}};
}

StreamClient::ReadResult StreamClient::Read(std::span<char> buffer) {
    const std::lock_guard lock(m_mutex);
    if (m_dropped)
        return {State::Dropped};
    size_t copied = 0;
    while (copied < buffer.size() && !m_frames.empty()) {
        const std::string& frame = *m_frames.front();
        const size_t n = std::min(buffer.size() - copied, frame.size() - m_offset);
        std::memcpy(buffer.data() + copied, frame.data() + m_offset, n);
        copied += n;
        m_offset += n;
        if (m_offset == frame.size()) {
            m_frames.pop_front();
            m_offset = 0;
        }
    }
    m_unsent -= copied;
    if (copied > 0)
        return {State::Data, copied};
    if (m_ended)
        return {State::Ended};
    m_waiting = true;
    m_actions.suspend();
    return {State::Waiting};
}

bool StreamClient::Push(const StreamFrame& frame, size_t maxUnsent) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_dropped || m_ended)
            return !m_dropped;
        m_unsent += frame->size();
        if (m_unsent <= maxUnsent) {
            m_frames.push_back(frame);
            ResumeIfWaiting();
            return true;
        }
        m_dropped = true;
        m_frames = {};
        m_unsent = 0;
        ResumeIfWaiting();
    }
    ShutDown();
    return false;
}

// Outside the queue's lock: the server's watch of the connections tells of a hang-up, which
// ends the stream, under its own.
void StreamClient::ShutDown() {
    const std::lock_guard lock(m_shutDownMutex);
    if (m_shutDown)
        m_shutDown();
}

void StreamClient::End() {
    const std::lock_guard lock(m_mutex);
    m_ended = true;
    ResumeIfWaiting();
}

void StreamClient::Detach() {
    {
        const std::lock_guard lock(m_shutDownMutex);
        m_shutDown = nullptr;
    }
    const std::lock_guard lock(m_mutex);
    m_ended = true;
    m_waiting = false;
    m_frames = {};
    m_unsent = 0;
    m_actions = {};
}

size_t StreamClient::Unsent() const {
    const std::lock_guard lock(m_mutex);
    return m_unsent;
}

void StreamClient::ResumeIfWaiting() {
    if (!m_waiting)
        return;
    m_waiting = false;
    m_actions.resume();
}

EventStream::EventStream(TagTable& tags, AlarmService* alarms, EventStreamOptions options)
    : m_tags(tags), m_alarms(alarms), m_options(options) {
    m_tags.AddChangeListener(this);
    if (m_alarms)
        m_alarms->Subscribe(this);
    m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
}

EventStream::~EventStream() {
    m_thread.request_stop();
    m_thread.join();
    if (m_alarms)
        m_alarms->Unsubscribe(this);
    m_tags.RemoveChangeListener(this);
    CloseAll();
}

std::shared_ptr<StreamClient> EventStream::Open(StreamClient::Actions actions) {
    const std::lock_guard lock(m_mutex);
    if (m_closed || m_clients.size() >= m_options.maxClients)
        return nullptr;
    auto client = std::make_shared<StreamClient>(std::move(actions));
    m_clients.push_back(client);
    return client;
}

void EventStream::Remove(const std::shared_ptr<StreamClient>& client) {
    const std::lock_guard lock(m_mutex);
    std::erase(m_clients, client);
}

void EventStream::CloseAll() {
    const std::lock_guard lock(m_mutex);
    m_closed = true;
    for (const auto& client : m_clients)
        client->End();
}

size_t EventStream::ClientCount() const {
    const std::lock_guard lock(m_mutex);
    return m_clients.size();
}

void EventStream::TagChanged(size_t index) {
    m_changes.Mark(index);
    AskForTags();
}

void EventStream::AllTagsChanged() {
    m_changes.MarkAll();
    AskForTags();
}

// The thread is told once per batch of changes, not for each.
void EventStream::AskForTags() {
    if (std::exchange(m_tagsAsked, true))
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_tagsChanged = true;
    }
    m_wake.notify_one();
}

void EventStream::AlarmsChanged() {
    {
        const std::lock_guard lock(m_mutex);
        m_alarmsChanged = true;
    }
    m_wake.notify_one();
}

// The tags marked since the last batch whose shown state differs from the one last sent
// (the table also tells of changes that show nothing, such as a tag being polled), as JSON;
// nothing when none changed.
std::optional<std::string> EventStream::TakeTagsJson() {
    TagChangeSet::Taken taken;
    m_tags.Locked([&] {
        taken = m_changes.Take();
        m_tagsAsked = false;
    });
    // Without clients nothing is compared or written; the next client learns every change.
    if (taken.all || ClientCount() == 0) {
        m_sent.clear();
        m_sent.resize(m_tags.Size());
    }
    if (taken.Empty() || ClientCount() == 0)
        return std::nullopt;
    const LimitAlarms alarms = LimitAlarms::Now(m_alarms);
    std::vector<std::pair<TagFacts, std::optional<AlarmKind>>> changed;
    const auto take = [&](const TDataChannel& tag, size_t index,
                          std::optional<TagTable::ChangeTime> changedAt) {
        if (index >= m_sent.size())
            m_sent.resize(index + 1);
        Shown shown{tag.RealValue, tag.ValueValid, tag.Status, alarms.Of(index)};
        if (m_sent[index] == shown)
            return;
        m_sent[index] = std::move(shown);
        changed.emplace_back(TagFactsOf(tag, index, changedAt), m_sent[index]->alarm);
    };
    if (taken.all)
        m_tags.ReadAllTimed(take);
    else
        m_tags.ReadSomeTimed(taken.changed, take);
    if (changed.empty())
        return std::nullopt;
    // written without the table's lock
    std::string json = "[";
    for (const auto& [facts, alarm] : changed) {
        if (json.size() > 1)
            json += ',';
        AppendTagJson(json, facts, alarm);
    }
    json += ']';
    return json;
}

std::string EventStream::AlarmsJson() const {
    return AlarmListJson(m_alarms->Alarms(false),
                         [this](size_t index) { return m_alarms->TagName(index); });
}

void EventStream::Broadcast(const StreamFrame& frame) {
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_clients,
                  [&](const auto& client) { return !client->Push(frame, m_options.maxUnsent); });
}

void EventStream::Run(std::stop_token stop) {
    static const StreamFrame keepAlive = std::make_shared<const std::string>(": keep-alive\n\n");
    auto lastBatch = Clock::time_point::min();
    auto keepAliveAt = Clock::now() + m_options.keepAlive;
    std::unique_lock lock(m_mutex);
    while (!stop.stop_requested()) {
        const auto now = Clock::now();
        const bool changed = m_tagsChanged || m_alarmsChanged;
        const auto batchAt =
            lastBatch == Clock::time_point::min() ? now : lastBatch + m_options.batchInterval;
        const bool batchDue = changed && now >= batchAt;
        if (!batchDue && now < keepAliveAt) {
            const auto until = changed ? std::min(batchAt, keepAliveAt) : keepAliveAt;
            m_wake.wait_until(lock, stop, until,
                              [&] { return (m_tagsChanged || m_alarmsChanged) != changed; });
            continue;
        }
        const bool tags = batchDue && std::exchange(m_tagsChanged, false);
        const bool alarms = batchDue && std::exchange(m_alarmsChanged, false) && m_alarms;
        lock.unlock();
        if (batchDue)
            lastBatch = now;
        if (tags)
            if (const auto json = TakeTagsJson())
                Broadcast(Frame("tags", *json));
        if (alarms)
            Broadcast(Frame("alarms", AlarmsJson()));
        if (now >= keepAliveAt) {
            Broadcast(keepAlive);
            keepAliveAt = now + m_options.keepAlive;
        }
        lock.lock();
    }
}

} // namespace halvane
