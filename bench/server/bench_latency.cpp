// Latency of getTbPreco over 1,000 price tables and of getDescSis, through
// the server (HTTP, JSON-RPC, one transaction) against the same SELECT run
// in-process through QtSql. p50 and p99; goal: RPC p50 at most 3 times the
// in-process p50.
//
//   bench_server_latency [postgresql://user@host:port/db]   (SQLite always; PostgreSQL when given)

#include "bench_common.h"

#include <net_connection.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSqlRecord>
#include <chrono>
#include <csignal>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) { return std::chrono::duration<double, std::micro>(Clock::now() - t).count(); }

struct Figures {
    double p50, p99;
};

Figures summarise(const std::vector<double> &us) { return {Bench::percentile(us, 50), Bench::percentile(us, 99)}; }

// The statement the server runs, here in-process: execute and read every value.
std::vector<double> inProcess(DbSession &db, const QString &sql, int n, const std::function<QString(int)> &arg) {
    std::vector<double> us;
    us.reserve(size_t(n));
    volatile double sink = 0;
    for (int i = 0; i < n; ++i) {
        const auto t = Clock::now();
        Query q(db, sql);
        const QString a = arg(i);
        if (!a.isNull()) q.bind(a);
        q.exec();
        const int columns = q.raw().record().count();
        while (q.next())
            for (int c = 0; c < columns; ++c) {
                const QVariant v = q.value(c);
                sink = sink + (v.typeId() == QMetaType::Double ? v.toDouble() : double(v.toString().size()));
            }
        us.push_back(since(t));
    }
    return us;
}

std::vector<double> overRpc(Bench::Client &c, int n, const std::function<std::string(int)> &body, int *failures) {
    std::vector<double> us;
    us.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const std::string req = body(i);
        const auto t = Clock::now();
        const std::string answer = c.call(req);
        // The client reads the answer as the desktop does.
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromRawData(answer.data(), qsizetype(answer.size())));
        us.push_back(since(t));
        if (!Bench::isSuccess(answer) || !doc.isObject()) ++*failures;
    }
    return us;
}

void run(const QString &pgUrl) {
    Bench::Database db(pgUrl);
    const int tables = 1000;
    db.seed(tables);
    auto server = Bench::startServer(db.database(), 4);
    if (!server) return;
    Bench::Client client(server->port());
    QRandomGenerator rng(42);
    int failures = 0;
    auto code = [&](int) { return QStringLiteral("%1").arg(1 + int(rng.bounded(tables)), 10, 10, QLatin1Char('0')); };

    const QString tbPrecoSql = QStringLiteral("SELECT CDPRECOPROP, NMPRECOPROP, CAST(DTINIPRECOPROP AS VARCHAR(19)), CAST(DTFINPRECOPROP AS VARCHAR(19)),"
                                              " VRPRECOUNITSIST, VRPERCMANUTANO, NRMESPRAZOLOCA, VRPEDESFILIMATR, VRPEDESFILIFILI"
                                              " FROM PRECOPROPOSTA ORDER BY CDPRECOPROP");
    const QString descSisSql = QStringLiteral("SELECT CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST FROM PRECOPROPSIST"
                                              " WHERE CDPRECOPROP = ? ORDER BY QTINISISTEMAS");

    // Warm-up: every worker opens its connection and prepares its statements.
    overRpc(client, 50, [](int) { return Bench::request("getTbPreco", "[]"); }, &failures);
    overRpc(client, 200, [&](int i) { return Bench::request("getDescSis", "[\"" + code(i).toStdString() + "\"]"); }, &failures);
    inProcess(db.session(), tbPrecoSql, 20, [](int) { return QString(); });
    inProcess(db.session(), descSisSql, 200, code);
    failures = 0;

    const Figures tbRpc = summarise(overRpc(client, 400, [](int) { return Bench::request("getTbPreco", "[]"); }, &failures));
    const Figures tbLocal = summarise(inProcess(db.session(), tbPrecoSql, 400, [](int) { return QString(); }));
    const Figures dsRpc = summarise(
        overRpc(client, 5000, [&](int i) { return Bench::request("getDescSis", "[\"" + code(i).toStdString() + "\"]"); }, &failures));
    const Figures dsLocal = summarise(inProcess(db.session(), descSisSql, 5000, code));

    // The desktop's own connection class, for comparison.
    TNetConnection net;
    net.Host = QStringLiteral("127.0.0.1");
    net.Port = server->port();
    net.Open();
    std::vector<double> netUs;
    for (int i = 0; i < 200; ++i) {
        const QString c = code(i);
        const auto t = Clock::now();
        const RpcReply r = net.Call(QStringLiteral("getDescSis"), {c});
        netUs.push_back(since(t));
        if (!r.ok) ++failures;
    }
    const Figures dsNet = summarise(netUs);

    const QString name = Bench::backendName(db);
    printf("\n[%s] %d tabelas de preço; %d falhas\n", qPrintable(name), tables, failures);
    printf("%-44s %10s %10s\n", "medida", "p50 (µs)", "p99 (µs)");
    printf("%-44s %10.0f %10.0f\n", "getTbPreco por RPC (1.000 linhas)", tbRpc.p50, tbRpc.p99);
    printf("%-44s %10.0f %10.0f\n", "mesmo SELECT em processo (QtSql)", tbLocal.p50, tbLocal.p99);
    printf("%-44s %10.2f %10s  (meta <= 3)\n", "razão RPC/SELECT p50", tbRpc.p50 / tbLocal.p50, "");
    printf("%-44s %10.0f %10.0f\n", "getDescSis por RPC", dsRpc.p50, dsRpc.p99);
    printf("%-44s %10.0f %10.0f\n", "mesmo SELECT em processo (QtSql)", dsLocal.p50, dsLocal.p99);
    printf("%-44s %10.2f %10s  (meta <= 3)\n", "razão RPC/SELECT p50", dsRpc.p50 / dsLocal.p50, "");
    printf("%-44s %10.0f %10.0f\n", "getDescSis pelo TNetConnection do desktop", dsNet.p50, dsNet.p99);
    fflush(stdout);
    server->stop();
}

}  // namespace

int main(int argc, char **argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    run(QString());
    if (argc > 1) run(QString::fromLocal8Bit(argv[1]));
    return 0;
}
