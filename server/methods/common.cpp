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

}  // namespace Common
