#pragma once
// Helpers for tests that drive widgets on the offscreen platform: showing a
// window as the active one and typing into whatever has the focus.

#include <QApplication>
#include <QTest>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

inline bool ShowActive(QWidget *window) {
    window->show();
    QApplication::setActiveWindow(window);
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

inline QWidget *Focused() { return QApplication::focusWidget(); }

// One key to the focused widget (the grid or its open cell editor).
inline void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget *w = QApplication::focusWidget();
    if (w) QTest::keyClick(w, key, mods);
}

// Characters typed one by one, each to whatever has the focus at that moment.
inline void Type(const QString &text) {
    for (const QChar c : text) {
        QWidget *w = QApplication::focusWidget();
        if (!w) return;
        QTest::keyClick(w, c.toLatin1());
    }
}

// Readable QString values in test failure messages.
#include <ostream>
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

// Runs fn on the next modal window once its own event loop is running (the
// scripted user of a dialog). Looks again on the following turns of the loop
// until a modal window is up.
inline void WhenModal(std::function<void(QWidget *)> fn, int tries = 200) {
    QTimer::singleShot(0, [fn, tries] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal) fn(modal);
        else if (tries > 0) WhenModal(fn, tries - 1);
    });
}
