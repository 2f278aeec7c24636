#include "host_application.h"

#include "desktop_look.h"
#include "forms.h"
#include "ui_dispatch.h"
#include "user_settings.h"
#include "window_memory.h"

#include <algorithm>

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QLayout>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

HostApplication &HostApplication::instance() {
    // Lives as long as the process: forms and the main window are released by
    // closeAllForms() or with the application's own shutdown.
    static HostApplication *app = new HostApplication;
    return *app;
}

HostApplication::HostApplication() { ApplyDesktopLook(); }

QMainWindow *HostApplication::mainWindow() {
    if (!m_main) {
        auto *w = new QMainWindow;
        w->setObjectName(QStringLiteral("frmPrincipal"));
        w->setWindowTitle(QStringLiteral("Cot"));
        w->setWindowIcon(AppIcon());
        auto *area = new QMdiArea(w);
        area->setObjectName(QStringLiteral("mdiPrincipal"));
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        w->setCentralWidget(area);
        w->resize(1100, 720);
        connect(area, &QMdiArea::subWindowActivated, this, &HostApplication::subWindowActivated);
        w->installEventFilter(this);
        if (qApp) connect(qApp, &QCoreApplication::aboutToQuit, this, &HostApplication::closeAllForms);
        m_main = w;
        m_mdi = area;
    }
    return m_main;
}

QMdiArea *HostApplication::mdiArea() {
    mainWindow();
    return m_mdi;
}

QMenuBar *HostApplication::menuBar() { return mainWindow()->menuBar(); }

void HostApplication::setStatusText(const QString &text) {
    if (!m_status) {
        m_status = new QLabel(mainWindow()->statusBar());
        m_status->setObjectName(QStringLiteral("lblStatus"));
        mainWindow()->statusBar()->addPermanentWidget(m_status, 1);
    }
    m_status->setText(text);
}

void HostApplication::setUserText(const QString &text) {
    if (!m_user) {
        m_user = new QLabel(mainWindow()->statusBar());
        m_user->setObjectName(QStringLiteral("lblUsuario"));
        m_user->setToolTip(QStringLiteral("Pessoa da chave de acesso e o seu papel no servidor de aplicação"));
        mainWindow()->statusBar()->addPermanentWidget(m_user, 0);
    }
    m_user->setText(text);
    m_user->setVisible(!text.isEmpty());
}

QString HostApplication::statusText() const { return m_status ? m_status->text() : QString(); }

void HostApplication::adoptForm(TForm *form) {
    m_forms.removeAll(QPointer<TForm>());
    if (!m_forms.contains(form)) m_forms.append(form);
}

TForm *HostApplication::activeForm() const { return m_lastActive; }

QList<TForm *> HostApplication::forms() const {
    QList<TForm *> out;
    for (const auto &f : m_forms)
        if (f) out.append(f);
    return out;
}

QMdiSubWindow *HostApplication::showMdiChild(TForm *form) {
    QMdiSubWindow *sub = form->subWindow();
    if (!sub) {
        sub = mdiArea()->addSubWindow(form);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowTitle(form->Caption());
        // Wide enough for the whole tool bar, text beside icons, where the area allows.
        // (The screen's width: the main window may still be on its way to maximised.)
        QSize room = mdiArea()->viewport()->size();
        if (QScreen *screen = mainWindow()->screen()) room = room.expandedTo(screen->availableGeometry().size() - QSize(16, 0));
        room -= QSize(8, 30);
        QSize size = form->size().expandedTo(form->minimumSizeHint());
        int bar = 0;
        for (QToolBar *tools : form->findChildren<QToolBar *>()) {
            int w = form->lblCodTela->sizeHint().width() + 40;
            for (QAction *a : tools->actions())
                if (QWidget *b = tools->widgetForAction(a)) w += b->sizeHint().width() + tools->layout()->spacing();
            bar = std::max(bar, w);
        }
        size.setWidth(std::max(size.width(), std::min(bar, room.width())));
        sub->resize(size + QSize(8, 30));
        sub->setWindowIcon(AppIcon());
        releaseTakenKeys(sub, form);
        WindowMemory::restoreForm(form);
    }
    form->show();
    sub->show();
    mdiArea()->setActiveSubWindow(sub);
    activateForm(form);
    return sub;
}

void HostApplication::releaseTakenKeys(QMdiSubWindow *sub, TForm *form) {
    // The MDI window's own menu closes on Ctrl+W (and Ctrl+F4); a screen with
    // its own entry on one of those keys ("Fechar") would make the key
    // ambiguous, and Qt then fires neither. The screen's entry keeps the key.
    QSet<QKeySequence> taken;
    for (const QAction *a : form->findChildren<QAction *>())
        for (const QKeySequence &k : a->shortcuts()) taken.insert(k);
    if (!sub->systemMenu()) return;
    for (QAction *a : sub->systemMenu()->actions()) {
        QList<QKeySequence> keys = a->shortcuts();
        const qsizetype before = keys.size();
        keys.removeIf([&](const QKeySequence &k) { return taken.contains(k); });
        if (keys.size() != before) a->setShortcuts(keys);
    }
}

void HostApplication::subWindowActivated(QMdiSubWindow *window) {
    // Only the user's switches count here: while the main window is not the
    // active window (being shown, or behind a dialog) the area replays its
    // activation order, and forms shown by code are activated by showMdiChild.
    if (!window || !m_main || !m_main->isActiveWindow()) return;
    if (auto *form = qobject_cast<TForm *>(window->widget())) activateForm(form);
}

void HostApplication::activateForm(TForm *form) {
    if (!form || m_lastActive == form) return;
    m_lastActive = form;
    RunGuarded([form] { form->FormActivate(); });
}

bool HostApplication::closeAllForms() {
    const QList<TForm *> open = forms();
    // Every question first, so that a Cancelar leaves all the screens as they were.
    for (TForm *f : open)
        if (!f->CloseQuery()) return false;
    bool all = true;
    for (const QPointer<TForm> f : open)
        if (f && !f->Close()) all = false;
    m_forms.removeAll(QPointer<TForm>());
    return all;
}

bool HostApplication::eventFilter(QObject *watched, QEvent *event) {
    // The main window closing ends the program: its screens decide first.
    if (watched == m_main && event->type() == QEvent::Close) {
        if (!closeAllForms()) {
            event->ignore();
            return true;
        }
        WindowMemory::saveMainWindow(m_main);
    }
    return QObject::eventFilter(watched, event);
}

void HostApplication::setScreenCursor(int crs) {
    m_cursor = crs;
    const bool wait = crs == crHourGlass;
    if (wait && !m_overrideSet) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_overrideSet = true;
    } else if (!wait && m_overrideSet) {
        QApplication::restoreOverrideCursor();
        m_overrideSet = false;
    }
}
