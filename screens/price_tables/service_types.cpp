#include "service_types.h"

#include "frm_tb_pre_pro_com.h"

namespace {

const ColumnSpecs &ServiceTypeColumns() {
    static const ColumnSpecs specs = {
        TextColumn("CDTIPOSERV", 3, "Código", 42, 0),
        TextColumn("NMTIPOSERV", 80, "Serviço", 324, 1),
        PickColumn("IDPROPSERVWEB", 1, "Proposta Web", 100, 2, {{"Sim (disponível)", "S"}, {"Não", "N"}}),
        PickColumn("IDSERVOBRIGPROS", 2, "Proposta Prospect", 98, 3, {{"Obrigatório", "S"}, {"Opcional", "N"}}),
        NumberColumn("VRPADRAOSERVNAC", "Vr. Padrão Nacional", 112, 4, NumberFormat::Money),
        NumberColumn("VRPADRAOSERVINT", "Vr. Padrão Internacional", 127, 5, NumberFormat::Money),
    };
    return specs;
}

// Operators of one service type, with their discount.
ColumnSpecs OperatorColumns() {
    return {HiddenField("CDTIPOSERV", FieldType::String, 3), HiddenField("NROPERTIPOSERV", FieldType::Float),
            TextColumn("CDOPERADOR", 12, "Código", 89, 0), TextColumn("NMOPERADOR", 40, "Nome do Operador", 285, 1),
            NumberColumn("VRPEDESOPERSERV", "%Percentual", 71, 2, NumberFormat::Money)};
}

// Service types of one operator, with their discount.
const ColumnSpecs &TypeOfOperatorColumns() {
    static const ColumnSpecs specs = {
        TextColumn("CDTIPOSERV", 3, "Código", 45, 0), TextColumn("NMTIPOSERV", 80, "Serviço", 331, 1),
        NumberColumn("VRPEDESOPERSERV", "%Percentual", 88, 2, NumberFormat::Money),
        HiddenField("NROPERTIPOSERV", FieldType::Float), HiddenField("CDOPERADOR", FieldType::String, 12)};
    return specs;
}

const ColumnSpecs &OperatorListColumns() {
    static const ColumnSpecs specs = {TextColumn("CDOPERADOR", 12, "Código", 89, 0),
                                      TextColumn("NMOPERADOR", 40, "Nome do Operador", 418, 1)};
    return specs;
}

const ColumnSpecs &ServiceSearchColumns() {
    static const ColumnSpecs specs = {TextColumn("CDTIPOSERV", 3, "Código", 0, 0), TextColumn("NMTIPOSERV", 80, "Serviço", 0, 1)};
    return specs;
}

}  // namespace

TServiceTypesPage::TServiceTypesPage(TfrmTbPreProCom &frame) : TScreenPage(frame) {
    auto table = [this](const char *name, const ColumnSpecs &columns) {
        auto *t = new TClientTable(QString::fromLatin1(name), this);
        DefineFields(t, columns);
        return t;
    };
    cdsTipoServico = table("cdsTipoServico", ServiceTypeColumns());
    cdsOperTipoServ = table("cdsOperTipoServ", OperatorColumns());
    cdsOperTipoServAux = table("cdsOperTipoServAux", OperatorColumns());
    cdsMaxOperTipoServ = new TClientTable(QStringLiteral("cdsMaxOperTipoServ"), this);
    cdsMaxOperTipoServ->AddField(QStringLiteral("NROPERTIPOSERV"), FieldType::Float);
    cdsOperador = table("cdsOperador", OperatorListColumns());
    cdsTipoServOper = table("cdsTipoServOper", TypeOfOperatorColumns());
    cdsTipoServOperAux = table("cdsTipoServOperAux", TypeOfOperatorColumns());
    cdsPesqTipoServ = table("cdsPesqTipoServ", ServiceSearchColumns());

    dtsTipoServico = new TDataSource(cdsTipoServico, this);
    dtsOperTipoServ = new TDataSource(cdsOperTipoServ, this);
    dtsOperador = new TDataSource(cdsOperador, this);
    dtsTipoServOper = new TDataSource(cdsTipoServOper, this);
    dtsPesqTipoServ = new TDataSource(cdsPesqTipoServ, this);

    dbgTipoServico = MakeGrid("dbgTipoServico", dtsTipoServico, ServiceTypeColumns(), false);
    dbgOperador = MakeGrid("dbgOperador", dtsOperTipoServ, OperatorColumns(), false);
    dbgOperDad = MakeGrid("dbgOperDad", dtsOperador, OperatorListColumns(), false);
    dbgTpServOper = MakeGrid("dbgTpServOper", dtsTipoServOper, TypeOfOperatorColumns(), false);
    tshDadTipServ = SplitSheet("tshDadTipServ", QStringLiteral("Dados por Tipo de Serviço"), QStringLiteral("Tipo de Serviço"),
                               dbgTipoServico, QStringLiteral("Operador"), dbgOperador);
    tshDadoOper = SplitSheet("tshDadoOper", QStringLiteral("Dados por Operador"), QStringLiteral("Operador"), dbgOperDad,
                             QStringLiteral("Tipo de Serviço"), dbgTpServOper);

    // The service-type grids work before the first load.
    cdsTipoServico->CreateDataSet();
    cdsOperTipoServ->CreateDataSet();
    cdsOperTipoServAux->CreateDataSet();
    // Code and name columns of the four grids are protected.
    for (TClientTable *t : {cdsTipoServico, cdsTipoServOper}) {
        t->FieldByName("CDTIPOSERV")->Tag = 1;
        t->FieldByName("NMTIPOSERV")->Tag = 1;
    }
    for (TClientTable *t : {cdsOperTipoServ, cdsOperador}) {
        t->FieldByName("CDOPERADOR")->Tag = 1;
        t->FieldByName("NMOPERADOR")->Tag = 1;
    }

    // Each grid makes itself the screen's current table when it receives the
    // focus; none is edited here yet.
    for (TDBGrid *grid : {dbgTipoServico, dbgOperador, dbgOperDad, dbgTpServOper}) {
        grid->SetReadOnly(true);
        TClientTable *t = grid->DataSet();
        grid->OnEnter = [this, t] { f.dtsPadrao->SetDataSet(t); };
    }
}

TClientTable *TServiceTypesPage::currentTable(QWidget *sheet) const { return currentGrid(sheet)->DataSet(); }

TDBGrid *TServiceTypesPage::currentGrid(QWidget *sheet) const {
    if (sheet == tshDadoOper) return f.hasFocus(dbgTpServOper) ? dbgTpServOper : dbgOperDad;
    return f.hasFocus(dbgOperador) ? dbgOperador : dbgTipoServico;
}

void TServiceTypesPage::shown(QWidget *sheet) {
    TDBGrid *upper = sheet == tshDadoOper ? dbgOperDad : dbgTipoServico;
    f.dtsPadrao->SetDataSet(upper->DataSet());
    upper->setFocus(Qt::OtherFocusReason);
    if (sheet == tshDadoOper) f.loadTable(cdsOperador, QStringLiteral("GetOperador"), {}, WaitKind::OverScreen);
    else f.loadTable(cdsTipoServico, QStringLiteral("GetTipoServico"), {}, WaitKind::OverScreen);
}

// Reloads the list whose grid has the focus.
void TServiceTypesPage::refresh(QWidget *sheet) {
    auto code = [](TClientTable *t, const char *field) {
        return t->Active() && !t->IsEmpty() ? t->FieldByName(field)->AsString() : QString();
    };
    if (sheet == tshDadTipServ) {
        if (f.hasFocus(dbgTipoServico))
            f.loadTable(cdsTipoServico, QStringLiteral("GetTipoServico"), {}, WaitKind::OverScreen);
        else if (f.hasFocus(dbgOperador))
            f.loadTable(cdsOperTipoServ, QStringLiteral("GetOperTipoServ"), {code(cdsTipoServico, "CDTIPOSERV")},
                        WaitKind::OverScreen);
    } else {
        if (f.hasFocus(dbgOperDad))
            f.loadTable(cdsOperador, QStringLiteral("GetOperador"), {}, WaitKind::OverScreen);
        else if (f.hasFocus(dbgTpServOper))
            f.loadTable(cdsTipoServOper, QStringLiteral("GetTipoServOper"), {code(cdsOperador, "CDOPERADOR")},
                        WaitKind::OverScreen);
    }
}

void TServiceTypesPage::enable(QWidget *sheet, bool browse, ToolActions &a) const {
    auto F = [this](TDBGrid *g) { return f.hasFocus(g); };
    a.siblingTabs = a.otherPages = browse;
    a.imprimir = browse;
    if (sheet == tshDadTipServ) {
        // Inserts and deletes only in the operators of a service type.
        a.incluir = browse && F(dbgOperador);
        a.alterar = browse && ((HasRows(cdsTipoServico) && F(dbgTipoServico)) || (HasRows(cdsOperTipoServ) && F(dbgOperador)));
        a.procurar = a.verificar = a.alterar;
        a.excluir = a.alterar && F(dbgOperador);
    } else {
        a.incluir = browse && F(dbgTpServOper);
        a.alterar = a.excluir = browse && HasRows(cdsTipoServOper) && F(dbgTpServOper);
        a.procurar = a.verificar = browse && ((HasRows(cdsOperador) && F(dbgOperDad)) || a.alterar);
    }
}
