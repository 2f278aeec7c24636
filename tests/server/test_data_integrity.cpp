// Values that must never change silently on their way in or out.
//
//   1. Price table codes: a code inserted by hand never ends automatic codes.
//   2. Whole numbers past 2^53 (not exact as JSON numbers) are refused, sent or stored;
//      record numbers handed out stay exact and unused.
//   3. Text: invalid Unicode and NUL refused naming the field; valid text kept exactly.
//   4. A delete made from a stale row is refused with the conflict code.
//   5. A backup taken under writes restores every acknowledged write.
//   6. A write whose connection drops at its commit is answered "outcome unknown".

#include "raw_client.h"
#include "server_fixture.h"

#include <rpc_codes.h>

#include <db_config.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

const qint64 k2p53 = 9007199254740992LL;

Row priceTableRow(const QString &code, const QString &name) {
    return {code, name, QDateTime(QDate(2026, 1, 1), QTime(0, 0)), QDateTime(QDate(2026, 12, 31), QTime(0, 0)), 1000.0, 180.0, 36.0, 10.0, 15.0};
}

}  // namespace

class DataIntegrity : public ServerTest {
protected:
    QJsonObject post(const QByteArray &body) {
        RawSocket s(server->port());
        s.send(rpcRequest(body));
        return QJsonDocument::fromJson(splitAnswers(s.readAnswers(1, 5000)).value(0).body).object();
    }
    static int code(const QJsonObject &answer) { return answer.value("error").toObject().value("code").toInt(); }
    static QString message(const QJsonObject &answer) { return answer.value("error").toObject().value("message").toString(); }
    // SetIncTbPre inserting one table whose name is this JSON text (escapes as written).
    QByteArray insertNamed(const QByteArray &code, const QByteArray &nameJson) {
        return R"({"jsonrpc":"2.0","id":1,"method":"SetIncTbPre","params":[{"fields":[{"name":"CDPRECOPROP","type":"string","size":10},)"
               R"({"name":"NMPRECOPROP","type":"string","size":50},{"name":"DTINIPRECOPROP","type":"datetime"},)"
               R"({"name":"DTFINPRECOPROP","type":"datetime"},{"name":"VRPRECOUNITSIST","type":"float"},{"name":"VRPERCMANUTANO","type":"float"},)"
               R"({"name":"NRMESPRAZOLOCA","type":"float"},{"name":"VRPEDESFILIMATR","type":"float"},{"name":"VRPEDESFILIFILI","type":"float"}],)"
               R"("changes":[{"op":"insert","new":[")" +
               code + R"(",)" + nameJson + R"(,"2026-01-01T00:00:00","2026-12-31T00:00:00",1000,180,36,10,15]}]}]})";
    }
    void addServiceType() {
        exec(QStringLiteral("INSERT INTO TIPOSERV (CDTIPOSERV, NMTIPOSERV, IDPROPSERVWEB, IDSERVOBRIGPROS) VALUES ('001', 'Implantação', 'S', 'S')"));
        addOperator(QStringLiteral("000000000001"), QStringLiteral("Ana"));
    }
    double maxOperTipoServ() {
        const RpcReply r = call(QStringLiteral("GetMaxOperTipoServ"));
        EXPECT_TRUE(r.ok) << r.errorMessage.toStdString();
        return r.ok ? PacketCodec::packetFromJson(r.data).rows.value(0).value(0).toDouble() : -1;
    }
};

// 1 ------------------------------------------------------------------------
TEST_P(DataIntegrity, ACodeInsertedByHandAtTheLastTenDigitCodeLeavesAutomaticCodesWorking) {
    const QString first = newPriceTable();
    const RpcReply last = call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), priceTableRow("9999999999", "Manual"))});
    ASSERT_TRUE(last.ok) << last.errorMessage.toStdString();
    QSet<QString> handed;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const RpcReply next = call(QStringLiteral("PrxPrecoProp"));
        ASSERT_TRUE(next.ok) << next.errorMessage.toStdString();
        const QString code = next.data.toString();
        EXPECT_NE(code, first);
        EXPECT_NE(code, QStringLiteral("9999999999"));
        EXPECT_FALSE(handed.contains(code));
        handed.insert(code);
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {code}), 0);
    }
    // An insert without a code is numbered too.
    const RpcReply automatic = call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), priceTableRow(QString(), "Auto"))});
    EXPECT_TRUE(automatic.ok) << automatic.errorMessage.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), 3);
}

// 2 ------------------------------------------------------------------------
TEST_P(DataIntegrity, WholeNumbersPast2To53AreRefusedWhenSent) {
    addServiceType();
    struct Case {
        const char *what;
        QByteArray body;
    };
    const QByteArray big = QByteArray::number(k2p53 + 2);
    for (const Case &c : {Case{"argumento", R"({"jsonrpc":"2.0","id":1,"method":"getLuSist","params":["T",)" + big + "]}"},
                          Case{"delta", R"({"jsonrpc":"2.0","id":1,"method":"SetOperTipoServ","params":[{"fields":[)"
                                        R"({"name":"CDTIPOSERV","type":"string","size":3},{"name":"NROPERTIPOSERV","type":"float"},)"
                                        R"({"name":"CDOPERADOR","type":"string","size":12},{"name":"VRPEDESOPERSERV","type":"float"}],)"
                                        R"("changes":[{"op":"insert","new":["001",)" +
                                            big + R"(,"000000000001",5]}]},null]})"}}) {
        SCOPED_TRACE(c.what);
        const QJsonObject a = post(c.body);
        EXPECT_EQ(code(a), RpcCode::InvalidParams);
        EXPECT_TRUE(message(a).contains(QStringLiteral("grande demais"))) << message(a).toStdString();
    }
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM OPERTIPOSERV")), 0);
}

TEST_P(DataIntegrity, RecordNumbersStayExactAndUnusedWhenHugeNumbersAreStored) {
    addServiceType();
    // A number stored by hand past 2^53 is refused on the way out, not rounded.
    exec(QStringLiteral("INSERT INTO OPERTIPOSERV (NROPERTIPOSERV, CDTIPOSERV, CDOPERADOR, VRPEDESOPERSERV) VALUES (?, '001', '000000000001', 5)"),
         {k2p53 + 1});
    const RpcReply read = call(QStringLiteral("GetOperTipoServ"), {QStringLiteral("001")});
    EXPECT_FALSE(read.ok);
    EXPECT_TRUE(read.errorMessage.contains(QStringLiteral("NROPERTIPOSERV"))) << read.errorMessage.toStdString();
    // A sequence moved up to 2^53 hands out exact numbers not in use.
    exec(QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = ? WHERE NMSEQUENCIA = 'OPERTIPOSERV'"), {k2p53 - 1});
    addOperator(QStringLiteral("000000000002"), QStringLiteral("Bruno"));
    exec(QStringLiteral("INSERT INTO OPERTIPOSERV (NROPERTIPOSERV, CDTIPOSERV, CDOPERADOR, VRPEDESOPERSERV) VALUES (1, '001', '000000000002', 5)"));
    const double n = maxOperTipoServ();
    EXPECT_GT(n, 0);
    EXPECT_LT(n, double(k2p53));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM OPERTIPOSERV WHERE NROPERTIPOSERV = ?"), {qint64(n)}), 0);
}

// 3 ------------------------------------------------------------------------
TEST_P(DataIntegrity, TextThatIsNotValidUnicodeIsRefusedNamingTheField) {
    struct Case {
        const char *what;
        QByteArray name;
    };
    for (const Case &c : {Case{"lone high surrogate", R"("x\ud800x")"}, Case{"lone low surrogate", R"("x\udc00")"},
                          Case{"reversed pair", R"("\ude00\ud83d")"}, Case{"NUL", R"("a\u0000b")"}}) {
        SCOPED_TRACE(c.what);
        const QJsonObject a = post(insertNamed("0000000050", c.name));
        EXPECT_EQ(code(a), RpcCode::InvalidParams);
        EXPECT_TRUE(message(a).contains(QStringLiteral("NMPRECOPROP"))) << message(a).toStdString();
    }
    // A text argument too.
    const QJsonObject arg = post(R"({"jsonrpc":"2.0","id":1,"method":"getDescSis","params":["000000000\ud800"]})");
    EXPECT_EQ(code(arg), RpcCode::InvalidParams);
    EXPECT_TRUE(message(arg).contains(QStringLiteral("argumento 1"))) << message(arg).toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), 0);
}

TEST_P(DataIntegrity, ValidTextIsStoredExactlyAsSent) {
    const QString names[] = {QStringLiteral("\uFEFFTabela com BOM"), QStringLiteral("Tabela \U0001F600 emoji"), QStringLiteral("Ação e\u0301 \u00A0fim"),
                             QStringLiteral("\uFEFF"), QStringLiteral("aspas \" e barra \\")};
    int i = 0;
    for (const QString &name : names) {
        SCOPED_TRACE(i);
        const QString tableCode = QStringLiteral("%1").arg(60 + i++, 10, 10, QLatin1Char('0'));
        const RpcReply r = call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), priceTableRow(tableCode, name))});
        ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
        const DataPacket p = packet(QStringLiteral("getTbPreco"));
        QString stored = QStringLiteral("<ausente>");
        for (int row = 0; row < p.rows.size(); ++row)
            if (cell(p, row, QStringLiteral("CDPRECOPROP")) == tableCode) stored = cell(p, row, QStringLiteral("NMPRECOPROP"));
        EXPECT_EQ(stored.toStdU16String(), name.toStdU16String());
    }
}

// 4 ------------------------------------------------------------------------
TEST_P(DataIntegrity, ADeleteFromAStaleRowIsRefusedAsAConflict) {
    const QString tableCode = newPriceTable();
    addBands(true, tableCode, {{1, 5, 0}, {6, 20, 10}});
    auto stale = table(QStringLiteral("getDescSis"), {tableCode});
    auto fresh = table(QStringLiteral("getDescSis"), {tableCode});
    fresh->Last();
    fresh->Edit();
    fresh->FieldByName(QStringLiteral("VRPERCDESCSIST"))->SetValue(12.0);
    fresh->Post();
    ASSERT_TRUE(call(QStringLiteral("setDescSis"), {fresh->GetDelta()}).ok);
    stale->Last();
    stale->Delete();
    EXPECT_EQ(call(QStringLiteral("setDescSis"), {stale->GetDelta()}).errorCode, RpcCode::Conflict);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPSIST WHERE CDPRECOPROP = ?"), {tableCode}), 2);

    // The same for a price table: renamed by one user, deleted from the old row by another.
    auto staleTables = table(QStringLiteral("getTbPreco"));
    auto freshTables = table(QStringLiteral("getTbPreco"));
    freshTables->Edit();
    freshTables->FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Renomeada"));
    freshTables->Post();
    ASSERT_TRUE(call(QStringLiteral("SetIncTbPre"), {freshTables->GetDelta()}).ok);
    staleTables->Delete();
    EXPECT_EQ(call(QStringLiteral("SetIncTbPre"), {staleTables->GetDelta()}).errorCode, RpcCode::Conflict);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {tableCode}), 1);
    // A delete from a current row still goes through.
    auto current = table(QStringLiteral("getDescSis"), {tableCode});
    current->Last();
    current->Delete();
    EXPECT_TRUE(call(QStringLiteral("setDescSis"), {current->GetDelta()}).ok);
}

// 6 ------------------------------------------------------------------------
TEST_P(DataIntegrity, AWriteWhoseConnectionDropsAtItsCommitIsAnsweredOutcomeUnknown) {
    DbSession::loseNextCommit();
    const RpcReply lost = call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), priceTableRow("0000000007", "Perdida"))});
    ASSERT_FALSE(lost.ok);
    EXPECT_EQ(lost.errorCode, RpcCode::OutcomeUnknown);
    EXPECT_TRUE(lost.errorMessage.contains(QStringLiteral("não se sabe se a alteração foi gravada"))) << lost.errorMessage.toStdString();
    // Sent again, the change is either taken or refused as a taken key: never applied twice.
    const RpcReply again = call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), priceTableRow("0000000007", "Perdida"))});
    EXPECT_TRUE(again.ok || again.errorCode == RpcCode::Refused) << again.errorMessage.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP = '0000000007'")), 1);
    // The server goes on answering on a new connection.
    EXPECT_TRUE(call(QStringLiteral("PrxPrecoProp")).ok);
}

COT_BOTH_BACKENDS(DataIntegrity);

// 5 ------------------------------------------------------------------------
// Backups taken while the server writes, and restored.
class Backups : public DataIntegrity {};

TEST_P(Backups, ABackupTakenUnderWritesRestoresEveryAcknowledgedWrite) {
    if (isPostgres()) {
        QProcess p;
        p.start(QStringLiteral(COT_SERVER_BIN), {QStringLiteral("backup"), QStringLiteral("/tmp/x.dump"), QStringLiteral("--database"), databaseName()});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("pg_dump")));
        return;
    }
    ServerProcess server;
    ASSERT_TRUE(server.start(databaseName()));
    std::atomic<bool> stop{false};
    std::mutex lock;
    QStringList acknowledged;  // in order
    std::thread writer([&] {
        TNetConnection c;
        c.ThrowException = false;  // a call that fails is simply not acknowledged
        c.TimeoutMs = 3000;
        c.Host = QStringLiteral("127.0.0.1");
        c.Port = server.port();
        for (int i = 0; !stop; ++i) {
            const RpcReply next = c.Call(QStringLiteral("PrxPrecoProp"), {});
            if (!next.ok) continue;
            const QString code = next.data.toString();
            if (c.Call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), priceTableRow(code, QStringLiteral("T%1").arg(i)))}).ok) {
                std::lock_guard<std::mutex> g(lock);
                acknowledged << code;
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    QStringList before;
    {
        std::lock_guard<std::mutex> g(lock);
        before = acknowledged;
    }
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copia.db"));
    QProcess backup;
    backup.start(QStringLiteral(COT_SERVER_BIN), {QStringLiteral("backup"), copy, QStringLiteral("--database"), databaseName()});
    ASSERT_TRUE(backup.waitForFinished(30000));
    EXPECT_EQ(backup.exitCode(), 0) << backup.readAllStandardError().toStdString();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
    writer.join();
    ASSERT_GT(before.size(), 5);

    // Restored into a database of its own, with no server on it.
    const QString restored = dir.filePath(QStringLiteral("restaurado.db"));
    QProcess restore;
    restore.start(QStringLiteral(COT_SERVER_BIN), {QStringLiteral("restore"), copy, QStringLiteral("--database"), restored});
    ASSERT_TRUE(restore.waitForFinished(30000));
    ASSERT_EQ(restore.exitCode(), 0) << restore.readAllStandardError().toStdString();
    DbConfig config;
    QString error;
    ASSERT_TRUE(DbConfig::parse(restored, &config, &error));
    DbSession db(config, uniqueName("restored"));
    db.open();
    QSet<QString> codes;
    {
        Query q(db, QStringLiteral("SELECT CDPRECOPROP FROM PRECOPROPOSTA"));
        q.exec();
        while (q.next()) codes.insert(q.text(0));
    }
    for (const QString &code : before) EXPECT_TRUE(codes.contains(code)) << code.toStdString();
    Query check(db, QStringLiteral("PRAGMA integrity_check"));
    check.exec();
    ASSERT_TRUE(check.next());
    EXPECT_EQ(check.text(0), QStringLiteral("ok"));

    // A file that is not a copy is refused and the database stays as it was.
    const QString junk = dir.filePath(QStringLiteral("lixo.db"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    QProcess bad;
    bad.start(QStringLiteral(COT_SERVER_BIN), {QStringLiteral("restore"), junk, QStringLiteral("--database"), restored});
    ASSERT_TRUE(bad.waitForFinished(30000));
    EXPECT_EQ(bad.exitCode(), 1);
    Query still(db, QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA"));
    still.exec();
    ASSERT_TRUE(still.next());
    EXPECT_EQ(still.value(0).toInt(), codes.size());
}

COT_BOTH_BACKENDS(Backups);
