#pragma once

#include "AlarmService.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace halvane {

// The alarm side of the MQTT client, on a thread of its own: the alarm list (not the
// shelved alarms) on "alarms", retained, each time it changed, however fast alarms come
// and go at most a few times a second; each journal line on "event" as it is written; and
// the acknowledgements asked for on "ack/<number>", answered on "ack/<number>/result".
// The alarm service only flags changes and queues lines for it: the publishing is done
// here, never in the service's callbacks.
class AlarmPublisher final : private AlarmSubscriber {
public:
    // Publishes `payload` on the topic under the station's prefix, waiting while the broker
    // lags; without a connection nothing goes out.
    using Publish =
        std::function<void(const std::string& topic, const std::string& payload, bool retain)>;

    AlarmPublisher(AlarmService& alarms, const TagTable& tags, bool allowWrites, Publish publish);
    ~AlarmPublisher();
    AlarmPublisher(const AlarmPublisher&) = delete;
    AlarmPublisher& operator=(const AlarmPublisher&) = delete;

    // Starts and ends listening to the service and the thread. Stop returns once the thread
    // has ended: a Publish that waits for the broker must be woken by the client first.
    void Start();
    void Stop();

    // A connection began: the list goes out again, whatever it held before.
    void Connected();
    // A message arrived on "ack/<number>"; it is answered on the publisher's thread.
    void TakeAcknowledgement(std::string number, bool retained);

private:
    struct Acknowledgement {
        std::string number;
        bool retained = false;
    };

    void AlarmsChanged() override;
    void JournalLineAdded(const JournalEvent& event) override;

    void Run();
    void Answer(const Acknowledgement& acknowledgement);
    void PublishList();

    AlarmService& m_alarms;
    const TagTable& m_tags;
    const bool m_allowWrites;
    const Publish m_publish;
    std::thread m_thread;

    std::mutex m_mutex; // guards what follows
    std::condition_variable m_wake;
    bool m_listChanged = true;
    std::deque<JournalEvent> m_events;
    std::deque<Acknowledgement> m_acknowledgements;
    bool m_stopping = false;
};

} // namespace halvane
