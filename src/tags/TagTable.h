#pragma once

#include "TDataChannel.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace halvane {

// Loads "Channel.0", "Channel.1", ... up to the first absent section.
std::vector<TDataChannel> LoadAllTags(ProfileStore& store);

// Removes the tag at `index` from the table and renumbers the file: every remaining tag
// is saved again under its new index and the last, now stale, sections are erased.
// `processEvents` runs after every 10th saved tag so the window stays responsive. The
// file is written once, at the end; false when that failed (LastError says why).
bool DeleteTag(ProfileStore& store, std::vector<TDataChannel>& tags, size_t index,
               const std::function<void()>& processEvents = {});

// Marks the tags of a reloaded table whose preset was still waiting to be written in the
// table it replaces (the same output tag on the same register, holding the same value),
// so that a connection that writes only what was set still writes it.
void CarryPendingWrites(const std::vector<TDataChannel>& before, std::vector<TDataChannel>& after);
// Where a preset was asked for.
enum class WriteSource { Station, Mqtt, Web };

// Who asked for a preset: where, and the user logged in there (empty without accounts).
struct WriteOrigin {
    WriteOrigin(WriteSource from = WriteSource::Station, std::string by = {})
        : source(from), user(std::move(by)) {}

    WriteSource source;
    std::string user;
};

// Told that tags may have changed. Called with the table's lock held, from whichever
// thread changed them: it must be quick and must not call back into the table.
class TagChangeListener {
public:
    virtual void TagChanged(size_t index) = 0;
    virtual void AllTagsChanged() = 0;
    // A preset of `value` was stored on the output tag at `index` (told before TagChanged).
    virtual void PresetStored(size_t /*index*/, double /*value*/, const WriteOrigin& /*origin*/) {}
    // A write of the output tag failed with `status`; told when its status changes to a
    // failure, not again for each retry that fails the same way (before TagChanged).
    virtual void WriteFailed(size_t /*index*/, const std::string& /*status*/) {}

protected:
    ~TagChangeListener() = default;
};

// The station's tag table, shared by the UI thread, the connection workers and the web
// server's threads. Every access to a tag goes through the table's lock; workers copy a
// tag, run their transaction on the copy without the lock and store the outcome back.
// The table itself is replaced only while no worker runs.
class TagTable final {
public:
    void Assign(std::vector<TDataChannel> tags);
    size_t Size() const;
    TDataChannel Snapshot(size_t index) const;
    std::vector<TDataChannel> SnapshotAll() const;
    // Whether the tag at `index` waits for its preset value to be written.
    bool WritePending(size_t index) const;

    // Runs `change` on the tag at `index` under the lock; false when there is no such tag.
    bool Update(size_t index, const std::function<void(TDataChannel&)>& change);
    // Runs `change` on every tag under the lock.
    void UpdateAll(const std::function<void(TDataChannel&, size_t)>& change);
    // Runs `read` on the tag at `index` under the lock, without copying it; false when
    // there is no such tag.
    bool Read(size_t index, const std::function<void(const TDataChannel&)>& read) const;
    // Runs `read` on the tags at `indices` (those in the table), in their order, under one
    // lock, without copying them.
    void ReadSome(std::span<const size_t> indices,
                  const std::function<void(const TDataChannel&, size_t)>& read) const;
    // Runs `run` under the lock: for what the listeners keep under it.
    void Locked(const std::function<void()>& run) const;
    // Runs `read` on every tag under the lock, without copying the table.
    void ReadAll(const std::function<void(const TDataChannel&, size_t)>& read) const;

    // When a tag last changed what it shows (its value, validity or status, a preset among
    // them): nothing for a tag that has not changed since the table was assigned.
    using ChangeTime = std::chrono::system_clock::time_point;
    using TimedRead =
        std::function<void(const TDataChannel&, size_t, std::optional<ChangeTime> changedAt)>;
    // ReadAll and ReadSome, each tag with the time it last changed.
    void ReadAllTimed(const TimedRead& read) const;
    void ReadSomeTimed(std::span<const size_t> indices, const TimedRead& read) const;

    // Stores the run-time outcome of a transaction made on a copy of the tag. The value of
    // an output tag stays as it is: it may have been preset meanwhile.
    void StoreOutcome(size_t index, const TDataChannel& outcome);
    // Stores the outcome of a read-back made on a copy of an output tag: the value the
    // device holds, or why it could not be read. Dropped, with false, when a preset came
    // meanwhile: that value waits to be written and is what the tag shows until then.
    bool StoreReadBack(size_t index, const TDataChannel& outcome);

    // Tells the listeners that a preset of `value` was stored on the tag at `index`.
    void NotifyPresetStored(size_t index, double value, const WriteOrigin& origin);

    // Listeners are told in the order they were added. Once RemoveChangeListener
    // returns, the listener is no longer called.
    void AddChangeListener(TagChangeListener* listener);
    void RemoveChangeListener(TagChangeListener* listener);

private:
    // What the views of a tag show: a change of it is a change of the tag.
    struct ShownState {
        double value = 0;
        bool valid = false;
        std::string status;
        bool operator==(const ShownState&) const = default;
    };
    static ShownState ShownStateOf(const TDataChannel& tag);
    void StampIfShownChanged(size_t index, const ShownState& before); // under the lock

    void NotifyChanged(size_t index);
    void NotifyAllChanged();

    mutable std::mutex m_mutex;
    std::vector<TDataChannel> m_tags;
    std::vector<std::optional<ChangeTime>> m_changedAt; // by index, beside m_tags
    std::vector<TagChangeListener*> m_listeners;
};

} // namespace halvane
