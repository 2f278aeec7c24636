#pragma once
// The maintenance screen "Preços e Descontos para Proposta Comercial": price
// tables with their volume discount bands and operator permissions, service
// types and operator service discounts. Every grid edits a client table whose
// posted and deleted rows go to the application server at once.
//
// The class is split by page family: this frame (layout, loading, navigation,
// enabling rule) and one source per page for its records.

#include "forms.h"
#include "client_table.h"
#include "db_geral.h"
#include "db_grid.h"
#include "net_connection.h"
#include "page_control.h"

#include <QPointer>

class TfrmTbPreProCom;

// Module variables of the main screen's unit.
namespace Cli_cot00300 {
extern QPointer<TfrmTbPreProCom> frmTbPreProCom;
extern bool boStCriado;
extern bool boInsGrid;
extern QString stVerEditSis;
extern QString stVerEditUsu;
extern QString stVerEditOper;
extern QString stVerEditTipo;
extern qint32 inQtIniAux;

void CriaTbPreProCom();
void Initialization();
void Finalization();
}  // namespace Cli_cot00300

class TfrmTbPreProCom : public TfrmPadraoGrid {
    Q_OBJECT
public:
    explicit TfrmTbPreProCom(QWidget *parent = nullptr);
    ~TfrmTbPreProCom() override;

    // Connection to the remote data module.
    TNetConnection *netTbPreProCom = nullptr;

    // Tool bar and menu additions.
    QAction *sbtCadAuto = nullptr;
    QAction *mnuCadAuto = nullptr;

    // Page "Tabela de Preço" and its sub-pages.
    TPageControl *pgcTabelaPreco = nullptr;
    QWidget *tshTabelaPreco = nullptr, *tshDescSist = nullptr, *tshDescUsu = nullptr, *tshPermOper = nullptr;
    TDBGrid *dbgTabelaPreco = nullptr, *dbgDescSis = nullptr, *dbgDescUsu = nullptr, *dbgPerOper = nullptr;

    // Page "Tipo de Serviço" and its sub-pages.
    QWidget *tshTipoServ = nullptr;
    TPageControl *pgcTipoServico = nullptr;
    QWidget *tshDadTipServ = nullptr, *tshDadoOper = nullptr;
    TDBGrid *dbgTipoServico = nullptr, *dbgOperador = nullptr, *dbgOperDad = nullptr, *dbgTpServOper = nullptr;

    // Client tables and their data sources.
    TClientTable *cdsTbPreco, *cdsDescSist, *cdsDescUsu, *cdsPerOper;
    TClientTable *cdsQtMaxFin, *cdsVdQtIniSis, *cdsVdQtIniUsu, *cdsVdIntervSis, *cdsVdIntervUsu, *cdsVdFinSistEdit,
        *cdsVdFinUsuEdit, *cdsVdOpTipo;
    TClientTable *cdsTipoServico, *cdsOperTipoServ, *cdsOperTipoServAux, *cdsMaxOperTipoServ;
    TClientTable *cdsOperador, *cdsTipoServOper, *cdsTipoServOperAux, *cdsPesqTipoServ;
    TDataSource *dtsTbPreco, *dtsDescSist, *dtsDescUsu, *dtsPerOper, *dtsTipoServico, *dtsOperTipoServ, *dtsOperador,
        *dtsTipoServOper, *dtsPesqTipoServ, *dtsOp;

    // Read-only look-ups on the host's shared database.
    TADOIBQuery *qryOpr = nullptr;
    TADOIBQuery *qryCdPreco = nullptr;

    // Handlers of the frame.
    void netTbPreProComBeforeConnect();
    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void pgcPadraoChange();
    void pgcTabelaPrecoChange();
    void sbtVerificarClick() override;
    void sbtImprimirClick() override;  // the report screen, on this screen's connection
    void dtsPadraoStateChange();
    void UpdateActions() override;

    // Price table records (price_tables.cpp).
    void cdsTbPrecoBeforeInsert();
    void cdsTbPrecoAfterInsert();
    void cdsTbPrecoDTINIPRECOPROPSetText(TField &field, const QString &text);
    void cdsTbPrecoDTFINPRECOPROPSetText(TField &field, const QString &text);
    void cdsTbPrecoBeforePost();
    void cdsTbPrecoAfterPost();
    void cdsTbPrecoBeforeDelete();
    void cdsTbPrecoAfterDelete();
    void dbgTabelaPrecoColExit();
    void dbgTabelaPrecoKeyPress(QChar &key);
    void vd_PRECOPROPOSTA(bool show);

    // Volume discount bands (bands.cpp) and their interval checks (band_checks.cpp).
    void cdsDescSistBeforeEdit();
    void cdsDescSistAfterEdit();
    void cdsDescSistBeforePost();
    void cdsDescSistAfterPost();
    void cdsDescSistAfterDelete();
    void dbgDescSisColExit();
    void dbgDescSisKeyPress(QChar &key);
    void cdsDescUsuBeforeEdit();
    void cdsDescUsuBeforePost();
    void cdsDescUsuAfterPost();
    void cdsDescUsuAfterDelete();
    void dbgDescUsuColExit();
    void dbgDescUsuKeyPress(QChar &key);
    void vd_QTINISISTEMAS(bool show);
    void vd_QTINIUSUARIOS(bool show);
    void vd_IntervSis();
    void vd_IntervUsu();
    void vd_VdFinSistEdit();
    void vd_VdFinUsuEdit();
    void vd_QtMaxFin(bool flag);

    // A notice in the bottom bar while the current table holds changes the
    // server has not taken; the refresh discards them.
    QLabel *lblPendentes = nullptr;

    // The load step: calls a get-method under the wait animation and replaces
    // the table's content with the answer. Failures pass on with the
    // animation hidden and the table as it was.
    void loadTable(TClientTable *table, const QString &method, const QVector<RpcArg> &args, int aviKind);
    // The current price table's code (CDPRECOPROP of cdsTbPreco).
    QString currentPriceTable() const;

private:
    void wirePriceTables();  // price_tables.cpp
    void wireBands();        // bands.cpp
    void updatePendingNotice();
    void buildPriceTablePage();
    void buildServiceTypePage();
    void defineTables();
    bool hasFocus(TDBGrid *grid) const;
    void reloadPriceTablesKeepingRow(int aviKind);
};
