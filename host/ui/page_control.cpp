#include "page_control.h"

#include "ui_dispatch.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTabBar>

// The tab bar marks the clicks, keys and wheel turns that come from the user.
class TPageTabBar : public QTabBar {
public:
    TPageTabBar(TPageControl *owner) : QTabBar(owner), m_owner(owner) {}

protected:
    void mousePressEvent(QMouseEvent *e) override {
        m_owner->beginUserAction();
        QTabBar::mousePressEvent(e);
        m_owner->endUserAction();
    }
    void keyPressEvent(QKeyEvent *e) override {
        m_owner->beginUserAction();
        QTabBar::keyPressEvent(e);
        m_owner->endUserAction();
    }
#if QT_CONFIG(wheelevent)
    void wheelEvent(QWheelEvent *e) override {
        m_owner->beginUserAction();
        QTabBar::wheelEvent(e);
        m_owner->endUserAction();
    }
#endif

private:
    TPageControl *m_owner;
};

TPageControl::TPageControl(QWidget *parent) : QTabWidget(parent) {
    setTabBar(new TPageTabBar(this));
    connect(this, &QTabWidget::currentChanged, this, &TPageControl::pageChanged);
}

int TPageControl::addPage(QWidget *page, const QString &caption) { return addTab(page, caption); }

void TPageControl::SetActivePage(QWidget *page) {
    if (!page || indexOf(page) < 0) return;
    const int saved = m_userDepth;
    m_userDepth = 0;
    setCurrentWidget(page);
    m_userDepth = saved;
}

void TPageControl::setPageEnabled(QWidget *page, bool enabled, const QString &whyNot) {
    const int i = indexOf(page);
    if (i < 0) return;
    tabBar()->setTabEnabled(i, enabled);
    tabBar()->setTabToolTip(i, enabled ? QString() : whyNot);
}

bool TPageControl::SelectNextPage(bool forward) {
    const int n = count();
    const int from = currentIndex();
    for (int step = 1; step < n; ++step) {
        const int i = ((from + (forward ? step : -step)) % n + n) % n;
        if (!tabBar()->isTabEnabled(i) || !isTabVisible(i)) continue;
        beginUserAction();
        setCurrentIndex(i);
        endUserAction();
        return true;
    }
    return false;
}

bool TPageControl::pageEnabled(QWidget *page) const {
    const int i = indexOf(page);
    return i >= 0 && tabBar()->isTabEnabled(i);
}

void TPageControl::beginUserAction() {
    if (m_userDepth++ == 0) {
        QWidget *focus = QApplication::focusWidget();
        QWidget *page = currentWidget();
        m_focusWasOnPage = focus && page && (page == focus || page->isAncestorOf(focus));
    }
}

void TPageControl::endUserAction() {
    if (m_userDepth > 0) --m_userDepth;
}

void TPageControl::keyPressEvent(QKeyEvent *e) {
    // Ctrl+Tab, Ctrl+PgUp/PgDn and the like, handed up from the page's controls.
    beginUserAction();
    QTabWidget::keyPressEvent(e);
    endUserAction();
}

void TPageControl::pageChanged(int) {
    if (m_userDepth == 0) return;
    if (m_focusWasOnPage) focusFirstControl(currentWidget());
    m_focusWasOnPage = false;
    if (OnChange) RunGuarded(OnChange);
}

void TPageControl::focusFirstControl(QWidget *page) {
    if (!page) return;
    // The first control of the page in tab order.
    QWidget *w = page;
    for (int guard = 0; guard < 10000; ++guard) {
        w = w->nextInFocusChain();
        if (!w || w == page) break;
        if (!page->isAncestorOf(w)) continue;
        if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy() && w->isVisibleTo(page->window()) &&
            w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}
