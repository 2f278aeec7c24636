#pragma once
// Writes safe to repeat. A write call may carry an idempotency key (the HTTP
// header Idempotency-Key); its answer is kept, per person and key, in the
// write's own transaction, so it is kept exactly when the write is. A repeat
// of the same request under the same key gets that answer and writes nothing;
// the same key with another request is refused. Kept in the database, answers
// survive restarts and are shared by every server on one PostgreSQL database.

#include "db_session.h"

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <optional>

namespace IdempotencyStore {

constexpr int MaxKeyLength = 64;
constexpr int KeptHours = 48;  // at least a day, as promised to clients

// Null when the key is well formed (1 to 64 visible ASCII characters);
// otherwise the refusal's sentence.
QString problem(const QByteArray &key);

// The key of the i-th call of a batch sent under `key` (as long as any key).
QByteArray memberKey(const QByteArray &key, int i);

// What identifies a request under a key: its method and arguments (the
// JSON-RPC id may change between a call and its repeat).
QByteArray requestHash(const QString &method, const QJsonArray &params);

struct Kept {
    QByteArray data;    // result.data as JSON text
    QJsonArray params;  // result.params of the first answer
};

// Inside the write's transaction, before the method runs. The answer kept for
// this person and key, or none; raises a refusal when the key was used for
// another request. Two calls with one key take turns here.
std::optional<Kept> recall(DbSession &db, const QString &person, const QByteArray &key, const QByteArray &hash);

// Inside the write's transaction, after the method ran.
void keep(DbSession &db, const QString &person, const QByteArray &key, const QByteArray &hash, const QByteArray &data,
          const QJsonArray &params);

}  // namespace IdempotencyStore
