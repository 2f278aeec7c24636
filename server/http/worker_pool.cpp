#include "worker_pool.h"

#include <chrono>

#include <sched.h>

namespace {

// Long enough to cover the gap between two requests of a busy server, short
// enough that an idle server's workers are asleep at once.
constexpr auto kSpinFor = std::chrono::microseconds(50);

}  // namespace

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
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
        const int queued = ++m_queued;
        // A looking worker takes the job without a wake-up; more jobs than
        // lookers wake a sleeper each.
        wake = m_sleeping > 0 && queued > m_spinning.load();
    }
    if (wake) m_work.notify_one();
}

bool WorkerPool::waitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_jobs.empty() && m_running == 0; });
}

int WorkerPool::busy() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_jobs.size()) + m_running;
}

bool WorkerPool::spinForWork() {
    ++m_spinning;
    const auto until = std::chrono::steady_clock::now() + kSpinFor;
    bool found = false;
    // Yielding rather than burning the core: on a small machine the thread
    // that would post the next job may be waiting for this one.
    while (!(found = m_queued.load(std::memory_order_acquire) > 0) && std::chrono::steady_clock::now() < until) sched_yield();
    --m_spinning;
    return found;
}

void WorkerPool::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_jobs.empty() && !m_stopping) {
            lock.unlock();
            spinForWork();
            lock.lock();
            if (m_jobs.empty() && !m_stopping) {
                ++m_sleeping;
                m_work.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                --m_sleeping;
            }
        }
        if (m_jobs.empty()) return;  // stopping, nothing left
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        --m_queued;
        ++m_running;
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        if (--m_running == 0 && m_jobs.empty()) m_idle.notify_all();
    }
}
