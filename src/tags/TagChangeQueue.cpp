#include "TagChangeQueue.h"

#include <utility>

namespace halvane {

void TagChangeQueue::TagChanged(size_t index) {
    std::lock_guard lock(m_mutex);
    if (m_batch.all)
        return;
    if (index >= m_flagged.size())
        m_flagged.resize(index + 1);
    if (m_flagged[index])
        return;
    m_flagged[index] = true;
    m_batch.changed.push_back(index);
    WakeLocked();
}

void TagChangeQueue::AllTagsChanged() {
    std::lock_guard lock(m_mutex);
    m_batch.all = true;
    WakeLocked();
}

void TagChangeQueue::ForceAll() {
    std::lock_guard lock(m_mutex);
    m_batch.all = true;
    m_batch.force = true;
    WakeLocked();
}

void TagChangeQueue::RequestTagList() {
    std::lock_guard lock(m_mutex);
    m_batch.tagList = true;
    WakeLocked();
}

void TagChangeQueue::Stop() {
    std::lock_guard lock(m_mutex);
    m_batch.stopped = true;
    m_wake.notify_all();
}

TagChangeQueue::Batch TagChangeQueue::Take(std::chrono::steady_clock::time_point deadline,
                                           std::chrono::steady_clock::time_point notBefore) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_until(lock, notBefore, [this] { return m_batch.stopped; });
    m_waiting = true;
    m_wake.wait_until(lock, deadline, [this] { return PendingLocked(); });
    m_waiting = false;
    Batch taken = std::exchange(m_batch, Batch{});
    m_batch.stopped = taken.stopped;
    for (const size_t index : taken.changed)
        m_flagged[index] = false;
    if (taken.all)
        taken.changed.clear();
    return taken;
}

bool TagChangeQueue::PendingLocked() const {
    return m_batch.stopped || m_batch.all || m_batch.tagList || !m_batch.changed.empty();
}

// Only a sleeping publisher needs the system call; one that is busy takes the change
// with its next batch.
void TagChangeQueue::WakeLocked() {
    if (!m_waiting)
        return;
    m_waiting = false;
    m_wake.notify_one();
}

} // namespace halvane
