#pragma once

#include "ModbusTransaction.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

namespace halvane {

class TagTable;

// The worker of one connection: waits for a handed-over tag and runs its transaction on
// a copy, then stores the outcome in the table. Idle, it sleeps on a condition variable.
class TComProtocolThread final {
public:
    TComProtocolThread(TagTable& tags, TransactionContext context);
    ~TComProtocolThread();
    TComProtocolThread(const TComProtocolThread&) = delete;
    TComProtocolThread& operator=(const TComProtocolThread&) = delete;

    void Resume();
    // Ends the thread and waits for it. A transaction under way is cut short (its waits
    // on the port or the link end at once) and its outcome dropped: the tag keeps what it
    // showed, since no device failed.
    void Stop();
    // Puts a tag into the single slot. Only for a worker that is not busy: a tag handed
    // over is never replaced before its transaction has run.
    void HandOver(size_t tagIndex);
    // From a hand-over until its transaction has run.
    bool Busy() const;
    const TransactionContext& Context() const { return m_context; }

private:
    void Execute();

    TagTable& m_tags;
    TransactionContext m_context;
    std::minstd_rand m_random;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<size_t> m_slot;
    bool m_busy = false;
    bool m_terminated = false;
    std::thread m_thread;
};

} // namespace halvane
