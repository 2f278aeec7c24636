// Volume discount bands by number of systems and by number of users: the
// band records, the grids' key filter, what leaving a column does, the steps
// before a band is posted, and the sending of every posted or deleted band.
// Both lists run the same code; their descriptors say where they differ.
#include "bands.h"

#include "band_checks.h"
#include "db_grid.h"
#include "dialogs.h"
#include "frm_tb_pre_pro_com.h"
#include "numeric_input.h"
#include "routines.h"

#include <optional>

using namespace Cli_cot00300;

namespace Bands {

BandSide Systems(TfrmTbPreProCom &f) {
    BandSide s;
    s.table = f.cdsDescSist;
    s.grid = f.dbgDescSis;
    s.page = f.tshDescSist;
    s.firstField = QStringLiteral("QTINISISTEMAS");
    s.lastField = QStringLiteral("QTFINSISTEMAS");
    s.percentField = QStringLiteral("VRPERCDESCSIST");
    s.saveMethod = QStringLiteral("setDescSis");
    s.largestLast = 20;
    s.msgFirstMissing = QStringLiteral("QTINI_INF");
    s.msgLastMissing = QStringLiteral("QTFIN_INF");
    s.msgLastTooLarge = QStringLiteral("QTFINSIS_MAIOR");
    s.sameStartMethod = QStringLiteral("getVdQtIniSis");
    s.sameStartAnswer = f.cdsVdQtIniSis;
    s.intervalMethod = QStringLiteral("getVdIntervSis");
    s.intervalAnswer = f.cdsVdIntervSis;
    s.intervalField = QStringLiteral("INTERVSIS");
    s.changedLastMethod = QStringLiteral("getVdFinSistEdit");
    s.changedLastAnswer = f.cdsVdFinSistEdit;
    s.largestEndBelowField = QStringLiteral("FINSIST");
    s.rememberedFirst = &stVerEditSis;
    s.remembersFirstBeforeEdit = false;
    s.checksLastOnLeavingIt = false;
    s.checksFirstBeforePost = true;
    s.waitsWhileSendingAfterPost = false;
    return s;
}

BandSide Users(TfrmTbPreProCom &f) {
    BandSide s;
    s.table = f.cdsDescUsu;
    s.grid = f.dbgDescUsu;
    s.page = f.tshDescUsu;
    s.firstField = QStringLiteral("QTINIUSUARIOS");
    s.lastField = QStringLiteral("QTFINUSUARIOS");
    s.percentField = QStringLiteral("VRPERCDESCUSU");
    s.saveMethod = QStringLiteral("setDescUsu");
    s.largestLast = 150;
    s.msgFirstMissing = QStringLiteral("QTINI_INFUSU");
    s.msgLastMissing = QStringLiteral("QTFIN_INFUSU");
    s.msgLastTooLarge = QStringLiteral("QTFINUSU_MAIOR");
    s.sameStartMethod = QStringLiteral("getVdQtIniusu");
    s.sameStartAnswer = f.cdsVdQtIniUsu;
    s.intervalMethod = QStringLiteral("getVdIntervUsu");
    s.intervalAnswer = f.cdsVdIntervUsu;
    s.intervalField = QStringLiteral("INTERVUSU");
    s.changedLastMethod = QStringLiteral("getVdFinUsuEdit");
    s.changedLastAnswer = f.cdsVdFinUsuEdit;
    s.largestEndBelowField = QStringLiteral("FINUSU");
    s.rememberedFirst = &stVerEditUsu;
    s.remembersFirstBeforeEdit = true;
    s.checksLastOnLeavingIt = true;
    s.checksFirstBeforePost = false;
    s.waitsWhileSendingAfterPost = true;
    return s;
}

namespace {

bool Is(const TField *field, const QString &name) {
    return field && field->FieldName().compare(name, Qt::CaseInsensitive) == 0;
}

bool IsDigit(QChar key) { return key >= QLatin1Char('0') && key <= QLatin1Char('9'); }

constexpr ushort kBackspace = 8;

}  // namespace

void BeforeEdit(TfrmTbPreProCom &, const BandSide &s) {
    TField *first = s.table->FieldByName(s.firstField);
    qint64 n = 0;
    inQtIniAux = BandChecks::WholeNumber(first->AsString(), &n) ? qint32(n) : 0;
    if (s.remembersFirstBeforeEdit) *s.rememberedFirst = first->AsString();
}

void AfterEdit(TfrmTbPreProCom &, const BandSide &s) {
    if (!s.remembersFirstBeforeEdit) *s.rememberedFirst = s.table->FieldByName(s.firstField)->AsString();
}

void KeyPress(TfrmTbPreProCom &, const BandSide &s, QChar &key) {
    TField *selected = s.grid->SelectedField();
    if (!selected) return;
    const bool quantity = Is(selected, s.firstField) || Is(selected, s.lastField);
    const bool percent = Is(selected, s.percentField);
    const bool backspace = key.unicode() == kBackspace;

    // Quantities are digits only.
    if (quantity && !backspace && !IsDigit(key)) key = QChar(0);
    // No sign anywhere.
    if (key == QLatin1Char('+') || key == QLatin1Char('-')) key = QChar(0);
    if (percent) {
        // The percentage: digits and one decimal separator, whichever came first.
        const bool separator = key == QLatin1Char(',') || key == QLatin1Char('.');
        if (!backspace && !separator && !IsDigit(key)) key = QChar(0);
        if (separator) {
            const QString text = GridText(s.grid, selected->FieldName(), true);
            if (text.contains(QLatin1Char('.')) || text.contains(QLatin1Char(','))) key = QChar(0);
        }
    }
    if ((quantity || percent) && !key.isNull()) Vd_Virgula(s.grid, selected->FieldName(), key);
}

void ColExit(TfrmTbPreProCom &f, const BandSide &s) {
    if (BandChecks::PlacingCursor()) return;
    TClientTable *t = s.table;
    TField *leaving = s.grid->SelectedField();
    if (!leaving || !t->IsEditing() || EmptyString(leaving->AsString())) return;
    const bool inserting = t->State() == DataSetState::Insert;
    if (Is(leaving, s.lastField)) {
        if (inserting) BandChecks::NewBand(f, s);
        else if (s.checksLastOnLeavingIt) BandChecks::ChangedLast(f, s);
        BandChecks::PadField(leaving);
    } else if (Is(leaving, s.firstField)) {
        if (inserting) BandChecks::NewBand(f, s);
        else BandChecks::ChangedFirst(f, s);
        BandChecks::PadField(leaving);
    }
}

void BeforePost(TfrmTbPreProCom &f, const BandSide &s) {
    TClientTable *t = s.table;
    if (t->State() == DataSetState::Insert) BandChecks::NewBand(f, s);
    else if (t->State() == DataSetState::Edit) BandChecks::ChangedLast(f, s);

    if (s.checksFirstBeforePost) BandChecks::ChangedFirst(f, s);

    if (t->IsEditing()) t->FieldByName(QStringLiteral("CDPRECOPROP"))->SetAsString(BandChecks::ListPriceTable(f, s));

    BandChecks::RequiredValues(f, s, true);

    TField *first = t->FieldByName(s.firstField);
    TField *last = t->FieldByName(s.lastField);
    qint64 from = 0, to = 0;
    if (BandChecks::WholeNumber(first->AsString(), &from) && BandChecks::WholeNumber(last->AsString(), &to) && from > to)
        BandChecks::Refuse(last, f.msgPadrao.Msg(QStringLiteral("QTFIN_MAIOR")));

    BandChecks::PadField(last);
}

void SendChanges(TfrmTbPreProCom &f, const BandSide &s, bool withWait) {
    TClientTable *t = s.table;
    if (t->ChangeCount() == 0) return;
    {
        std::optional<WaitAnimation> wait;
        if (withWait) wait.emplace(&f, 1);
        CheckResultServ(f.netTbPreProCom->Call(s.saveMethod, {RpcArg(t->GetDelta())}), true, 0);
    }
    if (t->LogChanges) t->MergeChangeLog();
}

void AfterPost(TfrmTbPreProCom &f, const BandSide &s) { SendChanges(f, s, s.waitsWhileSendingAfterPost); }

void AfterDelete(TfrmTbPreProCom &f, const BandSide &s) {
    SendChanges(f, s, true);
    f.sbtVerificarClick();
}

}  // namespace Bands

// ---------------------------------------------------------------- the screen's handlers

void TfrmTbPreProCom::wireBands() {
    cdsDescSist->BeforeEdit = [this](TClientTable &) { cdsDescSistBeforeEdit(); };
    cdsDescSist->AfterEdit = [this](TClientTable &) { cdsDescSistAfterEdit(); };
    cdsDescSist->BeforePost = [this](TClientTable &) { cdsDescSistBeforePost(); };
    cdsDescSist->AfterPost = [this](TClientTable &) { cdsDescSistAfterPost(); };
    cdsDescSist->AfterDelete = [this](TClientTable &) { cdsDescSistAfterDelete(); };
    dbgDescSis->OnColExit = [this] { dbgDescSisColExit(); };
    dbgDescSis->OnKeyPress = [this](QChar &key) { dbgDescSisKeyPress(key); };

    cdsDescUsu->BeforeEdit = [this](TClientTable &) { cdsDescUsuBeforeEdit(); };
    cdsDescUsu->BeforePost = [this](TClientTable &) { cdsDescUsuBeforePost(); };
    cdsDescUsu->AfterPost = [this](TClientTable &) { cdsDescUsuAfterPost(); };
    cdsDescUsu->AfterDelete = [this](TClientTable &) { cdsDescUsuAfterDelete(); };
    dbgDescUsu->OnColExit = [this] { dbgDescUsuColExit(); };
    dbgDescUsu->OnKeyPress = [this](QChar &key) { dbgDescUsuKeyPress(key); };
}

void TfrmTbPreProCom::cdsDescSistBeforeEdit() { Bands::BeforeEdit(*this, Bands::Systems(*this)); }
void TfrmTbPreProCom::cdsDescSistAfterEdit() { Bands::AfterEdit(*this, Bands::Systems(*this)); }
void TfrmTbPreProCom::cdsDescSistBeforePost() { Bands::BeforePost(*this, Bands::Systems(*this)); }
void TfrmTbPreProCom::cdsDescSistAfterPost() { Bands::AfterPost(*this, Bands::Systems(*this)); }
void TfrmTbPreProCom::cdsDescSistAfterDelete() { Bands::AfterDelete(*this, Bands::Systems(*this)); }
void TfrmTbPreProCom::dbgDescSisColExit() { Bands::ColExit(*this, Bands::Systems(*this)); }
void TfrmTbPreProCom::dbgDescSisKeyPress(QChar &key) { Bands::KeyPress(*this, Bands::Systems(*this), key); }

void TfrmTbPreProCom::cdsDescUsuBeforeEdit() { Bands::BeforeEdit(*this, Bands::Users(*this)); }
void TfrmTbPreProCom::cdsDescUsuBeforePost() { Bands::BeforePost(*this, Bands::Users(*this)); }
void TfrmTbPreProCom::cdsDescUsuAfterPost() { Bands::AfterPost(*this, Bands::Users(*this)); }
void TfrmTbPreProCom::cdsDescUsuAfterDelete() { Bands::AfterDelete(*this, Bands::Users(*this)); }
void TfrmTbPreProCom::dbgDescUsuColExit() { Bands::ColExit(*this, Bands::Users(*this)); }
void TfrmTbPreProCom::dbgDescUsuKeyPress(QChar &key) { Bands::KeyPress(*this, Bands::Users(*this), key); }
