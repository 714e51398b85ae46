#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace halvane {

// Threads that run tasks in the order they were posted. The destructor asks the running
// tasks to end through their stop token, drops those not begun and waits for the threads.
class HandlerPool final {
public:
    using Task = std::function<void(std::stop_token)>;

    explicit HandlerPool(size_t threads);
    ~HandlerPool();
    HandlerPool(const HandlerPool&) = delete;
    HandlerPool& operator=(const HandlerPool&) = delete;

    void Post(Task task);

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable_any m_posted;
    std::deque<Task> m_tasks;
    std::stop_source m_stop;
    std::vector<std::thread> m_threads;
};

} // namespace halvane
