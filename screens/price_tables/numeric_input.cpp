#include "numeric_input.h"

#include "db_grid.h"
#include "routines.h"

void Vd_Virgula(TDBGrid *grid, const QString &fieldName, QChar &key) {
    TField *selected = grid->SelectedField();
    // The decimal comma: never first, never twice.
    if (selected && selected->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0 && key == QLatin1Char(',')) {
        const QString text = GridText(grid, fieldName, false);
        if (text.isEmpty() || text.contains(QLatin1Char(','))) {
            key = QChar(0);
            return;
        }
    }
    // The size rule: a digit that would take the number past nine nines is
    // dropped. A text that does not read as a number is left to the field's
    // own conversion, so it never blocks typing here.
    if (key.isDigit() && key.unicode() < 128) {
        double value = 0;
        if (NumberText::parse(GridText(grid, fieldName, true) + key, &value) && value > kMaxTypedNumber) key = QChar(0);
    }
}
