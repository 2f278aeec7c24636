#include "messages.h"

void TMessages::SetLines(const QStringList &lines) {
    m_lines.clear();
    m_texts.clear();
    for (const QString &l : lines) AddLine(l);
}

void TMessages::AddLine(const QString &line) {
    m_lines.append(line);
    const int bar = line.indexOf(QLatin1Char('|'));
    if (bar < 0) return;
    m_texts.insert(line.left(bar), line.mid(bar + 1));
}

QString TMessages::Msg(const QString &key) const { return m_texts.value(key, key); }

int TMessages::ShowMsg(const QString &key, MsgType type, int buttons, int) const {
    return Dialogs().showMessage(Msg(key), type, buttons);
}
