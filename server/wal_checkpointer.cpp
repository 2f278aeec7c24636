#include "wal_checkpointer.h"

#include "db_session.h"

#include <chrono>

namespace {

// About 8 MiB of 4 KiB pages: SQLite's own threshold is 1,000 pages.
constexpr int kStartOverFrames = 2000;

}  // namespace

WalCheckpointer::WalCheckpointer(const DbConfig &config, const QString &connectionName, int periodMs)
    : m_periodMs(periodMs), m_thread([this, config, connectionName] { run(config, connectionName); }) {}

WalCheckpointer::~WalCheckpointer() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void WalCheckpointer::run(DbConfig config, QString connectionName) {
    DbSession session(config, connectionName);  // a QtSql connection lives in the thread that opened it
    std::unique_lock<std::mutex> lock(m_mutex);
    for (bool last = false; !last;) {
        m_wake.wait_for(lock, std::chrono::milliseconds(m_periodMs), [this] { return m_stopping; });
        last = m_stopping;
        lock.unlock();
        try {
            session.open();
            // Passive: copies what no reader still needs and waits for no one.
            // Under steady writes it never reaches the end of the log, and the
            // log only starts over after a checkpoint that did: past a size, one
            // more pass holds this process's writers, with little left to copy.
            // (The log may have grown while it ran: a pass that reports the
            // whole log copied does not mean the log can start over.)
            if (session.checkpointWal(false).frames >= kStartOverFrames) session.checkpointWal(true);
        } catch (const DbError &) {
            session.close();  // tried again next time; the writers' log only grows meanwhile
        }
        lock.lock();
    }
}
