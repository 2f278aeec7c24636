#pragma once
// A screen's message catalogue: lines of key and text joined by "|". Code names
// messages by key only; ShowMsg shows one through the dialogs service.

#include "dialogs.h"

#include <QHash>
#include <QStringList>

class TMessages {
public:
    TMessages() = default;
    explicit TMessages(const QStringList &lines) { SetLines(lines); }

    void SetLines(const QStringList &lines);
    void AddLine(const QString &line);
    QStringList Lines() const { return m_lines; }
    int Count() const { return int(m_lines.size()); }
    bool Contains(const QString &key) const { return m_texts.contains(key); }

    // The key's text; an unknown key gives the key itself, so a missing entry
    // still tells the user something and shows up in tests.
    QString Msg(const QString &key) const;
    int ShowMsg(const QString &key, MsgType type, int buttons = MsgButton::Ok, int helpContext = 0) const;

private:
    QStringList m_lines;
    QHash<QString, QString> m_texts;
};
