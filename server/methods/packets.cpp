#include "packets.h"

#include "entity.h"

namespace Packets {

void Builder::addRow(const QVector<QVariant> &values) {
    QJsonArray row;
    for (int i = 0; i < m_fields.size(); ++i)
        row.append(PacketCodec::valueToJson(Entity::columnValue(values.value(i), m_fields[i].type), m_fields[i].type));
    m_rows.append(row);
}

void Builder::addRows(Query &query) {
    while (query.next()) {
        QJsonArray row;
        for (int i = 0; i < m_fields.size(); ++i) {
            const FieldType type = m_fields[i].type;
            row.append(PacketCodec::valueToJson(Entity::columnValue(query.value(i), type), type));
        }
        m_rows.append(row);
    }
}

QJsonObject Builder::toJson() const {
    QJsonArray fields;
    for (const FieldDef &f : m_fields) {
        QJsonObject o{{"name", f.name}, {"type", PacketCodec::fieldTypeName(f.type)}};
        if (f.type == FieldType::String) o.insert("size", f.size);
        fields.append(o);
    }
    return QJsonObject{{"fields", fields}, {"rows", m_rows}};
}

QJsonObject select(DbSession &db, const QVector<FieldDef> &fields, const QString &sql, const QVariantList &binds) {
    Query q(db, sql);
    for (const QVariant &v : binds) q.bind(v);
    q.exec();
    Builder b(fields);
    b.addRows(q);
    return b.toJson();
}

QJsonObject empty(const QVector<FieldDef> &fields) { return Builder(fields).toJson(); }

}  // namespace Packets
