// Page family "Tipo de Serviço": the sheets and their loading, and the service
// type records. Code and name are read-only here: the user sets the two
// proposal flags by typing "S" or "N" (or from the list) and the two default
// values, and every posted change goes to the server at once.
#include "service_types.h"
#include "method_names.h"

#include "dialogs.h"
#include "errors.h"
#include "module_state.h"
#include "page_host.h"
#include "host_services.h"
#include "numeric_input.h"
#include "virtual_keys.h"

#include <QJsonObject>
#include <QPainter>

using namespace Cli_cot00300;

namespace {

const QString kWeb = QStringLiteral("IDPROPSERVWEB");
const QString kProspect = QStringLiteral("IDSERVOBRIGPROS");
const QString kNational = QStringLiteral("VRPADRAOSERVNAC");
const QString kInternational = QStringLiteral("VRPADRAOSERVINT");

// The flags show the catalogue's captions and store "S" / "N".
ColumnSpecs ServiceTypeColumns(const TMessages &msg) {
    auto item = [&msg](const char *caption, const char *code) {
        return PickItem{msg.Msg(QString::fromUtf8(caption)), QString::fromLatin1(code)};
    };
    const Vocabulary::Table &t = Vocabulary::ServiceTypes;
    return {
        // Code and name are shown only: no cell editor, so nothing pasted either.
        ReadOnly(DeclaredColumn(t["CDTIPOSERV"], 42, 0)),
        ReadOnly(DeclaredColumn(t["NMTIPOSERV"], 324, 1)),
        WithPick(DeclaredColumn(t[kWeb], 100, 2), {item("Sim (disponível)", "S"), item("Não", "N")}),
        WithPick(DeclaredColumn(t[kProspect], 98, 3), {item("Obrigatório", "S"), item("Opcional", "N")}),
        DeclaredColumn(t[kNational], 112, 4),
        DeclaredColumn(t[kInternational], 127, 5),
    };
}

}  // namespace

TServiceTypesPage::TServiceTypesPage(TPageHost &frame) : TScreenPage(frame) {
    const ColumnSpecs types = ServiceTypeColumns(f.messages());
    cdsTipoServico = new TClientTable(QStringLiteral("cdsTipoServico"), this);
    DefineFields(cdsTipoServico, types);
    dtsTipoServico = new TDataSource(cdsTipoServico, this);
    dbgTipoServico = MakeGrid("dbgTipoServico", dtsTipoServico, types, false);
    buildDiscountGrids();

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

    // Each grid makes itself the screen's current table when it receives the focus.
    for (TDBGrid *grid : {dbgTipoServico, dbgOperador, dbgOperDad, dbgTpServOper}) {
        TClientTable *t = grid->DataSet();
        grid->OnEnter = [this, t] { f.actOn(t); };
    }

    cdsTipoServico->AfterScroll = [this](TClientTable &) { cdsTipoServicoAfterScroll(); };
    cdsTipoServico->BeforeInsert = [this](TClientTable &) { cdsTipoServicoBeforeInsert(); };
    cdsTipoServico->AfterPost = [this](TClientTable &) { cdsTipoServicoAfterPost(); };
    cdsTipoServico->AfterCancel = [this](TClientTable &) { cdsTipoServicoAfterCancel(); };
    dbgTipoServico->OnKeyDown = [this](int &key, Qt::KeyboardModifiers shift) { dbgTipoServicoKeyDown(key, shift); };
    dbgTipoServico->OnKeyPress = [this](QChar &key) { dbgTipoServicoKeyPress(key); };
    dbgTipoServico->OnDrawColumnCell = [this](QPainter *canvas, const QRect &rect, int, TColumn &column, QStyle::State state) {
        dbgTipoServicoDrawColumnCell(canvas, rect, column, state);
    };
}

TClientTable *TServiceTypesPage::currentTable(QWidget *sheet) const { return currentGrid(sheet)->DataSet(); }

TDBGrid *TServiceTypesPage::currentGrid(QWidget *sheet) const {
    if (sheet == tshDadoOper) return f.hasFocus(dbgTpServOper) ? dbgTpServOper : dbgOperDad;
    return f.hasFocus(dbgOperador) ? dbgOperador : dbgTipoServico;
}

// Either sheet loads its upper list with the lower one of its first row, in
// one call, unless it still holds what it read.
void TServiceTypesPage::shown(QWidget *sheet) {
    TDBGrid *upper = sheet == tshDadoOper ? dbgOperDad : dbgTipoServico;
    f.actOn(upper->DataSet());
    if (upper->isVisible() && upper->isEnabled()) upper->setFocus(Qt::OtherFocusReason);
    if (sheet == tshDadoOper) {
        if (!m_operatorsRead.holds(cdsOperador) || cdsTipoServOper->ChangeCount() > 0)
            loadWithDetail(Method::GetOperadorComTiposServ, cdsOperador, cdsTipoServOper, m_operatorsRead);
    } else if (!m_typesRead.holds(cdsTipoServico) || cdsOperTipoServ->ChangeCount() > 0) {
        loadWithDetail(Method::GetTipoServicoComOperadores, cdsTipoServico, cdsOperTipoServ, m_typesRead);
    }
}

void TServiceTypesPage::loadWithDetail(const QString &method, TClientTable *list, TClientTable *detail, ReadMark &mark) {
    WaitAnimation shown(f.screen(), WaitKind::OverScreen);
    f.readList(list, [&] {
        const QJsonObject answer = CheckResultServ(f.connection().Call(method, {QString()})).toObject();
        DataPacket upper, lower;
        try {
            upper = PacketCodec::packetFromJson(answer.value(QLatin1String("lista")));
            lower = PacketCodec::packetFromJson(answer.value(QLatin1String("detalhe")));
        } catch (const PacketError &e) {
            throw EAppError(e.message());
        }
        detail->LoadPacket(lower);
        m_preloaded = true;
        m_preloadedKey = answer.value(QLatin1String("chave")).toString();
        try {
            list->LoadPacket(upper);
        } catch (...) {
            m_preloaded = false;
            throw;
        }
        m_preloaded = false;
    });
    mark.read();
}

// True (once) when the scroll is the list's own, to the row whose detail came with it.
bool TServiceTypesPage::detailPreloaded(const QString &key) {
    const bool same = m_preloaded && key == m_preloadedKey;
    m_preloaded = false;
    return same;
}

// Reloads the list whose grid has the focus.
void TServiceTypesPage::refresh(QWidget *sheet) {
    auto code = [](TClientTable *t, const char *field) {
        return t->Active() && !t->IsEmpty() ? t->FieldByName(field)->AsString() : QString();
    };
    if (sheet == tshDadTipServ) {
        if (f.hasFocus(dbgTipoServico))
            loadWithDetail(Method::GetTipoServicoComOperadores, cdsTipoServico, cdsOperTipoServ, m_typesRead);
        else if (f.hasFocus(dbgOperador))
            f.loadTable(cdsOperTipoServ, Method::GetOperTipoServ, {code(cdsTipoServico, "CDTIPOSERV")},
                        WaitKind::OverScreen);
    } else {
        if (f.hasFocus(dbgOperDad))
            loadWithDetail(Method::GetOperadorComTiposServ, cdsOperador, cdsTipoServOper, m_operatorsRead);
        else if (f.hasFocus(dbgTpServOper))
            f.loadTable(cdsTipoServOper, Method::GetTipoServOper, {code(cdsOperador, "CDOPERADOR")},
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

QList<SavedList> TServiceTypesPage::savedLists() {
    return {{cdsTipoServico, [this] { cdsTipoServicoAfterPost(); }, Method::SetTipoServico},
            {cdsOperTipoServ, [this] { ServiceDiscounts::SendChanges(f, ByServiceType()); }, Method::SetOperTipoServ},
            {cdsTipoServOper, [this] { ServiceDiscounts::SendChanges(f, ByOperator()); }, Method::SetOperTipoServ}};
}

// ---------------------------------------------------------------- service types

void TServiceTypesPage::cdsTipoServicoAfterScroll() {
    const QString code = cdsTipoServico->IsEmpty() ? QString() : cdsTipoServico->FieldByName("CDTIPOSERV")->AsString();
    if (detailPreloaded(code)) return;
    f.loadTable(cdsOperTipoServ, Method::GetOperTipoServ, {code}, WaitKind::OverScreen);
}

// Service types are not created here: the grid's code and name cannot be
// typed, so a new row could never be saved. Down from the last row and Tab
// from the last cell (boInsGrid) are refused the same way, silently.
void TServiceTypesPage::cdsTipoServicoBeforeInsert() { Abort(); }

void TServiceTypesPage::cdsTipoServicoAfterCancel() { boInsGrid = false; }

void TServiceTypesPage::cdsTipoServicoAfterPost() {
    ApplyChanges(f.connection(), *cdsTipoServico, Method::SetTipoServico,
                 {WaitKind::OverScreen, f.screen(), {Vocabulary::ServiceTypes.tableName()}});
}

void TServiceTypesPage::dbgTipoServicoKeyDown(int &key, Qt::KeyboardModifiers) {
    if (key == VK_DELETE) key = 0;
    boInsGrid = key == VK_DOWN || key == VK_TAB;
}

void TServiceTypesPage::dbgTipoServicoKeyPress(QChar &key) {
    TField *selected = dbgTipoServico->SelectedField();
    if (!selected) return;
    // A flag takes "S" or "N", in either case, and nothing else. The letter
    // is stored at once and the cell shows its caption: the last letter
    // typed wins, with no half-typed text left in a cell editor.
    if (Is(selected, kWeb) || Is(selected, kProspect)) {
        key = key.toUpper();
        if (key == QLatin1Char('S') || key == QLatin1Char('N')) {
            if (cdsTipoServico->State() != DataSetState::Edit) cdsTipoServico->Edit();
            selected->SetAsString(QString(key));
            dbgTipoServico->SetEditorMode(false);
        }
        key = QChar(0);
        return;
    }
    if (key == QLatin1Char('+') || key == QLatin1Char('-')) {
        key = QChar(0);
        return;
    }
    if (Is(selected, kNational) || Is(selected, kInternational)) {
        // Digits and the separators Vd_Virgula places.
        const bool digit = key >= QLatin1Char('0') && key <= QLatin1Char('9');
        if (!digit && key.unicode() != 8 && key != QLatin1Char(',') && key != QLatin1Char('.')) {
            key = QChar(0);
            return;
        }
        Vd_Virgula(dbgTipoServico, selected->FieldName(), key);
    }
    if (selected->Tag == 1 && !Passes(key)) key = QChar(0);
}

// The flags: "S" in bold on green, anything else in normal type on the
// grid's yellow; a value outside "S" and "N" shows no text.
void TServiceTypesPage::dbgTipoServicoDrawColumnCell(QPainter *canvas, const QRect &rect, TColumn &column,
                                                     QStyle::State state) {
    if (cdsTipoServico->IsEmpty()) return;
    if (column.FieldName != kWeb && column.FieldName != kProspect) return;
    const bool yes = dbgTipoServico->DrawingValue(column.FieldName).toString() == QLatin1String("S");
    QFont font = canvas->font();
    font.setBold(yes);
    canvas->setFont(font);
    canvas->fillRect(rect, yes ? QColor(0, 255, 0) : clInfoBk());
    canvas->setPen(clWindowText());
    canvas->drawText(rect.adjusted(3, 3, -1, -1), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     column.CaptionOf(dbgTipoServico->DrawingText(column.FieldName, false)));
    if (state & QStyle::State_HasFocus) {
        canvas->setPen(QPen(clHighlight(), 1, Qt::DotLine));
        canvas->setBrush(Qt::NoBrush);
        canvas->drawRect(rect.adjusted(0, 0, -1, -1));
    }
}
