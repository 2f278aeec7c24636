#pragma once
// Applying a client table's delta to one database table: reading the rows of a
// change into the table's columns, finding a row by its key as it was, the
// optimistic check of changed values, and the plain insert, update and delete.
// The rules of each kind of record live with its methods.

#include "db_session.h"

#include <columns.h>
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
    explicit TableLayout(const Vocabulary::Table &table);  // its stored columns

    const QString &table() const { return m_table; }
    const QVector<ColumnLayout> &columns() const { return m_columns; }
    int index(const QString &name) const;  // -1 when absent
    const ColumnLayout &column(const QString &name) const;  // one that exists
    Values keyOf(const Values &row) const;

    // The packet of a read of these columns, and the read itself: "SELECT
    // <every column> FROM <table> <rest>". Numbers travel as floats.
    QVector<FieldDef> fields() const;
    QString select(const QString &rest) const;

    // Statements, built once. Datetime columns are read as text (see packets).
    QString selectByKey(bool forUpdate, Dialect dialect) const;
    const QString &insertSql() const { return m_insert; }
    const QString &updateSql() const { return m_update; }
    const QString &deleteSql() const { return m_delete; }

private:
    QString m_table;
    QVector<ColumnLayout> m_columns;
    QString m_selectList;
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

// A read of a table's columns, in the order asked, with display columns of
// joined tables declared as such: the packet's fields and the SELECT list
// come from this one declaration.
class ReadView {
public:
    struct Column {
        QString source;  // alias of the table it comes from
        ColumnLayout column;
    };
    // Columns of the view's own table: names from its layout.
    static Column own(const TableLayout &table, const char *alias, const char *name) {
        return {QString::fromLatin1(alias), table.column(QString::fromLatin1(name))};
    }
    // A display column of a joined table (a name shown beside a code).
    static Column joined(const char *alias, const char *name, FieldType type, int size = 0) {
        return {QString::fromLatin1(alias), ColumnLayout{QString::fromLatin1(name), type, size}};
    }

    ReadView(QString from, QVector<Column> columns);  // from: "TABLE T LEFT JOIN ..."
    QVector<FieldDef> fields() const;
    QString select(const QString &rest) const;  // "SELECT <columns> FROM <from> <rest>"

private:
    QString m_from;
    QVector<Column> m_columns;
    QString m_selectList;
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
