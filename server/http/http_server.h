#pragma once
// The HTTP side of the application server, on libmicrohttpd: a few event
// threads (epoll) own every socket, so an idle, slow or trickling client costs
// a socket and a few KiB, never a thread. A request whose body has fully
// arrived is handed to a bounded pool of workers (the database work) while its
// connection is suspended; the answer resumes it. Limits hold while the bytes
// arrive: the key is checked before any body is read, and a body is never
// kept past the limit. An over-limit body is read and dropped (up to a bound)
// before its 413, so that a client writing its whole body first reads it.
//
// Every answer the server writes is JSON-RPC in Portuguese. libmicrohttpd
// (0.9.75) writes a few itself, before any of our code sees the request, and
// offers no way to replace them: 400 for a malformed request line or header,
// 431 for headers over the connection's memory, 505 for an unknown HTTP
// version; a request line of one word is closed without an answer.

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

struct HttpLimits {
    qint64 maxBodyBytes = 8 * 1024 * 1024;
    qint64 maxDrainBytes = 0;      // an over-limit body read and dropped before its 413; 0: 4 x maxBodyBytes
    // Large bodies (from largeBodyBytes up) held at once, from their first byte
    // until their answer is sent; one more gets 503 with Retry-After. Decoding
    // a body takes many times its size: this bounds the process's memory.
    qint64 largeBodyBudget = 0;    // 0: maxBodyBytes (one full-size call at a time)
    qint64 largeBodyBytes = 256 * 1024;
    int workers = 8;               // threads doing database work
    int eventThreads = 0;          // 0: one per processor, at most 4
    int maxConnections = 4096;     // open at once
    int maxPerAddress = 0;         // from one client address; 0: no limit of its own
    int idleTimeoutSeconds = 300;  // a connection with no traffic for this long is closed
};

struct HttpRequest {
    QByteArray method;
    QByteArray path;
    QByteArray authorization;
    QByteArray host;  // the Host header: how the client names this server
    QByteArray idempotencyKey;  // the Idempotency-Key header: a write's repeats get its first answer
    QByteArray peer;  // the client's address, without its port
    QByteArray forwardedFor;  // every X-Forwarded-For header, joined by commas in order
    QByteArray body;
};

struct HttpAnswer {
    int status = 200;
    QByteArray body;
    QByteArray contentType = QByteArrayLiteral("application/json");
    bool askForKey = false;  // 401: sends WWW-Authenticate: Bearer
    int retryAfterSeconds = 0;  // 503: sends Retry-After
    bool gzipped = false;  // the body is gzipped: sends Content-Encoding: gzip
};

// What the server answers. admit() runs on an event thread, must be quick and
// must not touch the database; answer() runs on a worker.
class HttpService {
public:
    virtual ~HttpService() = default;
    // Once the headers are in: an answer here is sent without reading the body.
    virtual std::optional<HttpAnswer> admit(const HttpRequest &head) = 0;
    // Once the whole body is in.
    virtual HttpAnswer answer(const HttpRequest &request) = 0;
    // A refusal of the HTTP layer itself (413, 415, 503 while stopping).
    virtual HttpAnswer refusal(const HttpRequest &head, int status) = 0;
    // A large body while the budget for large bodies is spent (a 503).
    virtual HttpAnswer busy(const HttpRequest &head) { return refusal(head, 503); }
};

class HttpServer {
public:
    explicit HttpServer(HttpService &service);
    ~HttpServer();  // stops
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Listens on the address (a numeric address or a name resolved to one) and
    // port (0: a free one). False with a Portuguese reason when it cannot.
    bool start(const QString &host, int port, const HttpLimits &limits, QString *error);
    // Before start(): the listener speaks HTTPS only, with this certificate
    // and key (PEM), TLS 1.2 or later.
    void setTls(const QByteArray &certPem, const QByteArray &keyPem);
    int port() const;
    // Stops taking connections, lets the requests already handed to a worker
    // finish and send their answers, then closes every connection.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The addresses a host name or numeric address resolves to are all loopback ones
// (127.0.0.0/8, ::1). False when it does not resolve.
bool resolvesToLoopbackOnly(const QString &host, QString *resolveError = nullptr);
