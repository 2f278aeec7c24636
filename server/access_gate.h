#pragma once
// Who may reach the remote data module, decided before any method runs: the
// administrator's key (--token-file), a person's key with its role, looked up
// on every call so a revocation applies from the next one, and the throttle
// on clients that keep sending wrong keys. With no administrator key the
// server asks none (the embedded, loopback-only case) and every call is the
// embedded server's administrator's.

#include "access_roles.h"
#include "access_throttle.h"
#include "http/http_server.h"

#include <QHash>
#include <chrono>
#include <mutex>
#include <optional>
#include <variant>

class DbSession;

class AccessGate {
public:
    // token: the administrator's key; empty asks no key at all.
    void setAdministratorToken(const QString &token);
    bool setTrustedProxies(const QStringList &addresses, QString *error) { return m_throttle.setTrustedProxies(addresses, error); }

    // On the event thread, before the body is read and without the database:
    // nullopt lets the call on to a worker; otherwise the refusal (429 for a
    // throttled client, 401 for what cannot be a key).
    std::optional<HttpAnswer> admit(const HttpRequest &head);

    // On the worker: the caller, or the refusal (401 for an unknown or
    // revoked key, 503 when the database does not answer).
    std::variant<Caller, HttpAnswer> caller(const HttpRequest &request, DbSession &session);

private:
    bool isAdministrator(const HttpRequest &r) const;
    std::optional<HttpAnswer> throttled(const HttpRequest &head);
    HttpAnswer refuseKey(const HttpRequest &head);
    std::optional<Caller> personOf(const HttpRequest &request, DbSession &session);

    QByteArray m_expectedAuthorization;  // "Bearer <token>"; empty: no key asked
    AccessThrottle m_throttle;           // refused keys per client
    std::mutex m_keysGuard;
    QHash<QString, std::chrono::steady_clock::time_point> m_useRecorded;  // a person's last use recorded
};
