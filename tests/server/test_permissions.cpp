// Operator discount permissions on a price table.

#include "server_fixture.h"

#include <rpc_codes.h>

class Permissions : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        code = newPriceTable();
        addOperator(QStringLiteral("000000000001"), QStringLiteral("Ana Paula"));
        addOperator(QStringLiteral("000000000002"), QStringLiteral("Bruno"));
        addOperator(QStringLiteral("000000000009"), QStringLiteral("Inativo"), false);
    }
    RpcReply grant(const QVariant &op, const QVariant &type, const QVariant &pct, const QString &table = {}) {
        return call(QStringLiteral("setPerOper"),
                    {insertDelta(ClientFields::permission(), {op, QVariant(), table.isNull() ? code : table, type, pct})});
    }
    qint64 stored() { return count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOPER")); }
    QString code;
};

TEST_P(Permissions, ListCarriesTheOperatorName) {
    ASSERT_TRUE(grant("000000000002", "M", 5.0).ok);
    ASSERT_TRUE(grant("1", "L", 12.5).ok);  // the code is completed to twelve characters
    const DataPacket p = packet(QStringLiteral("getPerOper"), {code});
    EXPECT_EQ(fieldNames(p), (QStringList{"CDOPERADOR", "NMOPERADOR", "CDPRECOPROP", "IDTIPODESCOPER", "VRPERCDESCOPER"}));
    EXPECT_EQ(p.fields[0].size, 12);
    EXPECT_EQ(p.fields[1].size, 40);
    ASSERT_EQ(p.rows.size(), 2);
    EXPECT_EQ(cell(p, 0, "CDOPERADOR"), QStringLiteral("000000000001"));
    EXPECT_EQ(cell(p, 0, "NMOPERADOR"), QStringLiteral("Ana Paula"));
    EXPECT_EQ(cell(p, 0, "IDTIPODESCOPER"), QStringLiteral("L"));
    EXPECT_EQ(cell(p, 0, "VRPERCDESCOPER"), QStringLiteral("12.5"));
    EXPECT_EQ(cell(p, 1, "CDPRECOPROP"), code);
}

TEST_P(Permissions, OnePerTableOperatorAndType) {
    ASSERT_TRUE(grant("000000000001", "L", 5.0).ok);
    const RpcReply r = grant("000000000001", "L", 6.0);
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("já cadastrado"))) << r.errorMessage.toStdString();
    EXPECT_TRUE(grant("000000000001", "M", 6.0).ok);
    EXPECT_TRUE(grant("000000000001", "L", 6.0, newPriceTable()).ok);
    EXPECT_EQ(stored(), 3);
    // Changing a permission onto an existing one is refused too.
    auto t = table(QStringLiteral("getPerOper"), {code});
    ASSERT_TRUE(t->Locate(QStringLiteral("IDTIPODESCOPER"), QStringLiteral("M")));
    t->Edit();
    t->FieldByName(QStringLiteral("IDTIPODESCOPER"))->SetValue(QStringLiteral("L"));
    t->Post();
    EXPECT_EQ(call(QStringLiteral("setPerOper"), {t->GetDelta()}).errorCode, RpcCode::Refused);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOPER WHERE IDTIPODESCOPER = 'M'")), 1);
}

TEST_P(Permissions, EachRuleRefusesWithNothingStored) {
    struct Case {
        QVariant op, type, pct;
        const char *expected;
    };
    const QVector<Case> cases = {
        {QVariant(), "L", 1.0, "operador deve ser informado"},
        {"000000000001", QVariant(), 1.0, "tipo de desconto deve ser informado"},
        {"000000000001", "L", QVariant(), "valor de desconto deve ser informado"},
        {"000000000001", "X", 1.0, "L (Locação)"},
        {"000000000001", "L", 100.5, "entre 0% e 100%"},
        {"000000000001", "L", -1.0, "entre 0% e 100%"},
        {"000000000009", "L", 1.0, "operador ativo"},
        {"000000000077", "L", 1.0, "operador ativo"},
    };
    for (const Case &c : cases) {
        const RpcReply r = grant(c.op, c.type, c.pct);
        EXPECT_EQ(r.errorCode, RpcCode::Refused) << c.expected;
        EXPECT_TRUE(r.errorMessage.contains(QString::fromUtf8(c.expected))) << r.errorMessage.toStdString();
    }
    EXPECT_EQ(grant("000000000001", "L", 1.0, QStringLiteral("0000000555")).errorCode, RpcCode::Refused);
    EXPECT_EQ(stored(), 0);
    EXPECT_TRUE(grant("000000000001", "U", 100.0).ok);
    EXPECT_TRUE(grant("000000000002", "U", 0.0).ok);
}

TEST_P(Permissions, ValidationQuestionAnswersTheExistingPermission) {
    ASSERT_TRUE(grant("000000000001", "M", 5.0).ok);
    DataPacket p = packet(QStringLiteral("getVdOpTipo"), {QStringLiteral("000000000001"), code, QStringLiteral("M")});
    EXPECT_EQ(fieldNames(p), (QStringList{"CDOPERADOR", "CDPRECOPROP", "IDTIPODESCOPER"}));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(cell(p, 0, "CDPRECOPROP"), code);
    EXPECT_TRUE(packet(QStringLiteral("getVdOpTipo"), {QStringLiteral("000000000001"), code, QStringLiteral("L")}).rows.isEmpty());
    EXPECT_TRUE(packet(QStringLiteral("getVdOpTipo"), {QStringLiteral("000000000002"), code, QStringLiteral("M")}).rows.isEmpty());
}

TEST_P(Permissions, StaleAndRemovedPermissionsAreConflicts) {
    ASSERT_TRUE(grant("000000000001", "M", 5.0).ok);
    auto mine = table(QStringLiteral("getPerOper"), {code});
    auto theirs = table(QStringLiteral("getPerOper"), {code});
    theirs->Edit();
    theirs->FieldByName(QStringLiteral("VRPERCDESCOPER"))->SetValue(8.0);
    theirs->Post();
    ASSERT_TRUE(call(QStringLiteral("setPerOper"), {theirs->GetDelta()}).ok);
    mine->Edit();
    mine->FieldByName(QStringLiteral("VRPERCDESCOPER"))->SetValue(9.0);
    mine->Post();
    EXPECT_EQ(call(QStringLiteral("setPerOper"), {mine->GetDelta()}).errorCode, RpcCode::Conflict);
    EXPECT_EQ(scalar(QStringLiteral("SELECT VRPERCDESCOPER FROM PRECOPROPOPER")).toDouble(), 8.0);
    auto del = table(QStringLiteral("getPerOper"), {code});
    del->Delete();
    ASSERT_TRUE(call(QStringLiteral("setPerOper"), {del->GetDelta()}).ok);
    EXPECT_EQ(stored(), 0);
    theirs->MergeChangeLog();
    theirs->Delete();
    EXPECT_EQ(call(QStringLiteral("setPerOper"), {theirs->GetDelta()}).errorCode, RpcCode::Conflict);
}

COT_BOTH_BACKENDS(Permissions);
