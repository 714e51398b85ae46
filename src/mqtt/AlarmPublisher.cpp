#include "AlarmPublisher.h"

#include "AlarmJson.h"
#include "TagMessages.h"

#include <utility>
#include <variant>

namespace halvane {

namespace {

using Clock = std::chrono::steady_clock;

// The list goes out at most once per gap: a burst of changes (a flood of alarms, an
// acknowledge-all) costs subscribers a few lists a second, each the newest.
constexpr auto kListGap = std::chrono::milliseconds(250);
// Journal lines that wait for the broker beyond this many are dropped: the journal keeps
// them all, and a broker that lags must not cost the station its memory.
constexpr size_t kMaxWaitingEvents = 10'000;
constexpr size_t kMaxWaitingAcknowledgements = 1'000;

} // namespace

AlarmPublisher::AlarmPublisher(AlarmService& alarms, const TagTable& tags, bool allowWrites,
                               Publish publish)
    : m_alarms(alarms), m_tags(tags), m_allowWrites(allowWrites), m_publish(std::move(publish)) {}

AlarmPublisher::~AlarmPublisher() {
    Stop();
}

void AlarmPublisher::Start() {
    m_alarms.Subscribe(this);
    m_thread = std::thread([this] { Run(); });
}

void AlarmPublisher::Stop() {
    if (!m_thread.joinable())
        return;
    m_alarms.Unsubscribe(this);
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void AlarmPublisher::Connected() {
    AlarmsChanged();
}

void AlarmPublisher::TakeAcknowledgement(std::string number, bool retained) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_acknowledgements.size() >= kMaxWaitingAcknowledgements)
            return;
        m_acknowledgements.push_back({std::move(number), retained});
    }
    m_wake.notify_all();
}

void AlarmPublisher::AlarmsChanged() {
    {
        const std::lock_guard lock(m_mutex);
        m_listChanged = true;
    }
    m_wake.notify_all();
}

void AlarmPublisher::JournalLineAdded(const JournalEvent& event) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_events.size() >= kMaxWaitingEvents)
            return;
        m_events.push_back(event);
    }
    m_wake.notify_all();
}

// Acknowledgements first, so that the list that follows shows them; a list due waits for
// its gap while lines and acknowledgements go on.
void AlarmPublisher::Run() {
    Clock::time_point listNotBefore;
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto work = [&] {
            return m_stopping || !m_events.empty() || !m_acknowledgements.empty();
        };
        // A list that changes while nothing else waits sets the time to wait for.
        if (m_listChanged)
            m_wake.wait_until(lock, listNotBefore, work);
        else
            m_wake.wait(lock, [&] { return work() || m_listChanged; });
        if (m_stopping)
            return;
        const auto acknowledgements = std::exchange(m_acknowledgements, {});
        const auto events = std::exchange(m_events, {});
        lock.unlock();
        for (const Acknowledgement& acknowledgement : acknowledgements)
            Answer(acknowledgement);
        for (const JournalEvent& event : events)
            m_publish("event", JournalEventJson(event), false);
        lock.lock();
        if (m_listChanged && Clock::now() >= listNotBefore) {
            m_listChanged = false;
            lock.unlock();
            PublishList();
            listNotBefore = Clock::now() + kListGap;
            lock.lock();
        }
    }
}

void AlarmPublisher::Answer(const Acknowledgement& acknowledgement) {
    const std::string topic = "ack/" + acknowledgement.number + "/result";
    if (acknowledgement.retained) {
        m_publish(topic, RetainedAcknowledgementResult(), false);
        return;
    }
    if (!m_allowWrites) {
        m_publish(topic, AcknowledgementNotAllowedResult(), false);
        return;
    }
    const auto tag = ReadTagAcknowledgement(m_tags, acknowledgement.number);
    if (const auto* refused = std::get_if<std::string>(&tag)) {
        m_publish(topic, *refused, false);
        return;
    }
    const size_t count = m_alarms.AcknowledgeTag(std::get<size_t>(tag), AlarmActor{"mqtt", "mqtt"});
    m_publish(topic, AcknowledgedResult(count), false);
}

// A list that cannot go out now goes out with the next connection.
void AlarmPublisher::PublishList() {
    m_publish("alarms",
              AlarmListJson(m_alarms.Alarms(false),
                            [this](size_t index) { return m_alarms.TagName(index); }),
              true);
}

} // namespace halvane
