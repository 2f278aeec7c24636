// The report "COT003" built from the simulation's rows: one matrix per price
// type, price table and mode, in the order of the rows.

#include "price_simulation.h"
#include "report_cot003.h"

#include <gtest/gtest.h>

using namespace PriceSimulation;

namespace {

ReportRow row(const QString &type, const QString &code, int users, int systems, double base) {
    ReportRow r;
    r.type = type;
    r.code = code;
    r.name = QStringLiteral("Tabela ") + code.right(1);
    r.mode = QStringLiteral("Matriz/Matriz");
    r.users = users;
    r.systems = systems;
    for (int k = 0; k < systems; ++k) r.values[size_t(k)] = base + k;
    return r;
}

}  // namespace

TEST(ReportCot003, OneMatrixPerTypeAndTableInRowOrder) {
    QVector<ReportRow> rows;
    for (const QString &type : {QStringLiteral("Licença de Uso"), QStringLiteral("Locação")})
        for (const QString &code : {QStringLiteral("0000000001"), QStringLiteral("0000000002")})
            for (int u = 1; u <= 3; ++u) rows.append(row(type, code, u, 4, u * 100));
    Cot003::Header h;
    h.tables = QStringLiteral("Todas");
    h.index = 1.05;
    const ReportDocument doc = Cot003::build(toAuxPacket(rows), h);
    EXPECT_EQ(doc.code, "COT003");
    ASSERT_EQ(doc.matrices.size(), 4);
    EXPECT_EQ(doc.rowCount(), 12);
    const QStringList order{"Licença de Uso/0000000001", "Licença de Uso/0000000002", "Locação/0000000001", "Locação/0000000002"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const ReportMatrix &m = doc.matrices[i];
        EXPECT_EQ(m.keys[0] + "/" + m.keys[1], order[i]);
        EXPECT_EQ(m.sheet, m.keys[0]);
        EXPECT_EQ(m.columns, 4);
        EXPECT_EQ(m.rows, 3);
        EXPECT_EQ(m.at(2, 3), 303);
        EXPECT_TRUE(m.heading.contains(m.keys[1]) && m.heading.contains(m.keys[2]));
    }
    EXPECT_EQ(doc.header[3].second, "1,05");
    EXPECT_EQ(doc.columnAxis, "Sistemas");
    EXPECT_EQ(doc.rowAxis, "Usuários");
}

TEST(ReportCot003, HeaderTravelsAsParameters) {
    Cot003::Header h;
    h.title = QStringLiteral("Tabela da filial");
    h.tables = QStringLiteral("0000000001,0000000003");
    h.types = QStringLiteral("Manutenção");
    h.mode = QStringLiteral("Filial/Filial");
    h.index = 1.0123456789;
    h.issued = QDateTime(QDate(2026, 3, 1), QTime(14, 5));
    const Cot003::Header back = Cot003::fromParams(Cot003::toParams(h));
    EXPECT_EQ(back.title, h.title);
    EXPECT_EQ(back.tables, h.tables);
    EXPECT_EQ(back.types, h.types);
    EXPECT_EQ(back.mode, h.mode);
    EXPECT_EQ(back.index, h.index);
    EXPECT_EQ(back.issued, h.issued);
}

TEST(ReportCot003, EmptyRowsGiveAnEmptyReport) {
    EXPECT_TRUE(Cot003::build(toAuxPacket({}), {}).isEmpty());
    EXPECT_TRUE(Cot003::build(DataPacket{}, {}).isEmpty());
}
