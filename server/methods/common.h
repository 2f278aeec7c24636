#pragma once
// What several method families share: the price table lock
// and the look-ups the rules need.

#include "db_session.h"
#include "entity.h"

#include <functional>

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

}  // namespace Common

struct TableRules;

namespace Permissions {
const TableRules &rules();  // PRECOPROPOPER, for every method that grants a permission
}

namespace Bands {
const TableRules &rules(bool systems);  // PRECOPROPSIST or PRECOPROPUSU, for the copy of a price table
}
