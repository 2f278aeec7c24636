#pragma once
// The audit trail: every change the server writes, recorded by the write path
// in the change's own transaction (both land or neither), one row per field
// with its value before and after, under the name of the person whose key
// made the call.

#include "write_path.h"

#include <QDate>
#include <QString>
#include <QVector>

class AuditTrail : public WriteObserver {
public:
    void applied(DbSession &db, const AppliedChange &change) override;

    struct Entry {
        QDateTime when;
        QString user, method, table, key, priceTable;
        QChar operation;  // 'I' inclusão, 'A' alteração, 'E' exclusão
        QString field, before, after;
    };
    // Newest first; priceTable and since narrow it when given.
    static QVector<Entry> read(DbSession &db, const QString &priceTable = QString(), const QDate &since = QDate());
    static QString operationName(QChar operation);
};
