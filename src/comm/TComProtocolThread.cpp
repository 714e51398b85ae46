#include "TComProtocolThread.h"

#include "BlockTransaction.h"
#include "NetworkLink.h"
#include "ReadBack.h"
#include "TComPort.h"
#include "TagTable.h"
#include "TraceSink.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace halvane {

TComProtocolThread::TComProtocolThread(TagTable& tags, TransactionContext context)
    : m_tags(tags), m_context(context), m_random(std::random_device{}()) {
    m_context.random = &m_random;
}

TComProtocolThread::~TComProtocolThread() {
    Stop();
}

void TComProtocolThread::ReconnectTo(std::string host, int port) {
    m_reconnect = true;
    m_host = std::move(host);
    m_hostPort = port;
}

void TComProtocolThread::ReopenPort() {
    m_reconnect = true;
}

void TComProtocolThread::Resume() {
    if (!m_thread.joinable())
        m_thread = std::thread(&TComProtocolThread::Execute, this);
}

void TComProtocolThread::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_terminated = true;
    }
    m_wake.notify_one();
    if (!m_thread.joinable())
        return;
    // Whatever the timeouts, a transaction waiting on its device ends now.
    if (m_context.port)
        m_context.port->Interrupt();
    if (m_context.link)
        m_context.link->Interrupt();
    m_thread.join();
}

void TComProtocolThread::HandOver(PollTurn turn) {
    {
        std::lock_guard lock(m_mutex);
        m_slot = std::move(turn);
        m_busy = true;
    }
    m_wake.notify_one();
}

std::optional<TComProtocolThread::Split> TComProtocolThread::TakeSplit() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_split, std::nullopt);
}

std::vector<size_t> TComProtocolThread::TakeRefused() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_refused, {});
}

bool TComProtocolThread::Busy() const {
    std::lock_guard lock(m_mutex);
    return m_busy;
}

std::optional<int> TComProtocolThread::SecondsToReconnect() const {
    std::lock_guard lock(m_mutex);
    if (!m_nextAttempt)
        return std::nullopt;
    const auto left = *m_nextAttempt - Clock::now();
    return std::max(0, static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count()));
}

void TComProtocolThread::Execute() {
    while (const std::optional<PollTurn> turn = WaitForWork())
        if (!Run(*turn))
            return;
}

TComProtocolThread::TurnOutcome TComProtocolThread::RunTag(size_t index) {
    TurnOutcome outcome{{index}, {m_tags.Snapshot(index)}, {}, {}, std::nullopt};
    TDataChannel& tag = outcome.tags.front();
    // A preset waiting to be written goes first; the next turn's read-back confirms it.
    const bool readBack = m_readBack && tag.IsOutputTag() && !tag.WritePending;
    outcome.readBack.push_back(readBack);
    if (!readBack)
        DoTransaction(tag, m_context);
    else if (DoReadBack(tag, m_context) == ReadBackResult::Refused)
        outcome.refused.push_back(index);
    return outcome;
}

TComProtocolThread::TurnOutcome TComProtocolThread::RunBlock(const RequestBlock& block) {
    // The request needs no tag: the tags are copied once the reply is there.
    BlockOutcome read = DoBlockTransaction(block, m_context);
    TurnOutcome outcome;
    if (read.standing.size() > 1)
        outcome.split = Split{block, std::move(read.standing)};
    outcome.indexes.reserve(block.members.size());
    outcome.tags.reserve(block.members.size());
    for (size_t i = 0; i < block.members.size(); ++i) {
        outcome.indexes.push_back(block.members[i].tag);
        outcome.tags.push_back(m_tags.Snapshot(block.members[i].tag));
        // The block's output tags are there to be read back.
        outcome.readBack.push_back(outcome.tags.back().IsOutputTag());
        if (StoreMemberOutcome(outcome.tags.back(), read.members[i], m_context.config))
            outcome.refused.push_back(block.members[i].tag);
    }
    return outcome;
}

bool TComProtocolThread::Run(const PollTurn& turn) {
    const auto* block = std::get_if<RequestBlock>(&turn);
    TurnOutcome outcome = block ? RunBlock(*block) : RunTag(std::get<size_t>(turn));
    // Free before the outcome is stored: whoever sees the outcome may hand over the next.
    {
        std::lock_guard lock(m_mutex);
        m_busy = false;
        if (m_terminated)
            return false; // the stop may have cut it short: it tells nothing of the device
        if (outcome.split)
            m_split = std::move(outcome.split);
        m_refused.insert(m_refused.end(), outcome.refused.begin(), outcome.refused.end());
    }
    for (size_t i = 0; i < outcome.indexes.size(); ++i) {
        if (outcome.readBack[i])
            m_tags.StoreReadBack(outcome.indexes[i], outcome.tags[i]);
        else
            m_tags.StoreOutcome(outcome.indexes[i], outcome.tags[i]);
    }
    return true;
}

bool TComProtocolThread::TransportDown() const {
    if (!m_reconnect)
        return false;
    if (m_context.link)
        return !m_context.link->IsConnected();
    return m_context.port && (!m_context.port->IsOpen() || m_context.port->Failed());
}

std::optional<PollTurn> TComProtocolThread::WaitForWork() {
    std::unique_lock lock(m_mutex);
    // The transport goes down only in this thread's own transactions, never while it waits.
    while (TransportDown()) {
        if (!m_nextAttempt) {
            m_nextAttempt = m_schedule.Failed(Clock::now());
            lock.unlock();
            Disconnected();
            lock.lock();
        }
        if (m_wake.wait_until(lock, *m_nextAttempt, [this] { return m_terminated; }))
            return std::nullopt;
        lock.unlock();
        const bool up = Reconnect();
        lock.lock();
        if (up)
            m_nextAttempt.reset();
        else
            m_nextAttempt = m_schedule.Failed(Clock::now());
    }
    m_wake.wait(lock, [this] { return m_terminated || m_slot.has_value(); });
    if (m_terminated)
        return std::nullopt;
    // Taking the tag empties the slot: one hand-over, one transaction.
    return *std::exchange(m_slot, std::nullopt);
}

void TComProtocolThread::Disconnected() {
    if (m_context.link) {
        Report("link down (" + m_context.link->LastError() + ")", true);
        return;
    }
    const bool failed = m_context.port->IsOpen();
    // Until it is back, its tags show a closed port.
    m_context.port->Close();
    Report(failed ? "device failed (" + Target() + ")"
                  : "port closed (" + m_context.port->LastError() + ")",
           true);
}

std::string TComProtocolThread::Target() const {
    return m_context.link ? m_host + ":" + std::to_string(m_hostPort)
                          : m_context.port->DevicePath();
}

bool TComProtocolThread::Reconnect() {
    Report("reconnecting to " + Target(), false);
    const bool up =
        m_context.link ? m_context.link->Connect(m_host, m_hostPort) : m_context.port->Open();
    if (!up) {
        Report("reconnect failed: " +
                   (m_context.link ? m_context.link->LastError() : m_context.port->LastError()),
               false);
        return false;
    }
    if (m_context.port) {
        // As at the start: nobody acts on devices without modem lines.
        m_context.port->SetRts(true);
        m_context.port->SetDtr(true);
    }
    m_schedule.Succeeded();
    Report("up again (" + Target() + ")", true);
    return true;
}

void TComProtocolThread::Report(const std::string& text, bool onStderr) const {
    const std::string line = std::to_string(m_context.connection) + " " + text;
    if (m_context.trace && m_context.trace->Accepting())
        m_context.trace->Append(line);
    if (onStderr)
        std::fprintf(stderr, "halvane: connection %s\n", line.c_str());
}

} // namespace halvane
