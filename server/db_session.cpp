#include "db_session.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlResult>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <atomic>

namespace {

std::atomic<int> g_commitsToLose{0};

bool takeFault(std::atomic<int> &armed) {
    int n = armed.load();
    while (n > 0)
        if (armed.compare_exchange_weak(n, n - 1)) return true;
    return false;
}

// One writer lock per SQLite file in this process.
std::shared_ptr<std::mutex> writeLockFor(const QString &path) {
    static std::mutex guard;
    static QHash<QString, std::shared_ptr<std::mutex>> locks;
    std::lock_guard<std::mutex> g(guard);
    auto &lock = locks[QFileInfo(path).absoluteFilePath()];
    if (!lock) lock = std::make_shared<std::mutex>();
    return lock;
}

bool sqliteCodeIs(const QString &native, int primary) {
    bool ok = false;
    const int code = native.toInt(&ok);
    return ok && (code & 0xff) == primary;
}

}  // namespace

DbError DbError::from(const QSqlError &error, Dialect dialect) {
    const QString native = error.nativeErrorCode();
    Kind kind = Other;
    if (dialect == Dialect::SQLite) {
        if (sqliteCodeIs(native, 19)) kind = Constraint;                               // SQLITE_CONSTRAINT
        else if (sqliteCodeIs(native, 5) || sqliteCodeIs(native, 6)) kind = Busy;       // BUSY, LOCKED
        else if (error.type() == QSqlError::ConnectionError) kind = Connection;
    } else {
        if (native.startsWith(QLatin1String("23"))) kind = Constraint;
        else if (native == QLatin1String("40001") || native == QLatin1String("40P01") || native == QLatin1String("55P03"))
            kind = Busy;
        else if (native.startsWith(QLatin1String("08")) || native.startsWith(QLatin1String("57P")) ||
                 error.type() == QSqlError::ConnectionError || native.isEmpty())
            kind = Connection;
    }
    return DbError(kind, native, error.text());
}

DbSession::DbSession(const DbConfig &config, const QString &connectionName) : m_config(config), m_name(connectionName) {
    // SQLite counts every allocation under one lock of the whole process
    // unless told not to before its first use; nothing here reads the counts.
    static const int unused = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)unused;
    if (m_config.dialect == Dialect::SQLite) m_writeLock = writeLockFor(m_config.sqlitePath);
}

DbSession::~DbSession() {
    close();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_name)) QSqlDatabase::removeDatabase(m_name);
}

bool DbSession::isOpen() const { return m_db.isValid() && m_db.isOpen(); }

void DbSession::open() {
    if (isOpen()) return;
    close();
    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(m_config.dialect == Dialect::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), m_name);
    QSqlDatabase &db = m_db;
    if (!db.isValid())
        throw DbError(DbError::Connection, QString(), QStringLiteral("driver de banco de dados indisponível"));
    if (m_config.dialect == Dialect::SQLite) {
        db.setDatabaseName(m_config.sqlitePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000"));
    } else {
        db.setHostName(m_config.host);
        db.setPort(m_config.port);
        db.setUserName(m_config.user);
        db.setPassword(m_config.password);
        db.setDatabaseName(m_config.databaseName);
        // The schema in the application name tells a database administrator
        // which server a connection belongs to.
        const QString app = m_config.schema.isEmpty() ? QStringLiteral("cot-server") : QStringLiteral("cot-server:") + m_config.schema;
        // The URL's own libpq parameters come last: sslmode and the like are the administrator's.
        db.setConnectOptions((QStringList{QStringLiteral("connect_timeout=5"), QStringLiteral("application_name=%1").arg(app)} +
                              m_config.libpqOptions)
                                 .join(QLatin1Char(';')));
    }
    if (!db.open()) {
        const QSqlError e = db.lastError();
        throw DbError(DbError::Connection, e.nativeErrorCode(), e.text());
    }
    m_control = std::make_unique<QSqlQuery>(db);
    m_inTransaction = false;
    if (m_config.dialect == Dialect::SQLite) {
        execute(QStringLiteral("PRAGMA foreign_keys = ON"));
        execute(QStringLiteral("PRAGMA journal_mode = WAL"));
        execute(QStringLiteral("PRAGMA synchronous = NORMAL"));
        if (m_manualCheckpoints) execute(QStringLiteral("PRAGMA wal_autocheckpoint = 0"));
        // A log that grew under a burst of writes is cut back when it starts over.
        execute(QStringLiteral("PRAGMA journal_size_limit = 16777216"));
        // Pages are read from the mapped file instead of one read call each:
        // every write elsewhere empties this connection's page cache.
        execute(QStringLiteral("PRAGMA mmap_size = 268435456"));
    } else {
        execute(QStringLiteral("SET client_min_messages TO warning"));
        if (!m_config.schema.isEmpty()) execute(QStringLiteral("SET search_path TO \"%1\"").arg(m_config.schema));
    }
}

void DbSession::close() {
    qDeleteAll(m_statements);
    m_statements.clear();
    m_control.reset();
    m_inTransaction = false;
    if (m_db.isValid() && m_db.isOpen()) m_db.close();
}

void DbSession::fail(const QSqlError &error) const { throw DbError::from(error, m_config.dialect); }

QSqlQuery &DbSession::prepared(const QString &sql) {
    auto it = m_statements.constFind(sql);
    if (it != m_statements.constEnd()) return **it;
    if (!m_control) open();
    auto q = std::make_unique<QSqlQuery>(m_db);
    q->setForwardOnly(true);
    if (!q->prepare(sql)) fail(q->lastError());
    QSqlQuery *raw = q.release();
    m_statements.insert(sql, raw);
    return *raw;
}

void DbSession::execute(const QString &sql) {
    if (!m_control) throw DbError(DbError::Connection, QString(), QStringLiteral("conexão fechada"));
    if (!m_control->exec(sql)) fail(m_control->lastError());
    m_control->finish();
}

// SQLite's transaction statements, kept prepared like any other: parsing them
// again on every call was a visible part of a short write.
void DbSession::control(const QString &sql) {
    if (isPostgres()) {
        execute(sql);  // PostgreSQL cannot prepare BEGIN or COMMIT
        return;
    }
    if (!m_control) throw DbError(DbError::Connection, QString(), QStringLiteral("conexão fechada"));
    QSqlQuery &q = prepared(sql);
    if (!q.exec()) fail(q.lastError());
    q.finish();
}

void DbSession::begin(TxMode mode) {
    if (mode == TxMode::None) return;
    if (m_config.dialect == Dialect::SQLite) {
        if (mode == TxMode::Write) {
            m_writing = std::unique_lock<std::mutex>(*m_writeLock);
            try {
                control(QStringLiteral("BEGIN IMMEDIATE"));
            } catch (...) {
                m_writing.unlock();
                throw;
            }
        } else {
            control(QStringLiteral("BEGIN"));
        }
    } else
        execute(mode == TxMode::Write ? QStringLiteral("BEGIN")
                                      : QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    m_inTransaction = true;
    m_mode = mode;
}

DbSession::WalState DbSession::checkpointWal(bool holdWriters) {
    std::unique_lock<std::mutex> writers;
    if (holdWriters) writers = std::unique_lock<std::mutex>(*m_writeLock);
    QSqlQuery &q = prepared(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    if (!q.exec()) fail(q.lastError());
    WalState state;
    if (q.next()) {  // busy, frames in the log, frames copied back
        state.frames = q.value(1).toInt();
        state.copied = q.value(2).toInt();
    }
    q.finish();
    return state;
}

void DbSession::loseNextCommit() { g_commitsToLose.fetch_add(1); }

void DbSession::commit() {
    if (m_mode == TxMode::Write && takeFault(g_commitsToLose)) {
        if (isPostgres()) {
            m_control->exec(QStringLiteral("SELECT pg_terminate_backend(pg_backend_pid())"));
        } else {
            execute(QStringLiteral("COMMIT"));
            close();
            if (m_writing.owns_lock()) m_writing.unlock();
            throw DbError(DbError::Connection, QString(), QStringLiteral("conexão perdida depois do COMMIT"));
        }
    }
    control(QStringLiteral("COMMIT"));
    m_inTransaction = false;
    if (m_writing.owns_lock()) m_writing.unlock();
}

void DbSession::rollback() noexcept {
    struct Release {
        std::unique_lock<std::mutex> &lock;
        ~Release() {
            if (lock.owns_lock()) lock.unlock();
        }
    } release{m_writing};
    if (!m_inTransaction) return;
    m_inTransaction = false;
    if (!m_control) return;
    for (QSqlQuery *q : std::as_const(m_statements)) q->finish();
    if (!m_control->exec(QStringLiteral("ROLLBACK"))) {
        // The connection may be gone; the next call opens it again.
    }
    m_control->finish();
}

QString DbSession::forUpdate(const QString &select) const {
    return m_config.dialect == Dialect::PostgreSQL ? select + QStringLiteral(" FOR UPDATE") : select;
}

Query::Query(DbSession &session, const QString &sql) : m_session(session), m_q(session.prepared(sql)) {}

Query::~Query() { m_q.finish(); }

Query &Query::bind(const QVariant &value) {
    if (value.typeId() == QMetaType::QDateTime)
        m_q.bindValue(m_bound++, value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    else if (value.typeId() == QMetaType::QString && value.toString().isNull())
        m_q.bindValue(m_bound++, QStringLiteral(""));  // an empty text, not SQL NULL (null is an invalid QVariant)
    else if (value.typeId() == QMetaType::QString && !m_session.isPostgres() && value.toString().startsWith(QChar(0xFEFF)))
        // SQLite takes a leading U+FEFF of UTF-16 text for a byte-order mark and
        // drops it: one more keeps the text's own.
        m_q.bindValue(m_bound++, QChar(0xFEFF) + value.toString());
    else
        m_q.bindValue(m_bound++, value);
    return *this;
}

// Qt's PostgreSQL driver decodes text with QString::fromUtf8, which drops a
// leading byte-order mark; the raw value in the driver's result still has it.
static QString withLeadingMark(const QSqlQuery &q, int column, const QString &decoded) {
    const QVariant handle = q.result()->handle();
    if (qstrcmp(handle.typeName(), "pg_result*") != 0 && qstrcmp(handle.typeName(), "PGresult*") != 0) return decoded;
    const PGresult *result = *static_cast<const PGresult *const *>(handle.constData());
    if (!result || PQntuples(result) < 1) return decoded;
    // Forward-only queries hold one row per result (single-row mode); otherwise the current row.
    const int row = PQntuples(result) == 1 ? 0 : q.at();
    if (row < 0 || row >= PQntuples(result) || column >= PQnfields(result)) return decoded;
    const char *raw = PQgetvalue(result, row, column);
    if (!raw || qstrncmp(raw, "\xEF\xBB\xBF", 3) != 0) return decoded;
    // Only when the rest is exactly what the driver gave: then it is this value's own mark.
    return QString::fromUtf8(raw + 3) == decoded ? QChar(0xFEFF) + decoded : decoded;
}

QVariant Query::value(int i) const {
    QVariant v = m_q.value(i);
    if (m_session.isPostgres() && v.typeId() == QMetaType::QString) {
        const QString s = v.toString();
        const QString kept = withLeadingMark(m_q, i, s);
        if (kept.size() != s.size()) return kept;
    }
    return v;
}

Query &Query::exec() {
    if (!m_q.exec()) m_session.fail(m_q.lastError());
    m_bound = 0;
    return *this;
}
