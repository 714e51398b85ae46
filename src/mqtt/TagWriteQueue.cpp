#include "TagWriteQueue.h"

#include <utility>

namespace halvane {

TagWriteQueue::TagWriteQueue(Runner runner, Apply apply, std::chrono::milliseconds gap)
    : m_runner(std::move(runner)), m_gap(gap), m_state(std::make_shared<State>()) {
    m_state->apply = std::move(apply);
    m_pacer = std::thread([this] { PaceLoop(); });
}

TagWriteQueue::~TagWriteQueue() {
    Stop();
}

std::optional<TagWrite> TagWriteQueue::Put(TagWrite write) {
    std::lock_guard lock(m_state->mutex);
    const size_t index = write.index;
    const auto [waiting, added] = m_state->waiting.try_emplace(index, std::move(write));
    if (added) {
        m_state->wake.notify_all();
        return std::nullopt;
    }
    return std::exchange(waiting->second, std::move(write));
}

void TagWriteQueue::Stop() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopped = true;
        m_state->wake.notify_all();
    }
    if (m_pacer.joinable())
        m_pacer.join();
}

// Hands a batch over once writes wait, the last batch has been made and the gap since it
// was handed over has passed.
void TagWriteQueue::PaceLoop() {
    using Clock = std::chrono::steady_clock;
    State& state = *m_state;
    Clock::time_point next;
    std::unique_lock lock(state.mutex);
    for (;;) {
        state.wake.wait(
            lock, [&] { return state.stopped || (!state.waiting.empty() && !state.handedOver); });
        if (state.wake.wait_until(lock, next, [&] { return state.stopped; }))
            return;
        state.handedOver = true;
        next = Clock::now() + m_gap;
        lock.unlock();
        m_runner(Batch());
        lock.lock();
    }
}

// Takes what waits when it runs, so writes that arrive meanwhile still join it.
std::function<void()> TagWriteQueue::Batch() const {
    return [state = m_state] {
        std::vector<TagWrite> writes;
        {
            std::lock_guard lock(state->mutex);
            if (state->stopped)
                return;
            for (auto& [index, write] : state->waiting)
                writes.push_back(std::move(write));
            state->waiting.clear();
        }
        state->apply(writes);
        std::lock_guard lock(state->mutex);
        state->handedOver = false;
        state->wake.notify_all();
    };
}

} // namespace halvane
