#pragma once
// SQLite's write-ahead log copied back into the database file by a thread of
// its own. Left to SQLite, the write that crosses the log's threshold does the
// copy and the sync while it still holds the write lock, and every other
// writer waits behind it; a passive checkpoint here runs beside the writers.

#include "db_config.h"

#include <condition_variable>
#include <mutex>
#include <thread>

class WalCheckpointer {
public:
    WalCheckpointer(const DbConfig &config, const QString &connectionName, int periodMs = 100);
    ~WalCheckpointer();  // stops after one last pass
    WalCheckpointer(const WalCheckpointer &) = delete;
    WalCheckpointer &operator=(const WalCheckpointer &) = delete;

private:
    void run(DbConfig config, QString connectionName);
    const int m_periodMs;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};
