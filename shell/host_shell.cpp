#include "host_shell.h"

#include "app_server.h"
#include "db_geral.h"
#include "dialogs.h"
#include "host_application.h"
#include "host_services.h"
#include "ui_dispatch.h"
#include "user_settings.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>

bool ParseShellOptions(const QStringList &args, ShellOptions *o, QString *message) {
    // The settings file gives the defaults; the command line overrides them.
    const auto settings = UserSettings();
    o->serverUrl = settings->value(QStringLiteral("server/url")).toString();
    o->token = settings->value(QStringLiteral("server/token")).toString();
    o->database = settings->value(QStringLiteral("server/database")).toString();
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        auto value = [&](QString *out) {
            if (i + 1 >= args.size()) {
                *message = QStringLiteral("Falta o valor de %1.").arg(a);
                return false;
            }
            *out = args[++i];
            return true;
        };
        if (a == QLatin1String("--server")) { if (!value(&o->serverUrl)) return false; }
        else if (a == QLatin1String("--token")) { if (!value(&o->token)) return false; }
        else if (a == QLatin1String("--database")) { if (!value(&o->database)) return false; }
        else if (a == QLatin1String("--data-dir")) { if (!value(&o->dataDir)) return false; }
        else if (a == QLatin1String("--no-open")) o->openModule = false;
        else if (a == QLatin1String("--measure-startup")) o->measureStartup = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            *message = QStringLiteral(
                "Uso: cot-host [--server http://HOST:PORTA] [--token CHAVE] [--database ARQUIVO|postgresql://...]\n"
                "              [--data-dir PASTA] [--no-open]\n"
                "Sem --server, inicia o servidor de aplicação embutido sobre um arquivo SQLite na pasta de dados do usuário.\n"
                "Padrões também podem vir de %1 (seção [server]: url, token, database).")
                           .arg(settings->fileName());
            return false;
        } else {
            *message = QStringLiteral("Argumento desconhecido: %1. Use --help.").arg(a);
            return false;
        }
    }
    if (!o->serverUrl.isEmpty()) {
        const QUrl url(o->serverUrl.contains(QLatin1String("://")) ? o->serverUrl : QStringLiteral("http://") + o->serverUrl);
        if (!url.isValid() || url.host().isEmpty() || url.port() <= 0) {
            *message = QStringLiteral("Endereço de servidor inválido: %1 (use http://HOST:PORTA).").arg(o->serverUrl);
            return false;
        }
    }
    return true;
}

HostShell::HostShell(const ShellOptions &options) : m_options(options) {}

HostShell::~HostShell() {
    if (m_finalize) m_finalize();
    if (m_server) m_server->stop();
}

QString HostShell::serverDescription() const { return m_serverDescription; }

bool HostShell::startEmbeddedServer(QString *error) {
    QString dir = m_options.dataDir;
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("Não foi possível criar a pasta de dados %1.").arg(dir);
        return false;
    }
    const QString database = QDir(dir).filePath(QStringLiteral("cot.db"));
    ServerOptions so;
    so.listenHost = QStringLiteral("127.0.0.1");
    so.port = 0;
    so.database = database;
    so.demo = true;  // only fills a new, empty database
    so.threads = 4;
    so.token = QString::number(QRandomGenerator::system()->generate64(), 16) +
               QString::number(QRandomGenerator::system()->generate64(), 16);
    m_server = std::make_unique<AppServer>(so);
    if (!m_server->start(error)) return false;

    HostSettings hs;
    hs.webUrl = QStringLiteral("127.0.0.1");
    hs.webPort = m_server->port();
    hs.token = so.token;
    SetHostSettings(hs);
    if (m_options.database.isEmpty()) m_options.database = database;
    m_serverDescription = QStringLiteral("Servidor embutido em 127.0.0.1:%1 — %2").arg(hs.webPort).arg(database);
    return true;
}

bool HostShell::loadModule(QString *error) {
    // Beside the program in a build tree; in lib/cot/ of an installed one.
    const QDir bin(QCoreApplication::applicationDirPath());
    QString module = bin.filePath(QStringLiteral("libPkg_cot00300.so"));
    if (!QFileInfo::exists(module)) module = bin.filePath(QStringLiteral("../lib/cot/libPkg_cot00300.so"));
    m_module.setFileName(module);
    if (!m_module.load()) {
        *error = QStringLiteral("Não foi possível carregar o módulo Pkg_cot00300: %1").arg(m_module.errorString());
        return false;
    }
    auto initialize = reinterpret_cast<void (*)()>(m_module.resolve("Initialize"));
    m_iniProc = reinterpret_cast<void (*)()>(m_module.resolve("IniProc"));
    m_finalize = reinterpret_cast<void (*)()>(m_module.resolve("Finalize"));
    if (!initialize || !m_iniProc || !m_finalize) {
        *error = QStringLiteral("O módulo Pkg_cot00300 não exporta IniProc, Initialize e Finalize.");
        m_iniProc = nullptr;
        m_finalize = nullptr;
        return false;
    }
    initialize();
    return true;
}

void HostShell::buildMainWindow() {
    QMainWindow *w = HostApplication::instance().mainWindow();
    w->setWindowTitle(QStringLiteral("COT — Proposta Comercial"));
    w->resize(1100, 720);
    WindowMemory::restoreMainWindow(w);
    QMenu *cadastros = w->menuBar()->addMenu(QStringLiteral("&Cadastros"));
    QAction *open = cadastros->addAction(QIcon::fromTheme(QStringLiteral("x-office-spreadsheet")),
                                         QStringLiteral("&Preços e Descontos para Proposta Comercial"));
    QObject::connect(open, &QAction::triggered, w, [this] { openPriceTables(); });
    cadastros->addSeparator();
    QAction *quit = cadastros->addAction(QIcon::fromTheme(QStringLiteral("application-exit")), QStringLiteral("&Sair"));
    QObject::connect(quit, &QAction::triggered, w, &QMainWindow::close);
    HostApplication::instance().setStatusText(m_serverDescription);
}

bool HostShell::start(QString *error) {
    if (m_options.serverUrl.isEmpty()) {
        if (!startEmbeddedServer(error)) return false;
    } else {
        const QUrl url(m_options.serverUrl.contains(QLatin1String("://")) ? m_options.serverUrl
                                                                           : QStringLiteral("http://") + m_options.serverUrl);
        HostSettings hs;
        hs.webUrl = url.host();
        hs.webPort = url.port();
        hs.token = m_options.token;
        SetHostSettings(hs);
        m_serverDescription = QStringLiteral("Servidor de aplicação em %1:%2").arg(hs.webUrl).arg(hs.webPort);
    }
    if (!m_options.database.isEmpty()) {
        QString dbError;
        if (!dtmDBGeral().open(m_options.database, &dbError))
            Dialogs().showMessage(QStringLiteral("O banco de dados compartilhado não pôde ser aberto: %1").arg(dbError),
                                  MsgType::Warning, MsgButton::Ok);
    }
    buildMainWindow();
    return loadModule(error);
}

void HostShell::openPriceTables() {
    if (!m_iniProc) return;
    RunGuarded([this] { m_iniProc(); });
}
