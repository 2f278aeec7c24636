#pragma once
// The desktop's dialogs service: message boxes with Portuguese buttons, the
// search dialog over a data source, the multiple-selection list, and the wait
// animation shown while a synchronous call blocks.

#include "dialogs.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

class TDataSource;

class WidgetDialogs : public IDialogService {
public:
    WidgetDialogs() = default;
    ~WidgetDialogs() override;

    int showMessage(const QString &text, MsgType type, int buttons) override;
    bool pesquisar(TDataSource *source, const QString &titleAndEmpty) override;
    bool pesquisaLista(TDataSource *source, const QString &keyField, const QString &title, QString *selection) override;
    bool askText(const QString &caption, const QString &prompt, QString *text, int maxLength) override;
    void showWait(QObject *over, int kind) override;
    void hideWait() override;

    int waitDepth() const { return m_waitDepth; }
    QWidget *waitWidget() const { return m_wait; }  // the busy indicator while shown

private:
    int m_waitDepth = 0;
    QPointer<QWidget> m_wait;
};

// The selection string of a list dialog: the marked codes in list order joined
// by commas with no blanks; "T" when every code is marked; empty when none.
QString SelectionString(const QStringList &codes, const QList<bool> &marked);
// The codes a selection string marks ("T": all of them).
QList<bool> MarksFromSelection(const QStringList &codes, const QString &selection);

// The form in which the search compares texts: no accents, no case, no
// blanks around ("Açaí " and "acai" are the same).
QString SearchKey(const QString &text);

// The screens' calls: through the installed dialogs service.
bool Pesquisar(TDataSource *source, const QString &titleAndEmpty, bool = false, bool = true);
bool PesquisaLista(TDataSource *source, const QString &keyField, const QString &title, bool, QString &selection);
