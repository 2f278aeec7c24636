#pragma once
// The one service through which screens show messages, ask for confirmation,
// open the search and list dialogs and show the wait animation. The desktop
// installs the widget implementation; tests install a recording double.

#include <QString>

class QObject;
class TDataSource;

enum class MsgType { Information, Warning, Error, Confirmation };

namespace MsgButton {
enum : int { Ok = 1, Cancel = 2, Yes = 4, No = 8 };
}

class IDialogService {
public:
    virtual ~IDialogService() = default;
    // Returns the button chosen (one of MsgButton).
    virtual int showMessage(const QString &text, MsgType type, int buttons) = 0;
    // Single pick over the rows of a data source; true when a row was picked
    // (it is then the current row). titleAndEmpty: "title|message when empty".
    virtual bool pesquisar(TDataSource *source, const QString &titleAndEmpty) = 0;
    // Multiple pick: marks rows and writes the selection string (codes of
    // keyField joined by commas, "T" for all) into *selection. False on cancel.
    // title: "title|message when empty", as pesquisar takes it.
    virtual bool pesquisaLista(TDataSource *source, const QString &keyField, const QString &title,
                               QString *selection) = 0;
    // A line of text, up to maxLength characters, *text proposed; false on
    // cancel. The default service cancels.
    virtual bool askText(const QString &caption, const QString &prompt, QString *text, int maxLength) {
        (void)caption, (void)prompt, (void)text, (void)maxLength;
        return false;
    }
    // The wait animation (kind 1 over a screen, kind 6 over the main window).
    virtual void showWait(QObject *over, int kind) = 0;
    virtual void hideWait() = 0;
};

IDialogService &Dialogs();
// Installs a service (not owned); nullptr restores the default, which writes
// to the log and answers Ok / cancel.
void SetDialogs(IDialogService *service);

// Shows the text as an error and, with abort, stops the action under way by
// the silent abort.
void MensErro(const QString &text, bool abort = true);
bool Confirma(const QString &text);  // Yes / No
// Sim / Não / Cancelar: MsgButton::Yes, No or Cancel (Esc and the window's
// close button answer Cancel).
int ConfirmaOuCancela(const QString &text);

void ActiveShowAvi(QObject *over, int kind);
void DeactiveShowAvi();

// Which wait animation runs while the server works.
enum class WaitKind {
    None = 0,
    OverScreen = 1,      // over the screen that asked
    OverMainWindow = 6,  // over the application's main window (long loads)
};

// Shows the wait animation of a kind for its lifetime, hidden again on every
// path; WaitKind::None shows nothing.
class WaitAnimation {
public:
    WaitAnimation(QObject *over, WaitKind kind) : m_shown(kind != WaitKind::None) {
        if (m_shown) ActiveShowAvi(over, int(kind));
    }
    ~WaitAnimation() {
        if (m_shown) DeactiveShowAvi();
    }
    WaitAnimation(const WaitAnimation &) = delete;
    WaitAnimation &operator=(const WaitAnimation &) = delete;

private:
    bool m_shown;
};
