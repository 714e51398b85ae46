#include "TComProtocol.h"

#include "ConnectionSettings.h"
#include "NetworkLink.h"
#include "TComPort.h"
#include "TagTable.h"

#include <algorithm>

namespace halvane {

void TComProtocol::AttachWorker(TagTable& tags, const TransactionContext& context,
                                WriteMode writeMode) {
    if (!m_worker)
        m_worker = std::make_unique<TComProtocolThread>(tags, context);
    m_writeMode = writeMode;
}

void TComProtocol::StartWorker(const TagTable& tags) {
    m_cursor = -1;
    m_members.clear();
    m_memberWrites.clear();
    if (!m_worker)
        return;
    const int connection = m_worker->Context().connection;
    tags.ReadAll([&](const TDataChannel& tag, size_t index) {
        if (tag.Port != connection)
            return;
        m_members.push_back(index);
        m_memberWrites.push_back(tag.IsOutputTag());
    });
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

std::optional<size_t> TComProtocol::NextTag(const TagTable& tags) const {
    // The cursor's own tag comes last, so a connection with one tag polls it at every tick.
    const auto after =
        std::upper_bound(m_members.begin(), m_members.end(), m_cursor,
                         [](int cursor, size_t index) { return cursor < static_cast<int>(index); });
    const auto start = static_cast<size_t>(after - m_members.begin());
    for (size_t step = 0; step < m_members.size(); ++step) {
        const size_t member = (start + step) % m_members.size();
        const size_t index = m_members[member];
        if (m_writeMode == WriteMode::Cyclic || !m_memberWrites[member] || tags.WritePending(index))
            return index;
    }
    return std::nullopt;
}

void TComProtocol::PollNext(TagTable& tags) {
    // A worker still busy takes nothing: the tag in flight keeps its mark and the cursor
    // its place, so every tag gets its turn whatever its transaction time.
    if (!m_worker || m_members.empty() || m_worker->Busy())
        return;
    const std::optional<size_t> found = NextTag(tags);
    if (!found)
        return;
    const size_t next = *found;
    // Only the tag polled last has the mark; after a start, any of them may hold an old one.
    const auto unmark = [&](size_t index) {
        tags.Update(index, [](TDataChannel& tag) { tag.PollingNow = false; });
    };
    if (m_cursor >= 0)
        unmark(static_cast<size_t>(m_cursor));
    else
        std::for_each(m_members.begin(), m_members.end(), unmark);
    m_cursor = static_cast<int>(next);
    const bool up = TransportUp();
    const char* down = m_worker->Context().connection == kNetworkConnection ? "Connection is closed"
                                                                            : "Connection closed";
    tags.Update(next, [&](TDataChannel& tag) {
        tag.PollingNow = true;
        if (!up)
            tag.SetTagError(down);
    });
    if (up)
        m_worker->HandOver(next);
}

} // namespace halvane
