#include "monthly_index.h"

#include <QRegularExpression>
#include <cmath>

namespace MonthlyIndex {

bool parseMonth(const QString &text, QString *month, QString *error) {
    static const QRegularExpression re(QStringLiteral("^([0-9]{4})-(0[1-9]|1[0-2])$"));
    if (!re.match(text.trimmed()).hasMatch()) {
        *error = QStringLiteral("Mês inválido: \"%1\". Use o formato AAAA-MM, por exemplo 2026-03.").arg(text.left(20));
        return false;
    }
    *month = text.trimmed();
    return true;
}

bool parseValue(const QString &text, double *value, QString *error) {
    QString t = text.trimmed();
    if (t.contains(QLatin1Char(','))) {
        t.remove(QLatin1Char('.'));
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0) {
        *error = QStringLiteral("Valor de índice inválido: \"%1\". Informe um número maior que zero, por exemplo 1,0523.").arg(text.left(20));
        return false;
    }
    *value = v;
    return true;
}

void set(DbSession &db, const QString &month, double value) {
    Query update(db, QStringLiteral("UPDATE INDICEMENSAL SET VRINDICE = ? WHERE MESINDICE = ?"));
    update.bind(value).bind(month).exec();
    if (update.rowsAffected() > 0) return;
    Query insert(db, QStringLiteral("INSERT INTO INDICEMENSAL (MESINDICE, VRINDICE) VALUES (?, ?)"));
    insert.bind(month).bind(value).exec();
}

}  // namespace MonthlyIndex
