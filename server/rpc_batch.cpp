#include "rpc_batch.h"

#include "idempotency_store.h"
#include "rpc_codes.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

bool looksLikeArray(const QByteArray &body) {
    for (const char c : body) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        return c == '[';
    }
    return false;
}

}  // namespace

namespace RpcBatch {

RpcDispatcher::Outcome handle(const RpcDispatcher &dispatcher, const QByteArray &body, DbSession &session, const Caller &caller,
                              const QByteArray &idempotencyKey) {
    if (!looksLikeArray(body)) return dispatcher.handle(body, session, caller, idempotencyKey);
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &perr);
    // Unreadable JSON gets the dispatcher's own account of what is wrong.
    if (perr.error != QJsonParseError::NoError || !doc.isArray()) return dispatcher.handle(body, session, caller, idempotencyKey);

    RpcDispatcher::Outcome out;
    const QJsonArray calls = doc.array();
    if (calls.isEmpty() || calls.size() > MaxCalls) {
        out.method = QStringLiteral("lote");
        out.code = RpcCode::InvalidRequest;
        out.body = rpcErrorBody(QJsonValue::Null, RpcCode::InvalidRequest,
                                calls.isEmpty() ? QStringLiteral("O lote de requisições está vazio: envie ao menos uma chamada.")
                                                : QStringLiteral("O lote tem %1 chamadas; o máximo é %2 por requisição.")
                                                      .arg(calls.size())
                                                      .arg(MaxCalls));
        return out;
    }

    QStringList methods;
    QByteArray answers = "[";
    bool anyAnswer = false;
    // The batch's key is checked as given, before any call runs.
    if (!idempotencyKey.isEmpty() && !IdempotencyStore::problem(idempotencyKey).isEmpty()) {
        out.method = QStringLiteral("lote");
        out.code = RpcCode::InvalidRequest;
        out.body = rpcErrorBody(QJsonValue::Null, RpcCode::InvalidRequest, IdempotencyStore::problem(idempotencyKey));
        return out;
    }
    for (int i = 0; i < calls.size(); ++i) {
        const QJsonValue call = calls.at(i);
        RpcDispatcher::Outcome one;
        if (call.isObject()) {
            const QByteArray key = idempotencyKey.isEmpty() ? QByteArray() : IdempotencyStore::memberKey(idempotencyKey, i);
            one = dispatcher.handle(QJsonDocument(call.toObject()).toJson(QJsonDocument::Compact), session, caller, key);
        } else {
            // A member that is no object is no request, whatever it holds
            // (a nested batch included).
            one.code = RpcCode::InvalidRequest;
            one.body = rpcErrorBody(QJsonValue::Null, RpcCode::InvalidRequest,
                                    QStringLiteral("Cada item do lote deve ser um objeto JSON-RPC 2.0."));
        }
        methods.append(one.method.isEmpty() ? QStringLiteral("-") : one.method);
        if (out.code == 0 && one.code != 0) out.code = one.code;
        if (one.notification) continue;
        if (anyAnswer) answers += ',';
        answers += one.body;
        anyAnswer = true;
    }
    answers += ']';
    out.method = QStringLiteral("lote[%1]").arg(methods.join(QLatin1Char(',')));
    out.notification = !anyAnswer;
    if (anyAnswer) out.body = std::move(answers);
    return out;
}

}  // namespace RpcBatch
