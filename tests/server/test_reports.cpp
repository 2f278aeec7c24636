// What the price simulation report reads from the server.

#include "server_fixture.h"

#include <rpc_codes.h>

#include <QDate>

class Reports : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // a: complete; b: complete, other bands; c: only systems bands; d: a gap 6..9 in systems.
        a = newPriceTable(QStringLiteral("Tabela A"), 1000);
        b = newPriceTable(QStringLiteral("Tabela B"), 2000);
        c = newPriceTable(QStringLiteral("Tabela C"));
        d = newPriceTable(QStringLiteral("Tabela D"));
        addBands(true, a, {{1, 2, 0}, {3, 20, 10}});
        addBands(false, a, {{1, 1, 0}, {2, 150, 20}});
        addBands(true, b, {{1, 20, 5}});
        addBands(false, b, {{1, 10, 0}, {11, 100, 3}});
        addBands(true, c, {{1, 20, 0}});
        addBands(true, d, {{1, 5, 0}, {10, 20, 1}});
        addBands(false, d, {{1, 150, 0}});
    }
    QStringList codes(const DataPacket &p) {
        QStringList out;
        for (int i = 0; i < p.rows.size(); ++i) out << cell(p, i, "CDPRECOPROP");
        return out;
    }
    QString a, b, c, d;
};

TEST_P(Reports, ReportableTablesHaveBothKindsOfBands) {
    const DataPacket p = packet(QStringLiteral("getRelTbPreco"), {QString(), QStringLiteral("T")});
    EXPECT_EQ(fieldNames(p), (QStringList{"IDMARCADO", "CDPRECOPROP", "NMPRECOPROP"}));
    EXPECT_EQ(p.fields[0].size, 1);
    EXPECT_EQ(codes(p), (QStringList{a, b, d}));
    EXPECT_EQ(cell(p, 1, "NMPRECOPROP"), QStringLiteral("Tabela B"));
    EXPECT_EQ(codes(packet(QStringLiteral("getRelTbPreco"), {b, QStringLiteral("T")})), QStringList{b});
    EXPECT_TRUE(packet(QStringLiteral("getRelTbPreco"), {c, QStringLiteral("T")}).rows.isEmpty());
}

TEST_P(Reports, SystemsBandsForTheCountInTableAndBandOrder) {
    QString selection = QStringLiteral("T");
    const RpcReply r = call(QStringLiteral("getLuSist"), {RpcArg::ref(&selection), QStringLiteral("5")});
    ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
    EXPECT_EQ(selection, QStringLiteral("T"));
    const DataPacket p = PacketCodec::packetFromJson(r.data);
    EXPECT_EQ(fieldNames(p), (QStringList{"VRPERCMANUTANO", "NRMESPRAZOLOCA", "NMPRECOPROP", "VRPRECOUNITSIST", "VRPERCDESCSIST",
                                          "QTFINSISTEMAS", "CDPRECOPROP", "VRPEDESFILIMATR", "VRPEDESFILIFILI"}));
    // a: 1-2, 3-20; b: 1-20; d: 1-5 (10-20 starts above the count). c has no users bands.
    EXPECT_EQ(codes(p), (QStringList{a, a, b, d}));
    EXPECT_EQ(cell(p, 0, "QTFINSISTEMAS"), QStringLiteral("00002"));
    EXPECT_EQ(cell(p, 1, "QTFINSISTEMAS"), QStringLiteral("00020"));
    EXPECT_EQ(cell(p, 1, "VRPERCDESCSIST"), QStringLiteral("10"));
    EXPECT_EQ(cell(p, 0, "VRPRECOUNITSIST"), QStringLiteral("1000"));
    EXPECT_EQ(cell(p, 0, "NMPRECOPROP"), QStringLiteral("Tabela A"));
    EXPECT_EQ(cell(p, 0, "VRPERCMANUTANO"), QStringLiteral("180"));
    EXPECT_EQ(cell(p, 0, "NRMESPRAZOLOCA"), QStringLiteral("36"));
    EXPECT_EQ(cell(p, 0, "VRPEDESFILIMATR"), QStringLiteral("10"));
    EXPECT_EQ(cell(p, 0, "VRPEDESFILIFILI"), QStringLiteral("15"));
    EXPECT_EQ(r.params.at(0).toString(), QStringLiteral("T"));
}

TEST_P(Reports, UsersBandsForTheCountAndAListedSelection) {
    QString selection = b + QStringLiteral(",") + a;
    const RpcReply r = call(QStringLiteral("getLuUsu"), {RpcArg::ref(&selection), QStringLiteral("12")});
    ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
    EXPECT_EQ(selection, b + QStringLiteral(",") + a);  // unchanged
    const DataPacket p = PacketCodec::packetFromJson(r.data);
    EXPECT_EQ(fieldNames(p), (QStringList{"NMPRECOPROP", "VRPRECOUNITSIST", "VRPERCDESCUSU", "QTFINUSUARIOS", "CDPRECOPROP",
                                          "VRPERCMANUTANO", "NRMESPRAZOLOCA"}));
    EXPECT_EQ(codes(p), (QStringList{a, a, b, b}));  // code order
    EXPECT_EQ(cell(p, 1, "QTFINUSUARIOS"), QStringLiteral("00150"));
    EXPECT_EQ(cell(p, 3, "QTFINUSUARIOS"), QStringLiteral("00100"));
    EXPECT_EQ(cell(p, 3, "VRPERCDESCUSU"), QStringLiteral("3"));
}

TEST_P(Reports, ATableWhoseBandsLeaveAGapIsRefusedByName) {
    QString selection = QStringLiteral("T");
    RpcReply r = call(QStringLiteral("getLuSist"), {RpcArg::ref(&selection), QStringLiteral("12")});
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(d)) << r.errorMessage.toStdString();
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("Tabela D"))) << r.errorMessage.toStdString();
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("6"))) << r.errorMessage.toStdString();
    // Users: b's bands stop at 100.
    r = call(QStringLiteral("getLuUsu"), {RpcArg::ref(&selection), QStringLiteral("150")});
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(b)) << r.errorMessage.toStdString();
    EXPECT_TRUE(call(QStringLiteral("getLuUsu"), {RpcArg::ref(&selection), QStringLiteral("100")}).ok);
    // A listed table without any band of the kind.
    QString onlyC = c;
    r = call(QStringLiteral("getLuUsu"), {RpcArg::ref(&onlyC), QStringLiteral("1")});
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(c));
    // A gap right at the start.
    const QString e = newPriceTable(QStringLiteral("Tabela E"));
    addBands(true, e, {{2, 20, 0}});
    QString onlyE = e;
    r = call(QStringLiteral("getLuSist"), {RpcArg::ref(&onlyE), QStringLiteral("3")});
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(e));
}

TEST_P(Reports, SelectionsAndCountsOutsideTheRules) {
    QString none;
    const RpcReply empty = call(QStringLiteral("getLuSist"), {RpcArg::ref(&none), QStringLiteral("5")});
    ASSERT_TRUE(empty.ok);
    EXPECT_TRUE(PacketCodec::packetFromJson(empty.data).rows.isEmpty());
    QString unknown = QStringLiteral("0000000999");
    EXPECT_EQ(call(QStringLiteral("getLuSist"), {RpcArg::ref(&unknown), QStringLiteral("5")}).errorCode, RpcCode::Refused);
    QString all = QStringLiteral("T");
    for (const char *n : {"0", "21", "-1"})
        EXPECT_EQ(call(QStringLiteral("getLuSist"), {RpcArg::ref(&all), QString::fromLatin1(n)}).errorCode, RpcCode::Refused) << n;
    EXPECT_EQ(call(QStringLiteral("getLuUsu"), {RpcArg::ref(&all), QStringLiteral("151")}).errorCode, RpcCode::Refused);
    EXPECT_EQ(call(QStringLiteral("getLuSist"), {RpcArg::ref(&all), QStringLiteral("cinco")}).errorCode, RpcCode::InvalidParams);
    // A count sent as a number is accepted too.
    EXPECT_TRUE(call(QStringLiteral("getLuSist"), {RpcArg::ref(&all), 2}).ok);
}

TEST_P(Reports, IndexOfTheCurrentMonth) {
    const DataPacket none = packet(QStringLiteral("getIndiceBtn"));
    EXPECT_EQ(fieldNames(none), QStringList{"VRINDICE"});
    EXPECT_TRUE(none.rows.isEmpty());
    const QDate today = QDate::currentDate();
    exec(QStringLiteral("INSERT INTO INDICEMENSAL (MESINDICE, VRINDICE) VALUES (?, 1.5), (?, 1.0523), (?, 1.7)"),
         {today.addMonths(-1).toString("yyyy-MM"), today.toString("yyyy-MM"), today.addMonths(1).toString("yyyy-MM")});
    const DataPacket p = packet(QStringLiteral("getIndiceBtn"));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_DOUBLE_EQ(p.rows[0][0].toDouble(), 1.0523);
}

COT_BOTH_BACKENDS(Reports);
