// The desktop's actions over a slow link: each action makes the calls the
// screens make for it (the same methods, batches and order, through the
// desktop's own connection class), once straight to the server and once
// through a proxy that delays each direction by half the round trip. Prints
// per action the calls, the round trips (HTTP requests plus TCP handshakes)
// and the time, side by side. Not part of ctest; see run_wan.sh.
//
//   bench_wan --port P [--rtt-ms 80] [--idle-seconds 31] [--label TEXT]
//   bench_wan --port P --seed N     (adds N price tables with four bands a side, then exits)

#include "wan_proxy.h"

#include <errors.h>
#include <net_connection.h>
#include <price_quote.h>
#include <price_simulation.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace PriceSimulation;

struct Link {
    int port;
    WanProxy *proxy;  // null: straight to the server
};

struct Figures {
    int calls = 0, roundTrips = 0;
    double ms = 0;
};

std::unique_ptr<TNetConnection> connection(int port) {
    auto c = std::make_unique<TNetConnection>();
    c->Host = QStringLiteral("127.0.0.1");
    c->Port = port;
    c->ThrowException = true;
    return c;
}

DataPacket packetOf(const RpcReply &r) { return CheckResultPacket(r, false); }

// The desktop as it stands after start: its one connection, and what the
// calculator and the preview keep between actions.
struct Desktop {
    std::unique_ptr<TNetConnection> shellCheck, screen;
    DataPacket systems, users;
    double index = 1;
    QString table;
};

int handshakes(const Link &l) { return l.proxy ? l.proxy->connections() : 0; }

Figures measure(Desktop &d, const Link &l, const std::function<void(Desktop &)> &action) {
    auto traffic = [&] {
        int calls = 0, requests = 0;
        for (TNetConnection *c : {d.shellCheck.get(), d.screen.get()})
            if (c) calls += c->traffic().calls, requests += c->traffic().requests;
        return std::pair{calls, requests};
    };
    const auto [calls0, requests0] = traffic();
    const int hs0 = handshakes(l);
    const auto t0 = Clock::now();
    action(d);
    Figures f;
    f.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    const auto [calls1, requests1] = traffic();
    f.calls = calls1 - calls0;
    f.roundTrips = requests1 - requests0 + handshakes(l) - hs0;
    return f;
}

void start(Desktop &d, int port) {
    // The shell's check is the first call; the main screen then opens on the same socket.
    d.shellCheck = connection(port);
    d.shellCheck->CheckOnOpen = false;
    d.shellCheck->Open();
    CheckResultServ(d.shellCheck->Call(QStringLiteral("getIndiceBtn"), {}), false);
    d.screen = connection(port);
    d.screen->Open();
    // The screen asks who the key is together with its first list.
    const QVector<RpcReply> first = d.screen->CallBatch({{QStringLiteral("getAcesso"), {}}, {QStringLiteral("getTbPreco"), {}}});
    const DataPacket tables = packetOf(first[1]);
    d.table = tables.rows.isEmpty() ? QString() : tables.rows.first().value(tables.fieldIndex(QStringLiteral("CDPRECOPROP"))).toString();
}

void serviceTypes(Desktop &d) { CheckResultServ(d.screen->Call(QStringLiteral("GetTipoServicoComOperadores"), {QString()}), false); }
void operators(Desktop &d) { CheckResultServ(d.screen->Call(QStringLiteral("GetOperadorComTiposServ"), {QString()}), false); }

void calculatorOpens(Desktop &d) {
    const QVector<RpcReply> r = d.screen->CallBatch({{QStringLiteral("getIndiceBtn"), {}},
                                                     {QStringLiteral("getLuSist"), {d.table, QString::number(MaxSystems)}},
                                                     {QStringLiteral("getLuUsu"), {d.table, QString::number(MaxUsers)}}});
    const DataPacket index = packetOf(r[0]);
    d.index = index.rows.isEmpty() ? 1.0 : index.rows.first().value(0).toDouble();
    d.systems = packetOf(r[1]);
    d.users = packetOf(r[2]);
}

void calculatorPrice(Desktop &d) {
    Parameters p;
    p.systems = 7;
    p.users = 33;
    p.types = {PriceType::Licence, PriceType::Maintenance, PriceType::Rental};
    p.index = d.index;
    if (quote(d.systems, d.users, p).prices.isEmpty()) throw EAppError(QStringLiteral("sem preço"));
}

void preview(Desktop &d) {
    const QString all = QStringLiteral("T");
    const QVector<RpcReply> r = d.screen->CallBatch({{QStringLiteral("getRelTbPreco"), {QString(), all}},
                                                     {QStringLiteral("getIndiceBtn"), {}},
                                                     {QStringLiteral("getLuSist"), {all, QString::number(MaxSystems)}},
                                                     {QStringLiteral("getLuUsu"), {all, QString::number(MaxUsers)}}});
    packetOf(r[0]);
    Parameters p;
    p.types = {PriceType::Licence, PriceType::Maintenance, PriceType::Rental};
    simulate(packetOf(r[2]), packetOf(r[3]), p);
}

void seed(int port, int count) {
    auto net = connection(port);
    const QVector<FieldDef> table = {{"CDPRECOPROP", FieldType::String, 10},   {"NMPRECOPROP", FieldType::String, 50},
                                     {"DTINIPRECOPROP", FieldType::DateTime, 0}, {"DTFINPRECOPROP", FieldType::DateTime, 0},
                                     {"VRPRECOUNITSIST", FieldType::Float, 0},  {"VRPERCMANUTANO", FieldType::Float, 0},
                                     {"NRMESPRAZOLOCA", FieldType::Float, 0},   {"VRPEDESFILIMATR", FieldType::Float, 0},
                                     {"VRPEDESFILIFILI", FieldType::Float, 0}};
    const QVector<FieldDef> systems = {{"CDPRECOPROP", FieldType::String, 10}, {"QTINISISTEMAS", FieldType::String, 5},
                                       {"QTFINSISTEMAS", FieldType::String, 5}, {"VRPERCDESCSIST", FieldType::Float, 0}};
    const QVector<FieldDef> users = {{"CDPRECOPROP", FieldType::String, 10}, {"QTINIUSUARIOS", FieldType::String, 5},
                                     {"QTFINUSUARIOS", FieldType::String, 5}, {"VRPERCDESCUSU", FieldType::Float, 0}};
    auto q = [](int n) { return QStringLiteral("%1").arg(n, 5, 10, QLatin1Char('0')); };
    const QDate today = QDate::currentDate();
    for (int i = 0; i < count; ++i) {
        const QString code = CheckResultServ(net->Call(QStringLiteral("PrxPrecoProp"), {}), false).toString();
        Delta t{table, {DeltaChange{DeltaChange::Insert, {}, {code, QStringLiteral("Tabela de carga %1").arg(i + 1),
                                                             QDateTime(today.addYears(-1), QTime(0, 0)), QDateTime(today.addYears(1), QTime(0, 0)),
                                                             1000.0 + i, 200.0, 12.0, 5.0, 10.0}}}};
        CheckResultServ(net->Call(QStringLiteral("SetIncTbPre"), {t}), false);
        Delta s{systems, {}}, u{users, {}};
        const int sb[][2] = {{1, 1}, {2, 5}, {6, 10}, {11, 20}}, ub[][2] = {{1, 10}, {11, 50}, {51, 100}, {101, 150}};
        for (int b = 0; b < 4; ++b) {
            s.changes.append(DeltaChange{DeltaChange::Insert, {}, {code, q(sb[b][0]), q(sb[b][1]), 5.0 * b}});
            u.changes.append(DeltaChange{DeltaChange::Insert, {}, {code, q(ub[b][0]), q(ub[b][1]), 4.0 * b}});
        }
        CheckResultServ(net->Call(QStringLiteral("setDescSis"), {s}), false);
        CheckResultServ(net->Call(QStringLiteral("setDescUsu"), {u}), false);
    }
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"port", "porta do cot-server", "N"},
                       {"rtt-ms", "ida e volta do enlace lento", "MS", "80"},
                       {"idle-seconds", "pausa antes da ação depois de ociosa", "S", "31"},
                       {"label", "nome dos dados", "TEXTO", "dados"},
                       {"seed", "só acrescenta N tabelas de preço", "N"}});
    parser.process(app);
    const int port = parser.value("port").toInt();
    if (parser.isSet("seed")) {
        seed(port, parser.value("seed").toInt());
        return 0;
    }
    const int rtt = parser.value("rtt-ms").toInt();
    const int idle = parser.value("idle-seconds").toInt();
    WanProxy proxy(port, rtt / 2);

    struct Action {
        const char *name;
        std::function<void(Desktop &)> run;
    };
    const QVector<Action> actions = {
        {"início até a tela principal", nullptr},
        {"página Tipo de Serviço", serviceTypes},
        {"Dados por Operador", operators},
        {"Calculadora abre", calculatorOpens},
        {"Calculadora: preço a cada número", calculatorPrice},
        {"visualizar relatório, todas as tabelas", preview},
        {"ação após ociosa", [](Desktop &d) { CheckResultServ(d.screen->Call(QStringLiteral("getIndiceBtn"), {}), false); }},
    };
    Desktop direct, slow;
    const Link straight{port, nullptr}, delayed{proxy.port(), &proxy};
    std::printf("== %s: direto e a %d ms de ida e volta ==\n", qPrintable(parser.value("label")), rtt);
    std::printf("%s %8s %13s %11s %12s\n", QStringLiteral("ação").leftJustified(42).toUtf8().constData(), "chamadas", "idas e voltas",
                "direto", QString("a %1 ms").arg(rtt).toUtf8().constData());
    for (const Action &a : actions) {
        Figures f[2];
        int i = 0;
        for (auto [desk, link] : {std::pair{&direct, straight}, std::pair{&slow, delayed}}) {
            const int p = link.port;
            auto run = a.run ? a.run : [p](Desktop &d) { start(d, p); };
            if (QByteArray(a.name) == "ação após ociosa") std::this_thread::sleep_for(std::chrono::seconds(idle));
            f[i++] = measure(*desk, link, run);
        }
        const QString name = QByteArray(a.name) == "ação após ociosa" ? QStringLiteral("ação após %1 s ociosa").arg(idle) : QString::fromUtf8(a.name);
        std::printf("%s %8d %13d %8.1f ms %9.1f ms\n", name.leftJustified(42).toUtf8().constData(), f[1].calls, f[1].roundTrips, f[0].ms,
                    f[1].ms);
    }
    return 0;
}
