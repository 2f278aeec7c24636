#pragma once
// Building the data packets the get-methods answer with, written straight to
// JSON text: a packet of a thousand rows is the bulk of an answer, and
// building it as JSON text costs a fraction of a QJsonArray of QJsonValues.

#include "db_session.h"

#include <packet.h>
#include <packet_writer.h>

#include <QByteArray>
#include <QVariantList>

namespace Packets {

inline FieldDef text(const char *name, int size) { return FieldDef{QString::fromLatin1(name), FieldType::String, size}; }
inline FieldDef number(const char *name) { return FieldDef{QString::fromLatin1(name), FieldType::Float, 0}; }
inline FieldDef dateTime(const char *name) { return FieldDef{QString::fromLatin1(name), FieldType::DateTime, 0}; }

// The packet writer, with rows taken from a query.
class Builder : public PacketWriter {
public:
    using PacketWriter::PacketWriter;
    void addRows(Query &query);  // one row per result row, columns in field order
};

// SELECT with bound values, one row per result row.
QByteArray select(DbSession &db, const QVector<FieldDef> &fields, const QString &sql, const QVariantList &binds);
QByteArray empty(const QVector<FieldDef> &fields);

}  // namespace Packets
