#pragma once

#include "TComProtocolThread.h"

#include <memory>

namespace halvane {

// One of the four connections: its worker and its round-robin poll cursor.
class TComProtocol final {
public:
    void AttachWorker(TagTable& tags, const TransactionContext& context);
    void StartWorker();
    void StopWorker();
    bool HasWorker() const { return m_worker != nullptr; }

    // The poll step: picks the connection's next tag after the cursor, marks it as the
    // one polled now and hands it over, or marks it failed when the transport is down.
    void PollNext(TagTable& tags);
    void HandOver(size_t tagIndex);
    int Cursor() const { return m_cursor; }

private:
    bool TransportUp() const;

    std::unique_ptr<TComProtocolThread> m_worker;
    int m_cursor = -1;
};

} // namespace halvane
