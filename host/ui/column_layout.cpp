#include "column_layout.h"

#include "db_grid.h"

#include <algorithm>

ColumnSpec TextColumn(const QString &field, int size, const QString &title, int width, int column) {
    ColumnSpec s;
    s.field = field;
    s.size = size;
    s.title = title;
    s.width = width;
    s.column = column;
    return s;
}

ColumnSpec DateColumn(const QString &field, const QString &title, int width, int column) {
    ColumnSpec s = TextColumn(field, 0, title, width, column);
    s.type = FieldType::DateTime;
    return s;
}

ColumnSpec NumberColumn(const QString &field, const QString &title, int width, int column, NumberFormat format) {
    ColumnSpec s = TextColumn(field, 0, title, width, column);
    s.type = FieldType::Float;
    s.alignment = kAlignRight;
    s.format = format;
    return s;
}

ColumnSpec DeclaredColumn(const Vocabulary::Column &c, int width, int column, std::optional<NumberFormat> format) {
    switch (c.type) {
    case FieldType::DateTime: return DateColumn(c.field(), c.title(), width, column);
    case FieldType::String: return TextColumn(c.field(), c.size, c.title(), width, column);
    default: break;  // numbers travel as floats
    }
    return NumberColumn(c.field(), c.title(), width, column, format.value_or(c.decimals > 0 ? NumberFormat::Money : NumberFormat::None));
}

ColumnSpec HiddenField(const Vocabulary::Column &c) {
    return HiddenField(c.field(), c.type == FieldType::Integer ? FieldType::Float : c.type, c.size);
}

ColumnSpec WithPick(ColumnSpec spec, const QList<PickItem> &items) {
    spec.pick = items;
    return spec;
}

ColumnSpec HiddenField(const QString &field, FieldType type, int size) {
    ColumnSpec s = TextColumn(field, size, QString(), 0, -1);
    s.type = type;
    s.hidden = true;
    return s;
}

ColumnSpec ReadOnly(ColumnSpec spec) {
    spec.readOnly = true;
    return spec;
}

ColumnSpec WithEllipsis(ColumnSpec spec) {
    spec.ellipsis = true;
    return spec;
}

ColumnSpec WithHint(ColumnSpec spec, const QString &hint) {
    spec.hint = hint;
    return spec;
}

void DefineFields(TClientTable *table, const ColumnSpecs &specs) {
    for (const ColumnSpec &s : specs) {
        TField *f = table->AddField(s.field, s.type, s.size, s.title);
        f->ReadOnly = s.readOnly;
        f->Visible = !s.hidden;
        if (!s.pick.isEmpty()) {
            // Shown by its caption wherever the field is shown as text (a
            // search, a label); edited and stored as its code.
            const QList<PickItem> items = s.pick;
            f->OnGetText = [items](TField &field, bool display) {
                const QString code = field.DefaultText(false);
                if (display)
                    for (const PickItem &item : items)
                        if (item.code == code.trimmed()) return item.caption;
                return code;
            };
        }
        if (s.format == NumberFormat::Money) {
            f->DisplayFormat = QStringLiteral("#,##0.00");
            f->EditFormat = QStringLiteral("0.00");
        } else if (s.format == NumberFormat::Shown) {
            f->DisplayFormat = QStringLiteral("#,##0.00");
        }
    }
}

void DefineColumns(TDBGrid *grid, const ColumnSpecs &specs) {
    QList<const ColumnSpec *> shown;
    for (const ColumnSpec &s : specs)
        if (s.column >= 0) shown << &s;
    std::stable_sort(shown.begin(), shown.end(), [](const ColumnSpec *a, const ColumnSpec *b) { return a->column < b->column; });
    for (const ColumnSpec *s : shown) {
        TColumn &c = grid->addColumn(s->field, s->title, s->width, s->alignment, s->readOnly);
        for (const PickItem &item : s->pick) {
            c.PickList << item.caption;
            c.PickCodes << item.code;
        }
        if (s->ellipsis) c.ButtonStyle = cbsEllipsis;
        c.Hint = s->hint;
    }
    grid->LayoutChanged();
}
