#pragma once
// Building the data packets the get-methods answer with.

#include "db_session.h"

#include <packet.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QVariantList>

namespace Packets {

inline FieldDef text(const char *name, int size) { return FieldDef{QString::fromLatin1(name), FieldType::String, size}; }
inline FieldDef number(const char *name) { return FieldDef{QString::fromLatin1(name), FieldType::Float, 0}; }
inline FieldDef dateTime(const char *name) { return FieldDef{QString::fromLatin1(name), FieldType::DateTime, 0}; }

// Accumulates rows in the packet's wire form.
class Builder {
public:
    explicit Builder(QVector<FieldDef> fields) : m_fields(std::move(fields)) {}
    void addRow(const QVector<QVariant> &values);  // values in field order, converted to each field's type
    // Runs the query and adds one row per result row, columns in field order.
    void addRows(Query &query);
    int rowCount() const { return int(m_rows.size()); }
    QJsonObject toJson() const;

private:
    QVector<FieldDef> m_fields;
    QJsonArray m_rows;
};

// SELECT with bound values, one row per result row.
QJsonObject select(DbSession &db, const QVector<FieldDef> &fields, const QString &sql, const QVariantList &binds);
QJsonObject empty(const QVector<FieldDef> &fields);

}  // namespace Packets
