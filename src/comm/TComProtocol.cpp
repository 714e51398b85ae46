#include "TComProtocol.h"

#include "ConnectionSettings.h"
#include "NetworkLink.h"
#include "TComPort.h"
#include "TagTable.h"

namespace halvane {

void TComProtocol::AttachWorker(TagTable& tags, const TransactionContext& context) {
    if (!m_worker)
        m_worker = std::make_unique<TComProtocolThread>(tags, context);
}

void TComProtocol::StartWorker() {
    m_cursor = -1;
    if (m_worker)
        m_worker->Resume();
}

void TComProtocol::StopWorker() {
    if (m_worker) {
        m_worker->Stop();
        m_worker.reset();
    }
}

void TComProtocol::HandOver(size_t tagIndex) {
    if (m_worker)
        m_worker->HandOver(tagIndex);
}

bool TComProtocol::TransportUp() const {
    const TransactionContext& c = m_worker->Context();
    return c.protocol == ModbusProtocol::Tcp ? (c.link && c.link->IsConnected())
                                             : (c.port && c.port->IsOpen());
}

void TComProtocol::PollNext(TagTable& tags) {
    if (!m_worker)
        return;
    const int connection = m_worker->Context().connection;
    // The connection's first tag after the cursor, wrapping round; the cursor's own tag
    // comes last, so a connection with one tag polls it at every tick.
    int afterCursor = -1;
    int first = -1;
    tags.UpdateAll([&](TDataChannel& tag, size_t i) {
        const int index = static_cast<int>(i);
        if (tag.Port != connection)
            return;
        if (first < 0)
            first = index;
        if (afterCursor < 0 && index > m_cursor)
            afterCursor = index;
    });
    if (tags.Size() == 0)
        m_cursor = -1;
    const int next = afterCursor >= 0 ? afterCursor : first;
    if (next < 0)
        return;
    m_cursor = next;
    const bool up = TransportUp();
    const char* down =
        connection == kNetworkConnection ? "Connection is closed" : "Connection closed";
    tags.UpdateAll([&](TDataChannel& tag, size_t i) {
        if (tag.Port != connection)
            return;
        tag.PollingNow = static_cast<int>(i) == next;
        if (tag.PollingNow && !up)
            tag.SetTagError(down);
    });
    if (up)
        m_worker->HandOver(static_cast<size_t>(next));
}

} // namespace halvane
