// Active operators and the automatic registration of permissions.

#include "server_fixture.h"

#include <rpc_codes.h>

class Operators : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        code = newPriceTable();
        addOperator(QStringLiteral("000000000003"), QStringLiteral("Carla"));
        addOperator(QStringLiteral("000000000001"), QStringLiteral("Ana"));
        addOperator(QStringLiteral("000000000002"), QStringLiteral("Inativo"), false);
        addOperator(QStringLiteral("000000000004"), QStringLiteral("Davi"));
    }
    RpcReply insere(QString &ops, QString &m, double pm, QString &l, double pl, QString &u, double pu) {
        return call(QStringLiteral("Insere_OperDesc"),
                    {RpcArg::ref(&ops), RpcArg::ref(&m), pm, code, RpcArg::ref(&l), pl, RpcArg::ref(&u), pu});
    }
    QStringList permissions() {
        const DataPacket p = packet(QStringLiteral("getPerOper"), {code});
        QStringList out;
        for (int i = 0; i < p.rows.size(); ++i)
            out << cell(p, i, "CDOPERADOR").right(1) + cell(p, i, "IDTIPODESCOPER") + "=" + cell(p, i, "VRPERCDESCOPER");
        return out;
    }
    QString code;
};

TEST_P(Operators, GetOperadorListsTheActiveOnesInCodeOrder) {
    const DataPacket p = packet(QStringLiteral("GetOperador"));
    EXPECT_GE(p.fieldIndex("IDMARCADO"), 0);
    EXPECT_GE(p.fieldIndex("CDOPERADOR"), 0);
    EXPECT_GE(p.fieldIndex("NMOPERADOR"), 0);
    EXPECT_EQ(p.fields[p.fieldIndex("CDOPERADOR")].size, 12);
    EXPECT_EQ(p.fields[p.fieldIndex("NMOPERADOR")].size, 40);
    ASSERT_EQ(p.rows.size(), 3);
    EXPECT_EQ(cell(p, 0, "CDOPERADOR"), QStringLiteral("000000000001"));
    EXPECT_EQ(cell(p, 1, "NMOPERADOR"), QStringLiteral("Carla"));
    EXPECT_EQ(cell(p, 2, "CDOPERADOR"), QStringLiteral("000000000004"));
}

// The desktop's operator look-up, by name: the query's text stays here.
TEST_P(Operators, TheNamedLookUpTakesTypedParametersByName) {
    auto ask = [&](const QString &name, const QJsonObject &params) { return call(QStringLiteral("getConsulta"), {name, params}); };
    const DataPacket all = PacketCodec::packetFromJson(ask("Operador", {{"P_CDOPERADOR", QJsonValue::Null}, {"P_TCDOPERADOR", "T"}}).data);
    ASSERT_EQ(all.rows.size(), 3);
    EXPECT_EQ(cell(all, 1, "NMOPERADOR"), QStringLiteral("Carla"));
    const DataPacket one = PacketCodec::packetFromJson(ask("Operador", {{"P_CDOPERADOR", "000000000004"}, {"P_TCDOPERADOR", "N"}}).data);
    ASSERT_EQ(one.rows.size(), 1);
    EXPECT_EQ(cell(one, 0, "NMOPERADOR"), QStringLiteral("Davi"));
    EXPECT_TRUE(PacketCodec::packetFromJson(ask("Operador", {{"P_CDOPERADOR", "000000000002"}}).data).rows.isEmpty());  // inactive
    const struct {
        const char *name;
        QJsonObject params;
    } refused[] = {{"DELETE FROM OPERADOR", {}},
                   {"Operador", {{"P_OUTRO", "1"}}},
                   {"Operador", {{"P_CDOPERADOR", 4}}},
                   {"Operador", {{"P_CDOPERADOR", "0000000000001"}}}};
    for (const auto &r : refused) {
        const RpcReply reply = ask(r.name, r.params);
        EXPECT_EQ(reply.errorCode, int(RpcCode::InvalidParams)) << r.name;
    }
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM OPERADOR")), 4);
}

TEST_P(Operators, AnEmptyListGrantsToEveryActiveOperator) {
    QString ops, m = "M", l = "", u = "U";
    const RpcReply r = insere(ops, m, 10, l, 999, u, 20);  // the unticked rental percentage is ignored
    ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
    EXPECT_EQ(permissions(), (QStringList{"1M=10", "1U=20", "3M=10", "3U=20", "4M=10", "4U=20"}));
    EXPECT_EQ(ops, QString());
    EXPECT_EQ(m, QStringLiteral("M"));
    EXPECT_EQ(r.params.size(), 8);
    QString all = "T", m2 = "M", none = "", none2 = "";
    ASSERT_TRUE(insere(all, m2, 12, none, 0, none2, 0).ok);  // "T" too, and the existing ones take the new percentage
    EXPECT_EQ(permissions(), (QStringList{"1M=12", "1U=20", "3M=12", "3U=20", "4M=12", "4U=20"}));
}

TEST_P(Operators, AListGrantsToTheListedOperatorsOnly) {
    QString ops = "000000000004,1", m = "", l = "L", u = "";
    ASSERT_TRUE(insere(ops, m, 0, l, 7.5, u, 0).ok);
    EXPECT_EQ(permissions(), (QStringList{"1L=7.5", "4L=7.5"}));
    EXPECT_EQ(ops, QStringLiteral("000000000004,1"));  // comes back unchanged
}

TEST_P(Operators, RefusalsLeaveNothingGranted) {
    QString withInactive = "000000000001,000000000002", unknown = "000000000001,000000000099", none = "";
    QString m = "M", l = "", u = "";
    RpcReply r = insere(withInactive, m, 10, l, 0, u, 0);
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("000000000002"))) << r.errorMessage.toStdString();
    r = insere(unknown, m, 10, l, 0, u, 0);
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("000000000099")));
    r = insere(none, m, 100.01, l, 0, u, 0);
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("manutenção"))) << r.errorMessage.toStdString();
    QString l2 = "L";
    EXPECT_EQ(insere(none, m, 10, l2, -1, u, 0).errorCode, RpcCode::Refused);
    QString wrongSlot = "U";
    EXPECT_EQ(insere(none, wrongSlot, 10, l, 0, u, 0).errorCode, RpcCode::InvalidParams);
    const RpcReply noTable = call(QStringLiteral("Insere_OperDesc"),
                                  {QString(), QStringLiteral("M"), 1.0, QStringLiteral("0000000777"), QString(), 0.0, QString(), 0.0});
    EXPECT_EQ(noTable.errorCode, RpcCode::Refused);
    EXPECT_TRUE(permissions().isEmpty());
    // With no type ticked nothing is granted, and that is no error.
    QString e1 = "", e2 = "", e3 = "";
    EXPECT_TRUE(insere(none, e1, 500, e2, 500, e3, 500).ok);
    EXPECT_TRUE(permissions().isEmpty());
}

COT_BOTH_BACKENDS(Operators);
