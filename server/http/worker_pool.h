#pragma once
// A fixed number of threads that run the database work handed to them by the
// HTTP event threads. A slow or idle client never holds one of them: a job is
// queued only once its whole request has arrived.
//
// Handing a job over is most of the cost of a short read: waking a sleeping
// thread takes a system call and a thread switch on each side. A worker that
// runs out of jobs therefore keeps looking for a few microseconds before it
// sleeps, and a job is only announced to the sleepers when no worker is
// looking, so under load the jobs pass from thread to thread without a wake-up.

#include <atomic>
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
    bool spinForWork();  // true when a job turned up while looking
    mutable std::mutex m_mutex;
    std::condition_variable m_work, m_idle;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    std::atomic<int> m_queued{0};    // m_jobs.size(), readable without the lock
    std::atomic<int> m_spinning{0};  // workers looking for a job before they sleep
    int m_sleeping = 0;
    int m_running = 0;
    bool m_stopping = false;
};
