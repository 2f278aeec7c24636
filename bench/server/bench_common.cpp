#include "bench_common.h"

#include <db_config.h>
#include <schema.h>

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <httplib.h>

namespace Bench {

Database::Database(const QString &pgUrl, const QString &schema) : m_pgUrl(pgUrl), m_keep(!schema.isEmpty()) {
    if (pgUrl.isEmpty()) {
        m_database = schema.isEmpty() ? m_dir.filePath(QStringLiteral("bench.db")) : schema;
    } else {
        m_schema = schema.isEmpty() ? QStringLiteral("bench_%1").arg(QCoreApplication::applicationPid()) : schema;
        m_database = pgUrl + (pgUrl.contains(QLatin1Char('?')) ? QStringLiteral("&schema=") : QStringLiteral("?schema=")) + m_schema;
        DbConfig admin;
        QString error;
        DbConfig::parse(pgUrl, &admin, &error);
        DbSession s(admin, QStringLiteral("bench-drop-old"));
        s.open();
        s.execute(QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(m_schema));
    }
    DbConfig config;
    QString error;
    DbConfig::parse(m_database, &config, &error);
    m_session = std::make_unique<DbSession>(config, QStringLiteral("bench-seed"));
    m_session->open();
    Schema::migrate(*m_session);
}

Database::~Database() {
    m_session.reset();
    if (m_schema.isEmpty() || m_keep) return;
    DbConfig admin;
    QString error;
    DbConfig::parse(m_pgUrl, &admin, &error);
    DbSession s(admin, QStringLiteral("bench-drop"));
    try {
        s.open();
        s.execute(QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(m_schema));
    } catch (const DbError &) {
    }
}

void Database::seed(int tables, int bare) {
    DbSession &db = *m_session;
    Transaction tx(db, TxMode::Write);
    const int sys[][3] = {{1, 1, 0}, {2, 3, 5}, {4, 5, 8}, {6, 10, 12}, {11, 20, 15}};
    const int usu[][3] = {{1, 1, 0}, {2, 10, 10}, {11, 50, 20}, {51, 100, 30}, {101, 150, 40}};
    for (int t = 1; t <= tables + bare; ++t) {
        const QString code = QStringLiteral("%1").arg(t, 10, 10, QLatin1Char('0'));
        Query q(db, QStringLiteral("INSERT INTO PRECOPROPOSTA (CDPRECOPROP, NMPRECOPROP, DTINIPRECOPROP, DTFINPRECOPROP, VRPRECOUNITSIST,"
                                   " VRPERCMANUTANO, NRMESPRAZOLOCA, VRPEDESFILIMATR, VRPEDESFILIFILI) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        q.bind(code)
            .bind(QStringLiteral("Tabela de preço número %1").arg(t))
            .bind(QDateTime(QDate(2026, 1, 1), QTime(0, 0)))
            .bind(QDateTime(QDate(2026, 12, 31), QTime(0, 0)))
            .bind(1000.0 + t)
            .bind(180.0)
            .bind(36.0)
            .bind(10.0)
            .bind(12.5)
            .exec();
        for (const auto &b : sys) {
            if (t > tables) break;
            Query s(db, QStringLiteral("INSERT INTO PRECOPROPSIST (CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST) VALUES (?, ?, ?, ?)"));
            s.bind(code).bind(QStringLiteral("%1").arg(b[0], 5, 10, QLatin1Char('0'))).bind(QStringLiteral("%1").arg(b[1], 5, 10, QLatin1Char('0')))
                .bind(double(b[2])).exec();
        }
        for (const auto &b : usu) {
            Query s(db, QStringLiteral("INSERT INTO PRECOPROPUSU (CDPRECOPROP, QTINIUSUARIOS, QTFINUSUARIOS, VRPERCDESCUSU) VALUES (?, ?, ?, ?)"));
            s.bind(code).bind(QStringLiteral("%1").arg(b[0], 5, 10, QLatin1Char('0'))).bind(QStringLiteral("%1").arg(b[1], 5, 10, QLatin1Char('0')))
                .bind(double(b[2])).exec();
        }
    }
    Query seq(db, QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = ? WHERE NMSEQUENCIA = 'PRECOPROPOSTA'"));
    seq.bind(tables + bare).exec();
    tx.commit();
    if (isPostgres()) db.execute(QStringLiteral("ANALYZE"));
}

std::unique_ptr<AppServer> startServer(const QString &database, int threads) {
    ServerOptions o;
    o.database = database;
    o.threads = threads;
    auto s = std::make_unique<AppServer>(o);
    QString error;
    if (!s->start(&error)) {
        fprintf(stderr, "servidor não iniciou: %s\n", qPrintable(error));
        return nullptr;
    }
    return s;
}

struct Client::Impl {
    std::unique_ptr<httplib::Client> http;
};

Client::Client(int port) : d(std::make_unique<Impl>()) {
    d->http = std::make_unique<httplib::Client>("127.0.0.1", port);
    d->http->set_keep_alive(true);
    d->http->set_tcp_nodelay(true);
    d->http->set_read_timeout(30, 0);
}

Client::~Client() = default;

std::string Client::call(const std::string &requestJson) {
    const auto t0 = std::chrono::steady_clock::now();
    auto res = d->http->Post("/rpc/Cot00300.rdmTbPreProCom", requestJson, "application/json");
    if (!res)
        return "transporte: " + httplib::to_string(res.error()) + " após " +
               std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count()) + " ms";
    if (res->status != 200) return "HTTP " + std::to_string(res->status);
    return res->body;
}

std::string request(const char *method, const std::string &paramsJson) {
    return std::string(R"({"jsonrpc":"2.0","id":1,"method":")") + method + R"(","params":)" + paramsJson + "}";
}

bool isSuccess(const std::string &body) {
    // An answer carries "result" at its top level exactly when it succeeded.
    return !body.empty() && body.find("\"result\":") != std::string::npos && body.find("\"error\":{") == std::string::npos;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t i = std::min(values.size() - 1, size_t(p / 100.0 * double(values.size())));
    return values[i];
}

QString backendName(const Database &db) { return db.isPostgres() ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"); }

}  // namespace Bench
