#pragma once

#include "ScreenSource.h"

#include <QImage>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace halvane {

// The bytes of a screen's latest frame in one file format (BMP, PNG: the encoder's) for the
// web server's request threads, encoded once per frame however many ask. While one caller encodes a
// newer frame, the others take the last encoding at once instead of waiting or encoding the same
// frame again, so a large frame that takes longer to encode than the screen takes to repaint is
// encoded by one thread at a time. A newer frame is encoded only once as much time has passed since
// the last encoding as that took, so that the encoding of a large frame takes at most half a thread
// and slow readers hold few distinct copies.
class EncodedFrameCache final {
public:
    using Encoder = std::function<std::vector<uint8_t>(const QImage&)>;

    explicit EncodedFrameCache(Encoder encode);

    // Null for a null frame.
    SharedBmp Get(const QImage& frame);

private:
    SharedBmp Encode(const QImage& frame, std::unique_lock<std::mutex>& lock);

    using Clock = std::chrono::steady_clock;

    const Encoder m_encode;
    std::mutex m_mutex;
    std::condition_variable m_encoded;
    bool m_encoding = false;
    qint64 m_frameKey = 0;
    SharedBmp m_bytes;
    Clock::time_point m_encodedAt;
    Clock::duration m_encodingTook{};
};

} // namespace halvane
