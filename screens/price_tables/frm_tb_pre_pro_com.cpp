// The maintenance screen's frame: layout, connection, loading on activation
// and page changes, the refresh button and the rule that enables the tool
// bar, the menu and the page tabs.
#include "frm_tb_pre_pro_com.h"

#include "catalogue.h"
#include "cli_cot00301.h"
#include "dialogs.h"
#include "errors.h"
#include "host_application.h"
#include "host_services.h"
#include "ui_dispatch.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QGroupBox>
#include <QSplitter>
#include <QVBoxLayout>

namespace Cli_cot00300 {
QPointer<TfrmTbPreProCom> frmTbPreProCom;
bool boStCriado = false;
bool boInsGrid = false;
QString stVerEditSis;
QString stVerEditUsu;
QString stVerEditOper;
QString stVerEditTipo;
qint32 inQtIniAux = 0;
}  // namespace Cli_cot00300

using namespace Cli_cot00300;

namespace {

const TDBGridOptions kGridOptions = dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                                    dgConfirmDelete | dgCancelOnExit;

TDBGrid *makeGrid(QWidget *parent, TDataSource *source, bool alwaysShowSelection) {
    auto *g = new TDBGrid(parent);
    g->SetOptions(alwaysShowSelection ? kGridOptions | dgAlwaysShowSelection : kGridOptions);
    g->SetColor(clInfoBk());
    g->SetDataSource(source);
    return g;
}

QWidget *gridPage(TDBGrid *grid) {
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    grid->setParent(page);
    layout->addWidget(grid);
    return page;
}

QGroupBox *group(const QString &caption, TDBGrid *grid) {
    auto *box = new QGroupBox(caption);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    grid->setParent(box);
    layout->addWidget(grid);
    return box;
}

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

}  // namespace

TfrmTbPreProCom::TfrmTbPreProCom(QWidget *parent) : TfrmPadraoGrid(parent) {
    setWindowTitle(QStringLiteral("Preços e Descontos para Proposta Comercial"));
    lblCodTela->setText(QStringLiteral("COT00300"));
    resize(1016, 619);
    msgPadrao.SetLines(PriceTablesCatalogue());

    netTbPreProCom = new TNetConnection(this);
    netTbPreProCom->ThrowException = false;
    netTbPreProCom->ServerName = QStringLiteral("Cot00300.rdmTbPreProCom");
    netTbPreProCom->OnBeforeConnect = [this](TNetConnection &) { netTbPreProComBeforeConnect(); };

    defineTables();

    qryOpr = new TADOIBQuery(this);
    qryOpr->SQL = {QStringLiteral("SELECT CDOPERADOR, NMOPERADOR"), QStringLiteral("  FROM OPERADOR"),
                   QStringLiteral(" WHERE (:P_CDOPERADOR = CDOPERADOR OR :P_TCDOPERADOR = 'T')"),
                   QStringLiteral("   AND IDOPERATIVO = 'A'"), QStringLiteral(" ORDER BY CDOPERADOR")};
    dtsOp = new TDataSource(qryOpr->DataSet(), this);
    qryCdPreco = new TADOIBQuery(this);
    qryCdPreco->SQL = {QStringLiteral("SELECT CDPRECOPROP FROM PRECOPROPOSTA WHERE CDPRECOPROP = :P_CDPRECOPROP")};

    // The tool bar's and menu's addition: "Cadastramento Automático".
    sbtCadAuto = new QAction(QStringLiteral("Cadastramento Automático"), this);
    sbtCadAuto->setObjectName(QStringLiteral("sbtCadAuto"));
    sbtCadAuto->setToolTip(QStringLiteral("Cadastramento Automático"));
    insertToolAction(sbtImprimir, sbtCadAuto);
    mnuCadAuto = new QAction(QStringLiteral("Ca&dastramento Automático"), this);
    mnuCadAuto->setObjectName(QStringLiteral("mnuCadAuto"));
    mnuCadAuto->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    insertMenuAction(6, mnuCadAuto);

    buildPriceTablePage();
    buildServiceTypePage();
    wirePriceTables();
    wireBands();

    dtsPadrao->SetDataSet(cdsTbPreco);
    dbtNome->SetDataSource(dtsTbPreco);
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
    UpdateActions();
}

// The base screen runs this on every state change of dtsPadrao (a change of
// its table included) and when its rows change: this screen's own rule.
void TfrmTbPreProCom::UpdateActions() { dtsPadraoStateChange(); }

TfrmTbPreProCom::~TfrmTbPreProCom() = default;

void TfrmTbPreProCom::buildPriceTablePage() {
    pgcPadrao->setTabText(pgcPadrao->indexOf(tshPadrao), QStringLiteral("Tabela de Preço"));
    // The base screen's own grid stays hidden: the sub-pages hold the grids.
    dbgPadrao->hide();
    dbgPadrao->SetDataSource(nullptr);

    pgcTabelaPreco = new TPageControl(tshPadrao);
    pgcTabelaPreco->setObjectName(QStringLiteral("pgcTabelaPreco"));
    tshPadraoLayout->addWidget(pgcTabelaPreco);

    dbgTabelaPreco = makeGrid(nullptr, dtsTbPreco, true);
    dbgTabelaPreco->setObjectName(QStringLiteral("dbgTabelaPreco"));
    dbgTabelaPreco->addColumn("CDPRECOPROP", QStringLiteral("Código"), 82, kLeft, true);
    dbgTabelaPreco->addColumn("NMPRECOPROP", QStringLiteral("Nome"), 189);
    dbgTabelaPreco->addColumn("DTINIPRECOPROP", QStringLiteral("Início Vigência"), 84);
    dbgTabelaPreco->addColumn("DTFINPRECOPROP", QStringLiteral("Fim Vigência"), 80);
    dbgTabelaPreco->addColumn("VRPRECOUNITSIST", QStringLiteral("Preço Unitário"), 73, kRight);
    dbgTabelaPreco->addColumn("VRPERCMANUTANO", QStringLiteral("% Manutenção Anual"), 107, kRight);
    dbgTabelaPreco->addColumn("NRMESPRAZOLOCA", QStringLiteral("Prazo Locação(Meses)"), 112, kRight);
    dbgTabelaPreco->addColumn("VRPEDESFILIFILI", QStringLiteral("% Desconto Filial / Filial"), 117, kRight);
    dbgTabelaPreco->addColumn("VRPEDESFILIMATR", QStringLiteral("% Desconto Filial / Matriz"), 128, kRight);
    tshTabelaPreco = gridPage(dbgTabelaPreco);
    pgcTabelaPreco->addPage(tshTabelaPreco, QStringLiteral("Tabela de Preço"));

    dbgDescSis = makeGrid(nullptr, dtsDescSist, true);
    dbgDescSis->setObjectName(QStringLiteral("dbgDescSis"));
    dbgDescSis->addColumn("QTINISISTEMAS", QStringLiteral("De"), 123);
    dbgDescSis->addColumn("QTFINSISTEMAS", QStringLiteral("Até"), 102);
    dbgDescSis->addColumn("VRPERCDESCSIST", QStringLiteral("%Desconto"), 99, kRight);
    tshDescSist = gridPage(dbgDescSis);
    pgcTabelaPreco->addPage(tshDescSist, QStringLiteral("Desconto por Sistema"));

    dbgDescUsu = makeGrid(nullptr, dtsDescUsu, true);
    dbgDescUsu->setObjectName(QStringLiteral("dbgDescUsu"));
    dbgDescUsu->addColumn("QTINIUSUARIOS", QStringLiteral("De"), 123);
    dbgDescUsu->addColumn("QTFINUSUARIOS", QStringLiteral("Até"), 102);
    dbgDescUsu->addColumn("VRPERCDESCUSU", QStringLiteral("%Desconto"), 99, kRight);
    tshDescUsu = gridPage(dbgDescUsu);
    pgcTabelaPreco->addPage(tshDescUsu, QStringLiteral("Desconto por Usuário"));

    dbgPerOper = makeGrid(nullptr, dtsPerOper, true);
    dbgPerOper->setObjectName(QStringLiteral("dbgPerOper"));
    dbgPerOper->addColumn("CDOPERADOR", QStringLiteral("Operador"), 207).ButtonStyle = cbsEllipsis;
    dbgPerOper->addColumn("IDTIPODESCOPER", QStringLiteral("Tipo"), 150).PickList = {
        QStringLiteral("Locação"), QStringLiteral("Manutenção"), QStringLiteral("Licença de Uso")};
    dbgPerOper->addColumn("VRPERCDESCOPER", QStringLiteral("%Desconto"), 169, kRight);
    dbgPerOper->LayoutChanged();
    tshPermOper = gridPage(dbgPerOper);
    pgcTabelaPreco->addPage(tshPermOper, QStringLiteral("Permissão por Operador"));

    for (QWidget *page : {tshTabelaPreco, tshDescSist, tshDescUsu, tshPermOper})
        page->setObjectName(page == tshTabelaPreco ? "tshTabelaPreco"
                            : page == tshDescSist  ? "tshDescSist"
                            : page == tshDescUsu   ? "tshDescUsu"
                                                   : "tshPermOper");
}

void TfrmTbPreProCom::buildServiceTypePage() {
    tshTipoServ = new QWidget;
    tshTipoServ->setObjectName(QStringLiteral("tshTipoServ"));
    auto *layout = new QVBoxLayout(tshTipoServ);
    layout->setContentsMargins(2, 2, 2, 2);
    pgcTipoServico = new TPageControl(tshTipoServ);
    pgcTipoServico->setObjectName(QStringLiteral("pgcTipoServico"));
    layout->addWidget(pgcTipoServico);
    pgcPadrao->addPage(tshTipoServ, QStringLiteral("Tipo de Serviço"));

    dbgTipoServico = makeGrid(nullptr, dtsTipoServico, false);
    dbgTipoServico->setObjectName(QStringLiteral("dbgTipoServico"));
    dbgTipoServico->addColumn("CDTIPOSERV", QStringLiteral("Código"), 42);
    dbgTipoServico->addColumn("NMTIPOSERV", QStringLiteral("Serviço"), 324);
    dbgTipoServico->addColumn("IDPROPSERVWEB", QStringLiteral("Proposta Web"), 100).PickList = {
        QStringLiteral("Sim (disponível)"), QStringLiteral("Não")};
    dbgTipoServico->addColumn("IDSERVOBRIGPROS", QStringLiteral("Proposta Prospect"), 98).PickList = {
        QStringLiteral("Obrigatório"), QStringLiteral("Opcional")};
    dbgTipoServico->addColumn("VRPADRAOSERVNAC", QStringLiteral("Vr. Padrão Nacional"), 112, kRight);
    dbgTipoServico->addColumn("VRPADRAOSERVINT", QStringLiteral("Vr. Padrão Internacional"), 127, kRight);
    dbgTipoServico->LayoutChanged();

    dbgOperador = makeGrid(nullptr, dtsOperTipoServ, false);
    dbgOperador->setObjectName(QStringLiteral("dbgOperador"));
    dbgOperador->addColumn("CDOPERADOR", QStringLiteral("Código"), 89);
    dbgOperador->addColumn("NMOPERADOR", QStringLiteral("Nome do Operador"), 285);
    dbgOperador->addColumn("VRPEDESOPERSERV", QStringLiteral("%Percentual"), 71, kRight);

    tshDadTipServ = new QWidget;
    tshDadTipServ->setObjectName(QStringLiteral("tshDadTipServ"));
    {
        auto *split = new QSplitter(Qt::Vertical, tshDadTipServ);
        split->addWidget(group(QStringLiteral("Tipo de Serviço"), dbgTipoServico));
        split->addWidget(group(QStringLiteral("Operador"), dbgOperador));
        auto *l = new QVBoxLayout(tshDadTipServ);
        l->setContentsMargins(2, 2, 2, 2);
        l->addWidget(split);
    }
    pgcTipoServico->addPage(tshDadTipServ, QStringLiteral("Dados por Tipo de Serviço"));

    dbgOperDad = makeGrid(nullptr, dtsOperador, false);
    dbgOperDad->setObjectName(QStringLiteral("dbgOperDad"));
    dbgOperDad->addColumn("CDOPERADOR", QStringLiteral("Código"), 89);
    dbgOperDad->addColumn("NMOPERADOR", QStringLiteral("Nome do Operador"), 418);

    dbgTpServOper = makeGrid(nullptr, dtsTipoServOper, false);
    dbgTpServOper->setObjectName(QStringLiteral("dbgTpServOper"));
    dbgTpServOper->addColumn("CDTIPOSERV", QStringLiteral("Código"), 45);
    dbgTpServOper->addColumn("NMTIPOSERV", QStringLiteral("Serviço"), 331);
    dbgTpServOper->addColumn("VRPEDESOPERSERV", QStringLiteral("%Percentual"), 88, kRight);

    tshDadoOper = new QWidget;
    tshDadoOper->setObjectName(QStringLiteral("tshDadoOper"));
    {
        auto *split = new QSplitter(Qt::Vertical, tshDadoOper);
        split->addWidget(group(QStringLiteral("Operador"), dbgOperDad));
        split->addWidget(group(QStringLiteral("Tipo de Serviço"), dbgTpServOper));
        auto *l = new QVBoxLayout(tshDadoOper);
        l->setContentsMargins(2, 2, 2, 2);
        l->addWidget(split);
    }
    pgcTipoServico->addPage(tshDadoOper, QStringLiteral("Dados por Operador"));

    // The four grids of the page make themselves the screen's current table
    // when they receive the focus.
    const std::pair<TDBGrid *, TClientTable *> owners[] = {
        {dbgTipoServico, cdsTipoServico}, {dbgOperador, cdsOperTipoServ}, {dbgOperDad, cdsOperador},
        {dbgTpServOper, cdsTipoServOper}};
    for (const auto &[grid, table] : owners) {
        TClientTable *t = table;
        grid->OnEnter = [this, t] { dtsPadrao->SetDataSet(t); };
    }
}

void TfrmTbPreProCom::updatePendingNotice() {
    TClientTable *t = dtsPadrao->DataSet();
    const int pending = t && t->Active() ? t->ChangeCount() : 0;
    lblPendentes->setText(pending == 0 ? QString()
                          : pending == 1
                              ? QStringLiteral("1 alteração não gravada no servidor (Verificar descarta)")
                              : QStringLiteral("%1 alterações não gravadas no servidor (Verificar descarta)").arg(pending));
}

// ---------------------------------------------------------------- connection and loading

void TfrmTbPreProCom::netTbPreProComBeforeConnect() {
    netTbPreProCom->Host = WebURL();
    netTbPreProCom->Port = WebPort();
    netTbPreProCom->Token = WebToken();
}

void TfrmTbPreProCom::loadTable(TClientTable *table, const QString &method, const QVector<RpcArg> &args, int aviKind) {
    QObject *over = aviKind == 6 ? static_cast<QObject *>(HostApplication::instance().mainWindow()) : this;
    WaitAnimation wait(over, aviKind);
    const DataPacket packet = CheckResultPacket(netTbPreProCom->Call(method, args));
    table->LoadPacket(packet);
}

QString TfrmTbPreProCom::currentPriceTable() const {
    return cdsTbPreco->Active() ? cdsTbPreco->FieldByName("CDPRECOPROP")->AsString() : QString();
}

bool TfrmTbPreProCom::hasFocus(TDBGrid *grid) const {
    QWidget *focused = QApplication::focusWidget();
    return focused && (focused == grid || grid->isAncestorOf(focused));
}

void TfrmTbPreProCom::reloadPriceTablesKeepingRow(int aviKind) {
    const QString code = currentPriceTable();
    loadTable(cdsTbPreco, QStringLiteral("getTbPreco"), {}, aviKind);
    if (!code.isEmpty()) cdsTbPreco->Locate(QStringLiteral("CDPRECOPROP"), code);
}

// ---------------------------------------------------------------- screen events

void TfrmTbPreProCom::FormCreate() {
    TfrmPadraoGrid::FormCreate();
    netTbPreProCom->Open();
    cdsTipoServico->CreateDataSet();
    cdsOperTipoServ->CreateDataSet();
    cdsOperTipoServAux->CreateDataSet();
    // Code and name columns of the four service-type grids are protected.
    for (TClientTable *t : {cdsTipoServico, cdsTipoServOper}) {
        t->FieldByName("CDTIPOSERV")->Tag = 1;
        t->FieldByName("NMTIPOSERV")->Tag = 1;
    }
    for (TClientTable *t : {cdsOperTipoServ, cdsOperador}) {
        t->FieldByName("CDOPERADOR")->Tag = 1;
        t->FieldByName("NMOPERADOR")->Tag = 1;
    }
}

void TfrmTbPreProCom::FormActivate() {
    pgcPadrao->SetActivePage(tshPadrao);
    if (dbgTabelaPreco->isEnabled() && dbgTabelaPreco->isVisible()) dbgTabelaPreco->setFocus();
    dtsPadrao->SetDataSet(cdsTbPreco);
    dbnPadrao->setEnabled(true);
    loadTable(cdsTbPreco, QStringLiteral("getTbPreco"), {}, 6);
    cdsTbPreco->FieldByName("DTINIPRECOPROP")->EditMask = DateMask();
    cdsTbPreco->FieldByName("DTFINPRECOPROP")->EditMask = DateMask();
}

void TfrmTbPreProCom::FormClose() {
    TfrmPadraoGrid::FormClose();
    netTbPreProCom->Close();
    boStCriado = false;
}

void TfrmTbPreProCom::sbtImprimirClick() { Cli_cot00301::CriaRelTbPreco(netTbPreProCom); }

void TfrmTbPreProCom::pgcPadraoChange() {
    if (pgcPadrao->ActivePage() == tshPadrao) {
        pgcTabelaPreco->SetActivePage(tshTabelaPreco);
        dtsPadrao->SetDataSet(cdsTbPreco);
        dbtNome->SetDataField(QStringLiteral("NMPRECOPROP"));
        dbnPadrao->setEnabled(true);
        reloadPriceTablesKeepingRow(1);
    } else if (pgcPadrao->ActivePage() == tshTipoServ) {
        pgcTipoServico->SetActivePage(tshDadTipServ);
        dtsPadrao->SetDataSet(cdsTipoServico);
        dbgTipoServico->setFocus();
        loadTable(cdsTipoServico, QStringLiteral("GetTipoServico"), {}, 1);
    }
}

void TfrmTbPreProCom::pgcTabelaPrecoChange() {
    QWidget *page = pgcTabelaPreco->ActivePage();
    auto bandOrPermission = [this](TDBGrid *grid, TClientTable *table, const char *method) {
        if (!hasFocus(grid)) return;
        dbtNome->SetDataField(QString());
        dbnPadrao->setEnabled(false);
        dtsPadrao->SetDataSet(table);
        loadTable(table, QString::fromLatin1(method), {currentPriceTable()}, 1);
    };
    if (page == tshDescSist) {
        bandOrPermission(dbgDescSis, cdsDescSist, "getDescSis");
    } else if (page == tshTabelaPreco) {
        dtsPadrao->SetDataSet(cdsTbPreco);
        dbtNome->SetDataField(QStringLiteral("NMPRECOPROP"));
        dbnPadrao->setEnabled(true);
        reloadPriceTablesKeepingRow(1);
    } else if (page == tshDescUsu) {
        bandOrPermission(dbgDescUsu, cdsDescUsu, "getDescUsu");
    } else if (page == tshPermOper) {
        bandOrPermission(dbgPerOper, cdsPerOper, "getPerOper");
    }
}

void TfrmTbPreProCom::sbtVerificarClick() {
    if (pgcPadrao->ActivePage() == tshPadrao) {
        QWidget *page = pgcTabelaPreco->ActivePage();
        if (page == tshDescSist && hasFocus(dbgDescSis)) {
            dtsPadrao->SetDataSet(cdsDescSist);
            loadTable(cdsDescSist, QStringLiteral("getDescSis"), {currentPriceTable()}, 6);
        } else if (page == tshTabelaPreco && hasFocus(dbgTabelaPreco)) {
            dtsPadrao->SetDataSet(cdsTbPreco);
            loadTable(cdsTbPreco, QStringLiteral("getTbPreco"), {}, 6);
            AtualizaLocalCache({QStringLiteral("PRECOPROPOSTA")});
        } else if (page == tshDescUsu && hasFocus(dbgDescUsu)) {
            dtsPadrao->SetDataSet(cdsDescUsu);
            loadTable(cdsDescUsu, QStringLiteral("getDescUsu"), {currentPriceTable()}, 6);
        } else if (page == tshPermOper && hasFocus(dbgPerOper)) {
            dtsPadrao->SetDataSet(cdsPerOper);
            loadTable(cdsPerOper, QStringLiteral("getPerOper"), {currentPriceTable()}, 6);
        }
        return;
    }
    if (pgcTipoServico->ActivePage() == tshDadTipServ) {
        if (hasFocus(dbgTipoServico))
            loadTable(cdsTipoServico, QStringLiteral("GetTipoServico"), {}, 1);
        else if (hasFocus(dbgOperador))
            loadTable(cdsOperTipoServ, QStringLiteral("GetOperTipoServ"),
                      {cdsTipoServico->FieldByName("CDTIPOSERV")->AsString()}, 1);
    } else if (pgcTipoServico->ActivePage() == tshDadoOper) {
        if (hasFocus(dbgOperDad))
            loadTable(cdsOperador, QStringLiteral("GetOperador"), {}, 1);
        else if (hasFocus(dbgTpServOper))
            loadTable(cdsTipoServOper, QStringLiteral("GetTipoServOper"),
                      {cdsOperador->Active() ? cdsOperador->FieldByName("CDOPERADOR")->AsString() : QString()}, 1);
    }
}

void TfrmTbPreProCom::dtsPadraoStateChange() {
    if (!pgcTabelaPreco || !pgcTipoServico || !sbtCadAuto) return;  // still being built
    const DataSetState state = dtsPadrao->State();
    const bool B = state == DataSetState::Browse;
    const bool E = state == DataSetState::Edit || state == DataSetState::Insert;
    auto R = [](TClientTable *t) { return t->Active() && t->RecordCount() > 0; };
    auto F = [this](TDBGrid *g) { return hasFocus(g); };

    sbtGravar->setEnabled(E);
    sbtCancelar->setEnabled(E);
    QWidget *page = pgcPadrao->ActivePage();
    QWidget *priceSub = pgcTabelaPreco->ActivePage();

    if (page == tshPadrao) {
        TClientTable *T = priceSub == tshDescSist ? cdsDescSist
                          : priceSub == tshDescUsu ? cdsDescUsu
                          : priceSub == tshPermOper ? cdsPerOper
                                                    : cdsTbPreco;
        sbtIncluir->setEnabled(B);
        for (QAction *a : {sbtAlterar, sbtExcluir, sbtProcurar, sbtVerificar, sbtImprimir}) a->setEnabled(B && R(T));
        if (priceSub == tshTabelaPreco) {
            for (QWidget *tab : {tshDescSist, tshDescUsu, tshPermOper}) pgcTabelaPreco->setPageEnabled(tab, B && R(cdsTbPreco));
        } else {
            for (QWidget *tab : {tshTabelaPreco, tshDescSist, tshDescUsu, tshPermOper})
                if (tab != priceSub) pgcTabelaPreco->setPageEnabled(tab, B);
        }
        pgcPadrao->setPageEnabled(tshTipoServ, B);
    } else {
        pgcPadrao->setPageEnabled(tshPadrao, B);
        if (pgcTipoServico->ActivePage() == tshDadTipServ) {
            pgcTipoServico->setPageEnabled(tshDadoOper, B);
            sbtIncluir->setEnabled(B && F(dbgOperador));
            const bool alterar = B && ((R(cdsTipoServico) && F(dbgTipoServico)) || (R(cdsOperTipoServ) && F(dbgOperador)));
            for (QAction *a : {sbtAlterar, sbtProcurar, sbtVerificar}) a->setEnabled(alterar);
            sbtExcluir->setEnabled(alterar && F(dbgOperador));
        } else {
            pgcTipoServico->setPageEnabled(tshDadTipServ, B);
            sbtIncluir->setEnabled(B && F(dbgTpServOper));
            const bool detail = B && R(cdsTipoServOper) && F(dbgTpServOper);
            sbtAlterar->setEnabled(detail);
            sbtExcluir->setEnabled(detail);
            const bool search = B && ((R(cdsOperador) && F(dbgOperDad)) || detail);
            sbtProcurar->setEnabled(search);
            sbtVerificar->setEnabled(search);
        }
        sbtImprimir->setEnabled(B);
    }
    const bool cadAuto = B && page == tshPadrao && priceSub == tshPermOper;
    sbtCadAuto->setEnabled(cadAuto);
    mnuCadAuto->setEnabled(cadAuto);
}


// ---------------------------------------------------------------- factory and unit life

namespace Cli_cot00300 {

void CriaTbPreProCom() {
    HostApplication &app = HostApplication::instance();
    app.setScreenCursor(crHourGlass);
    if (!boStCriado) {
        frmTbPreProCom = app.CreateForm<TfrmTbPreProCom>();
        boStCriado = true;
    }
    frmTbPreProCom->Show();
    frmTbPreProCom->SetWindowStateNormal();
    app.setScreenCursor(crDefault);
}

void Initialization() { boStCriado = false; }

void Finalization() {
    stVerEditSis.clear();
    stVerEditUsu.clear();
    stVerEditOper.clear();
    stVerEditTipo.clear();
}

}  // namespace Cli_cot00300
