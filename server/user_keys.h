#pragma once
// A key per person: the server keeps a SHA-256 hash of each key, never the
// key, and names the person of every call made with it. A revoked key is
// refused from its next call on.

#include "access_roles.h"
#include "db_session.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>
#include <optional>
#include <stdexcept>

namespace UserKeys {

// Refusals of the commands, in Portuguese.
struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
    QString text() const { return QString::fromUtf8(what()); }
};

struct Entry {
    QString name;
    Role role = Role::Consulta;
    QDateTime created, lastUse, revoked;  // null when never used or still valid
};

// The names the trail records for the key file's person and the embedded
// server's: no person may take them.
QString keyFilePerson();     // "administrador"
QString embeddedPerson();    // "local"

QByteArray hash(const QByteArray &key);  // hex SHA-256

// A new random key for a new person with this role; answers the key, which
// is shown once and not kept. Each name is one person for good: a revoked
// person stays listed, and the name is not given to anyone else.
QByteArray add(DbSession &db, const QString &name, Role role = Role::Consulta);
QVector<Entry> list(DbSession &db);
void revoke(DbSession &db, const QString &name);
// A running server applies the new role from the person's next call.
void setRole(DbSession &db, const QString &name, Role role);
// True when the text has the shape of a key add() makes.
bool wellFormed(const QByteArray &key);
// The person of a valid key and their role; none when the key is unknown or revoked.
std::optional<Caller> person(DbSession &db, const QByteArray &keyHash);
void recordUse(DbSession &db, const QString &name);

}  // namespace UserKeys
