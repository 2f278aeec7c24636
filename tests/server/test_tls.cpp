// TLS on the listener and trust on the clients, on both backends, with a
// certificate made here by openssl (as an administrator would).
//
// Test organization:
//   1. The listener: HTTPS answers; plain HTTP or NUL bytes on that port get
//      no data and a closed connection.
//   2. The desktop's connection: a CA file or the pinned fingerprint is
//      trusted; an unknown or changed certificate is refused in the
//      handshake, so a write through it never reaches the server.
//   3. cot-report: --ca and --fingerprint read; an unknown certificate exits 1
//      showing its fingerprint.
//   4. Plain http:// beyond the loopback: refused before connecting.
#include "raw_client.h"
#include "server_fixture.h"

#include <monthly_index.h>
#include <tls_trust.h>

#include <QProcess>
#include <QTemporaryDir>

namespace {

const QString kKey = QStringLiteral("chave-de-teste-com-tls-0123456789");

}  // namespace

class Tls : public ServerTest {
protected:
    void adjust(ServerOptions &o) override {
        ASSERT_TRUE(certs.isValid());
        o.tlsCertFile = certs.filePath("cert.pem");
        o.tlsKeyFile = certs.filePath("key.pem");
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
                                  "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout",
                                  o.tlsKeyFile, "-out", o.tlsCertFile});
        ASSERT_TRUE(openssl.waitForFinished(30000) && openssl.exitCode() == 0) << openssl.readAllStandardError().toStdString();
        o.token = kKey;
    }
    qint64 priceTables() { return count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")); }
    // A price table written through a connection with this trust.
    RpcReply insertThrough(const TlsTrust &trust, TlsCheck *seen) {
        TNetConnection c;
        c.Host = QStringLiteral("https://127.0.0.1");
        c.Port = server->port();
        c.Token = kKey;
        c.Trust = trust;
        c.ThrowException = false;
        const Row row{QStringLiteral("0000000777"), QStringLiteral("Por TLS"), QDateTime(QDate(2026, 1, 1), QTime(0, 0)),
                      QDateTime(QDate(2026, 12, 31), QTime(0, 0)), 10.0, 1.0, 1.0, 1.0, 1.0};
        const RpcReply r = c.Call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), row)});
        *seen = c.LastTlsCheck();
        return r;
    }
    QTemporaryDir certs;
};

TEST_P(Tls, HttpsAnswersAndPlainHttpOnItsPortGetsNoData) {
    EXPECT_TRUE(call(QStringLiteral("getTbPreco")).ok);
    RawSocket raw(server->port());
    raw.send(rpcRequest(R"({"jsonrpc":"2.0","id":1,"method":"getTbPreco","params":[]})", kKey.toUtf8()));
    const QByteArray back = raw.readAnswers(1, 3000);
    EXPECT_FALSE(back.contains("HTTP/1.")) << back.toStdString();
    EXPECT_FALSE(back.contains("jsonrpc"));
    RawSocket nul(server->port());  // not even a request line: the handshake fails at once
    nul.send(QByteArray(8, '\0'));
    EXPECT_TRUE(nul.closedByPeer(2000));
}

TEST_P(Tls, OnlyAVouchedCertificateIsTalkedTo) {
    const QString fingerprint = server->tlsFingerprint();
    ASSERT_EQ(fingerprint, TlsTrustCheck::fingerprintOfFile(options.tlsCertFile));
    QString other = fingerprint;
    other.replace(0, 2, fingerprint.startsWith("00") ? "11" : "00");
    struct Case {
        const char *name;
        TlsTrust trust;
        TlsCheck::Verdict verdict;
    } cases[] = {
        {"the certificate as CA file", {options.tlsCertFile, {}}, TlsCheck::Trusted},
        {"its pinned fingerprint, written in lower case", {{}, fingerprint.toLower().remove(':')}, TlsCheck::Trusted},
        {"nothing but the system's store", {}, TlsCheck::Unknown},
        {"another certificate pinned", {{}, other}, TlsCheck::Changed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 before = priceTables();
        TlsCheck seen;
        const RpcReply r = insertThrough(c.trust, &seen);
        EXPECT_EQ(seen.verdict, c.verdict);
        EXPECT_EQ(seen.fingerprint, fingerprint);
        const bool trusted = c.verdict == TlsCheck::Trusted;
        EXPECT_EQ(r.ok, trusted) << r.errorMessage.toStdString();
        EXPECT_EQ(priceTables(), before + (trusted ? 1 : 0));
        if (trusted) {
            exec(QStringLiteral("DELETE FROM PRECOPROPOSTA"));
        } else {
            EXPECT_TRUE(r.errorMessage.contains(fingerprint)) << r.errorMessage.toStdString();
        }
    }
}

#ifdef COT_REPORT_BIN
TEST_P(Tls, CotReportReadsWithCaOrFingerprintAndRefusesAnUnknownCertificate) {
    const QString code = newPriceTable();
    addBands(true, code, {{1, 20, 0}});
    addBands(false, code, {{1, 150, 0}});
    QString month, error;
    ASSERT_TRUE(MonthlyIndex::parseMonth(QDate::currentDate().toString("yyyy-MM"), &month, &error));
    MonthlyIndex::set(database(), month, 1.0);
    QTemporaryDir home;
    QFile keyFile(home.filePath("chave"));
    ASSERT_TRUE(keyFile.open(QIODevice::WriteOnly));
    keyFile.write(kKey.toUtf8() + "\n");
    keyFile.close();
    const QString url = QStringLiteral("https://127.0.0.1:%1").arg(server->port());
    struct Case {
        const char *name;
        QStringList trust;
        int status;
    } cases[] = {
        {"--ca", {"--ca", options.tlsCertFile}, 0},
        {"--fingerprint", {"--fingerprint", server->tlsFingerprint()}, 0},
        {"neither", {}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QProcess p;
        p.setEnvironment(QProcess::systemEnvironment() << "COT_CONFIG_DIR=" + home.path() << "XDG_DATA_HOME=" + home.path());
        p.start(COT_REPORT_BIN, QStringList{"--server", url, "--token-file", keyFile.fileName(), "--cell", "--systems", "1", "--users",
                                            "1", "--types", "U", "--output", "-"} + c.trust);
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), c.status) << err.toStdString();
        if (c.status == 0) EXPECT_TRUE(p.readAllStandardOutput().startsWith("TIPO;CDPRECOPROP")) << err.toStdString();
        else EXPECT_TRUE(err.contains(server->tlsFingerprint())) << err.toStdString();
    }
}

#endif

COT_BOTH_BACKENDS(Tls);

// The check that keeps a key off the network in clear: made before connecting.
TEST(PlainHttp, IsRefusedBeyondTheLoopbackBeforeConnecting) {
    struct Case {
        const char *host;
        bool loopback;
    } cases[] = {{"127.0.0.1", true}, {"127.3.4.5", true}, {"::1", true}, {"localhost", true},
                 {"10.0.0.5", false}, {"192.168.0.1", false}, {"servidor.empresa", false}, {"::ffff:10.0.0.1", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.host);
        EXPECT_EQ(TlsTrustCheck::isLoopbackHost(c.host), c.loopback);
        if (c.loopback) continue;
        TNetConnection net;
        net.Host = QStringLiteral("http://") + c.host;
        net.Port = 8300;
        net.Token = kKey;
        net.ThrowException = false;
        EXPECT_FALSE(net.Open());
        EXPECT_TRUE(net.LastError().contains(QStringLiteral("Use https://"))) << net.LastError().toStdString();
    }
}
