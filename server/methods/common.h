#pragma once
// What several method families share: the price table lock, the sequences,
// and the look-ups the rules need.

#include "db_session.h"

#include <QSet>
#include <QString>

namespace Common {

// Locks the rows of these price tables (in code order, so that two writers
// never wait for each other in a circle) and answers which of them exist.
// On SQLite, BEGIN IMMEDIATE has already serialised every writer.
QSet<QString> lockPriceTables(DbSession &db, const QSet<QString> &codes);
bool priceTableExists(DbSession &db, const QString &code);
QString priceTableName(DbSession &db, const QString &code);

// 'A' active, 'I' inactive; empty when the operator is not registered.
QString operatorStatus(DbSession &db, const QString &code);
QString operatorName(DbSession &db, const QString &code);

// Sequences: the next number, never handed out twice; bump() keeps a number
// used by an insert from being handed out later.
qint64 nextNumber(DbSession &db, const QString &sequence);
void bump(DbSession &db, const QString &sequence, qint64 used);

QString discountTypeName(const QString &code);  // "L" → "Locação", ...

}  // namespace Common
