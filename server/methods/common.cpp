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

}  // namespace Common
