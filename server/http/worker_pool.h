#pragma once
// A fixed number of threads that run the database work handed to them by the
// HTTP event threads. A slow or idle client never holds one of them: a job is
// queued only once its whole request has arrived.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkerPool {
public:
    explicit WorkerPool(int threads);
    ~WorkerPool();  // finishes the queued jobs, then joins
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    void post(std::function<void()> job);
    // Waits until no job is queued or running, at most timeoutMs; true when idle.
    bool waitIdle(int timeoutMs);
    int busy() const;  // queued or running

private:
    void run();
    mutable std::mutex m_mutex;
    std::condition_variable m_work, m_idle;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    int m_running = 0;
    bool m_stopping = false;
};
