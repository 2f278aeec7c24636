#pragma once
// The data-aware grid's table model: the rows of the grid's client table as
// cell texts, the titles of its columns and the row indicator.

#include "db_grid.h"
#include "table_model.h"

#include <QAbstractTableModel>

// ---------------------------------------------------------------- model

class TDBGridModel : public QAbstractTableModel {
public:
    explicit TDBGridModel(TDBGrid *grid) : QAbstractTableModel(grid), m_grid(grid) {}

    void setTable(TClientTable *table) {
        beginResetModel();
        m_text.setTable(table);
        endResetModel();
    }
    void resetAll() {
        beginResetModel();
        endResetModel();
    }
    void rowChanged(int row) {
        if (row >= 0 && row < rowCount() && columnCount() > 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
    void indicatorChanged() {
        if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }
    // The table's rows; an active empty table shows one blank row to type into.
    int dataRows() const {
        TClientTable *t = m_grid->m_table;
        return t && t->Active() ? t->viewRowCount() : 0;
    }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override {
        if (parent.isValid()) return 0;
        TClientTable *t = m_grid->m_table;
        if (!t || !t->Active()) return 0;
        return std::max(1, t->viewRowCount());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : m_grid->Columns.Count();
    }
    QString text(int row, int fieldIndex, bool display) const {
        if (row < 0 || row >= dataRows()) return QString();
        try {
            return m_text.cellText(row, fieldIndex, display);
        } catch (...) {
            return QString();  // a failing get-text must not break painting
        }
    }
    QVariant data(const QModelIndex &index, int role) const override {
        if (!index.isValid() || index.column() >= m_grid->Columns.Count()) return QVariant();
        TField *f = m_grid->Columns[index.column()].Field();
        if (!f) return QVariant();
        const TColumn &c = m_grid->Columns[index.column()];
        if (c.HasCodes() && (role == Qt::DisplayRole || role == Qt::EditRole))
            return c.CaptionOf(text(index.row(), f->Index(), false));
        switch (role) {
        case Qt::DisplayRole: return text(index.row(), f->Index(), true);
        case Qt::EditRole: return text(index.row(), f->Index(), false);
        case Qt::TextAlignmentRole: return QVariant::fromValue(f->Alignment);
        default: return QVariant();
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal) {
            if (section < 0 || section >= m_grid->Columns.Count()) return QVariant();
            const TColumn &c = m_grid->Columns[section];
            if (role == Qt::DisplayRole) {
                if (!c.Title.isEmpty()) return c.Title;
                TField *f = c.Field();
                return f ? f->DisplayLabel : c.FieldName;
            }
            if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.TitleAlignment);
            if (role == Qt::ToolTipRole && !c.Hint.isEmpty()) return c.Hint;
            return QVariant();
        }
        if (role != Qt::DisplayRole) return QVariant();
        TClientTable *t = m_grid->m_table;
        if (!t || !t->Active()) return QVariant();
        const int cur = t->viewCurrentRow() < 0 ? 0 : t->viewCurrentRow();
        if (section != cur) return QString();
        switch (t->State()) {
        case DataSetState::Insert: return QStringLiteral("*");
        case DataSetState::Edit: return QStringLiteral("I");
        default: return QStringLiteral("\u25B6");
        }
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    TDBGrid *m_grid;
    TClientTableModel m_text;
};

