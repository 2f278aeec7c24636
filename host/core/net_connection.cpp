#include "net_connection.h"

#include "dialogs.h"
#include "errors.h"
#include "idempotency_keys.h"
#include "host_services.h"
#include "packet_writer.h"
#include "rpc_codes.h"
#include "server_link.h"

#include <QJsonDocument>
#include <QAbstractEventDispatcher>
#include <QJsonObject>
#include <QTimer>
#include <atomic>

RpcArg RpcArg::ref(QString *text) { return RpcArg(RefString, text); }
RpcArg RpcArg::ref(int *number) { return RpcArg(RefInt, number); }
RpcArg RpcArg::ref(double *number) { return RpcArg(RefDouble, number); }

QJsonValue RpcArg::toJson() const {
    switch (m_kind) {
    case Value: return m_value;
    case RefString: return *static_cast<QString *>(m_target);
    case RefInt: return *static_cast<int *>(m_target);
    case RefDouble: return *static_cast<double *>(m_target);
    }
    return QJsonValue::Null;
}

void RpcArg::writeBack(const QJsonValue &value) const {
    switch (m_kind) {
    case Value: return;
    case RefString:
        if (value.isString()) *static_cast<QString *>(m_target) = value.toString();
        else if (value.isDouble()) *static_cast<QString *>(m_target) = QString::number(value.toDouble());
        return;
    case RefInt:
        if (value.isDouble()) *static_cast<int *>(m_target) = int(value.toDouble());
        else if (value.isString()) *static_cast<int *>(m_target) = value.toString().toInt();
        return;
    case RefDouble:
        if (value.isDouble()) *static_cast<double *>(m_target) = value.toDouble();
        return;
    }
}

// A desktop left open keeps its socket: after this long without a request it
// sends an empty one, well inside the server's idle timeout (300 s by default)
// and the few minutes after which routers and firewalls forget a quiet flow.
static constexpr std::chrono::seconds kKeepAliveQuiet{100};

struct TNetConnection::Impl {
    std::shared_ptr<ServerLink> link;
    QTimer *keepAlive = nullptr;
    IdempotencyKeys keys;
};

// What one HTTP request brought back: a transport failure's message, or the
// answer's status and body.
struct TNetConnection::Posted {
    QString failure;
    int status = 0;
    std::string body;
    QByteArray operation, key;  // the request's identity and its Idempotency-Key
};

TNetConnection::TNetConnection(QObject *parent) : QObject(parent), d(std::make_unique<Impl>()) {
    // Only where an event loop runs (the desktop): a test's or a worker's
    // thread has none.
    if (QAbstractEventDispatcher::instance()) {
        d->keepAlive = new QTimer(this);
        d->keepAlive->setInterval(std::chrono::seconds(30));
        connect(d->keepAlive, &QTimer::timeout, this, &TNetConnection::keepAlive);
    }
}
TNetConnection::~TNetConnection() = default;

QString TNetConnection::address() const { return QStringLiteral("%1:%2").arg(Host).arg(Port); }

static QString bareHost(QString host) {
    host = host.trimmed();
    for (const char *scheme : {"http://", "https://"})
        if (host.startsWith(QLatin1String(scheme))) host = host.mid(int(strlen(scheme)));
    while (host.endsWith(QLatin1Char('/'))) host.chop(1);
    return host;
}

bool TNetConnection::Open() {
    if (tryOpen()) return true;
    if (ThrowException) throw EAppError(m_lastError);
    return false;
}

bool TNetConnection::tryOpen() {
    if (OnBeforeConnect) OnBeforeConnect(*this);
    const QString given = Host.trimmed().toLower();
    if (given.startsWith(QLatin1String("https://"))) m_tls = true;
    else if (given.startsWith(QLatin1String("http://"))) m_tls = false;
    Host = bareHost(Host);
    m_tlsCheck = TlsCheck();
    QString refusal;
    d->link.reset();
    if (!m_tls && !TlsTrustCheck::isLoopbackHost(Host))
        refusal = QStringLiteral("O servidor %1 não está nesta máquina: a chave de acesso e os dados não são enviados sem "
                                 "criptografia. Use https://%1.").arg(address());
    else d->link = ServerLink::to(Host, Port, m_tls, Trust.vouched() ? Trust : CurrentHostSettings().trust, &refusal);
    if (!d->link) {
        m_lastError = refusal;
        if (m_connected) {
            m_connected = false;
            emit connectedChanged(false);
        }
        return false;
    }
    // A link that has answered needs no check of its own: the connections
    // of one desktop share it.
    const bool reached = !CheckOnOpen || d->link->answered() || d->link->check(TimeoutMs);
    m_tlsCheck = d->link->tlsCheck();
    if (!reached) {
        d->link.reset();
        m_lastError = QStringLiteral("Não foi possível conectar ao servidor de aplicação em %1.").arg(address());
        if (m_tlsCheck.verdict == TlsCheck::Unknown || m_tlsCheck.verdict == TlsCheck::Changed)
            m_lastError = TlsTrustCheck::refusalMessage(m_tlsCheck, address());
        if (m_connected) {
            m_connected = false;
            emit connectedChanged(false);
        }
        return false;
    }
    m_lastError.clear();
    if (d->keepAlive) d->keepAlive->start();
    if (!m_connected) {
        m_connected = true;
        emit connectedChanged(true);
    }
    return true;
}

void TNetConnection::Close() {
    // The link itself stays for the desktop's other connections.
    d->link.reset();
    if (d->keepAlive) d->keepAlive->stop();
    if (m_connected) {
        m_connected = false;
        emit connectedChanged(false);
    }
}

void TNetConnection::keepAlive() {
    if (d->link) d->link->keepAlive(kKeepAliveQuiet);
}

RpcReply TNetConnection::transportFailure(const QString &message) {
    if (ThrowException) throw EAppError(message);
    RpcReply reply;
    reply.errorCode = RpcCode::Transport;
    reply.errorMessage = message;
    return reply;
}

TNetConnection::Posted TNetConnection::post(const QByteArray &body, int calls, const QByteArray &operation) {
    Posted out;
    if (!m_connected && !tryOpen()) {
        out.failure = m_lastError;
        return out;
    }
    httplib::Headers headers;
    if (!Token.isEmpty()) headers.emplace("Authorization", "Bearer " + Token.toStdString());
    const QByteArray idempotencyKey = d->keys.keyFor(operation);
    out.operation = operation;
    out.key = idempotencyKey;
    headers.emplace("Idempotency-Key", idempotencyKey.toStdString());
    const std::string path = "/rpc/" + ServerName.toStdString();
    ++m_traffic.requests;
    m_traffic.calls += calls;
    ServerLink::Answer a = d->link->post(path, headers, body.toStdString(), TimeoutMs);
    m_tlsCheck = d->link->tlsCheck();
    // Without an answer, or with a proxy's word that the server's was lost,
    // the request may have been done: sending it again must not do it twice.
    const bool unsettled = !a.result || a.result->status == 502 || a.result->status == 504;
    if (unsettled) d->keys.unsettled(operation, idempotencyKey);
    else d->keys.settled(operation);
    if (!a.result) {
        const auto err = a.result.error();
        // Reconnect (reading the address anew) on the next call.
        d->link.reset();
        m_connected = false;
        emit connectedChanged(false);
        out.failure = err == httplib::Error::Read || err == httplib::Error::Write
                          ? QStringLiteral("O servidor de aplicação em %1 não respondeu a tempo.").arg(address())
                          : QStringLiteral("Não foi possível conectar ao servidor de aplicação em %1.").arg(address());
        if (m_tlsCheck.verdict == TlsCheck::Unknown || m_tlsCheck.verdict == TlsCheck::Changed)
            out.failure = TlsTrustCheck::refusalMessage(m_tlsCheck, address());
        return out;
    }
    if (a.compressed) ++m_traffic.compressedAnswers;
    out.status = a.result->status;
    out.body = std::move(a.result->body);
    return out;
}

// A refusal of the HTTP layer, or the JSON-RPC answer turned into a reply
// (by-reference arguments written back on success).
RpcReply TNetConnection::answerOf(const RpcAnswer &answer, const QVector<RpcArg> &args, int status) const {
    RpcReply reply;
    if (status == 401) {
        reply.errorCode = RpcCode::Unauthorized;
        reply.errorMessage = QStringLiteral("O servidor de aplicação recusou o acesso: chave de acesso inválida.");
        return reply;
    }
    if (status == 502 || status == 504) {
        reply.errorCode = RpcCode::OutcomeUnknown;
        reply.errorMessage = QStringLiteral("O servidor de aplicação em %1 não respondeu a tempo (HTTP %2): não se sabe se a operação foi "
                                            "feita. Enviá-la de novo é seguro: o servidor não a repete se já a tiver feito.")
                                 .arg(address())
                                 .arg(status);
        return reply;
    }
    if (status == 413) {
        reply.errorCode = RpcCode::TooLarge;
        reply.errorMessage = QStringLiteral("A requisição excede o tamanho máximo aceito pelo servidor de aplicação.");
        return reply;
    }
    if (!answer.readable) {
        reply.errorCode = RpcCode::ParseError;
        reply.errorMessage = QStringLiteral("Resposta inválida do servidor de aplicação (HTTP %1).").arg(status);
        return reply;
    }
    if (answer.isError) {
        reply.errorCode = answer.errorCode;
        reply.errorMessage = answer.errorMessage;
        if (reply.errorMessage.isEmpty()) reply.errorMessage = QStringLiteral("O servidor de aplicação recusou a operação.");
        return reply;
    }
    reply.ok = true;
    reply.data = answer.data;
    reply.params = answer.params;
    for (int i = 0; i < args.size() && i < reply.params.size(); ++i) args[i].writeBack(reply.params.at(i));
    return reply;
}

static std::atomic<quint64> g_changesSent{0};

quint64 TNetConnection::ChangesSent() { return g_changesSent; }

static QJsonObject request(qint64 id, const QString &method, const QVector<RpcArg> &args) {
    // Counted when sent, whatever the answer: a write whose outcome is unknown may have been done.
    if (!method.startsWith(QLatin1String("get"), Qt::CaseInsensitive)) ++g_changesSent;
    QJsonArray params;
    for (const RpcArg &a : args) params.append(a.toJson());
    return QJsonObject{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}

RpcReply TNetConnection::Call(const QString &method, std::initializer_list<RpcArg> args) {
    return Call(method, QVector<RpcArg>(args));
}

RpcReply TNetConnection::Call(const QString &method, const QVector<RpcArg> &args) {
    const QJsonObject call = request(m_nextId++, method, args);
    // The operation is the call without its id, which changes on a resend.
    Posted p = post(JsonText::encode(call), 1, IdempotencyKeys::identity(method, call.value(QLatin1String("params")).toArray()));
    if (!p.failure.isEmpty()) return transportFailure(p.failure);
    // Read in place: the reader keeps a copy of the data part only.
    RpcReply reply = answerOf(RpcAnswerReader::read(QByteArray::fromRawData(p.body.data(), qsizetype(p.body.size()))), args, p.status);
    if (reply.errorCode == RpcCode::OutcomeUnknown) d->keys.unsettled(p.operation, p.key);
    return reply;
}

QVector<RpcReply> TNetConnection::CallBatch(const QVector<RpcCall> &calls) {
    if (calls.size() == 1) return {Call(calls.first().method, calls.first().args)};
    QVector<RpcReply> replies(calls.size());
    if (calls.isEmpty()) return replies;
    const qint64 firstId = m_nextId;
    QJsonArray batch, operation;
    for (const RpcCall &c : calls) {
        const QJsonObject call = request(m_nextId++, c.method, c.args);
        batch.append(call);
        operation.append(QJsonArray{c.method, call.value(QLatin1String("params"))});
    }
    Posted p = post(JsonText::encode(batch), int(calls.size()), IdempotencyKeys::identity(QStringLiteral("lote"), operation));
    if (!p.failure.isEmpty()) {
        const RpcReply failed = transportFailure(p.failure);
        replies.fill(failed);
        return replies;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromRawData(p.body.data(), qsizetype(p.body.size())));
    if (!doc.isArray()) {
        // The whole request refused (the key, the size), or a server that
        // takes no batches: the same answer for every call.
        const RpcAnswer whole = RpcAnswerReader::read(QByteArray::fromRawData(p.body.data(), qsizetype(p.body.size())));
        if (whole.readable && whole.isError && whole.errorCode == RpcCode::InvalidRequest && p.status == 200) {
            for (int i = 0; i < calls.size(); ++i) replies[i] = Call(calls[i].method, calls[i].args);
            return replies;
        }
        for (int i = 0; i < calls.size(); ++i) replies[i] = answerOf(whole, calls[i].args, p.status);
        return replies;
    }
    // Matched by id: JSON-RPC lets a server answer a batch in any order.
    QVector<bool> seen(calls.size(), false);
    for (const QJsonValue &v : doc.array()) {
        const qint64 i = qint64(v.toObject().value(QLatin1String("id")).toDouble(-1)) - firstId;
        if (i < 0 || i >= calls.size() || seen[i]) continue;
        seen[i] = true;
        replies[i] = answerOf(RpcAnswerReader::read(JsonText::encode(v)), calls[i].args, p.status);
    }
    for (int i = 0; i < calls.size(); ++i) {
        if (!seen[i]) replies[i] = answerOf(RpcAnswer{}, calls[i].args, p.status);
        if (replies[i].errorCode == RpcCode::OutcomeUnknown) d->keys.unsettled(p.operation, p.key);
    }
    return replies;
}

QJsonValue CheckResultServ(const RpcReply &reply, bool show, int) {
    if (reply.ok && reply.data.readable()) return reply.data.value();
    if (reply.ok) {
        const QString message = QStringLiteral("Resposta inválida do servidor de aplicação.");
        if (show) Dialogs().showMessage(message, MsgType::Error, MsgButton::Ok);
        throw EServerError(RpcCode::ParseError, message);
    }
    // A write whose outcome is not known is no refusal: the message asks the
    // user to check before repeating it.
    const MsgType type = reply.errorCode == RpcCode::OutcomeUnknown ? MsgType::Warning : MsgType::Error;
    if (show) Dialogs().showMessage(reply.errorMessage, type, MsgButton::Ok);
    throw EServerError(reply.errorCode, reply.errorMessage);
}

DataPacket CheckResultPacket(const RpcReply &reply, bool show) {
    if (!reply.ok) CheckResultServ(reply, show, 0);  // raises the refusal
    try {
        return reply.data.packet();
    } catch (const PacketError &e) {
        throw EAppError(e.message());
    }
}
