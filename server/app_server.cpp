#include "app_server.h"

#include "db_config.h"
#include "db_session.h"
#include "demo_data.h"
#include "methods/methods.h"
#include "rpc_dispatcher.h"
#include "schema.h"

#include <QDateTime>
#include <QFileInfo>
#include <QDir>
#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <httplib.h>
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
// Set by the RPC handler so the access log does not write the request twice.
thread_local bool t_logged = false;

bool isLoopback(const QString &host) {
    const QString h = host.trimmed().toLower();
    return h == QLatin1String("localhost") || h == QLatin1String("::1") || h == QLatin1String("[::1]") ||
           h.startsWith(QLatin1String("127."));
}

bool sameToken(const std::string &given, const std::string &expected) {
    // Compares in time independent of where the texts differ.
    unsigned char diff = given.size() == expected.size() ? 0 : 1;
    const size_t n = std::max(given.size(), expected.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char a = i < given.size() ? given[i] : 0, b = i < expected.size() ? expected[i] : 0;
        diff |= a ^ b;
    }
    return diff == 0;
}

// "2026-03-01T14:05:09.123" in local time, cheaply (one line per request).
QByteArray timestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[32];
    const size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(buffer + n, sizeof buffer - n, ".%03d", ms);
    return QByteArray(buffer);
}

void logLine(const QString &what, double ms, const QString &outcome) {
    QByteArray line = timestamp();
    line += " cot-server ";
    line += what.toUtf8();
    line += ' ';
    line += ms >= 0 ? QByteArray::number(ms, 'f', 2) + "ms" : QByteArray("-");
    line += ' ';
    line += outcome.toUtf8();
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

std::string errorJson(const QString &message) {
    return QStringLiteral("{\"jsonrpc\":\"2.0\",\"id\":null,\"error\":{\"code\":-32600,\"message\":\"%1\"}}")
        .arg(QString(message).replace(QLatin1Char('"'), QLatin1Char('\'')))
        .toStdString();
}

}  // namespace

struct AppServer::Impl {
    ServerOptions options;
    DbConfig db;
    quint64 id = g_nextServerId++;
    MethodRegistry registry;
    RpcDispatcher dispatcher{registry};
    std::unique_ptr<httplib::Server> http;
    std::thread listener;
    int port = 0;
    bool running = false;

    DbSession &session() {
        auto &slot = t_sessions.sessions[id];
        if (!slot)
            slot = std::make_unique<DbSession>(db, QStringLiteral("cot-server-%1-%2").arg(id).arg(g_nextConnection++));
        return *slot;
    }

    void routes();
};

void AppServer::Impl::routes() {
    // The token is checked once the body has been read: refusing earlier would
    // leave the body in the connection, to be taken for the next request.
    http->set_pre_routing_handler([](const httplib::Request &, httplib::Response &) {
        t_logged = false;
        return httplib::Server::HandlerResponse::Unhandled;
    });

    http->Post(kRpcPath, [this](const httplib::Request &req, httplib::Response &res) {
        const auto started = std::chrono::steady_clock::now();
        if (!options.token.isEmpty() &&
            !sameToken(req.get_header_value("Authorization"), "Bearer " + options.token.toStdString())) {
            res.status = 401;
            res.set_header("WWW-Authenticate", "Bearer");
            res.set_content(errorJson(QStringLiteral("Acesso não autorizado: chave de acesso ausente ou inválida.")), "application/json");
            return;  // the access log writes the line
        }
        RpcDispatcher::Outcome out;
        try {
            out = dispatcher.handle(QByteArray::fromStdString(req.body), session());
        } catch (...) {
            out.code = RpcCode::Storage;
            out.body = QByteArrayLiteral("{\"jsonrpc\":\"2.0\",\"id\":null,\"error\":{\"code\":-32002,"
                                         "\"message\":\"Falha interna do servidor de aplicação.\"}}");
        }
        res.status = 200;
        res.set_content(out.body.constData(), size_t(out.body.size()), "application/json");
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        logLine(QStringLiteral("rpc %1").arg(out.method.isEmpty() ? QStringLiteral("-") : out.method), ms,
                out.code == 0 ? QStringLiteral("ok") : QStringLiteral("erro %1").arg(out.code));
        t_logged = true;
    });

    http->Get("/health", [this](const httplib::Request &, httplib::Response &res) {
        bool ok = false;
        try {
            DbSession &s = session();
            s.open();
            Query q(s, QStringLiteral("SELECT 1"));
            q.exec();
            ok = q.next();
        } catch (...) {
            session().close();
        }
        res.status = ok ? 200 : 503;
        res.set_content(ok ? "{\"status\":\"ok\"}" : "{\"status\":\"indisponivel\"}", "application/json");
    });

    http->set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty()) return;
        if (res.status == 413)
            res.set_content(errorJson(QStringLiteral("A requisição excede o tamanho máximo aceito pelo servidor de aplicação.")),
                            "application/json");
        else if (res.status == 404)
            res.set_content(errorJson(QStringLiteral("Recurso não encontrado no servidor de aplicação.")), "application/json");
    });

    http->set_exception_handler([](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
        res.status = 500;
        res.set_content(errorJson(QStringLiteral("Falha interna do servidor de aplicação.")), "application/json");
    });

    http->set_logger([](const httplib::Request &req, const httplib::Response &res) {
        if (t_logged) {
            t_logged = false;
            return;
        }
        logLine(QStringLiteral("%1 %2").arg(QString::fromStdString(req.method), QString::fromStdString(req.path).left(80)), -1,
                QStringLiteral("http %1").arg(res.status));
    });
}

AppServer::AppServer(const ServerOptions &options) : d(std::make_unique<Impl>()) {
    d->options = options;
    Methods::registerAll(d->registry);
}

AppServer::~AppServer() { stop(); }

int AppServer::port() const { return d->port; }

bool AppServer::start(QString *error) {
    QString dummy;
    if (!error) error = &dummy;
    if (d->running) return true;
    const ServerOptions &o = d->options;
    if (o.token.isEmpty() && !isLoopback(o.listenHost)) {
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
    if (d->db.dialect == Dialect::SQLite) {
        const QFileInfo file(d->db.sqlitePath);
        if (!file.absoluteDir().exists() && !QDir().mkpath(file.absolutePath())) {
            *error = QStringLiteral("Não foi possível criar a pasta do banco de dados %1.").arg(file.absolutePath());
            return false;
        }
    }

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

    d->http = std::make_unique<httplib::Server>();
    const int threads = o.threads;
    d->http->new_task_queue = [threads] { return new httplib::ThreadPool(size_t(threads)); };
    d->http->set_payload_max_length(size_t(std::max<qint64>(1024, o.maxBodyBytes)));
    d->http->set_tcp_nodelay(true);
    // A connection stays open while its client keeps calling (closing it after a
    // count races with the client's next request); an idle one closes in 5 s.
    d->http->set_keep_alive_max_count(std::numeric_limits<int>::max());
    d->http->set_keep_alive_timeout(5);
    d->http->set_read_timeout(30, 0);
    d->http->set_write_timeout(30, 0);
    d->routes();

    const std::string host = o.listenHost.toStdString();
    if (o.port == 0) {
        d->port = d->http->bind_to_any_port(host);
        if (d->port <= 0) d->port = 0;
    } else if (d->http->bind_to_port(host, o.port)) {
        d->port = o.port;
    }
    if (d->port == 0) {
        *error = QStringLiteral("Não foi possível escutar em %1:%2 (endereço inválido ou porta em uso).").arg(o.listenHost).arg(o.port);
        d->http.reset();
        return false;
    }
    d->listener = std::thread([this] { d->http->listen_after_bind(); });
    for (int i = 0; i < 500 && !d->http->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    d->running = true;
    logLine(QStringLiteral("inicio"), -1,
            QStringLiteral("escutando em %1:%2, %3, %4 threads").arg(o.listenHost).arg(d->port).arg(d->db.describe()).arg(threads));
    return true;
}

void AppServer::stop() {
    if (!d->running) return;
    d->running = false;
    for (int i = 0; i < 1000 && !d->http->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    d->http->stop();
    if (d->listener.joinable()) d->listener.join();
    d->http.reset();
    d->port = 0;
}
