#pragma once

#include "AlarmService.h"
#include "NotifyMessage.h"
#include "NotifyOptions.h"
#include "NotifySpool.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace halvane {

class TagTable;

// When a failed delivery is tried again, and the clock the notifier reads.
struct NotifyTiming {
    // The waits after the first, second, ... failure; the last repeats.
    std::vector<std::chrono::milliseconds> retryDelays{
        std::chrono::seconds(30), std::chrono::minutes(1), std::chrono::minutes(2),
        std::chrono::minutes(5)};
    // A message that still fails this long after it was queued is dropped.
    std::chrono::milliseconds giveUpAfter = std::chrono::hours(24);
    std::function<AlarmTime()> clock = [] { return std::chrono::system_clock::now(); };
    // The longest the thread sleeps without looking at the clock.
    std::chrono::milliseconds longestSleep = std::chrono::seconds(1);
};

// The "notify" folder of the data root.
std::filesystem::path NotifySpoolFolder();

// The station's name in the messages: the host name.
std::string NotifyStationName();

// Sends a mail and a webhook call (each when its options are set) when an alarm of a tag
// with `SMSAlert` and a priority within MinPriority is raised and when its condition ends,
// on a thread of its own. Each message is first written to the spool (one folder per
// channel, "mail" and "webhook") and removed once delivered, so that a restart loses
// nothing; the spool is read back at Start. A failed delivery is tried again after the
// timing's delays for up to a day, the messages of a channel staying in their order, then
// dropped. Each failure ("notify-failed", with the server's error) and each delivery
// ("notify-sent") goes to the journal. Beyond MaxPerHour messages in the last hour, the
// rest are counted and told in one summary once the hour allows another message.
class Notifier final : private AlarmSubscriber {
public:
    Notifier(AlarmService& alarms, const TagTable& tags, NotifyOptions options, std::string station,
             std::filesystem::path spoolFolder, NotifyTiming timing = {});
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    // Starts listening to the alarms and the thread when the options are enabled and can be
    // used; why not when they are enabled but cannot be (NotifyOptionsProblem).
    std::optional<std::string> Start();
    // Ends the thread, cutting short a delivery under way; what waits stays in the spool.
    void Stop();

private:
    struct Channel {
        std::string name; // "mail", "webhook": the journal's source and the spool's folder
        NotifySpool spool;
        std::function<std::string(const Notice&)> render;
        std::function<std::optional<std::string>(const std::string& payload)> send;
        std::deque<SpooledMessage> waiting;
        size_t failures = 0; // of the oldest message
        AlarmTime nextAttempt{};
    };

    void JournalLineAdded(const JournalEvent& event) override;
    bool WantsNotice(const JournalEvent& event) const;

    void Run();
    bool LinesWaiting();
    void Take(const JournalEvent& line);
    void SummariseHeldBack();
    void Queue(const Notice& notice, AlarmTime now);
    // Delivers the oldest message of the channel when its time has come; whether it did.
    bool DeliverOldest(Channel& channel);
    std::chrono::milliseconds Sleep() const;
    void Journal(std::string_view event, const Channel& channel, std::string text);
    void DropOldSendTimes(AlarmTime now);

    AlarmService& m_alarms;
    const TagTable& m_tags;
    const NotifyOptions m_options;
    const std::string m_station;
    const NotifyTiming m_timing;
    std::vector<Channel> m_channels; // thread, once started
    std::deque<AlarmTime> m_sentTimes;
    size_t m_heldBack = 0;
    std::atomic<bool> m_abort = false;
    std::thread m_thread;

    std::mutex m_mutex; // guards what follows
    std::condition_variable m_wake;
    std::deque<JournalEvent> m_incoming;
    bool m_stopping = false;
};

} // namespace halvane
