#pragma once
// The connection to the application server's remote data module: synchronous
// JSON-RPC calls over HTTP by method name with positional arguments. Arguments
// passed by reference get the server's final value written back.

#include "packet.h"
#include "rpc_answer.h"
#include "tls_trust.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <functional>
#include <initializer_list>
#include <memory>

class RpcArg {
public:
    RpcArg(const QString &text) : m_kind(Value), m_value(text) {}
    RpcArg(const char *text) : m_kind(Value), m_value(QString::fromUtf8(text)) {}
    RpcArg(double number) : m_kind(Value), m_value(number) {}
    RpcArg(int number) : m_kind(Value), m_value(double(number)) {}
    RpcArg(const Delta &delta) : m_kind(Value), m_value(PacketCodec::toJson(delta)) {}
    RpcArg(std::nullptr_t) : m_kind(Value), m_value(QJsonValue::Null) {}
    RpcArg(const QJsonObject &named) : m_kind(Value), m_value(named) {}

    static RpcArg ref(QString *text);
    static RpcArg ref(int *number);
    static RpcArg ref(double *number);

    QJsonValue toJson() const;
    void writeBack(const QJsonValue &value) const;

private:
    enum Kind { Value, RefString, RefInt, RefDouble };
    RpcArg(Kind kind, void *target) : m_kind(kind), m_target(target) {}
    Kind m_kind;
    QJsonValue m_value;
    void *m_target = nullptr;
};

// One call of a batch: the method and its arguments, as Call takes them.
struct RpcCall {
    QString method;
    QVector<RpcArg> args;
};

struct RpcReply {
    bool ok = false;
    int errorCode = 0;
    QString errorMessage;
    ReplyData data;  // the result's data, read when and as it is wanted
    QJsonArray params;
};

class TNetConnection : public QObject {
    Q_OBJECT
public:
    explicit TNetConnection(QObject *parent = nullptr);
    ~TNetConnection() override;

    QString Host;
    int Port = 0;
    QString Token;
    // Host may carry its scheme: "https://name" speaks TLS, verified by Trust
    // (or, when that vouches for nothing, by the host settings' trust). Plain
    // HTTP is refused for an address beyond the loopback.
    TlsTrust Trust;
    QString ServerName = QStringLiteral("Cot00300.rdmTbPreProCom");
    int TimeoutMs = 30000;
    // True: a transport failure raises EAppError. False: it comes back as a
    // failed reply, which CheckResultServ shows like any refusal.
    bool ThrowException = true;
    std::function<void(TNetConnection &)> OnBeforeConnect;
    // False: Open() only readies the connection and the first call finds out
    // whether the server is there, saving a round trip (the shell's check at
    // start is itself a call).
    bool CheckOnOpen = true;

    // Runs the before-connect handler and checks that the server answers.
    // When it does not: raises EAppError, or with ThrowException off returns
    // false and keeps the reason in LastError(); the next call tries again and
    // its failed reply carries the reason to CheckResultServ, which shows it.
    bool Open();
    QString LastError() const { return m_lastError; }
    // What the last TLS handshake saw of the server's certificate.
    TlsCheck LastTlsCheck() const { return m_tlsCheck; }
    void Close();
    bool Connected() const { return m_connected; }

    RpcReply Call(const QString &method, std::initializer_list<RpcArg> args);
    RpcReply Call(const QString &method, const QVector<RpcArg> &args);
    // Several calls in one request (a JSON-RPC batch), one reply per call in
    // the same order: the calls of one action in one round trip. The server
    // runs them one after the other, each in its own transaction, so a call
    // may not use what an earlier one of the same batch answers.
    QVector<RpcReply> CallBatch(const QVector<RpcCall> &calls);

    // Requests and calls made, and answers that came gzipped (for the link's
    // benchmark and tests).
    struct Traffic {
        int requests = 0;
        int calls = 0;
        int compressedAnswers = 0;
    };
    Traffic traffic() const { return m_traffic; }
    // Calls this process has sent that may change data (any method but a
    // get-method), over every connection: what was read before the count
    // moved may be older than a change this desktop saved.
    static quint64 ChangesSent();

    QString address() const;  // HOST:PORT

signals:
    void connectedChanged(bool connected);

private:
    RpcReply transportFailure(const QString &message);
    bool tryOpen();
    struct Posted;
    Posted post(const QByteArray &body, int calls, const QByteArray &operation);
    RpcReply answerOf(const RpcAnswer &answer, const QVector<RpcArg> &args, int status) const;
    void keepAlive();
    QString m_lastError;
    TlsCheck m_tlsCheck;
    bool m_tls = false;  // the scheme last given in Host
    struct Impl;
    std::unique_ptr<Impl> d;
    bool m_connected = false;
    qint64 m_nextId = 1;
    Traffic m_traffic;
};

// Checks a reply: on a failure shows the server's message (when show is set)
// and raises EServerError; otherwise yields the payload.
QJsonValue CheckResultServ(const RpcReply &reply, bool show = true, int helpContext = 0);
// CheckResultServ, then the payload read as a data packet.
DataPacket CheckResultPacket(const RpcReply &reply, bool show = true);
