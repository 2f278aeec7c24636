#include "net_connection.h"

#include "dialogs.h"
#include "errors.h"
#include "idempotency_keys.h"
#include "host_services.h"
#include "packet_writer.h"
#include "rpc_codes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <httplib.h>

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

struct TNetConnection::Impl {
    std::unique_ptr<TlsTrustCheck::Verifier> verifier;  // before the client: it outlives the handshakes
    std::unique_ptr<httplib::Client> client;
    IdempotencyKeys keys;
};

TNetConnection::TNetConnection(QObject *parent) : QObject(parent), d(std::make_unique<Impl>()) {}
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
    d->client.reset();
    d->verifier.reset();
    if (!m_tls && !TlsTrustCheck::isLoopbackHost(Host))
        refusal = QStringLiteral("O servidor %1 não está nesta máquina: a chave de acesso e os dados não são enviados sem "
                                 "criptografia. Use https://%1.").arg(address());
    else if (m_tls) {
        const QString name = Host.contains(QLatin1Char(':')) && !Host.startsWith(QLatin1Char('[')) ? '[' + Host + ']' : Host;
        d->client = std::make_unique<httplib::Client>(QStringLiteral("https://%1:%2").arg(name).arg(Port).toStdString());
        d->client->enable_server_certificate_verification(false);  // the verifier checks, during the handshake
        d->verifier = std::make_unique<TlsTrustCheck::Verifier>(Host, Trust.vouched() ? Trust : CurrentHostSettings().trust);
        if (!d->verifier->configure(d->client->ssl_context(), &refusal)) d->client.reset();
    } else d->client = std::make_unique<httplib::Client>(Host.toStdString(), Port);
    if (!d->client) {
        m_lastError = refusal;
        return false;
    }
    d->client->set_keep_alive(true);
    d->client->set_tcp_nodelay(true);
    d->client->set_connection_timeout(std::chrono::milliseconds(std::min(TimeoutMs, 5000)));
    d->client->set_read_timeout(std::chrono::milliseconds(TimeoutMs));
    d->client->set_write_timeout(std::chrono::milliseconds(TimeoutMs));
    auto res = d->client->Get("/health");
    if (d->verifier) m_tlsCheck = d->verifier->check();
    if (!res || res->status != 200) {
        d->client.reset();
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
    if (!m_connected) {
        m_connected = true;
        emit connectedChanged(true);
    }
    return true;
}

void TNetConnection::Close() {
    if (d->client) d->client->stop();
    d->client.reset();
    if (m_connected) {
        m_connected = false;
        emit connectedChanged(false);
    }
}

RpcReply TNetConnection::transportFailure(const QString &message) {
    if (ThrowException) throw EAppError(message);
    RpcReply reply;
    reply.errorCode = RpcCode::Transport;
    reply.errorMessage = message;
    return reply;
}

RpcReply TNetConnection::Call(const QString &method, std::initializer_list<RpcArg> args) {
    return Call(method, QVector<RpcArg>(args));
}

RpcReply TNetConnection::Call(const QString &method, const QVector<RpcArg> &args) {
    if (!m_connected && !tryOpen()) return transportFailure(m_lastError);
    QJsonArray params;
    for (const RpcArg &a : args) params.append(a.toJson());
    const qint64 id = m_nextId++;
    const QJsonObject request{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
    const std::string body = JsonText::encode(request).toStdString();

    httplib::Headers headers;
    if (!Token.isEmpty()) headers.emplace("Authorization", "Bearer " + Token.toStdString());
    const QByteArray operation = IdempotencyKeys::identity(method, params);
    const QByteArray idempotencyKey = d->keys.keyFor(operation);
    headers.emplace("Idempotency-Key", idempotencyKey.toStdString());
    const std::string path = "/rpc/" + ServerName.toStdString();
    auto res = d->client->Post(path.c_str(), headers, body, "application/json");
    // Without an answer, or with a proxy's word that the server's was lost,
    // the call may have been done: sending it again must not do it twice.
    const bool unsettled = !res || res->status == 502 || res->status == 504;
    if (unsettled) d->keys.unsettled(operation, idempotencyKey);
    else d->keys.settled(operation);
    if (!res) {
        const auto err = res.error();
        // Reconnect (reading the address anew) on the next call.
        d->client.reset();
        m_connected = false;
        emit connectedChanged(false);
        if (err == httplib::Error::Read || err == httplib::Error::Write)
            return transportFailure(QStringLiteral("O servidor de aplicação em %1 não respondeu a tempo.").arg(address()));
        return transportFailure(QStringLiteral("Não foi possível conectar ao servidor de aplicação em %1.").arg(address()));
    }
    RpcReply reply;
    if (res->status == 401) {
        reply.errorCode = RpcCode::Unauthorized;
        reply.errorMessage = QStringLiteral("O servidor de aplicação recusou o acesso: chave de acesso inválida.");
        return reply;
    }
    if (res->status == 502 || res->status == 504) {
        reply.errorCode = RpcCode::OutcomeUnknown;
        reply.errorMessage = QStringLiteral("O servidor de aplicação em %1 não respondeu a tempo (HTTP %2): não se sabe se a operação foi "
                                            "feita. Enviá-la de novo é seguro: o servidor não a repete se já a tiver feito.")
                                 .arg(address())
                                 .arg(res->status);
        return reply;
    }
    if (res->status == 413) {
        reply.errorCode = RpcCode::TooLarge;
        reply.errorMessage = QStringLiteral("A requisição excede o tamanho máximo aceito pelo servidor de aplicação.");
        return reply;
    }
    // Read in place: the reader keeps a copy of the data part only.
    const RpcAnswer answer = RpcAnswerReader::read(QByteArray::fromRawData(res->body.data(), qsizetype(res->body.size())));
    if (!answer.readable) {
        reply.errorCode = RpcCode::ParseError;
        reply.errorMessage = QStringLiteral("Resposta inválida do servidor de aplicação (HTTP %1).").arg(res->status);
        return reply;
    }
    if (answer.isError) {
        if (answer.errorCode == RpcCode::OutcomeUnknown) d->keys.unsettled(operation, idempotencyKey);
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
