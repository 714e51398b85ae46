#include "TComProtocol.h"

#include "ConnectionSettings.h"
#include "NetworkLink.h"
#include "TComPort.h"
#include "TagTable.h"

#include <algorithm>

namespace halvane {

void TComProtocol::AttachWorker(TagTable& tags, const TransactionContext& context,
                                WriteMode writeMode, bool combine) {
    if (!m_worker)
        m_worker = std::make_unique<TComProtocolThread>(tags, context);
    m_writeMode = writeMode;
    m_combine = combine;
    if (ReadsBack())
        m_worker->ReadBackOutputs();
}

void TComProtocol::StartWorker(const TagTable& tags) {
    m_cursor = -1;
    m_members.clear();
    if (!m_worker)
        return;
    const int connection = m_worker->Context().connection;
    const std::vector<TDataChannel> table = tags.SnapshotAll();
    m_outputs.assign(table.size(), false);
    m_refused.assign(table.size(), false);
    m_wroteAhead.reset();
    for (size_t index = 0; index < table.size(); ++index) {
        if (table[index].Port != connection)
            continue;
        m_members.push_back(index);
        m_outputs[index] = table[index].IsOutputTag();
    }
    m_turns = BuildPollTurns(table, connection, m_combine, ReadsBack());
    m_marked.clear();
    m_worker->Resume();
}

void TComProtocol::StopWorker() {
    if (m_worker) {
        m_worker->Stop();
        m_worker.reset();
    }
}

bool TComProtocol::TransportUp() const {
    const TransactionContext& c = m_worker->Context();
    return c.protocol == ModbusProtocol::Tcp ? (c.link && c.link->IsConnected())
                                             : (c.port && c.port->IsOpen());
}

void TComProtocol::ReplaceTurn(size_t position, const std::vector<PollTurn>& pieces) {
    const auto at = m_turns.begin() + static_cast<std::ptrdiff_t>(position);
    m_turns.insert(m_turns.erase(at), pieces.begin(), pieces.end());
    if (m_cursor >= static_cast<int>(position))
        m_cursor += static_cast<int>(pieces.size()) - 1;
    m_wroteAhead.reset();
}

void TComProtocol::ApplySplit(const TComProtocolThread::Split& split) {
    const auto block = std::ranges::find(m_turns, PollTurn(split.block));
    if (block == m_turns.end())
        return;
    // The pieces take the block's place; the cursor stays behind them, as they were read.
    ReplaceTurn(static_cast<size_t>(block - m_turns.begin()),
                {split.pieces.begin(), split.pieces.end()});
}

void TComProtocol::ApplyRefusals(const std::vector<size_t>& refused) {
    for (const size_t index : refused) {
        m_refused[index] = true;
        const auto inBlock = [index](const PollTurn& turn) {
            const auto* block = std::get_if<RequestBlock>(&turn);
            return block && std::ranges::find(block->members, index, &BlockMember::tag) !=
                                block->members.end();
        };
        const auto block = std::ranges::find_if(m_turns, inBlock);
        if (block != m_turns.end())
            ReplaceTurn(static_cast<size_t>(block - m_turns.begin()),
                        WithoutMember(std::get<RequestBlock>(*block), index));
    }
}

std::optional<size_t> TComProtocol::PendingWriteIn(const PollTurn& turn,
                                                   const TagTable& tags) const {
    const auto* block = std::get_if<RequestBlock>(&turn);
    if (!block)
        return std::nullopt;
    for (const BlockMember& member : block->members)
        if (m_outputs[member.tag] && tags.WritePending(member.tag))
            return member.tag;
    return std::nullopt;
}

std::optional<size_t> TComProtocol::NextTurn(const TagTable& tags) const {
    // The cursor's own turn comes last, so a connection with one turn polls it at every tick.
    const auto waits = [&](const PollTurn& turn) {
        const size_t* tag = std::get_if<size_t>(&turn);
        return m_writeMode == WriteMode::Cyclic || !tag || !m_outputs[*tag] || !m_refused[*tag] ||
               tags.WritePending(*tag);
    };
    const auto first = static_cast<size_t>(m_cursor + 1);
    for (size_t step = 0; step < m_turns.size(); ++step) {
        const size_t position = (first + step) % m_turns.size();
        if (waits(m_turns[position]))
            return position;
    }
    return std::nullopt;
}

void TComProtocol::PollNext(TagTable& tags) {
    // A worker still busy takes nothing: the turn in flight keeps its marks and the cursor
    // its place, so every tag gets its turn whatever its transaction time.
    if (!m_worker || m_turns.empty() || m_worker->Busy())
        return;
    if (const auto split = m_worker->TakeSplit())
        ApplySplit(*split);
    if (const std::vector<size_t> refused = m_worker->TakeRefused(); !refused.empty())
        ApplyRefusals(refused);
    const std::optional<size_t> found = NextTurn(tags);
    if (!found)
        return;
    const size_t position = *found;
    const PollTurn* turn = &m_turns[position];
    // A preset in a block is written before the block is read, once: a write that keeps
    // failing does not hold up the block's other tags.
    PollTurn write;
    const std::optional<size_t> pending =
        m_wroteAhead == position ? std::nullopt : PendingWriteIn(*turn, tags);
    m_wroteAhead = pending ? std::optional(position) : std::nullopt;
    if (pending) {
        write = *pending;
        turn = &write;
    }
    const PollTurn& next = *turn;
    // The worker needs none of the marks: it starts while they are set.
    const bool up = TransportUp();
    if (up)
        m_worker->HandOver(next);
    // Only the tags polled last have the mark; after a start, any of them may hold an old one.
    const auto unmark = [&](size_t index) {
        tags.Update(index, [](TDataChannel& tag) { tag.PollingNow = false; });
    };
    if (m_cursor >= 0)
        std::ranges::for_each(m_marked, unmark);
    else
        std::ranges::for_each(m_members, unmark);
    if (!pending)
        m_cursor = static_cast<int>(position);
    m_marked = TurnTags(next);
    const char* down = m_worker->Context().connection == kNetworkConnection ? "Connection is closed"
                                                                            : "Connection closed";
    for (const size_t index : m_marked)
        tags.Update(index, [&](TDataChannel& tag) {
            tag.PollingNow = true;
            if (!up)
                tag.SetTagError(down);
        });
}

} // namespace halvane
