#include "common.h"

#include "codes.h"
#include "rpc_error.h"

#include <QList>
#include <algorithm>

namespace Common {

QSet<QString> lockPriceTables(DbSession &db, const QSet<QString> &codes) {
    QList<QString> sorted(codes.begin(), codes.end());
    std::sort(sorted.begin(), sorted.end());
    QSet<QString> found;
    const QString sql = db.forUpdate(QStringLiteral("SELECT CDPRECOPROP FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"));
    for (const QString &code : sorted) {
        Query q(db, sql);
        q.bind(code).exec();
        if (q.next()) found.insert(code);
    }
    return found;
}

bool priceTableExists(DbSession &db, const QString &code) {
    Query q(db, QStringLiteral("SELECT 1 FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"));
    q.bind(code).exec();
    return q.next();
}

QString priceTableName(DbSession &db, const QString &code) {
    Query q(db, QStringLiteral("SELECT NMPRECOPROP FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"));
    q.bind(code).exec();
    return q.next() ? q.text(0) : QString();
}

QString operatorStatus(DbSession &db, const QString &code) {
    Query q(db, QStringLiteral("SELECT IDOPERATIVO FROM OPERADOR WHERE CDOPERADOR = ?"));
    q.bind(code).exec();
    return q.next() ? q.text(0).trimmed() : QString();
}

QString operatorName(DbSession &db, const QString &code) {
    Query q(db, QStringLiteral("SELECT NMOPERADOR FROM OPERADOR WHERE CDOPERADOR = ?"));
    q.bind(code).exec();
    return q.next() ? q.text(0) : QString();
}

qint64 nextNumber(DbSession &db, const QString &sequence) {
    Query q(db, QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = NRULTIMO + 1 WHERE NMSEQUENCIA = ? RETURNING NRULTIMO"));
    q.bind(sequence).exec();
    if (!q.next()) throw DbError(DbError::Other, QString(), QStringLiteral("sequência ausente"));
    return q.value(0).toLongLong();
}

void bump(DbSession &db, const QString &sequence, qint64 used) {
    Query q(db, QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = ? WHERE NMSEQUENCIA = ? AND NRULTIMO < ?"));
    q.bind(used).bind(sequence).bind(used).exec();
}

void restart(DbSession &db, const QString &sequence) {
    Query q(db, QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = 0 WHERE NMSEQUENCIA = ?"));
    q.bind(sequence).exec();
}

qint64 count(DbSession &db, const QString &sql) {
    Query q(db, sql);
    q.exec();
    return q.next() ? q.value(0).toLongLong() : 0;
}

QString discountTypeName(const QString &code) {
    if (code == QLatin1String("L")) return QStringLiteral("Locação");
    if (code == QLatin1String("M")) return QStringLiteral("Manutenção");
    if (code == QLatin1String("U")) return QStringLiteral("Licença de Uso");
    return code;
}

QSet<QString> applyPriceTableRecords(DbSession &db, const Delta &delta, const PriceTableRecords &rules) {
    const TableLayout &layout = *rules.layout;
    auto missing = [](const QVariant &v) { return !v.isValid() || v.isNull() || v.toString().trimmed().isEmpty(); };
    const int n = int(delta.changes.size());
    QVector<DeltaRecord> olds(n), news(n);
    QSet<QString> touched;
    for (int i = 0; i < n; ++i) {
        const DeltaChange &c = delta.changes[i];
        if (c.op != DeltaChange::Insert) {
            olds[i] = Entity::read(delta, c.oldValues, layout);
            rules.normalise(olds[i]);
            for (const QVariant &k : layout.keyOf(olds[i].values))
                if (missing(k)) invalidParams(rules.oldKeyMissing);
            touched.insert(olds[i].values[rules.codeColumn].toString());
        }
        if (c.op != DeltaChange::Delete) {
            news[i] = Entity::read(delta, c.newValues, layout);
            rules.normalise(news[i]);
            const QString code = Entity::text(news[i].values[rules.codeColumn]);
            if (Codes::isPriceTable(code)) touched.insert(code);
        }
    }
    // Writers of one price table's records wait for each other here.
    const QSet<QString> existing = lockPriceTables(db, touched);

    for (int i = 0; i < n; ++i) {
        switch (delta.changes[i].op) {
        case DeltaChange::Insert: {
            const Values &row = news[i].values;
            rules.validate(row, existing);
            if (Entity::fetch(db, layout, layout.keyOf(row), false)) rules.refuseDuplicate(row);
            Entity::insert(db, layout, row);
            break;
        }
        case DeltaChange::Update: {
            const Values oldKey = layout.keyOf(olds[i].values);
            const auto stored = Entity::fetch(db, layout, oldKey, false);
            if (!stored) conflict(rules.conflictMessage(oldKey));
            const QVector<int> changed = Entity::changedColumns(layout, olds[i], news[i]);
            if (!Entity::unchangedSince(layout, olds[i], changed, *stored)) conflict(rules.conflictMessage(oldKey));
            const Values row = Entity::merged(*stored, news[i], changed);
            rules.validate(row, existing);
            const Values newKey = layout.keyOf(row);
            bool keyChanged = false;
            for (int k = 0; k < newKey.size(); ++k) keyChanged |= !Entity::same(newKey[k], oldKey[k], FieldType::String);
            if (keyChanged && Entity::fetch(db, layout, newKey, false)) rules.refuseDuplicate(row);
            Entity::update(db, layout, oldKey, row);
            break;
        }
        case DeltaChange::Delete: {
            const Values oldKey = layout.keyOf(olds[i].values);
            const auto stored = Entity::fetch(db, layout, oldKey, false);
            if (!stored || !Entity::unchangedSinceRead(layout, olds[i], *stored)) conflict(rules.conflictMessage(oldKey));
            Entity::remove(db, layout, oldKey);
            break;
        }
        }
    }
    return existing;
}

}  // namespace Common
