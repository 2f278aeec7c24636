// The copy of a price table: its record with a new name and code, its bands and
// the permissions of active operators, in one transaction; refused when the
// source changed or vanished since it was shown.

#include "server_fixture.h"

#include <rpc_codes.h>

#include <QSet>
#include <mutex>
#include <thread>

class PriceTableCopy : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        source = newPriceTable(QStringLiteral("Tabela 2026"));
        addBands(true, source, {{1, 5, 0}, {6, 20, 10}});
        addBands(false, source, {{1, 150, 2.5}});
        addOperator(QStringLiteral("000000000001"), QStringLiteral("Ana"));
        addOperator(QStringLiteral("000000000002"), QStringLiteral("Bruno"));
        ASSERT_TRUE(call(QStringLiteral("Insere_OperDesc"), {QString(), QStringLiteral("M"), 5.0, source, QStringLiteral("L"), 3.0, QString(), 0.0}).ok);
    }
    // The delta the page sends: the source as this connection read it, renamed.
    static Delta copyDelta(TNetConnection &net, const QString &code, const QString &name) {
        TClientTable t;
        t.LoadPacket(PacketCodec::packetFromJson(net.Call(QStringLiteral("getTbPreco"), {}).data));
        EXPECT_TRUE(t.Locate(QStringLiteral("CDPRECOPROP"), code));
        t.Edit();
        t.FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(name);
        t.Post();
        return t.GetDelta();
    }
    QString rowsOf(const char *table, const QString &code, const char *columns) {
        QStringList rows;
        for (qint64 i = 0, n = count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE CDPRECOPROP = ?").arg(QLatin1String(table)), {code}); i < n; ++i)
            rows << scalar(QStringLiteral("SELECT %1 FROM %2 WHERE CDPRECOPROP = ? ORDER BY %1 LIMIT 1 OFFSET %3")
                               .arg(QLatin1String(columns), QLatin1String(table))
                               .arg(i),
                           {code});
        return rows.join(QLatin1Char('|'));
    }
    QString source;
};

TEST_P(PriceTableCopy, TakesTheRecordBandsAndActivePermissionsAndNothingElse) {
    exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('001', 'Varejo', ?)"), {source});
    exec(QStringLiteral("UPDATE OPERADOR SET IDOPERATIVO = 'I' WHERE CDOPERADOR = '000000000002'"));
    const RpcReply r = call(QStringLiteral("CopiaTbPreco"), {copyDelta(*net, source, QStringLiteral("Tabela 2027"))});
    ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
    const DataPacket answer = PacketCodec::packetFromJson(r.data);
    const QString copy = cell(answer, 0, QStringLiteral("CDPRECOPROP"));
    EXPECT_NE(copy, source);
    EXPECT_EQ(cell(answer, 0, QStringLiteral("QTPERMNAOCOP")).toDouble(), 2);  // Bruno's two, inactive

    const QString record = QStringLiteral("'' || DTINIPRECOPROP || DTFINPRECOPROP || VRPRECOUNITSIST || VRPERCMANUTANO || NRMESPRAZOLOCA || "
                                          "VRPEDESFILIMATR || VRPEDESFILIFILI");
    EXPECT_EQ(scalar(QStringLiteral("SELECT NMPRECOPROP FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {copy}), QStringLiteral("Tabela 2027"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT NMPRECOPROP FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {source}), QStringLiteral("Tabela 2026"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT %1 FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?").arg(record), {copy}),
              scalar(QStringLiteral("SELECT %1 FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?").arg(record), {source}));
    for (const auto &[table, columns] : {std::pair{"PRECOPROPSIST", "'' || QTINISISTEMAS || '-' || QTFINSISTEMAS || ':' || VRPERCDESCSIST"},
                                         std::pair{"PRECOPROPUSU", "'' || QTINIUSUARIOS || '-' || QTFINUSUARIOS || ':' || VRPERCDESCUSU"}}) {
        SCOPED_TRACE(table);
        EXPECT_EQ(rowsOf(table, copy, columns), rowsOf(table, source, columns));
        EXPECT_FALSE(rowsOf(table, copy, columns).isEmpty());
    }
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOPER WHERE CDPRECOPROP = ? AND CDOPERADOR = '000000000001' AND "
                                   "((IDTIPODESCOPER = 'M' AND VRPERCDESCOPER = 5) OR (IDTIPODESCOPER = 'L' AND VRPERCDESCOPER = 3))"),
                    {copy}),
              2);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOPER WHERE CDPRECOPROP = ?"), {copy}), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOPER WHERE CDPRECOPROP = ?"), {source}), 4);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO WHERE CDPRECOPROP = ?"), {copy}), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), 2);
}

TEST_P(PriceTableCopy, ASourceChangedOrRemovedSinceShownIsRefusedWithNothingWritten) {
    struct Case {
        const char *what;
        const char *sql;
    };
    for (const Case &c : {Case{"alterada", "UPDATE PRECOPROPOSTA SET VRPRECOUNITSIST = 999 WHERE CDPRECOPROP = ?"},
                          Case{"excluída", "DELETE FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"}}) {
        SCOPED_TRACE(c.what);
        const Delta shown = copyDelta(*net, source, QStringLiteral("Cópia"));
        exec(QString::fromLatin1(c.sql), {source});
        const RpcReply r = call(QStringLiteral("CopiaTbPreco"), {shown});
        EXPECT_EQ(r.errorCode, RpcCode::Conflict);
        EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("alterada ou excluída por outro usuário"))) << r.errorMessage.toStdString();
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE NMPRECOPROP = 'Cópia'")), 0);
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPSIST WHERE CDPRECOPROP <> ?"), {source}), 0);
    }
}

TEST_P(PriceTableCopy, TwoDesktopsCopyingAtOnceGetTwoCodes) {
    std::mutex guard;
    QStringList codes, failures;
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i)
        threads.emplace_back([&, i] {
            auto mine = connect();
            const RpcReply r = mine->Call(QStringLiteral("CopiaTbPreco"), {copyDelta(*mine, source, QStringLiteral("Cópia %1").arg(i))});
            std::lock_guard<std::mutex> lock(guard);
            if (r.ok) codes << cell(PacketCodec::packetFromJson(r.data), 0, QStringLiteral("CDPRECOPROP"));
            else failures << r.errorMessage;
        });
    for (auto &t : threads) t.join();
    EXPECT_TRUE(failures.isEmpty()) << failures.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(codes.size(), 2);
    EXPECT_NE(codes[0], codes[1]);
    for (const QString &c : codes) EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPSIST WHERE CDPRECOPROP = ?"), {c}), 2);
}

COT_BOTH_BACKENDS(PriceTableCopy);
