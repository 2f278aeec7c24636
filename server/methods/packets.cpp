#include "packets.h"

#include "wire_values.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <cmath>

namespace Packets {

void Builder::addRows(Query &query) {
    while (query.next())
        addRowFrom([&](int i) {
            QVariant v = query.value(i);
            if (m_fields[i].type != FieldType::String) WireValues::checkStored(v, m_fields[i].name);
            return v;
        });
}

QByteArray select(DbSession &db, const QVector<FieldDef> &fields, const QString &sql, const QVariantList &binds) {
    Query q(db, sql);
    for (const QVariant &v : binds) q.bind(v);
    q.exec();
    Builder b(fields);
    b.addRows(q);
    return b.toJson();
}

QByteArray empty(const QVector<FieldDef> &fields) { return Builder(fields).toJson(); }

}  // namespace Packets
