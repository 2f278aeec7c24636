#pragma once
// The program's help: one guide per screen, in Brazilian Portuguese, built
// into the program and shown in a window of its own. A screen's guide is
// found by the screen's code (lblCodTela): ":/help/COT00300.md".

#include <QPointer>
#include <QString>
#include <QWidget>

class QTextBrowser;

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // Shows the guide of that screen in the program's help window (created
    // on first use), in front and with the focus. A screen without a guide
    // gets a message saying so; then the result is null.
    // With a topic, the guide opens at the first heading that names it.
    static HelpWindow *showFor(const QString &screenCode, QWidget *over = nullptr, const QString &topic = QString());
    // Scrolls to the first heading naming the topic; false when none does.
    bool showTopic(const QString &topic);
    // The window while it exists.
    static HelpWindow *current();
    // The resource holding a screen's guide; empty when it has none.
    static QString guideFor(const QString &screenCode);

    QString screenCode() const { return m_code; }
    QTextBrowser *browser() const { return m_browser; }

private:
    HelpWindow();
    void load(const QString &screenCode);

    QTextBrowser *m_browser = nullptr;
    QString m_code;
};
