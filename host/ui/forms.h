#pragma once
// The forms of the host: the base form (MDI child or modal, activation, close
// that releases it) and the three base screens the modules derive from: the
// grid maintenance screen, the report parameter screen and the routine screen.

// A screen derived from these bases gets the whole framework with this one
// include: grid, page control, data-aware controls, edits, dialogs, dispatch.

#include "check_date.h"
#include "client_table.h"
#include "db_controls.h"
#include "db_geral.h"
#include "db_grid.h"
#include "dialogs.h"
#include "edit_controls.h"
#include "errors.h"
#include "host_application.h"
#include "messages.h"
#include "page_control.h"
#include "report_engine.h"
#include "routines.h"
#include "ui_dispatch.h"
#include "virtual_keys.h"
#include "widget_dialogs.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

class QEventLoop;
class QMdiSubWindow;

constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

class TForm : public QWidget {
    Q_OBJECT
public:
    explicit TForm(QWidget *parent = nullptr);
    ~TForm() override;

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString &caption);

    // The life of a screen. An overriding handler calls the base one first.
    virtual void FormCreate() {}    // run by HostApplication::CreateForm
    virtual void FormActivate() {}  // the form became the active one (MDI: coming from another child)
    virtual void FormClose();       // the base releases the form (deleteLater)

    void Show();       // as an MDI child of the host's main window
    int ShowModal();   // modal; returns the modal result when closed
    // Asks CloseQuery, then runs FormClose (through RunGuarded) and closes.
    // False when the screen stayed open.
    bool Close();
    void SetWindowStateNormal();  // restores from minimised and brings forward
    // "Ajuda": the guide of this screen, found by its code (lblCodTela).
    void ShowHelp();  // F1: the screen's guide, at the section of what is in use
    // The caption of the part of the screen in use (a page, a sub-page) whose
    // section of the guide F1 opens; empty: the top of the guide.
    virtual QString HelpTopic() const { return QString(); }
    bool IsModal() const { return m_modalLoop != nullptr; }
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result);  // closes a modal form with that result
    QMdiSubWindow *subWindow() const;

    QLabel *lblCodTela = nullptr;  // the screen code

    // Work the screen would lose by closing: a row being typed, changes the
    // server has not taken. Every way of closing it (its window's close
    // button, "Fechar", quitting the host) asks first through CloseQuery.
    virtual bool HasUnsavedWork() const { return false; }
    // "Sim": saves it; raises (a refused check, a server refusal) when it could not.
    virtual void SaveUnsavedWork() {}
    // "Não": throws it away.
    virtual void DiscardUnsavedWork() {}
    // With unsaved work asks "Deseja gravar as alterações?" (Sim / Não /
    // Cancelar) and does what the answer says. True when the screen may close:
    // nothing unsaved, saved, or discarded.
    bool CloseQuery();

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    QEventLoop *m_modalLoop = nullptr;
    int m_modalResult = mrNone;
    bool m_closing = false;
    bool m_closed = false;
    bool m_asking = false;
    bool m_activatedModal = false;
};

// The grid maintenance screen: menu and tool bar over the table of dtsPadrao,
// a page control with the default page and grid, and a navigator bar.
class TfrmPadraoGrid : public TForm {
    Q_OBJECT
public:
    explicit TfrmPadraoGrid(QWidget *parent = nullptr);

    QMenuBar *mnuPrincipal = nullptr;
    QMenu *mnuManutencao = nullptr;
    QToolBar *panMenu = nullptr;
    QAction *sbtIncluir = nullptr;
    QAction *sbtAlterar = nullptr;
    QAction *sbtExcluir = nullptr;
    QAction *sbtGravar = nullptr;
    QAction *sbtCancelar = nullptr;
    QAction *sbtProcurar = nullptr;
    QAction *sbtVerificar = nullptr;
    QAction *sbtImprimir = nullptr;
    QAction *sbtAjuda = nullptr;
    QAction *sbtFechar = nullptr;

    TPageControl *pgcPadrao = nullptr;
    QWidget *tshPadrao = nullptr;
    QVBoxLayout *tshPadraoLayout = nullptr;
    TDBGrid *dbgPadrao = nullptr;
    QWidget *panNavigator = nullptr;
    TDBText *dbtNome = nullptr;
    TDBNavigator *dbnPadrao = nullptr;
    TDataSource *dtsPadrao = nullptr;
    TMessages msgPadrao;

    // A screen's own entries: a menu entry at a position of mnuManutencao
    // (0-based; 6 is the seventh entry) and a tool button before another.
    void insertMenuAction(int position, QAction *action);
    void insertToolAction(QAction *before, QAction *action);

    // Tool bar handlers; each runs through RunGuarded when its action fires.
    virtual void sbtIncluirClick();    // Insert on dtsPadrao's table
    virtual void sbtAlterarClick();    // Edit
    virtual void sbtExcluirClick();    // Delete after "Confirma exclusão?"
    virtual void sbtProcurarClick();   // search dialog over dtsPadrao
    virtual void sbtVerificarClick();  // posts nothing; repaints the screen's grids (screens reload here)
    virtual void sbtImprimirClick();   // screens open their report here
    virtual void sbtGravarClick();     // Post
    virtual void sbtCancelarClick();   // Cancel
    virtual void sbtFecharClick();     // Close
    virtual void sbtAjudaClick();      // the screen's guide (F1)

    // Moving between pages (Ctrl+PgDn / Ctrl+PgUp) and between the sub-pages
    // of the page shown (Ctrl+Tab / Ctrl+Shift+Tab), as a click on the next
    // tab that may be chosen would; in the menu "Exibir".
    QMenu *mnuExibir = nullptr;
    QAction *mnuProximaPagina = nullptr;
    QAction *mnuPaginaAnterior = nullptr;
    QAction *mnuProximaSubpagina = nullptr;
    QAction *mnuSubpaginaAnterior = nullptr;
    // The page control of the sub-pages on the page shown; none: the pages themselves.
    TPageControl *subPages() const;

    // Unsaved work of a grid screen: the row of dtsPadrao's table in edit or
    // insert, with something typed. Sim posts it as the save button does, Não
    // cancels it. Screens that keep changes the server refused add those.
    bool HasUnsavedWork() const override;
    void SaveUnsavedWork() override;
    void DiscardUnsavedWork() override;

    // The base enabling rule, run on every state change of dtsPadrao before
    // the screen's OnStateChange.
    virtual void UpdateActions();

private:
    void addPageKeys();
    QAction *makeAction(const QString &name, const QString &text, const QKeySequence &shortcut, void (TfrmPadraoGrid::*handler)());
};

// The report parameter screen; the report engine plugs into its handlers.
class TfrmDadosGerRel : public TForm {
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget *parent = nullptr);

    QToolBar *panMenu = nullptr;
    QAction *sbtPreview = nullptr;
    QAction *sbtPrint = nullptr;
    QAction *sbtConfigImpr = nullptr;
    QAction *sbtSalvarComo = nullptr;
    QAction *sbtCancel = nullptr;
    QAction *sbtAjuda = nullptr;
    QGroupBox *grbDadosRel = nullptr;
    QLabel *lblCodRel = nullptr;  // the report's code
    TMessages msgPadrao;

    // The report named by lblCodRel runs on the rows of dtsRelatorio with
    // these parameters (report_base_screen.cpp).
    TDataSource *dtsRelatorio = nullptr;
    QMap<QString, QString> ReportParams;
    ReportEngine report;

    // Builds the report from the screen's options and rows (a screen checks
    // its options first); every report action below starts with it.
    virtual void buildReport();
    virtual void sbtPreviewClick();     // builds the report and shows it
    virtual void sbtPrintClick();
    virtual void sbtConfigImprClick();
    virtual void sbtSalvarComoClick();  // asks the title (NovoCaption, NovoPrompt) and the file
    virtual void sbtCancelClick();      // closes the screen
    virtual void sbtAjudaClick();       // the screen's guide (F1)
};

// The routine screen: a group of parameters and a confirm button.
class TfrmRotiGeral : public TForm {
    Q_OBJECT
public:
    explicit TfrmRotiGeral(QWidget *parent = nullptr);

    QWidget *panMenu = nullptr;
    QWidget *panBotoes = nullptr;
    QAction *sbtConfirma = nullptr;
    QAction *sbtFechar = nullptr;
    QAction *sbtAjuda = nullptr;
    QGroupBox *grbDadosRel = nullptr;
    TMessages msgPadrao;

    virtual void sbtAjudaClick();       // the screen's guide (F1)
    virtual void sbtConfirmaClick() {}  // the routine itself: each screen's
    virtual void sbtFecharClick();      // closes the screen
};
