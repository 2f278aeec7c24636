#pragma once
// What the server benchmarks share: a database seeded with price tables and
// bands, a server on it, a fast HTTP client for the calls, and percentiles.

#include <app_server.h>
#include <db_session.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

namespace Bench {

// A fresh database: a SQLite file in a temporary folder, or a schema of its
// own on the PostgreSQL database of the URL. Dropped (PostgreSQL) on destruction.
class Database {
public:
    // pgUrl empty: SQLite, in a temporary folder or, given `name`, in that file (kept).
    // Otherwise PostgreSQL, in a schema of its own or, given `name`, in that schema (kept).
    explicit Database(const QString &pgUrl, const QString &name = QString());
    ~Database();
    const QString &database() const { return m_database; }
    bool isPostgres() const { return !m_schema.isEmpty(); }
    const QString &schema() const { return m_schema; }
    DbSession &session() { return *m_session; }
    // Price tables 0000000001.. with five systems bands and five users bands
    // each, then `bare` more tables without systems bands (for writers).
    void seed(int tables, int bare = 0);

private:
    QTemporaryDir m_dir;
    QString m_database, m_schema, m_pgUrl;
    bool m_keep = false;
    std::unique_ptr<DbSession> m_session;
};

std::unique_ptr<AppServer> startServer(const QString &database, int threads);

// One JSON-RPC call through a kept-alive HTTP connection with TCP_NODELAY.
class Client {
public:
    explicit Client(int port);
    ~Client();
    // The body of the answer; on a transport failure or an HTTP error, what it was.
    std::string call(const std::string &requestJson);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

std::string request(const char *method, const std::string &paramsJson);
bool isSuccess(const std::string &body);

double percentile(std::vector<double> values, double p);  // p in 0..100
QString backendName(const Database &db);

}  // namespace Bench
