// The operators' discounts per service type, seen from both sides: below the
// service types, the operators of the current type ("Dados por Tipo de
// Serviço"); below the operators, the service types of the current operator
// ("Dados por Operador"). Both grids edit the same records through one
// implementation: the key is completed and named on leaving its column, a
// key already in the list is refused (rows added and not yet reloaded
// included), the percentage must lie between 0 and 100, the record number
// comes from the server, and every posted or deleted row is sent at once.
#include "service_types.h"
#include "method_names.h"
#include "value_limits.h"

#include "dialogs.h"
#include "errors.h"
#include "module_state.h"
#include "page_host.h"
#include "routines.h"
#include "numeric_input.h"
#include "virtual_keys.h"
#include "widget_dialogs.h"

using namespace Cli_cot00300;

namespace {

const QString kPercent = QStringLiteral("VRPEDESOPERSERV");
const QString kNumber = QStringLiteral("NROPERTIPOSERV");

// Operators of one service type, with their discount.
const Vocabulary::Table &t = Vocabulary::OperatorServiceDiscounts;

ColumnSpecs OperatorColumns() {
    return {HiddenField(t["CDTIPOSERV"]), HiddenField(t["NROPERTIPOSERV"]), DeclaredColumn(t["CDOPERADOR"], 89, 0),
            ReadOnly(DeclaredColumn(t["NMOPERADOR"], 285, 1)), DeclaredColumn(t["VRPEDESOPERSERV"], 71, 2)};
}

// Service types of one operator, with their discount.
ColumnSpecs TypeOfOperatorColumns() {
    return {DeclaredColumn(t["CDTIPOSERV"], 45, 0), ReadOnly(DeclaredColumn(t["NMTIPOSERV"], 331, 1)),
            DeclaredColumn(t["VRPEDESOPERSERV"], 88, 2), HiddenField(t["NROPERTIPOSERV"]), HiddenField(t["CDOPERADOR"])};
}

ColumnSpecs OperatorListColumns() {
    return {ReadOnly(DeclaredColumn(t["CDOPERADOR"], 89, 0)), ReadOnly(DeclaredColumn(t["NMOPERADOR"], 418, 1))};
}

ColumnSpecs ServiceSearchColumns() { return {DeclaredColumn(t["CDTIPOSERV"], 0, 0), DeclaredColumn(t["NMTIPOSERV"], 0, 1)}; }

}  // namespace

// ---------------------------------------------------------------- the grids

void TServiceTypesPage::buildDiscountGrids() {
    auto table = [this](const char *name, const ColumnSpecs &columns) {
        auto *t = new TClientTable(QString::fromLatin1(name), this);
        DefineFields(t, columns);
        return t;
    };
    cdsOperTipoServ = table("cdsOperTipoServ", OperatorColumns());
    cdsOperTipoServAux = table("cdsOperTipoServAux", OperatorColumns());
    cdsMaxOperTipoServ = new TClientTable(QStringLiteral("cdsMaxOperTipoServ"), this);
    cdsMaxOperTipoServ->AddField(kNumber, FieldType::Float);
    cdsOperador = table("cdsOperador", OperatorListColumns());
    cdsTipoServOper = table("cdsTipoServOper", TypeOfOperatorColumns());
    cdsTipoServOperAux = table("cdsTipoServOperAux", TypeOfOperatorColumns());
    cdsPesqTipoServ = table("cdsPesqTipoServ", ServiceSearchColumns());

    dtsOperTipoServ = new TDataSource(cdsOperTipoServ, this);
    dtsOperador = new TDataSource(cdsOperador, this);
    dtsTipoServOper = new TDataSource(cdsTipoServOper, this);
    dtsPesqTipoServ = new TDataSource(cdsPesqTipoServ, this);

    dbgOperador = MakeGrid("dbgOperador", dtsOperTipoServ, OperatorColumns(), false);
    dbgOperDad = MakeGrid("dbgOperDad", dtsOperador, OperatorListColumns(), false);
    dbgTpServOper = MakeGrid("dbgTpServOper", dtsTipoServOper, TypeOfOperatorColumns(), false);

    wireDiscountSide(ByServiceType());
    wireDiscountSide(ByOperator());
    connect(dtsOperTipoServ, &TDataSource::stateChange, this, [this] { ServiceDiscounts::StateChange(ByServiceType()); });
    connect(dtsTipoServOper, &TDataSource::stateChange, this, [this] { ServiceDiscounts::StateChange(ByOperator()); });
    ServiceDiscounts::StateChange(ByServiceType());
    ServiceDiscounts::StateChange(ByOperator());

    // The operator list is read-only: it only chooses whose discounts show below.
    cdsOperador->AfterScroll = [this](TClientTable &) { cdsOperadorAfterScroll(); };
    cdsOperador->BeforeInsert = [this](TClientTable &) { cdsOperadorBeforeInsert(); };
    cdsOperador->AfterCancel = [this](TClientTable &) { cdsOperadorAfterCancel(); };
    dbgOperDad->OnKeyDown = [this](int &key, Qt::KeyboardModifiers shift) { dbgOperDadKeyDown(key, shift); };
    dbgOperDad->OnKeyPress = [this](QChar &key) { dbgOperDadKeyPress(key); };
}

void TServiceTypesPage::wireDiscountSide(const DiscountSide &side) {
    const bool byType = side.table == cdsOperTipoServ;
    auto s = [this, byType] { return byType ? ByServiceType() : ByOperator(); };
    TClientTable *t = side.table;
    t->BeforeInsert = [this, s](TClientTable &) { ServiceDiscounts::BeforeInsert(f, s()); };
    t->AfterInsert = [this, s](TClientTable &) { ServiceDiscounts::AfterInsert(f, s()); };
    t->BeforeEdit = [this, s](TClientTable &) { ServiceDiscounts::BeforeEdit(f, s()); };
    t->BeforePost = [this, s](TClientTable &) { ServiceDiscounts::BeforePost(f, s()); };
    t->AfterPost = [this, s](TClientTable &) { ServiceDiscounts::SendChanges(f, s()); };
    t->AfterDelete = [this, s](TClientTable &) { ServiceDiscounts::SendChanges(f, s()); };
    TDBGrid *g = side.grid;
    g->OnColExit = [this, s] { ServiceDiscounts::ColExit(f, s()); };
    g->OnKeyDown = [s](int &key, Qt::KeyboardModifiers) { ServiceDiscounts::KeyDown(s(), key); };
    g->OnKeyPress = [this, s](QChar &key) { ServiceDiscounts::KeyPress(f, s(), key); };
    g->OnEditButtonClick = [this, s] { ServiceDiscounts::EditButtonClick(f, s()); };
}

DiscountSide TServiceTypesPage::ByServiceType() const {
    DiscountSide s;
    s.table = cdsOperTipoServ;
    s.snapshot = cdsOperTipoServAux;
    s.grid = dbgOperador;
    s.master = cdsTipoServico;
    s.fixedKey = QStringLiteral("CDTIPOSERV");
    s.keyField = QStringLiteral("CDOPERADOR");
    s.nameField = QStringLiteral("NMOPERADOR");
    s.keyWidth = 12;
    s.keyIsOperator = true;
    s.msgTitle = QStringLiteral("OP");
    s.msgNoneFound = QStringLiteral("OP_NCAD");
    s.msgKeyMissing = QStringLiteral("OPEINF");
    s.msgKeyUnknown = QStringLiteral("OPENCAD");
    s.msgKeyRepeated = QStringLiteral("OPEJCAD");
    s.msgPercentMissing = QStringLiteral("PERC_DEV_INF");
    s.msgPercentRange = QStringLiteral("DESCOPER_MENOR_MAIOR");
    s.deltaPosition = 0;
    s.serviceTypeSearch = cdsPesqTipoServ;
    s.serviceTypeSearchSource = dtsPesqTipoServ;
    s.nextNumber = cdsMaxOperTipoServ;
    return s;
}

DiscountSide TServiceTypesPage::ByOperator() const {
    DiscountSide s;
    s.table = cdsTipoServOper;
    s.snapshot = cdsTipoServOperAux;
    s.grid = dbgTpServOper;
    s.master = cdsOperador;
    s.fixedKey = QStringLiteral("CDOPERADOR");
    s.keyField = QStringLiteral("CDTIPOSERV");
    s.nameField = QStringLiteral("NMTIPOSERV");
    s.keyWidth = 3;
    s.keyIsOperator = false;
    s.msgTitle = QStringLiteral("TS");
    s.msgNoneFound = QStringLiteral("TS_NCAD");
    s.msgKeyMissing = QStringLiteral("TPSERVINF");
    s.msgKeyUnknown = QStringLiteral("TPSERVNCAD");
    s.msgKeyRepeated = QStringLiteral("TPSERVJCAD");
    s.msgPercentMissing = QStringLiteral("PERCTPSERV_DEV_INF");
    s.msgPercentRange = QStringLiteral("DESCTPSERV_MENOR_MAIOR");
    s.deltaPosition = 1;
    s.serviceTypeSearch = cdsPesqTipoServ;
    s.serviceTypeSearchSource = dtsPesqTipoServ;
    s.nextNumber = cdsMaxOperTipoServ;
    return s;
}

void TServiceTypesPage::Vd_Operador(bool required) { ServiceDiscounts::ValidateKey(f, ByServiceType(), required); }
void TServiceTypesPage::Vd_TipoServ(bool required) { ServiceDiscounts::ValidateKey(f, ByOperator(), required); }
void TServiceTypesPage::Vd_Percentual() { ServiceDiscounts::ValidatePercent(f, ByServiceType()); }
void TServiceTypesPage::Vd_PercentualTpServ() { ServiceDiscounts::ValidatePercent(f, ByOperator()); }

// ---------------------------------------------------------------- the operator list

void TServiceTypesPage::cdsOperadorAfterScroll() {
    const QString code = cdsOperador->IsEmpty() ? QString() : cdsOperador->FieldByName("CDOPERADOR")->AsString();
    if (detailPreloaded(code)) return;
    f.loadTable(cdsTipoServOper, Method::GetTipoServOper, {code}, WaitKind::OverScreen);
}

// Operators are the host's: none is created here, by Down, Tab or Insert.
void TServiceTypesPage::cdsOperadorBeforeInsert() { Abort(); }

void TServiceTypesPage::cdsOperadorAfterCancel() { boInsGrid = false; }

void TServiceTypesPage::dbgOperDadKeyDown(int &key, Qt::KeyboardModifiers) {
    if (key == VK_DELETE) key = 0;
    boInsGrid = key == VK_DOWN || key == VK_TAB;
}

void TServiceTypesPage::dbgOperDadKeyPress(QChar &key) {
    TField *selected = dbgOperDad->SelectedField();
    if (selected && selected->Tag == 1 && !Passes(key)) key = QChar(0);
}

// ---------------------------------------------------------------- the discount records

namespace ServiceDiscounts {

namespace {

[[noreturn]] void Refuse(TPageHost &f, TField *field, const QString &msgKey) {
    field->FocusControl();
    MensErro(f.messages().Msg(msgKey), true);
    Abort();  // MensErro with abort does not return; this keeps the compiler sure of it
}

}  // namespace

// The list as it stands, pending rows included, for the duplicate check.
void BeforeInsert(TPageHost &, const DiscountSide &s) {
    s.snapshot->SetFiltered(false);
    s.snapshot->LoadPacket(s.table->Data());
}

void AfterInsert(TPageHost &, const DiscountSide &s) {
    if (s.master->Active() && !s.master->IsEmpty())
        s.table->FieldByName(s.fixedKey)->SetAsString(s.master->FieldByName(s.fixedKey)->AsString());
}

// An existing row is edited from its percentage: its key cannot change.
void BeforeEdit(TPageHost &, const DiscountSide &s) { s.table->FieldByName(kPercent)->FocusControl(); }

void ValidateKey(TPageHost &f, const DiscountSide &s, bool required) {
    TField *key = s.table->FieldByName(s.keyField);
    if (EmptyString(key->AsString())) {
        if (required) Refuse(f, key, s.msgKeyMissing);
        return;
    }
    const QString code = Ajusta(key->AsString(), s.keyWidth);
    key->SetAsString(code);

    QString name;
    if (s.keyIsOperator) {
        // Active operators only: an inactive one is not registered for this.
        TADOIBQuery *q = f.operatorQuery();
        q->Close();
        q->ParamByName(QStringLiteral("P_CDOPERADOR")).SetAsString(code);
        q->ParamByName(QStringLiteral("P_TCDOPERADOR")).SetAsString(QString());
        q->Open();
        if (q->IsEmpty()) Refuse(f, key, s.msgKeyUnknown);
        name = q->FieldByName(QStringLiteral("NMOPERADOR"))->AsString();
    } else {
        TClientTable *found = s.serviceTypeSearch;
        f.loadTable(found, Method::GetPesqTipoServ, {code, QString()}, WaitKind::None);
        if (found->IsEmpty()) Refuse(f, key, s.msgKeyUnknown);
        name = found->FieldByName(QStringLiteral("NMTIPOSERV"))->AsString();
    }

    TClientTable *others = s.snapshot;
    others->SetFiltered(false);
    others->SetFilter(QStringLiteral("%1 = '%2'").arg(s.keyField, code));
    others->SetFiltered(true);
    if (others->Locate(s.keyField, code, true)) Refuse(f, key, s.msgKeyRepeated);

    s.table->FieldByName(s.nameField)->SetAsString(name);
}

void ValidatePercent(TPageHost &f, const DiscountSide &s) {
    TField *percent = s.table->FieldByName(kPercent);
    if (percent->IsNull()) Refuse(f, percent, s.msgPercentMissing);
    const double value = percent->AsFloat();
    if (!Limits::isPercent(value)) Refuse(f, percent, s.msgPercentRange);
}

void BeforePost(TPageHost &f, const DiscountSide &s) {
    const bool inserting = s.table->State() == DataSetState::Insert;
    if (inserting) ValidateKey(f, s, true);
    ValidatePercent(f, s);
    if (inserting) {
        TClientTable *answer = s.nextNumber;
        f.loadTable(answer, Method::GetMaxOperTipoServ, {}, WaitKind::None);
        s.table->FieldByName(kNumber)->SetAsFloat(answer->FieldByName(kNumber)->AsFloat());
    }
}

void SendChanges(TPageHost &f, const DiscountSide &s) {
    ApplyOptions options{WaitKind::OverScreen, f.screen(), {}};
    options.deltaPosition = s.deltaPosition;
    options.argumentCount = 2;
    ApplyChanges(f.connection(), *s.table, Method::SetOperTipoServ, options);
}

// A key typed into a new row is completed, checked and named on leaving it.
void ColExit(TPageHost &f, const DiscountSide &s) {
    if (s.table->State() == DataSetState::Insert && Is(s.grid->SelectedField(), s.keyField)) ValidateKey(f, s, false);
}

void KeyDown(const DiscountSide &, int &key) {
    if (key == VK_DELETE) key = 0;
}

void KeyPress(TPageHost &, const DiscountSide &s, QChar &key) {
    TField *selected = s.grid->SelectedField();
    if (key == QLatin1Char('+') || key == QLatin1Char('-')) {
        key = QChar(0);
        return;
    }
    if (!selected) return;
    if (Is(selected, kPercent)) {
        // Digits and the separators Vd_Virgula places.
        const bool digit = key >= QLatin1Char('0') && key <= QLatin1Char('9');
        if (!digit && key.unicode() != 8 && key != QLatin1Char(',') && key != QLatin1Char('.')) {
            key = QChar(0);
            return;
        }
        Vd_Virgula(s.grid, kPercent, key);
    }
    // The key is typed only into a new row, the name never.
    const bool keyColumn = Is(selected, s.keyField) && s.table->State() != DataSetState::Insert;
    if ((keyColumn || Is(selected, s.nameField)) && !Passes(key)) key = QChar(0);
}

void EditButtonClick(TPageHost &f, const DiscountSide &s) {
    if (!Is(s.grid->SelectedField(), s.keyField)) return;
    const QString title = f.messages().Msg(s.msgTitle) + QLatin1Char('|') + f.messages().Msg(s.msgNoneFound);
    QString code, name;
    if (s.keyIsOperator) {
        TADOIBQuery *q = f.operatorQuery();
        q->Close();
        q->ParamByName(QStringLiteral("P_CDOPERADOR")).SetAsString(QString());
        q->ParamByName(QStringLiteral("P_TCDOPERADOR")).SetAsString(QStringLiteral("T"));
        q->Open();
        if (!Pesquisar(f.operatorSource(), title, false, true)) return;
        code = q->FieldByName(QStringLiteral("CDOPERADOR"))->AsString();
        name = q->FieldByName(QStringLiteral("NMOPERADOR"))->AsString();
    } else {
        TClientTable *types = s.serviceTypeSearch;
        f.loadTable(types, Method::GetPesqTipoServ, {QString(), QStringLiteral("T")}, WaitKind::None);
        if (!Pesquisar(s.serviceTypeSearchSource, title, false, true)) return;
        code = types->FieldByName(QStringLiteral("CDTIPOSERV"))->AsString();
        name = types->FieldByName(QStringLiteral("NMTIPOSERV"))->AsString();
    }
    s.table->FieldByName(s.keyField)->SetAsString(code);
    s.table->FieldByName(s.nameField)->SetAsString(name);
}

// The key is chosen only while a row is being added: only then has its cell
// an editor (so nothing is pasted into a stored row's key either) and the
// "..." button of the search.
void StateChange(const DiscountSide &s) {
    const int column = IndiceCol(s.grid, s.keyField);
    if (column < 0) return;
    const bool inserting = s.table->State() == DataSetState::Insert;
    s.grid->Columns[column].ButtonStyle = inserting ? cbsEllipsis : cbsNone;
    s.grid->Columns[column].ReadOnly = !inserting;
}

}  // namespace ServiceDiscounts
