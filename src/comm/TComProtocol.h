#pragma once

#include "ConnectionSettings.h"
#include "TComProtocolThread.h"

#include <memory>
#include <vector>

namespace halvane {

// One of the four connections: its worker and its round-robin poll cursor.
class TComProtocol final {
public:
    void AttachWorker(TagTable& tags, const TransactionContext& context,
                      WriteMode writeMode = WriteMode::Cyclic);
    // Starts the worker; the connection's tags are looked up once here, since the table
    // changes only while communication is stopped.
    void StartWorker(const TagTable& tags);
    void StopWorker();
    bool HasWorker() const { return m_worker != nullptr; }
    TComProtocolThread* Worker() const { return m_worker.get(); }

    // The poll step: picks the connection's next tag after the cursor, marks it as the
    // one polled now and hands it over, or marks it failed when the transport is down.
    // While the worker is busy with the previous tag, the step does nothing. A connection
    // that writes only what was set passes over output tags with no write pending.
    void PollNext(TagTable& tags);
    int Cursor() const { return m_cursor; }

private:
    bool TransportUp() const;
    // The first tag after the cursor with a transaction to make, wrapping round.
    std::optional<size_t> NextTag(const TagTable& tags) const;

    std::unique_ptr<TComProtocolThread> m_worker;
    WriteMode m_writeMode = WriteMode::Cyclic;
    std::vector<size_t> m_members;    // the connection's tags, in table order
    std::vector<bool> m_memberWrites; // by member: an output tag
    int m_cursor = -1;
};

} // namespace halvane
