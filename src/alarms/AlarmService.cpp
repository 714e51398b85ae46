#include "AlarmService.h"

#include "AlarmSettingsFields.h"
#include "DataRoot.h"
#include "ProfileStore.h"
#include "RegularFile.h"
#include "StoredText.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <numeric>
#include <system_error>

namespace halvane {

namespace {

constexpr char kSection[] = "Alarms";
constexpr double kDefaultCommDelay = 10;
constexpr int kDefaultRetention = 7; // as the history keeps until a retention is stored
constexpr std::uintmax_t kMaxStateBytes = 16 * 1024 * 1024;
// How often the thread wakes without a change: the tags that wait for their delay and
// the shelved alarms whose time comes are looked at then.
constexpr auto kTick = std::chrono::seconds(1);
// How many tags are judged under one lock of the tag table.
constexpr size_t kTagsPerLock = 256;
// How long changes gather before the thread looks at them: below a poll interval.
constexpr auto kGather = std::chrono::milliseconds(20);

std::string EventName(AlarmEventType type) {
    switch (type) {
    case AlarmEventType::Raised:
    case AlarmEventType::TooMany:
        return "raised";
    case AlarmEventType::Acknowledged:
        return "acknowledged";
    case AlarmEventType::Returned:
        return "returned";
    case AlarmEventType::Cleared:
        return "cleared";
    case AlarmEventType::Shelved:
        return "shelved";
    case AlarmEventType::Unshelved:
        return "unshelved";
    }
    return {};
}

std::string SourceName(WriteSource source) {
    switch (source) {
    case WriteSource::Station:
        return "station";
    case WriteSource::Mqtt:
        return "mqtt";
    case WriteSource::Web:
        return "web";
    }
    return {};
}

void Append(std::vector<AlarmEvent>& to, std::vector<AlarmEvent> events) {
    std::ranges::move(events, std::back_inserter(to));
}

} // namespace

AlarmOptions ReadAlarmOptions(const ProfileStore& store) {
    AlarmOptions options;
    const double delay = store.ReadFloat(kSection, "CommDelay", kDefaultCommDelay);
    options.commDelaySeconds = std::isfinite(delay) && delay >= 0 ? delay : kDefaultCommDelay;
    options.sound = store.ReadBool(kSection, "Sound", true);
    options.journalFolder = EventsFolderPath(store.ReadString(kSection, "EventsFolder", ""));
    options.stateFile = ResolveDataPath("alarms.state");
    options.retentionDays = store.ReadInteger("General", "Log.Retention", kDefaultRetention);
    return options;
}

AlarmService::AlarmService(TagTable& tags, AlarmOptions options, FailureReport journalFailure)
    : m_tags(tags), m_options(std::move(options)), m_failure(std::move(journalFailure)) {
    if (!m_options.journalFolder.empty())
        m_journal.emplace(m_options.journalFolder, m_failure);
    if (m_options.stateFile.empty())
        return;
    const FileContent saved = ReadRegularFile(m_options.stateFile, kMaxStateBytes);
    if (saved.error.empty() && !m_model.RestoreState(saved.bytes))
        std::cerr << "halvane: some alarms of " << m_options.stateFile.string()
                  << " could not be read back\n";
}

AlarmService::~AlarmService() {
    Stop();
}

void AlarmService::Configure(PortsEnabled ports, bool demo) {
    {
        std::lock_guard lock(m_mutex);
        m_ports = ports;
        m_demo = demo;
    }
    JudgeAllSoon();
}

void AlarmService::SetDemo(bool demo) {
    {
        std::lock_guard lock(m_mutex);
        m_demo = demo;
    }
    JudgeAllSoon();
}

void AlarmService::Start() {
    if (m_thread.joinable())
        return;
    m_stopping = false;
    m_tags.AddChangeListener(this);
    JudgeAllSoon();
    m_thread = std::thread([this] { Run(); });
}

void AlarmService::Stop() {
    if (!m_thread.joinable())
        return;
    m_tags.RemoveChangeListener(this);
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    // Presets stored since the thread last looked still go to the journal.
    std::vector<WriteRecord> writes;
    {
        std::lock_guard lock(m_mutex);
        writes.swap(m_writes);
    }
    JournalWrites(std::move(writes));
    SaveState();
}

void AlarmService::Flush() {
    std::unique_lock lock(m_mutex);
    // The round under way may have taken its changes before the last ones came; the one
    // after it has them all.
    const uint64_t target = m_rounds + 2;
    while (m_rounds < target && m_thread.joinable()) {
        m_wakeSoon = true;
        m_tickSoon = true;
        m_wake.notify_all();
        m_judged.wait_for(lock, std::chrono::milliseconds(50));
    }
}

// Called under the tag table's lock, which guards the set.
void AlarmService::TagChanged(size_t index) {
    m_changes.Mark(index);
}

void AlarmService::AllTagsChanged() {
    m_changes.MarkAll();
}

void AlarmService::JudgeAllSoon() {
    m_tags.Locked([this] { m_changes.MarkAll(); });
}

void AlarmService::PresetStored(size_t index, double value, const WriteOrigin& origin) {
    std::lock_guard lock(m_mutex);
    m_writes.push_back({false, index, value, origin, {}, std::chrono::system_clock::now()});
}

void AlarmService::WriteFailed(size_t index, const std::string& status) {
    std::lock_guard lock(m_mutex);
    m_writes.push_back({true, index, 0, {}, status, std::chrono::system_clock::now()});
}

// The polls that store readings wake nobody: the thread looks at what changed every
// few tens of milliseconds, and judges the tags that wait for their delay and the shelved
// alarms whose time comes once a second.
void AlarmService::Run() {
    bool stateDirty = false;
    auto savedAt = std::chrono::steady_clock::time_point();
    auto tickedAt = std::chrono::steady_clock::time_point();
    for (;;) {
        std::vector<WriteRecord> writes;
        bool tick = false;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, kGather, [this] { return m_stopping || m_wakeSoon; });
            if (m_stopping)
                break;
            m_wakeSoon = false;
            tick = std::exchange(m_tickSoon, false);
            writes.swap(m_writes);
        }
        TagChangeSet::Taken changes;
        m_tags.Locked([&] { changes = m_changes.Take(); });
        tick = tick || std::chrono::steady_clock::now() - tickedAt >= kTick;
        if (tick)
            tickedAt = std::chrono::steady_clock::now();
        const AlarmTime now = std::chrono::system_clock::now();
        JournalWrites(std::move(writes));
        std::vector<AlarmEvent> events = JudgeTags(changes, tick, now);
        if (tick)
            Append(events, m_model.Tick(now));
        if (Publish(events, nullptr) > 0)
            stateDirty = true;
        // What the readings changed is kept at most once a second; what users do at once.
        if (stateDirty && std::chrono::steady_clock::now() - savedAt >= kTick) {
            SaveState();
            stateDirty = false;
            savedAt = std::chrono::steady_clock::now();
        }
        if (tick)
            RemoveOldJournalDays(now);
        {
            std::lock_guard lock(m_mutex);
            ++m_rounds;
        }
        m_judged.notify_all();
    }
}

void AlarmService::JournalWrites(std::vector<WriteRecord> writes) {
    if (writes.empty())
        return;
    std::vector<JournalEvent> lines;
    for (WriteRecord& write : writes) {
        const TDataChannel tag = m_tags.Snapshot(write.tagIndex);
        JournalEvent event;
        event.time = write.time;
        event.event = write.failed ? "write-failed" : "write";
        event.tag = static_cast<int>(write.tagIndex + 1);
        event.name = StoredTextToUtf8(tag.Name);
        event.value = write.failed ? tag.RealValue : write.value;
        if (!write.failed) {
            event.user = write.origin.user;
            event.source = SourceName(write.origin.source);
        }
        event.text = StoredTextToUtf8(write.status);
        lines.push_back(std::move(event));
    }
    Write(lines, true);
}

std::vector<AlarmEvent> AlarmService::JudgeTags(const TagChangeSet::Taken& changes, bool waiting,
                                                AlarmTime now) {
    std::vector<AlarmEvent> events;
    const LinkState link = Links();
    std::vector<size_t> indices;
    if (changes.all) {
        // The table may have been loaded again: every tag, and the alarms of tags gone.
        indices.resize(m_tags.Size());
        std::iota(indices.begin(), indices.end(), size_t{0});
        m_model.ForgetTagsFrom(indices.size());
    } else {
        indices = waiting ? m_model.WaitingTags() : std::vector<size_t>{};
        indices.insert(indices.end(), changes.changed.begin(), changes.changed.end());
        std::ranges::sort(indices);
        const auto [first, last] = std::ranges::unique(indices);
        indices.erase(first, last);
    }
    // Judged in place under the table's lock, a few hundred tags at a time: quicker than
    // copies, and the polls wait for no more than a few hundred. The model's lock goes
    // first, then the table's: nothing takes them the other way round.
    const std::span<const size_t> all(indices);
    for (size_t from = 0; from < all.size(); from += kTagsPerLock) {
        const auto held = m_model.Hold();
        m_tags.ReadSome(all.subspan(from, std::min(kTagsPerLock, all.size() - from)),
                        [&](const TDataChannel& tag, size_t index) {
                            Append(events, Judge(index, tag, link, now));
                        });
    }
    return events;
}

AlarmService::LinkState AlarmService::Links() const {
    std::lock_guard lock(m_mutex);
    return {m_ports, m_demo};
}

std::vector<AlarmEvent> AlarmService::Judge(size_t index, const TDataChannel& tag,
                                            const LinkState& state, AlarmTime now) {
    LinkContext link;
    const bool known = tag.Port > 0 && static_cast<size_t>(tag.Port) < state.ports.size();
    link.linkEnabled = known && state.ports[static_cast<size_t>(tag.Port)];
    link.demo = state.demo;
    link.commDelaySeconds = m_options.commDelaySeconds;
    return m_model.Evaluate(index, tag, AlarmSettingsOf(tag), link, now);
}

void AlarmService::RemoveOldJournalDays(AlarmTime now) {
    const QDate today = JournalLocalDate(now);
    if (!m_journal || today == m_cleanedDay)
        return;
    m_cleanedDay = today;
    m_journal->RemoveOlderThan(m_options.retentionDays, today);
}

size_t AlarmService::Acknowledge(size_t tagIndex, AlarmKind kind, const AlarmActor& actor) {
    const AlarmTime now = std::chrono::system_clock::now();
    return Publish(m_model.Acknowledge(tagIndex, kind, actor.user, now), &actor);
}

size_t AlarmService::AcknowledgeTag(size_t tagIndex, const AlarmActor& actor) {
    const AlarmTime now = std::chrono::system_clock::now();
    std::vector<AlarmEvent> events;
    for (const AlarmKind kind : {AlarmKind::High, AlarmKind::Low, AlarmKind::Communication})
        Append(events, m_model.Acknowledge(tagIndex, kind, actor.user, now));
    return Publish(events, &actor);
}

size_t AlarmService::AcknowledgeAll(const AlarmActor& actor) {
    return Publish(m_model.AcknowledgeAll(actor.user, std::chrono::system_clock::now()), &actor);
}

size_t AlarmService::Shelve(size_t tagIndex, AlarmKind kind, AlarmTime until,
                            std::string_view reason, const AlarmActor& actor) {
    const AlarmTime now = std::chrono::system_clock::now();
    return Publish(m_model.Shelve(tagIndex, kind, until, reason, now), &actor);
}

size_t AlarmService::Unshelve(size_t tagIndex, AlarmKind kind, const AlarmActor& actor) {
    return Publish(m_model.Unshelve(tagIndex, kind, std::chrono::system_clock::now()), &actor);
}

void AlarmService::Record(JournalEvent event, bool sync) {
    Write(std::span(&event, 1), sync);
}

size_t AlarmService::Publish(const std::vector<AlarmEvent>& events, const AlarmActor* actor) {
    if (events.empty())
        return 0;
    std::vector<JournalEvent> lines;
    for (const AlarmEvent& event : events) {
        if (event.type == AlarmEventType::TooMany)
            std::cerr << "halvane: more than " << kMaxListedAlarms
                      << " alarms: the list holds no more of them\n";
        lines.push_back(ToJournal(event, actor));
    }
    Write(lines, true);
    if (actor)
        SaveState();
    std::lock_guard lock(m_subscribersMutex);
    for (AlarmSubscriber* subscriber : m_subscribers)
        subscriber->AlarmsChanged();
    return events.size();
}

JournalEvent AlarmService::ToJournal(const AlarmEvent& event, const AlarmActor* actor) const {
    JournalEvent line;
    line.time = event.time;
    line.event = EventName(event.type);
    line.text = event.text;
    if (event.type == AlarmEventType::TooMany)
        return line;
    line.tag = static_cast<int>(event.tagIndex + 1);
    line.name = TagName(event.tagIndex);
    line.priority = event.priority;
    if (event.kind != AlarmKind::Communication)
        line.value = event.value;
    line.limit = event.limit;
    line.user = actor ? actor->user : event.user;
    if (actor)
        line.source = actor->source;
    return line;
}

void AlarmService::Write(std::span<const JournalEvent> lines, bool sync) {
    if (m_journal)
        m_journal->Append(lines, sync);
    std::lock_guard lock(m_subscribersMutex);
    for (AlarmSubscriber* subscriber : m_subscribers)
        for (const JournalEvent& line : lines)
            subscriber->JournalLineAdded(line);
}

void AlarmService::SaveState() {
    if (m_options.stateFile.empty())
        return;
    std::lock_guard lock(m_stateMutex);
    const int error = ReplaceRegularFile(m_options.stateFile, m_model.SaveState());
    if (error == 0) {
        m_stateFailureReported = false;
        return;
    }
    if (std::exchange(m_stateFailureReported, true))
        return;
    const std::string message = "Cannot write " + m_options.stateFile.string() + ": " +
                                std::generic_category().message(error);
    if (m_failure)
        m_failure(message);
    else
        std::cerr << "halvane: " << message << '\n';
}

std::vector<AlarmInfo> AlarmService::Alarms(bool withShelved) const {
    return m_model.Alarms(withShelved);
}

AlarmCounts AlarmService::Counts() const {
    return m_model.Counts();
}

std::optional<AlarmInfo> AlarmService::NewestUnacknowledged() const {
    return m_model.NewestUnacknowledged();
}

std::string AlarmService::TagName(size_t tagIndex) const {
    return StoredTextToUtf8(m_tags.Snapshot(tagIndex).Name);
}

void AlarmService::Subscribe(AlarmSubscriber* subscriber) {
    std::lock_guard lock(m_subscribersMutex);
    m_subscribers.push_back(subscriber);
}

void AlarmService::Unsubscribe(AlarmSubscriber* subscriber) {
    std::lock_guard lock(m_subscribersMutex);
    std::erase(m_subscribers, subscriber);
}

} // namespace halvane
