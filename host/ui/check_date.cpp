#include "check_date.h"

#include "client_table.h"
#include "dialogs.h"
#include "routines.h"

#include <QRegularExpression>

void CheckDateTime(TField &field, const QString &text) {
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("[^0-9]")));
    if (digits.isEmpty()) {
        field.Clear();
        return;
    }
    QDateTime date;
    if (!DateText::parse(text.trimmed(), &date) || !date.isValid()) MensErro(QStringLiteral("Data inválida"), true);
    field.SetAsDateTime(date);
}
