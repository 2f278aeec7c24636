#include "http_server.h"

#include "tls_certificate.h"
#include "gzip_body.h"
#include "worker_pool.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <malloc.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One request of a connection, from its headers to its answer.
struct Exchange {
    HttpRequest request;
    bool refused = false;    // an answer was queued before the body was read
    bool tooLarge = false;   // the body passed the limit: it is drained, not kept
    qint64 drained = 0;      // bytes of such a body read and dropped
    bool busy = false;       // no room in the budget for large bodies: drained, then 503
    qint64 reserved = 0;     // this body's share of that budget
    bool acceptsGzip = false;  // the client asked for gzipped answers
    std::atomic<bool> answered{false};
    HttpAnswer answer;       // written by the worker before it resumes the connection
};

bool parseLength(const char *text, qint64 *out) {
    if (!text || !*text) return false;
    qint64 n = 0;
    for (const char *p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        if (n > (std::numeric_limits<qint64>::max() - 9) / 10) return false;
        n = n * 10 + (*p - '0');
    }
    *out = n;
    return true;
}

// The kernel's cap on the listen backlog: the queue of connections not yet accepted.
unsigned backlogSize() {
    QFile f(QStringLiteral("/proc/sys/net/core/somaxconn"));
    if (f.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const int n = f.readAll().trimmed().toInt(&ok);
        if (ok && n > 0) return unsigned(n);
    }
    return SOMAXCONN;
}

// Idle connections are cheap but each takes a descriptor: let the process open
// as many as the connection limit needs, up to what the system allows.
void raiseDescriptorLimit(int wanted) {
    rlimit rl{};
    if (getrlimit(RLIMIT_NOFILE, &rl) != 0) return;
    const rlim_t target = std::min<rlim_t>(rl.rlim_max, rlim_t(wanted));
    if (rl.rlim_cur < target) {
        rl.rlim_cur = target;
        setrlimit(RLIMIT_NOFILE, &rl);
    }
}

bool resolve(const QString &host, int port, sockaddr_storage *out, socklen_t *len, QString *error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo *list = nullptr;
    const QByteArray name = host.toUtf8();
    const QByteArray service = QByteArray::number(port);
    const int rc = getaddrinfo(name.constData(), service.constData(), &hints, &list);
    if (rc != 0 || !list) {
        if (error) *error = QStringLiteral("O endereço \"%1\" não foi encontrado.").arg(host);
        return false;
    }
    // The first IPv4 address when there is one: "localhost" may list ::1 first.
    const addrinfo *pick = list;
    for (const addrinfo *a = list; a; a = a->ai_next)
        if (a->ai_family == AF_INET) {
            pick = a;
            break;
        }
    std::memcpy(out, pick->ai_addr, pick->ai_addrlen);
    *len = pick->ai_addrlen;
    freeaddrinfo(list);
    return true;
}

QByteArray peerAddress(MHD_Connection *connection) {
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr) return {};
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr *sa = info->client_addr;
    if (sa->sa_family == AF_INET) inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(sa)->sin_addr, text, sizeof text);
    else if (sa->sa_family == AF_INET6) inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(sa)->sin6_addr, text, sizeof text);
    return QByteArray(text);
}

bool isLoopbackAddress(const sockaddr *sa) {
    if (sa->sa_family == AF_INET) {
        const auto *in = reinterpret_cast<const sockaddr_in *>(sa);
        return (ntohl(in->sin_addr.s_addr) >> 24) == 127;
    }
    if (sa->sa_family == AF_INET6) {
        const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(sa);
        if (IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr)) return true;
        if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr)) return in6->sin6_addr.s6_addr[12] == 127;
    }
    return false;
}

// Every X-Forwarded-For line, in the order received: a proxy appends its own.
QByteArray forwardedFor(MHD_Connection *connection) {
    QByteArray all;
    MHD_get_connection_values(
        connection, MHD_HEADER_KIND,
        [](void *cls, MHD_ValueKind, const char *key, const char *value) {
            if (key && value && qstricmp(key, "X-Forwarded-For") == 0) {
                auto *out = static_cast<QByteArray *>(cls);
                if (!out->isEmpty()) *out += ',';
                *out += value;
            }
            return MHD_YES;
        },
        &all);
    return all;
}

}  // namespace

bool resolvesToLoopbackOnly(const QString &host, QString *resolveError) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const QByteArray name = host.trimmed().toUtf8();
    if (name.isEmpty() || getaddrinfo(name.constData(), nullptr, &hints, &list) != 0 || !list) {
        if (resolveError) *resolveError = QStringLiteral("O endereço \"%1\" não foi encontrado.").arg(host);
        return false;
    }
    bool all = true;
    for (const addrinfo *a = list; a; a = a->ai_next) all = all && isLoopbackAddress(a->ai_addr);
    freeaddrinfo(list);
    return all;
}

struct HttpServer::Impl {
    HttpService &service;
    HttpLimits limits;
    MHD_Daemon *daemon = nullptr;
    std::unique_ptr<WorkerPool> pool;
    std::atomic<bool> stopping{false};
    std::atomic<int> unfinished{0};  // handed to a worker and not yet sent
    std::atomic<qint64> largeInFlight{0};  // bytes reserved by large bodies
    int port = 0;
    QByteArray tlsCert, tlsKey;  // empty: plain HTTP

    explicit Impl(HttpService &s) : service(s) {}

    static MHD_Result onRequest(void *cls, MHD_Connection *connection, const char *url, const char *method, const char *,
                                const char *uploadData, size_t *uploadSize, void **slot);
    static void onCompleted(void *cls, MHD_Connection *, void **slot, MHD_RequestTerminationCode);

    MHD_Result send(MHD_Connection *connection, const HttpAnswer &answer) {
        MHD_Response *response = MHD_create_response_from_buffer(size_t(answer.body.size()), const_cast<char *>(answer.body.constData()),
                                                                  MHD_RESPMEM_MUST_COPY);
        if (!response) return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.constData());
        if (answer.askForKey) MHD_add_response_header(response, MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Bearer");
        // Whether the body came gzipped depends on what the client accepts.
        MHD_add_response_header(response, MHD_HTTP_HEADER_VARY, MHD_HTTP_HEADER_ACCEPT_ENCODING);
        if (answer.gzipped) MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_ENCODING, "gzip");
        if (answer.retryAfterSeconds > 0)
            MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER, QByteArray::number(answer.retryAfterSeconds).constData());
        const MHD_Result rc = MHD_queue_response(connection, unsigned(answer.status), response);
        MHD_destroy_response(response);
        return rc;
    }

    static void gzipIfAsked(HttpAnswer &answer, bool asked) {
        if (!asked || answer.gzipped) return;
        QByteArray packed = GzipBody::compress(answer.body);
        if (packed.isEmpty()) return;
        answer.body = std::move(packed);
        answer.gzipped = true;
    }

    // Headers in: decides whether the body is to be read at all.
    MHD_Result begin(MHD_Connection *connection, Exchange *ex) {
        if (stopping) {
            ex->refused = true;
            return send(connection, service.refusal(ex->request, 503));
        }
        if (std::optional<HttpAnswer> early = service.admit(ex->request)) {
            ex->refused = true;
            gzipIfAsked(*early, ex->acceptsGzip);
            return send(connection, *early);
        }
        // Only plain bodies: a compressed one could inflate far past the limit.
        const char *encoding = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_ENCODING);
        if (encoding && qstricmp(encoding, "identity") != 0) {
            ex->refused = true;
            return send(connection, service.refusal(ex->request, 415));
        }
        const char *length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        qint64 n = 0;
        if (length && parseLength(length, &n)) {
            if (n > limits.maxBodyBytes) {
                // A client that waits for "100 Continue" has sent nothing yet, and
                // one announcing more than we would read gets its answer now.
                const char *expect = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_EXPECT);
                if ((expect && qstricmp(expect, "100-continue") == 0) || n > drainLimit()) {
                    ex->refused = true;
                    return send(connection, service.refusal(ex->request, 413));
                }
                ex->tooLarge = true;
                return MHD_YES;
            }
            if (n >= limits.largeBodyBytes && !reserve(ex, n)) return MHD_YES;
            ex->request.body.reserve(qsizetype(n));
        }
        return MHD_YES;
    }

    qint64 largeBudget() const { return limits.largeBodyBudget > 0 ? limits.largeBodyBudget : limits.maxBodyBytes; }

    // Takes n more bytes of the budget for large bodies; without room the body
    // is drained instead and answered 503.
    bool reserve(Exchange *ex, qint64 n) {
        qint64 now = largeInFlight.load();
        do {
            if (now + n > largeBudget() && !(now == 0 && ex->reserved == 0)) {
                release(ex);
                ex->busy = true;
                ex->request.body = QByteArray();
                return false;
            }
        } while (!largeInFlight.compare_exchange_weak(now, now + n));
        ex->reserved += n;
        return true;
    }

    void release(Exchange *ex) {
        if (ex->reserved) largeInFlight -= ex->reserved;
        ex->reserved = 0;
    }

    // How much of an over-limit body is read and dropped before the 413 goes
    // out: most clients write their whole body before reading, and closing on
    // unread bytes makes the kernel reset the connection, answer and all.
    qint64 drainLimit() const { return limits.maxDrainBytes > 0 ? limits.maxDrainBytes : 4 * limits.maxBodyBytes; }

    // Whole request in: hands it to a worker and suspends the connection.
    void dispatch(MHD_Connection *connection, Exchange *ex) {
        ++unfinished;
        MHD_suspend_connection(connection);
        pool->post([this, connection, ex] {
            HttpAnswer a;
            try {
                a = service.answer(ex->request);
            } catch (...) {
                a = service.refusal(ex->request, 500);
            }
            ex->answer = std::move(a);
            gzipIfAsked(ex->answer, ex->acceptsGzip);  // here, not on the event thread
            if (ex->reserved) {
                // The decode of a large body leaves freed memory in the
                // allocator's arenas; hand it back to the system.
                ex->request.body = QByteArray();
                malloc_trim(0);
            }
            ex->answered = true;
            MHD_resume_connection(connection);
        });
    }
};

MHD_Result HttpServer::Impl::onRequest(void *cls, MHD_Connection *connection, const char *url, const char *method, const char *,
                                       const char *uploadData, size_t *uploadSize, void **slot) {
    Impl *self = static_cast<Impl *>(cls);
    auto *ex = static_cast<Exchange *>(*slot);
    if (!ex) {
        ex = new Exchange;
        *slot = ex;
        ex->request.method = method;
        ex->request.path = url;
        ex->request.authorization = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
        ex->request.host = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
        ex->request.idempotencyKey = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Idempotency-Key");
        ex->request.peer = peerAddress(connection);
        ex->request.forwardedFor = forwardedFor(connection);
        ex->acceptsGzip =
            GzipBody::accepted(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT_ENCODING));
        return self->begin(connection, ex);
    }
    if (ex->refused) {
        // An answer is already queued; whatever body follows is not kept.
        *uploadSize = 0;
        return MHD_YES;
    }
    if (*uploadSize) {
        const qint64 room = self->limits.maxBodyBytes - ex->request.body.size();
        if (!ex->tooLarge && qint64(*uploadSize) > room) {
            // Over the limit while arriving (chunked, or longer than announced):
            // nothing more is kept.
            ex->tooLarge = true;
            ex->drained = ex->request.body.size();
            ex->request.body = QByteArray();
        }
        // A body of unknown length takes its share of the budget as it grows.
        if (!ex->tooLarge && !ex->busy) {
            const qint64 grown = ex->request.body.size() + qint64(*uploadSize);
            if (grown >= self->limits.largeBodyBytes && grown > ex->reserved && !self->reserve(ex, grown - ex->reserved))
                ex->drained = grown - qint64(*uploadSize);
        }
        if (ex->tooLarge || ex->busy) {
            ex->drained += qint64(*uploadSize);
            *uploadSize = 0;
            // Past what is worth reading, the connection is dropped unanswered.
            return ex->drained > self->drainLimit() ? MHD_NO : MHD_YES;
        }
        ex->request.body.append(uploadData, qsizetype(*uploadSize));
        *uploadSize = 0;
        return MHD_YES;
    }
    if (ex->tooLarge) {
        ex->refused = true;
        return self->send(connection, self->service.refusal(ex->request, 413));
    }
    if (ex->busy) {
        ex->refused = true;
        return self->send(connection, self->service.busy(ex->request));
    }
    if (ex->answered) return self->send(connection, ex->answer);
    if (self->stopping) {
        ex->refused = true;
        return self->send(connection, self->service.refusal(ex->request, 503));
    }
    self->dispatch(connection, ex);
    return MHD_YES;
}

void HttpServer::Impl::onCompleted(void *cls, MHD_Connection *, void **slot, MHD_RequestTerminationCode) {
    Impl *self = static_cast<Impl *>(cls);
    auto *ex = static_cast<Exchange *>(*slot);
    if (!ex) return;
    if (ex->answered) --self->unfinished;
    self->release(ex);
    delete ex;
    *slot = nullptr;
}

HttpServer::HttpServer(HttpService &service) : d(std::make_unique<Impl>(service)) {}

HttpServer::~HttpServer() { stop(); }

int HttpServer::port() const { return d->port; }

void HttpServer::setTls(const QByteArray &certPem, const QByteArray &keyPem) {
    d->tlsCert = certPem;
    d->tlsKey = keyPem;
}

bool HttpServer::start(const QString &host, int port, const HttpLimits &limits, QString *error) {
    if (d->daemon) return true;
    d->limits = limits;
    sockaddr_storage address{};
    socklen_t addressLength = 0;
    if (!resolve(host, port, &address, &addressLength, error)) return false;
    (void)addressLength;

    int eventThreads = limits.eventThreads;
    if (eventThreads <= 0) eventThreads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    raiseDescriptorLimit(limits.maxConnections + limits.workers * 4 + 64);

    d->stopping = false;
    d->pool = std::make_unique<WorkerPool>(limits.workers);
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_TURBO;
    if (address.ss_family == AF_INET6) flags |= MHD_USE_IPv6;
    // libmicrohttpd keeps the pointers: the texts stay in Impl while it runs.
    MHD_OptionItem tls[] = {{MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char *>(d->tlsCert.constData())},
                            {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char *>(d->tlsKey.constData())},
                            {MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char *>(kTlsPriorities)},
                            {MHD_OPTION_END, 0, nullptr}};
    if (!d->tlsCert.isEmpty()) flags |= MHD_USE_TLS;
    else tls[0].option = MHD_OPTION_END;
    d->daemon = MHD_start_daemon(
        flags, uint16_t(port), nullptr, nullptr, &Impl::onRequest, d.get(),
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr *>(&address),
        MHD_OPTION_THREAD_POOL_SIZE, unsigned(eventThreads),
        MHD_OPTION_CONNECTION_LIMIT, unsigned(limits.maxConnections),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, unsigned(std::max(0, limits.maxPerAddress)),
        MHD_OPTION_CONNECTION_TIMEOUT, unsigned(limits.idleTimeoutSeconds),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, size_t(32 * 1024),
        MHD_OPTION_LISTEN_BACKLOG_SIZE, backlogSize(),
        MHD_OPTION_NOTIFY_COMPLETED, &Impl::onCompleted, d.get(),
        MHD_OPTION_ARRAY, tls,
        MHD_OPTION_END);
    if (!d->daemon) {
        d->pool.reset();
        if (error) *error = QStringLiteral("Não foi possível escutar em %1:%2 (endereço inválido ou porta em uso).").arg(host).arg(port);
        return false;
    }
    const MHD_DaemonInfo *info = MHD_get_daemon_info(d->daemon, MHD_DAEMON_INFO_BIND_PORT);
    d->port = info ? info->port : port;
    return true;
}

void HttpServer::stop() {
    if (!d->daemon) return;
    d->stopping = true;
    // No new connections; the listening socket is ours to close.
    const MHD_socket listening = MHD_quiesce_daemon(d->daemon);
    if (listening != MHD_INVALID_SOCKET) ::close(listening);
    // Requests in a worker finish (their transaction commits or rolls back
    // whole) and their answers go out; every other connection is then closed.
    d->pool->waitIdle(24 * 3600 * 1000);
    for (int i = 0; i < 200 && d->unfinished > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    MHD_stop_daemon(d->daemon);
    d->daemon = nullptr;
    d->pool.reset();
    d->port = 0;
}
