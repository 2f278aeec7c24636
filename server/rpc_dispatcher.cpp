#include "rpc_dispatcher.h"

#include "codes.h"
#include "idempotency_store.h"
#include "write_path.h"
#include "wire_values.h"
#include "methods/packets.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

// What the JSON reader found wrong, in the words shown to the user.
QString parseProblem(QJsonParseError::ParseError error) {
    switch (error) {
    case QJsonParseError::UnterminatedObject: return QStringLiteral("objeto não terminado");
    case QJsonParseError::MissingNameSeparator: return QStringLiteral("falta \":\" depois de um nome");
    case QJsonParseError::UnterminatedArray: return QStringLiteral("lista não terminada");
    case QJsonParseError::MissingValueSeparator: return QStringLiteral("falta \",\" entre valores");
    case QJsonParseError::IllegalValue: return QStringLiteral("valor inválido");
    case QJsonParseError::TerminationByNumber: return QStringLiteral("texto terminado no meio de um número");
    case QJsonParseError::IllegalNumber: return QStringLiteral("número inválido");
    case QJsonParseError::IllegalEscapeSequence: return QStringLiteral("sequência de escape inválida");
    case QJsonParseError::IllegalUTF8String: return QStringLiteral("texto com UTF-8 inválido");
    case QJsonParseError::UnterminatedString: return QStringLiteral("texto entre aspas não terminado");
    case QJsonParseError::MissingObject: return QStringLiteral("falta o objeto da requisição");
    case QJsonParseError::DeepNesting: return QStringLiteral("aninhamento profundo demais");
    case QJsonParseError::DocumentTooLarge: return QStringLiteral("documento grande demais");
    case QJsonParseError::GarbageAtEnd: return QStringLiteral("conteúdo depois do fim do JSON");
    case QJsonParseError::NoError: break;
    }
    return QStringLiteral("conteúdo inválido");
}

QByteArray resultBody(const QJsonValue &id, const QByteArray &data, const QJsonArray &params) {
    QByteArray out;
    const QByteArray paramsText = JsonText::encode(params);
    out.reserve(data.size() + paramsText.size() + 64);
    out += "{\"jsonrpc\":\"2.0\",\"id\":";
    out += JsonText::encode(id);
    out += ",\"result\":{\"data\":";
    out += data;
    out += ",\"params\":";
    out += paramsText;
    out += "}}";
    return out;
}

QString kindName(ArgKind kind) {
    switch (kind) {
    case ArgKind::Text: return QStringLiteral("um texto");
    case ArgKind::Count: return QStringLiteral("um número inteiro");
    case ArgKind::Number: return QStringLiteral("um número");
    case ArgKind::NumberOrNull: return QStringLiteral("um número ou nulo");
    case ArgKind::Delta: return QStringLiteral("um pacote de alterações");
    case ArgKind::DeltaOrNull: return QStringLiteral("um pacote de alterações ou nulo");
    case ArgKind::Object: return QStringLiteral("um objeto");
    }
    return QString();
}

bool wholeNumber(const QJsonValue &v, qint64 *out) {
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 1e15) return false;
        *out = qint64(d);
        return true;
    }
    if (v.isString()) {
        const QString t = v.toString().trimmed();
        if (t.isEmpty() || t.size() > 15) return false;
        bool ok = false;
        *out = t.toLongLong(&ok);
        return ok;
    }
    return false;
}

bool accepts(ArgKind kind, const QJsonValue &v) {
    qint64 n;
    switch (kind) {
    case ArgKind::Text: return v.isString();
    case ArgKind::Count: return wholeNumber(v, &n);
    case ArgKind::Number: return v.isDouble() && std::isfinite(v.toDouble());
    case ArgKind::NumberOrNull: return v.isNull() || (v.isDouble() && std::isfinite(v.toDouble()));
    case ArgKind::Delta: return v.isObject();
    case ArgKind::DeltaOrNull: return v.isNull() || v.isObject();
    case ArgKind::Object: return v.isObject();
    }
    return false;
}

const QString kOutcomeUnknownMessage =
    QStringLiteral("A conexão com o banco de dados caiu depois do pedido de gravação: não se sabe se a alteração foi gravada. "
                   "Verifique os dados antes de repetir a operação.");
const QString kStorageMessage = QStringLiteral("Falha ao acessar o banco de dados do servidor de aplicação. A operação não foi realizada.");
const QString kUnavailableMessage = QStringLiteral("O banco de dados do servidor de aplicação não está disponível no momento. Tente novamente.");
const QString kConstraintMessage =
    QStringLiteral("A operação foi recusada pelo banco de dados por violar uma regra de integridade dos dados. Nada foi gravado.");
const QString kBusyMessage =
    QStringLiteral("O banco de dados está ocupado com alterações de outros usuários. Tente novamente em instantes.");

// The call's outcome turned into its error answer.
RpcDispatcher::Outcome &failed(RpcDispatcher::Outcome &out, const QJsonValue &id, int code, const QString &message) {
    out.code = code;
    out.body = rpcErrorBody(id, code, message);
    return out;
}

// A kept answer holds only the arguments the caller copies back (a delta is
// sent back as it came, and would only take room); the rest is the request's.
QJsonArray copiedBack(const MethodDef &def, const QJsonArray &final) {
    QJsonArray kept;
    for (int i = 0; i < final.size(); ++i) kept.append(def.byReference.contains(i) ? final.at(i) : QJsonValue());
    return kept;
}

QJsonArray withCopiedBack(const MethodDef &def, QJsonArray request, const QJsonArray &kept) {
    for (int i : def.byReference)
        if (i < request.size() && i < kept.size()) request[i] = kept.at(i);
    return request;
}

}  // namespace

// A request read and checked, ready to run.
struct RpcDispatcher::Call {
    const MethodDef &def;
    QJsonValue id;
    QJsonArray params;
    QVector<std::optional<Delta>> deltas;
    const Caller &caller;
    QByteArray idempotencyKey;  // writes only; empty: none
    QByteArray requestHash;     // of method and params, when there is a key
};

void CallContext::setData(const QJsonValue &value) { data = JsonText::encode(value); }

qint64 CallContext::count(int i) const {
    qint64 n = 0;
    wholeNumber(params.at(i), &n);
    return n;
}

void MethodRegistry::add(Right right, MethodDef def) {
    def.right = right;
    m_methods.insert(def.name, std::move(def));
}

const MethodDef *MethodRegistry::find(const QString &name) const {
    auto it = m_methods.constFind(name);
    return it == m_methods.constEnd() ? nullptr : &*it;
}

QStringList MethodRegistry::names() const { return m_methods.keys(); }

RpcDispatcher::Outcome RpcDispatcher::handle(const QByteArray &body, DbSession &session, const Caller &caller,
                                             const QByteArray &idempotencyKey) const {
    Outcome out;
    QJsonValue id = QJsonValue::Null;
    auto fail = [&](int code, const QString &message) { return failed(out, id, code, message); };

    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &perr);
    if (perr.error != QJsonParseError::NoError) {
        // A lone number, text or literal is JSON, but not a request.
        QJsonParseError inner;
        const QJsonDocument wrapped = QJsonDocument::fromJson("[" + body + "]", &inner);
        if (inner.error == QJsonParseError::NoError && wrapped.array().size() == 1)
            return fail(RpcCode::InvalidRequest, QStringLiteral("A requisição deve ser um objeto JSON-RPC 2.0."));
        return fail(RpcCode::ParseError, QStringLiteral("A requisição não é um JSON válido (%1, posição %2).")
                                             .arg(parseProblem(perr.error))
                                             .arg(perr.offset));
    }
    if (doc.isArray()) return fail(RpcCode::InvalidRequest, QStringLiteral("Requisições em lote não são aceitas: envie uma chamada por vez."));
    if (!doc.isObject()) return fail(RpcCode::InvalidRequest, QStringLiteral("A requisição deve ser um objeto JSON-RPC 2.0."));
    const QJsonObject request = doc.object();
    if (request.contains(QLatin1String("id"))) {
        const QJsonValue given = request.value(QLatin1String("id"));
        if (given.isDouble() || given.isString() || given.isNull()) id = given;
        else return fail(RpcCode::InvalidRequest, QStringLiteral("O identificador (id) da requisição deve ser um número ou um texto."));
    }
    if (request.value(QLatin1String("jsonrpc")).toString() != QLatin1String("2.0"))
        return fail(RpcCode::InvalidRequest, QStringLiteral("A requisição deve informar \"jsonrpc\": \"2.0\"."));
    const QJsonValue methodValue = request.value(QLatin1String("method"));
    if (!methodValue.isString() || methodValue.toString().isEmpty())
        return fail(RpcCode::InvalidRequest, QStringLiteral("A requisição não informa o método a chamar."));
    const QString methodName = methodValue.toString();
    out.method = Codes::shown(methodName, 60);
    // A well-formed request without an id is a notification: it runs, and the
    // client gets no answer, not even its error.
    out.notification = !request.contains(QLatin1String("id"));

    const MethodDef *def = m_registry.find(methodName);
    if (!def)
        return fail(RpcCode::MethodNotFound, QStringLiteral("O método \"%1\" não existe no módulo Cot00300.rdmTbPreProCom.")
                                                 .arg(Codes::shown(methodName, 60)));
    // Before any argument is read and any SQL runs.
    if (!AccessRoles::allows(caller.role, def->right))
        return fail(RpcCode::NotAllowed, AccessRoles::refusal(caller.person, caller.role, def->right));
    if (!idempotencyKey.isEmpty() && !IdempotencyStore::problem(idempotencyKey).isEmpty())
        return fail(RpcCode::InvalidRequest, IdempotencyStore::problem(idempotencyKey));

    QJsonArray params;
    if (request.contains(QLatin1String("params"))) {
        const QJsonValue p = request.value(QLatin1String("params"));
        if (p.isArray()) params = p.toArray();
        else if (!p.isNull())
            return fail(RpcCode::InvalidParams, QStringLiteral("Os argumentos do método %1 devem vir em uma lista, na ordem.").arg(def->name));
    }
    if (params.size() != def->args.size())
        return fail(RpcCode::InvalidParams, QStringLiteral("O método %1 espera %2 argumento(s), mas recebeu %3.")
                                                .arg(def->name)
                                                .arg(def->args.size())
                                                .arg(params.size()));
    try {
        WireValues::checkArguments(params, def->name);
    } catch (const RpcError &e) {
        return fail(e.code(), e.message());
    }
    QVector<std::optional<Delta>> deltas(params.size());
    for (int i = 0; i < params.size(); ++i) {
        const QJsonValue v = params.at(i);
        if (!accepts(def->args[i], v))
            return fail(RpcCode::InvalidParams, QStringLiteral("O argumento %1 do método %2 deve ser %3.")
                                                    .arg(i + 1)
                                                    .arg(def->name, kindName(def->args[i])));
        if ((def->args[i] == ArgKind::Delta || def->args[i] == ArgKind::DeltaOrNull) && v.isObject()) {
            try {
                deltas[i] = PacketCodec::deltaFromJson(v);
                WireValues::checkDelta(*deltas[i], i + 1, def->name);
            } catch (const RpcError &e) {
                return fail(e.code(), e.message());
            } catch (const PacketError &e) {
                return fail(RpcCode::InvalidParams, QStringLiteral("Argumento %1 do método %2: %3").arg(i + 1).arg(def->name, e.message()));
            }
        }
    }

    Call call{*def, id, params, std::move(deltas), caller, {}, {}};
    if (def->tx == TxMode::Write && !idempotencyKey.isEmpty()) {
        call.idempotencyKey = idempotencyKey;
        call.requestHash = IdempotencyStore::requestHash(def->name, params);
    }
    if (def->tx == TxMode::Write && m_writeLane) {
        m_writeLane([&](DbSession &writer) { out = run(call, writer, std::move(out)); });
        return out;
    }
    return run(call, session, std::move(out));
}

RpcDispatcher::Outcome RpcDispatcher::run(const Call &call, DbSession &session, Outcome out) const {
    const MethodDef *def = &call.def;
    const QJsonValue &id = call.id;
    auto fail = [&](int code, const QString &message) { return failed(out, id, code, message); };
    const bool limited = def->tx == TxMode::Write && m_writeTimeLimit.count() > 0;
    // Locks and serialisation failures are tried again; anything else answers at once.
    for (int attempt = 0;; ++attempt) {
        bool started = false, committing = false;
        try {
            session.open();
            CallContext ctx(session, def->name, call.params, call.deltas);
            ctx.observer = m_observer;
            ctx.user = call.caller.person;
            ctx.role = call.caller.role;
            Transaction tx(session, def->tx);
            started = true;
            if (limited) {
                ctx.writeLimit = m_writeTimeLimit;
                ctx.deadline = std::chrono::steady_clock::now() + m_writeTimeLimit;
                // A single statement (or a wait for a row lock) is bounded too.
                if (session.isPostgres())
                    session.execute(QStringLiteral("SET LOCAL statement_timeout = %1").arg(qint64(m_writeTimeLimit.count())));
            }
            const bool keyed = !call.idempotencyKey.isEmpty();
            if (keyed) {
                if (auto kept = IdempotencyStore::recall(session, call.caller.person, call.idempotencyKey, call.requestHash)) {
                    tx.commit();
                    out.code = 0;
                    out.body = resultBody(id, kept->data, withCopiedBack(*def, call.params, kept->params));
                    return out;
                }
            }
            def->run(ctx);
            if (ctx.deadline && std::chrono::steady_clock::now() > *ctx.deadline) WritePath::tooLong(ctx);
            if (keyed) IdempotencyStore::keep(session, call.caller.person, call.idempotencyKey, call.requestHash, ctx.data,
                                              copiedBack(*def, ctx.params));
            committing = true;
            tx.commit();
            out.code = 0;
            out.body = resultBody(id, ctx.data, ctx.params);
            return out;
        } catch (const RpcError &e) {
            return fail(e.code(), e.message());
        } catch (const PacketError &e) {
            return fail(RpcCode::InvalidParams, e.message());
        } catch (const DbError &e) {
            session.rollback();
            if (e.kind() == DbError::Busy) {
                if (attempt < (session.isPostgres() ? 5 : 1)) continue;
                return fail(RpcCode::Storage, kBusyMessage);
            }
            if (e.kind() == DbError::Constraint) return fail(RpcCode::Refused, kConstraintMessage);
            if (e.kind() == DbError::Connection || !session.isOpen()) {
                session.close();
                // The commit may have been done before the connection dropped.
                if (committing && def->tx == TxMode::Write) return fail(RpcCode::OutcomeUnknown, kOutcomeUnknownMessage);
                // Nothing ran yet, or only reads: open again and try once more.
                // A write may have reached its commit, so it is not repeated.
                if ((!started || def->tx != TxMode::Write) && attempt == 0) continue;
                return fail(RpcCode::Storage, started ? kStorageMessage : kUnavailableMessage);
            }
            return fail(RpcCode::Storage, kStorageMessage);
        } catch (const std::exception &) {
            session.rollback();
            return fail(RpcCode::Storage, kStorageMessage);
        } catch (...) {
            session.rollback();
            return fail(RpcCode::Storage, kStorageMessage);
        }
    }
}
