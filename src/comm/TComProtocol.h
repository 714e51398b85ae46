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
    // tags with no write pending; their turns read back what they write instead, unless
    // their device refused that (then they wait for a preset, until the next start). A
    // block whose output tag has a write pending hands over that write first, then itself.
    void PollNext(TagTable& tags);

private:
    bool TransportUp() const;
    // Replaces a block that the worker split by its pieces.
    void ApplySplit(const TComProtocolThread::Split& split);
    // Puts `pieces` in the place of the turn at `position`; the cursor stays behind them
    // when it was at or behind that turn.
    void ReplaceTurn(size_t position, const std::vector<PollTurn>& pieces);
    // Read-back stops for the refused tags: each leaves its block for a turn of its own,
    // which waits for a preset, and no block reads its register any more.
    void ApplyRefusals(const std::vector<size_t>& refused);
    bool ReadsBack() const { return m_writeMode == WriteMode::WhenSet; }
    // An output tag of the block whose preset waits to be written.
    std::optional<size_t> PendingWriteIn(const PollTurn& turn, const TagTable& tags) const;
    // The position of the first turn after the cursor with a transaction to make, wrapping
    // round.
    std::optional<size_t> NextTurn(const TagTable& tags) const;

    std::unique_ptr<TComProtocolThread> m_worker;
    bool m_combine = false;
    WriteMode m_writeMode = WriteMode::Cyclic;
    std::vector<size_t> m_members; // the connection's tags, in table order
    std::vector<bool> m_outputs;   // by tag index: an output tag
    std::vector<bool> m_refused;   // by tag index: its device refused its read-back
    std::vector<PollTurn> m_turns; // in the order of their first tags
    std::vector<size_t> m_marked;  // the tags of the turn polled last
    int m_cursor = -1;             // the position of the turn polled last
    // The position of a block whose pending write went ahead of it at the last step.
    std::optional<size_t> m_wroteAhead;
};

} // namespace halvane
