#pragma once
// What several method families share: the price table lock, the sequences,
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

// Sequences: the next number, never handed out twice; bump() keeps a number
// used by an insert from being handed out later; callers skip numbers in use
// and restart() a sequence that passed its last number.
qint64 nextNumber(DbSession &db, const QString &sequence);
void bump(DbSession &db, const QString &sequence, qint64 used);
void restart(DbSession &db, const QString &sequence);
qint64 count(DbSession &db, const QString &sql);  // a SELECT COUNT(*) without parameters

QString discountTypeName(const QString &code);  // "L" → "Locação", ...

// The rules of one kind of record that hangs on a price table (bands,
// permissions), for applying a client's delta of them.
struct PriceTableRecords {
    const TableLayout *layout = nullptr;
    int codeColumn = 0;                           // CDPRECOPROP
    std::function<void(DeltaRecord &)> normalise;  // pads codes and quantities
    QString oldKeyMissing;                         // refusal when a change does not say which record it changes
    std::function<void(const Values &row, const QSet<QString> &existingTables)> validate;
    std::function<void(const Values &row)> refuseDuplicate;
    std::function<QString(const Values &key)> conflictMessage;  // another user changed or removed it
};

// Locks the price tables the delta touches, then applies its changes in
// order: inserts validated and refused as duplicates, updates and deletes
// found by their key as it was and refused when another user changed or
// removed the record. Answers the touched price tables that exist.
QSet<QString> applyPriceTableRecords(DbSession &db, const Delta &delta, const PriceTableRecords &rules);

}  // namespace Common
