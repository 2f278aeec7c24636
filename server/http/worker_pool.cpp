#include "worker_pool.h"

#include <chrono>

WorkerPool::WorkerPool(int threads) {
    m_threads.reserve(size_t(threads));
    for (int i = 0; i < threads; ++i) m_threads.emplace_back([this] { run(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_work.notify_all();
    for (std::thread &t : m_threads) t.join();
}

void WorkerPool::post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_work.notify_one();
}

bool WorkerPool::waitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_jobs.empty() && m_running == 0; });
}

int WorkerPool::busy() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_jobs.size()) + m_running;
}

void WorkerPool::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty()) return;  // stopping, nothing left
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_running;
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        if (--m_running == 0 && m_jobs.empty()) m_idle.notify_all();
    }
}
