#include "app_server.h"

#include "db_config.h"
#include "db_session.h"
#include "demo_data.h"
#include "methods/methods.h"
#include "rpc_dispatcher.h"
#include "rpc_batch.h"
#include "schema.h"
#include "codes.h"
#include "http/http_server.h"
#include "openrpc.h"
#include "user_keys.h"
#include "audit_trail.h"
#include "request_log.h"
#include "local_clock.h"
#include "wal_checkpointer.h"
#include "write_lane.h"
#include "access_gate.h"
#include "private_files.h"
#include "server_tls.h"


#include <QRegularExpression>
#include <QDateTime>
#include <QFileInfo>
#include <QDir>
#include <atomic>
#include <charconv>
#include <chrono>
#include <limits>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

const char *const kRpcPath = "/rpc/Cot00300.rdmTbPreProCom";

std::atomic<quint64> g_nextServerId{1};
std::atomic<quint64> g_nextConnection{1};

// Each worker thread keeps one database connection per server it serves; the
// connections close when the thread ends (when the server stops).
struct ThreadSessions {
    std::unordered_map<quint64, std::unique_ptr<DbSession>> sessions;
};
thread_local ThreadSessions t_sessions;

void logLine(const QString &what, double ms, const QString &outcome) { RequestLog::entry(what.toUtf8(), ms, outcome.toUtf8()); }

}  // namespace

struct AppServer::Impl : HttpService {
    ServerOptions options;
    DbConfig db;
    quint64 id = g_nextServerId++;
    MethodRegistry registry;
    RpcDispatcher dispatcher{registry};
    AuditTrail audit;  // every change written, in its own transaction
    std::unique_ptr<WalCheckpointer> checkpointer;  // SQLite only; before the workers' first connection
    std::unique_ptr<WriteLane> writeLane;           // SQLite only
    std::unique_ptr<HttpServer> http;
    AccessGate access;  // keys, roles and the throttle on wrong keys
    TlsCertificate tls;       // empty: plain HTTP (loopback only)
    bool running = false;

    // The writer and the checkpointer of a SQLite file; stopped once no
    // worker is left to hand them work.
    void startSqliteThreads() {
        checkpointer = std::make_unique<WalCheckpointer>(db, QStringLiteral("cot-server-%1-checkpoint").arg(id));
        writeLane = std::make_unique<WriteLane>(db, QStringLiteral("cot-server-%1-writer").arg(id));
        WriteLane *lane = writeLane.get();
        dispatcher.setWriteLane([lane](const std::function<void(DbSession &)> &call) { lane->run(call); });
    }

    void stopSqliteThreads() {
        dispatcher.setWriteLane({});
        writeLane.reset();
        checkpointer.reset();
    }

    DbSession &session() {
        auto &slot = t_sessions.sessions[id];
        if (!slot) {
            slot = std::make_unique<DbSession>(db, QStringLiteral("cot-server-%1-%2").arg(id).arg(g_nextConnection++));
            slot->setManualCheckpoints(checkpointer != nullptr);
        }
        return *slot;
    }

    // The remote data module's absolute URL as the client named this server
    // (GET /openrpc.json); a Host that is not a plain host[:port] gives the
    // loopback address.
    QString serverUrl(const QByteArray &host) const {
        static const QRegularExpression plain(QStringLiteral("^([A-Za-z0-9.-]+|\\[[0-9A-Fa-f:.]+\\])(:[0-9]{1,5})?$"));
        const QString h = QString::fromLatin1(host);
        const QString name = plain.match(h).hasMatch() ? h : QStringLiteral("127.0.0.1:%1").arg(http ? http->port() : 0);
        return QStringLiteral("%1://%2%3").arg(tls.certPem.isEmpty() ? "http" : "https", name, QLatin1String(kRpcPath));
    }

    static HttpAnswer error(int status, const QString &message) {
        HttpAnswer a;
        a.status = status;
        a.body = rpcErrorBody(QJsonValue::Null, RpcCode::InvalidRequest, message);
        return a;
    }

    static void logHttp(const HttpRequest &r, int status) {
        logLine(QStringLiteral("%1 %2").arg(QString::fromLatin1(r.method), Codes::shown(QString::fromUtf8(r.path), 80)), -1,
                QStringLiteral("http %1").arg(status));
    }

    std::optional<HttpAnswer> admit(const HttpRequest &head) override {
        const bool rpc = head.path == kRpcPath;
        if (rpc && head.method == "POST") {
            std::optional<HttpAnswer> refused = access.admit(head);
            if (refused) logHttp(head, refused->status);
            return refused;
        }
        if (head.path == "/health" && (head.method == "GET" || head.method == "HEAD")) return std::nullopt;
        if (head.path == "/openrpc.json" && (head.method == "GET" || head.method == "HEAD")) {
            HttpAnswer a;
            a.body = OpenRpc::document(registry, serverUrl(head.host));
            logHttp(head, a.status);
            return a;
        }
        HttpAnswer a = rpc ? error(405, QStringLiteral("O módulo Cot00300.rdmTbPreProCom só aceita chamadas pelo método POST."))
                           : error(404, QStringLiteral("Recurso não encontrado no servidor de aplicação."));
        logHttp(head, a.status);
        return a;
    }

    HttpAnswer answer(const HttpRequest &request) override {
        if (request.path == "/health") return health();
        const auto started = std::chrono::steady_clock::now();
        std::variant<Caller, HttpAnswer> who = access.caller(request, session());
        if (auto *refused = std::get_if<HttpAnswer>(&who)) return std::move(*refused);
        const Caller &caller = std::get<Caller>(who);
        RpcDispatcher::Outcome out;
        try {
            out = RpcBatch::handle(dispatcher, request.body, session(), caller, request.idempotencyKey);
        } catch (...) {
            out.code = RpcCode::Storage;
            out.body = rpcErrorBody(QJsonValue::Null, RpcCode::Storage, QStringLiteral("Falha interna do servidor de aplicação."));
        }
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        const QByteArray what = "rpc " + (out.method.isEmpty() ? QByteArray("-") : out.method.toUtf8());
        RequestLog::entry(what, ms, out.code == 0 ? QByteArray("ok") : "erro " + QByteArray::number(out.code));
        HttpAnswer a;
        if (out.notification) a.status = 204;
        else a.body = std::move(out.body);
        return a;
    }

    // Ok only when the schema really reads: a SQLite file is opened afresh (a
    // kept connection may answer from pages cached before the file was damaged)
    // and checked; a kept PostgreSQL connection lost under us is opened again once.
    HttpAnswer health() {
        bool ok = false;
        for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
            const bool fresh = db.dialect == Dialect::SQLite;
            std::unique_ptr<DbSession> own;
            if (fresh) own = std::make_unique<DbSession>(db, QStringLiteral("cot-server-%1-health-%2").arg(id).arg(g_nextConnection++));
            DbSession &s = fresh ? *own : session();
            try {
                s.open();
                ok = Schema::readable(s);
            } catch (...) {
                ok = false;
            }
            if (!ok) s.close();
            if (fresh) break;
        }
        HttpAnswer a;
        a.status = ok ? 200 : 503;
        a.body = ok ? QByteArrayLiteral("{\"status\":\"ok\"}") : QByteArrayLiteral("{\"status\":\"indisponivel\"}");
        return a;
    }

    HttpAnswer refusal(const HttpRequest &head, int status) override {
        QString message;
        switch (status) {
        case 413: message = QStringLiteral("A requisição excede o tamanho máximo aceito pelo servidor de aplicação."); break;
        case 415:
            message = QStringLiteral("O servidor de aplicação não aceita corpo de requisição comprimido: envie o JSON sem Content-Encoding.");
            break;
        case 503: message = QStringLiteral("O servidor de aplicação está sendo encerrado. Tente novamente em instantes."); break;
        default: message = QStringLiteral("Falha interna do servidor de aplicação."); break;
        }
        logHttp(head, status);
        return error(status, message);
    }

    HttpAnswer busy(const HttpRequest &head) override {
        logHttp(head, 503);
        HttpAnswer a = error(503, QStringLiteral("O servidor de aplicação está processando outra requisição grande. Tente novamente em "
                                                 "instantes."));
        a.retryAfterSeconds = 1;
        return a;
    }
};

AppServer::AppServer(const ServerOptions &options) : d(std::make_unique<Impl>()) {
    d->options = options;
    Methods::registerAll(d->registry);
    d->dispatcher.setWriteObserver(&d->audit);
    d->dispatcher.setWriteTimeLimit(std::chrono::milliseconds(std::max(0, options.maxWriteMs)));
}

AppServer::~AppServer() { stop(); }

int AppServer::port() const { return d->http ? d->http->port() : 0; }

QString AppServer::tlsFingerprint() const { return d->tls.fingerprint; }

bool AppServer::start(QString *error) {
    QString dummy;
    if (!error) error = &dummy;
    if (d->running) return true;
    const ServerOptions &o = d->options;
    if (o.token.isEmpty() && !resolvesToLoopbackOnly(o.listenHost)) {
        *error = QStringLiteral("Sem chave de acesso (token) o servidor de aplicação só pode escutar no endereço local "
                                "(127.0.0.1); \"%1\" foi recusado.")
                     .arg(o.listenHost);
        return false;
    }
    if (o.threads < 1 || o.threads > 512) {
        *error = QStringLiteral("Número de threads inválido: %1 (use de 1 a 512).").arg(o.threads);
        return false;
    }
    if (!DbConfig::parse(o.database, &d->db, error)) return false;
    if (!d->access.setTrustedProxies(o.trustedProxies, error)) return false;
    if (d->db.dialect == Dialect::SQLite) {
        const QFileInfo file(d->db.sqlitePath);
        if (!file.absoluteDir().exists() && !QDir().mkpath(file.absolutePath())) {
            *error = QStringLiteral("Não foi possível criar a pasta do banco de dados %1.").arg(file.absolutePath());
            return false;
        }
        // A new database is the user's alone; SQLite gives its -wal and -shm the same mode.
        if (!PrivateFiles::createEmpty(d->db.sqlitePath, error)) return false;
    }
    ServerTls::Outcome tlsOutcome = ServerTls::Outcome::Plain;
    if (!ServerTls::resolve(o.listenHost, o.tlsCertFile, o.tlsKeyFile, d->db, &d->tls, &tlsOutcome, error)) return false;
    if (tlsOutcome == ServerTls::Outcome::Generated)
        logLine(QStringLiteral("tls"), -1, QStringLiteral("certificado autoassinado gerado ao lado do banco de dados"));

    // Schema and demonstration data, on a connection of this thread only.
    {
        DbSession boot(d->db, QStringLiteral("cot-server-%1-boot").arg(d->id));
        try {
            boot.open();
            Schema::migrate(boot);
            if (o.demo && DemoData::fillIfEmpty(boot))
                logLine(QStringLiteral("demo"), -1, QStringLiteral("dados de demonstração gravados"));
        } catch (const DbError &e) {
            *error = QStringLiteral("Não foi possível preparar o banco de dados (%1): %2").arg(d->db.describe(), e.text());
            return false;
        }
    }

    d->access.setAdministratorToken(o.token);
    HttpLimits limits;
    limits.maxBodyBytes = std::max<qint64>(1024, o.maxBodyBytes);
    limits.workers = o.threads;
    limits.maxConnections = o.maxConnections;
    limits.maxPerAddress = o.maxConnectionsPerAddress >= 0 ? o.maxConnectionsPerAddress
                           : resolvesToLoopbackOnly(o.listenHost) ? 0
                                                                  : 64;
    limits.idleTimeoutSeconds = o.idleTimeoutSeconds;
    if (d->db.dialect == Dialect::SQLite) d->startSqliteThreads();
    d->http = std::make_unique<HttpServer>(*d);
    if (!d->tls.certPem.isEmpty()) d->http->setTls(d->tls.certPem, d->tls.keyPem);
    if (!d->http->start(o.listenHost, o.port, limits, error)) {
        d->http.reset();
        d->stopSqliteThreads();
        return false;
    }
    d->running = true;
    logLine(QStringLiteral("inicio"), -1,
            QStringLiteral("escutando em %1:%2, %3, %4 threads").arg(o.listenHost).arg(port()).arg(d->db.describe()).arg(o.threads));
    return true;
}

void AppServer::stop() {
    if (!d->running) return;
    d->running = false;
    d->http->stop();
    d->http.reset();
    d->stopSqliteThreads();
    RequestLog::flush(2000);
}
