#include "write_lane.h"

#include "db_session.h"
#include "sqlite_file_identity.h"

#include <exception>

struct WriteLane::Job {
    const std::function<void(DbSession &)> *call;
    std::exception_ptr failure;
    bool done = false;
    std::condition_variable finished;
};

WriteLane::WriteLane(const DbConfig &config, const QString &connectionName)
    : m_thread([this, config, connectionName] { loop(config, connectionName); }) {}

WriteLane::~WriteLane() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_work.notify_all();
    m_thread.join();
}

void WriteLane::run(const std::function<void(DbSession &)> &call) {
    Job job;
    job.call = &call;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_jobs.push_back(&job);
    m_work.notify_one();
    job.finished.wait(lock, [&] { return job.done; });
    if (job.failure) std::rethrow_exception(job.failure);
}

void WriteLane::loop(DbConfig config, QString connectionName) {
    // A QtSql connection lives in the thread that opened it.
    DbSession session(config, connectionName);
    session.setManualCheckpoints(true);  // the server's checkpointer copies the log back
    const SqliteFileIdentity file(config.sqlitePath);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty()) return;
        Job *job = m_jobs.front();
        m_jobs.pop_front();
        lock.unlock();
        try {
            if (!file.intact()) {
                session.close();
                throw DbError(DbError::Connection, QString(), QStringLiteral("o arquivo do banco de dados foi substituído ou danificado"));
            }
            (*job->call)(session);
        } catch (...) {
            job->failure = std::current_exception();
        }
        lock.lock();
        job->done = true;
        job->finished.notify_one();
    }
}
