// Discount bands by systems and by users: the lists, the rules of a band, and
// the rules of the bands of one table (no repeated start, no overlap) checked
// after the whole delta.

#include "server_fixture.h"

#include <rpc_codes.h>

namespace {

struct SideNames {
    bool systems;
    const char *get, *set, *first, *last, *percent;
    int maxLast;
};
const SideNames kSystems{true, "getDescSis", "setDescSis", "QTINISISTEMAS", "QTFINSISTEMAS", "VRPERCDESCSIST", 20};
const SideNames kUsers{false, "getDescUsu", "setDescUsu", "QTINIUSUARIOS", "QTFINUSUARIOS", "VRPERCDESCUSU", 150};

}  // namespace

class Bands : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        code = newPriceTable();
    }
    QVector<FieldDef> fields(const SideNames &s) { return s.systems ? ClientFields::systemsBand() : ClientFields::usersBand(); }
    RpcReply insertBand(const SideNames &s, const QVariant &first, const QVariant &last, const QVariant &pct, const QString &table = {}) {
        return call(QString::fromLatin1(s.set), {insertDelta(fields(s), {table.isNull() ? code : table, first, last, pct})});
    }
    QStringList bands(const SideNames &s) {
        const DataPacket p = packet(QString::fromLatin1(s.get), {code});
        QStringList out;
        for (int i = 0; i < p.rows.size(); ++i)
            out << cell(p, i, s.first) + "-" + cell(p, i, s.last) + ":" + cell(p, i, s.percent);
        return out;
    }
    QString code;
};

TEST_P(Bands, ListsCarryTheFieldsOfTheClientTables) {
    addBands(true, code, {{6, 20, 10}, {1, 5, 0}});
    addBands(false, code, {{1, 150, 2.5}});
    const DataPacket sys = packet(QStringLiteral("getDescSis"), {code});
    EXPECT_EQ(fieldNames(sys), (QStringList{"CDPRECOPROP", "QTINISISTEMAS", "QTFINSISTEMAS", "VRPERCDESCSIST"}));
    EXPECT_EQ(sys.fields[1].size, 5);
    ASSERT_EQ(sys.rows.size(), 2);
    EXPECT_EQ(cell(sys, 0, "QTINISISTEMAS"), "00001");  // ascending
    EXPECT_EQ(cell(sys, 1, "CDPRECOPROP"), code);
    const DataPacket usu = packet(QStringLiteral("getDescUsu"), {code});
    EXPECT_EQ(fieldNames(usu), (QStringList{"CDPRECOPROP", "QTINIUSUARIOS", "QTFINUSUARIOS", "VRPERCDESCUSU"}));
    EXPECT_EQ(cell(usu, 0, "VRPERCDESCUSU"), "2.5");
    // Another table's list is empty; so is the list of no table.
    EXPECT_TRUE(packet(QStringLiteral("getDescSis"), {newPriceTable()}).rows.isEmpty());
    EXPECT_TRUE(packet(QStringLiteral("getDescSis"), {QString()}).rows.isEmpty());
}

TEST_P(Bands, QuantitiesAreStoredInFiveDigits) {
    ASSERT_TRUE(insertBand(kSystems, QStringLiteral("7"), QStringLiteral("12"), 5.0).ok);
    EXPECT_EQ(bands(kSystems), QStringList{"00007-00012:5"});
}

TEST_P(Bands, EachBandRuleRefusesWithNothingStored) {
    for (const SideNames &s : {kSystems, kUsers}) {
        struct Case {
            QVariant first, last, pct;
            const char *expected;
        };
        const QString over = QString::number(s.maxLast + 1);
        const QVector<Case> cases = {
            {QVariant(), "00005", 1.0, "intervalo inicial deve ser informado"},
            {"00001", QVariant(), 1.0, "intervalo final deve ser informado"},
            {"00001", "00005", QVariant(), "valor de desconto deve ser informado"},
            {"00000", "00005", 1.0, "maior que 0"},
            {"00001", over, 1.0, "não pode ser maior que"},
            {"00006", "00005", 1.0, "maior ou igual ao intervalo inicial"},
            {"00001", "00005", 100.01, "entre 0% e 100%"},
            {"00001", "00005", -1.0, "entre 0% e 100%"},
            {"1a", "00005", 1.0, "cinco dígitos"},
            {"00001", "x", 1.0, "cinco dígitos"},
        };
        for (const Case &c : cases) {
            const RpcReply r = insertBand(s, c.first, c.last, c.pct);
            EXPECT_EQ(r.errorCode, RpcCode::Refused) << s.set << " " << c.expected;
            EXPECT_TRUE(r.errorMessage.contains(QString::fromUtf8(c.expected))) << r.errorMessage.toStdString();
            EXPECT_TRUE(r.errorMessage.contains(code)) << r.errorMessage.toStdString();
        }
        // Six digits do not fit the field at all.
        EXPECT_NE(insertBand(s, QStringLiteral("000001"), QStringLiteral("00002"), 1.0).errorCode, 0);
        EXPECT_TRUE(bands(s).isEmpty()) << s.set;
    }
}

TEST_P(Bands, TheLimitsThemselvesAreAccepted) {
    ASSERT_TRUE(insertBand(kSystems, "00001", "00020", 100.0).ok);
    ASSERT_TRUE(insertBand(kUsers, "00001", "00150", 0.0).ok);
    const QString other = newPriceTable();
    ASSERT_TRUE(insertBand(kUsers, "00003", "00003", 1.0, other).ok);  // a band of one quantity
    EXPECT_EQ(bands(kSystems), QStringList{"00001-00020:100"});
    EXPECT_EQ(bands(kUsers), QStringList{"00001-00150:0"});
}

TEST_P(Bands, ABandNeedsARegisteredPriceTable) {
    const RpcReply r = insertBand(kSystems, "00001", "00005", 1.0, QStringLiteral("0000000999"));
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("0000000999")));
    EXPECT_EQ(insertBand(kSystems, "00001", "00005", 1.0, QStringLiteral("")).errorCode, RpcCode::Refused);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPSIST")), 0);
}

TEST_P(Bands, RepeatedStartsAndOverlapsAreRefusedGapsAreNot) {
    for (const SideNames &s : {kSystems, kUsers}) {
        ASSERT_TRUE(insertBand(s, "00001", "00005", 0.0).ok);
        RpcReply r = insertBand(s, "00001", "00001", 3.0);
        EXPECT_EQ(r.errorCode, RpcCode::Refused);
        EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("00001"))) << r.errorMessage.toStdString();
        r = insertBand(s, "00003", "00008", 3.0);  // starts inside
        EXPECT_EQ(r.errorCode, RpcCode::Refused);
        EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("sobrepõem"))) << r.errorMessage.toStdString();
        EXPECT_EQ(insertBand(s, "00006", "00006", 3.0).errorCode, 0);
        EXPECT_EQ(insertBand(s, "00007", "00012", 3.0).errorCode, 0);
        EXPECT_EQ(insertBand(s, "00014", "00016", 3.0).errorCode, 0);  // a gap at 13 is allowed
        EXPECT_EQ(insertBand(s, "00013", "00014", 3.0).errorCode, RpcCode::Refused);  // ends inside
        EXPECT_EQ(insertBand(s, "00013", "00020", 3.0).errorCode, RpcCode::Refused);  // encloses
        EXPECT_EQ(bands(s), (QStringList{"00001-00005:0", "00006-00006:3", "00007-00012:3", "00014-00016:3"})) << s.set;
    }
}

TEST_P(Bands, OverlapsAreJudgedAfterTheWholeDelta) {
    addBands(true, code, {{1, 5, 0}, {6, 10, 5}});
    // Insert 4-8 before shrinking the two bands around it: overlapping in the
    // middle of the delta, clean at its end.
    Delta d;
    d.fields = ClientFields::systemsBand();
    d.changes.append({DeltaChange::Insert, {}, {code, "00004", "00008", 3.0}});
    d.changes.append({DeltaChange::Update, {code, "00001", "00005", 0.0}, {code, "00001", "00003", 0.0}});
    d.changes.append({DeltaChange::Delete, {code, "00006", "00010", 5.0}, {}});
    d.changes.append({DeltaChange::Insert, {}, {code, "00009", "00010", 5.0}});
    const RpcReply ok = call(QStringLiteral("setDescSis"), {d});
    ASSERT_TRUE(ok.ok) << ok.errorMessage.toStdString();
    EXPECT_EQ(bands(kSystems), (QStringList{"00001-00003:0", "00004-00008:3", "00009-00010:5"}));

    // And a delta that ends overlapping is refused whole.
    Delta bad;
    bad.fields = ClientFields::systemsBand();
    bad.changes.append({DeltaChange::Update, {code, "00009", "00010", 5.0}, {code, "00009", "00012", 5.0}});
    bad.changes.append({DeltaChange::Update, {code, "00004", "00008", 3.0}, {code, "00004", "00009", 3.0}});
    EXPECT_EQ(call(QStringLiteral("setDescSis"), {bad}).errorCode, RpcCode::Refused);
    EXPECT_EQ(bands(kSystems), (QStringList{"00001-00003:0", "00004-00008:3", "00009-00010:5"}));
}

TEST_P(Bands, EditingAndDeletingThroughTheClientTable) {
    addBands(false, code, {{1, 10, 0}, {11, 50, 10}, {51, 150, 20}});
    auto t = table(QStringLiteral("getDescUsu"), {code});
    t->First();
    t->Next();
    t->Edit();
    t->FieldByName(QStringLiteral("QTINIUSUARIOS"))->SetValue(QStringLiteral("00012"));  // the key changes
    t->FieldByName(QStringLiteral("VRPERCDESCUSU"))->SetValue(12.5);
    t->Post();
    t->Last();
    t->Delete();
    ASSERT_TRUE(call(QStringLiteral("setDescUsu"), {t->GetDelta()}).ok);
    EXPECT_EQ(bands(kUsers), (QStringList{"00001-00010:0", "00012-00050:12.5"}));
}

TEST_P(Bands, AStaleBandIsAConflict) {
    addBands(true, code, {{1, 5, 0}});
    auto mine = table(QStringLiteral("getDescSis"), {code});
    auto theirs = table(QStringLiteral("getDescSis"), {code});
    theirs->Edit();
    theirs->FieldByName(QStringLiteral("VRPERCDESCSIST"))->SetValue(7.0);
    theirs->Post();
    ASSERT_TRUE(call(QStringLiteral("setDescSis"), {theirs->GetDelta()}).ok);
    mine->Edit();
    mine->FieldByName(QStringLiteral("VRPERCDESCSIST"))->SetValue(9.0);
    mine->Post();
    const RpcReply r = call(QStringLiteral("setDescSis"), {mine->GetDelta()});
    EXPECT_EQ(r.errorCode, RpcCode::Conflict);
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("outro usuário")));
    EXPECT_EQ(bands(kSystems), QStringList{"00001-00005:7"});
    // Deleting a band someone else already deleted is a conflict too.
    auto gone = table(QStringLiteral("getDescSis"), {code});
    auto first = table(QStringLiteral("getDescSis"), {code});
    first->Delete();
    ASSERT_TRUE(call(QStringLiteral("setDescSis"), {first->GetDelta()}).ok);
    gone->Delete();
    EXPECT_EQ(call(QStringLiteral("setDescSis"), {gone->GetDelta()}).errorCode, RpcCode::Conflict);
}

COT_BOTH_BACKENDS(Bands);
