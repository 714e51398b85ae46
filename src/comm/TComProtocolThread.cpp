#include "TComProtocolThread.h"

#include "NetworkLink.h"
#include "TComPort.h"
#include "TagTable.h"

#include <utility>

namespace halvane {

TComProtocolThread::TComProtocolThread(TagTable& tags, TransactionContext context)
    : m_tags(tags), m_context(context), m_random(std::random_device{}()) {
    m_context.random = &m_random;
}

TComProtocolThread::~TComProtocolThread() {
    Stop();
}

void TComProtocolThread::Resume() {
    if (!m_thread.joinable())
        m_thread = std::thread(&TComProtocolThread::Execute, this);
}

void TComProtocolThread::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_terminated = true;
    }
    m_wake.notify_one();
    if (!m_thread.joinable())
        return;
    // Whatever the timeouts, a transaction waiting on its device ends now.
    if (m_context.port)
        m_context.port->Interrupt();
    if (m_context.link)
        m_context.link->Interrupt();
    m_thread.join();
}

void TComProtocolThread::HandOver(size_t tagIndex) {
    {
        std::lock_guard lock(m_mutex);
        m_slot = tagIndex;
        m_busy = true;
    }
    m_wake.notify_one();
}

bool TComProtocolThread::Busy() const {
    std::lock_guard lock(m_mutex);
    return m_busy;
}

void TComProtocolThread::Execute() {
    for (;;) {
        size_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_terminated || m_slot.has_value(); });
            if (m_terminated)
                return;
            // Taking the tag empties the slot: one hand-over, one transaction.
            index = *std::exchange(m_slot, std::nullopt);
        }
        TDataChannel tag = m_tags.Snapshot(index);
        DoTransaction(tag, m_context);
        // Free before the outcome is stored: whoever sees the outcome may hand over the next.
        {
            std::lock_guard lock(m_mutex);
            m_busy = false;
            if (m_terminated)
                return; // the stop may have cut it short: it tells nothing of the device
        }
        m_tags.StoreOutcome(index, tag);
    }
}

} // namespace halvane
