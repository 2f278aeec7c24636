// Price table records: the new code from the server, the checks before a row
// is posted, sending every post and delete at once, and the numeric key rules
// of the price grid.
#include "frm_tb_pre_pro_com.h"

#include "check_date.h"
#include "dialogs.h"
#include "errors.h"
#include "host_services.h"
#include "numeric_input.h"
#include "routines.h"

namespace {

const QStringList kNumericColumns = {"VRPRECOUNITSIST", "VRPERCMANUTANO", "NRMESPRAZOLOCA", "VRPEDESFILIFILI",
                                     "VRPEDESFILIMATR"};

}  // namespace

void TfrmTbPreProCom::wirePriceTables() {
    cdsTbPreco->BeforeInsert = [this](TClientTable &) { cdsTbPrecoBeforeInsert(); };
    cdsTbPreco->AfterInsert = [this](TClientTable &) { cdsTbPrecoAfterInsert(); };
    cdsTbPreco->BeforePost = [this](TClientTable &) { cdsTbPrecoBeforePost(); };
    cdsTbPreco->AfterPost = [this](TClientTable &) { cdsTbPrecoAfterPost(); };
    cdsTbPreco->BeforeDelete = [this](TClientTable &) { cdsTbPrecoBeforeDelete(); };
    cdsTbPreco->AfterDelete = [this](TClientTable &) { cdsTbPrecoAfterDelete(); };
    cdsTbPreco->FieldByName("DTINIPRECOPROP")->OnSetText = [this](TField &f, const QString &text) {
        cdsTbPrecoDTINIPRECOPROPSetText(f, text);
    };
    cdsTbPreco->FieldByName("DTFINPRECOPROP")->OnSetText = [this](TField &f, const QString &text) {
        cdsTbPrecoDTFINPRECOPROPSetText(f, text);
    };
    dbgTabelaPreco->OnColExit = [this] { dbgTabelaPrecoColExit(); };
    dbgTabelaPreco->OnKeyPress = [this](QChar &key) { dbgTabelaPrecoKeyPress(key); };
}

void TfrmTbPreProCom::cdsTbPrecoBeforeInsert() {
    // A new price table starts in "Nome": its code comes from the server.
    dbgTabelaPreco->SetSelectedField(cdsTbPreco->FieldByName("NMPRECOPROP"));
}

void TfrmTbPreProCom::cdsTbPrecoAfterInsert() {
    QString code;
    {
        WaitAnimation wait(this, 1);
        // A failed call is reported like any other: the row stays, without a code.
        code = CheckResultServ(netTbPreProCom->Call(QStringLiteral("PrxPrecoProp"), {})).toString();
    }
    cdsTbPreco->FieldByName("CDPRECOPROP")->SetAsString(code);
}

void TfrmTbPreProCom::cdsTbPrecoDTINIPRECOPROPSetText(TField &field, const QString &text) { CheckDateTime(field, text); }
void TfrmTbPreProCom::cdsTbPrecoDTFINPRECOPROPSetText(TField &field, const QString &text) { CheckDateTime(field, text); }

void TfrmTbPreProCom::vd_PRECOPROPOSTA(bool show) {
    auto field = [this](const char *name) { return cdsTbPreco->FieldByName(QString::fromLatin1(name)); };
    auto refuse = [this](TField *f, const char *key) {
        f->FocusControl();
        MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
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
    if (filial > 100 || filial < 0) refuse(field("VRPEDESFILIFILI"), "DESFILI_MENOR_MAIOR");
    const double matriz = field("VRPEDESFILIMATR")->AsFloat();
    if (matriz > 100 || matriz < 0) refuse(field("VRPEDESFILIMATR"), "DESMATR_MENOR_MAIOR");
}

void TfrmTbPreProCom::cdsTbPrecoBeforePost() { vd_PRECOPROPOSTA(true); }

void TfrmTbPreProCom::cdsTbPrecoAfterPost() {
    if (cdsTbPreco->ChangeCount() == 0) return;
    {
        WaitAnimation wait(this, 1);
        CheckResultServ(netTbPreProCom->Call(QStringLiteral("SetIncTbPre"), {cdsTbPreco->GetDelta()}));
    }
    if (cdsTbPreco->LogChanges) {
        cdsTbPreco->MergeChangeLog();
        AtualizaLocalCache({QStringLiteral("PRECOPROPOSTA")});
    }
}

void TfrmTbPreProCom::cdsTbPrecoBeforeDelete() {
    // The market segments hear of it before the price table goes.
    {
        WaitAnimation wait(this, 1);
        CheckResultServ(netTbPreProCom->Call(QStringLiteral("setTbPrecSegMer"), {currentPriceTable()}));
    }
    AtualizaLocalCache({QStringLiteral("SEGMERCADO")});
    repaint();
}

void TfrmTbPreProCom::cdsTbPrecoAfterDelete() {
    if (cdsTbPreco->ChangeCount() > 0) {
        repaint();
        {
            WaitAnimation wait(this, 1);
            CheckResultServ(netTbPreProCom->Call(QStringLiteral("SetIncTbPre"), {cdsTbPreco->GetDelta()}));
        }
        if (cdsTbPreco->LogChanges) {
            cdsTbPreco->MergeChangeLog();
            AtualizaLocalCache({QStringLiteral("PRECOPROPOSTA")});
        }
        AtualizaLocalCache({QStringLiteral("SEGMERCADO")});
    }
    sbtVerificarClick();
}

void TfrmTbPreProCom::dbgTabelaPrecoColExit() {
    TField *left = dbgTabelaPreco->SelectedField();
    if (left && left->FieldName() == QLatin1String("DTFINPRECOPROP") && cdsTbPreco->IsEditing()) vd_PRECOPROPOSTA(false);
}

void TfrmTbPreProCom::dbgTabelaPrecoKeyPress(QChar &key) {
    TField *f = dbgTabelaPreco->SelectedField();
    if (!f || !kNumericColumns.contains(f->FieldName())) return;
    const QString name = f->FieldName();
    const bool separator = key == QLatin1Char(',') || key == QLatin1Char('.');
    if (key != QChar(8) && !separator && !(key >= QLatin1Char('0') && key <= QLatin1Char('9'))) {
        key = QChar(0);
        return;
    }
    if (separator) {
        const QString text = GridText(dbgTabelaPreco, name, true);
        if (text.contains(QLatin1Char('.')) || text.contains(QLatin1Char(','))) {
            key = QChar(0);
            return;
        }
    }
    Vd_Virgula(dbgTabelaPreco, name, key);
}
