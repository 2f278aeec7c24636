// Throughput of the server under 32 concurrent clients: 70% reads (getTbPreco,
// getDescSis, getVdIntervSis in equal parts) and 30% writes (setDescSis, a band
// inserted, then deleted again), for 20 seconds. Requests per second, p50 and
// p99, errors. Goals on the 2-core machine: reads >= 10,000/s, writes >= 1,000/s,
// p99 < 20 ms, no error.
//
//   bench_server_load [--seconds N] [--clients N] [--threads N] [postgresql://...]
//   bench_server_load --prepare FILE.db | --prepare SCHEMA postgresql://...
//       seeds that SQLite file or PostgreSQL schema and keeps it, for wrk (mix.lua) and pgbench

#include "bench_common.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadTables = 8;  // complete tables the readers ask about

struct ClientStats {
    std::vector<double> readUs, writeUs;
    long errors = 0;
    std::string firstError;
};

std::string code(int n) { return QStringLiteral("%1").arg(n, 10, 10, QLatin1Char('0')).toStdString(); }
std::string qty(int n) { return QStringLiteral("%1").arg(n, 5, 10, QLatin1Char('0')).toStdString(); }

std::string bandDelta(bool insert, const std::string &table, int q) {
    const std::string row = "[\"" + table + "\",\"" + qty(q) + "\",\"" + qty(q) + "\",5]";
    return std::string(R"([{"fields":[{"name":"CDPRECOPROP","type":"string","size":10},{"name":"QTINISISTEMAS","type":"string","size":5},)"
                       R"({"name":"QTFINSISTEMAS","type":"string","size":5},{"name":"VRPERCDESCSIST","type":"float"}],"changes":[{"op":")") +
           (insert ? "insert\",\"new\":" : "delete\",\"old\":") + row + "}]}]";
}

void client(int port, int index, std::atomic<bool> &stop, ClientStats &stats) {
    Bench::Client c(port);
    QRandomGenerator rng(1000u + uint(index));
    const std::string myTable = code(kReadTables + 1 + index);
    int band = 0;  // the band this client has in, 0: none
    int nextQ = 1;
    stats.readUs.reserve(200000);
    stats.writeUs.reserve(100000);
    while (!stop.load(std::memory_order_relaxed)) {
        const int dice = int(rng.bounded(100));
        std::string req;
        bool write = false;
        if (dice < 70) {
            const std::string t = code(1 + int(rng.bounded(kReadTables)));
            if (dice < 23) req = Bench::request("getTbPreco", "[]");
            else if (dice < 47) req = Bench::request("getDescSis", "[\"" + t + "\"]");
            else req = Bench::request("getVdIntervSis", "[\"I\",\"" + t + "\",\"" + qty(1 + int(rng.bounded(20))) + "\",\"\"]");
        } else {
            write = true;
            if (band) {
                req = Bench::request("setDescSis", bandDelta(false, myTable, band));
            } else {
                req = Bench::request("setDescSis", bandDelta(true, myTable, nextQ));
            }
        }
        const auto t0 = Clock::now();
        const std::string answer = c.call(req);
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
        const bool ok = Bench::isSuccess(answer);
        (write ? stats.writeUs : stats.readUs).push_back(us);
        if (!ok) {
            if (stats.errors++ == 0) stats.firstError = answer.substr(0, 300);
        } else if (write) {
            if (band) {
                band = 0;
                nextQ = nextQ % 20 + 1;
            } else {
                band = nextQ;
            }
        }
    }
}

void run(const QString &pgUrl, int seconds, int clients, int threads) {
    Bench::Database db(pgUrl);
    db.seed(kReadTables, clients);
    auto server = Bench::startServer(db.database(), threads);
    if (!server) return;
    std::atomic<bool> stop{false};
    std::vector<ClientStats> stats(static_cast<size_t>(clients));
    std::vector<std::thread> pool;
    const auto start = Clock::now();
    for (int i = 0; i < clients; ++i) pool.emplace_back(client, server->port(), i, std::ref(stop), std::ref(stats[size_t(i)]));
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (auto &t : pool) t.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    server->stop();

    std::vector<double> all, reads, writes;
    long errors = 0;
    std::string firstError;
    for (const ClientStats &s : stats) {
        reads.insert(reads.end(), s.readUs.begin(), s.readUs.end());
        writes.insert(writes.end(), s.writeUs.begin(), s.writeUs.end());
        errors += s.errors;
        if (firstError.empty()) firstError = s.firstError;
    }
    all = reads;
    all.insert(all.end(), writes.begin(), writes.end());
    printf("\n[%s] %d clientes, %d threads no servidor, %.1f s\n", qPrintable(Bench::backendName(db)), clients, threads, elapsed);
    printf("  requisições/s: %8.0f   (leituras %8.0f/s, meta >= 10000; escritas %7.0f/s, meta >= 1000)\n", double(all.size()) / elapsed,
           double(reads.size()) / elapsed, double(writes.size()) / elapsed);
    printf("  p50 %.2f ms, p99 %.2f ms (meta < 20 ms); leituras p99 %.2f ms, escritas p99 %.2f ms\n", Bench::percentile(all, 50) / 1000,
           Bench::percentile(all, 99) / 1000, Bench::percentile(reads, 99) / 1000, Bench::percentile(writes, 99) / 1000);
    printf("  erros: %ld%s%s\n", errors, errors ? "  primeiro: " : "", firstError.c_str());
    fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int seconds = 20, clients = 32, threads = 32;
    QString pgUrl, prepare;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--seconds") && i + 1 < args.size()) seconds = args[++i].toInt();
        else if (args[i] == QLatin1String("--clients") && i + 1 < args.size()) clients = args[++i].toInt();
        else if (args[i] == QLatin1String("--threads") && i + 1 < args.size()) threads = args[++i].toInt();
        else if (args[i] == QLatin1String("--prepare") && i + 1 < args.size()) prepare = args[++i];
        else pgUrl = args[i];
    }
    if (!prepare.isEmpty()) {
        Bench::Database db(pgUrl, prepare);
        db.seed(kReadTables, clients);
        printf("%s\n", qPrintable(prepare));
        return 0;
    }
    run(QString(), seconds, clients, threads);
    if (!pgUrl.isEmpty()) run(pgUrl, seconds, clients, threads);
    return 0;
}
