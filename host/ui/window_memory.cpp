#include "window_memory.h"

#include "db_grid.h"
#include "forms.h"
#include "user_settings.h"

#include <QMainWindow>
#include <QMdiSubWindow>

namespace {
// The key a screen is remembered by: its code, else its object name.
QString formKey(const TForm *form) {
    QString key = form->lblCodTela ? form->lblCodTela->text().trimmed() : QString();
    if (key.isEmpty()) key = form->objectName();
    if (key.isEmpty()) key = QString::fromLatin1(form->metaObject()->className());
    return QStringLiteral("telas/") + key;
}

QWidget *frameOf(const TForm *form) {
    if (QMdiSubWindow *sub = form->subWindow()) return sub;
    return const_cast<TForm *>(form);
}
}  // namespace

namespace WindowMemory {

void restoreMainWindow(QMainWindow *window) {
    auto s = UserSettings();
    const QByteArray geometry = s->value(QStringLiteral("janela/geometria")).toByteArray();
    if (geometry.isEmpty() || !window->restoreGeometry(geometry)) {
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
        return;
    }
    window->restoreState(s->value(QStringLiteral("janela/estado")).toByteArray());
}

void saveMainWindow(const QMainWindow *window) {
    auto s = UserSettings();
    s->setValue(QStringLiteral("janela/geometria"), window->saveGeometry());
    s->setValue(QStringLiteral("janela/estado"), window->saveState());
}

void restoreForm(TForm *form) {
    auto s = UserSettings();
    s->beginGroup(formKey(form));
    const QByteArray geometry = s->value(QStringLiteral("geometria")).toByteArray();
    if (!geometry.isEmpty()) {
        QWidget *frame = frameOf(form);
        frame->restoreGeometry(geometry);
        if (s->value(QStringLiteral("maximizada")).toBool()) frame->setWindowState(frame->windowState() | Qt::WindowMaximized);
    }
    for (TDBGrid *grid : form->findChildren<TDBGrid *>()) {
        if (grid->objectName().isEmpty()) continue;
        const QString group = QStringLiteral("colunas/") + grid->objectName() + QLatin1Char('/');
        bool changed = false;
        for (int i = 0; i < grid->Columns.Count(); ++i) {
            TColumn &c = grid->Columns[i];
            const int width = s->value(group + c.FieldName, 0).toInt();
            // A width the user could not have dragged is a damaged file: ignored.
            if (width >= 8 && width <= 4000 && width != c.Width) {
                c.Width = width;
                changed = true;
            }
        }
        if (changed) grid->LayoutChanged();
    }
    s->endGroup();
}

void saveForm(const TForm *form) {
    auto s = UserSettings();
    s->beginGroup(formKey(form));
    QWidget *frame = frameOf(form);
    s->setValue(QStringLiteral("maximizada"), frame->isMaximized());
    s->setValue(QStringLiteral("geometria"), frame->saveGeometry());
    for (TDBGrid *grid : form->findChildren<TDBGrid *>()) {
        if (grid->objectName().isEmpty() || grid->Columns.Count() == 0) continue;
        const QString group = QStringLiteral("colunas/") + grid->objectName() + QLatin1Char('/');
        for (int i = 0; i < grid->Columns.Count(); ++i)
            if (!grid->Columns[i].FieldName.isEmpty()) s->setValue(group + grid->Columns[i].FieldName, grid->Columns[i].Width);
    }
    s->endGroup();
}

}  // namespace WindowMemory
