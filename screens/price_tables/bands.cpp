// Volume discount bands by number of systems and by number of users: the
// band records, the grids' key filter, what leaving a column does, the steps
// before a band is posted, and the sending of every posted or deleted band.
// Both lists run the same code; their descriptors say where they differ.
#include "bands.h"
#include "method_names.h"
#include "value_limits.h"

#include "band_checks.h"
#include "db_grid.h"
#include "dialogs.h"
#include "module_state.h"
#include "page_host.h"
#include "numeric_input.h"
#include "routines.h"

using namespace Cli_cot00300;

BandSide TBandsPage::Systems() const {
    BandSide s;
    s.table = cdsDescSist;
    s.grid = dbgDescSis;
    s.page = tshDescSist;
    s.list = m_systems.get();
    s.firstField = QStringLiteral("QTINISISTEMAS");
    s.lastField = QStringLiteral("QTFINSISTEMAS");
    s.percentField = QStringLiteral("VRPERCDESCSIST");
    s.saveMethod = Method::setDescSis;
    s.largestLast = Limits::MaxSystems;
    s.msgFirstMissing = QStringLiteral("QTINI_INF");
    s.msgLastMissing = QStringLiteral("QTFIN_INF");
    s.msgLastTooLarge = QStringLiteral("QTFINSIS_MAIOR");
    s.sameStartMethod = Method::getVdQtIniSis;
    s.sameStartAnswer = cdsVdQtIniSis;
    s.intervalMethod = Method::getVdIntervSis;
    s.intervalAnswer = cdsVdIntervSis;
    s.intervalField = QStringLiteral("INTERVSIS");
    s.changedLastMethod = Method::getVdFinSistEdit;
    s.changedLastAnswer = cdsVdFinSistEdit;
    s.largestEndBelowAnswer = cdsQtMaxFin;
    s.largestEndBelowField = QStringLiteral("FINSIST");
    s.rememberedFirst = &stVerEditSis;
    s.remembersFirstBeforeEdit = false;
    s.checksLastOnLeavingIt = false;
    s.checksFirstBeforePost = true;
    s.waitsWhileSendingAfterPost = false;
    return s;
}

BandSide TBandsPage::Users() const {
    BandSide s;
    s.table = cdsDescUsu;
    s.grid = dbgDescUsu;
    s.page = tshDescUsu;
    s.list = m_users.get();
    s.firstField = QStringLiteral("QTINIUSUARIOS");
    s.lastField = QStringLiteral("QTFINUSUARIOS");
    s.percentField = QStringLiteral("VRPERCDESCUSU");
    s.saveMethod = Method::setDescUsu;
    s.largestLast = Limits::MaxUsers;
    s.msgFirstMissing = QStringLiteral("QTINI_INFUSU");
    s.msgLastMissing = QStringLiteral("QTFIN_INFUSU");
    s.msgLastTooLarge = QStringLiteral("QTFINUSU_MAIOR");
    s.sameStartMethod = Method::getVdQtIniusu;
    s.sameStartAnswer = cdsVdQtIniUsu;
    s.intervalMethod = Method::getVdIntervUsu;
    s.intervalAnswer = cdsVdIntervUsu;
    s.intervalField = QStringLiteral("INTERVUSU");
    s.changedLastMethod = Method::getVdFinUsuEdit;
    s.changedLastAnswer = cdsVdFinUsuEdit;
    s.largestEndBelowAnswer = cdsQtMaxFin;
    s.largestEndBelowField = QStringLiteral("FINUSU");
    s.rememberedFirst = &stVerEditUsu;
    s.remembersFirstBeforeEdit = true;
    s.checksLastOnLeavingIt = true;
    s.checksFirstBeforePost = false;
    s.waitsWhileSendingAfterPost = true;
    return s;
}

namespace Bands {

namespace {

bool IsDigit(QChar key) { return key >= QLatin1Char('0') && key <= QLatin1Char('9'); }

constexpr ushort kBackspace = 8;

}  // namespace

void BeforeEdit(TPageHost &, const BandSide &s) {
    TField *first = s.table->FieldByName(s.firstField);
    qint64 n = 0;
    inQtIniAux = BandChecks::WholeNumber(first->AsString(), &n) ? qint32(n) : 0;
    if (s.remembersFirstBeforeEdit) *s.rememberedFirst = first->AsString();
}

void AfterEdit(TPageHost &, const BandSide &s) {
    if (!s.remembersFirstBeforeEdit) *s.rememberedFirst = s.table->FieldByName(s.firstField)->AsString();
}

void KeyPress(TPageHost &, const BandSide &s, QChar &key) {
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
        // The percentage: digits and the separators Vd_Virgula places.
        const bool separator = key == QLatin1Char(',') || key == QLatin1Char('.');
        if (!backspace && !separator && !IsDigit(key)) key = QChar(0);
    }
    if ((quantity || percent) && !key.isNull()) Vd_Virgula(s.grid, selected->FieldName(), key);
}

void ColExit(TPageHost &f, const BandSide &s) {
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

void BeforePost(TPageHost &f, const BandSide &s) {
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
        BandChecks::Refuse(last, f.messages().Msg(QStringLiteral("QTFIN_MAIOR")));

    BandChecks::PadField(last);
}

void SendChanges(TPageHost &f, const BandSide &s, bool withWait) {
    ApplyChanges(f.connection(), *s.table, s.saveMethod, {withWait ? WaitKind::OverScreen : WaitKind::None, f.screen(), {}});
}

void AfterPost(TPageHost &f, const BandSide &s) { SendChanges(f, s, s.waitsWhileSendingAfterPost); }

void AfterDelete(TPageHost &f, const BandSide &s) {
    SendChanges(f, s, true);
    f.refreshInFront();
}

}  // namespace Bands

// ---------------------------------------------------------------- the page

namespace {

ColumnSpecs BandColumns(const Vocabulary::Table &t) {
    return {HiddenField(t.columns[0]), DeclaredColumn(t.columns[1], 123, 0), DeclaredColumn(t.columns[2], 102, 1),
            DeclaredColumn(t.columns[3], 99, 2)};
}

TClientTable *AnswerTable(QObject *owner, const char *name, std::initializer_list<std::pair<const char *, int>> fields) {
    auto *t = new TClientTable(QString::fromLatin1(name), owner);
    for (const auto &[field, size] : fields) t->AddField(QString::fromLatin1(field), FieldType::String, size);
    return t;
}

}  // namespace

TBandsPage::TBandsPage(TPageHost &frame) : TScreenPage(frame) {
    const ColumnSpecs systems = BandColumns(Vocabulary::SystemBands);
    const ColumnSpecs users = BandColumns(Vocabulary::UserBands);
    cdsDescSist = new TClientTable(QStringLiteral("cdsDescSist"), this);
    DefineFields(cdsDescSist, systems);
    cdsDescUsu = new TClientTable(QStringLiteral("cdsDescUsu"), this);
    DefineFields(cdsDescUsu, users);
    // A band typed anywhere takes its place by first quantity, as the server lists them.
    cdsDescSist->KeyOrder = {QStringLiteral("QTINISISTEMAS")};
    cdsDescUsu->KeyOrder = {QStringLiteral("QTINIUSUARIOS")};
    dtsDescSist = new TDataSource(cdsDescSist, this);
    dtsDescUsu = new TDataSource(cdsDescUsu, this);
    dbgDescSis = MakeGrid("dbgDescSis", dtsDescSist, systems, true);
    dbgDescUsu = MakeGrid("dbgDescUsu", dtsDescUsu, users, true);
    m_systems = std::make_unique<TPriceTableList>(f, cdsDescSist, dbgDescSis, Method::getDescSis, "tshDescSist",
                                                  QStringLiteral("Desconto por Sistema"));
    m_users = std::make_unique<TPriceTableList>(f, cdsDescUsu, dbgDescUsu, Method::getDescUsu, "tshDescUsu",
                                                QStringLiteral("Desconto por Usuário"));
    tshDescSist = m_systems->sheet;
    tshDescUsu = m_users->sheet;

    cdsVdQtIniSis = AnswerTable(this, "cdsVdQtIniSis", {{"CDPRECOPROP", 10}, {"QTINISISTEMAS", 5}});
    cdsVdQtIniUsu = AnswerTable(this, "cdsVdQtIniUsu", {{"CDPRECOPROP", 10}, {"QTINIUSUARIOS", 5}});
    cdsVdIntervSis = AnswerTable(this, "cdsVdIntervSis", {{"INTERVSIS", 13}});
    cdsVdIntervUsu = AnswerTable(this, "cdsVdIntervUsu", {{"INTERVUSU", 13}});
    cdsVdFinSistEdit = AnswerTable(this, "cdsVdFinSistEdit", {{"QTINISISTEMAS", 5}, {"QTFINSISTEMAS", 5}});
    cdsVdFinUsuEdit = AnswerTable(this, "cdsVdFinUsuEdit", {{"QTINIUSUARIOS", 5}, {"QTFINUSUARIOS", 5}});
    cdsQtMaxFin = AnswerTable(this, "cdsQtMaxFin", {{"FINSIST", 5}, {"FINUSU", 5}});

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

TBandsPage::~TBandsPage() = default;

const TPriceTableList &TBandsPage::list(QWidget *sheet) const { return sheet == tshDescUsu ? *m_users : *m_systems; }

void TBandsPage::shown(QWidget *sheet) { const_cast<TPriceTableList &>(list(sheet)).shown(); }

void TBandsPage::refresh(QWidget *sheet) {
    TPriceTableList &l = const_cast<TPriceTableList &>(list(sheet));
    f.actOn(l.table);
    l.load(WaitKind::OverMainWindow);
}

void TBandsPage::enable(QWidget *sheet, bool browse, ToolActions &a) const { list(sheet).enable(browse, a); }

void TBandsPage::cdsDescSistBeforeEdit() { Bands::BeforeEdit(f, Systems()); }
void TBandsPage::cdsDescSistAfterEdit() { Bands::AfterEdit(f, Systems()); }
void TBandsPage::cdsDescSistBeforePost() { Bands::BeforePost(f, Systems()); }
void TBandsPage::cdsDescSistAfterPost() { Bands::AfterPost(f, Systems()); }
void TBandsPage::cdsDescSistAfterDelete() { Bands::AfterDelete(f, Systems()); }
void TBandsPage::dbgDescSisColExit() { Bands::ColExit(f, Systems()); }
void TBandsPage::dbgDescSisKeyPress(QChar &key) { Bands::KeyPress(f, Systems(), key); }

void TBandsPage::cdsDescUsuBeforeEdit() { Bands::BeforeEdit(f, Users()); }
void TBandsPage::cdsDescUsuBeforePost() { Bands::BeforePost(f, Users()); }
void TBandsPage::cdsDescUsuAfterPost() { Bands::AfterPost(f, Users()); }
void TBandsPage::cdsDescUsuAfterDelete() { Bands::AfterDelete(f, Users()); }
void TBandsPage::dbgDescUsuColExit() { Bands::ColExit(f, Users()); }
void TBandsPage::dbgDescUsuKeyPress(QChar &key) { Bands::KeyPress(f, Users(), key); }
