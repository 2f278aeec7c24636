#pragma once
// Columns declared once: one table of specs gives a client table its fields
// and a grid its columns, so a field's type, size, title and look are written
// in one place.

#include "client_table.h"
#include "columns.h"

#include <QList>
#include <QString>
#include <optional>

class TDBGrid;

// One entry of a pick list: what the cell shows and what the field stores.
struct PickItem {
    QString caption;
    QString code;
};

// Money: shown "#,##0.00", edited "0.00"; Shown: only shown "#,##0.00".
enum class NumberFormat { None, Money, Shown };

struct ColumnSpec {
    QString field;
    FieldType type = FieldType::String;
    int size = 0;       // text fields: the characters it holds
    QString title;      // the field's label and the column's title
    int width = 0;      // in the classic screen font's pixels
    int column = -1;    // position in the grid; -1: a field the grid does not show
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;  // of the title
    bool readOnly = false;
    NumberFormat format = NumberFormat::None;
    QList<PickItem> pick;  // not empty: a drop-down of captions that stores codes
    bool ellipsis = false; // a "..." button in the cell editor
    bool hidden = false;   // a field no list or search shows
    QString hint;          // the title's tooltip: how the figure is read
};

using ColumnSpecs = QList<ColumnSpec>;

constexpr Qt::Alignment kAlignLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kAlignRight = Qt::AlignRight | Qt::AlignVCenter;

// The usual kinds of column; column is the position in the grid.
ColumnSpec TextColumn(const QString &field, int size, const QString &title, int width, int column);
ColumnSpec DateColumn(const QString &field, const QString &title, int width, int column);
// A float, its title right-aligned.
ColumnSpec NumberColumn(const QString &field, const QString &title, int width, int column,
                        NumberFormat format = NumberFormat::None);
// A column as the vocabulary declares it: its type, size and caption; a
// number with decimals is shown as money unless a format is given. Column -1:
// a field the grid does not show (a search may).
ColumnSpec DeclaredColumn(const Vocabulary::Column &c, int width, int column, std::optional<NumberFormat> format = {});
// A field of the vocabulary that no grid or search shows.
ColumnSpec HiddenField(const Vocabulary::Column &c);
// A field of the table that no grid or search shows.
ColumnSpec HiddenField(const QString &field, FieldType type, int size = 0);
// The same spec, read-only / with a "..." button in its cell editor.
ColumnSpec ReadOnly(ColumnSpec spec);
ColumnSpec WithEllipsis(ColumnSpec spec);
ColumnSpec WithHint(ColumnSpec spec, const QString &hint);
// The same text spec edited with a drop-down of captions, storing their codes.
ColumnSpec WithPick(ColumnSpec spec, const QList<PickItem> &items);

// Adds the specs' fields to the table, in the specs' order.
void DefineFields(TClientTable *table, const ColumnSpecs &specs);
// Adds the grid's columns from the specs that have a position, in that order.
void DefineColumns(TDBGrid *grid, const ColumnSpecs &specs);
