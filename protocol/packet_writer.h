#pragma once
// The one writer of the wire format's JSON text: data packets written row by
// row straight to UTF-8, without building a JSON document first (a packet of
// thousands of rows is most of an answer). The server writes its answers with
// it and PacketCodec::encode uses it too.

#include "packet.h"

#include <QByteArray>
#include <QJsonValue>
#include <QVariant>

namespace JsonText {

void appendString(QByteArray &out, const QString &s);
void appendNumber(QByteArray &out, double d);  // shortest form that reads back the same; null when not finite
// A value as the wire carries it for a field of this type (null when it does not convert).
void appendValue(QByteArray &out, const QVariant &value, FieldType type);
QByteArray encode(const QJsonValue &value);

}  // namespace JsonText

// Accumulates rows in the packet's wire form.
class PacketWriter {
public:
    explicit PacketWriter(QVector<FieldDef> fields) : m_fields(std::move(fields)) {}
    void addRow(const QVector<QVariant> &values);  // values in field order, written in each field's type
    // One row whose value i comes from get(i).
    template <typename Get>
    void addRowFrom(Get get) {
        m_rows += m_count++ ? ",[" : "[";
        for (int i = 0; i < m_fields.size(); ++i) {
            if (i) m_rows += ',';
            JsonText::appendValue(m_rows, get(i), m_fields[i].type);
        }
        m_rows += ']';
    }
    int rowCount() const { return m_count; }
    QByteArray toJson() const;  // {"fields":[...],"rows":[...]}

protected:
    QVector<FieldDef> m_fields;
    QByteArray m_rows;
    int m_count = 0;
};
