#pragma once

#include "TComProtocolThread.h"

#include <memory>
#include <vector>

namespace halvane {

// One of the four connections: its worker and its round-robin poll cursor.
class TComProtocol final {
public:
    void AttachWorker(TagTable& tags, const TransactionContext& context);
    // Starts the worker; the connection's tags are looked up once here, since the table
    // changes only while communication is stopped.
    void StartWorker(const TagTable& tags);
    void StopWorker();
    bool HasWorker() const { return m_worker != nullptr; }
    TComProtocolThread* Worker() const { return m_worker.get(); }

    // The poll step: picks the connection's next tag after the cursor, marks it as the
    // one polled now and hands it over, or marks it failed when the transport is down.
    // While the worker is busy with the previous tag, the step does nothing.
    void PollNext(TagTable& tags);
    int Cursor() const { return m_cursor; }

private:
    bool TransportUp() const;

    std::unique_ptr<TComProtocolThread> m_worker;
    std::vector<size_t> m_members; // the connection's tags, in table order
    int m_cursor = -1;
};

} // namespace halvane
