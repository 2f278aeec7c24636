#include "help_window.h"

#include "desktop_look.h"
#include "dialogs.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QHBoxLayout>
#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace {
QPointer<HelpWindow> g_window;
}

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("frmAjuda"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(AppIcon());
    resize(760, 640);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setIconSize(QSize(16, 16));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtAjuda"));
    m_browser->setOpenExternalLinks(true);
    auto *back = bar->addAction(QStringLiteral("&Voltar"), m_browser, &QTextBrowser::backward);
    back->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    SetActionLook(back, {"go-previous"});
    auto *close = bar->addAction(QStringLiteral("&Fechar"), this, &QWidget::close);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    SetActionLook(close, {"window-close"});
    addAction(close);
    addAction(back);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    back->setEnabled(false);
    layout->addWidget(bar);
    layout->addWidget(m_browser, 1);
}

HelpWindow *HelpWindow::current() { return g_window; }

QString HelpWindow::guideFor(const QString &screenCode) {
    const QString code = screenCode.trimmed().toUpper();
    // Codes are letters and digits only: nothing else may name a resource.
    static const QRegularExpression valid(QStringLiteral("^[A-Z0-9]{1,16}$"));
    if (!valid.match(code).hasMatch()) return QString();
    const QString path = QStringLiteral(":/help/%1.md").arg(code);
    return QFile::exists(path) ? path : QString();
}

void HelpWindow::load(const QString &screenCode) {
    m_code = screenCode.trimmed().toUpper();
    m_browser->setSource(QUrl(QStringLiteral("qrc") + guideFor(m_code)), QTextDocument::MarkdownResource);
    m_browser->clearHistory();
    setWindowTitle(QStringLiteral("Ajuda — %1").arg(m_code));
}

bool HelpWindow::showTopic(const QString &topic) {
    if (topic.trimmed().isEmpty()) return false;
    // A heading naming the caption in quotes ("Desconto por Usuário") before
    // one that merely contains it.
    const QString quoted = QStringLiteral("\"%1\"").arg(topic.trimmed());
    QTextBlock found;
    for (const QString &wanted : {quoted, topic.trimmed()}) {
        for (QTextBlock b = m_browser->document()->begin(); b.isValid() && !found.isValid(); b = b.next())
            if (b.blockFormat().headingLevel() > 0 && b.text().contains(wanted)) found = b;
        if (found.isValid()) break;
    }
    if (!found.isValid()) return false;
    m_browser->setTextCursor(QTextCursor(found));
    // The heading at the top; again once the window has laid the guide out.
    const int at = found.blockNumber();
    auto scroll = [browser = QPointer<QTextBrowser>(m_browser), at] {
        if (!browser) return;
        const QTextBlock block = browser->document()->findBlockByNumber(at);
        browser->verticalScrollBar()->setValue(int(browser->document()->documentLayout()->blockBoundingRect(block).top()));
    };
    scroll();
    QTimer::singleShot(0, m_browser, scroll);
    return true;
}

HelpWindow *HelpWindow::showFor(const QString &screenCode, QWidget *over, const QString &topic) {
    if (guideFor(screenCode).isEmpty()) {
        const QString code = screenCode.trimmed();
        Dialogs().showMessage(code.isEmpty() ? QStringLiteral("Não há ajuda disponível para esta tela.")
                                             : QStringLiteral("Não há ajuda disponível para a tela %1.").arg(code),
                              MsgType::Information, MsgButton::Ok);
        return nullptr;
    }
    // Over a modal screen the guide belongs to that screen, or the screen's
    // modality would keep the reader out of it.
    QWidget *modal = QApplication::activeModalWidget();
    if (g_window && g_window->parentWidget() != modal) {
        g_window->setParent(modal, Qt::Window);
        if (modal) g_window->setWindowModality(Qt::NonModal);
    }
    if (!g_window) {
        g_window = new HelpWindow;
        if (modal) g_window->setParent(modal, Qt::Window);
        if (over) {
            const QRect r = over->window()->geometry();
            g_window->move(r.center() - QPoint(g_window->width() / 2, g_window->height() / 2));
        }
    }
    g_window->load(screenCode);
    g_window->showTopic(topic);
    // In front with the focus, also when it was open behind a maximized
    // window: a guide that opens out of sight seems not to open at all.
    g_window->setWindowState(g_window->windowState() & ~Qt::WindowMinimized);
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
    QApplication::setActiveWindow(g_window);
    g_window->m_browser->setFocus(Qt::OtherFocusReason);
    return g_window;
}
