#include "HandlerPool.h"

namespace halvane {

HandlerPool::HandlerPool(size_t threads) {
    m_threads.reserve(threads);
    for (size_t i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { Run(); });
}

HandlerPool::~HandlerPool() {
    m_stop.request_stop();
    for (std::thread& thread : m_threads)
        thread.join();
}

void HandlerPool::Post(Task task) {
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_posted.notify_one();
}

void HandlerPool::Run() {
    const std::stop_token stop = m_stop.get_token();
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            if (!m_posted.wait(lock, stop, [this] { return !m_tasks.empty(); }) ||
                stop.stop_requested())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task(stop);
    }
}

} // namespace halvane
