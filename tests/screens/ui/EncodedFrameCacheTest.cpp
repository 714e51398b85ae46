#include "EncodedFrameCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace halvane {
namespace {

using namespace std::chrono_literals;

QImage Frame(QRgb color) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// An encoder whose bytes are the frame's colour, that counts its calls and the most that ran
// at once, and that holds each call until the test lets it go when `gated`.
struct CountingEncoder {
    std::atomic<int> calls = 0;
    std::atomic<int> running = 0;
    std::atomic<int> mostRunning = 0;
    bool gated = false;
    std::chrono::milliseconds takes{0};
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();

    EncodedFrameCache::Encoder Function() {
        return [this](const QImage& image) {
            ++calls;
            mostRunning = std::max(mostRunning.load(), ++running);
            if (gated)
                opened.wait();
            std::this_thread::sleep_for(takes);
            --running;
            const QRgb color = image.pixel(0, 0);
            return std::vector<uint8_t>{static_cast<uint8_t>(qRed(color))};
        };
    }
};

TEST(EncodedFrameCache, EncodesEachFrameOnceAndSharesItsBytes) {
    CountingEncoder encoder;
    EncodedFrameCache cache(encoder.Function());
    EXPECT_EQ(cache.Get(QImage()), nullptr);
    const QImage first = Frame(qRgb(10, 0, 0));
    const SharedBmp a = cache.Get(first);
    const QImage copyOfFirst = first; // the same frame, as a screen hands it out again
    EXPECT_EQ(cache.Get(copyOfFirst), a);
    EXPECT_EQ(encoder.calls, 1);
    std::this_thread::sleep_for(2ms); // longer than the encoding took
    const SharedBmp b = cache.Get(Frame(qRgb(20, 0, 0)));
    EXPECT_EQ(*b, std::vector<uint8_t>{20});
    EXPECT_EQ(*a, std::vector<uint8_t>{10}) << "readers of the old frame keep its bytes";
    EXPECT_EQ(encoder.calls, 2);
}

// A frame that encodes slower than the screen repaints: while one thread encodes, the other
// readers take the last encoding at once, and never a second encoding at the same time.
TEST(EncodedFrameCache, ReadersDuringAnEncodingTakeTheLastOneAtOnce) {
    CountingEncoder encoder;
    EncodedFrameCache cache(encoder.Function());
    const SharedBmp old = cache.Get(Frame(qRgb(1, 0, 0)));
    encoder.gated = true;
    std::this_thread::sleep_for(2ms); // longer than the encoding took
    auto encoding = std::async(std::launch::async, [&] { return cache.Get(Frame(qRgb(2, 0, 0))); });
    while (encoder.running == 0)
        std::this_thread::yield();
    for (QRgb color : {qRgb(2, 0, 0), qRgb(3, 0, 0)})
        EXPECT_EQ(cache.Get(Frame(color)), old);
    encoder.gate.set_value();
    EXPECT_EQ(*encoding.get(), std::vector<uint8_t>{2});
    EXPECT_EQ(encoder.mostRunning, 1);
    EXPECT_EQ(encoder.calls, 2);
}

// A newer frame is encoded only once as long as the last encoding took has passed.
TEST(EncodedFrameCache, NewerFramesWaitAsLongAsTheLastEncodingTook) {
    CountingEncoder encoder;
    encoder.takes = 100ms;
    EncodedFrameCache cache(encoder.Function());
    const SharedBmp first = cache.Get(Frame(qRgb(1, 0, 0)));
    EXPECT_EQ(cache.Get(Frame(qRgb(2, 0, 0))), first);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(*cache.Get(Frame(qRgb(3, 0, 0))), std::vector<uint8_t>{3});
    EXPECT_EQ(encoder.calls, 2);
}

TEST(EncodedFrameCache, TheFirstFrameIsWaitedForAndShared) {
    CountingEncoder encoder;
    encoder.gated = true;
    EncodedFrameCache cache(encoder.Function());
    const QImage frame = Frame(qRgb(7, 0, 0));
    auto first = std::async(std::launch::async, [&] { return cache.Get(frame); });
    while (encoder.running == 0)
        std::this_thread::yield();
    auto second = std::async(std::launch::async, [&] { return cache.Get(frame); });
    encoder.gate.set_value();
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(encoder.calls, 1);
}

} // namespace
} // namespace halvane
