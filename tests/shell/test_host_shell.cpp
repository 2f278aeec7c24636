// cot-host and its server: a server given once is remembered (in a file the
// user alone reads), a later --server replaces it, and a configured server
// that cannot be reached is never replaced by the embedded one.
#include "app_server.h"
#include "host_shell.h"
#include "user_settings.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

struct HostShellTest : ::testing::Test {
    void SetUp() override { SetSettingsFolder(config.path()); }
    void TearDown() override { SetSettingsFolder(QString()); }
    std::unique_ptr<AppServer> startServer(int port = 0) {
        auto server = std::make_unique<AppServer>(ServerOptions{.port = port, .database = db.filePath("cot.db"), .token = "segredo"});
        QString error;
        EXPECT_TRUE(server->start(&error)) << error.toStdString();
        return server;
    }
    QString remembered(const char *key) { return UserSettings()->value(key).toString(); }
    QTemporaryDir config, data, db;
};

TEST_F(HostShellTest, AServerGivenOnceIsRememberedAndReplacedByTheNext) {
    auto runHost = [&](const QStringList &args) {  // the real program: what it printed
        QProcess p;
        p.setEnvironment(QProcess::systemEnvironment() << "COT_CONFIG_DIR=" + config.path() << "XDG_DATA_HOME=" + data.path());
        p.start(COT_HOST_BIN, args + QStringList{"--no-open", "--measure-startup"});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    auto first = startServer(), second = startServer();
    for (AppServer *s : {first.get(), second.get()}) {
        const QString url = QString("http://127.0.0.1:%1").arg(s->port()), where = "dados=servidor 127.0.0.1:" + QString::number(s->port());
        EXPECT_TRUE(runHost({"--server", url, "--token", "segredo"}).contains(where));
        EXPECT_EQ(remembered("server/url") + remembered("server/token"), url + "segredo");
        EXPECT_TRUE(runHost({}).contains(where));  // a plain start goes to the same server
    }
    EXPECT_FALSE(QFile::exists(data.filePath("cot/cot-host/cot.db")));
    // The server is all a desktop needs: no database of its own beside it.
    EXPECT_FALSE(UserSettings()->contains("server/database"));
    ShellOptions o;
    QString message;
    EXPECT_FALSE(ParseShellOptions({"cot-host", "--server", "http://127.0.0.1:8300", "--database", "postgresql://u:p@h/db"}, &o, &message));
    EXPECT_TRUE(message.contains("--database vale apenas para o servidor embutido")) << message.toStdString();
    // Read and written by its owner alone, also after the windows were remembered in it.
    EXPECT_EQ(int(QFile::permissions(SettingsFilePath()) & 0x6077), 0x6000);
}

TEST_F(HostShellTest, AnUnreachableOrRefusingServerIsAskedAboutNeverReplaced) {
    const int port = startServer()->port();  // stopped again: nobody listens there
    std::unique_ptr<AppServer> later;
    struct Case {
        const char *token;
        bool retry;  // the first answer; any later one is "Sair"
        QString reason;
    } cases[] = {{"segredo", false, "Não foi possível conectar"}, {"errada", false, "chave de acesso"},
                 {"segredo", true, "Não foi possível conectar"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.token + std::to_string(c.retry));
        if (QString(c.token) == "errada") later = startServer(port);
        HostShell shell(ShellOptions{.serverUrl = QString("http://127.0.0.1:%1").arg(port), .serverGiven = true, .token = c.token});
        QStringList asked;
        shell.setAskRetry([&](const QString &text) {
            asked << text;
            if (c.retry && asked.size() == 1) later = startServer(port);
            return c.retry && asked.size() == 1;
        });
        QString error = "não apagado";
        EXPECT_EQ(shell.start(&error), c.retry);
        EXPECT_TRUE(asked.value(0).contains(c.reason)) << asked.value(0).toStdString();
        EXPECT_EQ(error.isEmpty(), !c.retry);  // "Sair": nothing more to say
        EXPECT_EQ(shell.dataLocation(), "servidor 127.0.0.1:" + QString::number(port));
        EXPECT_EQ(remembered("server/url").isEmpty(), !c.retry);  // remembered once reached
        later.reset();
    }
}

// An https server nobody vouches for: the person is shown its fingerprint
// once; an accepted certificate is pinned, a later different one refused
// with a warning and never asked about again.
TEST_F(HostShellTest, AnUnknownCertificateIsAskedOncePinnedAndAChangedOneRefused) {
    QTemporaryDir certs;
    auto makeCert = [&](const QString &name) {
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
                                  "-subj", "/CN=servidor", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", certs.filePath(name + "-key.pem"), "-out", certs.filePath(name + ".pem")});
        EXPECT_TRUE(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
        return ServerOptions{.database = db.filePath("cot.db"), .token = "chave-de-teste-do-cot-host-0123",
                             .tlsCertFile = certs.filePath(name + ".pem"), .tlsKeyFile = certs.filePath(name + "-key.pem")};
    };
    ServerOptions first = makeCert("primeiro"), second = makeCert("segundo");
    auto server = std::make_unique<AppServer>(first);
    QString error;
    ASSERT_TRUE(server->start(&error)) << error.toStdString();
    const int port = server->port();
    first.port = second.port = port;
    const QString address = "127.0.0.1:" + QString::number(port), fingerprint = server->tlsFingerprint();
    struct Step {
        bool fromSettings, accept, started;
        QString asked, warned;
        QStringList extra;
    } steps[] = {
        {false, false, false, fingerprint, {}, {}},  // declined: nothing kept
        {false, true, true, fingerprint, {}, {}},
        {true, false, true, {}, {}, {}},             // the next start goes straight in
        {true, false, false, {}, "mudou", {}},       // another certificate at that address
        {false, false, true, {}, {}, {"--ca", second.tlsCertFile}},  // the administrator's file vouches for it
        {true, false, true, {}, {}, {}},             // and is remembered with the server
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(&s - steps);
        if (&s == &steps[3]) {
            server = std::make_unique<AppServer>(second);
            ASSERT_TRUE(server->start(&error)) << error.toStdString();
        }
        ShellOptions o;
        ASSERT_TRUE(ParseShellOptions((s.fromSettings ? QStringList{"cot-host"}
                                                      : QStringList{"cot-host", "--server", "https://" + address, "--token", first.token}) +
                                          s.extra,
                                      &o, &error));
        HostShell shell(o);
        QString asked, warned;
        shell.setAskTrust([&](const QString &where, const QString &shown) {
            asked = shown;
            EXPECT_EQ(where, address);
            return s.accept;
        });
        shell.setAskRetry([&](const QString &text) {
            warned = text;
            return false;
        });
        EXPECT_EQ(shell.start(&error), s.started) << error.toStdString();
        EXPECT_EQ(asked, s.asked);
        EXPECT_TRUE(s.warned.isEmpty() ? warned.isEmpty() : warned.contains(s.warned) && warned.contains(server->tlsFingerprint()))
            << warned.toStdString();
        EXPECT_EQ(PinnedCertificate(address), &s == &steps[0] ? QString() : fingerprint);
    }
}
