#include "TagChangeQueue.h"

#include <gtest/gtest.h>

#include <thread>

using namespace halvane;
using namespace std::chrono_literals;

namespace {

auto Soon() {
    return std::chrono::steady_clock::now() + 50ms;
}

} // namespace

// Each tag at most once per batch, in the order they first changed, however often it
// changed; a change of the whole table or a forced round replaces the single ones.
TEST(TagChangeQueue, CoalescesPerTag) {
    TagChangeQueue queue;
    for (size_t index : {5, 2, 5, 5, 2, 9})
        queue.TagChanged(index);
    auto batch = queue.Take(Soon());
    EXPECT_EQ(batch.changed, (std::vector<size_t>{5, 2, 9}));
    EXPECT_FALSE(batch.all || batch.force || batch.tagList || batch.stopped);

    queue.TagChanged(5); // taken before: queued again
    batch = queue.Take(Soon());
    EXPECT_EQ(batch.changed, (std::vector<size_t>{5}));

    queue.TagChanged(1);
    queue.AllTagsChanged();
    queue.TagChanged(3);
    batch = queue.Take(Soon());
    EXPECT_TRUE(batch.all);
    EXPECT_FALSE(batch.force);
    EXPECT_TRUE(batch.changed.empty());

    queue.ForceAll();
    queue.RequestTagList();
    batch = queue.Take(Soon());
    EXPECT_TRUE(batch.all && batch.force && batch.tagList);

    queue.TagChanged(3); // flags were cleared by the whole-table batch
    EXPECT_EQ(queue.Take(Soon()).changed, (std::vector<size_t>{3}));
}

TEST(TagChangeQueue, WaitsForAChangeTheDeadlineOrTheStop) {
    TagChangeQueue queue;
    const auto start = std::chrono::steady_clock::now();
    auto batch = queue.Take(start + 100ms);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_TRUE(batch.changed.empty());

    std::thread changer([&] {
        std::this_thread::sleep_for(50ms);
        queue.TagChanged(7);
    });
    batch = queue.Take(std::chrono::steady_clock::now() + 60s);
    changer.join();
    EXPECT_EQ(batch.changed, (std::vector<size_t>{7}));

    std::thread stopper([&] {
        std::this_thread::sleep_for(50ms);
        queue.Stop();
    });
    EXPECT_TRUE(queue.Take(std::chrono::steady_clock::now() + 60s).stopped);
    stopper.join();
    EXPECT_TRUE(queue.Take(std::chrono::steady_clock::now() + 60s).stopped);
}
