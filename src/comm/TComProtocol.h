#pragma once

#include "TComProtocolThread.h"

#include <memory>
#include <vector>

namespace halvane {

// One of the four connections: its worker and its round-robin poll cursor.
class TComProtocol final {
public:
    void AttachWorker(TagTable& tags, const TransactionContext& context);
    // Before StartWorker: whether input tags are read in blocks of neighbouring registers.
    void CombineRequests(bool on) { m_combine = on; }
    // Starts the worker; the connection's tags are looked up once here, since the table
    // changes only while communication is stopped.
    void StartWorker(const TagTable& tags);
    void StopWorker();
    bool HasWorker() const { return m_worker != nullptr; }
    TComProtocolThread* Worker() const { return m_worker.get(); }

    // The poll step: picks the connection's next turn after the cursor (a tag, or a block
    // of tags), marks its tags as the ones polled now and hands it over, or marks them
    // failed when the transport is down. While the worker is busy with the previous turn,
    // the step does nothing.
    void PollNext(TagTable& tags);

private:
    bool TransportUp() const;
    // Replaces a block that the worker split by its pieces.
    void ApplySplit(const TComProtocolThread::Split& split);

    std::unique_ptr<TComProtocolThread> m_worker;
    bool m_combine = false;
    std::vector<size_t> m_members; // the connection's tags, in table order
    std::vector<PollTurn> m_turns; // in the order of their first tags
    std::vector<size_t> m_marked;  // the tags of the turn polled last
    int m_cursor = -1;             // the position of the turn polled last
};

} // namespace halvane
