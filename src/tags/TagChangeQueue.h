#pragma once

#include "TagTable.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace halvane {

// The tags that changed since the publisher last looked, each at most once: the
// publisher reads a tag's newest state when it gets to it, so a broker that lags costs
// one flag per tag and never a backlog of old values. Fed by the tag table under its
// lock, so a change costs the poll that made it one short lock and, at most, one wake-up.
class TagChangeQueue final : public TagChangeListener {
public:
    struct Batch {
        std::vector<size_t> changed; // in the order they first changed
        bool all = false;            // every tag may have changed
        bool force = false;          // every tag goes out again, changed or not
        bool tagList = false;        // the description of the table goes out again
        bool stopped = false;
    };

    void TagChanged(size_t index) override;
    void AllTagsChanged() override;
    void ForceAll();
    void RequestTagList();
    // Take returns at once from now on, with `stopped` set.
    void Stop();

    // Waits until `notBefore` (only a stop cuts it short), then until something is
    // pending, the queue is stopped or `deadline` passes, and takes everything pending.
    // While it waits for `notBefore` changes are only flagged: the polls that make them
    // wake nobody.
    Batch Take(std::chrono::steady_clock::time_point deadline,
               std::chrono::steady_clock::time_point notBefore = {});

private:
    bool PendingLocked() const;
    void WakeLocked();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<bool> m_flagged; // by tag index: already in m_batch.changed
    Batch m_batch;
    bool m_waiting = false; // a Take sleeps and has not been woken yet
};

} // namespace halvane
