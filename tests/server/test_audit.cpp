// The audit trail: each accepted change under the name of the person whose
// key made it, field by field with before and after, in the change's own
// transaction; a refused change leaves no trace.

#include "server_fixture.h"

#include "raw_client.h"

#include <audit_trail.h>
#include <user_keys.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

class Audit : public ServerTest {
protected:
    void adjust(ServerOptions &o) override { o.token = QStringLiteral("chave-do-administrador"); }
    qint64 rows() { return count(QStringLiteral("SELECT COUNT(*) FROM AUDITORIA")); }
};

TEST_P(Audit, EachPersonsChangeIsRecordedFieldByFieldUnderTheirName) {
    auto ana = connect(QString::fromLatin1(UserKeys::add(database(), QStringLiteral("Ana"), Role::Precos)));
    auto bruno = connect(QString::fromLatin1(UserKeys::add(database(), QStringLiteral("Bruno"), Role::Precos)));
    const QString code = CheckResultServ(ana->Call(QStringLiteral("PrxPrecoProp"), {})).toString();
    const Row row{code, QStringLiteral("Tabela 2027"), QDateTime(QDate(2027, 1, 1), QTime(0, 0)), QDateTime(QDate(2027, 12, 31), QTime(0, 0)),
                  1500.0, 270.0, 36.0, 10.0, 15.0};
    ASSERT_TRUE(ana->Call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), row)}).ok);
    TClientTable t;
    t.LoadPacket(PacketCodec::packetFromJson(bruno->Call(QStringLiteral("getTbPreco"), {}).data));
    ASSERT_TRUE(t.Locate(QStringLiteral("CDPRECOPROP"), code));
    t.Edit();
    t.FieldByName(QStringLiteral("VRPRECOUNITSIST"))->SetValue(1600.0);
    t.Post();
    ASSERT_TRUE(bruno->Call(QStringLiteral("SetIncTbPre"), {t.GetDelta()}).ok);

    const QVector<AuditTrail::Entry> trail = AuditTrail::read(database(), code);
    ASSERT_EQ(trail.size(), 10);  // Bruno's one field, newest first; Ana's nine
    EXPECT_EQ(trail[0].user, QStringLiteral("Bruno"));
    EXPECT_EQ(trail[0].operation, QLatin1Char('A'));
    EXPECT_EQ(trail[0].field, QStringLiteral("VRPRECOUNITSIST"));
    EXPECT_EQ(trail[0].before, QStringLiteral("1500"));
    EXPECT_EQ(trail[0].after, QStringLiteral("1600"));
    for (int i = 1; i < trail.size(); ++i) {
        EXPECT_EQ(trail[i].user, QStringLiteral("Ana")) << i;
        EXPECT_EQ(trail[i].operation, QLatin1Char('I')) << i;
        EXPECT_TRUE(trail[i].before.isEmpty()) << i;
    }
    // The read method gives the desktop the same history.
    EXPECT_EQ(packet(QStringLiteral("GetHistTbPreco"), {code}).rows.size(), 10);
}

TEST_P(Audit, ARefusedOrRolledBackChangeLeavesNoTrace) {
    const QString code = newPriceTable();
    const qint64 before = rows();
    // The second change of the delta is refused: the first is rolled back, its record too.
    const Row good{QString(), QStringLiteral("Boa"), QDateTime(QDate(2027, 1, 1), QTime(0, 0)), QDateTime(QDate(2027, 12, 31), QTime(0, 0)),
                   1.0, 1.0, 1.0, 1.0, 1.0};
    Row bad = good;
    bad[1] = QStringLiteral(" ");
    Delta delta = insertDelta(ClientFields::priceTable(), good);
    delta.changes.append(insertDelta(ClientFields::priceTable(), bad).changes[0]);
    EXPECT_FALSE(call(QStringLiteral("SetIncTbPre"), {delta}).ok);
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM AUDITORIA WHERE CDPRECOPROP = ? AND NMUSUARIO = 'administrador'"), {code}), 9);
}

// A server killed while it writes: every change it kept has its record, and
// no record is left without its change.
TEST_P(Audit, AKillDuringWritesLeavesBothOrNeither) {
    ServerProcess server;
    ASSERT_TRUE(server.start(databaseName()));
    std::atomic<bool> stop{false};
    std::mutex lock;
    QStringList acknowledged;
    std::thread writer([&] {
        TNetConnection c;
        c.ThrowException = false;  // calls fail once the server is gone
        c.TimeoutMs = 3000;
        c.Host = QStringLiteral("127.0.0.1");
        c.Port = server.port();
        for (int i = 0; !stop; ++i) {
            const Row row{QString(), QStringLiteral("Morta %1").arg(i), QDateTime(QDate(2027, 1, 1), QTime(0, 0)),
                          QDateTime(QDate(2027, 12, 31), QTime(0, 0)), 100.0 + i, 1.0, 12.0, 0.0, 0.0};
            const RpcReply r = c.Call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), row)});
            if (r.ok) {
                std::lock_guard<std::mutex> g(lock);
                acknowledged << row[1].toString();
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    server.signal(SIGKILL);
    ASSERT_TRUE(server.waitForExit(10000));
    stop = true;
    writer.join();
    ASSERT_GT(acknowledged.size(), 5);
    for (const QString &name : std::as_const(acknowledged))
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE NMPRECOPROP = ?"), {name}), 1) << name.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA P WHERE NMPRECOPROP LIKE 'Morta %' AND 9 <> (SELECT COUNT(*) FROM"
                                   " AUDITORIA A WHERE A.CDPRECOPROP = P.CDPRECOPROP AND A.IDOPERACAO = 'I')")),
              0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM AUDITORIA A WHERE NOT EXISTS (SELECT 1 FROM PRECOPROPOSTA P WHERE"
                                   " P.CDPRECOPROP = A.CDPRECOPROP)")),
              0);
}

COT_BOTH_BACKENDS(Audit);
