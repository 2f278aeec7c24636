#include "access_gate.h"

#include "db_session.h"
#include "request_log.h"
#include "rpc_error.h"
#include "user_keys.h"

#include <QJsonValue>

namespace {

HttpAnswer refusal(int status, const QString &message) {
    HttpAnswer a;
    a.status = status;
    a.body = rpcErrorBody(QJsonValue::Null, RpcCode::InvalidRequest, message);
    return a;
}

QByteArray bearer(const QByteArray &authorization) {
    return authorization.startsWith("Bearer ") ? authorization.mid(7).trimmed() : QByteArray();
}

// Compares in time independent of where the texts differ.
bool sameToken(const QByteArray &given, const QByteArray &expected) {
    unsigned char diff = given.size() == expected.size() ? 0 : 1;
    const qsizetype n = std::max(given.size(), expected.size());
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char a = i < given.size() ? given[i] : 0, b = i < expected.size() ? expected[i] : 0;
        diff |= a ^ b;
    }
    return diff == 0;
}

}  // namespace

void AccessGate::setAdministratorToken(const QString &token) {
    m_expectedAuthorization = token.isEmpty() ? QByteArray() : "Bearer " + token.toUtf8();
}

bool AccessGate::isAdministrator(const HttpRequest &r) const { return sameToken(r.authorization, m_expectedAuthorization); }

std::optional<HttpAnswer> AccessGate::admit(const HttpRequest &head) {
    if (m_expectedAuthorization.isEmpty()) return std::nullopt;
    // Before any key is compared, so a run of guesses learns nothing.
    if (auto wait = throttled(head)) return wait;
    if (isAdministrator(head)) return std::nullopt;
    // What looks like a person's key is looked up by the worker (here the
    // database may not be touched); anything else is refused before its body
    // is read.
    if (UserKeys::wellFormed(bearer(head.authorization))) return std::nullopt;
    return refuseKey(head);
}

std::variant<Caller, HttpAnswer> AccessGate::caller(const HttpRequest &request, DbSession &session) {
    // The key file's person and the embedded server's do everything.
    Caller caller{UserKeys::embeddedPerson(), Role::Administrador};
    if (m_expectedAuthorization.isEmpty()) return caller;
    if (isAdministrator(request)) {
        caller.person = UserKeys::keyFilePerson();
        return caller;
    }
    std::optional<Caller> person;
    try {
        person = personOf(request, session);
    } catch (...) {
        return refusal(503, QStringLiteral("O banco de dados do servidor de aplicação não está disponível no momento. Tente novamente."));
    }
    if (!person) return refuseKey(request);
    return *person;
}

// A client that keeps sending wrong keys waits before any key of it is
// looked at (AccessThrottle). The key itself is never logged.
std::optional<HttpAnswer> AccessGate::throttled(const HttpRequest &head) {
    const std::optional<int> wait = m_throttle.wait(m_throttle.clientOf(head.peer, head.forwardedFor));
    if (!wait) return std::nullopt;
    HttpAnswer a = refusal(429, QStringLiteral("Muitas tentativas com chave de acesso inválida deste endereço. Tente de novo em %1 s.").arg(*wait));
    a.retryAfterSeconds = *wait;
    return a;
}

HttpAnswer AccessGate::refuseKey(const HttpRequest &head) {
    const QByteArray client = m_throttle.clientOf(head.peer, head.forwardedFor);
    const double count = m_throttle.refused(client);
    RequestLog::entry("chave", -1, QStringLiteral("recusada de %1 (%2 recente(s))").arg(QString::fromLatin1(client)).arg(qRound(count)).toUtf8());
    HttpAnswer a = refusal(401, QStringLiteral("Acesso não autorizado: chave de acesso ausente ou inválida."));
    a.askForKey = true;
    return a;
}

// The person of the request's key, read from the database on every call so a
// revoked key is refused at once; a person's last use is recorded at most
// once a minute.
std::optional<Caller> AccessGate::personOf(const HttpRequest &request, DbSession &s) {
    s.open();
    const auto now = std::chrono::steady_clock::now();
    const std::optional<Caller> caller = UserKeys::person(s, UserKeys::hash(bearer(request.authorization)));
    if (!caller) return caller;
    const QString &who = caller->person;
    bool record = false;
    {
        std::lock_guard<std::mutex> lock(m_keysGuard);
        auto it = m_useRecorded.find(who);
        record = it == m_useRecorded.end() || now - *it > std::chrono::minutes(1);
        if (record) m_useRecorded.insert(who, now);
    }
    if (record) UserKeys::recordUse(s, who);
    return caller;
}
