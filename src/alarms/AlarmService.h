#pragma once

#include "AlarmModel.h"
#include "EventJournal.h"
#include "JournalFormat.h"
#include "TagChangeSet.h"
#include "TagTable.h"

#include <QDate>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace halvane {

class ProfileStore;

// The "[Alarms]" keys and where the station keeps its journal and alarm state.
struct AlarmOptions {
    double commDelaySeconds = 10;        // "CommDelay": 0 turns communication alarms off
    bool sound = true;                   // "Sound"
    std::filesystem::path journalFolder; // empty: no journal is written
    std::filesystem::path stateFile;     // empty: alarms do not outlive the run
    int retentionDays = 0;               // journal days kept; 0 keeps them all
};

// "CommDelay" (negative or not a number: 10), "Sound" (default on), "EventsFolder" (a
// path, relative to the data root; default "events") of "[Alarms]", the state file
// "alarms.state" in the data root, and the history's retention days.
AlarmOptions ReadAlarmOptions(const ProfileStore& store);

// Whether each port a tag can name (by its `Port`: 0 none, 1..3 serial, 4 the network
// link) was enabled when communication last started.
using PortsEnabled = std::array<bool, 5>;

// Told of what the alarm service did, on whichever thread did it (the service's own, or
// the caller of an operator action). It must be quick; it may read the service (Alarms,
// Counts) but not act, subscribe or unsubscribe from inside.
class AlarmSubscriber {
public:
    // The list, its counts or a state changed.
    virtual void AlarmsChanged() {}
    // A line went to the journal (or would have, when it cannot be written).
    virtual void JournalLineAdded(const JournalEvent& /*event*/) {}

protected:
    ~AlarmSubscriber() = default;
};

// Who did an operator action: the user (empty until users exist) and where ("station",
// "mqtt", "web").
struct AlarmActor {
    std::string user;
    std::string source = "station";
};

// The station's alarms and journal at work: judges each tag when a reading of it is
// stored (told by the tag table; within a few tens of milliseconds), on a thread of its own, and
// again once a second only the tags whose condition waits for its delay; writes every transition,
// preset, failed write and station event to the journal; keeps the alarm state in its file so that
// a restart asks for no acknowledgement already given.
class AlarmService final : private TagChangeListener {
public:
    using FailureReport = std::function<void(const std::string& message)>;

    // Reads the state file; `journalFailure` is told once when the journal cannot be
    // written (and again after it could be in between).
    AlarmService(TagTable& tags, AlarmOptions options, FailureReport journalFailure = {});
    ~AlarmService();
    AlarmService(const AlarmService&) = delete;
    AlarmService& operator=(const AlarmService&) = delete;

    // The ports in use and demo mode, which judge communication alarms. Every tag is
    // judged again.
    void Configure(PortsEnabled ports, bool demo);
    void SetDemo(bool demo);

    // Starts and stops listening to the tag table and the thread.
    void Start();
    void Stop();

    // Operator actions; each returns the number of alarms it changed.
    size_t Acknowledge(size_t tagIndex, AlarmKind kind, const AlarmActor& actor);
    size_t AcknowledgeTag(size_t tagIndex, const AlarmActor& actor); // every alarm of the tag
    size_t AcknowledgeAll(const AlarmActor& actor);
    size_t Shelve(size_t tagIndex, AlarmKind kind, AlarmTime until, std::string_view reason,
                  const AlarmActor& actor);
    size_t Unshelve(size_t tagIndex, AlarmKind kind, const AlarmActor& actor);

    // Writes a station event ("link-down", "link-up", "started", "stopped",
    // "config-saved") to the journal and tells the subscribers; `sync` forces it to disk.
    void Record(JournalEvent event, bool sync);

    std::vector<AlarmInfo> Alarms(bool withShelved) const;
    AlarmCounts Counts() const;
    std::optional<AlarmInfo> NewestUnacknowledged() const;
    // The tag's name as UTF-8, for lists and messages.
    std::string TagName(size_t tagIndex) const;
    const AlarmOptions& Options() const { return m_options; }

    // Subscribers are told in the order they were added; once Unsubscribe returns, the
    // subscriber is no longer called.
    void Subscribe(AlarmSubscriber* subscriber);
    void Unsubscribe(AlarmSubscriber* subscriber);

    // Waits until every change the tag table told before this call has been judged, and the
    // tags that wait for their delay and the shelved alarms have been looked at (tests).
    void Flush();

private:
    // A preset or a failed write told by the table, journaled by the thread.
    struct WriteRecord {
        bool failed = false;
        size_t tagIndex = 0;
        double value = 0;
        WriteOrigin origin;
        std::string status;
        AlarmTime time;
    };

    void TagChanged(size_t index) override;
    void AllTagsChanged() override;
    void PresetStored(size_t index, double value, const WriteOrigin& origin) override;
    void WriteFailed(size_t index, const std::string& status) override;

    void Run();
    void JournalWrites(std::vector<WriteRecord> writes);
    void JudgeAllSoon();
    // The changed tags, and with `waiting` the tags that wait for their delay.
    std::vector<AlarmEvent> JudgeTags(const TagChangeSet::Taken& changes, bool waiting,
                                      AlarmTime now);
    struct LinkState {
        PortsEnabled ports{};
        bool demo = false;
    };
    LinkState Links() const;
    std::vector<AlarmEvent> Judge(size_t index, const TDataChannel& tag, const LinkState& state,
                                  AlarmTime now);
    void RemoveOldJournalDays(AlarmTime now);
    // Journals the events, tells the subscribers and, for what an actor did, keeps the
    // state file; the number of events.
    size_t Publish(const std::vector<AlarmEvent>& events, const AlarmActor* actor);
    JournalEvent ToJournal(const AlarmEvent& event, const AlarmActor* actor) const;
    void Write(std::span<const JournalEvent> lines, bool sync);
    void SaveState();

    TagTable& m_tags;
    const AlarmOptions m_options;
    const FailureReport m_failure;
    AlarmModel m_model;
    std::optional<EventJournal> m_journal;

    mutable std::mutex m_mutex; // guards what follows
    PortsEnabled m_ports{};
    bool m_demo = false;
    std::vector<WriteRecord> m_writes;
    bool m_stopping = false;
    bool m_wakeSoon = false; // the thread looks now, without waiting for its next look
    bool m_tickSoon = false; // and judges the waiting tags and shelved alarms then
    std::condition_variable m_wake;
    uint64_t m_rounds = 0; // rounds of judging done by the thread
    std::condition_variable m_judged;

    std::mutex m_subscribersMutex; // held while they are told
    std::vector<AlarmSubscriber*> m_subscribers;

    std::mutex m_stateMutex; // one writer of the state file at a time
    bool m_stateFailureReported = false;

    TagChangeSet m_changes; // guarded by the tag table's lock
    std::thread m_thread;
    QDate m_cleanedDay; // thread: the day old journal files were last removed
};

} // namespace halvane
