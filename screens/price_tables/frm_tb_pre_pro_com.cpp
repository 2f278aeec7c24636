// The maintenance screen's frame: layout, connection, loading on activation,
// page changes, the refresh button and the rule that enables the tool bar,
// the menu and the page tabs. What each of these does on a sheet is the
// business of the page family that fills it.
#include "frm_tb_pre_pro_com.h"
#include "single_screen.h"

#include "auto_registration/frm_cad_auto.h"
#include "bands.h"
#include "catalogue.h"
#include "price_calculator/frm_calc_preco.h"
#include "price_history/frm_historico.h"
#include "price_report/cli_cot00301.h"
#include "desktop_look.h"
#include "host_application.h"
#include "host_services.h"
#include "list_reads.h"
#include "method_names.h"
#include "permissions.h"
#include "price_tables.h"
#include "screen_page.h"
#include "service_types.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace Cli_cot00300 {
SingleScreen<TfrmTbPreProCom> screen;
QPointer<TfrmTbPreProCom> &frmTbPreProCom = screen.form;
bool &boStCriado = screen.created;
bool boInsGrid = false;
QString stVerEditSis;
QString stVerEditUsu;
QString stVerEditOper;
QString stVerEditTipo;
qint32 inQtIniAux = 0;
}  // namespace Cli_cot00300

using namespace Cli_cot00300;

TfrmTbPreProCom::TfrmTbPreProCom(QWidget *parent) : TfrmPadraoGrid(parent), m_reads(std::make_unique<TListReads>([this] { UpdateActions(); })) {
    setWindowTitle(QStringLiteral("Preços e Descontos para Proposta Comercial"));
    lblCodTela->setText(QStringLiteral("COT00300"));
    resize(1016, 619);
    msgPadrao.SetLines(PriceTablesCatalogue());

    netTbPreProCom = new TNetConnection(this);
    netTbPreProCom->ThrowException = false;
    netTbPreProCom->ServerName = QStringLiteral("Cot00300.rdmTbPreProCom");
    netTbPreProCom->OnBeforeConnect = [this](TNetConnection &) { netTbPreProComBeforeConnect(); };

    // The look-ups run on the application server by name, on this screen's
    // connection: the desktop opens no database of its own.
    qryOpr = new TADOIBQuery(this);
    qryOpr->SetServerQuery(netTbPreProCom, QStringLiteral("Operador"), {QStringLiteral("P_CDOPERADOR"), QStringLiteral("P_TCDOPERADOR")});
    qryOpr->Labels = {{QStringLiteral("CDOPERADOR"), QStringLiteral("Código")}, {QStringLiteral("NMOPERADOR"), QStringLiteral("Nome")}};
    dtsOp = new TDataSource(qryOpr->DataSet(), this);

    // The tool bar's and menu's addition: "Cadastramento Automático".
    sbtCadAuto = new QAction(QStringLiteral("Cadastramento Automático"), this);
    sbtCadAuto->setObjectName(QStringLiteral("sbtCadAuto"));
    sbtCadAuto->setToolTip(QStringLiteral("Cadastramento Automático"));
    insertToolAction(sbtImprimir, sbtCadAuto);
    mnuCadAuto = new QAction(QStringLiteral("Ca&dastramento Automático"), this);
    mnuCadAuto->setObjectName(QStringLiteral("mnuCadAuto"));
    mnuCadAuto->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    insertMenuAction(6, mnuCadAuto);
    for (QAction *a : {sbtCadAuto, mnuCadAuto})
        connect(a, &QAction::triggered, this, [this] { RunGuarded([this] { sbtCadAutoClick(); }); });
    SetActionLook(sbtCadAuto, {"system-users"});
    SetActionLook(mnuCadAuto, {"system-users"});
    sbtCadAuto->setToolTip(HintWithShortcut(sbtCadAuto->toolTip(), mnuCadAuto->shortcut()));  // after the look, which sets the hint

    // "Copiar": a new price table from the current one.
    addTool(sbtCopiar, mnuCopiar, "Copiar", QStringLiteral("Copiar"), QStringLiteral("C&opiar Tabela de Preço"), 7,
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), "edit-copy", QStringLiteral("Copiar a tabela de preço com faixas e permissões"),
            [this] { priceTables->copyCurrent(); });
    // "Histórico": who changed the current price table, and what.
    addTool(sbtHistorico, mnuHistorico, "Historico", QStringLiteral("Histórico"), QStringLiteral("&Histórico da Tabela de Preço"), 8,
            QKeySequence(Qt::CTRL | Qt::Key_H), "document-open-recent",
            QStringLiteral("Quem alterou a tabela de preço, suas faixas e permissões, e quando"),
            [this] { Cli_cot00303::CriaHistorico(context()); });
    // "Calculadora": the price of one proposal's counts.
    addTool(sbtCalculadora, mnuCalculadora, "Calculadora", QStringLiteral("Calculadora"), QStringLiteral("Ca&lculadora de Preço"), 9,
            QKeySequence(Qt::CTRL | Qt::Key_L), "accessories-calculator",
            QStringLiteral("O preço de um número de sistemas e de usuários na tabela de preço atual"),
            [this] { Cli_cot00304::CriaCalcPreco(context()); });

    // Page "Tabela de Preço": the base screen's own grid stays hidden, the
    // sheets hold the grids.
    pgcPadrao->setTabText(pgcPadrao->indexOf(tshPadrao), QStringLiteral("Tabela de Preço"));
    dbgPadrao->hide();
    dbgPadrao->SetDataSource(nullptr);
    pgcTabelaPreco = new TPageControl(tshPadrao);
    pgcTabelaPreco->setObjectName(QStringLiteral("pgcTabelaPreco"));
    tshPadraoLayout->addWidget(pgcTabelaPreco);
    m_sheetsOf.insert(tshPadrao, pgcTabelaPreco);

    // Page "Tipo de Serviço".
    tshTipoServ = new QWidget;
    tshTipoServ->setObjectName(QStringLiteral("tshTipoServ"));
    auto *layout = new QVBoxLayout(tshTipoServ);
    layout->setContentsMargins(2, 2, 2, 2);
    pgcTipoServico = new TPageControl(tshTipoServ);
    pgcTipoServico->setObjectName(QStringLiteral("pgcTipoServico"));
    layout->addWidget(pgcTipoServico);
    pgcPadrao->addPage(tshTipoServ, QStringLiteral("Tipo de Serviço"));
    m_sheetsOf.insert(tshTipoServ, pgcTipoServico);

    priceTables = new TPriceTablesPage(*this);
    bands = new TBandsPage(*this);
    permissions = new TPermissionsPage(*this);
    serviceTypes = new TServiceTypesPage(*this);
    for (TScreenPage *page : std::initializer_list<TScreenPage *>{priceTables, bands, permissions})
        addPages(pgcTabelaPreco, page);
    addPages(pgcTipoServico, serviceTypes);
    cdsPerOper = permissions->cdsPerOper;

    dtsPadrao->SetDataSet(priceTables->cdsTbPreco);
    dbtNome->SetDataSource(priceTables->dtsTbPreco);
    dbtNome->SetDataField(QStringLiteral("NMPRECOPROP"));
    dbnPadrao->SetDataSource(dtsPadrao);
    lblPendentes = new QLabel(panNavigator);
    lblPendentes->setObjectName(QStringLiteral("lblPendentes"));
    lblPendentes->setStyleSheet(QStringLiteral("color: #a00000;"));
    if (auto *bar = qobject_cast<QBoxLayout *>(panNavigator->layout())) bar->insertWidget(1, lblPendentes);
    connect(dtsPadrao, &TDataSource::dataChange, this, &TfrmTbPreProCom::updatePendingNotice);
    connect(dtsPadrao, &TDataSource::stateChange, this, &TfrmTbPreProCom::updatePendingNotice);
    pgcPadrao->OnChange = [this] { pgcPadraoChange(); };
    pgcTabelaPreco->OnChange = [this] { pgcTabelaPrecoChange(); };
    pgcTipoServico->OnChange = [this] { pgcTipoServicoChange(); };
    UpdateActions();
}

TfrmTbPreProCom::~TfrmTbPreProCom() = default;

void TfrmTbPreProCom::addTool(QAction *&button, QAction *&entry, const char *name, const QString &caption, const QString &menuCaption,
                              int menuPosition, const QKeySequence &key, const char *icon, const QString &hint,
                              const std::function<void()> &handler) {
    button = new QAction(caption, this);
    button->setObjectName(QStringLiteral("sbt") + QLatin1String(name));
    insertToolAction(sbtImprimir, button);
    entry = new QAction(menuCaption, this);
    entry->setObjectName(QStringLiteral("mnu") + QLatin1String(name));
    entry->setShortcut(key);
    insertMenuAction(menuPosition, entry);
    for (QAction *a : {button, entry}) {
        connect(a, &QAction::triggered, this, [handler] { RunGuarded(handler); });
        SetActionLook(a, {icon});
    }
    button->setToolTip(HintWithShortcut(hint, key));
}

void TfrmTbPreProCom::addPages(TPageControl *pages, TScreenPage *page) {
    for (QWidget *sheet : page->sheets()) {
        pages->addPage(sheet, sheet->windowTitle());
        m_pageOfSheet.insert(sheet, page);
    }
}

QWidget *TfrmTbPreProCom::activeSheet() const {
    TPageControl *pages = pgcPadrao ? m_sheetsOf.value(pgcPadrao->ActivePage()) : nullptr;
    return pages ? pages->ActivePage() : nullptr;
}

TScreenPage *TfrmTbPreProCom::activePage() const { return m_pageOfSheet.value(activeSheet()); }

// The base screen runs this on every state change of dtsPadrao (a change of
// its table included) and when its rows change: this screen's own rule.
void TfrmTbPreProCom::UpdateActions() { dtsPadraoStateChange(); }

void TfrmTbPreProCom::updatePendingNotice() {
    // Every list's changes count, whichever page is in front: they stay
    // listed until the server takes them or the user drops them.
    const int pending = pendingOnScreen();
    const QString what = pendingOnPage() == pending ? QStringLiteral("Gravar envia de novo; Verificar descarta")
                                                    : QStringLiteral("Gravar envia de novo");
    lblPendentes->setText(pending == 0   ? QString()
                          : pending == 1 ? QStringLiteral("1 alteração não gravada no servidor (%1)").arg(what)
                                         : QStringLiteral("%1 alterações não gravadas no servidor (%2)").arg(pending).arg(what));
    // A send the server took (or refused) changes what is pending without a
    // change of state: "Gravar", "Copiar" and the rest follow it.
    if (pending != m_shownPending) {
        m_shownPending = pending;
        dtsPadraoStateChange();
    }
}

// ---------------------------------------------------------------- connection and loading

void TfrmTbPreProCom::netTbPreProComBeforeConnect() {
    netTbPreProCom->Host = WebURL();
    netTbPreProCom->Port = WebPort();
    netTbPreProCom->Token = WebToken();
}

void TfrmTbPreProCom::loadTable(TClientTable *table, const QString &method, const QVector<RpcArg> &args, WaitKind wait) {
    QObject *over = wait == WaitKind::OverMainWindow ? static_cast<QObject *>(HostApplication::instance().mainWindow()) : this;
    WaitAnimation shown(over, wait);
    m_reads->load(table, [&] { table->LoadPacket(CheckResultPacket(netTbPreProCom->Call(method, args))); });
}

void TfrmTbPreProCom::readList(TClientTable *table, const std::function<void()> &read) { m_reads->load(table, read); }

QString TfrmTbPreProCom::currentPriceTable() const { return priceTables->currentCode(); }
QString TfrmTbPreProCom::currentPriceTableName() const { return priceTables->currentName(); }

void TfrmTbPreProCom::actOn(TClientTable *table) { dtsPadrao->SetDataSet(table); }

void TfrmTbPreProCom::showNameOf(TDataSource *priceTables) {
    if (priceTables) dbtNome->SetDataSource(priceTables);
    dbtNome->SetDataField(priceTables ? QStringLiteral("NMPRECOPROP") : QString());
    dbnPadrao->setEnabled(priceTables != nullptr);
}

PriceTableContext TfrmTbPreProCom::context() {
    return {netTbPreProCom, priceTables->currentCode(), priceTables->currentName(), this};
}

bool TfrmTbPreProCom::hasFocus(TDBGrid *grid) const {
    QWidget *focused = QApplication::focusWidget();
    return focused && (focused == grid || grid->isAncestorOf(focused));
}

// ---------------------------------------------------------------- screen events

void TfrmTbPreProCom::FormCreate() {
    TfrmPadraoGrid::FormCreate();
    netTbPreProCom->Open();
}

void TfrmTbPreProCom::FormActivate() {
    // Back on the price table list, so the tool bar acts on the list in view.
    pgcPadrao->SetActivePage(tshPadrao);
    pgcTabelaPreco->SetActivePage(priceTables->tshTabelaPreco);
    TDBGrid *grid = priceTables->dbgTabelaPreco;
    if (grid->isEnabled() && grid->isVisible()) grid->setFocus();
    dtsPadrao->SetDataSet(priceTables->cdsTbPreco);
    dbtNome->SetDataField(QStringLiteral("NMPRECOPROP"));
    dbnPadrao->setEnabled(true);
    if (!m_accessAsked) {
        // Who the key is comes in the same round trip as the first list.
        m_accessAsked = true;
        QVector<RpcReply> replies;
        {
            WaitAnimation shown(HostApplication::instance().mainWindow(), WaitKind::OverMainWindow);
            replies = netTbPreProCom->CallBatch({{Method::getAcesso, {}}, {Method::getTbPreco, {}}});
        }
        access.take(replies[0]);
        HostApplication::instance().setUserText(access.shown());
        priceTables->load(WaitKind::None, &replies[1]);
    } else {
        priceTables->load(WaitKind::OverMainWindow);
    }
    priceTables->cdsTbPreco->FieldByName("DTINIPRECOPROP")->EditMask = DateMask();
    priceTables->cdsTbPreco->FieldByName("DTFINPRECOPROP")->EditMask = DateMask();
}

void TfrmTbPreProCom::FormClose() {
    TfrmPadraoGrid::FormClose();
    netTbPreProCom->Close();
    Cli_cot00300::screen.closed();
}

void TfrmTbPreProCom::sbtImprimirClick() { Cli_cot00301::CriaRelTbPreco(netTbPreProCom); }

void TfrmTbPreProCom::sheetShown(TPageControl *pages) {
    QWidget *sheet = pages->ActivePage();
    if (TScreenPage *page = m_pageOfSheet.value(sheet)) page->shown(sheet);
}

// Another page: its first sheet comes to front.
void TfrmTbPreProCom::pgcPadraoChange() {
    TPageControl *pages = m_sheetsOf.value(pgcPadrao->ActivePage());
    if (!pages || pages->count() == 0) return;
    pages->SetActivePage(pages->widget(0));
    sheetShown(pages);
}

void TfrmTbPreProCom::pgcTabelaPrecoChange() { sheetShown(pgcTabelaPreco); }
void TfrmTbPreProCom::pgcTipoServicoChange() { sheetShown(pgcTipoServico); }

// The new row takes the typing at once.
void TfrmTbPreProCom::sbtIncluirClick() {
    TfrmPadraoGrid::sbtIncluirClick();
    TScreenPage *page = activePage();
    TDBGrid *grid = page ? page->currentGrid(activeSheet()) : nullptr;
    if (grid && grid->DataSet() == dtsPadrao->DataSet() && grid->isVisible() && grid->isEnabled())
        grid->setFocus(Qt::OtherFocusReason);
}

int TfrmTbPreProCom::pendingOnPage() {
    TScreenPage *page = activePage();
    int count = 0;
    if (page)
        for (const SavedList &list : page->savedLists())
            if (list.table->Active()) count += list.table->ChangeCount();
    return count;
}

// Reading again drops what the server has not taken: only when the user says so.
void TfrmTbPreProCom::sbtVerificarClick() {
    TScreenPage *page = activePage();
    if (!page) return;
    if (const int pending = pendingOnPage()) {
        if (!Confirma(QStringLiteral("Há %1 alteração(ões) não gravada(s). Descartar e ler de novo do servidor?").arg(pending))) return;
        for (const SavedList &list : page->savedLists())
            if (list.table->Active() && list.table->ChangeCount() > 0) list.table->CancelUpdates();
    }
    page->refresh(activeSheet());
    UpdateActions();
}

void TfrmTbPreProCom::sbtGravarClick() {
    TClientTable *t = dtsPadrao->DataSet();
    TScreenPage *page = activePage();
    if (!page || (t && t->IsEditing())) {
        TfrmPadraoGrid::sbtGravarClick();
        return;
    }
    // The same delta again, with the values it was read with: the server's
    // optimistic check holds as it did the first time. Changes left on
    // another page go too, price tables first: a failed save or page change
    // may have left them behind.
    struct Refresh {
        TfrmTbPreProCom *f;
        ~Refresh() { f->UpdateActions(); f->updatePendingNotice(); }
    } refresh{this};
    for (const SavedList &list : savedLists())
        if (list.table->Active() && list.table->ChangeCount() > 0) list.send();
}

// The automatic registration works through this screen's connection on the
// price table whose permissions are shown, and loads their list again.
void TfrmTbPreProCom::sbtCadAutoClick() {
    // Only from the permission list in browse state, whatever state the
    // button was left in.
    if (activeSheet() != permissions->tshPermOper || dtsPadrao->State() != DataSetState::Browse) return;
    // Changes the server has not taken yet go first: the list is loaded again
    // after the grant. A refusal stops here, the changes kept.
    permissions->cdsPerOperAfterPost();
    Cli_cot00302::CriaCadAuto(context(), permissions->cdsPerOper);
}

void TfrmTbPreProCom::dtsPadraoStateChange() {
    TScreenPage *page = sbtCadAuto ? activePage() : nullptr;
    if (!page) return;  // still being built
    const DataSetState state = dtsPadrao->State();
    // A list whose load failed is not a row being typed: it leaves the tabs open.
    const bool browse = state == DataSetState::Browse || state == DataSetState::Inactive;
    const bool editing = state == DataSetState::Edit || state == DataSetState::Insert;
    sbtGravar->setEnabled(editing || (browse && pendingOnScreen() > 0));
    sbtCancelar->setEnabled(editing);

    QWidget *sheet = activeSheet();
    ToolActions a;
    page->enable(sheet, browse, a);
    m_reads->restrict(dtsPadrao->DataSet(), a);
    applyRole(page, sheet, a);
    // The history and the calculator read the current price table as stored.
    const bool onTable = browse && HasRows(priceTables->cdsTbPreco) && priceTables->cdsTbPreco->State() == DataSetState::Browse;
    const std::pair<QAction *, bool> actions[] = {{sbtIncluir, a.incluir},   {sbtAlterar, a.alterar},
                                                  {sbtExcluir, a.excluir},   {sbtProcurar, a.procurar},
                                                  {sbtVerificar, a.verificar}, {sbtImprimir, a.imprimir},
                                                  {sbtCadAuto, a.cadAuto},   {mnuCadAuto, a.cadAuto},
                                                  {sbtCopiar, a.copiar},     {mnuCopiar, a.copiar},
                                                  {sbtHistorico, onTable},   {mnuHistorico, onTable},
                                                  {sbtCalculadora, onTable}, {mnuCalculadora, onTable}};
    for (const auto &[action, enabled] : actions) action->setEnabled(enabled);

    // While a row is in edit or insert no other tab can be chosen; a tab
    // refused in browse state waits for a price table.
    const QString whyNot = browse ? QStringLiteral("Cadastre uma tabela de preço primeiro.")
                                  : QStringLiteral("Grave ou cancele a alteração em andamento.");
    TPageControl *pages = m_sheetsOf.value(pgcPadrao->ActivePage());
    for (int i = 0; i < pages->count(); ++i)
        if (pages->widget(i) != sheet) pages->setPageEnabled(pages->widget(i), a.siblingTabs, whyNot);
    for (int i = 0; i < pgcPadrao->count(); ++i)
        if (pgcPadrao->widget(i) != pgcPadrao->ActivePage())
            pgcPadrao->setPageEnabled(pgcPadrao->widget(i), a.otherPages, whyNot);
}

// ---------------------------------------------------------------- factory and unit life

namespace Cli_cot00300 {

void CriaTbPreProCom() {
    HostApplication &app = HostApplication::instance();
    app.setScreenCursor(crHourGlass);
    screen.open()->Show();
    frmTbPreProCom->SetWindowStateNormal();
    app.setScreenCursor(crDefault);
}

void Initialization() { screen.closed(); }

void Finalization() {
    stVerEditSis.clear();
    stVerEditUsu.clear();
    stVerEditOper.clear();
    stVerEditTipo.clear();
}

}  // namespace Cli_cot00300
