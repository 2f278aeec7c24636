#pragma once
// The data-aware grid: a table view over the client table of a data source
// that behaves like the classic database grid. The grid's current row is the
// table's cursor; typing puts the row in edit and opens a cell editor; Enter,
// Tab and Left/Right commit the cell through the field's set-text; moving to
// another row posts; Down on the last row appends; Esc cancels the cell, then
// the row; Insert inserts; Ctrl+Delete deletes; leaving the grid cancels an
// untouched new row. Every screen handler runs through RunGuarded.

#include "client_table.h"

#include <QColor>
#include <QPointer>
#include <QStringList>
#include <QStyle>
#include <QTableView>
#include <functional>
#include <memory>
#include <vector>

class TDBGrid;
class TDBGridModel;
class TGridCellEditor;
class QPainter;

enum TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

// One column of the grid: which field it shows and how.
class TColumn {
public:
    QString FieldName;
    QString Title;  // empty: the field's DisplayLabel
    int Width = 64;
    Qt::Alignment TitleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool ReadOnly = false;
    QStringList PickList;  // not empty: the cell edits with a drop-down list
    // The codes the field stores for the pick list's captions, item by item.
    // Empty: the caption itself is stored. With codes the cell shows the
    // caption of the stored code, and nothing for a value outside them.
    QStringList PickCodes;
    bool HasCodes() const { return !PickCodes.isEmpty(); }
    QString CaptionOf(const QString &code) const;
    // The code of a caption (or of a code typed as such), compared without
    // case; false when the text names no item. Empty text gives an empty code.
    bool CodeOf(const QString &text, QString *code) const;
    TColumnButtonStyle ButtonStyle = cbsAuto;  // cbsEllipsis: a "..." button in the cell editor
    bool Visible = true;
    QString Hint;  // the title's tooltip

    TField *Field() const;  // the field of the grid's current table; nullptr when absent
    int Index() const { return m_index; }
    TDBGrid *Grid() const { return m_grid; }

private:
    friend class TDBGridColumns;
    friend class TDBGrid;
    TDBGrid *m_grid = nullptr;
    int m_index = -1;
};

class TDBGridColumns {
public:
    int Count() const { return int(m_items.size()); }
    TColumn &operator[](int i) { return *m_items.at(size_t(i)); }
    const TColumn &operator[](int i) const { return *m_items.at(size_t(i)); }
    TColumn &Items(int i) { return (*this)[i]; }
    TColumn &Add();  // a new column at the end
    void Clear();
    int IndexOfField(const QString &fieldName) const;  // -1 when no column shows it

private:
    friend class TDBGrid;
    TDBGrid *m_grid = nullptr;
    std::vector<std::unique_ptr<TColumn>> m_items;
};

enum TDBGridOption {
    dgEditing = 0x1,
    dgTitles = 0x2,
    dgIndicator = 0x4,
    dgColumnResize = 0x8,
    dgColLines = 0x10,
    dgRowLines = 0x20,
    dgTabs = 0x40,
    dgRowSelect = 0x80,
    dgAlwaysShowSelection = 0x100,
    dgConfirmDelete = 0x200,
    dgCancelOnExit = 0x400,
};
Q_DECLARE_FLAGS(TDBGridOptions, TDBGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDBGridOptions)

// System colours by their classic names.
QColor clInfoBk();       // tool-tip background: light yellow
QColor clWindow();
QColor clWindowText();
QColor clHighlight();
QColor clHighlightText();

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    void SetDataSource(TDataSource *source);
    TDataSource *DataSource() const { return m_source; }
    TClientTable *DataSet() const;

    // Columns. With no column added the grid shows every visible field of its
    // table. After changing a column's width, title or visibility, call
    // LayoutChanged() (Add and addColumn do it).
    TDBGridColumns Columns;
    TColumn &addColumn(const QString &fieldName, const QString &title = QString(), int width = 64,
                       Qt::Alignment titleAlignment = Qt::AlignLeft | Qt::AlignVCenter, bool readOnly = false);
    TColumn *columnByField(const QString &fieldName);
    void LayoutChanged();
    // Widths are in the classic screen font's pixels, scaled to the grid's font.
    double widthScale() const;
    int scaledWidth(int width) const;

    TDBGridOptions Options() const { return m_options; }
    void SetOptions(TDBGridOptions options);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void SetColor(const QColor &color);
    QColor Color() const;

    // The selected column and its field.
    TField *SelectedField() const;
    // Moving the selected column commits the cell editor and runs OnColExit
    // first (not when called from inside OnColExit); their exceptions reach
    // the caller, and a column move made by OnColExit itself wins.
    void SetSelectedField(TField *field);
    int SelectedIndex() const { return m_col; }
    void SetSelectedIndex(int columnIndex);

    // The cell editor.
    bool EditorMode() const;
    void SetEditorMode(bool open);  // opens (when the cell is editable) or closes without committing
    QString EditorText() const;     // empty when no editor is open
    QWidget *InplaceEditor() const;  // the editor's text box (for tests and screens); nullptr when closed
    // The text being edited in the column of that field: the open editor's
    // text; while a key that opens a fresh editor is being filtered, the empty
    // text it starts from; otherwise the field's editing text.
    QString cellEditText(const QString &fieldName) const;
    bool CommitEdit();  // writes the editor's text through the field's set-text; false when refused (shown)

    // Cell drawing helpers for OnDrawColumnCell: the row being drawn and its values.
    int DrawingRow() const { return m_drawRow; }
    QVariant DrawingValue(const QString &fieldName) const;
    QString DrawingText(const QString &fieldName, bool display = true) const;
    // The grid's own drawing of a cell's text, with the painter's pen and font.
    void DefaultDrawColumnCell(QPainter *painter, const QRect &rect, int dataCol, TColumn &column, QStyle::State state);

    // Events; each runs through RunGuarded.
    std::function<void()> OnColExit;
    std::function<void()> OnColEnter;
    std::function<void(QChar &key)> OnKeyPress;
    std::function<void(int &key, Qt::KeyboardModifiers modifiers)> OnKeyDown;
    std::function<void()> OnEnter;
    std::function<void()> OnExit;
    std::function<void()> OnEditButtonClick;
    std::function<void()> OnDblClick;
    std::function<void(QPainter *, const QRect &, int dataCol, TColumn &, QStyle::State)> OnDrawColumnCell;

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void updateGeometries() override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;

private:
    friend class TDBGridModel;
    friend class TDBGridDelegate;
    friend class TDBGridColumns;
    friend class TColumn;

    void bindTable();
    void rebuildDefaultColumns();
    void installFocusHooks();
    void syncFromTable();
    void applyOptions();

    bool handleKey(QKeyEvent *e);  // true when consumed
    bool fireKeyPress(QChar &key);  // false when dropped or aborted
    void typeKey(QChar key, QKeyEvent *original);
    bool canEditCell() const;
    bool canModify() const;
    bool editorModified() const;
    bool rowUntouchedInsert() const;

    // User moves (shown errors, return false when refused).
    bool userMoveColumn(int column);
    bool userMoveRow(int viewRow);
    bool userNextRow();  // Down / Tab past the last column
    bool userPriorRow();
    void userTab(bool forward);
    void userEscape();
    void userInsert();
    void userDelete();
    void onFocusChanged(QWidget *old, QWidget *now);
    QWidget *formOf(QWidget *w) const;

    void moveColumn(int column);  // throwing version
    void openEditor(bool withKey, QChar key);
    void closeEditor();
    void placeEditor();
    void editorEdited();
    void pickChosen(const QString &text);
    void pasteIntoEditor();
    static bool isNumberField(const TField *f);
    void setFieldText(TField *f, const QString &text);  // through the column's codes, if any
    QString fieldEditText(TField *f) const;            // the field's text as the column shows it
    int firstVisibleColumn() const;
    int firstEditableColumn() const;  // -1 when none
    int lastVisibleColumn() const;
    int nextVisibleColumn(int from, int step) const;

    QPointer<TDataSource> m_source;
    QPointer<TClientTable> m_table;
    QList<QMetaObject::Connection> m_sourceConnections, m_tableConnections;
    TDBGridModel *m_model = nullptr;
    TDBGridOptions m_options;
    bool m_readOnly = false;
    bool m_defaultColumns = true;
    int m_col = 0;
    int m_shownRow = -1;
    TBookmark m_shownBookmark = -1;
    bool m_syncing = false;
    bool m_inColExit = false;
    bool m_committing = false;
    bool m_filteringFreshKey = false;
    bool m_wasInserting = false;  // the table was inserting at its last state change
    bool m_entered = false;
    int m_drawRow = -1;

    TGridCellEditor *m_editor = nullptr;
    bool m_editorModified = false;
    bool m_settingEditorText = false;
    bool m_forwarding = false;
};

// The text being edited in the column of that field (see cellEditText); the
// flag is accepted for the screens' calls and does not change the answer.
QString GridText(TDBGrid *grid, const QString &fieldName, bool flag = true);
// The index in grid->Columns of the column showing that field; -1 when none.
int IndiceCol(TDBGrid *grid, const QString &fieldName);
