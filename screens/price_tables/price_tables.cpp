// Page family "Tabela de Preço": the price table records, the new code from
// the server, the checks before a row is posted, sending every post and
// delete at once, and the numeric key rules of the price grid.
#include "price_tables.h"
#include "method_names.h"

#include "check_date.h"
#include "dialogs.h"
#include "errors.h"
#include "module_state.h"
#include "page_host.h"
#include "host_services.h"
#include "numeric_input.h"
#include "routines.h"
#include "value_limits.h"

namespace {

const ColumnSpecs &Columns() {
    const Vocabulary::Table &t = Vocabulary::PriceTable;
    static const ColumnSpecs specs = {
        ReadOnly(DeclaredColumn(t["CDPRECOPROP"], 82, 0)),
        DeclaredColumn(t["NMPRECOPROP"], 189, 1),
        DeclaredColumn(t["DTINIPRECOPROP"], 84, 2),
        DeclaredColumn(t["DTFINPRECOPROP"], 80, 3),
        DeclaredColumn(t["VRPRECOUNITSIST"], 73, 4),
        // Stored as the yearly maintenance amount per system, whatever its old
        // name says; the price report turns it into a percentage of the unit
        // price, which the cell shows beside the amount.
        WithHint(DeclaredColumn(t["VRPERCMANUTANO"], 150, 5),
                 "Valor anual da manutenção por sistema, em reais (não é um percentual): 200,00 num Preço Unitário "
                 "de 1.000,00 é uma manutenção de 20 % ao ano. Entre parênteses, o percentual do Preço Unitário "
                 "que o valor representa, como o relatório e a calculadora o usam."),
        DeclaredColumn(t["NRMESPRAZOLOCA"], 112, 6),
        // The grid shows the branch/branch discount before the branch/head-office one.
        DeclaredColumn(t["VRPEDESFILIMATR"], 128, 8),
        DeclaredColumn(t["VRPEDESFILIFILI"], 117, 7),
    };
    return specs;
}

// "200,00 (20,00 %)": the amount and the share of the unit price it is, as
// the calculator shows it; typed as the amount alone.
QString MaintenanceText(TField &amount, bool display) {
    const QString text = amount.DefaultText(display);
    if (!display || amount.IsNull()) return text;
    const double unitPrice = amount.DataSet()->FieldByName(QStringLiteral("VRPRECOUNITSIST"))->AsFloat();
    if (unitPrice <= 0) return text;
    return QStringLiteral("%1 (%2 %)").arg(text, NumberText::format(amount.AsFloat() / unitPrice * 100, QStringLiteral("#,##0.00")));
}

}  // namespace

TPriceTablesPage::TPriceTablesPage(TPageHost &frame) : TScreenPage(frame) {
    cdsTbPreco = new TClientTable(QStringLiteral("cdsTbPreco"), this);
    DefineFields(cdsTbPreco, Columns());
    cdsTbPreco->KeyOrder = {QStringLiteral("CDPRECOPROP")};  // getTbPreco's order
    dtsTbPreco = new TDataSource(cdsTbPreco, this);
    dbgTabelaPreco = MakeGrid("dbgTabelaPreco", dtsTbPreco, Columns(), true);
    tshTabelaPreco = GridSheet("tshTabelaPreco", QStringLiteral("Tabela de Preço"), dbgTabelaPreco);

    cdsTbPreco->BeforeInsert = [this](TClientTable &) { cdsTbPrecoBeforeInsert(); };
    cdsTbPreco->AfterInsert = [this](TClientTable &) { cdsTbPrecoAfterInsert(); };
    cdsTbPreco->BeforePost = [this](TClientTable &) { cdsTbPrecoBeforePost(); };
    cdsTbPreco->AfterPost = [this](TClientTable &) { cdsTbPrecoAfterPost(); };
    cdsTbPreco->BeforeDelete = [this](TClientTable &) { cdsTbPrecoBeforeDelete(); };
    cdsTbPreco->AfterDelete = [this](TClientTable &) { cdsTbPrecoAfterDelete(); };
    cdsTbPreco->FieldByName("DTINIPRECOPROP")->OnSetText = [this](TField &fd, const QString &text) {
        cdsTbPrecoDTINIPRECOPROPSetText(fd, text);
    };
    cdsTbPreco->FieldByName("DTFINPRECOPROP")->OnSetText = [this](TField &fd, const QString &text) {
        cdsTbPrecoDTFINPRECOPROPSetText(fd, text);
    };
    cdsTbPreco->FieldByName("VRPERCMANUTANO")->OnGetText = MaintenanceText;
    dbgTabelaPreco->OnColExit = [this] { dbgTabelaPrecoColExit(); };
    dbgTabelaPreco->OnKeyPress = [this](QChar &key) { dbgTabelaPrecoKeyPress(key); };
}

QString TPriceTablesPage::currentCode() const {
    return cdsTbPreco->Active() && !cdsTbPreco->IsEmpty() ? cdsTbPreco->FieldByName("CDPRECOPROP")->AsString() : QString();
}

QString TPriceTablesPage::currentName() const {
    return cdsTbPreco->Active() && !cdsTbPreco->IsEmpty() ? cdsTbPreco->FieldByName("NMPRECOPROP")->AsString() : QString();
}

void TPriceTablesPage::reloadKeepingRow(WaitKind wait) {
    const QString code = currentCode();
    load(wait);
    if (!code.isEmpty()) cdsTbPreco->Locate(QStringLiteral("CDPRECOPROP"), code);
}

void TPriceTablesPage::load(WaitKind wait, const RpcReply *answered) {
    if (answered) f.readList(cdsTbPreco, [&] { cdsTbPreco->LoadPacket(CheckResultPacket(*answered)); });
    else f.loadTable(cdsTbPreco, Method::getTbPreco, {}, wait);
    m_read.read();
}

void TPriceTablesPage::shown(QWidget *) {
    f.actOn(cdsTbPreco);
    f.showNameOf(dtsTbPreco);
    if (!m_read.holds(cdsTbPreco)) reloadKeepingRow(WaitKind::OverScreen);
}

void TPriceTablesPage::refresh(QWidget *) {
    // Only with the focus in the list: a tab with the focus says the user is
    // on the way elsewhere.
    if (!f.hasFocus(dbgTabelaPreco)) return;
    f.actOn(cdsTbPreco);
    load(WaitKind::OverMainWindow);
    AtualizaLocalCache({Vocabulary::PriceTable.tableName()});
}

void TPriceTablesPage::enable(QWidget *, bool browse, ToolActions &a) const {
    a.incluir = browse;
    a.alterar = a.excluir = a.procurar = a.verificar = a.imprimir = browse && HasRows(cdsTbPreco);
    // The lists of a price table open only when there is one.
    a.siblingTabs = browse && HasRows(cdsTbPreco);
    // A copy starts from the stored table: not while a change of it is pending.
    a.copiar = browse && HasRows(cdsTbPreco) && cdsTbPreco->ChangeCount() == 0;
    a.otherPages = browse;
}

void TPriceTablesPage::cdsTbPrecoBeforeInsert() {
    // A new price table starts in "Nome": its code comes from the server.
    dbgTabelaPreco->SetSelectedField(cdsTbPreco->FieldByName("NMPRECOPROP"));
}

void TPriceTablesPage::cdsTbPrecoAfterInsert() {
    QString code;
    {
        WaitAnimation wait(f.screen(), WaitKind::OverScreen);
        // A failed call is reported like any other: the row stays, without a code.
        code = CheckResultServ(f.connection().Call(Method::PrxPrecoProp, {})).toString();
    }
    cdsTbPreco->FieldByName("CDPRECOPROP")->SetAsString(code);
}

void TPriceTablesPage::cdsTbPrecoDTINIPRECOPROPSetText(TField &field, const QString &text) { CheckDateTime(field, text); }
void TPriceTablesPage::cdsTbPrecoDTFINPRECOPROPSetText(TField &field, const QString &text) { CheckDateTime(field, text); }

void TPriceTablesPage::vd_PRECOPROPOSTA(bool show) {
    auto field = [this](const char *name) { return cdsTbPreco->FieldByName(QString::fromLatin1(name)); };
    auto refuse = [this](TField *fd, const char *key) {
        fd->FocusControl();
        MensErro(f.messages().Msg(QString::fromLatin1(key)), true);
    };
    // A missing value: refused with its message, or with the flag off the
    // chain just ends.
    auto required = [&](const char *name, const char *key) {
        TField *f = field(name);
        if (!EmptyString(f->AsString())) return true;
        if (show) refuse(f, key);
        return false;
    };

    if (!required("NMPRECOPROP", "NMPROP_INF")) return;
    if (!required("DTINIPRECOPROP", "INIVIG_INF")) return;
    if (!required("DTFINPRECOPROP", "FINVIG_INF")) return;
    if (field("DTFINPRECOPROP")->AsDateTime() < field("DTINIPRECOPROP")->AsDateTime())
        refuse(field("DTINIPRECOPROP"), "DT_MAIOR_IGUAL");
    if (!required("VRPRECOUNITSIST", "PRUNIT_INF")) return;
    if (!required("VRPERCMANUTANO", "MANUT_INF")) return;
    if (!required("NRMESPRAZOLOCA", "PLOC_INF")) return;
    if (!required("VRPEDESFILIFILI", "DESFILI_INF")) return;
    if (!required("VRPEDESFILIMATR", "DESMATR_INF")) return;
    const double filial = field("VRPEDESFILIFILI")->AsFloat();
    if (!Limits::isPercent(filial)) refuse(field("VRPEDESFILIFILI"), "DESFILI_MENOR_MAIOR");
    const double matriz = field("VRPEDESFILIMATR")->AsFloat();
    if (!Limits::isPercent(matriz)) refuse(field("VRPEDESFILIMATR"), "DESMATR_MENOR_MAIOR");
}

void TPriceTablesPage::cdsTbPrecoBeforePost() { vd_PRECOPROPOSTA(true); }

void TPriceTablesPage::cdsTbPrecoAfterPost() {
    ApplyChanges(f.connection(), *cdsTbPreco, Method::SetIncTbPre,
                 {WaitKind::OverScreen, f.screen(), {Vocabulary::PriceTable.tableName()}});
}

void TPriceTablesPage::cdsTbPrecoBeforeDelete() {
    // The market segments hear of it before the price table goes.
    {
        WaitAnimation wait(f.screen(), WaitKind::OverScreen);
        CheckResultServ(f.connection().Call(Method::setTbPrecSegMer, {currentCode()}));
    }
    AtualizaLocalCache({QStringLiteral("SEGMERCADO")});
    f.redraw();
}

void TPriceTablesPage::cdsTbPrecoAfterDelete() {
    f.redraw();
    ApplyChanges(f.connection(), *cdsTbPreco, Method::SetIncTbPre,
                 {WaitKind::OverScreen, f.screen(), {Vocabulary::PriceTable.tableName(), QStringLiteral("SEGMERCADO")}});
    f.refreshInFront();
}

void TPriceTablesPage::dbgTabelaPrecoColExit() {
    TField *left = dbgTabelaPreco->SelectedField();
    if (left && left->FieldName() == QLatin1String("DTFINPRECOPROP") && cdsTbPreco->IsEditing()) vd_PRECOPROPOSTA(false);
}

void TPriceTablesPage::dbgTabelaPrecoKeyPress(QChar &key) {
    TField *f = dbgTabelaPreco->SelectedField();
    const Vocabulary::Column *declared = f ? Vocabulary::PriceTable.find(f->FieldName()) : nullptr;
    if (!declared || !declared->isNumber()) return;
    const QString name = f->FieldName();
    const bool separator = key == QLatin1Char(',') || key == QLatin1Char('.');
    if (key != QChar(8) && !separator && !(key >= QLatin1Char('0') && key <= QLatin1Char('9'))) {
        key = QChar(0);
        return;
    }
    Vd_Virgula(dbgTabelaPreco, name, key);
}
