// The price simulation, from band packets as the server sends them.
//
// Test organization:
//   1. The worked example: three types, "Matriz/Matriz" and "Filial/Filial"
//      with index 1.05, to the cent.
//   2. Counts: N = 1, U = 1, a user count on a band's end, fields above N.
//   3. Location modes and branch discounts (null, 100, the other mode's).
//   4. Order: two tables and three types, types ticked in any order.
//   5. The index on the rental share; values read through their text.
//   6. Refusals: unit price or rental term of zero, bands that do not fit.

#include "app_error.h"
#include "price_simulation.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace PriceSimulation;

namespace {

struct Table {
    QString code, name;
    QVariant P = 1000.0, M = 200.0, L = 12.0, FM, FF;
    QVector<QPair<int, double>> sys;  // band end, discount
    QVector<QPair<int, double>> usr;
};

FieldDef num(const char *n) { return {QString::fromLatin1(n), FieldType::Float, 0}; }
FieldDef str(const char *n, int size) { return {QString::fromLatin1(n), FieldType::String, size}; }
QString five(int n) { return QStringLiteral("%1").arg(n, 5, 10, QLatin1Char('0')); }

// As the server answers for a count: the bands that start at or below it.
DataPacket systems(const QVector<Table> &tables, int n = 20) {
    DataPacket p;
    p.fields = {num("VRPERCMANUTANO"), num("NRMESPRAZOLOCA"), str("NMPRECOPROP", 50), num("VRPRECOUNITSIST"), num("VRPERCDESCSIST"),
                str("QTFINSISTEMAS", 5), str("CDPRECOPROP", 10), num("VRPEDESFILIMATR"), num("VRPEDESFILIFILI")};
    for (const Table &t : tables) {
        int start = 1;
        for (const auto &[end, sd] : t.sys) {
            if (start <= n) p.rows.append({t.M, t.L, t.name, t.P, sd, five(end), t.code, t.FM, t.FF});
            start = end + 1;
        }
    }
    return p;
}

DataPacket users(const QVector<Table> &tables, int u = 150) {
    DataPacket p;
    p.fields = {str("NMPRECOPROP", 50), num("VRPRECOUNITSIST"), num("VRPERCDESCUSU"), str("QTFINUSUARIOS", 5), str("CDPRECOPROP", 10),
                num("VRPERCMANUTANO"), num("NRMESPRAZOLOCA")};
    for (const Table &t : tables) {
        int start = 1;
        for (const auto &[end, ud] : t.usr) {
            if (start <= u) p.rows.append({t.name, t.P, ud, five(end), t.code, t.M, t.L});
            start = end + 1;
        }
    }
    return p;
}

// The worked example's table: systems 1-2 at 0 %, 3-20 at 10 %; users 1-1 at 0 %, 2-150 at 20 %.
Table example(const QString &code = QStringLiteral("0000000001"), const QString &name = QStringLiteral("Exemplo")) {
    Table t;
    t.code = code;
    t.name = name;
    t.sys = {{2, 0.0}, {20, 10.0}};
    t.usr = {{1, 0.0}, {150, 20.0}};
    return t;
}

Parameters params(int n, int u, QVector<PriceType> types, LocationMode mode = LocationMode::HeadHead, double index = 1.0) {
    Parameters p;
    p.systems = n;
    p.users = u;
    p.types = types;
    p.mode = mode;
    p.index = index;
    return p;
}

Result sim(const QVector<Table> &tables, const Parameters &p) { return simulate(systems(tables, p.systems), users(tables, p.users), p); }

QVector<double> rowValues(const ReportRow &r) { return QVector<double>(r.values.begin(), r.values.begin() + r.systems); }

void expectCents(const QVector<QVector<double>> &expected, const QVector<ReportRow> &rows, int from = 0) {
    ASSERT_GE(rows.size(), from + expected.size());
    for (int u = 0; u < expected.size(); ++u) {
        SCOPED_TRACE(testing::Message() << "row " << from + u);
        const QVector<double> got = rowValues(rows[from + u]);
        ASSERT_EQ(got.size(), expected[u].size());
        for (int k = 0; k < got.size(); ++k) {
            SCOPED_TRACE(testing::Message() << "column " << k + 1);
            EXPECT_NEAR(got[k], expected[u][k], 0.005);
            EXPECT_EQ(std::round(got[k] * 100), std::round(expected[u][k] * 100));
        }
    }
}

QString errorOf(const DataPacket &s, const DataPacket &u, const Parameters &p) {
    try {
        simulate(s, u, p);
    } catch (const EAppError &e) {
        return e.message();
    }
    return QString();
}

}  // namespace

// 1. The worked example ------------------------------------------------------

TEST(PriceSimulationExample, EachTypeToTheCent) {
    const double r = 1000.0 / 12;
    struct Case {
        const char *name;
        PriceType type;
        LocationMode mode;
        double index, factor;
        QVector<QVector<double>> rows;
    } cases[] = {
        {"licence", PriceType::Licence, LocationMode::HeadHead, 1, 1, {{1000, 2000, 2900}, {1800, 2800, 3700}}},
        {"maintenance", PriceType::Maintenance, LocationMode::HeadHead, 1, 1, {{200, 400, 580}, {360, 560, 740}}},
        {"rental", PriceType::Rental, LocationMode::HeadHead, 1, 1, {{200 + r, 400 + r, 580 + r}, {360 + r, 560 + r, 740 + r}}},
        {"licence branch", PriceType::Licence, LocationMode::BranchBranch, 1.05, 1.05 * 0.9, {{1000, 2000, 2900}, {1800, 2800, 3700}}},
        {"maintenance branch", PriceType::Maintenance, LocationMode::BranchBranch, 1.05, 1.05 * 0.9, {{200, 400, 580}, {360, 560, 740}}},
        {"rental branch", PriceType::Rental, LocationMode::BranchBranch, 1.05, 1.05 * 0.9,
         {{200 + r, 400 + r, 580 + r}, {360 + r, 560 + r, 740 + r}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Table t = example();
        t.FF = 10.0;
        t.FM = 50.0;  // the other mode's discount plays no part
        const Result res = sim({t}, params(3, 2, {c.type}, c.mode, c.index));
        QVector<QVector<double>> expected = c.rows;
        for (auto &row : expected)
            for (double &v : row) v *= c.factor;
        ASSERT_EQ(res.rows.size(), 2);
        expectCents(expected, res.rows);
        for (const ReportRow &row : res.rows) {
            EXPECT_EQ(row.type, typeCaption(c.type));
            EXPECT_EQ(row.mode, modeCaption(c.mode));
            EXPECT_EQ(row.code, "0000000001");
            EXPECT_EQ(row.name, "Exemplo");
        }
    }
}

TEST(PriceSimulationExample, RentalShownWithTwoDecimals) {
    const Result res = sim({example()}, params(3, 2, {PriceType::Rental}));
    const QVector<QVector<QString>> shown{{"283.33", "483.33", "663.33"}, {"443.33", "643.33", "823.33"}};
    for (int u = 0; u < 2; ++u)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(QString::number(res.rows[u].values[k], 'f', 2), shown[u][k]) << u << "," << k;
}

TEST(PriceSimulationExample, WorkingValuesKeepTheLastMatrix) {
    const Result res = sim({example()}, params(3, 2, {PriceType::Maintenance}));
    ASSERT_EQ(res.working.bySystem.size(), 3);
    ASSERT_EQ(res.working.byUser.size(), 2);
    EXPECT_DOUBLE_EQ(res.working.bySystem[0], 200);  // V(1,1) stays in entry 1
    EXPECT_DOUBLE_EQ(res.working.bySystem[2], 740);
    EXPECT_DOUBLE_EQ(res.working.byUser[1], 360);
    EXPECT_DOUBLE_EQ(res.working.unitPrice, 1000);
    EXPECT_DOUBLE_EQ(res.working.result, 740);
}

// 2. Counts --------------------------------------------------------------------

TEST(PriceSimulationCounts, OneSystemStillTakesTheFirstSystemDiscount) {
    Table t = example();
    t.sys = {{1, 5.0}, {20, 10.0}};
    const Result res = sim({t}, params(1, 2, {PriceType::Licence}));
    ASSERT_EQ(res.rows.size(), 2);
    EXPECT_EQ(res.rows[0].systems, 1);
    expectCents({{950}, {950 + 950 - 190}}, res.rows);  // a further user adds V(1,1) less its discount
}

TEST(PriceSimulationCounts, OneUserReadsNoFurtherUserBand) {
    Table a = example(), b = example(QStringLiteral("0000000002"), QStringLiteral("Outra"));
    a.usr = {{1, 0.0}};  // what the server sends for U = 1
    b.usr = {{3, 10.0}};
    const Result res = sim({a, b}, params(3, 1, {PriceType::Licence}));
    ASSERT_EQ(res.rows.size(), 2);
    expectCents({{1000, 2000, 2900}}, res.rows, 0);
    expectCents({{900, 1710, 2430}}, res.rows, 1);  // V(1,1) = 900, then +90 % and +80 % of it
    EXPECT_EQ(res.rows[1].users, 1);
}

TEST(PriceSimulationCounts, UserCountOnABandEndUsesThatBand) {
    Table t = example();
    t.usr = {{1, 0.0}, {3, 20.0}, {150, 50.0}};
    const Result res = sim({t}, params(1, 5, {PriceType::Licence}));
    ASSERT_EQ(res.rows.size(), 5);
    expectCents({{1000}, {1800}, {2600}, {3100}, {3600}}, res.rows);
    for (int u = 0; u < 5; ++u) EXPECT_EQ(res.rows[u].users, u + 1);
}

TEST(PriceSimulationCounts, SystemCountOnABandEndUsesThatBand) {
    Table t = example();
    t.sys = {{2, 0.0}, {3, 10.0}, {20, 30.0}};
    const Result res = sim({t}, params(4, 1, {PriceType::Licence}));
    expectCents({{1000, 2000, 2900, 3600}}, res.rows);
}

TEST(PriceSimulationCounts, FieldsAboveNStayNull) {
    const Result res = sim({example()}, params(3, 2, {PriceType::Licence}));
    const DataPacket aux = toAuxPacket(res.rows);
    ASSERT_EQ(aux.fields.size(), 24);
    EXPECT_EQ(aux.fields[0].name, "01");
    EXPECT_EQ(aux.fields[19].name, "20");
    for (const Row &row : aux.rows) {
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(row[k].isValid()) << k;
        for (int k = 3; k < 20; ++k) EXPECT_FALSE(row[k].isValid()) << k;
        EXPECT_EQ(row[aux.fieldIndex("TIPO")].toString(), "Licença de Uso");
        EXPECT_EQ(row[aux.fieldIndex("MODLOC")].toString(), "Matriz/Matriz");
    }
}

TEST(PriceSimulationCounts, FullMatrixHasEveryCell) {
    Table t = example();
    const Result res = sim({t}, params(20, 150, {PriceType::Licence}));
    ASSERT_EQ(res.rows.size(), 150);
    // One user: 1000, then +1000 for system 2, +900 for each further system.
    EXPECT_NEAR(res.rows[0].values[19], 2000 + 18 * 900, 1e-6);
    // Each further user adds 800 to every column.
    EXPECT_NEAR(res.rows[149].values[19], 2000 + 18 * 900 + 149 * 800, 1e-6);
}

// 3. Location modes --------------------------------------------------------------

TEST(PriceSimulationModes, BranchDiscounts) {
    struct Case {
        const char *name;
        LocationMode mode;
        QVariant FF, FM;
        double factor;
    } cases[] = {
        {"head/head ignores both", LocationMode::HeadHead, 10.0, 20.0, 1.0},
        {"branch/branch", LocationMode::BranchBranch, 10.0, 20.0, 0.9},
        {"branch/head", LocationMode::BranchHead, 10.0, 20.0, 0.8},
        {"branch/branch null", LocationMode::BranchBranch, QVariant(), 20.0, 1.0},
        {"branch/head null", LocationMode::BranchHead, 10.0, QVariant(), 1.0},
        {"branch/branch empty text", LocationMode::BranchBranch, QString(), 20.0, 1.0},
        {"branch/branch 100", LocationMode::BranchBranch, 100.0, 20.0, 0.0},
        {"branch/branch 0", LocationMode::BranchBranch, 0.0, 20.0, 1.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Table t = example();
        t.FF = c.FF;
        t.FM = c.FM;
        const Result res = sim({t}, params(3, 2, {PriceType::Licence}, c.mode));
        QVector<QVector<double>> expected{{1000, 2000, 2900}, {1800, 2800, 3700}};
        for (auto &row : expected)
            for (double &v : row) v *= c.factor;
        expectCents(expected, res.rows);
    }
}

TEST(PriceSimulationModes, EachTableItsOwnBranchDiscount) {
    Table a = example(), b = example(QStringLiteral("0000000002"), QStringLiteral("Outra"));
    a.FF = 10.0;
    b.FF = 50.0;
    const Result res = sim({a, b}, params(1, 1, {PriceType::Licence}, LocationMode::BranchBranch));
    expectCents({{900}, {500}}, res.rows);
}

// 4. Order -----------------------------------------------------------------------

TEST(PriceSimulationOrder, TwoTablesThreeTypesInBuildOrder) {
    Table a = example(), b = example(QStringLiteral("0000000002"), QStringLiteral("Outra"));
    b.P = 2000.0;
    b.M = 300.0;
    b.sys = {{20, 0.0}};
    b.usr = {{150, 10.0}};
    const int U = 4;
    const Result res = sim({a, b}, params(3, U, {PriceType::Rental, PriceType::Licence, PriceType::Maintenance}));
    ASSERT_EQ(res.rows.size(), 6 * U);
    const QStringList types{"Licença de Uso", "Manutenção", "Locação"};
    for (int i = 0; i < res.rows.size(); ++i) {
        SCOPED_TRACE(i);
        const int group = i / U;
        EXPECT_EQ(res.rows[i].type, types[group / 2]);
        EXPECT_EQ(res.rows[i].code, group % 2 == 0 ? "0000000001" : "0000000002");
        EXPECT_EQ(res.rows[i].users, i % U + 1);
    }
    // The second table's maintenance: pm = 15, B = 300, ud 10 everywhere.
    expectCents({{270, 513, 756}, {513, 756, 999}}, res.rows, 3 * U);
}

TEST(PriceSimulationOrder, TypesTickedInAnyOrderGiveTheSameReport) {
    Table a = example(), b = example(QStringLiteral("0000000002"), QStringLiteral("Outra"));
    const auto s = systems({a, b}), u = users({a, b});
    const QVector<QVector<PriceType>> orders{{PriceType::Rental, PriceType::Maintenance},
                                             {PriceType::Maintenance, PriceType::Rental}};
    const Result first = simulate(s, u, params(3, 3, orders[0]));
    const Result second = simulate(s, u, params(3, 3, orders[1]));
    ASSERT_EQ(first.rows.size(), 12);
    ASSERT_EQ(second.rows.size(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(first.rows[i].type, second.rows[i].type);
        EXPECT_EQ(first.rows[i].values, second.rows[i].values);
    }
    EXPECT_EQ(first.rows[0].type, "Manutenção");
}

// 5. Index and text ----------------------------------------------------------------

TEST(PriceSimulationIndex, MultipliesTheRentalShareToo) {
    const double r = 1000.0 / 12;
    const Result res = sim({example()}, params(3, 2, {PriceType::Rental}, LocationMode::HeadHead, 2.0));
    expectCents({{2 * (200 + r), 2 * (400 + r), 2 * (580 + r)}, {2 * (360 + r), 2 * (560 + r), 2 * (740 + r)}}, res.rows);
}

TEST(PriceSimulationIndex, ValuesEnterThroughTheirText) {
    Table t = example();
    t.P = 0.1 + 0.2;  // 0.30000000000000004: its text of 15 digits is 0.3
    t.sys = {{20, 0.0}};
    t.usr = {{150, 0.0}};
    const Result res = sim({t}, params(1, 1, {PriceType::Licence}, LocationMode::HeadHead, 0.1 + 0.2));
    EXPECT_EQ(res.rows[0].values[0], double((long double)0.3 * (long double)0.3));
    EXPECT_EQ(throughText(0.1 + 0.2), 0.3);
}

TEST(PriceSimulationIndex, MaintenancePercentRoundedToTwoDecimals) {
    Table t = example();
    t.P = 3000.0;
    t.M = 1000.0;  // pm = 33.33, not 33.333...
    t.sys = {{20, 0.0}};
    t.usr = {{150, 0.0}};
    const Result res = sim({t}, params(1, 1, {PriceType::Maintenance}));
    EXPECT_NEAR(res.rows[0].values[0], 999.9, 1e-9);
    EXPECT_DOUBLE_EQ(res.working.percent, 33.33);
}

// 6. Refusals ------------------------------------------------------------------------

TEST(PriceSimulationRefusals, ClearMessagesInsteadOfInfinities) {
    struct Case {
        const char *name;
        QVariant P, L;
        PriceType type;
        QString message;  // empty: no refusal
    } cases[] = {
        {"zero price, licence", 0.0, 12.0, PriceType::Licence, QString()},
        {"zero price, maintenance", 0.0, 12.0, PriceType::Maintenance, "preço unitário zero"},
        {"zero price, rental", 0.0, 12.0, PriceType::Rental, "preço unitário zero"},
        {"zero term, maintenance", 1000.0, 0.0, PriceType::Maintenance, QString()},
        {"zero term, rental", 1000.0, 0.0, PriceType::Rental, "prazo de locação zero"},
        {"null term, rental", 1000.0, QVariant(), PriceType::Rental, "não tem prazo de locação informado"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Table t = example(QStringLiteral("0000000007"), QStringLiteral("Sem Preço"));
        t.P = c.P;
        t.L = c.L;
        const QString error = errorOf(systems({t}), users({t}), params(3, 2, {c.type}));
        if (c.message.isEmpty()) {
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        } else {
            EXPECT_TRUE(error.contains(c.message)) << error.toStdString();
            EXPECT_TRUE(error.contains("0000000007")) << error.toStdString();
        }
    }
}

TEST(PriceSimulationRefusals, BandsThatDoNotFitTheWalk) {
    Table a = example(), b = example(QStringLiteral("0000000002"), QStringLiteral("Outra"));
    Table shortUsers = example();
    shortUsers.usr = {{1, 0.0}};  // U = 3 needs a further band
    Table shortSystems = example();
    shortSystems.sys = {{2, 0.0}};  // N = 3 needs a further band
    struct Case {
        const char *name;
        DataPacket s, u;
        QString message;
    } cases[] = {
        {"no bands at all", systems({}), users({}), "Nenhuma tabela de preço"},
        {"users packet of another table", systems({a}), users({b}), "0000000001"},
        {"users bands end early", systems({shortUsers}), users({shortUsers}), "não cobrem 3 usuários"},
        {"systems bands end early", systems({shortSystems}), users({shortSystems}), "não cobrem 3 sistemas"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString error = errorOf(c.s, c.u, params(3, 3, {PriceType::Licence}));
        EXPECT_TRUE(error.contains(c.message)) << error.toStdString();
    }
    DataPacket missing = systems({a});
    missing.fields.removeAt(missing.fieldIndex("VRPERCDESCSIST"));
    for (Row &r : missing.rows) r.removeAt(4);
    EXPECT_TRUE(errorOf(missing, users({a}), params(3, 3, {PriceType::Licence})).contains("VRPERCDESCSIST"));
}

TEST(PriceSimulationRefusals, CountsOutOfRange) {
    const auto s = systems({example()}), u = users({example()});
    EXPECT_FALSE(errorOf(s, u, params(0, 2, {PriceType::Licence})).isEmpty());
    EXPECT_FALSE(errorOf(s, u, params(21, 2, {PriceType::Licence})).isEmpty());
    EXPECT_FALSE(errorOf(s, u, params(3, 0, {PriceType::Licence})).isEmpty());
    EXPECT_FALSE(errorOf(s, u, params(3, 151, {PriceType::Licence})).isEmpty());
    EXPECT_FALSE(errorOf(s, u, params(3, 2, {})).isEmpty());
}
