#pragma once

#include "ModbusTransaction.h"
#include "ReconnectSchedule.h"
#include "RequestBlocks.h"
#include "TDataChannel.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace halvane {

class TagTable;

// The worker of one connection: waits for a handed-over tag and runs its transaction on
// a copy, then stores the outcome in the table. Idle, it sleeps on a condition variable.
// It may also bring its transport back, in the background, while it is down.
class TComProtocolThread final {
public:
    TComProtocolThread(TagTable& tags, TransactionContext context);
    ~TComProtocolThread();
    TComProtocolThread(const TComProtocolThread&) = delete;
    TComProtocolThread& operator=(const TComProtocolThread&) = delete;

    // Before Resume: while the link is down, connect it to host:port on the schedule.
    void ReconnectTo(std::string host, int port);
    // Before Resume: while the serial port is closed or its device failed, reopen it with
    // its settings on the schedule.
    void ReopenPort();
    // Before Resume: an output tag handed over with no write pending reads back what it
    // writes instead of writing it.
    void ReadBackOutputs() { m_readBack = true; }
    void Resume();
    // Ends the thread and waits for it. A transaction under way is cut short (its waits
    // on the port or the link end at once) and its outcome dropped: the tag keeps what it
    // showed, since no device failed.
    void Stop();
    // Puts a turn (a tag, or a block of tags) into the single slot. Only for a worker that is
    // not busy: a turn handed over is never replaced before its transaction has run.
    void HandOver(PollTurn turn);
    // A block that its last turn split, with the blocks that stand for it from now on; taken
    // once, before the next hand-over.
    struct Split {
        RequestBlock block;
        std::vector<RequestBlock> pieces;
    };
    std::optional<Split> TakeSplit();
    // The output tags whose devices refused their read-back since the last call.
    std::vector<size_t> TakeRefused();
    // From a hand-over until its transaction has run.
    bool Busy() const;
    const TransactionContext& Context() const { return m_context; }
    // Whole seconds until the next attempt to bring the transport back (0 while one is
    // under way); none when it is up or is not brought back.
    std::optional<int> SecondsToReconnect() const;

private:
    using Clock = ReconnectSchedule::Clock;

    void Execute();
    // The next handed-over turn, bringing the transport back whenever it is down; none once
    // the stop came.
    std::optional<PollTurn> WaitForWork();
    // The turn's tags, as copies that hold the outcome of its transaction, and which of
    // them were read back.
    struct TurnOutcome {
        std::vector<size_t> indexes;
        std::vector<TDataChannel> tags;
        std::vector<bool> readBack;
        std::vector<size_t> refused;
        std::optional<Split> split;
    };
    TurnOutcome RunTag(size_t index);
    TurnOutcome RunBlock(const RequestBlock& block);
    // Runs the turn and stores its outcome in the table; false when the stop came meanwhile.
    bool Run(const PollTurn& turn);
    bool TransportDown() const;
    void Disconnected();
    // One connect or open; true when the transport is up again.
    bool Reconnect();
    std::string Target() const;
    void Report(const std::string& text, bool onStderr) const;

    TagTable& m_tags;
    TransactionContext m_context;
    std::minstd_rand m_random;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<PollTurn> m_slot;
    std::optional<Split> m_split;
    std::vector<size_t> m_refused;
    bool m_readBack = false;
    bool m_busy = false;
    bool m_terminated = false;
    bool m_reconnect = false;
    std::string m_host; // of the link
    int m_hostPort = 0;
    ReconnectSchedule m_schedule;
    std::optional<Clock::time_point> m_nextAttempt; // while the transport is down
    std::thread m_thread;
};

} // namespace halvane
