// The audit trail's reading speed after 1,000 changes: the history of one
// price table through the server (GetHistTbPreco) and the trail read by
// table and date as `cot-server audit --tabela --desde` reads it. p50 and
// p99 over 200 reads each; goal: under 50 ms.
//
//   bench_audit [postgresql://user@host:port/db]   (SQLite always; PostgreSQL when given)

#include "bench_common.h"

#include <audit_trail.h>
#include <client_table.h>
#include <net_connection.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

void run(const QString &pgUrl) {
    Bench::Database db(pgUrl);
    db.seed(20);
    auto server = Bench::startServer(db.database(), 4);
    TNetConnection net;
    net.Host = QStringLiteral("127.0.0.1");
    net.Port = server->port();
    // 1,000 changes: the unit price of the 20 tables, 50 times each.
    for (int i = 0; i < 1000; ++i) {
        TClientTable t;
        t.LoadPacket(CheckResultPacket(net.Call(QStringLiteral("getTbPreco"), {})));
        t.SetRecNo(i % 20 + 1);
        t.Edit();
        t.FieldByName(QStringLiteral("VRPRECOUNITSIST"))->SetAsFloat(1000 + i);
        t.Post();
        CheckResultServ(net.Call(QStringLiteral("SetIncTbPre"), {t.GetDelta()}));
    }
    std::vector<double> history, byDate;
    const QString code = QStringLiteral("0000000007");
    for (int i = 0; i < 200; ++i) {
        auto t = Clock::now();
        const DataPacket p = CheckResultPacket(net.Call(QStringLiteral("GetHistTbPreco"), {code}));
        history.push_back(ms(t));
        if (p.rows.size() < 50) std::fprintf(stderr, "histórico curto: %d linhas\n", int(p.rows.size()));
        t = Clock::now();
        AuditTrail::read(db.session(), code, QDate::currentDate());
        byDate.push_back(ms(t));
    }
    std::printf("%-10s GetHistTbPreco   p50 %6.2f ms  p99 %6.2f ms\n", db.isPostgres() ? "PostgreSQL" : "SQLite",
                Bench::percentile(history, 50), Bench::percentile(history, 99));
    std::printf("%-10s tabela+desde     p50 %6.2f ms  p99 %6.2f ms\n", db.isPostgres() ? "PostgreSQL" : "SQLite",
                Bench::percentile(byDate, 50), Bench::percentile(byDate, 99));
    server->stop();
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    run(QString());
    if (argc > 1) run(QString::fromLocal8Bit(argv[1]));
    return 0;
}
