#include "numeric_input.h"

#include "db_grid.h"
#include "routines.h"

void Vd_Virgula(TDBGrid *grid, const QString &fieldName, QChar &key) {
    TField *selected = grid->SelectedField();
    const bool inColumn = selected && selected->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0;
    // The decimal comma: never first, never twice, never right after a full stop.
    if (inColumn && key == QLatin1Char(',')) {
        const QString text = GridText(grid, fieldName, false);
        if (text.isEmpty() || text.contains(QLatin1Char(',')) || text.endsWith(QLatin1Char('.'))) {
            key = QChar(0);
            return;
        }
    }
    // The full stop separates thousands, as the grid shows them: never first,
    // never twice in a row, never among the decimals. Whether the groups are
    // of three digits is judged when the cell is left.
    if (inColumn && key == QLatin1Char('.')) {
        const QString text = GridText(grid, fieldName, false);
        if (text.isEmpty() || text.contains(QLatin1Char(',')) || text.endsWith(QLatin1Char('.'))) {
            key = QChar(0);
            return;
        }
    }
    // The size rule: a digit that would take the number past nine nines is
    // dropped. Only digits count: the thousands points are left out.
    if (key.isDigit() && key.unicode() < 128) {
        double value = 0;
        const QString digits = QString(GridText(grid, fieldName, true) + key).remove(QLatin1Char('.'));
        if (NumberText::parse(digits, &value) && value > kMaxTypedNumber) key = QChar(0);
    }
}
