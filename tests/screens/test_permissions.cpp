// The operator discount permissions of a price table, typed into the real
// grid against a real application server.
//
// Groups:
//   1. what the list shows: names in the operator column, the type's caption
//   2. the operator: looked up on leaving its column, the search dialog
//   3. the checks at posting: percentage, repeated operator and type
//   4. editing and sending: a changed percentage, a refused send
//   5. two hosts granting and editing at once
#include "rpc_codes.h"
#include "screen_fixture.h"
#include "grid_test_helpers.h"

#include <QComboBox>
#include <QAbstractItemView>
#include <QSet>
#include <atomic>
#include <random>
#include <thread>

using namespace Cli_cot00300;

namespace {

const QString kToken = QStringLiteral("chave-de-teste");
const QString kVrDescMaior = QStringLiteral("Valor de desconto não pode ser maior que (100%).");
const QString kNaoCad = QStringLiteral("Não existe Operador cadastrado com o código informado.");
const QString kJaCad = QStringLiteral("Operador e Tipo de desconto já cadastrado para Tabela informada");

struct Permission {
    QString op, type;
    double percent;
};

std::unique_ptr<TNetConnection> Connection(int port) {
    auto net = std::make_unique<TNetConnection>();
    net->Host = QStringLiteral("127.0.0.1");
    net->Port = port;
    net->Token = kToken;
    net->ThrowException = false;
    return net;
}

void DefinePermissionFields(TClientTable &t) {
    t.AddField(QStringLiteral("CDOPERADOR"), FieldType::String, 12);
    t.AddField(QStringLiteral("NMOPERADOR"), FieldType::String, 40);
    t.AddField(QStringLiteral("CDPRECOPROP"), FieldType::String, 10);
    t.AddField(QStringLiteral("IDTIPODESCOPER"), FieldType::String, 1);
    t.AddField(QStringLiteral("VRPERCDESCOPER"), FieldType::Float);
}

class PermissionsTest : public ScreenFixture {
protected:
    TfrmTbPreProCom *f = nullptr;
    QString code;

    TClientTable *table() const { return f->cdsPerOper; }
    TDBGrid *grid() const { return f->permissions->dbgPerOper; }

    // A price table of its own on the demonstration data, holding the given
    // permissions, and the screen open on its permission list.
    void start(const QVector<Permission> &permissions) {
        startServer(true);
        code = addPriceTable();
        put(permissions);
        f = openScreen();
        ASSERT_NE(f, nullptr);
        // The type's list is a popup: the window must be the active one.
        ASSERT_TRUE(ShowActive(HostApplication::instance().mainWindow()));
        showList();
    }
    QString addPriceTable() {
        auto net = Connection(server->port());
        const QString newCode = CheckResultServ(net->Call("PrxPrecoProp", {})).toString();
        TClientTable t("t");
        t.LoadPacket(CheckResultPacket(net->Call("getTbPreco", {})));
        t.Append();
        t.FieldByName("CDPRECOPROP")->SetAsString(newCode);
        t.FieldByName("NMPRECOPROP")->SetAsString("Tabela de Permissões");
        t.FieldByName("DTINIPRECOPROP")->SetAsDateTime(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
        t.FieldByName("DTFINPRECOPROP")->SetAsDateTime(QDateTime(QDate(2026, 12, 31), QTime(0, 0)));
        for (const char *field : {"VRPRECOUNITSIST", "VRPERCMANUTANO", "NRMESPRAZOLOCA", "VRPEDESFILIMATR", "VRPEDESFILIFILI"})
            t.FieldByName(field)->SetAsFloat(10);
        t.Post();
        CheckResultServ(net->Call("SetIncTbPre", {t.GetDelta()}));
        return newCode;
    }
    // Another client stores permissions of the test's price table.
    void put(const QVector<Permission> &permissions) {
        if (permissions.isEmpty()) return;
        auto net = Connection(server->port());
        TClientTable t("outro");
        DefinePermissionFields(t);
        t.CreateDataSet();
        for (const Permission &p : permissions) {
            t.Append();
            t.FieldByName("CDOPERADOR")->SetAsString(p.op);
            t.FieldByName("CDPRECOPROP")->SetAsString(code);
            t.FieldByName("IDTIPODESCOPER")->SetAsString(p.type);
            t.FieldByName("VRPERCDESCOPER")->SetAsFloat(p.percent);
            t.Post();
        }
        const RpcReply reply = net->Call("setPerOper", {t.GetDelta()});
        ASSERT_TRUE(reply.ok) << reply.errorMessage.toStdString();
    }
    // What the server holds for the test's price table: "operator/type=percent".
    QStringList stored() {
        QStringList out;
        for (const Row &r : serverCall("getPerOper", {code}).rows)
            out << QStringLiteral("%1/%2=%3").arg(r[0].toString().right(2), r[3].toString(), QString::number(r[4].toDouble()));
        return out;
    }

    // Price table row of the test, then the sub-page by a click on its tab.
    void showList() {
        ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", code));
        f->priceTables->dbgTabelaPreco->setFocus();
        settle();
        ClickTab(f->pgcTabelaPreco, f->permissions->tshPermOper);
        ASSERT_EQ(f->dtsPadrao->DataSet(), table());
        ASSERT_TRUE(f->hasFocus(grid()));
        dialogs.clear();
    }

    QString selected() const { return SelectedColumn(grid()); }
    QString value(const char *field) const { return table()->FieldByName(field)->AsString(); }

    // The type chosen from the cell's list, as a user does with Alt+Down.
    void pickType(int item) {
        Press(Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(grid()->EditorMode());
        auto *combo = qobject_cast<QComboBox *>(grid()->InplaceEditor()->parentWidget());
        ASSERT_NE(combo, nullptr);
        QTRY_VERIFY(combo->view()->isVisible());
        combo->view()->setCurrentIndex(combo->model()->index(item, 0));
        QTest::keyClick(combo->view(), Qt::Key_Return);
        settle();
        // The offscreen platform leaves the closed popup the active window;
        // a desktop gives the activation back to the screen.
        ASSERT_TRUE(ShowActive(HostApplication::instance().mainWindow()));
        if (!QApplication::focusWidget() && grid()->InplaceEditor()) grid()->InplaceEditor()->setFocus();
        settle();
    }
    // A new row: operator typed, type picked (0 Locação, 1 Manutenção, 2
    // Licença de Uso), percentage typed; the cursor stays in "%Desconto".
    void typeNew(const QString &op, int type, const QString &percent) {
        Press(Qt::Key_Insert);
        Press(Qt::Key_Home);
        Type(op);
        Press(Qt::Key_Tab);
        if (type >= 0) pickType(type);
        Press(Qt::Key_Tab);
        Type(percent);
        settle();
    }
    void save() {
        ASSERT_TRUE(f->sbtGravar->isEnabled());
        Trigger(f->sbtGravar);
    }
    void retype(const QString &text) { Retype(grid(), text); }
    void goToRow(int index) { GoToRow(index); }
};

}  // namespace

// ---------------------------------------------------------------- 1. what the list shows

TEST_F(PermissionsTest, TheOperatorColumnShowsNamesAndTheTypeItsCaption) {
    start({{"000000000003", "U", 12}, {"000000000001", "L", 10}, {"000000000001", "M", 5}});
    grid()->grab();  // the operator column's drawing runs for every row
    QStringList names, types;
    const int typeColumn = IndiceCol(grid(), "IDTIPODESCOPER");
    for (int row = 0; row < table()->RecordCount(); ++row) {
        goToRow(row);
        names << f->permissions->operatorCellText();
        types << grid()->model()->data(grid()->model()->index(row, typeColumn), Qt::DisplayRole).toString();
    }
    EXPECT_EQ(names, (QStringList{"Ana Paula Ferreira", "Ana Paula Ferreira", "Mariana Oliveira Santos"}));
    EXPECT_EQ(types, (QStringList{"Locação", "Manutenção", "Licença de Uso"}));

    // A value outside the three codes shows as an empty cell.
    DataPacket odd{table()->fieldDefs(), {{"000000000002", "Carlos", code, "X", 1.0}}};
    table()->LoadPacket(odd);
    EXPECT_EQ(grid()->model()->data(grid()->model()->index(0, typeColumn), Qt::DisplayRole).toString(), "");
    EXPECT_EQ(f->permissions->operatorCellText(), "Carlos");
}

// ---------------------------------------------------------------- 2. the operator

TEST_F(PermissionsTest, AnInactiveOrUnknownOperatorIsRefusedOnLeavingItsColumn) {
    start({});
    const struct {
        const char *typed, *kept;
    } cases[] = {{"4", "000000000004"}, {"99", "000000000099"}, {"000000000006", "000000000006"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs.clear();
        Press(Qt::Key_Insert);
        Press(Qt::Key_Home);
        Type(c.typed);
        Press(Qt::Key_Tab);
        EXPECT_EQ(dialogs.texts(), QStringList{kNaoCad});
        EXPECT_EQ(selected(), "CDOPERADOR") << "the cursor left the refused column";
        EXPECT_EQ(value("CDOPERADOR"), c.kept);
        EXPECT_EQ(table()->State(), DataSetState::Insert);
        Trigger(f->sbtCancelar);
    }
    // An active one is completed and named.
    dialogs.clear();
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("5");
    Press(Qt::Key_Tab);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(selected(), "IDTIPODESCOPER");
    EXPECT_EQ(value("CDOPERADOR"), "000000000005");
    EXPECT_EQ(value("NMOPERADOR"), "Fernanda Ribeiro Costa");
    EXPECT_TRUE(stored().isEmpty());
}

TEST_F(PermissionsTest, TheEllipsisOnAnEmptyListStartsARowAndSearchesTheActiveOperatorsInCodeOrder) {
    start({});
    ASSERT_TRUE(table()->IsEmpty());
    QStringList offered;
    dialogs.onPesquisar = [&](TDataSource *source) {
        TClientTable *rows = source->DataSet();
        for (rows->First(); !rows->Eof(); rows->Next()) offered << rows->FieldByName("CDOPERADOR")->AsString().right(1);
        rows->First();
        rows->MoveBy(2);
        return true;
    };
    Press(Qt::Key_Return, Qt::ControlModifier);
    settle();
    EXPECT_EQ(dialogs.searchTitles, QStringList{"Operador|Não existe Operador cadastrado."});
    EXPECT_EQ(offered, (QStringList{"1", "2", "3", "5", "7"}));
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_EQ(value("CDOPERADOR"), "000000000003");
    EXPECT_EQ(value("NMOPERADOR"), "Mariana Oliveira Santos");
    // Given up: nothing changes.
    dialogs.onPesquisar = [](TDataSource *) { return false; };
    Press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(value("CDOPERADOR"), "000000000003");
    Press(Qt::Key_Tab);
    pickType(0);
    Press(Qt::Key_Tab);
    Type("7");
    save();
    EXPECT_EQ(stored(), QStringList{"03/L=7"});
}

// ---------------------------------------------------------------- 3. the checks at posting

TEST_F(PermissionsTest, TypingInTheTypeColumnTypesNothingAndPickingStoresTheCode) {
    start({});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("1");
    Press(Qt::Key_Tab);
    ASSERT_EQ(selected(), "IDTIPODESCOPER");
    Type("Mm+-1");
    EXPECT_FALSE(grid()->EditorMode());
    EXPECT_EQ(value("IDTIPODESCOPER"), "");
    pickType(1);
    EXPECT_EQ(value("IDTIPODESCOPER"), "M");
    EXPECT_EQ(grid()->EditorText(), "Manutenção");
    Press(Qt::Key_Tab);
    Type("-5x,25,");
    EXPECT_EQ(grid()->EditorText(), "5,25");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(stored(), QStringList{"01/M=5.25"});
}

TEST_F(PermissionsTest, AHundredPercentPassesAndMoreIsRefusedOnThePercentage) {
    start({});
    typeNew("2", 2, "100,5");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kVrDescMaior});
    EXPECT_EQ(selected(), "VRPERCDESCOPER");
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_TRUE(stored().isEmpty());
    retype("100");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(stored(), QStringList{"02/U=100"});
}

TEST_F(PermissionsTest, MissingValuesAreReportedOneAtATimeInOrder) {
    start({});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Tab);
    Type("5");
    save();
    EXPECT_EQ(dialogs.last(), "Operador deve ser Informado");
    EXPECT_EQ(selected(), "CDOPERADOR");
    Type("1");
    save();
    EXPECT_EQ(dialogs.last(), "Tipo de desconto deve ser Informado");
    EXPECT_EQ(selected(), "IDTIPODESCOPER");
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_TRUE(stored().isEmpty());
}

TEST_F(PermissionsTest, ARepeatedOperatorAndTypeIsRefusedOnTheTypeAndAnotherTypeIsAccepted) {
    start({{"000000000001", "L", 10}});
    typeNew("1", 0, "20");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kJaCad});
    EXPECT_EQ(selected(), "IDTIPODESCOPER");
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_GT(dialogs.waitShown, 0);
    EXPECT_EQ(dialogs.waitDepth, 0);
    pickType(2);
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(stored(), (QStringList{"01/L=10", "01/U=20"}));
}

// ---------------------------------------------------------------- 4. editing and sending

TEST_F(PermissionsTest, AnEditOfThePercentageIsNoDuplicateOfItselfButAMoveOntoAnotherPermissionIs) {
    start({{"000000000001", "L", 10}, {"000000000001", "M", 5}});
    goToRow(1);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Tab);
    ASSERT_EQ(selected(), "VRPERCDESCOPER");
    retype("7,5");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(stVerEditOper, "000000000001");
    EXPECT_EQ(stVerEditTipo, "M");
    EXPECT_EQ(stored(), (QStringList{"01/L=10", "01/M=7.5"}));

    // The same row moved onto the rental permission.
    goToRow(1);
    Press(Qt::Key_Tab);
    pickType(0);
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kJaCad});
    EXPECT_EQ(selected(), "IDTIPODESCOPER");
    EXPECT_EQ(table()->State(), DataSetState::Edit);
    // Onto a free type it goes.
    pickType(2);
    save();
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(stored(), (QStringList{"01/L=10", "01/U=7.5"}));
}

TEST_F(PermissionsTest, ARefusedSendStaysPendingAsUnsavedWorkUntilTheRefresh) {
    start({{"000000000002", "M", 5}});
    // Another user removes the permission meanwhile.
    {
        auto net = Connection(server->port());
        TClientTable t("outro");
        t.LoadPacket(CheckResultPacket(net->Call("getPerOper", {code})));
        t.Delete();
        ASSERT_TRUE(net->Call("setPerOper", {t.GetDelta()}).ok);
    }
    Press(Qt::Key_Tab);
    Press(Qt::Key_Tab);
    retype("9");
    save();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().contains("outro usuário")) << dialogs.last().toStdString();
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(table()->ChangeCount(), 1);
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_TRUE(f->HasUnsavedWork());
    EXPECT_TRUE(stored().isEmpty());
    // The refresh reloads what the server holds.
    f->sbtVerificarClick();
    settle();
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_TRUE(table()->IsEmpty());
}

TEST_F(PermissionsTest, ADeleteIsSentAndTheListReloaded) {
    start({{"000000000001", "L", 10}, {"000000000003", "M", 5}});
    put({{"000000000005", "U", 1}});  // another user's grant, not yet shown
    ASSERT_EQ(table()->RecordCount(), 2);
    goToRow(0);
    Press(Qt::Key_Delete, Qt::ControlModifier);
    settle();
    EXPECT_EQ(stored(), (QStringList{"03/M=5", "05/U=1"}));
    EXPECT_EQ(table()->RecordCount(), 2);
    EXPECT_EQ(table()->ChangeCount(), 0);
}

// ---------------------------------------------------------------- 5. two hosts at once

// Each host grants and edits in its own order (single inserts, bulk grants,
// type changes); the server keeps one permission per operator, price table and
// type, and every refusal is a clean one.
TEST_F(PermissionsTest, TwoHostsAtOnceNeverLeaveTwoPermissionsOfOneOperatorAndType) {
    startServer(true);
    code = addPriceTable();
    const QStringList operators = {"000000000001", "000000000002", "000000000003", "000000000005"};
    const QStringList types = {"L", "M", "U"};
    std::atomic<int> unclean{0}, taken{0};
    auto host = [&](int seed) {
        auto net = Connection(server->port());
        std::mt19937 rng(seed);
        for (int i = 0; i < 40; ++i) {
            const int what = int(rng() % 3);
            RpcReply reply;
            if (what == 0) {
                TClientTable t("t");
                DefinePermissionFields(t);
                t.CreateDataSet();
                t.Append();
                t.FieldByName("CDOPERADOR")->SetAsString(operators[int(rng() % 4)]);
                t.FieldByName("CDPRECOPROP")->SetAsString(code);
                t.FieldByName("IDTIPODESCOPER")->SetAsString(types[int(rng() % 3)]);
                t.FieldByName("VRPERCDESCOPER")->SetAsFloat(double(rng() % 100));
                t.Post();
                reply = net->Call("setPerOper", {t.GetDelta()});
            } else if (what == 1) {
                QString list = operators[int(rng() % 4)], m = "M", l = rng() % 2 ? "L" : "", u = "";
                reply = net->Call("Insere_OperDesc", {RpcArg::ref(&list), RpcArg::ref(&m), 5.0, code, RpcArg::ref(&l), 6.0,
                                                      RpcArg::ref(&u), 7.0});
            } else {
                TClientTable t("t");
                const RpcReply list = net->Call("getPerOper", {code});
                if (!list.ok) {
                    ++unclean;
                    continue;
                }
                t.LoadPacketJson(list.data);
                if (t.IsEmpty()) continue;
                t.MoveBy(int(rng() % uint(t.RecordCount())));
                t.Edit();
                t.FieldByName("IDTIPODESCOPER")->SetAsString(types[int(rng() % 3)]);
                t.FieldByName("CDOPERADOR")->SetAsString(operators[int(rng() % 4)]);
                t.Post();
                reply = net->Call("setPerOper", {t.GetDelta()});
            }
            if (reply.ok) ++taken;
            else if (reply.errorCode != RpcCode::Refused && reply.errorCode != RpcCode::Conflict) ++unclean;
        }
    };
    std::thread a(host, 1), b(host, 2);
    a.join();
    b.join();
    EXPECT_EQ(unclean.load(), 0);
    EXPECT_GT(taken.load(), 0);
    QSet<QString> seen;
    for (const Row &r : serverCall("getPerOper", {code}).rows) {
        const QString key = r[0].toString() + "/" + r[3].toString();
        EXPECT_FALSE(seen.contains(key)) << key.toStdString();
        seen.insert(key);
    }
    EXPECT_FALSE(seen.isEmpty());
}
