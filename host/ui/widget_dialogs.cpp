#include "widget_dialogs.h"

#include "client_table.h"
#include "db_grid.h"
#include "errors.h"
#include "report_engine.h"
#include "routines.h"
#include "table_model.h"
#include "ui_dispatch.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QWidget *dialogParent() {
    if (QWidget *w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

QString titleFor(MsgType type) {
    switch (type) {
    case MsgType::Information: return QStringLiteral("Informação");
    case MsgType::Warning: return QStringLiteral("Atenção");
    case MsgType::Error: return QStringLiteral("Erro");
    case MsgType::Confirmation: return QStringLiteral("Confirmação");
    }
    return QString();
}

// The text of a row as the lists show it: the visible fields as the grid
// shows them (flags by their captions), joined by " - ".
QString rowText(TClientTable *table, int viewRow) {
    const TClientTableModel shown(table);
    QStringList parts;
    for (int i = 0; i < table->FieldCount(); ++i) {
        TField *f = table->Fields(i);
        if (!f->Visible) continue;
        const QVariant v = table->viewValue(viewRow, i);
        if (!v.isValid() || v.isNull()) continue;
        const QString text = shown.cellText(viewRow, i, true).trimmed();
        if (!text.isEmpty()) parts << text;
    }
    return parts.join(QStringLiteral(" - "));
}

// "title|empty message", as the search dialogs take it.
void splitTitle(const QString &titleAndEmpty, const QString &fallback, QString *title, QString *empty) {
    const int bar = titleAndEmpty.indexOf(QLatin1Char('|'));
    *title = bar < 0 ? titleAndEmpty : titleAndEmpty.left(bar);
    *empty = bar < 0 || titleAndEmpty.mid(bar + 1).trimmed().isEmpty() ? fallback : titleAndEmpty.mid(bar + 1);
}

// Up, Down, PgUp and PgDn typed in the search box move in the list, so the
// hands stay on the keyboard between typing and picking.
class ListKeysFromBox : public QObject {
public:
    ListKeysFromBox(QLineEdit *box, QWidget *list) : QObject(box), m_list(list) { box->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() != QEvent::KeyPress) return false;
        auto *ke = static_cast<QKeyEvent *>(e);
        switch (ke->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            QKeyEvent copy(QEvent::KeyPress, ke->key(), ke->modifiers());
            QApplication::sendEvent(m_list, &copy);
            return true;
        }
        default:
            return false;
        }
    }

private:
    QWidget *m_list;
};

}  // namespace

QString SearchKey(const QString &text) {
    // Decomposed, the accents are marks of their own and drop out.
    const QString decomposed = text.trimmed().normalized(QString::NormalizationForm_KD);
    QString key;
    key.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) key.append(c.toCaseFolded());
    return key;
}

WidgetDialogs::~WidgetDialogs() {
    if (m_wait) delete m_wait.data();
    if (m_waitDepth > 0) QApplication::restoreOverrideCursor();
}

bool WidgetDialogs::askText(const QString &caption, const QString &prompt, QString *text, int maxLength) {
    const auto dialog = CreateTitleDialog(caption, prompt, *text, dialogParent(), maxLength);
    if (dialog->exec() != QDialog::Accepted) return false;
    *text = dialog->textValue();
    return true;
}

int WidgetDialogs::showMessage(const QString &text, MsgType type, int buttons) {
    QMessageBox box(dialogParent());
    box.setWindowTitle(titleFor(type));
    box.setText(text);
    switch (type) {
    case MsgType::Information: box.setIcon(QMessageBox::Information); break;
    case MsgType::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgType::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgType::Confirmation: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == 0) buttons = MsgButton::Ok;
    QHash<QAbstractButton *, int> answer;
    auto add = [&](int flag, const QString &caption, QMessageBox::ButtonRole role) {
        if (!(buttons & flag)) return;
        QPushButton *b = box.addButton(caption, role);
        answer.insert(b, flag);
        if (!box.defaultButton()) box.setDefaultButton(b);
    };
    add(MsgButton::Yes, QStringLiteral("Sim"), QMessageBox::YesRole);
    add(MsgButton::No, QStringLiteral("Não"), QMessageBox::NoRole);
    add(MsgButton::Ok, QStringLiteral("OK"), QMessageBox::AcceptRole);
    add(MsgButton::Cancel, QStringLiteral("Cancelar"), QMessageBox::RejectRole);
    // A failure is often told while the wait animation is still up (the call
    // that failed is inside it): the message must not sit under a stale
    // "Aguarde..." and an hourglass. The animation comes back after it.
    const bool waiting = m_wait && m_wait->isVisible();
    if (waiting) m_wait->hide();
    if (m_waitDepth > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (m_waitDepth > 0) QApplication::restoreOverrideCursor();
    if (waiting && m_wait) m_wait->show();
    QAbstractButton *clicked = box.clickedButton();
    if (clicked && answer.contains(clicked)) return answer.value(clicked);
    // Closed by Esc or the window button: the negative answer.
    if (buttons & MsgButton::Cancel) return MsgButton::Cancel;
    if (buttons & MsgButton::No) return MsgButton::No;
    return MsgButton::Ok;
}

bool WidgetDialogs::pesquisar(TDataSource *source, const QString &titleAndEmpty) {
    QString title, empty;
    splitTitle(titleAndEmpty, QStringLiteral("Nenhum registro encontrado."), &title, &empty);
    TClientTable *table = source ? source->DataSet() : nullptr;
    if (!table || !table->Active() || table->IsEmpty()) {
        showMessage(empty, MsgType::Information, MsgButton::Ok);
        return false;
    }
    const TBookmark original = table->GetBookmark();

    QDialog dialog(dialogParent());
    dialog.setObjectName(QStringLiteral("dlgPesquisar"));
    dialog.setWindowTitle(title);
    dialog.resize(560, 380);
    auto *layout = new QVBoxLayout(&dialog);
    auto *findRow = new QHBoxLayout;
    auto *findLabel = new QLabel(QStringLiteral("Localizar:"), &dialog);
    auto *find = new QLineEdit(&dialog);
    find->setObjectName(QStringLiteral("edtLocalizar"));
    findLabel->setBuddy(find);
    findRow->addWidget(findLabel);
    findRow->addWidget(find);
    layout->addLayout(findRow);
    auto *grid = new TDBGrid(&dialog);
    grid->setObjectName(QStringLiteral("dbgPesquisa"));
    grid->SetOptions(TDBGridOptions(dgTitles | dgColLines | dgRowLines | dgRowSelect | dgAlwaysShowSelection));
    layout->addWidget(grid);
    auto *buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    grid->OnKeyPress = [&dialog](QChar &key) {
        if (key.unicode() == 13) {
            key = QChar(0);
            dialog.accept();
        }
    };
    grid->OnDblClick = [&dialog] { dialog.accept(); };
    auto *result = new QLabel(&dialog);
    result->setObjectName(QStringLiteral("lblResultado"));
    result->setStyleSheet(QStringLiteral("color: #a00000;"));
    layout->insertWidget(1, result);
    // Each change of the text looks again from the top; a text found nowhere
    // leaves the cursor where it was and says so.
    QObject::connect(find, &QLineEdit::textEdited, &dialog, [table, result](const QString &text) {
        const QString wanted = SearchKey(text);
        result->clear();
        if (wanted.isEmpty()) return;
        for (int r = 0; r < table->viewRowCount(); ++r)
            if (SearchKey(rowText(table, r)).contains(wanted)) {
                RunGuarded([&] { table->moveToViewRow(r); });
                return;
            }
        result->setText(QStringLiteral("Nenhum registro encontrado."));
    });
    QObject::connect(find, &QLineEdit::returnPressed, &dialog, &QDialog::accept);
    new ListKeysFromBox(find, grid);
    grid->SetDataSource(source);
    // Each column as wide as its longest text, the code's included.
    grid->resizeColumnsToContents();
    find->setFocus();
    const bool picked = dialog.exec() == QDialog::Accepted && table->Active() && !table->IsEmpty();
    grid->SetDataSource(nullptr);
    if (!picked && table->Active() && original >= 0 && table->BookmarkValid(original))
        RunGuarded([&] { table->GotoBookmark(original); });
    return picked;
}

QString SelectionString(const QStringList &codes, const QList<bool> &marked) {
    QStringList chosen;
    bool all = !codes.isEmpty();
    for (int i = 0; i < codes.size(); ++i) {
        if (i < marked.size() && marked[i]) chosen << AllTrim(codes[i]);
        else all = false;
    }
    if (chosen.isEmpty()) return QString();
    if (all) return QStringLiteral("T");
    return chosen.join(QLatin1Char(','));
}

QList<bool> MarksFromSelection(const QStringList &codes, const QString &selection) {
    QList<bool> marks;
    const QString sel = selection.trimmed();
    QStringList chosen;
    for (const QString &c : sel.split(QLatin1Char(','), Qt::SkipEmptyParts)) chosen << c.trimmed();
    for (const QString &code : codes) marks << (sel == QLatin1String("T") || chosen.contains(AllTrim(code)));
    return marks;
}

bool WidgetDialogs::pesquisaLista(TDataSource *source, const QString &keyField, const QString &titleAndEmpty, QString *selection) {
    QString title, empty;
    splitTitle(titleAndEmpty, QStringLiteral("Não há registros para selecionar."), &title, &empty);
    TClientTable *table = source ? source->DataSet() : nullptr;
    TField *key = table ? table->FindField(keyField) : nullptr;
    if (!table || !table->Active() || table->IsEmpty() || !key) {
        showMessage(empty, MsgType::Information, MsgButton::Ok);
        return false;
    }
    QStringList codes;
    for (int r = 0; r < table->viewRowCount(); ++r) {
        const QVariant v = table->viewValue(r, key->Index());
        codes << (v.isValid() ? v.toString() : QString());
    }
    const QList<bool> initial = MarksFromSelection(codes, selection ? *selection : QString());

    QDialog dialog(dialogParent());
    dialog.setObjectName(QStringLiteral("dlgPesquisaLista"));
    dialog.setWindowTitle(title);
    dialog.resize(480, 380);
    auto *layout = new QVBoxLayout(&dialog);
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("lstSelecao"));
    for (int r = 0; r < codes.size(); ++r) {
        auto *item = new QListWidgetItem(rowText(table, r), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(initial.value(r) ? Qt::Checked : Qt::Unchecked);
    }
    if (list->count() > 0) list->setCurrentRow(0);
    layout->addWidget(list);
    auto *marks = new QHBoxLayout;
    auto *all = new QPushButton(QStringLiteral("Marcar todos"), &dialog);
    all->setObjectName(QStringLiteral("btnMarcarTodos"));
    auto *none = new QPushButton(QStringLiteral("Desmarcar todos"), &dialog);
    none->setObjectName(QStringLiteral("btnDesmarcarTodos"));
    marks->addWidget(all);
    marks->addWidget(none);
    marks->addStretch();
    layout->addLayout(marks);
    auto setAll = [list](Qt::CheckState state) {
        for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(state);
    };
    QObject::connect(all, &QPushButton::clicked, &dialog, [setAll] { setAll(Qt::Checked); });
    QObject::connect(none, &QPushButton::clicked, &dialog, [setAll] { setAll(Qt::Unchecked); });
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOK"));
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("btnCancelar"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    list->setFocus();
    if (dialog.exec() != QDialog::Accepted) return false;
    QList<bool> marked;
    for (int i = 0; i < list->count(); ++i) marked << (list->item(i)->checkState() == Qt::Checked);
    if (selection) *selection = SelectionString(codes, marked);
    return true;
}

void WidgetDialogs::showWait(QObject *over, int kind) {
    if (m_waitDepth++ > 0) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QWidget *anchor = qobject_cast<QWidget *>(over);
    if (!anchor) anchor = QApplication::activeWindow();
    QWidget *window = anchor ? anchor->window() : nullptr;
    auto *w = new QWidget(window, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    w->setObjectName(kind == 6 ? QStringLiteral("aviAguardePrincipal") : QStringLiteral("aviAguarde"));
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    auto *layout = new QVBoxLayout(w);
    auto *label = new QLabel(QStringLiteral("Aguarde..."), w);
    label->setAlignment(Qt::AlignCenter);
    auto *bar = new QProgressBar(w);
    bar->setRange(0, 0);  // busy
    bar->setTextVisible(false);
    layout->addWidget(label);
    layout->addWidget(bar);
    w->resize(220, 70);
    if (anchor) {
        const QPoint centre = anchor->mapToGlobal(anchor->rect().center());
        w->move(centre - QPoint(w->width() / 2, w->height() / 2));
    }
    m_wait = w;
    w->show();
    w->repaint();  // painted now: the call that follows blocks the event loop
}

void WidgetDialogs::hideWait() {
    if (m_waitDepth == 0) return;
    if (--m_waitDepth > 0) return;
    if (m_wait) {
        m_wait->hide();
        m_wait->deleteLater();
        m_wait = nullptr;
    }
    QApplication::restoreOverrideCursor();
}

bool Pesquisar(TDataSource *source, const QString &titleAndEmpty, bool, bool) {
    return Dialogs().pesquisar(source, titleAndEmpty);
}

bool PesquisaLista(TDataSource *source, const QString &keyField, const QString &title, bool, QString &selection) {
    return Dialogs().pesquisaLista(source, keyField, title, &selection);
}
