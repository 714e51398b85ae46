#include "EncodedFrameCache.h"

#include <utility>

namespace halvane {

EncodedFrameCache::EncodedFrameCache(Encoder encode) : m_encode(std::move(encode)) {}

SharedBmp EncodedFrameCache::Get(const QImage& frame) {
    if (frame.isNull())
        return nullptr;
    std::unique_lock lock(m_mutex);
    // Only the first frame is waited for: there is nothing older to hand out.
    m_encoded.wait(lock, [this] { return !m_encoding || m_bytes; });
    if (m_bytes && (m_frameKey == frame.cacheKey() || m_encoding ||
                    Clock::now() < m_encodedAt + m_encodingTook))
        return m_bytes;
    return Encode(frame, lock);
}

SharedBmp EncodedFrameCache::Encode(const QImage& frame, std::unique_lock<std::mutex>& lock) {
    m_encoding = true;
    lock.unlock();
    const auto started = Clock::now();
    SharedBmp bytes;
    try {
        bytes = std::make_shared<const std::vector<uint8_t>>(m_encode(frame));
    } catch (...) {
        lock.lock();
        m_encoding = false;
        m_encoded.notify_all();
        throw;
    }
    lock.lock();
    m_bytes = bytes;
    m_frameKey = frame.cacheKey();
    m_encodedAt = Clock::now();
    m_encodingTook = m_encodedAt - started;
    m_encoding = false;
    m_encoded.notify_all();
    return bytes;
}

} // namespace halvane
