#pragma once
// What the screen tests do to the data-aware grids, as a user does it: the
// cursor to a row or a cell, cells typed with Tab between them, a cell typed
// over, a tab clicked, a tool bar action, the column under the cursor.

#include "db_grid.h"
#include "page_control.h"
#include "widget_test_helpers.h"

#include <QAction>
#include <QLineEdit>
#include <QStringList>
#include <QTabBar>
#include <gtest/gtest.h>

// Lets queued work (the screen's calls, focus changes) run to its end.
inline void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// A tool bar or menu action, then what it started.
inline void Trigger(QAction *action) {
    action->trigger();
    Settle();
}

// A click on a page's tab.
inline void ClickTab(TPageControl *pages, QWidget *page) {
    QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(pages->indexOf(page)).center());
    Settle();
}

// The cursor to a row (0-based, in the list's order) and its first column.
inline void GoToRow(int index) {
    Press(Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < index; ++i) Press(Qt::Key_Down);
    Press(Qt::Key_Home);
    Settle();
}

// The focus into a grid, on the row with that key and on a column.
inline void GoToCell(TDBGrid *grid, const QString &keyField, const QString &key, const QString &column) {
    grid->setFocus();
    Settle();
    ASSERT_TRUE(grid->DataSet()->Locate(keyField, key)) << key.toStdString();
    grid->SetSelectedField(grid->DataSet()->FieldByName(column));
    Settle();
}

// Cells typed from the one under the cursor on, Tab between them; an empty
// text leaves its cell alone.
inline void TypeCells(const QStringList &cells) {
    for (int i = 0; i < cells.size(); ++i) {
        Type(cells[i]);
        if (i + 1 < cells.size()) Press(Qt::Key_Tab);
    }
}

// Types over what the cell holds: the editor opened if it is not, its whole
// text selected first.
inline void Retype(TDBGrid *grid, const QString &text) {
    if (!grid->EditorMode()) Press(Qt::Key_F2);
    auto *editor = qobject_cast<QLineEdit *>(grid->InplaceEditor());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    Type(text);
}

// The column under the grid's cursor; empty when none.
inline QString SelectedColumn(const TDBGrid *grid) {
    TField *field = grid->SelectedField();
    return field ? field->FieldName() : QString();
}
