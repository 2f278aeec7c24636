// The client tables of the maintenance screen and their fields.
#include "frm_tb_pre_pro_com.h"

namespace {

TField *money(TClientTable *t, const QString &name, const QString &label) {
    TField *f = t->AddField(name, FieldType::Float, 0, label);
    f->DisplayFormat = QStringLiteral("#,##0.00");
    f->EditFormat = QStringLiteral("0.00");
    return f;
}

TField *hidden(TField *f) {
    f->Visible = false;
    return f;
}

}  // namespace

void TfrmTbPreProCom::defineTables() {
    auto table = [this](const char *name) { return new TClientTable(QString::fromLatin1(name), this); };

    cdsTbPreco = table("cdsTbPreco");
    cdsTbPreco->AddField("CDPRECOPROP", FieldType::String, 10, "Código")->ReadOnly = true;
    cdsTbPreco->AddField("NMPRECOPROP", FieldType::String, 50, "Nome");
    cdsTbPreco->AddField("DTINIPRECOPROP", FieldType::DateTime, 0, "Início Vigência");
    cdsTbPreco->AddField("DTFINPRECOPROP", FieldType::DateTime, 0, "Fim Vigência");
    money(cdsTbPreco, "VRPRECOUNITSIST", "Preço Unitário");
    money(cdsTbPreco, "VRPERCMANUTANO", "% Manutenção Anual");
    cdsTbPreco->AddField("NRMESPRAZOLOCA", FieldType::Float, 0, "Prazo Locação(Meses)");
    money(cdsTbPreco, "VRPEDESFILIMATR", "% Desconto Filial / Matriz");
    money(cdsTbPreco, "VRPEDESFILIFILI", "% Desconto Filial / Filial");

    cdsDescSist = table("cdsDescSist");
    hidden(cdsDescSist->AddField("CDPRECOPROP", FieldType::String, 10));
    cdsDescSist->AddField("QTINISISTEMAS", FieldType::String, 5, "De");
    cdsDescSist->AddField("QTFINSISTEMAS", FieldType::String, 5, "Até");
    money(cdsDescSist, "VRPERCDESCSIST", "%Desconto");

    cdsDescUsu = table("cdsDescUsu");
    hidden(cdsDescUsu->AddField("CDPRECOPROP", FieldType::String, 10));
    cdsDescUsu->AddField("QTINIUSUARIOS", FieldType::String, 5, "De");
    cdsDescUsu->AddField("QTFINUSUARIOS", FieldType::String, 5, "Até");
    money(cdsDescUsu, "VRPERCDESCUSU", "%Desconto");

    cdsPerOper = table("cdsPerOper");
    cdsPerOper->AddField("CDOPERADOR", FieldType::String, 12, "Operador");
    cdsPerOper->AddField("NMOPERADOR", FieldType::String, 40, "Nome Operador");
    hidden(cdsPerOper->AddField("CDPRECOPROP", FieldType::String, 10));
    cdsPerOper->AddField("IDTIPODESCOPER", FieldType::String, 1, "Tipo");
    cdsPerOper->AddField("VRPERCDESCOPER", FieldType::Float, 0, "%Desconto")->DisplayFormat = "#,##0.00";

    // Answers of the server-side checks.
    cdsVdQtIniSis = table("cdsVdQtIniSis");
    cdsVdQtIniSis->AddField("CDPRECOPROP", FieldType::String, 10);
    cdsVdQtIniSis->AddField("QTINISISTEMAS", FieldType::String, 5);
    cdsVdQtIniUsu = table("cdsVdQtIniUsu");
    cdsVdQtIniUsu->AddField("CDPRECOPROP", FieldType::String, 10);
    cdsVdQtIniUsu->AddField("QTINIUSUARIOS", FieldType::String, 5);
    cdsVdIntervSis = table("cdsVdIntervSis");
    cdsVdIntervSis->AddField("INTERVSIS", FieldType::String, 13);
    cdsVdIntervUsu = table("cdsVdIntervUsu");
    cdsVdIntervUsu->AddField("INTERVUSU", FieldType::String, 13);
    cdsVdFinSistEdit = table("cdsVdFinSistEdit");
    cdsVdFinSistEdit->AddField("QTINISISTEMAS", FieldType::String, 5);
    cdsVdFinSistEdit->AddField("QTFINSISTEMAS", FieldType::String, 5);
    cdsVdFinUsuEdit = table("cdsVdFinUsuEdit");
    cdsVdFinUsuEdit->AddField("QTINIUSUARIOS", FieldType::String, 5);
    cdsVdFinUsuEdit->AddField("QTFINUSUARIOS", FieldType::String, 5);
    cdsQtMaxFin = table("cdsQtMaxFin");
    cdsQtMaxFin->AddField("FINSIST", FieldType::String, 5);
    cdsQtMaxFin->AddField("FINUSU", FieldType::String, 5);
    cdsVdOpTipo = table("cdsVdOpTipo");
    cdsVdOpTipo->AddField("CDOPERADOR", FieldType::String, 12);
    cdsVdOpTipo->AddField("CDPRECOPROP", FieldType::String, 10);
    cdsVdOpTipo->AddField("IDTIPODESCOPER", FieldType::String, 1);

    cdsTipoServico = table("cdsTipoServico");
    cdsTipoServico->AddField("CDTIPOSERV", FieldType::String, 3, "Código");
    cdsTipoServico->AddField("NMTIPOSERV", FieldType::String, 80, "Serviço");
    cdsTipoServico->AddField("IDPROPSERVWEB", FieldType::String, 1, "Proposta Web");
    cdsTipoServico->AddField("IDSERVOBRIGPROS", FieldType::String, 2, "Proposta Prospect");
    money(cdsTipoServico, "VRPADRAOSERVNAC", "Vr. Padrão Nacional");
    money(cdsTipoServico, "VRPADRAOSERVINT", "Vr. Padrão Internacional");

    auto operTipoServFields = [](TClientTable *t) {
        hidden(t->AddField("CDTIPOSERV", FieldType::String, 3));
        hidden(t->AddField("NROPERTIPOSERV", FieldType::Float, 0));
        t->AddField("CDOPERADOR", FieldType::String, 12, "Código");
        t->AddField("NMOPERADOR", FieldType::String, 40, "Nome do Operador");
        money(t, "VRPEDESOPERSERV", "%Percentual");
    };
    cdsOperTipoServ = table("cdsOperTipoServ");
    operTipoServFields(cdsOperTipoServ);
    cdsOperTipoServAux = table("cdsOperTipoServAux");
    operTipoServFields(cdsOperTipoServAux);

    cdsMaxOperTipoServ = table("cdsMaxOperTipoServ");
    cdsMaxOperTipoServ->AddField("NROPERTIPOSERV", FieldType::Float);

    cdsOperador = table("cdsOperador");
    cdsOperador->AddField("CDOPERADOR", FieldType::String, 12, "Código");
    cdsOperador->AddField("NMOPERADOR", FieldType::String, 40, "Nome do Operador");

    auto tipoServOperFields = [](TClientTable *t) {
        t->AddField("CDTIPOSERV", FieldType::String, 3, "Código");
        t->AddField("NMTIPOSERV", FieldType::String, 80, "Serviço");
        money(t, "VRPEDESOPERSERV", "%Percentual");
        hidden(t->AddField("NROPERTIPOSERV", FieldType::Float, 0));
        hidden(t->AddField("CDOPERADOR", FieldType::String, 12));
    };
    cdsTipoServOper = table("cdsTipoServOper");
    tipoServOperFields(cdsTipoServOper);
    cdsTipoServOperAux = table("cdsTipoServOperAux");
    tipoServOperFields(cdsTipoServOperAux);

    cdsPesqTipoServ = table("cdsPesqTipoServ");
    cdsPesqTipoServ->AddField("CDTIPOSERV", FieldType::String, 3, "Código");
    cdsPesqTipoServ->AddField("NMTIPOSERV", FieldType::String, 80, "Serviço");

    auto source = [this](TClientTable *t) { return new TDataSource(t, this); };
    dtsTbPreco = source(cdsTbPreco);
    dtsDescSist = source(cdsDescSist);
    dtsDescUsu = source(cdsDescUsu);
    dtsPerOper = source(cdsPerOper);
    dtsTipoServico = source(cdsTipoServico);
    dtsOperTipoServ = source(cdsOperTipoServ);
    dtsOperador = source(cdsOperador);
    dtsTipoServOper = source(cdsTipoServOper);
    dtsPesqTipoServ = source(cdsPesqTipoServ);
}
