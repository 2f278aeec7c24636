#include "db_grid.h"
#include "db_grid_editor.h"
#include "db_grid_model.h"

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
    m_wasInserting = false;
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
            // A new row starts typing in its first editable column, whichever
            // column the previous row had the cursor in; the table's
            // after-insert handlers run later and may still choose another.
            const bool inserting = m_table && m_table->State() == DataSetState::Insert;
            if (inserting && !m_wasInserting && !m_editor) {
                const int first = firstEditableColumn();
                if (first >= 0) m_col = first;
            }
            m_wasInserting = inserting;
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
                m_editor->setText(fieldEditText(f));
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

int TDBGrid::firstEditableColumn() const {
    for (int i = 0; i < Columns.Count(); ++i) {
        const TColumn &c = Columns[i];
        if (c.Visible && !c.ReadOnly && c.Field() && !c.Field()->ReadOnly) return i;
    }
    return -1;
}

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
                setFieldText(f, m_editor->text());
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
        const QString text = fieldEditText(f);
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
        setFieldText(f, text);
    });
    m_committing = false;
    if (m_editor != ed || !m_editor) return;
    m_settingEditorText = true;
    m_editor->setText(fieldEditText(f));
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
        setFieldText(f, text);
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
