// cot-host and its server: a server given once is remembered (in a file the
// user alone reads), a later --server replaces it, and a configured server
// that cannot be reached is never replaced by the embedded one.

#include "app_server.h"
#include "host_shell.h"
#include "user_settings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class HostShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid() && data.isValid() && db.isValid());
        SetSettingsFolder(config.path());
    }
    void TearDown() override { SetSettingsFolder(QString()); }

    std::unique_ptr<AppServer> startServer(int port = 0) {
        ServerOptions o;
        o.database = db.filePath(QStringLiteral("cot.db"));
        o.token = QStringLiteral("segredo");
        o.threads = 1;
        o.port = port;
        auto server = std::make_unique<AppServer>(o);
        QString error;
        EXPECT_TRUE(server->start(&error)) << error.toStdString();
        return server;
    }
    static QString url(const AppServer &s) { return QStringLiteral("http://127.0.0.1:%1").arg(s.port()); }

    // The real program, on its own settings and data folders; returns what it
    // printed, "" when it failed.
    QString runHost(const QStringList &args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("COT_CONFIG_DIR"), config.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(COT_HOST_BIN), args + QStringList{QStringLiteral("--no-open"), QStringLiteral("--measure-startup")});
        if (!p.waitForFinished(60000)) p.kill();
        return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
    }
    QString remembered(const char *key) const {
        return QSettings(QDir(config.path()).filePath(QStringLiteral("cot-host.ini")), QSettings::IniFormat).value(QLatin1String(key)).toString();
    }
    bool embeddedDatabaseMade() const { return QFile::exists(data.filePath(QStringLiteral("cot/cot-host/cot.db"))); }

    QTemporaryDir config, data, db;
};

}  // namespace

TEST_F(HostShellTest, AServerGivenOnceIsRememberedAndReplacedByTheNext) {
    auto first = startServer(), second = startServer();
    const QString where = QStringLiteral("dados=servidor 127.0.0.1:%1");
    EXPECT_TRUE(runHost({"--server", url(*first), "--token", "segredo"}).contains(where.arg(first->port())));
    EXPECT_EQ(remembered("server/url"), url(*first));
    EXPECT_EQ(remembered("server/token"), "segredo");
    // A plain start goes to the same server.
    EXPECT_TRUE(runHost({}).contains(where.arg(first->port())));
    EXPECT_TRUE(runHost({"--server", url(*second), "--token", "segredo"}).contains(where.arg(second->port())));
    EXPECT_EQ(remembered("server/url"), url(*second));
    EXPECT_TRUE(runHost({}).contains(where.arg(second->port())));
    EXPECT_FALSE(embeddedDatabaseMade());
    // Read and written by its owner alone, also after the windows were remembered in it.
    EXPECT_EQ(int(QFile::permissions(QDir(config.path()).filePath("cot-host.ini")) & 0x6077), 0x6000);
}

TEST_F(HostShellTest, AnUnreachableOrRefusingServerIsNeverReplacedByTheEmbeddedOne) {
    auto stopped = startServer();
    const int port = stopped->port();
    stopped.reset();
    std::unique_ptr<AppServer> later;
    struct Case {
        const char *name, *token;
        bool retry;  // the answer to the first question; the second is "Sair"
        QString reason;
        bool started;
    } cases[] = {
        {"unreachable, Sair", "segredo", false, "Não foi possível conectar", false},
        {"wrong key, Sair", "errada", false, "chave de acesso", false},
        {"unreachable, Tentar novamente once it is up", "segredo", true, "Não foi possível conectar", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (QString(c.token) == "errada") later = startServer(port);
        ShellOptions o;
        o.serverUrl = QStringLiteral("http://127.0.0.1:%1").arg(port);
        o.token = QLatin1String(c.token);
        o.serverGiven = true;
        o.openModule = false;
        HostShell shell(o);
        QStringList asked;
        shell.setAskRetry([&](const QString &text) {
            asked << text;
            if (!c.retry || asked.size() > 1) return false;
            later = startServer(port);
            return true;
        });
        QString error = QStringLiteral("não apagado");
        EXPECT_EQ(shell.start(&error), c.started) << error.toStdString();
        ASSERT_FALSE(asked.isEmpty());
        EXPECT_TRUE(asked.first().contains(c.reason)) << asked.first().toStdString();
        EXPECT_EQ(shell.dataLocation(), QStringLiteral("servidor 127.0.0.1:%1").arg(port));
        EXPECT_EQ(remembered("server/url").isEmpty(), !c.started);  // remembered only once reached
        if (!c.started) {
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        }
        later.reset();
    }
}
