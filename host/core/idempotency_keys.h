#pragma once
// The Idempotency-Key each call carries. A new operation gets a new key; an
// operation sent again after its outcome could not be known (no answer, a
// proxy's 502 or 504, the server's "outcome unknown") goes with the key of
// that attempt, so a write that had been stored is answered as it was the
// first time and not stored twice. The server keeps keyed answers of writes
// only; reads ignore the key.

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QString>

class IdempotencyKeys {
public:
    // What makes two calls the same operation: the method and its arguments.
    static QByteArray identity(const QString &method, const QJsonArray &params);

    // The key of an unsettled earlier attempt of this operation, or a new one.
    QByteArray keyFor(const QByteArray &identity) const;
    // The attempt with this key may or may not have been done.
    void unsettled(const QByteArray &identity, const QByteArray &key);
    // An answer came: the same call later is a new operation.
    void settled(const QByteArray &identity) { m_unsettled.remove(identity); }

private:
    static constexpr int kMaxRemembered = 64;
    QHash<QByteArray, QByteArray> m_unsettled;  // identity → key
};
