// The data-aware grid's keys: what each key does to the cell editor, the
// cursor and the table, and the screen's key filter on typed characters.
#include "db_grid.h"
#include "db_grid_editor.h"
#include "db_grid_model.h"

#include "dialogs.h"
#include "errors.h"
#include "routines.h"
#include "ui_dispatch.h"
#include "virtual_keys.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

// ---------------------------------------------------------------- keys

namespace {
// A key of an enabled action of the screen ("Cancelar" on Ctrl+Z, "Gravar"
// on Ctrl+S) goes to the action rather than to the cell editor's own undo
// and the like: the screen's keys work wherever the focus is.
bool isScreenShortcut(const QWidget *from, const QKeyEvent *ke) {
    const QKeySequence typed(ke->keyCombination());
    for (const QWidget *w = from; w; w = w->parentWidget()) {
        for (const QAction *a : w->actions()) {
            if (!a->isEnabled()) continue;
            for (const QKeySequence &k : a->shortcuts())
                if (k == typed) return true;
        }
        if (w->isWindow()) break;
    }
    return false;
}
}  // namespace

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
            // The "..." of the selected column, also with no cell open (an
            // empty list has no cell to open it in).
            const bool ellipsis = m_editor ? m_editor->button != nullptr
                                           : m_col >= 0 && m_col < Columns.Count() && Columns[m_col].ButtonStyle == cbsEllipsis;
            if (ellipsis && OnEditButtonClick && !m_readOnly) RunGuarded(OnEditButtonClick);
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
    // In a number cell the keypad's decimal key types the decimal comma; the
    // full stop of the main keyboard is the thousands separator the cell shows.
    if (key == QLatin1Char('.') && (e->modifiers() & Qt::KeypadModifier) && isNumberField(SelectedField()))
        key = QLatin1Char(',');
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
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // Ctrl+PgUp/PgDn move between the screen's pages.
            if (ke->modifiers() & Qt::ControlModifier) break;
            e->accept();
            return true;
        case Qt::Key_Home:
        case Qt::Key_End:
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
            if (ke->matches(QKeySequence::Paste)) {
                pasteIntoEditor();
                return true;
            }
            return handleKey(ke);
        }
        if (e->type() == QEvent::ShortcutOverride) {
            auto *ke = static_cast<QKeyEvent *>(e);
            if ((ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && isScreenShortcut(this, ke)) {
                e->ignore();
                return true;
            }
            if (ke->matches(QKeySequence::Paste)) {
                e->accept();
                return true;
            }
            if (ke->key() == Qt::Key_Escape || ke->key() == Qt::Key_Insert || ke->key() == Qt::Key_Return ||
                ke->key() == Qt::Key_Enter || ke->key() == Qt::Key_Up || ke->key() == Qt::Key_Down) {
                e->accept();
                return true;
            }
        }
    }
    return QTableView::eventFilter(watched, e);
}


// ---------------------------------------------------------------- paste

bool TDBGrid::isNumberField(const TField *f) {
    return f && (f->DataType() == FieldType::Float || f->DataType() == FieldType::Integer);
}

// Pasted text skips the key filter, so a number cell takes it only in the
// Brazilian form ("1.234,56" or "1234,56"), without its thousands points;
// anything else is refused and the cell stays as it was.
void TDBGrid::pasteIntoEditor() {
    if (!m_editor || !canEditCell()) return;
    QString text = QGuiApplication::clipboard()->text().trimmed();
    if (text.isEmpty()) return;
    TField *f = SelectedField();
    if (isNumberField(f)) {
        QString number;
        if (!NumberText::brazilian(text, &number)) {
            RunGuarded([&] {
                MensErro(QStringLiteral("O texto colado \"%1\" não é um número. Use a forma 1.234,56 ou 1234,56.")
                             .arg(text.left(40)),
                         false);
            });
            return;
        }
        text = number;
    }
    m_editor->line->insert(text);
    editorEdited();
}
