#pragma once
// JSON-RPC 2.0 for the remote data module: reads a request, checks the method
// and its arguments, runs the method in one database transaction and writes
// the answer {data, params} or the error.

#include "access_roles.h"
#include "db_session.h"
#include "rpc_error.h"

#include <packet.h>

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QVector>
#include <chrono>
#include <functional>
#include <optional>

class WriteObserver;

enum class ArgKind {
    Text,           // a JSON string
    Count,          // a whole number, as a JSON number or as text
    Number,         // a JSON number
    NumberOrNull,   // a JSON number or null
    Delta,          // a delta packet
    DeltaOrNull,    // a delta packet or null
    Object,         // a JSON object (named values)
};

class CallContext {
public:
    CallContext(DbSession &db, const QString &method, QJsonArray params, QVector<std::optional<Delta>> deltas)
        : db(db), method(method), params(std::move(params)), m_deltas(std::move(deltas)) {}

    DbSession &db;
    const QString &method;
    QJsonArray params;  // final values of the arguments, sent back in result.params
    QByteArray data = QByteArrayLiteral("null");  // the answer's data, as JSON text
    WriteObserver *observer = nullptr;  // sees every change written (see write_path.h)
    QString user;  // the person whose key made the call
    Role role = Role::Administrador;  // that person's role
    // A write past this point is rolled back (see WritePath): no call holds
    // the write lock for longer. Unset: no limit.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::chrono::milliseconds writeLimit{0};  // what set the deadline

    bool may(Right right) const { return AccessRoles::allows(role, right); }

    void setData(const QJsonValue &value);

    QString text(int i) const { return params.at(i).toString(); }
    bool isNull(int i) const { return params.at(i).isNull(); }
    double number(int i) const { return params.at(i).toDouble(); }
    qint64 count(int i) const;  // checked by the dispatcher
    const Delta *delta(int i) const { return m_deltas.value(i) ? &*m_deltas[i] : nullptr; }

private:
    QVector<std::optional<Delta>> m_deltas;
};

// What result.data holds, for the method's description (GET /openrpc.json).
enum class Answer {
    ByName,  // a data packet for get-methods, null for the others
    Packet,
    Text,
    Nothing,
    ListWithDetail,  // {"lista": packet, "chave": text, "detalhe": packet}
};

struct MethodDef {
    QString name;
    QVector<ArgKind> args;
    TxMode tx = TxMode::None;
    std::function<void(CallContext &)> run;
    QVector<int> byReference;  // arguments (from 0) whose final value the caller copies back
    Answer answer = Answer::ByName;
    Right right = Right::Read;  // set by MethodRegistry::add, from the declaration beside the method
};

class MethodRegistry {
public:
    // Every method is declared with the right its callers need.
    void add(Right right, MethodDef def);
    const MethodDef *find(const QString &name) const;  // case-sensitive
    QStringList names() const;

private:
    QHash<QString, MethodDef> m_methods;
};

class RpcDispatcher {
public:
    explicit RpcDispatcher(const MethodRegistry &registry) : m_registry(registry) {}

    struct Outcome {
        QByteArray body;
        QString method;  // for the log; empty when the request named none
        int code = 0;    // 0: success
        bool notification = false;  // a request without an id: answered with no body
    };
    // The call as the caller's person makes it; a write that carries an
    // idempotency key answers a repeat with its first answer (see IdempotencyStore).
    Outcome handle(const QByteArray &body, DbSession &session, const Caller &caller = localCaller(),
                   const QByteArray &idempotencyKey = QByteArray()) const;
    static Caller localCaller() { return {QStringLiteral("local"), Role::Administrador}; }

    // How long a write may hold the write lock before it is rolled back;
    // zero: no limit. Set before the first request.
    void setWriteTimeLimit(std::chrono::milliseconds limit) { m_writeTimeLimit = limit; }

    // Every change the methods write passes by it, inside its transaction;
    // none by default. Set before the first request.
    void setWriteObserver(WriteObserver *observer) { m_observer = observer; }
    // Where the transactions of write methods run: given the call, it runs it
    // on a session of its choice. None: on the session handle() was given.
    using WriteLane = std::function<void(const std::function<void(DbSession &)> &call)>;
    void setWriteLane(WriteLane lane) { m_writeLane = std::move(lane); }

private:
    struct Call;
    Outcome run(const Call &call, DbSession &session, Outcome out) const;
    const MethodRegistry &m_registry;
    WriteObserver *m_observer = nullptr;
    WriteLane m_writeLane;
    std::chrono::milliseconds m_writeTimeLimit{0};
};
