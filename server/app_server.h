#pragma once
// The application server: the remote data module "Cot00300.rdmTbPreProCom"
// over HTTP (JSON-RPC 2.0), on a SQLite file or a PostgreSQL database. The
// desktop shell embeds it; the cot-server program runs it on its own.
//
// A QCoreApplication (or QApplication) must exist while the server runs: the
// database drivers are Qt plugins.

#include <QString>
#include <QStringList>
#include <memory>

struct ServerOptions {
    QString listenHost = QStringLiteral("127.0.0.1");
    int port = 0;      // 0 = a free port, see AppServer::port()
    QString database;  // SQLite path or postgresql://user@host:port/db[?schema=NAME]
    QString token;     // bearer token; empty = no token (then loopback only)
    bool demo = false; // fill an empty database with demonstration data
    int threads = 8;   // database workers, each with its own database connection
    qint64 maxBodyBytes = 8 * 1024 * 1024;
    int maxConnections = 4096;          // open at once; idle ones cost a socket, not a thread
    // From one client address; 0: only the overall limit. -1: 64 when listening
    // beyond the loopback (one address cannot hold the listener), none on the
    // loopback (the embedded server, instances whose one client is the proxy).
    int maxConnectionsPerAddress = -1;
    // A connection silent this long is closed. Long enough for a desktop's
    // link, which sends an empty request after 100 s of quiet, to stay open
    // all day; an idle socket costs the server a descriptor and a few KiB.
    int idleTimeoutSeconds = 300;
    int maxWriteMs = 30000;             // a write holding the write lock longer is rolled back; 0: no limit
    // HTTPS with this certificate and key (PEM files). Without them a server
    // listening beyond the loopback makes its own beside the database.
    QString tlsCertFile;
    QString tlsKeyFile;
    QStringList trustedProxies;  // peers whose X-Forwarded-For names the client
};

class AppServer {
public:
    explicit AppServer(const ServerOptions &options);
    ~AppServer();  // stops
    AppServer(const AppServer &) = delete;
    AppServer &operator=(const AppServer &) = delete;

    // Opens the database (creating the schema or bringing it up to date), fills
    // demonstration data when asked and listens in background threads. False,
    // with a Portuguese reason in *error, when it cannot.
    bool start(QString *error);
    int port() const;  // the port listened on; 0 before start
    // SHA-256 of the certificate served ("AB:CD:..."); empty on plain HTTP.
    QString tlsFingerprint() const;
    // Stops listening, lets the requests under way finish and answer, and closes
    // every other connection.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
