#pragma once

#include "TagMessages.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace halvane {

// Writes from the broker on their way to where presets are made. Each tag holds only its
// newest write; what waits goes out as one batch, at most one batch waits for the runner
// at a time and batches start at least `gap` apart. However fast writes arrive, the
// runner's thread gets a few batches a second, each saved with one file write.
class TagWriteQueue final {
public:
    // Runs a task where presets are made.
    using Runner = std::function<void(std::function<void()> task)>;
    // Makes one batch of writes, in tag order, on the runner's thread.
    using Apply = std::function<void(const std::vector<TagWrite>& writes)>;

    TagWriteQueue(Runner runner, Apply apply, std::chrono::milliseconds gap);
    ~TagWriteQueue();
    TagWriteQueue(const TagWriteQueue&) = delete;
    TagWriteQueue& operator=(const TagWriteQueue&) = delete;

    // The write of the same tag that this one replaced, if one still waited.
    std::optional<TagWrite> Put(TagWrite write);
    // Nothing more is made: a batch that the runner has not started yet is dropped.
    void Stop();

private:
    // Shared with the batch handed to the runner, which may run after the queue has gone.
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::map<size_t, TagWrite> waiting; // by tag index
        bool handedOver = false;            // a batch waits for the runner
        bool stopped = false;
        Apply apply;
    };

    void PaceLoop();
    std::function<void()> Batch() const;

    Runner m_runner;
    std::chrono::milliseconds m_gap;
    std::shared_ptr<State> m_state;
    std::thread m_pacer;
};

} // namespace halvane
