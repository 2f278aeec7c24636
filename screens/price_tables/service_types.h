#pragma once
// Page family "Tipo de Serviço": the service types with the operators that
// may discount each ("Dados por Tipo de Serviço"), and the operators with the
// service types each may discount ("Dados por Operador"): two sheets, each an
// upper list and its lower detail. The lists load and show; their records are
// not edited here yet, so the grids stay read-only.

#include "screen_page.h"

class TServiceTypesPage : public TScreenPage {
    Q_OBJECT
public:
    explicit TServiceTypesPage(TfrmTbPreProCom &frame);

    QWidget *tshDadTipServ, *tshDadoOper;
    TDBGrid *dbgTipoServico, *dbgOperador, *dbgOperDad, *dbgTpServOper;
    TClientTable *cdsTipoServico, *cdsOperTipoServ, *cdsOperTipoServAux, *cdsMaxOperTipoServ;
    TClientTable *cdsOperador, *cdsTipoServOper, *cdsTipoServOperAux, *cdsPesqTipoServ;
    TDataSource *dtsTipoServico, *dtsOperTipoServ, *dtsOperador, *dtsTipoServOper, *dtsPesqTipoServ;

    QList<QWidget *> sheets() const override { return {tshDadTipServ, tshDadoOper}; }
    TClientTable *currentTable(QWidget *sheet) const override;
    TDBGrid *currentGrid(QWidget *sheet) const override;
    void shown(QWidget *sheet) override;
    void refresh(QWidget *sheet) override;
    void enable(QWidget *sheet, bool browse, ToolActions &a) const override;
};
