#include "audit_trail.h"

#include "entity.h"
#include "local_clock.h"

namespace {

QChar operationCode(DeltaChange::Op op) {
    switch (op) {
    case DeltaChange::Insert: return QLatin1Char('I');
    case DeltaChange::Update: return QLatin1Char('A');
    case DeltaChange::Delete: return QLatin1Char('E');
    }
    return QLatin1Char('A');
}

// A value as the trail keeps it: text, numbers with their significant digits,
// dates to the second; null stays null.
QVariant asText(const QVariant &v) {
    if (!v.isValid() || v.isNull()) return QVariant();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (v.typeId() == QMetaType::Double) return QString::number(v.toDouble(), 'g', 15);
    return v.toString().left(100);
}

}  // namespace

void AuditTrail::applied(DbSession &db, const AppliedChange &change) {
    QStringList key;
    for (const QVariant &k : change.key) key << Entity::text(k);
    // The price table a row belongs to is the first column of every table
    // that has one: the history of one price table reads by it.
    const bool ofPriceTable = change.table.startsWith(QLatin1String("PRECOPROP"));
    const QVariant priceTable = !change.priceTable.isEmpty()                   ? QVariant(change.priceTable)
                                : ofPriceTable && !change.key.isEmpty() ? QVariant(Entity::text(change.key[0]))
                                                                        : QVariant();
    const QString now = LocalClock::secondText();
    if (change.fields.isEmpty()) return;
    // One statement for all the fields of the change: a row per field, and the
    // statement's own cost (and the index work of a batch) paid once.
    QString sql = QStringLiteral("INSERT INTO AUDITORIA (DTALTERACAO, NMUSUARIO, NMMETODO, NMTABELA, DSCHAVE, CDPRECOPROP, IDOPERACAO, "
                                 "NMCAMPO, DSANTES, DSDEPOIS) VALUES ");
    for (int i = 0; i < change.fields.size(); ++i) sql += i ? QStringLiteral(", (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") : QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Query q(db, sql);
    const QString user = change.user.isEmpty() ? QStringLiteral("local") : change.user.left(60);
    const QString keyText = key.join(QLatin1Char('|')).left(200);
    const QString operation(operationCode(change.op));
    for (const FieldChange &f : change.fields)
        q.bind(now)
            .bind(user)
            .bind(change.method)
            .bind(change.table)
            .bind(keyText)
            .bind(priceTable)
            .bind(operation)
            .bind(f.name)
            .bind(asText(f.before))
            .bind(asText(f.after));
    q.exec();
}

QVector<AuditTrail::Entry> AuditTrail::read(DbSession &db, const QString &priceTable, const QDate &since) {
    QString where = QStringLiteral("WHERE 1 = 1");
    QVariantList binds;
    if (!priceTable.isEmpty()) {
        where += QStringLiteral(" AND CDPRECOPROP = ?");
        binds << priceTable;
    }
    if (since.isValid()) {
        where += QStringLiteral(" AND DTALTERACAO >= ?");
        binds << QDateTime(since, QTime(0, 0));
    }
    Query q(db, QStringLiteral("SELECT CAST(DTALTERACAO AS VARCHAR(19)), NMUSUARIO, NMMETODO, NMTABELA, DSCHAVE, CDPRECOPROP, IDOPERACAO, "
                               "NMCAMPO, DSANTES, DSDEPOIS FROM AUDITORIA %1 ORDER BY NRAUDITORIA DESC")
                    .arg(where));
    for (const QVariant &b : binds) q.bind(b);
    q.exec();
    QVector<Entry> out;
    while (q.next())
        out.append({QDateTime::fromString(q.text(0), QStringLiteral("yyyy-MM-dd HH:mm:ss")), q.text(1), q.text(2), q.text(3), q.text(4),
                    q.text(5), q.text(6).isEmpty() ? QChar() : q.text(6).at(0), q.text(7), q.text(8), q.text(9)});
    return out;
}

QString AuditTrail::operationName(QChar operation) {
    if (operation == QLatin1Char('I')) return QStringLiteral("inclusão");
    if (operation == QLatin1Char('E')) return QStringLiteral("exclusão");
    return QStringLiteral("alteração");
}
