#include "db_grid.h"

#include "dialogs.h"
#include "errors.h"
#include "table_model.h"
#include "ui_dispatch.h"
#include "virtual_keys.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>

// ---------------------------------------------------------------- colours

QColor clInfoBk() { return QApplication::palette().color(QPalette::ToolTipBase); }
QColor clWindow() { return QApplication::palette().color(QPalette::Base); }
QColor clWindowText() { return QApplication::palette().color(QPalette::Text); }
QColor clHighlight() { return QApplication::palette().color(QPalette::Highlight); }
QColor clHighlightText() { return QApplication::palette().color(QPalette::HighlightedText); }

// ---------------------------------------------------------------- columns

TField *TColumn::Field() const {
    if (!m_grid || !m_grid->m_table || FieldName.isEmpty()) return nullptr;
    return m_grid->m_table->FindField(FieldName);
}

TColumn &TDBGridColumns::Add() {
    auto c = std::make_unique<TColumn>();
    c->m_grid = m_grid;
    c->m_index = int(m_items.size());
    m_items.push_back(std::move(c));
    if (m_grid) {
        m_grid->m_defaultColumns = false;
        m_grid->LayoutChanged();
    }
    return *m_items.back();
}

void TDBGridColumns::Clear() {
    m_items.clear();
    if (m_grid) {
        m_grid->m_defaultColumns = false;
        m_grid->LayoutChanged();
    }
}

int TDBGridColumns::IndexOfField(const QString &fieldName) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->FieldName.compare(fieldName, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

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

// ---------------------------------------------------------------- cell drawing

class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!m_grid->OnDrawColumnCell || index.column() >= m_grid->Columns.Count()) return;
        const int saved = m_grid->m_drawRow;
        m_grid->m_drawRow = index.row();
        painter->save();
        try {
            m_grid->OnDrawColumnCell(painter, option.rect, index.column(), m_grid->Columns[index.column()], option.state);
        } catch (...) {
            // No dialog from inside a paint: it would paint again and fail again.
            const QString text = ExceptionMessage(std::current_exception());
            if (!text.isEmpty()) qWarning().noquote() << "Erro ao desenhar a célula:" << text;
        }
        painter->restore();
        m_grid->m_drawRow = saved;
    }

private:
    TDBGrid *m_grid;
};

// ---------------------------------------------------------------- cell editor

class TGridCellEditor : public QWidget {
public:
    TGridCellEditor(QWidget *parent, const QStringList &pickList, bool ellipsis, const QString &mask, Qt::Alignment alignment)
        : QWidget(parent) {
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        if (!pickList.isEmpty()) {
            combo = new QComboBox(this);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->addItems(pickList);
            combo->setCurrentIndex(-1);
            combo->setFrame(false);
            line = combo->lineEdit();
            line->setCompleter(nullptr);
            layout->addWidget(combo);
        } else {
            line = new QLineEdit(this);
            line->setFrame(false);
            layout->addWidget(line);
        }
        if (!mask.isEmpty()) line->setInputMask(mask);
        line->setAlignment(alignment);
        if (ellipsis) {
            button = new QToolButton(this);
            button->setText(QStringLiteral("..."));
            button->setFocusPolicy(Qt::NoFocus);
            button->setToolTip(QStringLiteral("Pesquisar"));
            layout->addWidget(button);
        }
        setFocusProxy(line);
        setAutoFillBackground(true);
    }
    void setText(const QString &text) {
        if (combo) combo->setEditText(text);
        else line->setText(text);
    }
    QString text() const { return line->text(); }
    // The widget that receives the keys: an editable combo keeps the focus
    // itself and hands the typing on to its line edit.
    QWidget *keyTarget() const { return combo ? static_cast<QWidget *>(combo) : line; }
    bool cursorAtLeft() const {
        if (line->hasSelectedText()) return line->selectionStart() == 0 && line->selectedText().size() == line->text().size();
        return line->cursorPosition() == 0;
    }
    bool cursorAtRight() const {
        if (line->hasSelectedText())
            return line->selectedText().size() == line->text().size() ||
                   line->selectionEnd() >= line->displayText().size();
        return line->cursorPosition() >= line->displayText().size();
    }

    QLineEdit *line = nullptr;
    QComboBox *combo = nullptr;
    QToolButton *button = nullptr;
};

// ---------------------------------------------------------------- focus hooks

namespace {

QHash<TField *, QList<QPointer<TDBGrid>>> &hookRegistry() {
    static QHash<TField *, QList<QPointer<TDBGrid>>> registry;
    return registry;
}

bool gridShows(TDBGrid *g, TField *f) {
    return g && g->DataSet() && g->DataSet()->FindField(f->FieldName()) == f && g->Columns.IndexOfField(f->FieldName()) >= 0;
}

// FocusControl() of a field shown in a grid: selects its column and focuses the
// grid. Among several grids showing it, the one with the focus wins, then a
// visible one.
void focusFieldInGrid(TField &f) {
    auto &list = hookRegistry()[&f];
    list.removeAll(QPointer<TDBGrid>());
    TDBGrid *chosen = nullptr;
    QWidget *focus = QApplication::focusWidget();
    for (const auto &g : list)
        if (gridShows(g, &f) && focus && (g == focus || g->isAncestorOf(focus))) chosen = g;
    if (!chosen)
        for (const auto &g : list)
            if (gridShows(g, &f) && g->isVisible()) chosen = g;
    if (!chosen)
        for (const auto &g : list)
            if (gridShows(g, &f)) chosen = g;
    if (!chosen) return;
    chosen->SetSelectedField(&f);
    if (chosen->isVisible() && chosen->isEnabled()) {
        // An editor still open on that cell keeps the focus, and with it what
        // it has selected, so the user types over it as before.
        if (QWidget *editor = chosen->InplaceEditor()) editor->setFocus(Qt::OtherFocusReason);
        else chosen->setFocus(Qt::OtherFocusReason);
    }
}

}  // namespace

// ---------------------------------------------------------------- grid

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent) {
    Columns.m_grid = this;
    m_model = new TDBGridModel(this);
    setModel(m_model);
    setItemDelegate(new TDBGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(true);
    setFocusPolicy(Qt::StrongFocus);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int index, int, int newSize) {
        if (index >= 0 && index < Columns.Count() && newSize > 0 && newSize != scaledWidth(Columns[index].Width))
            Columns[index].Width = qRound(newSize / widthScale());
        placeEditor();
    });
    connect(qApp, &QApplication::focusChanged, this, &TDBGrid::onFocusChanged);
    SetOptions(TDBGridOptions(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                              dgConfirmDelete | dgCancelOnExit));
}

double TDBGrid::widthScale() const {
    // Column widths are given for the classic 8-point screen font, whose
    // digits are 6 pixels wide; a wider font widens the columns alike.
    return std::max(1.0, fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) / 60.0);
}

int TDBGrid::scaledWidth(int width) const { return qRound(width * widthScale()); }

TDBGrid::~TDBGrid() {
    for (const auto &c : m_tableConnections) disconnect(c);
    for (const auto &c : m_sourceConnections) disconnect(c);
    disconnect(qApp, nullptr, this, nullptr);
}

TClientTable *TDBGrid::DataSet() const { return m_table; }

void TDBGrid::SetDataSource(TDataSource *source) {
    for (const auto &c : m_sourceConnections) disconnect(c);
    m_sourceConnections.clear();
    m_source = source;
    if (source) {
        m_sourceConnections << connect(source, &TDataSource::dataSetChanged, this, &TDBGrid::bindTable);
        m_sourceConnections << connect(source, &QObject::destroyed, this, [this] {
            m_source = nullptr;
            bindTable();
        });
    }
    bindTable();
}

void TDBGrid::bindTable() {
    TClientTable *table = m_source ? m_source->DataSet() : nullptr;
    if (table == m_table && !m_tableConnections.isEmpty()) return;
    for (const auto &c : m_tableConnections) disconnect(c);
    m_tableConnections.clear();
    closeEditor();
    m_table = table;
    m_model->setTable(table);
    m_shownRow = -1;
    m_shownBookmark = -1;
    if (table) {
        m_tableConnections << connect(table, &TClientTable::rowsReset, this, [this] {
            closeEditor();
            if (m_defaultColumns && m_table) {
                int visible = 0;
                for (int i = 0; i < m_table->FieldCount(); ++i)
                    if (m_table->Fields(i)->Visible) ++visible;
                if (visible != Columns.Count()) {
                    rebuildDefaultColumns();
                    LayoutChanged();
                    return;
                }
            }
            m_model->resetAll();
            syncFromTable();
        });
        m_tableConnections << connect(table, &TClientTable::stateChanged, this, [this] {
            if (m_editor && m_table && !m_table->IsEditing() && !m_committing) {
                // Posted or cancelled under the open editor: it no longer edits anything.
                closeEditor();
            }
            m_model->resetAll();
            syncFromTable();
        });
        m_tableConnections << connect(table, &TClientTable::currentChanged, this, [this] {
            m_model->indicatorChanged();
            viewport()->update();
            syncFromTable();
        });
        m_tableConnections << connect(table, &TClientTable::fieldChanged, this, [this](TField *f) {
            if (!m_table) return;
            m_model->rowChanged(m_table->viewCurrentRow());
            if (m_editor && !m_committing && !m_settingEditorText && f == SelectedField()) {
                m_settingEditorText = true;
                m_editor->setText(f->Text());
                m_editor->line->selectAll();
                m_settingEditorText = false;
                m_editorModified = false;
            }
        });
        m_tableConnections << connect(table, &QObject::destroyed, this, [this] {
            m_tableConnections.clear();
            closeEditor();
            m_table = nullptr;
            m_model->setTable(nullptr);
        });
    }
    if (m_defaultColumns) rebuildDefaultColumns();
    LayoutChanged();
}

void TDBGrid::rebuildDefaultColumns() {
    Columns.m_items.clear();
    if (!m_table) return;
    for (int i = 0; i < m_table->FieldCount(); ++i) {
        TField *f = m_table->Fields(i);
        if (!f->Visible) continue;
        auto c = std::make_unique<TColumn>();
        c->m_grid = this;
        c->m_index = int(Columns.m_items.size());
        c->FieldName = f->FieldName();
        const int chars = f->DataType() == FieldType::String ? std::clamp(f->Size(), 4, 30) : 12;
        c->Width = qRound(std::max(fontMetrics().horizontalAdvance(f->DisplayLabel) + 12, fontMetrics().averageCharWidth() * chars + 8) / widthScale());
        Columns.m_items.push_back(std::move(c));
    }
}

TColumn &TDBGrid::addColumn(const QString &fieldName, const QString &title, int width, Qt::Alignment titleAlignment,
                            bool readOnly) {
    if (m_defaultColumns) {
        Columns.m_items.clear();
        m_defaultColumns = false;
    }
    auto c = std::make_unique<TColumn>();
    c->m_grid = this;
    c->m_index = int(Columns.m_items.size());
    c->FieldName = fieldName;
    c->Title = title;
    c->Width = width;
    c->TitleAlignment = titleAlignment;
    c->ReadOnly = readOnly;
    Columns.m_items.push_back(std::move(c));
    LayoutChanged();
    return *Columns.m_items.back();
}

TColumn *TDBGrid::columnByField(const QString &fieldName) {
    const int i = Columns.IndexOfField(fieldName);
    return i < 0 ? nullptr : &Columns[i];
}

void TDBGrid::LayoutChanged() {
    closeEditor();
    m_model->resetAll();
    for (int i = 0; i < Columns.Count(); ++i) {
        Columns[i].m_index = i;
        setColumnHidden(i, !Columns[i].Visible);
        if (Columns[i].Visible && Columns[i].Width > 0 && columnWidth(i) != scaledWidth(Columns[i].Width))
            setColumnWidth(i, scaledWidth(Columns[i].Width));
    }
    if (m_col < 0 || m_col >= Columns.Count() || !Columns[m_col].Visible) m_col = std::max(0, firstVisibleColumn());
    installFocusHooks();
    syncFromTable();
}

void TDBGrid::installFocusHooks() {
    if (!m_table) return;
    for (int i = 0; i < Columns.Count(); ++i) {
        TField *f = Columns[i].Field();
        if (!f) continue;
        auto &list = hookRegistry()[f];
        list.removeAll(QPointer<TDBGrid>());
        if (!list.contains(QPointer<TDBGrid>(this))) list.append(this);
        f->FocusHook = focusFieldInGrid;
    }
}

void TDBGrid::SetOptions(TDBGridOptions options) {
    m_options = options;
    applyOptions();
}

void TDBGrid::applyOptions() {
    horizontalHeader()->setVisible(m_options & dgTitles);
    verticalHeader()->setVisible(m_options & dgIndicator);
    horizontalHeader()->setSectionResizeMode((m_options & dgColumnResize) ? QHeaderView::Interactive : QHeaderView::Fixed);
    setShowGrid((m_options & dgColLines) || (m_options & dgRowLines));
    setSelectionBehavior((m_options & dgRowSelect) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    QPalette pal = palette();
    if (m_options & dgAlwaysShowSelection) {
        pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    } else {
        pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Base));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::Text));
    }
    setPalette(pal);
}

void TDBGrid::SetColor(const QColor &color) {
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    pal.setColor(QPalette::AlternateBase, color);
    setPalette(pal);
    applyOptions();
}

QColor TDBGrid::Color() const { return palette().color(QPalette::Base); }

// ---------------------------------------------------------------- columns and cursor

int TDBGrid::firstVisibleColumn() const { return nextVisibleColumn(-1, 1); }

int TDBGrid::lastVisibleColumn() const { return nextVisibleColumn(Columns.Count(), -1); }

int TDBGrid::nextVisibleColumn(int from, int step) const {
    for (int i = from + step; i >= 0 && i < Columns.Count(); i += step)
        if (Columns[i].Visible) return i;
    return -1;
}

TField *TDBGrid::SelectedField() const {
    if (m_col < 0 || m_col >= Columns.Count()) return nullptr;
    return Columns[m_col].Field();
}

void TDBGrid::SetSelectedField(TField *field) {
    if (!field) return;
    const int i = Columns.IndexOfField(field->FieldName());
    if (i >= 0) SetSelectedIndex(i);
}

void TDBGrid::SetSelectedIndex(int columnIndex) { moveColumn(columnIndex); }

void TDBGrid::moveColumn(int column) {
    if (column < 0 || column >= Columns.Count()) return;
    if (m_editor && m_editorModified && !m_committing) {
        // The cell's text goes to the field before anything else looks at it.
        TField *f = SelectedField();
        if (f && m_table) {
            m_committing = true;
            try {
                if (!m_table->IsEditing()) m_table->Edit();
                f->SetText(m_editor->text());
            } catch (...) {
                m_committing = false;
                throw;
            }
            m_committing = false;
            m_editorModified = false;
        }
    }
    if (column == m_col) return;
    if (!m_inColExit && OnColExit) {
        const int before = m_col;
        m_inColExit = true;
        try {
            OnColExit();
        } catch (...) {
            m_inColExit = false;
            throw;
        }
        m_inColExit = false;
        if (m_col != before) return;  // the handler chose the column itself
    }
    closeEditor();
    m_col = column;
    syncFromTable();
    if (OnColEnter) RunGuarded(OnColEnter);
}

void TDBGrid::syncFromTable() {
    if (m_syncing) return;
    m_syncing = true;
    int row = -1;
    TBookmark bm = -1;
    if (m_table && m_table->Active()) {
        row = m_table->viewCurrentRow();
        if (row < 0 && m_model->rowCount() > 0) row = 0;  // the blank row of an empty table
        bm = m_table->GetBookmark();
    }
    if (m_editor && (row != m_shownRow || bm != m_shownBookmark)) closeEditor();
    m_shownRow = row;
    m_shownBookmark = bm;
    if (row >= 0 && m_col >= 0 && m_col < m_model->columnCount()) {
        const QModelIndex idx = m_model->index(row, m_col);
        QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
        if (m_options & dgRowSelect) flags |= QItemSelectionModel::Rows;
        selectionModel()->setCurrentIndex(idx, flags);
        scrollTo(idx);
    } else {
        selectionModel()->clear();
    }
    m_syncing = false;
    placeEditor();
}

// ---------------------------------------------------------------- editor

bool TDBGrid::canModify() const {
    return m_table && m_table->Active() && (m_options & dgEditing) && !m_readOnly && isEnabled();
}

bool TDBGrid::canEditCell() const {
    if (!canModify() || m_col < 0 || m_col >= Columns.Count()) return false;
    const TColumn &c = Columns[m_col];
    TField *f = c.Field();
    return c.Visible && !c.ReadOnly && f && !f->ReadOnly;
}

bool TDBGrid::EditorMode() const { return m_editor != nullptr; }

void TDBGrid::SetEditorMode(bool open) {
    if (open) openEditor(false, QChar());
    else closeEditor();
}

QString TDBGrid::EditorText() const { return m_editor ? m_editor->text() : QString(); }

QWidget *TDBGrid::InplaceEditor() const { return m_editor ? m_editor->line : nullptr; }

bool TDBGrid::editorModified() const { return m_editor && m_editorModified; }

QString TDBGrid::cellEditText(const QString &fieldName) const {
    TField *sel = SelectedField();
    const bool selected = sel && sel->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0;
    if (selected && m_editor) return m_editor->text();
    if (selected && m_filteringFreshKey) return QString();
    TField *f = m_table ? m_table->FindField(fieldName) : nullptr;
    return f ? f->Text() : QString();
}

void TDBGrid::openEditor(bool withKey, QChar key) {
    if (m_editor || !canEditCell()) return;
    if (m_shownRow < 0) return;
    const TColumn &c = Columns[m_col];
    TField *f = c.Field();
    const bool ellipsis = c.ButtonStyle == cbsEllipsis;
    auto *ed = new TGridCellEditor(viewport(), c.ButtonStyle == cbsNone ? QStringList() : c.PickList, ellipsis,
                                   f->EditMask, f->Alignment);
    // A text cell takes no more characters than its field holds, as in the
    // classic grid: a longer text would otherwise be cut short on commit.
    if (f->DataType() == FieldType::String && f->Size() > 0 && f->EditMask.isEmpty() && !f->OnSetText && !ed->combo)
        ed->line->setMaxLength(f->Size());
    ed->setPalette(palette());
    m_editor = ed;
    m_settingEditorText = true;
    if (withKey) {
        ed->setText(QString());
        ed->line->setCursorPosition(0);
        const QString before = ed->line->displayText();
        if (key.unicode() != 8) ed->line->insert(QString(key));
        m_editorModified = key.unicode() == 8 || ed->line->displayText() != before;
    } else {
        const QString text = f->Text();
        // The list's current item matches the text, so leaving the combo does
        // not take the text for a choice.
        if (ed->combo) ed->combo->setCurrentIndex(ed->combo->findText(text));
        ed->setText(text);
        ed->line->selectAll();
        m_editorModified = false;
    }
    m_settingEditorText = false;
    ed->keyTarget()->installEventFilter(this);
    connect(ed->line, &QLineEdit::textEdited, this, [this, ed] {
        if (m_editor == ed) editorEdited();
    });
    if (ed->combo)
        connect(ed->combo, qOverload<int>(&QComboBox::activated), this, [this, ed](int i) {
            if (m_editor == ed && i >= 0) pickChosen(ed->combo->itemText(i));
        });
    if (ed->button)
        connect(ed->button, &QToolButton::clicked, this, [this, ed] {
            if (m_editor != ed) return;
            if (OnEditButtonClick) RunGuarded(OnEditButtonClick);
        });
    placeEditor();
    ed->show();
    ed->line->setFocus(Qt::OtherFocusReason);
}

void TDBGrid::closeEditor() {
    if (!m_editor) return;
    TGridCellEditor *ed = m_editor;
    m_editor = nullptr;
    m_editorModified = false;
    QWidget *focus = QApplication::focusWidget();
    if (focus && (focus == ed || ed->isAncestorOf(focus))) setFocus(Qt::OtherFocusReason);
    ed->keyTarget()->removeEventFilter(this);
    if (ed->combo) ed->combo->hidePopup();
    ed->hide();
    ed->deleteLater();
}

void TDBGrid::placeEditor() {
    if (!m_editor) return;
    const QRect r = visualRect(m_model->index(m_shownRow, m_col));
    if (r.isValid()) m_editor->setGeometry(r);
}

void TDBGrid::editorEdited() {
    if (m_settingEditorText) return;
    if (m_table && !m_table->IsEditing()) {
        TGridCellEditor *ed = m_editor;
        const bool ok = RunGuardedOk([this] { m_table->Edit(); });
        if (!ok) {
            if (m_editor == ed) closeEditor();
            return;
        }
        if (m_editor != ed) return;
    }
    m_editorModified = true;
}

void TDBGrid::pickChosen(const QString &text) {
    TField *f = SelectedField();
    if (!f || !m_table) return;
    TGridCellEditor *ed = m_editor;
    m_committing = true;
    const bool ok = RunGuardedOk([&] {
        if (!m_table->IsEditing()) m_table->Edit();
        f->SetText(text);
    });
    m_committing = false;
    if (m_editor != ed || !m_editor) return;
    m_settingEditorText = true;
    m_editor->setText(f->Text());
    m_settingEditorText = false;
    m_editorModified = !ok;
    m_editor->line->selectAll();
}

bool TDBGrid::CommitEdit() {
    if (!m_editor || !m_editorModified || m_committing) return true;
    TField *f = SelectedField();
    if (!f || !m_table) return true;
    const QString text = m_editor->text();
    m_committing = true;
    const bool ok = RunGuardedOk([&] {
        if (!m_table->IsEditing()) m_table->Edit();
        f->SetText(text);
    });
    m_committing = false;
    if (ok) m_editorModified = false;
    else if (m_editor) m_editor->line->setFocus(Qt::OtherFocusReason);
    return ok;
}

QVariant TDBGrid::DrawingValue(const QString &fieldName) const {
    TField *f = m_table ? m_table->FindField(fieldName) : nullptr;
    if (!f) return QVariant();
    const int row = m_drawRow >= 0 ? m_drawRow : m_table->viewCurrentRow();
    if (row < 0 || row >= m_model->dataRows()) return QVariant();
    return m_table->viewValue(row, f->Index());
}

QString TDBGrid::DrawingText(const QString &fieldName, bool display) const {
    TField *f = m_table ? m_table->FindField(fieldName) : nullptr;
    if (!f) return QString();
    const int row = m_drawRow >= 0 ? m_drawRow : m_table->viewCurrentRow();
    return m_model->text(row, f->Index(), display);
}

void TDBGrid::DefaultDrawColumnCell(QPainter *painter, const QRect &rect, int, TColumn &column, QStyle::State) {
    TField *f = column.Field();
    if (!f) return;
    painter->drawText(rect.adjusted(2, 0, -2, 0), int(f->Alignment), DrawingText(column.FieldName));
}

// ---------------------------------------------------------------- user moves

bool TDBGrid::userMoveColumn(int column) {
    if (column < 0) return false;
    return RunGuardedOk([&] { moveColumn(column); });
}

bool TDBGrid::userMoveRow(int viewRow) {
    if (!m_table || !m_table->Active()) return false;
    if (!CommitEdit()) return false;
    if (viewRow < 0 || viewRow >= m_table->viewRowCount() || viewRow == m_table->viewCurrentRow()) return true;
    return RunGuardedOk([&] { m_table->moveToViewRow(viewRow); });
}

bool TDBGrid::rowUntouchedInsert() const {
    return m_table && m_table->State() == DataSetState::Insert && !m_table->Modified() && !editorModified();
}

bool TDBGrid::userNextRow() {
    if (!m_table || !m_table->Active()) return false;
    if (rowUntouchedInsert()) {
        // A new row nobody typed into: Down neither posts it nor adds another.
        if (m_table->viewCurrentRow() >= m_table->viewRowCount() - 1) return true;
        closeEditor();
        return RunGuardedOk([&] { m_table->Cancel(); });
    }
    if (!CommitEdit()) return false;
    const int cur = m_table->viewCurrentRow();
    const int count = m_table->viewRowCount();
    if (count > 0 && cur >= 0 && cur < count - 1) return RunGuardedOk([&] { m_table->moveToViewRow(cur + 1); });
    return RunGuardedOk([&] {
        m_table->CheckBrowseMode();
        if (canModify()) m_table->Append();
    });
}

bool TDBGrid::userPriorRow() {
    if (!m_table || !m_table->Active()) return false;
    if (rowUntouchedInsert() && m_table->viewCurrentRow() >= m_table->viewRowCount() - 1) {
        closeEditor();
        return RunGuardedOk([&] { m_table->Cancel(); });
    }
    if (!CommitEdit()) return false;
    const int cur = m_table->viewCurrentRow();
    if (cur > 0) return RunGuardedOk([&] { m_table->moveToViewRow(cur - 1); });
    return RunGuardedOk([&] { m_table->CheckBrowseMode(); });
}

void TDBGrid::userTab(bool forward) {
    if (!CommitEdit()) return;
    const int next = nextVisibleColumn(m_col, forward ? 1 : -1);
    if (next >= 0) {
        userMoveColumn(next);
        return;
    }
    if (!m_table || !m_table->Active()) return;
    if (!forward && m_table->viewCurrentRow() <= 0) return;
    // Past the row's edge: the column is left first, then the row.
    if (OnColExit && !m_inColExit) {
        const int before = m_col;
        m_inColExit = true;
        const bool ok = RunGuardedOk(OnColExit);
        m_inColExit = false;
        if (!ok || m_col != before) return;
    }
    if (!(forward ? userNextRow() : userPriorRow())) return;
    const int target = forward ? firstVisibleColumn() : lastVisibleColumn();
    if (target < 0 || target == m_col) return;
    closeEditor();
    m_col = target;
    syncFromTable();
    if (OnColEnter) RunGuarded(OnColEnter);
}

void TDBGrid::userEscape() {
    if (m_editor && m_editorModified) {
        closeEditor();  // the cell goes back to the field's value
        return;
    }
    closeEditor();
    if (m_table && m_table->IsEditing()) RunGuarded([this] { m_table->Cancel(); });
}

void TDBGrid::userInsert() {
    if (!canModify()) return;
    if (!CommitEdit()) return;
    closeEditor();
    RunGuarded([this] { m_table->Insert(); });
}

void TDBGrid::userDelete() {
    if (!canModify() || m_table->IsEmpty()) return;
    closeEditor();
    RunGuarded([this] {
        if (!(m_options & dgConfirmDelete) || Confirma(QStringLiteral("Confirma exclusão?"))) m_table->Delete();
    });
}

// ---------------------------------------------------------------- keys

bool TDBGrid::fireKeyPress(QChar &key) {
    if (!OnKeyPress) return !key.isNull();
    const bool ok = RunGuardedOk([&] { OnKeyPress(key); });
    return ok && !key.isNull();
}

bool TDBGrid::handleKey(QKeyEvent *e) {
    int vk = VirtualKey(e);
    const Qt::KeyboardModifiers mods = e->modifiers();
    if (vk != 0 && OnKeyDown) {
        int k = vk;
        if (!RunGuardedOk([&] { OnKeyDown(k, mods); })) return true;
        if (k == 0) return true;
        vk = k;
    }
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    const bool shift = mods & Qt::ShiftModifier;
    switch (vk) {
    case VK_TAB: {
        if (!(m_options & dgTabs) || ctrl || alt) return false;
        userTab(!(shift || e->key() == Qt::Key_Backtab));
        QChar c(9);
        fireKeyPress(c);
        return true;
    }
    case VK_RETURN: {
        if (ctrl) {
            if (m_editor && m_editor->button && OnEditButtonClick) RunGuarded(OnEditButtonClick);
            return true;
        }
        if (!CommitEdit()) return true;
        QChar c(13);
        if (!fireKeyPress(c)) return true;
        if (m_editor) closeEditor();
        else openEditor(false, QChar());
        return true;
    }
    case VK_ESCAPE:
        if (m_editor && m_editor->combo && m_editor->combo->view()->isVisible()) return false;
        userEscape();
        return true;
    case VK_UP:
    case VK_DOWN:
        if (alt) {
            if (!m_editor) openEditor(false, QChar());
            if (m_editor && m_editor->combo) m_editor->combo->showPopup();
            return true;
        }
        if (vk == VK_UP) userPriorRow();
        else userNextRow();
        return true;
    case VK_PRIOR:
    case VK_NEXT: {
        if (!m_table || !m_table->Active()) return true;
        const int page = std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()) - 1);
        const int cur = std::max(0, m_table->viewCurrentRow());
        const int target = std::clamp(cur + (vk == VK_NEXT ? page : -page), 0, std::max(0, m_table->viewRowCount() - 1));
        userMoveRow(target);
        return true;
    }
    case VK_LEFT:
    case VK_RIGHT:
        if (m_editor && !ctrl && !(vk == VK_LEFT ? m_editor->cursorAtLeft() : m_editor->cursorAtRight())) return false;
        if (!CommitEdit()) return true;
        {
            const int next = nextVisibleColumn(m_col, vk == VK_LEFT ? -1 : 1);
            if (next >= 0) userMoveColumn(next);
        }
        return true;
    case VK_HOME:
    case VK_END:
        if (m_editor && !ctrl) return false;
        if (ctrl) {
            if (m_table && m_table->Active()) userMoveRow(vk == VK_HOME ? 0 : m_table->viewRowCount() - 1);
        } else if (CommitEdit()) {
            userMoveColumn(vk == VK_HOME ? firstVisibleColumn() : lastVisibleColumn());
        }
        return true;
    case VK_INSERT:
        if (mods != Qt::NoModifier) return false;
        userInsert();
        return true;
    case VK_DELETE:
        if (ctrl) {
            userDelete();
            return true;
        }
        return m_editor ? false : true;
    case VK_F2:
        if (!m_editor) openEditor(false, QChar());
        return true;
    default:
        break;
    }

    // A character.
    const QString text = e->text();
    if (text.isEmpty()) return false;
    QChar key = text.at(0);
    if (key.unicode() != 8 && !key.isPrint()) return false;
    if (ctrl && key.unicode() != 8) return false;
    const QChar original = key;
    m_filteringFreshKey = !m_editor;
    const bool pass = fireKeyPress(key);
    m_filteringFreshKey = false;
    if (!pass) return true;
    if (m_editor) {
        if (!canEditCell()) return true;
        if (key == original) return false;  // the editor types it
        if (key.unicode() == 8) m_editor->line->backspace();
        else m_editor->line->insert(QString(key));
        editorEdited();
        return true;
    }
    typeKey(key, e);
    return true;
}

void TDBGrid::typeKey(QChar key, QKeyEvent *) {
    if (!canEditCell()) return;
    if (!m_table->IsEditing() && !RunGuardedOk([this] { m_table->Edit(); })) return;
    if (!canEditCell()) return;
    openEditor(true, key);
}

bool TDBGrid::event(QEvent *e) {
    if (e->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) && (m_options & dgTabs) &&
            !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(ke);
            return true;
        }
    }
    if (e->type() == QEvent::ShortcutOverride) {
        auto *ke = static_cast<QKeyEvent *>(e);
        switch (ke->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Insert:
        case Qt::Key_Delete:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_F2:
            e->accept();
            return true;
        default:
            break;
        }
    }
    return QTableView::event(e);
}

void TDBGrid::keyPressEvent(QKeyEvent *e) {
    if (m_forwarding) {
        e->ignore();  // the editor did not want a key we handed it: it goes on to the form
        return;
    }
    if (m_editor) {
        // A key sent to the grid while its editor is open is the editor's.
        if (!handleKey(e) && m_editor) {
            m_forwarding = true;
            QApplication::sendEvent(m_editor->keyTarget(), e);
            m_forwarding = false;
        }
        e->accept();
        return;
    }
    // Keys the grid has no use for (Ctrl+Tab, shortcuts...) go on to the form.
    if (handleKey(e)) e->accept();
    else e->ignore();
}

bool TDBGrid::eventFilter(QObject *watched, QEvent *e) {
    if (m_editor && watched == m_editor->keyTarget() && !m_forwarding) {
        if (e->type() == QEvent::KeyPress) {
            auto *ke = static_cast<QKeyEvent *>(e);
            if (m_editor->combo && m_editor->combo->view()->isVisible()) return false;
            return handleKey(ke);
        }
        if (e->type() == QEvent::ShortcutOverride) {
            auto *ke = static_cast<QKeyEvent *>(e);
            if (ke->key() == Qt::Key_Escape || ke->key() == Qt::Key_Insert || ke->key() == Qt::Key_Return ||
                ke->key() == Qt::Key_Enter || ke->key() == Qt::Key_Up || ke->key() == Qt::Key_Down) {
                e->accept();
                return true;
            }
        }
    }
    return QTableView::eventFilter(watched, e);
}

// ---------------------------------------------------------------- mouse

void TDBGrid::mousePressEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    const bool hadFocus = hasFocus() || (m_editor && m_editor->isAncestorOf(QApplication::focusWidget()));
    if (!hasFocus() && !m_editor) setFocus(Qt::MouseFocusReason);
    const QModelIndex idx = indexAt(e->position().toPoint());
    e->accept();
    if (!idx.isValid() || !m_table || !m_table->Active()) return;
    const int row = idx.row();
    const int col = idx.column();
    const int cur = m_shownRow;
    if (row == cur && col == m_col) {
        if (!m_editor && hadFocus) openEditor(false, QChar());
        return;
    }
    if (!CommitEdit()) return;
    if (col != m_col && !userMoveColumn(col)) return;
    if (m_col != col) return;  // the column-exit handler put the cursor elsewhere
    if (row != cur && row < m_table->viewRowCount()) userMoveRow(row);
    if (!m_editor && !hasFocus()) setFocus(Qt::MouseFocusReason);
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent *e) {
    e->accept();
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (idx.isValid() && idx.row() == m_shownRow && idx.column() == m_col && !m_editor) openEditor(false, QChar());
    if (idx.isValid() && idx.row() == m_shownRow && OnDblClick) RunGuarded(OnDblClick);
}

void TDBGrid::mouseMoveEvent(QMouseEvent *e) { e->accept(); }
void TDBGrid::mouseReleaseEvent(QMouseEvent *e) { e->accept(); }

bool TDBGrid::edit(const QModelIndex &, EditTrigger, QEvent *) { return false; }

QModelIndex TDBGrid::moveCursor(CursorAction, Qt::KeyboardModifiers) { return currentIndex(); }

// ---------------------------------------------------------------- geometry

void TDBGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    placeEditor();
}

void TDBGrid::resizeEvent(QResizeEvent *e) {
    QTableView::resizeEvent(e);
    placeEditor();
}

void TDBGrid::showEvent(QShowEvent *e) {
    QTableView::showEvent(e);
    syncFromTable();
}

void TDBGrid::updateGeometries() {
    QTableView::updateGeometries();
    placeEditor();
}

// ---------------------------------------------------------------- focus

QWidget *TDBGrid::formOf(QWidget *w) const {
    // The form a widget belongs to: its window, or its MDI child.
    while (w) {
        if (w->isWindow() || qobject_cast<QMdiSubWindow *>(w->parentWidget())) return w;
        w = w->parentWidget();
    }
    return nullptr;
}

void TDBGrid::onFocusChanged(QWidget *, QWidget *now) {
    const bool nowInside = now && (now == this || isAncestorOf(now));
    if (nowInside) {
        if (!m_entered) {
            m_entered = true;
            if (OnEnter) RunGuarded(OnEnter);
        }
        return;
    }
    // Focus on another window (a dialog, another MDI child) is not leaving the grid.
    if (!now || !m_entered || formOf(now) != formOf(this)) return;
    if (m_table && m_table->Active()) {
        if ((m_options & dgCancelOnExit) && rowUntouchedInsert()) {
            closeEditor();
            RunGuarded([this] { m_table->Cancel(); });
        } else if (!CommitEdit()) {
            // The cell's text was refused: the focus goes back to it.
            if (m_editor) m_editor->line->setFocus(Qt::OtherFocusReason);
            else setFocus(Qt::OtherFocusReason);
            return;
        } else {
            closeEditor();
        }
    } else {
        closeEditor();
    }
    m_entered = false;
    if (OnExit) RunGuarded(OnExit);
}

// ---------------------------------------------------------------- routines

QString GridText(TDBGrid *grid, const QString &fieldName, bool) {
    return grid ? grid->cellEditText(fieldName) : QString();
}

int IndiceCol(TDBGrid *grid, const QString &fieldName) { return grid ? grid->Columns.IndexOfField(fieldName) : -1; }
