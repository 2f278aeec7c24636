#pragma once
// The host application object: the MDI main window, the forms it owns, modal
// showing, window state and the screen cursor. One per process.

#include <QList>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <utility>

class TForm;

constexpr int crDefault = 0;
constexpr int crHourGlass = -11;

class HostApplication : public QObject {
    Q_OBJECT
public:
    static HostApplication &instance();

    // Created on first use; shown by the shell, never needed by tests.
    QMainWindow *mainWindow();
    QMdiArea *mdiArea();
    QMenuBar *menuBar();
    // A lasting text in the status bar (the server in use): unlike a passing
    // message, a menu's hints do not wipe it.
    void setStatusText(const QString &text);
    // The person the screens work as, and their role, at the status bar's right.
    void setUserText(const QString &text);
    QString statusText() const;

    // Creates a form owned by the application and runs its FormCreate; when
    // FormCreate raises, the form is destroyed and the exception goes on.
    template <class T, class... Args>
    T *CreateForm(Args &&...args) {
        T *form = new T(std::forward<Args>(args)...);
        adoptForm(form);
        try {
            form->FormCreate();
        } catch (...) {
            delete form;
            throw;
        }
        return form;
    }
    void adoptForm(TForm *form);
    QList<TForm *> forms() const;
    TForm *activeForm() const;

    // Used by TForm.
    QMdiSubWindow *showMdiChild(TForm *form);
    // Runs the form's FormActivate (through RunGuarded) when it becomes the
    // active form, coming from another one.
    void activateForm(TForm *form);
    // Asks every form about its unsaved work (TForm::CloseQuery) and, when all
    // of them may close, closes them. False, with every form still open, when
    // one stays (Cancelar, or its work could not be saved). Closing the main
    // window ("Sair", its close button) goes through here first.
    bool closeAllForms();

    // Screen.Cursor: crHourGlass (-11) shows the wait cursor, crDefault (0) restores it.
    void setScreenCursor(int crs);
    int screenCursor() const { return m_cursor; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    HostApplication();
    void subWindowActivated(QMdiSubWindow *window);
    void releaseTakenKeys(QMdiSubWindow *sub, TForm *form);

    QPointer<QMainWindow> m_main;
    QPointer<QMdiArea> m_mdi;
    QPointer<class QLabel> m_status;
    QPointer<class QLabel> m_user;
    QList<QPointer<TForm>> m_forms;
    QPointer<TForm> m_lastActive;
    int m_cursor = crDefault;
    bool m_overrideSet = false;
};
