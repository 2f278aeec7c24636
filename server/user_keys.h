#pragma once
// A key per person: the server keeps a SHA-256 hash of each key, never the
// key, and names the person of every call made with it. A revoked key is
// refused from its next call on.

#include "db_session.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>
#include <stdexcept>

namespace UserKeys {

// Refusals of the commands, in Portuguese.
struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
    QString text() const { return QString::fromUtf8(what()); }
};

struct Entry {
    QString name;
    QDateTime created, lastUse, revoked;  // null when never used or still valid
};

QByteArray hash(const QByteArray &key);  // hex SHA-256

// A new random key for the person (a revoked one's name may be used again);
// answers the key, which is shown once and not kept.
QByteArray add(DbSession &db, const QString &name);
QVector<Entry> list(DbSession &db);
void revoke(DbSession &db, const QString &name);
// True when the text has the shape of a key add() makes.
bool wellFormed(const QByteArray &key);
// The person of a valid key; empty when the key is unknown or revoked.
QString person(DbSession &db, const QByteArray &keyHash);
void recordUse(DbSession &db, const QString &name);

}  // namespace UserKeys
