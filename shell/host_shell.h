#pragma once
// The host program: where the application server is (embedded or remote),
// the main window with its menu, and the loadable module.

#include <QLibrary>
#include <QString>

#include "tls_trust.h"
#include <functional>
#include <memory>

class AppServer;

struct ShellOptions {
    QString serverUrl;     // empty: start the embedded server
    bool serverGiven = false;  // on the command line: remembered once reached
    QString token;         // for a remote server
    QString caFile;        // an https server's certificate is verified against it (remembered with the server)
    QString database;      // the embedded server's database: SQLite path or postgresql:// URL
    QString dataDir;       // embedded server's folder (default: the user's data folder)
    bool openModule = true;
    bool measureStartup = false;  // print the time to the price tables shown, then quit
};

// Reads the command line and the settings file (command line wins; a server
// given there replaces the remembered one with its token).
// Returns false, with a message, for bad arguments.
bool ParseShellOptions(const QStringList &args, ShellOptions *options, QString *message);

class HostShell {
public:
    explicit HostShell(const ShellOptions &options);
    ~HostShell();

    // Starts or reaches the server, builds the main
    // window and loads the module. False, with a Portuguese reason, when the
    // program cannot go on; with none when the user chose to leave.
    bool start(QString *error);
    void openPriceTables();  // the menu entry: the module's IniProc
    // "servidor HOST:PORTA" or "banco local em CAMINHO".
    QString dataLocation() const;
    // Asked when the configured server cannot be reached or refuses the key:
    // true to try again, false to leave.
    void setAskRetry(std::function<bool(const QString &)> ask) { m_askRetry = std::move(ask); }
    // Asked on first contact with an https server whose certificate nobody
    // vouches for: true when the person recognises the fingerprint (address,
    // fingerprint); the certificate is then pinned for that server.
    void setAskTrust(std::function<bool(const QString &, const QString &)> ask) { m_askTrust = std::move(ask); }

private:
    bool startEmbeddedServer(QString *error);
    bool loadModule(QString *error);
    bool reachServer(QString *reason, TlsCheck *check) const;
    void rememberServer() const;
    void keepSettingsPrivate() const;
    void buildMainWindow();

    ShellOptions m_options;
    std::unique_ptr<AppServer> m_server;
    QLibrary m_module;
    void (*m_iniProc)() = nullptr;
    void (*m_finalize)() = nullptr;
    QString m_dataLocation;
    std::function<bool(const QString &)> m_askRetry;
    std::function<bool(const QString &, const QString &)> m_askTrust;
};
