#pragma once
// Applying a client table's delta to one database table: reading the rows of a
// change into the table's columns, finding a row by its key as it was, the
// optimistic check of changed values, and the plain insert, update and delete.
// The rules of each kind of record live with its methods.

#include "db_session.h"

#include <packet.h>

#include <QString>
#include <QVector>
#include <optional>

struct ColumnLayout {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;  // characters, for String columns
    bool key = false;
};

using Values = QVector<QVariant>;  // one per column, in the table's column order

class TableLayout {
public:
    TableLayout(QString table, QVector<ColumnLayout> columns);

    const QString &table() const { return m_table; }
    const QVector<ColumnLayout> &columns() const { return m_columns; }
    int index(const QString &name) const;  // -1 when absent
    Values keyOf(const Values &row) const;

    // Statements, built once. Datetime columns are read as text (see packets).
    QString selectByKey(bool forUpdate, Dialect dialect) const;
    const QString &insertSql() const { return m_insert; }
    const QString &updateSql() const { return m_update; }
    const QString &deleteSql() const { return m_delete; }

private:
    QString m_table;
    QVector<ColumnLayout> m_columns;
    QVector<int> m_keys;
    QString m_select, m_insert, m_update, m_delete;
};

// One side of a change (old or new), brought to the table's columns. A column
// the delta does not carry is absent (and reads as null).
struct DeltaRecord {
    Values values;
    QVector<bool> present;
    bool has(int column) const { return present.value(column, false); }
};

namespace Entity {

// Throws RpcError (wrong kind of argument) when a value does not fit its column.
DeltaRecord read(const Delta &delta, const Row &row, const TableLayout &layout);

std::optional<Values> fetch(DbSession &db, const TableLayout &layout, const Values &key, bool lock);
void insert(DbSession &db, const TableLayout &layout, const Values &row);
void update(DbSession &db, const TableLayout &layout, const Values &oldKey, const Values &row);
void remove(DbSession &db, const TableLayout &layout, const Values &key);

bool same(const QVariant &a, const QVariant &b, FieldType type);
// Columns the change alters: carried on both sides with different values.
QVector<int> changedColumns(const TableLayout &layout, const DeltaRecord &oldRec, const DeltaRecord &newRec);
// True when every changed column still holds, in the stored row, its old value.
bool unchangedSince(const TableLayout &layout, const DeltaRecord &oldRec, const QVector<int> &changed, const Values &stored);
// True when every column the old side carries still holds that value: a delete
// made from a row another user has changed since is refused like an update.
bool unchangedSinceRead(const TableLayout &layout, const DeltaRecord &oldRec, const Values &stored);
// The stored row with the changed columns taking their new values.
Values merged(const Values &stored, const DeltaRecord &newRec, const QVector<int> &changed);

// Reads a column value of a query into the column's type.
QVariant columnValue(const QVariant &raw, FieldType type);
QString text(const QVariant &v);  // null → empty

}  // namespace Entity
