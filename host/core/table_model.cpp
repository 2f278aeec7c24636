#include "table_model.h"

#include "routines.h"

TClientTableModel::TClientTableModel(TClientTable *table, QObject *parent) : QAbstractTableModel(parent) {
    setTable(table);
}

void TClientTableModel::setTable(TClientTable *table) {
    beginResetModel();
    for (const auto &c : m_connections) disconnect(c);
    m_connections.clear();
    m_table = table;
    if (m_table) {
        m_connections << connect(m_table, &TClientTable::rowsReset, this, &TClientTableModel::reset);
        m_connections << connect(m_table, &TClientTable::stateChanged, this, &TClientTableModel::reset);
        m_connections << connect(m_table, &TClientTable::fieldChanged, this, [this](TField *f) {
            const int row = m_table->viewCurrentRow();
            if (row >= 0) emit dataChanged(index(row, f->Index()), index(row, f->Index()));
        });
    }
    endResetModel();
}

void TClientTableModel::reset() {
    beginResetModel();
    endResetModel();
}

int TClientTableModel::rowCount(const QModelIndex &parent) const {
    if (parent.isValid() || !m_table || !m_table->Active()) return 0;
    return m_table->viewRowCount();
}

int TClientTableModel::columnCount(const QModelIndex &parent) const {
    if (parent.isValid() || !m_table) return 0;
    return m_table->FieldCount();
}

QString TClientTableModel::cellText(int row, int field, bool display) const {
    TField *f = m_table->Fields(field);
    if (row == m_table->viewCurrentRow()) return display ? f->DisplayText() : f->Text();
    // Another row: format its value the way the field would.
    const QVariant v = m_table->viewValue(row, field);
    if (f->OnGetText) {
        // Handlers read the field's value, and may read the others of its
        // row, so give them a one-row scratch table holding that row.
        TClientTable scratch;
        DataPacket p;
        Row values;
        for (int i = 0; i < m_table->FieldCount(); ++i) {
            const TField *source = m_table->Fields(i);
            TField *copy = scratch.AddField(source->FieldName(), source->DataType(), source->Size());
            copy->DisplayFormat = source->DisplayFormat;
            copy->EditFormat = source->EditFormat;
            p.fields.append(source->definition());
            values.append(m_table->viewValue(row, i));
        }
        p.rows = {values};
        scratch.LoadPacket(p);
        return f->OnGetText(*scratch.Fields(field), display);
    }
    if (!v.isValid()) return QString();
    switch (f->DataType()) {
    case FieldType::Float: return NumberText::format(v.toDouble(), display ? f->DisplayFormat : f->EditFormat);
    case FieldType::Integer: return QString::number(v.toLongLong());
    case FieldType::DateTime: return DateText::format(v.toDateTime());
    case FieldType::String: return v.toString();
    }
    return QString();
}

QVariant TClientTableModel::data(const QModelIndex &index, int role) const {
    if (!m_table || !index.isValid()) return QVariant();
    TField *f = m_table->Fields(index.column());
    switch (role) {
    case Qt::DisplayRole: return cellText(index.row(), index.column(), true);
    case Qt::EditRole: return cellText(index.row(), index.column(), false);
    case Qt::TextAlignmentRole: return QVariant::fromValue(f->Alignment);
    case Qt::UserRole: return m_table->viewValue(index.row(), index.column());
    default: return QVariant();
    }
}

QVariant TClientTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!m_table || orientation != Qt::Horizontal || section >= m_table->FieldCount()) return QVariant();
    if (role == Qt::DisplayRole) return m_table->Fields(section)->DisplayLabel;
    return QVariant();
}

Qt::ItemFlags TClientTableModel::flags(const QModelIndex &index) const {
    if (!m_table || !index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags fl = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_table->Fields(index.column())->ReadOnly) fl |= Qt::ItemIsEditable;
    return fl;
}
