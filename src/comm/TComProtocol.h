#pragma once

#include "ConnectionSettings.h"
#include "TComProtocolThread.h"

#include <memory>
#include <vector>

namespace halvane {

// One of the four connections: its worker and its round-robin poll cursor.
class TComProtocol final {
public:
    // `writeMode`: when output tags are written; `combine`: whether input tags are read in
    // blocks of neighbouring registers.
    void AttachWorker(TagTable& tags, const TransactionContext& context, WriteMode writeMode,
                      bool combine);
    // Starts the worker; the connection's tags are looked up once here, since the table
    // changes only while communication is stopped.
    void StartWorker(const TagTable& tags);
    void StopWorker();
    bool HasWorker() const { return m_worker != nullptr; }
    TComProtocolThread* Worker() const { return m_worker.get(); }

    // The poll step: picks the connection's next turn after the cursor (a tag, or a block
    // of tags), marks its tags as the ones polled now and hands it over, or marks them
    // failed when the transport is down. While the worker is busy with the previous turn,
    // the step does nothing. A connection that writes only what was set passes over output
    // tags with no write pending.
    void PollNext(TagTable& tags);

private:
    bool TransportUp() const;
    // Replaces a block that the worker split by its pieces.
    void ApplySplit(const TComProtocolThread::Split& split);
    // The position of the first turn after the cursor with a transaction to make, wrapping
    // round.
    std::optional<size_t> NextTurn(const TagTable& tags) const;

    std::unique_ptr<TComProtocolThread> m_worker;
    bool m_combine = false;
    WriteMode m_writeMode = WriteMode::Cyclic;
    std::vector<size_t> m_members; // the connection's tags, in table order
    std::vector<bool> m_outputs;   // by tag index: an output tag
    std::vector<PollTurn> m_turns; // in the order of their first tags
    std::vector<size_t> m_marked;  // the tags of the turn polled last
    int m_cursor = -1;             // the position of the turn polled last
};

} // namespace halvane
