#pragma once
// A page control as the screens know it: pages with captions, a programmatic
// active page that fires nothing, tabs that can be disabled (a disabled tab
// cannot be chosen), and OnChange fired only when the user switches pages.

#include <QPointer>
#include <QTabWidget>
#include <functional>

class TPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget *parent = nullptr);

    int addPage(QWidget *page, const QString &caption);
    QWidget *ActivePage() const { return currentWidget(); }
    void SetActivePage(QWidget *page);  // does not fire OnChange

    // The tab's enabled state; the page's own widgets are left as they are.
    // A disabled tab says why in its tooltip.
    void setPageEnabled(QWidget *page, bool enabled, const QString &whyNot = QString());
    bool pageEnabled(QWidget *page) const;

    // As the user's Ctrl+Tab: the next (or previous) tab that may be chosen,
    // wrapping around, with OnChange. False when no other tab may be chosen.
    bool SelectNextPage(bool forward);

    // After the user switched pages (click or keyboard); through RunGuarded.
    std::function<void()> OnChange;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    friend class TPageTabBar;
    void beginUserAction();
    void endUserAction();
    void pageChanged(int index);
    static void focusFirstControl(QWidget *page);

    int m_userDepth = 0;
    bool m_focusWasOnPage = false;
};
