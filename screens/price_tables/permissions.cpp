// Operator discount permissions of a price table: the operator looked up
// among the active operators of the shared database, the type chosen from a
// pick list, the percentage typed; the checks before a permission is posted,
// and the sending of every posted or deleted permission.
#include "permissions.h"
#include "method_names.h"
#include "value_limits.h"

#include "band_checks.h"
#include "dialogs.h"
#include "module_state.h"
#include "page_host.h"
#include "numeric_input.h"
#include "routines.h"

#include <QPainter>

using namespace Cli_cot00300;

namespace {

const QString kOperator = QStringLiteral("CDOPERADOR");
const QString kName = QStringLiteral("NMOPERADOR");
const QString kPriceTable = QStringLiteral("CDPRECOPROP");
const QString kType = QStringLiteral("IDTIPODESCOPER");
const QString kPercent = QStringLiteral("VRPERCDESCOPER");

bool IsDigit(QChar key) { return key >= QLatin1Char('0') && key <= QLatin1Char('9'); }

constexpr ushort kBackspace = 8;

// The band checks' way of refusing: the cursor on the field (not taken for
// the user leaving a column), the message, the silent abort.
[[noreturn]] void Refuse(TField *field, const QString &text) { BandChecks::Refuse(field, text); }

}  // namespace

TPermissionsPage::TPermissionsPage(TPageHost &frame) : TScreenPage(frame) {
    const Vocabulary::Table &t = Vocabulary::OperatorPermissions;
    const ColumnSpecs columns = {
        WithEllipsis(DeclaredColumn(t[kOperator], 207, 0)),
        DeclaredColumn(t[kName], 0, -1),
        HiddenField(t[kPriceTable]),
        // The type is stored as its code; the list shows the catalogue's captions.
        WithPick(DeclaredColumn(t[kType], 150, 1),
                   {{f.messages().Msg(QStringLiteral("Locacao")), QStringLiteral("L")},
                    {f.messages().Msg(QStringLiteral("Manutencao")), QStringLiteral("M")},
                    {f.messages().Msg(QStringLiteral("Licenca_de_Uso")), QStringLiteral("U")}}),
        DeclaredColumn(t[kPercent], 169, 2, NumberFormat::Shown),
    };
    cdsPerOper = new TClientTable(QStringLiteral("cdsPerOper"), this);
    DefineFields(cdsPerOper, columns);
    cdsPerOper->KeyOrder = {QStringLiteral("CDOPERADOR"), QStringLiteral("IDTIPODESCOPER")};  // getPerOper's order
    dtsPerOper = new TDataSource(cdsPerOper, this);
    dbgPerOper = MakeGrid("dbgPerOper", dtsPerOper, columns, true);
    m_list = std::make_unique<TPriceTableList>(f, cdsPerOper, dbgPerOper, Method::getPerOper, "tshPermOper",
                                               QStringLiteral("Permissão por Operador"));
    tshPermOper = m_list->sheet;

    cdsVdOpTipo = new TClientTable(QStringLiteral("cdsVdOpTipo"), this);
    cdsVdOpTipo->AddField(kOperator, FieldType::String, 12);
    cdsVdOpTipo->AddField(kPriceTable, FieldType::String, 10);
    cdsVdOpTipo->AddField(kType, FieldType::String, 1);

    cdsPerOper->BeforeEdit = [this](TClientTable &) { cdsPerOperBeforeEdit(); };
    cdsPerOper->BeforePost = [this](TClientTable &) { cdsPerOperBeforePost(); };
    cdsPerOper->AfterPost = [this](TClientTable &) { cdsPerOperAfterPost(); };
    cdsPerOper->AfterDelete = [this](TClientTable &) { cdsPerOperAfterDelete(); };
    dbgPerOper->OnColExit = [this] { dbgPerOperColExit(); };
    dbgPerOper->OnEditButtonClick = [this] { dbgPerOperEditButtonClick(); };
    dbgPerOper->OnKeyPress = [this](QChar &key) { dbgPerOperKeyPress(key); };
    dbgPerOper->OnDrawColumnCell = [this](QPainter *p, const QRect &r, int col, TColumn &c, QStyle::State s) {
        dbgPerOperDrawColumnCell(p, r, col, c, s);
    };
}

TPermissionsPage::~TPermissionsPage() = default;

void TPermissionsPage::shown(QWidget *) { m_list->shown(); }

void TPermissionsPage::refresh(QWidget *) {
    f.actOn(cdsPerOper);
    m_list->load(WaitKind::OverMainWindow);
}

void TPermissionsPage::enable(QWidget *, bool browse, ToolActions &a) const {
    m_list->enable(browse, a);
    a.cadAuto = browse;
}

// ---------------------------------------------------------------- records

void TPermissionsPage::cdsPerOperBeforeEdit() {
    stVerEditOper = cdsPerOper->FieldByName(kOperator)->AsString();
    stVerEditTipo = cdsPerOper->FieldByName(kType)->AsString();
}

void TPermissionsPage::lookUpOperator() {
    TField *op = cdsPerOper->FieldByName(kOperator);
    const QString code = Ajusta(AllTrim(op->AsString()), 12);
    if (code != op->AsString()) op->SetAsString(code);
    TADOIBQuery *q = f.operatorQuery();
    q->Close();
    q->ParamByName(QStringLiteral("P_CDOPERADOR")).SetAsString(code);
    q->ParamByName(QStringLiteral("P_TCDOPERADOR")).SetAsString(QString());
    q->Open();
    if (q->IsEmpty()) Refuse(op, f.messages().Msg(QStringLiteral("N_OP_CAD")));
    op->SetAsString(q->FieldByName(kOperator)->AsString());
    cdsPerOper->FieldByName(kName)->SetAsString(q->FieldByName(kName)->AsString());
}

void TPermissionsPage::vd_OPERPRECOPROP(bool show) {
    TField *op = cdsPerOper->FieldByName(kOperator);
    TField *type = cdsPerOper->FieldByName(kType);
    TField *percent = cdsPerOper->FieldByName(kPercent);
    const bool opMissing = EmptyString(op->AsString());
    const bool typeMissing = EmptyString(type->AsString());
    const bool percentMissing = percent->IsNull() || EmptyString(percent->AsString());
    const bool tooLarge = !percentMissing && percent->AsFloat() > Limits::MaxPercent;

    struct Item {
        bool fails;
        TField *field;
        const char *message;
    } const items[] = {{opMissing, op, "OP_INF"},
                       {typeMissing, type, "TIP_INF"},
                       {percentMissing, percent, "VRDESC_INF"},
                       {tooLarge, percent, "VRDESC_MAIOR"}};
    for (const Item &item : items) {
        if (!item.fails) continue;
        if (!show) return;
        Refuse(item.field, f.messages().Msg(QString::fromLatin1(item.message)));
    }

    lookUpOperator();

    const QString code = op->AsString();
    const QString typeCode = type->AsString();
    f.loadTable(cdsVdOpTipo, Method::getVdOpTipo, {code, m_list->loadedFor(), typeCode}, WaitKind::OverMainWindow);
    if (cdsVdOpTipo->IsEmpty()) return;
    if (cdsPerOper->State() == DataSetState::Insert) Refuse(type, f.messages().Msg(QStringLiteral("OP_TIPO_CAD_TBPRECO")));
    if (cdsPerOper->State() == DataSetState::Edit) {
        // The permission being edited is no duplicate of itself: only a stored
        // permission other than the one that entered edit counts.
        for (cdsVdOpTipo->First(); !cdsVdOpTipo->Eof(); cdsVdOpTipo->Next()) {
            const bool itself = Ajusta(AllTrim(cdsVdOpTipo->FieldByName(kOperator)->AsString()), 12) ==
                                    Ajusta(AllTrim(stVerEditOper), 12) &&
                                AllTrim(cdsVdOpTipo->FieldByName(kType)->AsString()) == AllTrim(stVerEditTipo);
            if (!itself) Refuse(type, f.messages().Msg(QStringLiteral("OP_TIPO_CAD_TBPRECO")));
        }
    }
}

void TPermissionsPage::cdsPerOperBeforePost() {
    // A permission belongs to the price table its list was loaded for, even
    // when the price table list has moved on since.
    if (cdsPerOper->IsEditing()) cdsPerOper->FieldByName(kPriceTable)->SetAsString(m_list->loadedFor());
    vd_OPERPRECOPROP(true);
    TField *type = cdsPerOper->FieldByName(kType);
    const struct {
        const char *key, *code;
    } types[] = {{"Locacao", "L"}, {"Manutencao", "M"}, {"Licenca_de_Uso", "U"}};
    for (const auto &t : types)
        if (type->AsString() == f.messages().Msg(QString::fromLatin1(t.key))) type->SetAsString(QString::fromLatin1(t.code));
}

void TPermissionsPage::cdsPerOperAfterPost() {
    ApplyChanges(f.connection(), *cdsPerOper, Method::setPerOper, {WaitKind::OverScreen, f.screen(), {}});
}

void TPermissionsPage::cdsPerOperAfterDelete() {
    ApplyChanges(f.connection(), *cdsPerOper, Method::setPerOper, {WaitKind::OverScreen, f.screen(), {}});
    f.refreshInFront();
}

// ---------------------------------------------------------------- grid

void TPermissionsPage::dbgPerOperColExit() {
    if (BandChecks::PlacingCursor()) return;
    TField *leaving = dbgPerOper->SelectedField();
    if (!cdsPerOper->IsEditing() || !Is(leaving, kOperator) || EmptyString(leaving->AsString())) return;
    lookUpOperator();
}

void TPermissionsPage::dbgPerOperEditButtonClick() {
    if (cdsPerOper->State() == DataSetState::Browse) {
        if (cdsPerOper->IsEmpty() || EmptyString(cdsPerOper->FieldByName(kOperator)->AsString())) cdsPerOper->Insert();
        else cdsPerOper->Edit();
    }
    if (!cdsPerOper->IsEditing() || !Is(dbgPerOper->SelectedField(), kOperator)) return;
    TADOIBQuery *q = f.operatorQuery();
    q->Close();
    q->ParamByName(QStringLiteral("P_CDOPERADOR")).SetAsString(QString());
    q->ParamByName(QStringLiteral("P_TCDOPERADOR")).SetAsString(QStringLiteral("T"));
    q->Open();
    const QString title = f.messages().Msg(QStringLiteral("OP")) + QLatin1Char('|') + f.messages().Msg(QStringLiteral("OP_NCAD"));
    if (!Dialogs().pesquisar(f.operatorSource(), title)) return;
    cdsPerOper->FieldByName(kOperator)->SetAsString(q->FieldByName(kOperator)->AsString());
    cdsPerOper->FieldByName(kName)->SetAsString(q->FieldByName(kName)->AsString());
}

QString TPermissionsPage::operatorCellText() const {
    const QString code = AllTrim(dbgPerOper->DrawingValue(kOperator).toString());
    const QString name = AllTrim(dbgPerOper->DrawingValue(kName).toString());
    return EmptyString(code) || name.isEmpty() ? code : name;
}

void TPermissionsPage::dbgPerOperDrawColumnCell(QPainter *painter, const QRect &rect, int dataCol, TColumn &,
                                                QStyle::State state) {
    if (dataCol != IndiceCol(dbgPerOper, kOperator) || dbgPerOper->DrawingRow() < 0) return;
    // The name is drawn over the code the grid drew: the cell is cleared first.
    const bool selected = state.testFlag(QStyle::State_Selected);
    const QPalette &pal = dbgPerOper->palette();
    painter->fillRect(rect, selected ? pal.color(QPalette::Highlight) : dbgPerOper->Color());
    painter->setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    painter->drawText(rect.adjusted(2, 0, -2, 0), int(Qt::AlignLeft | Qt::AlignVCenter),
                      operatorCellText());
}

void TPermissionsPage::dbgPerOperKeyPress(QChar &key) {
    TField *selected = dbgPerOper->SelectedField();
    const bool percent = Is(selected, kPercent);
    const bool backspace = key.unicode() == kBackspace;
    const bool separator = key == QLatin1Char(',') || key == QLatin1Char('.');
    if (percent && !backspace && !separator && !IsDigit(key)) key = QChar(0);
    // The type is chosen from its list only.
    if (Is(selected, kType)) key = QChar(0);
    if (key == QLatin1Char('+') || key == QLatin1Char('-')) key = QChar(0);
    if (percent && !key.isNull()) Vd_Virgula(dbgPerOper, kPercent, key);
}
