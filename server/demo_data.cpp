#include "demo_data.h"

#include "monthly_index.h"

#include <QDateTime>
#include <cmath>

namespace {

struct Band {
    int first, last;
    double percent;
};

void exec(DbSession &db, const QString &sql, const QVariantList &values) {
    Query q(db, sql);
    for (const QVariant &v : values) q.bind(v);
    q.exec();
}

QString qty(int n) { return QStringLiteral("%1").arg(n, 5, 10, QLatin1Char('0')); }

}  // namespace

namespace DemoData {

bool isEmpty(DbSession &db) {
    for (const char *table : {"OPERADOR", "PRECOPROPOSTA", "TIPOSERV", "SEGMERCADO", "INDICEMENSAL", "OPERTIPOSERV"}) {
        Query q(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)));
        q.exec();
        if (q.next() && q.value(0).toLongLong() > 0) return false;
    }
    return true;
}

bool fillIfEmpty(DbSession &db, const QDate &today) {
    Transaction tx(db, TxMode::Write);
    if (!isEmpty(db)) return false;

    const struct {
        const char *code, *name, *status;
    } operators[] = {
        {"000000000001", "Ana Paula Ferreira", "A"},     {"000000000002", "Carlos Eduardo Souza", "A"},
        {"000000000003", "Mariana Oliveira Santos", "A"}, {"000000000004", "João Batista Lima", "I"},
        {"000000000005", "Fernanda Ribeiro Costa", "A"},  {"000000000006", "Roberto Carlos Almeida", "I"},
        {"000000000007", "Juliana Martins Rocha", "A"},
    };
    for (const auto &o : operators)
        exec(db, QStringLiteral("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, IDOPERATIVO) VALUES (?, ?, ?)"),
             {QString::fromUtf8(o.code), QString::fromUtf8(o.name), QString::fromUtf8(o.status)});

    const struct {
        const char *code, *name, *web, *required;
        double national, international;
    } types[] = {
        {"001", "Implantação do sistema", "S", "S", 3500.00, 1250.00},
        {"002", "Treinamento de usuários", "S", "N", 1800.00, 650.00},
        {"003", "Consultoria em processos (hora)", "N", "N", 250.00, 95.00},
        {"004", "Migração de dados", "N", "S", 4200.00, 1500.00},
        {"005", "Customização de relatórios", "S", "N", 950.00, 340.00},
        {"006", "Suporte técnico remoto (pacote mensal)", "S", "N", 450.00, 160.00},
    };
    for (const auto &t : types)
        exec(db,
             QStringLiteral("INSERT INTO TIPOSERV (CDTIPOSERV, NMTIPOSERV, IDPROPSERVWEB, IDSERVOBRIGPROS, VRPADRAOSERVNAC, VRPADRAOSERVINT)"
                            " VALUES (?, ?, ?, ?, ?, ?)"),
             {QString::fromUtf8(t.code), QString::fromUtf8(t.name), QString::fromUtf8(t.web), QString::fromUtf8(t.required), t.national,
              t.international});

    const int year = today.year();
    const struct {
        const char *code;
        QString name;
        QDate start, end;
        double price, maintenance, term, branchHq, branchBranch;
        QVector<Band> systems, users;
    } tables[] = {
        {"0000000001", QStringLiteral("Tabela Padrão %1").arg(year), QDate(year, 1, 1), QDate(year, 12, 31), 1500.00, 270.00, 36, 10, 15,
         {{1, 1, 0}, {2, 3, 5}, {4, 5, 8}, {6, 10, 12}, {11, 20, 15}},
         {{1, 1, 0}, {2, 5, 10}, {6, 10, 20}, {11, 25, 30}, {26, 50, 40}, {51, 100, 50}, {101, 150, 55}}},
        {"0000000002", QStringLiteral("Tabela Revendas %1").arg(year), QDate(year, 1, 1), QDate(year, 12, 31), 1200.00, 216.00, 24, 8, 12,
         {{1, 2, 0}, {3, 5, 6}, {6, 10, 10}, {11, 15, 14}, {16, 20, 18}},
         {{1, 3, 0}, {4, 10, 15}, {11, 30, 25}, {31, 80, 35}, {81, 150, 45}}},
        {"0000000003", QStringLiteral("Tabela Setor Público"), QDate(year - 1, 7, 1), QDate(year + 1, 6, 30), 1800.00, 360.00, 48, 5, 5,
         {{1, 5, 0}, {6, 10, 4}, {11, 20, 7}},
         {{1, 10, 0}, {11, 50, 10}, {51, 150, 20}}},
    };
    for (const auto &t : tables) {
        const QString code = QString::fromUtf8(t.code);
        exec(db,
             QStringLiteral("INSERT INTO PRECOPROPOSTA (CDPRECOPROP, NMPRECOPROP, DTINIPRECOPROP, DTFINPRECOPROP, VRPRECOUNITSIST,"
                            " VRPERCMANUTANO, NRMESPRAZOLOCA, VRPEDESFILIMATR, VRPEDESFILIFILI) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
             {code, t.name, QDateTime(t.start, QTime(0, 0)), QDateTime(t.end, QTime(0, 0)), t.price, t.maintenance, t.term, t.branchHq,
              t.branchBranch});
        for (const Band &b : t.systems)
            exec(db, QStringLiteral("INSERT INTO PRECOPROPSIST (CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST) VALUES (?, ?, ?, ?)"),
                 {code, qty(b.first), qty(b.last), b.percent});
        for (const Band &b : t.users)
            exec(db, QStringLiteral("INSERT INTO PRECOPROPUSU (CDPRECOPROP, QTINIUSUARIOS, QTFINUSUARIOS, VRPERCDESCUSU) VALUES (?, ?, ?, ?)"),
                 {code, qty(b.first), qty(b.last), b.percent});
    }

    const struct {
        const char *table, *op, *type;
        double percent;
    } permissions[] = {
        {"0000000001", "000000000001", "L", 10}, {"0000000001", "000000000001", "M", 5}, {"0000000001", "000000000001", "U", 8},
        {"0000000001", "000000000002", "L", 7},  {"0000000001", "000000000003", "U", 12}, {"0000000002", "000000000001", "U", 15},
        {"0000000002", "000000000005", "M", 6},  {"0000000003", "000000000007", "L", 4},
    };
    for (const auto &p : permissions)
        exec(db, QStringLiteral("INSERT INTO PRECOPROPOPER (CDPRECOPROP, CDOPERADOR, IDTIPODESCOPER, VRPERCDESCOPER) VALUES (?, ?, ?, ?)"),
             {QString::fromUtf8(p.table), QString::fromUtf8(p.op), QString::fromUtf8(p.type), p.percent});

    const struct {
        int number;
        const char *type, *op;
        double percent;
    } discounts[] = {{1, "001", "000000000001", 5}, {2, "002", "000000000001", 10}, {3, "001", "000000000002", 3}, {4, "004", "000000000003", 7.5}};
    for (const auto &d : discounts)
        exec(db, QStringLiteral("INSERT INTO OPERTIPOSERV (NROPERTIPOSERV, CDTIPOSERV, CDOPERADOR, VRPEDESOPERSERV) VALUES (?, ?, ?, ?)"),
             {d.number, QString::fromUtf8(d.type), QString::fromUtf8(d.op), d.percent});

    const struct {
        const char *code, *name, *table;
    } segments[] = {
        {"001", "Varejo", "0000000001"},        {"002", "Indústria", "0000000001"}, {"003", "Serviços", "0000000002"},
        {"004", "Setor Público", "0000000003"}, {"005", "Agronegócio", "0000000001"}, {"006", "Saúde", nullptr},
    };
    for (const auto &s : segments)
        exec(db, QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES (?, ?, ?)"),
             {QString::fromUtf8(s.code), QString::fromUtf8(s.name), s.table ? QVariant(QString::fromUtf8(s.table)) : QVariant()});

    // A monthly index rising about 0,45% a month, from twelve months ago to twelve ahead.
    const QDate firstOfMonth(today.year(), today.month(), 1);
    for (int k = -12; k <= 12; ++k) {
        const double value = std::round(std::pow(1.0045, k + 12) * 10000.0) / 10000.0;
        MonthlyIndex::set(db, firstOfMonth.addMonths(k).toString(QStringLiteral("yyyy-MM")), value);
    }

    exec(db, QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = ? WHERE NMSEQUENCIA = 'PRECOPROPOSTA'"), {3});
    exec(db, QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = ? WHERE NMSEQUENCIA = 'OPERTIPOSERV'"), {4});
    tx.commit();
    return true;
}

}  // namespace DemoData
