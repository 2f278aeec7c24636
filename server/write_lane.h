#pragma once
// SQLite takes one writer at a time. The writes of this process all run on
// one connection in a thread of its own: that connection keeps its page
// cache from one write to the next (a connection that did not write the last
// change reads its pages again), and the writers queue here instead of on
// the database file's lock.

#include "db_config.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class DbSession;

class WriteLane {
public:
    WriteLane(const DbConfig &config, const QString &connectionName);
    ~WriteLane();  // runs what is queued, then stops
    WriteLane(const WriteLane &) = delete;
    WriteLane &operator=(const WriteLane &) = delete;

    // Runs call on the lane's connection and waits for it; what it throws is
    // thrown here.
    void run(const std::function<void(DbSession &)> &call);

private:
    struct Job;
    void loop(DbConfig config, QString connectionName);
    std::mutex m_mutex;
    std::condition_variable m_work;
    std::deque<Job *> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};
