#include "host_shell.h"
#include "method_names.h"

#include "app_server.h"
#include "db_config.h"
#include "dialogs.h"
#include "host_application.h"
#include "host_services.h"
#include "net_connection.h"
#include "rpc_codes.h"
#include "ui_dispatch.h"
#include "user_settings.h"
#include "window_memory.h"

#include <QAction>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>

namespace {

QString usageText(const QString &settingsFile) {
    return QStringLiteral(
               "Uso: cot-host [--server https://HOST:PORTA] [--token-file ARQUIVO] [--ca CERTIFICADO.pem]\n"
               "       cot-host [--database ARQUIVO|postgresql://...] [--data-dir PASTA] [--no-open]\n"
               "Com --server (e --token), o servidor informado fica gravado em %1 (seção [server]: url e token;\n"
               "arquivo legível só pelo usuário) e as próximas partidas sem argumentos usam o mesmo servidor;\n"
               "um novo --server substitui o anterior. --token-file lê a chave de um arquivo (fora da lista de processos).\n"
               "Um servidor fora desta máquina só é aceito com https://. Seu certificado é conferido pelo de --ca (lembrado\n"
               "com o servidor), pelos certificados do sistema ou, no primeiro contato, pela impressão digital que o programa\n"
               "mostra e que o administrador deve confirmar; aceito, fica registrado, e outro certificado depois é recusado.\n"
               "Com um servidor configurado que não responde, o programa avisa e\n"
               "oferece tentar de novo ou sair: nunca abre o banco local no lugar dele.\n"
               "O programa só lê os dados pelo servidor de aplicação: não abre banco de dados nem guarda credenciais dele.\n"
               "Sem servidor configurado (ou com --data-dir), inicia o servidor de aplicação embutido sobre um arquivo\n"
               "SQLite na pasta de dados do usuário, ou sobre o banco de --database.")
        .arg(settingsFile);
}

QUrl serverUrl(const QString &text) {
    return QUrl(text.contains(QLatin1String("://")) ? text : QStringLiteral("http://") + text);
}

}  // namespace

bool ParseShellOptions(const QStringList &args, ShellOptions *o, QString *message) {
    const auto settings = UserSettings();
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : {"server", "token", "token-file", "ca", "database", "data-dir"})
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("valor")));
    for (const char *name : {"no-open", "measure-startup"}) parser.addOption(QCommandLineOption(QLatin1String(name)));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(args.isEmpty() ? QStringList{QStringLiteral("cot-host")} : args)) {
        if (!parser.unknownOptionNames().isEmpty()) {
            const QString name = parser.unknownOptionNames().first();
            *message = QStringLiteral("Argumento desconhecido: %1%2. Use --help.").arg(name.size() == 1 ? "-" : "--", name);
        } else {
            *message = QStringLiteral("Falta o valor de %1.").arg(args.last());
        }
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        *message = usageText(settings->fileName());
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *message = QStringLiteral("Argumento desconhecido: %1. Use --help.").arg(parser.positionalArguments().first());
        return false;
    }
    o->dataDir = parser.value(QStringLiteral("data-dir"));
    o->openModule = !parser.isSet(QStringLiteral("no-open"));
    o->measureStartup = parser.isSet(QStringLiteral("measure-startup"));
    o->serverGiven = parser.isSet(QStringLiteral("server"));
    // A server on the command line replaces the remembered one with all it
    // came with; --data-dir asks for the embedded server whatever is remembered.
    // --database names the embedded server's database, so it starts that one.
    o->database = parser.value(QStringLiteral("database"));
    if (o->serverGiven && !o->database.isEmpty()) {
        *message = QStringLiteral("Com --server, o programa lê os dados só pelo servidor de aplicação: --database vale apenas "
                                  "para o servidor embutido.");
        return false;
    }
    if (o->serverGiven) {
        o->serverUrl = parser.value(QStringLiteral("server"));
        o->token = parser.value(QStringLiteral("token"));
    } else if (o->dataDir.isEmpty() && o->database.isEmpty()) {
        o->serverUrl = settings->value(QStringLiteral("server/url")).toString();
        o->token = settings->value(QStringLiteral("server/token")).toString();
        o->caFile = settings->value(QStringLiteral("server/ca")).toString();
    }
    if (parser.isSet(QStringLiteral("token"))) o->token = parser.value(QStringLiteral("token"));
    if (parser.isSet(QStringLiteral("token-file")) && !ReadTokenFile(parser.value(QStringLiteral("token-file")), &o->token, message))
        return false;
    if (parser.isSet(QStringLiteral("ca"))) o->caFile = QFileInfo(parser.value(QStringLiteral("ca"))).absoluteFilePath();
    if (!o->serverUrl.isEmpty()) {
        const QUrl url = serverUrl(o->serverUrl);
        if (!url.isValid() || url.host().isEmpty() || url.port() <= 0 ||
            (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
            *message = QStringLiteral("Endereço de servidor inválido: %1 (use https://HOST:PORTA).").arg(o->serverUrl);
            return false;
        }
        if (url.scheme() == QLatin1String("http") && !TlsTrustCheck::isLoopbackHost(url.host())) {
            *message = QStringLiteral("O servidor %1 não está nesta máquina: a chave de acesso e os dados não são enviados sem "
                                      "criptografia. Use https://%1:%2.").arg(url.host()).arg(url.port());
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

QString HostShell::dataLocation() const { return m_dataLocation; }

bool HostShell::reachServer(QString *reason, TlsCheck *check) const {
    TNetConnection connection;
    connection.Host = CurrentHostSettings().webUrl;
    connection.Port = CurrentHostSettings().webPort;
    connection.Token = CurrentHostSettings().token;
    connection.TimeoutMs = 10000;
    connection.ThrowException = false;
    // The call below is the check: no /health before it. Its socket stays
    // open for the main screen, which then needs no check of its own.
    connection.CheckOnOpen = false;
    if (!connection.Open()) {  // an address refused before any byte is sent
        *check = connection.LastTlsCheck();
        *reason = connection.LastError();
        return false;
    }
    // Any method tells whether the server is there and the key is taken; this one reads one row.
    const RpcReply reply = connection.Call(Method::getIndiceBtn, {});
    *check = connection.LastTlsCheck();
    if (reply.ok || (reply.errorCode != RpcCode::Unauthorized && reply.errorCode != RpcCode::Transport)) return true;
    *reason = reply.errorMessage;
    return false;
}

void HostShell::rememberServer() const {
    auto s = UserSettings();
    s->setValue(QStringLiteral("server/url"), m_options.serverUrl);
    s->setValue(QStringLiteral("server/token"), m_options.token);
    if (m_options.caFile.isEmpty()) s->remove(QStringLiteral("server/ca"));
    else s->setValue(QStringLiteral("server/ca"), m_options.caFile);
    // Database credentials an older version kept here go: the server is all a desktop needs.
    s->remove(QStringLiteral("server/database"));
    s->sync();
    keepSettingsPrivate();
}

// The key opens the shared data to whoever reads it: the user alone may.
void HostShell::keepSettingsPrivate() const {
    QFile::setPermissions(SettingsFilePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool HostShell::startEmbeddedServer(QString *error) {
    QString dir = m_options.dataDir;
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("Não foi possível criar a pasta de dados %1.").arg(dir);
        return false;
    }
    const QString database = m_options.database.isEmpty() ? QDir(dir).filePath(QStringLiteral("cot.db")) : m_options.database;
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
    DbConfig config;
    QString ignored;
    m_dataLocation = DbConfig::parse(database, &config, &ignored) && config.dialect != Dialect::SQLite
                         ? QStringLiteral("servidor embutido sobre %1").arg(config.describe())
                         : QStringLiteral("banco local em %1").arg(QDir::toNativeSeparators(database));
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
    // Where the data lives is always in sight: a private copy must never pass for the shared one.
    w->setWindowTitle(QStringLiteral("COT — Proposta Comercial — %1").arg(m_dataLocation));
    w->resize(1100, 720);
    WindowMemory::restoreMainWindow(w);
    QMenu *cadastros = w->menuBar()->addMenu(QStringLiteral("&Cadastros"));
    QAction *open = cadastros->addAction(QIcon::fromTheme(QStringLiteral("x-office-spreadsheet")),
                                         QStringLiteral("&Preços e Descontos para Proposta Comercial"));
    QObject::connect(open, &QAction::triggered, w, [this] { openPriceTables(); });
    cadastros->addSeparator();
    QAction *quit = cadastros->addAction(QIcon::fromTheme(QStringLiteral("application-exit")), QStringLiteral("&Sair"));
    QObject::connect(quit, &QAction::triggered, w, &QMainWindow::close);
    HostApplication::instance().setStatusText(QStringLiteral("Dados: %1").arg(m_dataLocation));
}

bool HostShell::start(QString *error) {
    if (m_options.serverUrl.isEmpty()) {
        if (!startEmbeddedServer(error)) return false;
    } else {
        const QUrl url = serverUrl(m_options.serverUrl);
        const bool tls = url.scheme() == QLatin1String("https");
        HostSettings hs;
        hs.webUrl = tls ? QStringLiteral("https://") + url.host() : url.host();
        hs.webPort = url.port();
        hs.token = m_options.token;
        const QString address = QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
        hs.trust.caFile = m_options.caFile;
        if (tls && m_options.caFile.isEmpty()) hs.trust.pinnedFingerprint = PinnedCertificate(address);
        SetHostSettings(hs);
        m_dataLocation = QStringLiteral("servidor %1").arg(address);
        // Never the embedded server instead: the user would type into a private copy.
        QString reason;
        TlsCheck check;
        while (!reachServer(&reason, &check)) {
            // First contact with a certificate nobody vouches for: the person
            // compares its fingerprint with the administrator's, as with SSH.
            if (check.verdict == TlsCheck::Unknown && !hs.trust.vouched() && m_askTrust) {
                if (!m_askTrust(address, check.fingerprint)) {
                    error->clear();
                    return false;
                }
                PinCertificate(address, check.fingerprint);
                keepSettingsPrivate();
                hs.trust.pinnedFingerprint = check.fingerprint;
                SetHostSettings(hs);
                continue;
            }
            const QString text = QStringLiteral("%1\n\nO programa não abre o banco local no lugar do servidor configurado (%2). "
                                                "Verifique a rede, o servidor e a chave de acesso.")
                                     .arg(reason, m_dataLocation);
            if (!m_askRetry || !m_askRetry(text)) {
                error->clear();  // the user chose to leave: nothing more to say
                return false;
            }
        }
        if (m_options.serverGiven) rememberServer();
        else if (!m_options.token.isEmpty()) keepSettingsPrivate();  // a key written there by hand
    }
    buildMainWindow();
    return loadModule(error);
}

void HostShell::openPriceTables() {
    if (!m_iniProc) return;
    RunGuarded([this] { m_iniProc(); });
}
