#include "forms.h"

#include "db_controls.h"
#include "db_grid.h"
#include "desktop_look.h"
#include "dialogs.h"
#include "errors.h"
#include "host_application.h"
#include "help_window.h"
#include "page_control.h"
#include "ui_dispatch.h"
#include "user_settings.h"
#include "window_memory.h"
#include "widget_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

// ---------------------------------------------------------------- TForm

namespace {

// An action of a form: its shortcut works anywhere inside the form, its
// handler runs through RunGuarded, and its hint is its caption.
QAction *formAction(TForm *form, const QString &name, const QString &text, const QKeySequence &shortcut,
                    std::function<void()> run) {
    auto *a = new QAction(text, form);
    a->setObjectName(name);
    a->setShortcut(shortcut);
    a->setToolTip(HintWithShortcut(text, shortcut));
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(a, &QAction::triggered, form, [run = std::move(run)] { RunGuarded(run); });
    form->addAction(a);
    return a;
}

}  // namespace

TForm::TForm(QWidget *parent) : QWidget(parent) {
    lblCodTela = new QLabel(this);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont f = lblCodTela->font();
    f.setBold(true);
    lblCodTela->setFont(f);
    HostApplication::instance().adoptForm(this);
    setWindowIcon(AppIcon());
}

TForm::~TForm() {
    if (m_modalLoop) m_modalLoop->quit();
}

void TForm::SetCaption(const QString &caption) {
    setWindowTitle(caption);
    if (QMdiSubWindow *sub = subWindow()) sub->setWindowTitle(caption);
}

QMdiSubWindow *TForm::subWindow() const { return qobject_cast<QMdiSubWindow *>(parentWidget()); }

void TForm::FormClose() { deleteLater(); }

void TForm::Show() {
    if (m_closed) return;
    HostApplication::instance().showMdiChild(this);
}

int TForm::ShowModal() {
    if (m_closed || m_modalLoop) return mrCancel;
    QWidget *owner = QApplication::activeWindow();
    if (!owner) owner = HostApplication::instance().mainWindow();
    setParent(owner, Qt::Dialog);
    setWindowModality(Qt::ApplicationModal);
    if (!m_activatedModal) WindowMemory::restoreForm(this);
    m_modalResult = mrNone;
    QEventLoop loop;
    m_modalLoop = &loop;
    QPointer<TForm> self(this);
    show();
    raise();
    activateWindow();
    if (!m_activatedModal) {
        m_activatedModal = true;
        RunGuarded([this] { FormActivate(); });
    }
    if (isVisible() && !m_closed) loop.exec(QEventLoop::DialogExec);
    if (!self) return mrCancel;
    m_modalLoop = nullptr;
    return m_modalResult == mrNone ? mrCancel : m_modalResult;
}

void TForm::SetModalResult(int result) {
    m_modalResult = result;
    if (result != mrNone && m_modalLoop) Close();
}

bool TForm::Close() {
    if (m_closed) return true;
    // The MDI window asks the form (closeEvent below) and stays when it refuses.
    if (QMdiSubWindow *sub = subWindow()) return sub->close();
    return close();
}

bool TForm::CloseQuery() {
    if (m_closed) return true;
    if (m_asking) return false;  // already asking: the first question decides
    bool unsaved = false;
    if (!RunGuardedOk([&] { unsaved = HasUnsavedWork(); })) return false;
    if (!unsaved) return true;
    m_asking = true;
    const int answer = ConfirmaOuCancela(QStringLiteral("Deseja gravar as alterações?"));
    bool mayClose = false;
    if (answer == MsgButton::Yes) {
        // A refused check or a refusal of the server has been shown: the
        // screen stays open with the work as it was.
        mayClose = RunGuardedOk([this] { SaveUnsavedWork(); }) && !HasUnsavedWork();
    } else if (answer == MsgButton::No) {
        mayClose = RunGuardedOk([this] { DiscardUnsavedWork(); });
    }
    m_asking = false;
    return mayClose;
}

void TForm::closeEvent(QCloseEvent *e) {
    if (m_closed || m_closing) {
        e->accept();
        return;
    }
    if (!CloseQuery()) {
        e->ignore();
        return;
    }
    m_closing = true;
    WindowMemory::saveForm(this);
    RunGuarded([this] { FormClose(); });
    m_closing = false;
    m_closed = true;
    e->accept();
    if (m_modalLoop) m_modalLoop->quit();
}

void TForm::ShowHelp() {
    HelpWindow::showFor(lblCodTela->text().trimmed(), this, HelpTopic());
}

void TForm::SetWindowStateNormal() {
    if (QMdiSubWindow *sub = subWindow()) {
        if (sub->isMinimized()) sub->showNormal();
        sub->raise();
        if (QMdiArea *area = sub->mdiArea()) area->setActiveSubWindow(sub);
        HostApplication::instance().activateForm(this);
    } else {
        if (isMinimized()) showNormal();
        raise();
        activateWindow();
    }
}

// ---------------------------------------------------------------- TfrmPadraoGrid

TfrmPadraoGrid::TfrmPadraoGrid(QWidget *parent) : TForm(parent) {
    setObjectName(QStringLiteral("frmPadraoGrid"));
    resize(800, 560);
    dtsPadrao = new TDataSource(nullptr, this);
    dtsPadrao->setObjectName(QStringLiteral("dtsPadrao"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    mnuPrincipal = new QMenuBar(this);
    mnuPrincipal->setNativeMenuBar(false);
    mnuManutencao = mnuPrincipal->addMenu(QStringLiteral("&Manutenção"));
    mnuManutencao->setObjectName(QStringLiteral("mnuManutencao"));
    layout->setMenuBar(mnuPrincipal);

    auto *top = new QHBoxLayout;
    panMenu = new QToolBar(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    panMenu->setIconSize(QSize(16, 16));
    top->addWidget(panMenu, 1);
    top->addWidget(lblCodTela);
    layout->addLayout(top);

    sbtIncluir = makeAction(QStringLiteral("sbtIncluir"), QStringLiteral("&Incluir"), QKeySequence(Qt::CTRL | Qt::Key_I), &TfrmPadraoGrid::sbtIncluirClick);
    sbtAlterar = makeAction(QStringLiteral("sbtAlterar"), QStringLiteral("&Alterar"), QKeySequence(Qt::CTRL | Qt::Key_E), &TfrmPadraoGrid::sbtAlterarClick);
    sbtExcluir = makeAction(QStringLiteral("sbtExcluir"), QStringLiteral("E&xcluir"), QKeySequence(Qt::CTRL | Qt::Key_D), &TfrmPadraoGrid::sbtExcluirClick);
    sbtGravar = makeAction(QStringLiteral("sbtGravar"), QStringLiteral("&Gravar"), QKeySequence(Qt::CTRL | Qt::Key_S), &TfrmPadraoGrid::sbtGravarClick);
    sbtCancelar = makeAction(QStringLiteral("sbtCancelar"), QStringLiteral("&Cancelar"), QKeySequence(Qt::CTRL | Qt::Key_Z), &TfrmPadraoGrid::sbtCancelarClick);
    sbtProcurar = makeAction(QStringLiteral("sbtProcurar"), QStringLiteral("&Procurar"), QKeySequence(Qt::CTRL | Qt::Key_F), &TfrmPadraoGrid::sbtProcurarClick);
    sbtVerificar = makeAction(QStringLiteral("sbtVerificar"), QStringLiteral("&Verificar"), QKeySequence(Qt::Key_F5), &TfrmPadraoGrid::sbtVerificarClick);
    sbtImprimir = makeAction(QStringLiteral("sbtImprimir"), QStringLiteral("Imp&rimir"), QKeySequence(Qt::CTRL | Qt::Key_P), &TfrmPadraoGrid::sbtImprimirClick);
    mnuManutencao->addSeparator();
    sbtAjuda = makeAction(QStringLiteral("sbtAjuda"), QStringLiteral("Aj&uda"), QKeySequence(Qt::Key_F1), &TfrmPadraoGrid::sbtAjudaClick);
    sbtFechar = makeAction(QStringLiteral("sbtFechar"), QStringLiteral("&Fechar"), QKeySequence(Qt::CTRL | Qt::Key_W), &TfrmPadraoGrid::sbtFecharClick);
    SetActionLook(sbtIncluir, {"document-new"});
    SetActionLook(sbtAlterar, {"document-edit", "document-properties"});
    SetActionLook(sbtExcluir, {"edit-delete"});
    SetActionLook(sbtGravar, {"document-save"});
    SetActionLook(sbtCancelar, {"dialog-cancel", "edit-undo"});
    SetActionLook(sbtProcurar, {"edit-find"});
    SetActionLook(sbtVerificar, {"view-refresh"});
    SetActionLook(sbtImprimir, {"document-print"});
    SetActionLook(sbtAjuda, {"help-contents", "help-browser"});
    SetActionLook(sbtFechar, {"window-close"});
    addPageKeys();

    pgcPadrao = new TPageControl(this);
    pgcPadrao->setObjectName(QStringLiteral("pgcPadrao"));
    tshPadrao = new QWidget;
    tshPadrao->setObjectName(QStringLiteral("tshPadrao"));
    tshPadraoLayout = new QVBoxLayout(tshPadrao);
    tshPadraoLayout->setContentsMargins(2, 2, 2, 2);
    dbgPadrao = new TDBGrid(tshPadrao);
    dbgPadrao->setObjectName(QStringLiteral("dbgPadrao"));
    dbgPadrao->SetDataSource(dtsPadrao);
    tshPadraoLayout->addWidget(dbgPadrao);
    pgcPadrao->addPage(tshPadrao, QStringLiteral("Dados"));
    layout->addWidget(pgcPadrao, 1);

    panNavigator = new QWidget(this);
    panNavigator->setObjectName(QStringLiteral("panNavigator"));
    auto *nav = new QHBoxLayout(panNavigator);
    nav->setContentsMargins(4, 0, 4, 0);
    dbtNome = new TDBText(panNavigator);
    dbtNome->setObjectName(QStringLiteral("dbtNome"));
    dbnPadrao = new TDBNavigator(panNavigator);
    dbnPadrao->setObjectName(QStringLiteral("dbnPadrao"));
    dbnPadrao->SetDataSource(dtsPadrao);
    nav->addWidget(dbtNome, 1);
    nav->addWidget(dbnPadrao);
    layout->addWidget(panNavigator);

    // On state changes only (a delete, a load and a re-pointing are state
    // changes too), so the screen's own rule, run after this one, stands.
    connect(dtsPadrao, &TDataSource::stateChange, this, &TfrmPadraoGrid::UpdateActions);
    UpdateActions();
}

QAction *TfrmPadraoGrid::makeAction(const QString &name, const QString &text, const QKeySequence &shortcut,
                                    void (TfrmPadraoGrid::*handler)()) {
    QAction *a = formAction(this, name, text, shortcut, [this, handler] { (this->*handler)(); });
    panMenu->addAction(a);
    mnuManutencao->addAction(a);
    return a;
}

void TfrmPadraoGrid::addPageKeys() {
    mnuExibir = mnuPrincipal->addMenu(QStringLiteral("&Exibir"));
    mnuExibir->setObjectName(QStringLiteral("mnuExibir"));
    auto add = [this](const char *name, const QString &text, QList<QKeySequence> keys, bool pages, bool forward) {
        auto *a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        a->setToolTip(HintWithShortcut(text, keys.value(0)));
        connect(a, &QAction::triggered, this, [this, pages, forward] {
            // A disabled tab is never chosen: while a row is being typed no
            // other tab may be, and then the keys move nothing.
            TPageControl *target = pages ? pgcPadrao : subPages();
            if (target) target->SelectNextPage(forward);
        });
        addAction(a);
        mnuExibir->addAction(a);
        return a;
    };
    mnuProximaSubpagina = add("mnuProximaSubpagina", QStringLiteral("Próxima &subpágina"),
                              {QKeySequence(Qt::CTRL | Qt::Key_Tab)}, false, true);
    mnuSubpaginaAnterior = add("mnuSubpaginaAnterior", QStringLiteral("Subpágina a&nterior"),
                               {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)},
                               false, false);
    mnuExibir->addSeparator();
    mnuProximaPagina = add("mnuProximaPagina", QStringLiteral("&Próxima página"), {QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
                           true, true);
    mnuPaginaAnterior = add("mnuPaginaAnterior", QStringLiteral("Página &anterior"), {QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
                            true, false);
    SetActionLook(mnuProximaPagina, {"go-next"});
    SetActionLook(mnuPaginaAnterior, {"go-previous"});
}

TPageControl *TfrmPadraoGrid::subPages() const {
    QWidget *page = pgcPadrao ? pgcPadrao->ActivePage() : nullptr;
    TPageControl *inner = page ? page->findChild<TPageControl *>() : nullptr;
    return inner ? inner : pgcPadrao;
}

void TfrmPadraoGrid::insertMenuAction(int position, QAction *action) {
    const QList<QAction *> actions = mnuManutencao->actions();
    QAction *before = position >= 0 && position < actions.size() ? actions[position] : nullptr;
    mnuManutencao->insertAction(before, action);
    if (!this->actions().contains(action)) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }
}

void TfrmPadraoGrid::insertToolAction(QAction *before, QAction *action) {
    panMenu->insertAction(before, action);
    if (!actions().contains(action)) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }
}

void TfrmPadraoGrid::UpdateActions() {
    TClientTable *t = dtsPadrao ? dtsPadrao->DataSet() : nullptr;
    const DataSetState s = dtsPadrao ? dtsPadrao->State() : DataSetState::Inactive;
    const bool browse = s == DataSetState::Browse;
    const bool editing = s == DataSetState::Edit || s == DataSetState::Insert;
    const bool rows = t && t->Active() && !t->IsEmpty();
    sbtIncluir->setEnabled(browse);
    sbtAlterar->setEnabled(browse && rows);
    sbtExcluir->setEnabled(browse && rows);
    sbtProcurar->setEnabled(browse && rows);
    sbtVerificar->setEnabled(browse);
    sbtImprimir->setEnabled(browse);
    sbtGravar->setEnabled(editing);
    sbtCancelar->setEnabled(editing);
}

namespace {
TClientTable *requireTable(TDataSource *source) {
    TClientTable *t = source ? source->DataSet() : nullptr;
    if (!t || !t->Active()) throw EAppError(QStringLiteral("Não há dados abertos nesta tela."));
    return t;
}
}  // namespace

void TfrmPadraoGrid::sbtIncluirClick() { requireTable(dtsPadrao)->Insert(); }
void TfrmPadraoGrid::sbtAlterarClick() { requireTable(dtsPadrao)->Edit(); }

void TfrmPadraoGrid::sbtExcluirClick() {
    TClientTable *t = requireTable(dtsPadrao);
    if (t->IsEmpty()) return;
    if (Confirma(QStringLiteral("Confirma exclusão?"))) t->Delete();
}

void TfrmPadraoGrid::sbtProcurarClick() {
    requireTable(dtsPadrao);
    Pesquisar(dtsPadrao, Caption() + QStringLiteral("|Nenhum registro encontrado."), false, true);
}

void TfrmPadraoGrid::sbtVerificarClick() {
    for (TDBGrid *g : findChildren<TDBGrid *>()) g->viewport()->update();
}

void TfrmPadraoGrid::sbtImprimirClick() {}

void TfrmPadraoGrid::sbtGravarClick() {
    TClientTable *t = requireTable(dtsPadrao);
    // A cell still being typed goes to its field before the post.
    for (TDBGrid *g : findChildren<TDBGrid *>())
        if (g->DataSet() == t && g->EditorMode() && !g->CommitEdit()) Abort();
    t->Post();
}

void TfrmPadraoGrid::sbtCancelarClick() {
    TClientTable *t = requireTable(dtsPadrao);
    for (TDBGrid *g : findChildren<TDBGrid *>())
        if (g->DataSet() == t) g->SetEditorMode(false);
    t->Cancel();
}

void TfrmPadraoGrid::sbtFecharClick() { Close(); }

bool TfrmPadraoGrid::HasUnsavedWork() const {
    TClientTable *t = dtsPadrao ? dtsPadrao->DataSet() : nullptr;
    if (!t || !t->IsEditing()) return false;
    if (t->Modified()) return true;
    // Text typed into a cell reaches its field only when the cell is left.
    for (TDBGrid *g : findChildren<TDBGrid *>())
        if (g->DataSet() == t && g->EditorMode()) return true;
    return false;
}

void TfrmPadraoGrid::SaveUnsavedWork() {
    TClientTable *t = dtsPadrao ? dtsPadrao->DataSet() : nullptr;
    if (t && t->IsEditing()) sbtGravarClick();
}

void TfrmPadraoGrid::DiscardUnsavedWork() {
    TClientTable *t = dtsPadrao ? dtsPadrao->DataSet() : nullptr;
    if (t && t->IsEditing()) sbtCancelarClick();
}

void TfrmPadraoGrid::sbtAjudaClick() { ShowHelp(); }

// ---------------------------------------------------------------- TfrmDadosGerRel

TfrmDadosGerRel::TfrmDadosGerRel(QWidget *parent) : TForm(parent) {
    setObjectName(QStringLiteral("frmDadosGerRel"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *top = new QHBoxLayout;
    panMenu = new QToolBar(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    panMenu->setIconSize(QSize(16, 16));
    auto add = [this](const QString &name, const QString &text, const QKeySequence &key, void (TfrmDadosGerRel::*handler)()) {
        QAction *a = formAction(this, name, text, key, [this, handler] { (this->*handler)(); });
        panMenu->addAction(a);
        return a;
    };
    sbtPreview = add(QStringLiteral("sbtPreview"), QStringLiteral("&Visualizar"), QKeySequence(Qt::CTRL | Qt::Key_V), &TfrmDadosGerRel::sbtPreviewClick);
    sbtPrint = add(QStringLiteral("sbtPrint"), QStringLiteral("&Imprimir"), QKeySequence(Qt::CTRL | Qt::Key_P), &TfrmDadosGerRel::sbtPrintClick);
    sbtConfigImpr = add(QStringLiteral("sbtConfigImpr"), QStringLiteral("&Configurar Impressora"), QKeySequence(), &TfrmDadosGerRel::sbtConfigImprClick);
    sbtSalvarComo = add(QStringLiteral("sbtSalvarComo"), QStringLiteral("&Salvar Como"), QKeySequence(Qt::CTRL | Qt::Key_S), &TfrmDadosGerRel::sbtSalvarComoClick);
    sbtCancel = add(QStringLiteral("sbtCancel"), QStringLiteral("&Fechar"), QKeySequence(Qt::Key_Escape), &TfrmDadosGerRel::sbtCancelClick);
    SetActionLook(sbtPreview, {"document-print-preview"});
    SetActionLook(sbtPrint, {"document-print"});
    SetActionLook(sbtConfigImpr, {"document-page-setup", "document-properties"});
    SetActionLook(sbtSalvarComo, {"document-save-as"});
    SetActionLook(sbtCancel, {"window-close"});
    // F1 anywhere in the screen; the tool bar keeps the report's own buttons.
    sbtAjuda = formAction(this, QStringLiteral("sbtAjuda"), QStringLiteral("Aj&uda"), QKeySequence(Qt::Key_F1),
                          [this] { sbtAjudaClick(); });
    top->addWidget(panMenu, 1);
    top->addWidget(lblCodTela);
    layout->addLayout(top);
    lblCodRel = new QLabel(this);
    lblCodRel->setObjectName(QStringLiteral("lblCodRel"));
    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));
    layout->addWidget(grbDadosRel, 1);
    layout->addWidget(lblCodRel);
}

void TfrmDadosGerRel::sbtCancelClick() { Close(); }
void TfrmDadosGerRel::sbtAjudaClick() { ShowHelp(); }

// ---------------------------------------------------------------- TfrmRotiGeral

TfrmRotiGeral::TfrmRotiGeral(QWidget *parent) : TForm(parent) {
    setObjectName(QStringLiteral("frmRotiGeral"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    panMenu = new QWidget(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    auto *menuLayout = new QHBoxLayout(panMenu);
    menuLayout->setContentsMargins(0, 0, 0, 0);
    panBotoes = new QWidget(panMenu);
    panBotoes->setObjectName(QStringLiteral("panBotoes"));
    auto *buttons = new QHBoxLayout(panBotoes);
    buttons->setContentsMargins(0, 0, 0, 0);
    auto add = [this, buttons](const QString &name, const QString &text, const QKeySequence &key, void (TfrmRotiGeral::*handler)()) {
        QAction *a = formAction(this, name, text, key, [this, handler] { (this->*handler)(); });
        auto *b = new QToolButton(panBotoes);
        b->setObjectName(QString(name).replace(QStringLiteral("sbt"), QStringLiteral("btn")));
        b->setDefaultAction(a);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setIconSize(QSize(16, 16));
        buttons->addWidget(b);
        return a;
    };
    sbtConfirma = add(QStringLiteral("sbtConfirma"), QStringLiteral("C&onfirmar"), QKeySequence(Qt::CTRL | Qt::Key_Return), &TfrmRotiGeral::sbtConfirmaClick);
    sbtFechar = add(QStringLiteral("sbtFechar"), QStringLiteral("&Fechar"), QKeySequence(Qt::Key_Escape), &TfrmRotiGeral::sbtFecharClick);
    SetActionLook(sbtConfirma, {"dialog-ok", "emblem-default"});
    SetActionLook(sbtFechar, {"window-close"});
    // F1 anywhere in the screen; the buttons stay the routine's own.
    sbtAjuda = formAction(this, QStringLiteral("sbtAjuda"), QStringLiteral("Aj&uda"), QKeySequence(Qt::Key_F1),
                          [this] { sbtAjudaClick(); });
    menuLayout->addWidget(panBotoes);
    menuLayout->addStretch(1);
    menuLayout->addWidget(lblCodTela);
    layout->addWidget(panMenu);
    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));
    layout->addWidget(grbDadosRel, 1);
}

void TfrmRotiGeral::sbtFecharClick() { Close(); }
void TfrmRotiGeral::sbtAjudaClick() { ShowHelp(); }
