// Price tables: codes from the sequence, the record rules, the optimistic
// check of changed values, the cascade on delete and the market segments.

#include "server_fixture.h"

#include <rpc_codes.h>

#include <QSet>

class PriceTables : public ServerTest {
protected:
    Row validRow(const QString &code, const QString &name = QStringLiteral("Tabela")) {
        return {code, name, QDateTime(QDate(2026, 1, 1), QTime(0, 0)), QDateTime(QDate(2026, 12, 31), QTime(0, 0)), 1500.0, 270.0, 36.0, 10.0,
                15.0};
    }
    RpcReply insert(const Row &row) { return call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), row)}); }
    qint64 tables() { return count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")); }
};

TEST_P(PriceTables, NextCodeIsTenDigitsAndNeverRepeats) {
    auto other = connect();
    QSet<QString> seen;
    QString previous;
    for (int i = 0; i < 20; ++i) {
        TNetConnection &c = i % 2 ? *other : *net;
        const RpcReply r = c.Call(QStringLiteral("PrxPrecoProp"), {});
        ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
        ASSERT_TRUE(r.data.isString());
        const QString code = r.data.toString();
        EXPECT_EQ(code.size(), 10);
        EXPECT_TRUE(code.front() == QLatin1Char('0'));
        EXPECT_FALSE(seen.contains(code));
        EXPECT_GT(code, previous);
        seen.insert(code);
        previous = code;
    }
    EXPECT_EQ(previous, QStringLiteral("0000000020"));
}

TEST_P(PriceTables, NextCodeSkipsCodesAlreadyUsed) {
    ASSERT_TRUE(insert(validRow(QStringLiteral("0000000001"))).ok);
    ASSERT_TRUE(insert(validRow(QStringLiteral("0000000003"))).ok);
    // 1 and 3 are taken: the sequence moved past the highest code inserted.
    EXPECT_EQ(call(QStringLiteral("PrxPrecoProp")).data.toString(), QStringLiteral("0000000004"));
}

TEST_P(PriceTables, InsertedTableComesBackWithTheNineFields) {
    const QString code = call(QStringLiteral("PrxPrecoProp")).data.toString();
    ASSERT_TRUE(insert(validRow(code, QStringLiteral("Tabela Padrão"))).ok);
    const DataPacket p = packet(QStringLiteral("getTbPreco"));
    EXPECT_EQ(fieldNames(p), (QStringList{"CDPRECOPROP", "NMPRECOPROP", "DTINIPRECOPROP", "DTFINPRECOPROP", "VRPRECOUNITSIST",
                                          "VRPERCMANUTANO", "NRMESPRAZOLOCA", "VRPEDESFILIMATR", "VRPEDESFILIFILI"}));
    EXPECT_EQ(p.fields[0].size, 10);
    EXPECT_EQ(p.fields[1].size, 50);
    EXPECT_EQ(p.fields[2].type, FieldType::DateTime);
    EXPECT_EQ(p.fields[4].type, FieldType::Float);
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(cell(p, 0, "CDPRECOPROP"), code);
    EXPECT_EQ(cell(p, 0, "NMPRECOPROP"), QStringLiteral("Tabela Padrão"));
    EXPECT_EQ(p.rows[0][2].toDateTime(), QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    EXPECT_EQ(p.rows[0][3].toDateTime(), QDateTime(QDate(2026, 12, 31), QTime(0, 0)));
    EXPECT_EQ(cell(p, 0, "VRPRECOUNITSIST"), "1500");
    EXPECT_EQ(cell(p, 0, "VRPERCMANUTANO"), "270");
    EXPECT_EQ(cell(p, 0, "NRMESPRAZOLOCA"), "36");
    EXPECT_EQ(cell(p, 0, "VRPEDESFILIMATR"), "10");
    EXPECT_EQ(cell(p, 0, "VRPEDESFILIFILI"), "15");
}

TEST_P(PriceTables, AnInsertWithoutCodeGetsOneFromTheSequence) {
    ASSERT_TRUE(insert(validRow(QString())).ok);
    EXPECT_EQ(scalar(QStringLiteral("SELECT CDPRECOPROP FROM PRECOPROPOSTA")), QStringLiteral("0000000001"));
    EXPECT_EQ(call(QStringLiteral("PrxPrecoProp")).data.toString(), QStringLiteral("0000000002"));
}

TEST_P(PriceTables, EachRecordRuleRefusesWithNothingStored) {
    struct Case {
        int field;
        QVariant value;
        const char *expected;  // part of the message
    };
    const QVector<Case> cases = {
        {1, QVariant(), "nome"},
        {1, QStringLiteral("   "), "nome"},
        {2, QVariant(), "início da vigência"},
        {3, QVariant(), "fim da vigência"},
        {3, QDateTime(QDate(2025, 12, 31), QTime(0, 0)), "maior ou igual ao início"},
        {4, QVariant(), "preço unitário"},
        {4, -1.0, "negativo"},
        {5, QVariant(), "manutenção"},
        {6, QVariant(), "prazo de locação"},
        {7, QVariant(), "filial por matriz"},
        {7, 100.01, "entre 0% e 100%"},
        {8, QVariant(), "filial por filial"},
        {8, -0.5, "entre 0% e 100%"},
        {0, QStringLiteral("00000000AB"), "10 dígitos"},
    };
    for (const Case &c : cases) {
        Row row = validRow(QStringLiteral("0000000007"));
        row[c.field] = c.value;
        const RpcReply r = insert(row);
        EXPECT_FALSE(r.ok) << c.expected;
        EXPECT_EQ(r.errorCode, RpcCode::Refused) << c.expected;
        EXPECT_TRUE(r.errorMessage.contains(QString::fromUtf8(c.expected))) << r.errorMessage.toStdString();
        if (c.field != 0) {
            EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("0000000007"))) << r.errorMessage.toStdString();
        }
    }
    // A code longer than the field does not even fit the packet.
    Row tooLong = validRow(QStringLiteral("12345678901"));
    EXPECT_EQ(insert(tooLong).errorCode, RpcCode::InvalidParams);
    EXPECT_EQ(tables(), 0);
}

TEST_P(PriceTables, LimitsThatHoldAreAccepted) {
    Row row = validRow(QStringLiteral("0000000001"));
    row[3] = row[2];  // same day
    row[7] = 100.0;
    row[8] = 0.0;
    row[5] = 0.0;  // zero is a value
    EXPECT_TRUE(insert(row).ok);
    EXPECT_EQ(tables(), 1);
}

TEST_P(PriceTables, ADuplicateCodeIsRefused) {
    ASSERT_TRUE(insert(validRow(QStringLiteral("0000000001"))).ok);
    const RpcReply r = insert(validRow(QStringLiteral("1"), QStringLiteral("Outra")));
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("0000000001")));
    EXPECT_EQ(tables(), 1);
}

TEST_P(PriceTables, TheWholeDeltaOrNothing) {
    Delta d;
    d.fields = ClientFields::priceTable();
    d.changes.append({DeltaChange::Insert, {}, validRow(QStringLiteral("0000000001"))});
    Row bad = validRow(QStringLiteral("0000000002"));
    bad[1] = QVariant();
    d.changes.append({DeltaChange::Insert, {}, bad});
    const RpcReply r = call(QStringLiteral("SetIncTbPre"), {d});
    EXPECT_EQ(r.errorCode, RpcCode::Refused);
    EXPECT_EQ(tables(), 0);
}

TEST_P(PriceTables, ClientTableChangesAreAppliedInOrder) {
    const QString a = newPriceTable(QStringLiteral("A")), b = newPriceTable(QStringLiteral("B"));
    auto t = table(QStringLiteral("getTbPreco"));
    ASSERT_EQ(t->RecordCount(), 2);
    t->First();
    t->Edit();
    t->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("A alterada"));
    t->FieldByName(QStringLiteral("VRPRECOUNITSIST"))->SetValue(2000.0);
    t->Post();
    t->Next();
    t->Delete();
    t->Insert();
    t->FieldByName(QStringLiteral("CDPRECOPROP"))->SetValue(call(QStringLiteral("PrxPrecoProp")).data.toString());
    t->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("C"));
    t->FieldByName(QStringLiteral("DTINIPRECOPROP"))->SetValue(QDateTime(QDate(2026, 2, 1), QTime(0, 0)));
    t->FieldByName(QStringLiteral("DTFINPRECOPROP"))->SetValue(QDateTime(QDate(2026, 3, 1), QTime(0, 0)));
    for (const char *f : {"VRPRECOUNITSIST", "VRPERCMANUTANO", "NRMESPRAZOLOCA", "VRPEDESFILIMATR", "VRPEDESFILIFILI"})
        t->FieldByName(QString::fromLatin1(f))->SetValue(1.0);
    t->Post();
    const RpcReply r = call(QStringLiteral("SetIncTbPre"), {t->GetDelta()});
    ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
    const DataPacket p = packet(QStringLiteral("getTbPreco"));
    ASSERT_EQ(p.rows.size(), 2);
    EXPECT_EQ(cell(p, 0, "CDPRECOPROP"), a);
    EXPECT_EQ(cell(p, 0, "NMPRECOPROP"), QStringLiteral("A alterada"));
    EXPECT_EQ(cell(p, 0, "VRPRECOUNITSIST"), "2000");
    EXPECT_EQ(cell(p, 1, "NMPRECOPROP"), QStringLiteral("C"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {b}), 0);
}

TEST_P(PriceTables, AStaleUpdateIsRefusedAsAConflict) {
    newPriceTable(QStringLiteral("Original"));
    auto mine = table(QStringLiteral("getTbPreco"));
    auto other = connect();
    // Another user renames the table first.
    auto theirs = std::make_unique<TClientTable>();
    theirs->LoadPacket(PacketCodec::packetFromJson(other->Call(QStringLiteral("getTbPreco"), {}).data));
    theirs->Edit();
    theirs->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Deles"));
    theirs->Post();
    ASSERT_TRUE(other->Call(QStringLiteral("SetIncTbPre"), {theirs->GetDelta()}).ok);

    mine->Edit();
    mine->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Minha"));
    mine->Post();
    const RpcReply r = call(QStringLiteral("SetIncTbPre"), {mine->GetDelta()});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorCode, RpcCode::Conflict);
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("outro usuário"))) << r.errorMessage.toStdString();
    EXPECT_EQ(scalar(QStringLiteral("SELECT NMPRECOPROP FROM PRECOPROPOSTA")), QStringLiteral("Deles"));
}

TEST_P(PriceTables, ChangesToDifferentFieldsByTwoUsersBothHold) {
    newPriceTable(QStringLiteral("Original"));
    auto mine = table(QStringLiteral("getTbPreco"));
    auto theirs = table(QStringLiteral("getTbPreco"));
    theirs->Edit();
    theirs->FieldByName(QStringLiteral("VRPRECOUNITSIST"))->SetValue(999.0);
    theirs->Post();
    ASSERT_TRUE(call(QStringLiteral("SetIncTbPre"), {theirs->GetDelta()}).ok);
    mine->Edit();
    mine->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Minha"));
    mine->Post();
    ASSERT_TRUE(call(QStringLiteral("SetIncTbPre"), {mine->GetDelta()}).ok);
    const DataPacket p = packet(QStringLiteral("getTbPreco"));
    EXPECT_EQ(cell(p, 0, "NMPRECOPROP"), QStringLiteral("Minha"));
    EXPECT_EQ(cell(p, 0, "VRPRECOUNITSIST"), "999");
}

TEST_P(PriceTables, UpdatingOrDeletingARemovedTableIsAConflict) {
    newPriceTable();
    auto mine = table(QStringLiteral("getTbPreco"));
    auto theirs = table(QStringLiteral("getTbPreco"));
    theirs->Delete();
    ASSERT_TRUE(call(QStringLiteral("SetIncTbPre"), {theirs->GetDelta()}).ok);
    auto again = table(QStringLiteral("getTbPreco"));
    EXPECT_EQ(again->RecordCount(), 0);
    mine->Edit();
    mine->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Tarde demais"));
    mine->Post();
    EXPECT_EQ(call(QStringLiteral("SetIncTbPre"), {mine->GetDelta()}).errorCode, RpcCode::Conflict);
    Delta del;
    del.fields = ClientFields::priceTable();
    del.changes.append({DeltaChange::Delete, validRow(QStringLiteral("0000000001")), {}});
    EXPECT_EQ(call(QStringLiteral("SetIncTbPre"), {del}).errorCode, RpcCode::Conflict);
    EXPECT_EQ(tables(), 0);
}

TEST_P(PriceTables, TheCodeCannotBeChanged) {
    const QString code = newPriceTable();
    auto t = table(QStringLiteral("getTbPreco"));
    t->Edit();
    t->FieldByName(QStringLiteral("CDPRECOPROP"))->SetValue(QStringLiteral("0000000099"));
    t->Post();
    EXPECT_EQ(call(QStringLiteral("SetIncTbPre"), {t->GetDelta()}).errorCode, RpcCode::Refused);
    EXPECT_EQ(scalar(QStringLiteral("SELECT CDPRECOPROP FROM PRECOPROPOSTA")), code);
}

TEST_P(PriceTables, DeletingATableTakesItsBandsAndPermissionsAndFreesItsSegments) {
    const QString keep = newPriceTable(QStringLiteral("Fica")), gone = newPriceTable(QStringLiteral("Sai"));
    addOperator(QStringLiteral("000000000001"), QStringLiteral("Ana"));
    for (const QString &c : {keep, gone}) {
        addBands(true, c, {{1, 20, 5}});
        addBands(false, c, {{1, 150, 5}});
        ASSERT_TRUE(call(QStringLiteral("Insere_OperDesc"), {QString(), QStringLiteral("M"), 5.0, c, QStringLiteral("L"), 3.0, QString(), 0.0}).ok);
    }
    exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('001', 'Varejo', ?)"), {gone});
    exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('002', 'Indústria', ?)"), {keep});

    auto t = table(QStringLiteral("getTbPreco"));
    ASSERT_TRUE(t->Locate(QStringLiteral("CDPRECOPROP"), gone));
    t->Delete();
    ASSERT_TRUE(call(QStringLiteral("SetIncTbPre"), {t->GetDelta()}).ok);
    for (const char *tableName : {"PRECOPROPSIST", "PRECOPROPUSU", "PRECOPROPOPER"}) {
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE CDPRECOPROP = ?").arg(QLatin1String(tableName)), {gone}), 0) << tableName;
        EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE CDPRECOPROP = ?").arg(QLatin1String(tableName)), {keep}), 0) << tableName;
    }
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO WHERE CDPRECOPROP IS NULL")), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT CDPRECOPROP FROM SEGMERCADO WHERE CDSEGMERCADO = '002'")), keep);
}

TEST_P(PriceTables, SegmentsOfATableAboutToBeDeletedAreCleared) {
    const QString a = newPriceTable(QStringLiteral("A")), b = newPriceTable(QStringLiteral("B"));
    exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('001', 'Varejo', ?)"), {a});
    exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('002', 'Serviços', ?)"), {a});
    exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('003', 'Saúde', ?)"), {b});
    QString code = a;
    const RpcReply r = call(QStringLiteral("setTbPrecSegMer"), {code});
    ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
    EXPECT_TRUE(r.data.isNull());
    // The announcement alone unlinks nothing: the deletion may still be refused.
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO WHERE CDPRECOPROP = ?"), {a}), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), 2);

    auto t = table(QStringLiteral("getTbPreco"));
    ASSERT_TRUE(t->Locate(QStringLiteral("CDPRECOPROP"), a));
    t->Delete();
    ASSERT_TRUE(call(QStringLiteral("SetIncTbPre"), {t->GetDelta()}).ok);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO WHERE CDPRECOPROP = ?"), {a}), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO WHERE CDPRECOPROP = ?"), {b}), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO")), 3);
}

TEST_P(PriceTables, ARefusedDeletionLeavesTheSegmentsLinked) {
    // The screen announces the deletion (setTbPrecSegMer), then sends its
    // delta; when the delta is refused the table and its links all stay.
    struct Case {
        const char *name;
        int expectedCode;
    };
    const Case cases[] = {{"an older refused change goes first in the same delta", RpcCode::Conflict},
                          {"an older invalid insert goes first in the same delta", RpcCode::Refused}};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(cases[i].name);
        exec(QStringLiteral("DELETE FROM SEGMERCADO"));
        const QString other = newPriceTable(QStringLiteral("Outra")), gone = newPriceTable(QStringLiteral("Sai"));
        exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('001', 'Varejo', ?)"), {gone});
        exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('002', 'Indústria', ?)"), {gone});
        auto mine = table(QStringLiteral("getTbPreco"));
        if (i == 0) {
            // Another user renamed "Outra" before my rename of it reached the server.
            auto theirs = table(QStringLiteral("getTbPreco"));
            ASSERT_TRUE(theirs->Locate(QStringLiteral("CDPRECOPROP"), other));
            theirs->Edit();
            theirs->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Deles"));
            theirs->Post();
            ASSERT_TRUE(call(QStringLiteral("SetIncTbPre"), {theirs->GetDelta()}).ok);
            ASSERT_TRUE(mine->Locate(QStringLiteral("CDPRECOPROP"), other));
            mine->Edit();
            mine->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Minha"));
            mine->Post();
        } else {
            mine->Append();
            mine->FieldByName(QStringLiteral("CDPRECOPROP"))->SetValue(call(QStringLiteral("PrxPrecoProp")).data.toString());
            mine->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Sem datas"));
            mine->Post();
        }
        ASSERT_TRUE(mine->Locate(QStringLiteral("CDPRECOPROP"), gone));
        ASSERT_TRUE(call(QStringLiteral("setTbPrecSegMer"), {gone}).ok);
        mine->Delete();
        const RpcReply refused = call(QStringLiteral("SetIncTbPre"), {mine->GetDelta()});
        EXPECT_EQ(refused.errorCode, cases[i].expectedCode) << refused.errorMessage.toStdString();
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {gone}), 1);
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO WHERE CDPRECOPROP = ?"), {gone}), 2);

        // Sent again on its own, the deletion goes through and takes the links with it.
        auto fresh = table(QStringLiteral("getTbPreco"));
        ASSERT_TRUE(fresh->Locate(QStringLiteral("CDPRECOPROP"), gone));
        ASSERT_TRUE(call(QStringLiteral("setTbPrecSegMer"), {gone}).ok);
        fresh->Delete();
        const RpcReply accepted = call(QStringLiteral("SetIncTbPre"), {fresh->GetDelta()});
        ASSERT_TRUE(accepted.ok) << accepted.errorMessage.toStdString();
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {gone}), 0);
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO WHERE CDPRECOPROP IS NULL")), 2);
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO")), 2);
    }
}

TEST_P(PriceTables, TheDatabaseItselfRefusesWhatTheRulesRefuse) {
    // The constraints hold the invariants even for writers that bypass the server.
    const QString code = newPriceTable();
    const char *statements[] = {
        "UPDATE PRECOPROPOSTA SET VRPEDESFILIMATR = 101",
        "UPDATE PRECOPROPOSTA SET DTFINPRECOPROP = '2025-01-01 00:00:00'",
        "UPDATE PRECOPROPOSTA SET NMPRECOPROP = NULL",
        "INSERT INTO PRECOPROPSIST (CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST) VALUES ('9999999999', '00001', '00002', 1)",
        "INSERT INTO PRECOPROPSIST (CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST) SELECT CDPRECOPROP, '00000', '00002', 1 FROM PRECOPROPOSTA",
        "INSERT INTO PRECOPROPSIST (CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST) SELECT CDPRECOPROP, '00001', '00021', 1 FROM PRECOPROPOSTA",
        "INSERT INTO PRECOPROPSIST (CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST) SELECT CDPRECOPROP, '00005', '00004', 1 FROM PRECOPROPOSTA",
        "INSERT INTO PRECOPROPSIST (CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST) SELECT CDPRECOPROP, '1', '00004', 1 FROM PRECOPROPOSTA",
        "INSERT INTO PRECOPROPUSU (CDPRECOPROP, QTINIUSUARIOS, QTFINUSUARIOS, VRPERCDESCUSU) SELECT CDPRECOPROP, '00001', '00151', 1 FROM PRECOPROPOSTA",
        "INSERT INTO PRECOPROPOPER (CDPRECOPROP, CDOPERADOR, IDTIPODESCOPER, VRPERCDESCOPER) SELECT CDPRECOPROP, '000000000001', 'L', 1 FROM PRECOPROPOSTA",
        "INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, IDOPERATIVO) VALUES ('000000000009', 'X', 'Z')",
        "INSERT INTO INDICEMENSAL (MESINDICE, VRINDICE) VALUES ('2026-13', 1)",
        "INSERT INTO INDICEMENSAL (MESINDICE, VRINDICE) VALUES ('2026-01', 0)",
    };
    for (const char *s : statements) EXPECT_THROW(exec(QString::fromLatin1(s)), DbError) << s;
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPSIST")), 0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT CDPRECOPROP FROM PRECOPROPOSTA")), code);
}

COT_BOTH_BACKENDS(PriceTables);
