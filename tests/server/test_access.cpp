// Who may try keys, and the files that hold them.
//
// Test organization:
//   1. Behind a trusted proxy (both backends): wrong keys are counted per
//      forwarded client, and a valid key does not clear a guesser's count.
//   2. The throttle alone: which address is the client; the count drains
//      with time.
//   3. Keys and files: a short key file is refused; the database, its log,
//      a backup and a generated certificate are the owner's alone whatever
//      the umask.
#include "raw_client.h"
#include "server_fixture.h"

#include <access_throttle.h>
#include <backup.h>
#include <db_config.h>
#include <monthly_index.h>
#include <rpc_codes.h>
#include <server_tls.h>

#include <QFileInfo>
#include <QProcess>
#include <sys/stat.h>
#include <cstdio>
#include <thread>

namespace {

const QByteArray kKey = "chave-do-servidor-atras-do-proxy-0123";

// The status of one call from the proxy (127.0.0.1) on behalf of `client`.
int statusFor(int port, const QByteArray &key, const QByteArray &client) {
    const QByteArray body = R"({"jsonrpc":"2.0","id":1,"method":"getTbPreco","params":[]})";
    QByteArray request = rpcRequest(body, key, false);
    request.insert(request.indexOf("\r\n") + 2, "X-Forwarded-For: " + client + "\r\n");
    RawSocket s(port);
    s.send(request);
    const QList<HttpAnswerText> answers = splitAnswers(s.readAnswers(1, 5000));
    return answers.isEmpty() ? 0 : answers.first().status;
}

int modeOf(const QString &path) {
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

}  // namespace

class BehindProxy : public ServerTest {
protected:
    void adjust(ServerOptions &o) override {
        o.token = QString::fromLatin1(kKey);
        o.trustedProxies = {QStringLiteral("127.0.0.1")};
    }
};

TEST_P(BehindProxy, AGuesserIsSlowedAloneAndHisOwnValidKeyDoesNotClearIt) {
    const int port = server->port();
    int status = 0, tries = 0;
    while (status != 429 && tries++ < 8) status = statusFor(port, "errada", "10.0.0.66");
    EXPECT_EQ(status, 429);
    EXPECT_EQ(tries, 6);  // five refusals are free
    EXPECT_EQ(statusFor(port, kKey, "10.0.0.7"), 200);  // a colleague behind the same proxy
    EXPECT_EQ(statusFor(port, kKey, "10.0.0.66"), 429);  // the hold comes before any key is looked at
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(statusFor(port, kKey, "10.0.0.66"), 200);
    EXPECT_EQ(statusFor(port, "errada", "10.0.0.66"), 401);
    EXPECT_EQ(statusFor(port, "errada", "10.0.0.66"), 429);  // the valid call cleared nothing
}

COT_BOTH_BACKENDS(BehindProxy);

TEST(AccessThrottle, TheClientIsTheProxysPeerOnlyFromATrustedProxy) {
    AccessThrottle t;
    QString error;
    ASSERT_TRUE(t.setTrustedProxies({"127.0.0.1", "10.0.0.2"}, &error));
    EXPECT_FALSE(t.setTrustedProxies({"proxy.empresa"}, &error));
    EXPECT_TRUE(error.contains("proxy.empresa"));
    ASSERT_TRUE(t.setTrustedProxies({"127.0.0.1", "10.0.0.2"}, &error));
    struct Case {
        const char *peer, *forwarded, *client;
    } cases[] = {
        {"192.168.1.9", "1.2.3.4", "192.168.1.9"},         // not a proxy: its header is the client's own text
        {"127.0.0.1", "1.2.3.4", "1.2.3.4"},
        {"::ffff:127.0.0.1", "1.2.3.4", "1.2.3.4"},
        {"127.0.0.1", "6.6.6.6, 1.2.3.4", "1.2.3.4"},      // what the client wrote comes first
        {"127.0.0.1", "5.5.5.5, 10.0.0.2", "5.5.5.5"},     // through two trusted proxies
        {"127.0.0.1", "", "127.0.0.1"},
        {"127.0.0.1", "nada", "127.0.0.1"},
    };
    for (const Case &c : cases) EXPECT_EQ(t.clientOf(c.peer, c.forwarded), QByteArray(c.client)) << c.peer << " " << c.forwarded;
}

TEST(AccessThrottle, TheCountDrainsWithTime) {
    AccessThrottle t;
    const auto t0 = AccessThrottle::Clock::now();
    for (int i = 0; i < 8; ++i) t.refused("1.2.3.4", t0);
    EXPECT_EQ(t.wait("1.2.3.4", t0).value_or(0), 8);  // 2^(8-5) s
    EXPECT_FALSE(t.wait("5.6.7.8", t0));
    EXPECT_FALSE(t.wait("1.2.3.4", t0 + std::chrono::seconds(9)));
    EXPECT_NEAR(t.refused("1.2.3.4", t0 + std::chrono::seconds(60)), 7.0, 0.01);  // one forgiven each 30 s
    EXPECT_NEAR(t.refused("1.2.3.4", t0 + std::chrono::minutes(10)), 1.0, 0.01);
}

TEST(Files, AShortKeyFileIsRefusedAndWhatHoldsTheDataIsTheOwnersAlone) {
    struct Umask {
        mode_t saved = ::umask(022);  // the usual one: files readable by all unless made otherwise
        ~Umask() { ::umask(saved); }
    } umask022;
    QTemporaryDir dir;
    QFile key(dir.filePath("token"));
    ASSERT_TRUE(key.open(QIODevice::WriteOnly));
    key.write("1234\n");
    key.close();
    ServerProcess p;
    EXPECT_FALSE(p.start(dir.filePath("cot.db"), {"--token-file", key.fileName()}));
    p.waitForExit(10000);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.errorText().contains("pelo menos 20"));

    DbConfig db;
    QString error;
    ASSERT_TRUE(DbConfig::parse(dir.filePath("cot.db"), &db, &error));
    {
        AppServer server(ServerOptions{.database = db.sqlitePath, .demo = true, .threads = 1});
        ASSERT_TRUE(server.start(&error)) << error.toStdString();
        ASSERT_TRUE(Backup::save(db, dir.filePath("copia.db"), &error)) << error.toStdString();
        DbSession writer(db, "writer");  // a write leaves the log (-wal) beside the file
        writer.open();
        MonthlyIndex::set(writer, "2026-12", 1.0);
        ASSERT_TRUE(QFileInfo::exists(db.sqlitePath + "-wal"));
        for (const QString &f : {db.sqlitePath, db.sqlitePath + "-wal", db.sqlitePath + "-shm"}) EXPECT_EQ(modeOf(f), 0600) << f.toStdString();
    }
    // Deciding only: nothing listens beyond the loopback here.
    TlsCertificate made, again;
    ServerTls::Outcome outcome;
    ASSERT_TRUE(ServerTls::resolve("0.0.0.0", {}, {}, db, &made, &outcome, &error)) << error.toStdString();
    EXPECT_EQ(outcome, ServerTls::Outcome::Generated);
    ASSERT_TRUE(ServerTls::resolve("0.0.0.0", {}, {}, db, &again, &outcome, &error));
    EXPECT_EQ(outcome, ServerTls::Outcome::Reused);
    EXPECT_EQ(again.fingerprint, made.fingerprint);
    QProcess fingerprint;
    fingerprint.start(COT_SERVER_BIN, {"tls", "fingerprint", "--database", db.sqlitePath});
    ASSERT_TRUE(fingerprint.waitForFinished(10000));
    EXPECT_TRUE(fingerprint.readAllStandardOutput().contains(made.fingerprint.toLatin1()));
    QString cert, privateKey;
    ASSERT_TRUE(ServerTls::defaultFiles(db, &cert, &privateKey, &error));
    for (const QString &f : {dir.filePath("copia.db"), cert, privateKey})
        EXPECT_EQ(modeOf(f), 0600) << f.toStdString();
}

// The URL's libpq parameters reach libpq: the throwaway cluster has no TLS,
// so requiring it fails and refusing it works; the password is never shown.
TEST(PostgresUrl, LibpqParametersAreHonouredAndThePasswordNeverShown) {
    if (pgUrl().isEmpty()) GTEST_SKIP() << "COT_TEST_PG_URL não definido.";
    const QString sep = pgUrl().contains('?') ? "&" : "?";
    DbConfig config;
    QString error;
    for (const char *mode : {"disable", "require"}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(DbConfig::parse(pgUrl() + sep + "sslmode=" + mode, &config, &error)) << error.toStdString();
        DbSession s(config, uniqueName("ssl"));
        bool opened = true;
        try {
            s.open();
        } catch (const DbError &e) {
            opened = false;
            EXPECT_TRUE(e.text().contains("SSL", Qt::CaseInsensitive)) << e.text().toStdString();
        }
        EXPECT_EQ(opened, QByteArray(mode) == "disable");
    }
    EXPECT_FALSE(DbConfig::parse(pgUrl() + sep + "sslmode=require;host=x", &config, &error));
    ASSERT_TRUE(DbConfig::parse("postgresql://cot:segredo-da-senha@db/cot?sslmode=verify-full", &config, &error));
    EXPECT_FALSE(config.describe().contains("segredo-da-senha"));
}

// A write on a database file the server can no longer read (overwritten in
// place, or replaced under it) is refused as a storage failure, never
// answered as done.
TEST(DamagedFile, AWriteOnAnUnreadableDatabaseIsRefusedWithStorageFailure) {
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced" : "overwritten in place");
        QTemporaryDir dir;
        const QString path = dir.filePath("cot.db");
        AppServer server(ServerOptions{.database = path, .demo = true, .threads = 2});
        QString error;
        ASSERT_TRUE(server.start(&error)) << error.toStdString();
        TNetConnection net;
        net.Host = "127.0.0.1";
        net.Port = server.port();
        net.ThrowException = false;
        ASSERT_TRUE(net.Call("PrxPrecoProp", {}).ok);
        const QByteArray garbage(64 * 1024, 'x');
        QFile f(replaced ? dir.filePath("outro") : path);
        ASSERT_TRUE(f.open(replaced ? QIODevice::WriteOnly : QIODevice::ReadWrite));
        f.write(garbage);
        f.close();
        if (replaced) ASSERT_EQ(std::rename(QFile::encodeName(f.fileName()).constData(), QFile::encodeName(path).constData()), 0);
        const RpcReply r = net.Call("PrxPrecoProp", {});
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorCode, RpcCode::Storage) << r.errorMessage.toStdString();
    }
}
