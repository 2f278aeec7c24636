#pragma once
// One database connection and what runs on it: prepared statements kept for
// reuse, transactions, and the translation of driver errors. A session belongs
// to one thread (QtSql connections must stay in the thread that opened them).

#include "db_config.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <exception>
#include <memory>
#include <mutex>

// A failure reported by the database driver.
class DbError : public std::exception {
public:
    enum Kind {
        Constraint,  // a key, foreign key or CHECK constraint refused the change
        Busy,        // locked, deadlock or serialisation failure: the call may be tried again
        Connection,  // the connection is gone
        Other
    };
    DbError(Kind kind, QString nativeCode, QString text) : m_kind(kind), m_code(std::move(nativeCode)), m_text(std::move(text)) {}
    Kind kind() const { return m_kind; }
    const QString &nativeCode() const { return m_code; }
    const QString &text() const { return m_text; }  // driver text: may hold data, never logged
    const char *what() const noexcept override { return "database error"; }

    static DbError from(const QSqlError &error, Dialect dialect);

private:
    Kind m_kind;
    QString m_code;
    QString m_text;
};

enum class TxMode {
    None,   // a single statement, atomic on its own
    Read,   // several reads that must see one state of the data
    Write,  // changes: writers are serialised (BEGIN IMMEDIATE on SQLite, row locks on PostgreSQL)
};

class DbSession {
public:
    DbSession(const DbConfig &config, const QString &connectionName);
    ~DbSession();
    DbSession(const DbSession &) = delete;
    DbSession &operator=(const DbSession &) = delete;

    void open();  // throws DbError
    // SQLite: this connection's commits leave the write-ahead log for a
    // checkpointer of its own (WalCheckpointer) to copy back. Before open().
    void setManualCheckpoints(bool manual) { m_manualCheckpoints = manual; }
    // SQLite: a passive checkpoint; with holdWriters, this process's writers
    // wait meanwhile, so it reaches the log's end and the next write can
    // start the log over.
    struct WalState {
        int frames = 0;  // in the log
        int copied = 0;  // of them, copied back into the database file
    };
    WalState checkpointWal(bool holdWriters);
    void close();
    bool isOpen() const;
    Dialect dialect() const { return m_config.dialect; }
    bool isPostgres() const { return m_config.dialect == Dialect::PostgreSQL; }
    const DbConfig &config() const { return m_config; }

    // A prepared statement for this SQL text, prepared once per connection.
    QSqlQuery &prepared(const QString &sql);
    // Runs a statement that takes no parameters and returns no rows.
    void execute(const QString &sql);

    void begin(TxMode mode);
    void commit();
    void rollback() noexcept;
    bool inTransaction() const { return m_inTransaction; }

    // Statement text with the dialect's row lock for the rows read (FOR UPDATE
    // on PostgreSQL; nothing on SQLite, whose writers are already serialised).
    QString forUpdate(const QString &select) const;

    [[noreturn]] void fail(const QSqlError &error) const;

    // Fault injection for tests: the next commit of a write, on any session of
    // this process, loses its connection. On PostgreSQL the session's backend
    // is terminated before COMMIT goes out, so the driver's own error of a
    // dropped connection answers it; SQLite has no connection to drop, so the
    // commit is made and then reported lost.
    static void loseNextCommit();

private:
    void control(const QString &sql);  // BEGIN / COMMIT
    DbConfig m_config;
    QString m_name;
    QSqlDatabase m_db;  // kept here: looking it up by name takes a lock shared by every thread
    QHash<QString, QSqlQuery *> m_statements;
    std::unique_ptr<QSqlQuery> m_control;
    bool m_inTransaction = false;
    bool m_manualCheckpoints = false;
    TxMode m_mode = TxMode::None;  // of the transaction under way
    // SQLite: the writers of this process queue here before BEGIN IMMEDIATE, so
    // a waiting writer starts the moment the previous one ends, instead of
    // polling the file lock with SQLite's growing sleeps.
    std::shared_ptr<std::mutex> m_writeLock;
    std::unique_lock<std::mutex> m_writing;
};

// A prepared statement in use: binds positional values, runs, reads rows, and
// releases the statement (finish) when it goes out of scope.
class Query {
public:
    Query(DbSession &session, const QString &sql);
    ~Query();
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    Query &bind(const QVariant &value);
    Query &exec();  // throws DbError
    bool next() { return m_q.next(); }
    QVariant value(int i) const;
    QString text(int i) const { return value(i).toString(); }
    bool isNull(int i) const { return m_q.isNull(i); }
    int rowsAffected() const { return m_q.numRowsAffected(); }
    QSqlQuery &raw() { return m_q; }

private:
    DbSession &m_session;
    QSqlQuery &m_q;
    int m_bound = 0;
};

// Rolls back on scope exit unless committed.
class Transaction {
public:
    Transaction(DbSession &session, TxMode mode) : m_session(session), m_mode(mode) {
        if (m_mode != TxMode::None) m_session.begin(m_mode);
    }
    ~Transaction() {
        if (m_mode != TxMode::None && !m_done) m_session.rollback();
    }
    void commit() {
        if (m_mode != TxMode::None) m_session.commit();
        m_done = true;
    }

private:
    DbSession &m_session;
    TxMode m_mode;
    bool m_done = false;
};
