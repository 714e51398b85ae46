#include "TagWriteQueue.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

using namespace halvane;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// Keeps the tasks handed to it, as the window's event queue does, until the test runs them.
class HeldTasks final {
public:
    TagWriteQueue::Runner Runner() {
        return [this](std::function<void()> task) {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
            m_handedOver.push_back(Clock::now());
        };
    }
    size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_tasks.size();
    }
    bool WaitForCount(size_t count) const {
        const auto end = Clock::now() + 5s;
        while (Count() < count && Clock::now() < end)
            std::this_thread::sleep_for(5ms);
        return Count() >= count;
    }
    void Run(size_t i) {
        std::function<void()> task;
        {
            std::lock_guard lock(m_mutex);
            task = m_tasks.at(i);
        }
        task();
    }
    Clock::duration Between(size_t first, size_t second) const {
        std::lock_guard lock(m_mutex);
        return m_handedOver.at(second) - m_handedOver.at(first);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::function<void()>> m_tasks;
    std::vector<Clock::time_point> m_handedOver;
};

TagWrite Write(size_t index, double value) {
    return {std::to_string(index + 1), index, value};
}

} // namespace

// A flood of writes: each tag keeps its newest, one batch waits at a time, and batches are
// handed over at least the gap apart.
TEST(TagWriteQueue, NewestWritePerTagOneBatchAtATime) {
    HeldTasks tasks;
    std::vector<std::vector<TagWrite>> made;
    TagWriteQueue queue(
        tasks.Runner(), [&made](const std::vector<TagWrite>& writes) { made.push_back(writes); },
        100ms);

    EXPECT_EQ(queue.Put(Write(4, 1)), std::nullopt);
    ASSERT_TRUE(tasks.WaitForCount(1));
    for (int value = 2; value <= 1000; ++value)
        EXPECT_EQ(queue.Put(Write(4, value)), Write(4, value - 1));
    EXPECT_EQ(queue.Put(Write(0, 7)), std::nullopt);
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(tasks.Count(), 1U); // the first batch has not been made yet

    tasks.Run(0);
    ASSERT_EQ(made.size(), 1U);
    EXPECT_EQ(made[0], (std::vector<TagWrite>{Write(0, 7), Write(4, 1000)}));

    queue.Put(Write(4, 1001));
    ASSERT_TRUE(tasks.WaitForCount(2));
    EXPECT_GE(tasks.Between(0, 1), 100ms);
    tasks.Run(1);
    ASSERT_EQ(made.size(), 2U);
    EXPECT_EQ(made[1], std::vector<TagWrite>{Write(4, 1001)});
}

// A batch that runs after the queue stopped, or after it has gone, makes nothing.
TEST(TagWriteQueue, ABatchRunAfterTheStopMakesNothing) {
    HeldTasks tasks;
    int made = 0;
    {
        TagWriteQueue queue(
            tasks.Runner(), [&made](const std::vector<TagWrite>&) { ++made; }, 10ms);
        queue.Put(Write(0, 1));
        ASSERT_TRUE(tasks.WaitForCount(1));
    }
    tasks.Run(0);
    EXPECT_EQ(made, 0);
}
