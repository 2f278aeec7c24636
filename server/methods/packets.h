#pragma once
// Building the data packets the get-methods answer with, written straight to
// JSON text: a packet of a thousand rows is the bulk of an answer, and
// building it as JSON text costs a fraction of a QJsonArray of QJsonValues.

#include "db_session.h"

#include <packet.h>

#include <QByteArray>
#include <QVariantList>

namespace Packets {

inline FieldDef text(const char *name, int size) { return FieldDef{QString::fromLatin1(name), FieldType::String, size}; }
inline FieldDef number(const char *name) { return FieldDef{QString::fromLatin1(name), FieldType::Float, 0}; }
inline FieldDef dateTime(const char *name) { return FieldDef{QString::fromLatin1(name), FieldType::DateTime, 0}; }

// Accumulates rows in the packet's wire form.
class Builder {
public:
    explicit Builder(QVector<FieldDef> fields) : m_fields(std::move(fields)) {}
    void addRow(const QVector<QVariant> &values);  // values in field order, written in each field's type
    // Adds one row per result row of the query, columns in field order.
    void addRows(Query &query);
    int rowCount() const { return m_count; }
    QByteArray toJson() const;  // {"fields":[...],"rows":[...]}

private:
    QVector<FieldDef> m_fields;
    QByteArray m_rows;
    int m_count = 0;
};

// SELECT with bound values, one row per result row.
QByteArray select(DbSession &db, const QVector<FieldDef> &fields, const QString &sql, const QVariantList &binds);
QByteArray empty(const QVector<FieldDef> &fields);

}  // namespace Packets

namespace JsonText {

void appendString(QByteArray &out, const QString &s);
void appendNumber(QByteArray &out, double d);  // shortest form that reads back the same; null when not finite
// A value as the wire carries it for a field of this type (null when it does not convert).
void appendValue(QByteArray &out, const QVariant &value, FieldType type);
QByteArray encode(const QJsonValue &value);

}  // namespace JsonText
