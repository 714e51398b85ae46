#pragma once

// A trace sink that keeps one entry for each traced frame, the requests that went out apart
// from the replies that came in; what an entry holds is the subclass's choice.
#include "TraceSink.h"

#include <mutex>
#include <utility>
#include <vector>

template <class Entry> class TracedByDirection : public halvane::TraceSink {
public:
    bool Accepting() const override { return true; }
    std::vector<Entry> Sent() const {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    std::vector<Entry> Received() const {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_sent.clear();
        m_received.clear();
    }

protected:
    void Keep(bool sent, Entry entry) {
        std::lock_guard lock(m_mutex);
        (sent ? m_sent : m_received).push_back(std::move(entry));
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_sent;
    std::vector<Entry> m_received;
};
