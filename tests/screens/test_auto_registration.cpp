// The screen "Cadastramento Automático", opened from the maintenance screen's
// button on the permission list and driven through its real widgets against
// a real application server.
//
// Groups:
//   1. the checks before confirming: the operator list, the percentages
//   2. who receives the grants: "Todos", "Lista", F9
//   3. after the confirm: the main screen's list, the close; a refusal
#include "auto_registration/frm_cad_auto.h"
#include "screen_fixture.h"
#include "widget_test_helpers.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QToolButton>

using namespace Cli_cot00302;

namespace {

const QString kManuDesc = QStringLiteral("Percentual de desconto para manutenção não pode ser maior que 100%.");
const QString kLocaDesc = QStringLiteral("Percentual de desconto para locação não pode ser maior que 100%.");
const QString kLusoDesc = QStringLiteral("Percentual de desconto para licença de uso não pode ser maior que 100%.");
const QString kSucesso = QStringLiteral("Operação realizada com sucesso.");
const QString kOperInf = QStringLiteral("Operador deve ser informado.");
const QString kSubstitui =
    QStringLiteral("%1 permissão(ões) já cadastrada(s) nesta tabela será(ão) substituída(s) por %2. Deseja continuar?");
const QStringList kActive = {"000000000001", "000000000002", "000000000003", "000000000005", "000000000007"};

class AutoRegistrationTest : public ScreenFixture {
protected:
    TfrmTbPreProCom *f = nullptr;
    const QString code = QStringLiteral("0000000003");  // demo table: operator 7 may give 4% on rental

    void SetUp() override {
        Cli_cot00302::stOperador.clear();
        startServer(true);
        f = openScreen();
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", code));
        f->priceTables->dbgTabelaPreco->setFocus();
        settle();
        ClickTab(f->pgcTabelaPreco, f->permissions->tshPermOper);
        ASSERT_EQ(f->dtsPadrao->DataSet(), f->cdsPerOper);
        dialogs.clear();
    }

    // Opens the screen from the main screen's button and runs the script on
    // it while it is up; a screen the script leaves open is closed after it.
    // True when the screen closed by itself (the confirm went through).
    bool run(const std::function<void(TfrmCadAuto *)> &script) {
        bool closedByItself = true;
        WhenModal([&](QWidget *w) {
            auto *s = qobject_cast<TfrmCadAuto *>(w);
            EXPECT_NE(s, nullptr);
            if (!s) return;
            QPointer<TfrmCadAuto> alive(s);
            script(s);
            settle();
            if (alive && alive->isVisible()) {
                closedByItself = false;
                alive->Close();
            }
        });
        EXPECT_TRUE(f->sbtCadAuto->isEnabled());
        Trigger(f->sbtCadAuto);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(boStCriado);
        return closedByItself;
    }

    // On the box or circle, at the left of the caption.
    static void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2)); }
    static void type(TNumberEdit *e, const QString &text) {
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    static void confirm(TfrmCadAuto *s) {
        Trigger(s->sbtConfirma);
    }

    // The permissions the server holds on the test's table: "op/type=percent".
    QStringList stored(const QString &type = QString()) {
        QStringList out;
        for (const Row &r : serverCall("getPerOper", {code}).rows)
            if (type.isEmpty() || r[3].toString() == type)
                out << QStringLiteral("%1/%2=%3").arg(r[0].toString().right(1), r[3].toString(), QString::number(r[4].toDouble()));
        return out;
    }
};

}  // namespace

// ---------------------------------------------------------------- 1. the checks

TEST_F(AutoRegistrationTest, ListaWithNothingPickedIsRefusedWithoutAskingTheServer) {
    const QStringList before = stored();
    stopServerKeepingPort();  // any call would now fail with a message of its own
    const bool closed = run([&](TfrmCadAuto *s) {
        EXPECT_TRUE(s->rbtTodos->isChecked());
        EXPECT_FALSE(s->sbtPesqOper->isEnabled());
        click(s->rbtLista);
        EXPECT_TRUE(s->sbtPesqOper->isEnabled());
        confirm(s);
        EXPECT_EQ(dialogs.texts(), QStringList{kOperInf});
        EXPECT_EQ(QApplication::focusWidget(), s->rbtLista);
        EXPECT_EQ(dialogs.waitShown, 0);
    });
    EXPECT_FALSE(closed);
    restartServer();
    EXPECT_EQ(stored(), before);
}

TEST_F(AutoRegistrationTest, AHundredPercentPassesAndMoreIsRefusedOnItsOwnEdit) {
    struct Case {
        const char *box, *edit;
        QString message;
    } const cases[] = {{"ckbManutencao", "nedManuDesc", kManuDesc},
                       {"ckbLocacao", "nedLocaDesc", kLocaDesc},
                       {"ckbLicUso", "nedLusoDesc", kLusoDesc}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.edit);
        dialogs.clear();
        const QStringList before = stored();
        const bool closed = run([&](TfrmCadAuto *s) {
            auto *box = s->findChild<QCheckBox *>(c.box);
            auto *edit = s->findChild<TNumberEdit *>(c.edit);
            ASSERT_TRUE(box && edit);
            if (!box->isChecked()) click(box);
            EXPECT_TRUE(edit->isEnabled());
            type(edit, "100,01");
            confirm(s);
            EXPECT_EQ(dialogs.texts(), QStringList{c.message});
            EXPECT_EQ(QApplication::focusWidget(), edit);
            EXPECT_EQ(dialogs.waitShown, 0);
        });
        EXPECT_FALSE(closed);
        EXPECT_EQ(stored(), before);
    }
    // 100 on every line goes.
    dialogs.clear();
    const bool closed = run([&](TfrmCadAuto *s) {
        click(s->ckbLocacao);
        click(s->ckbLicUso);
        for (TNumberEdit *e : {s->nedManuDesc, s->nedLocaDesc, s->nedLusoDesc}) type(e, "100");
        confirm(s);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(dialogs.texts(), (QStringList{kSubstitui.arg(1).arg("Manutenção 100,00 %, Locação 100,00 % e Licença de Uso 100,00 %"), kSucesso}));  // operator 7's 4 % on rental
    EXPECT_EQ(stored("U").size(), kActive.size());
    EXPECT_TRUE(stored("U").contains("7/U=100"));
}

// Typed the Brazilian way; a full stop out of place is refused on the edit.
TEST_F(AutoRegistrationTest, PercentagesTypedTheBrazilianWayAndAskedBeforeReplacing) {
    struct Case {
        const char *typed;
        int answer;            // to the question on replacing
        QStringList messages;  // shown, in order
        const char *rental;    // operator 7's rental percentage afterwards
    } const cases[] = {
        {"2.5", MsgButton::Yes, {"Use a vírgula para os decimais: 2,5"}, "7/L=4"},
        {"4", MsgButton::Yes, {kSucesso}, "7/L=4"},                       // the same percentage changes nothing
        // Now every active operator has 4 % on rental.
        {"7,5", MsgButton::No, {kSubstitui.arg(5).arg("Locação 7,50 %")}, "7/L=4"},  // Não sends nothing
        {"7,5", MsgButton::Yes, {kSubstitui.arg(5).arg("Locação 7,50 %"), kSucesso}, "7/L=7.5"},
        {"", MsgButton::No, {kSubstitui.arg(5).arg("Locação 0,00 %")}, "7/L=7.5"},  // an empty percentage writes zero
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs.clear();
        dialogs.answers = {c.answer};
        const bool closed = run([&](TfrmCadAuto *s) {
            click(s->ckbManutencao);
            click(s->ckbLocacao);
            type(s->nedLocaDesc, c.typed);
            confirm(s);
        });
        EXPECT_EQ(dialogs.texts(), c.messages);
        EXPECT_EQ(closed, c.messages.contains(kSucesso));
        EXPECT_TRUE(stored("L").contains(c.rental)) << stored("L").join(' ').toStdString();
    }
}

TEST_F(AutoRegistrationTest, AnUntickedLineAboveAHundredRaisesNothingAndGrantsNothing) {
    const bool closed = run([&](TfrmCadAuto *s) {
        click(s->ckbManutencao);  // no box left ticked
        EXPECT_FALSE(s->nedManuDesc->isEnabled());
        EXPECT_FALSE(s->lblManuDesc->isEnabled());
        s->nedLocaDesc->setText("150");
        s->nedManuDesc->setText("250");
        confirm(s);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(dialogs.texts(), QStringList{kSucesso});
    EXPECT_EQ(stored(), QStringList{"7/L=4"});
}

// ---------------------------------------------------------------- 2. who receives the grants

TEST_F(AutoRegistrationTest, F9OnListaOpensTheListAndOnlyThePickedOperatorsReceive) {
    QStringList offered;
    dialogs.onPesquisaLista = [&](TDataSource *source, const QString &key, QString *selection) {
        TClientTable *rows = source->DataSet();
        for (rows->First(); !rows->Eof(); rows->Next()) offered << rows->FieldByName(key)->AsString();
        *selection = "000000000002,000000000007";
        return true;
    };
    const bool closed = run([&](TfrmCadAuto *s) {
        click(s->rbtLista);
        s->rbtLista->setFocus();
        QTest::keyClick(s->rbtLista, Qt::Key_F9);
        EXPECT_EQ(dialogs.searchTitles, QStringList{"Operador"});
        EXPECT_EQ(offered, kActive);
        EXPECT_EQ(dialogs.waitDepth, 0);
        type(s->nedManuDesc, "12,5");
        confirm(s);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(stored("M"), (QStringList{"2/M=12.5", "7/M=12.5"}));
    EXPECT_EQ(Cli_cot00302::stOperador, "000000000002,000000000007");
}

TEST_F(AutoRegistrationTest, TodosAfterAPickedListGrantsEveryActiveOperator) {
    dialogs.onPesquisaLista = [](TDataSource *, const QString &, QString *selection) {
        *selection = "000000000002";
        return true;
    };
    run([&](TfrmCadAuto *s) {
        click(s->rbtLista);
        click(s->sbtPesqOper);
        EXPECT_EQ(dialogs.searchTitles, QStringList{"Operador"});
        click(s->rbtTodos);
        EXPECT_FALSE(s->sbtPesqOper->isEnabled());
        type(s->nedManuDesc, "3");
        confirm(s);
    });
    EXPECT_EQ(stored("M").size(), kActive.size());
    // The pick is kept for the next opening, which starts from "Todos".
    EXPECT_EQ(Cli_cot00302::stOperador, "000000000002");
    run([&](TfrmCadAuto *s) {
        EXPECT_TRUE(s->rbtTodos->isChecked());
        EXPECT_TRUE(s->ckbManutencao->isChecked());
        EXPECT_FALSE(s->ckbLocacao->isChecked());
    });
}

// ---------------------------------------------------------------- 3. after the confirm

TEST_F(AutoRegistrationTest, TheMainScreensListShowsTheServersRowsAndTheScreenCloses) {
    ASSERT_EQ(f->cdsPerOper->RecordCount(), 1);
    const bool closed = run([&](TfrmCadAuto *s) {
        click(s->ckbLicUso);
        type(s->nedManuDesc, "8");
        type(s->nedLusoDesc, "2,5");
        confirm(s);
        EXPECT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.shown.value(0).type, MsgType::Information);
        EXPECT_EQ(dialogs.shown.value(0).buttons, int(MsgButton::Ok));
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(dialogs.texts(), QStringList{kSucesso});
    EXPECT_EQ(dialogs.waitShown, dialogs.waitHidden);
    const DataPacket onServer = serverCall("getPerOper", {code});
    EXPECT_EQ(onServer.rows.size(), 1 + 2 * kActive.size());
    EXPECT_EQ(f->cdsPerOper->Data().rows, onServer.rows);
    EXPECT_EQ(f->cdsPerOper->RecordCount(), onServer.rows.size());
}

TEST_F(AutoRegistrationTest, AServerRefusalKeepsTheScreenOpenAndTheListAsItWas) {
    Cli_cot00302::stOperador = "000000000004";  // inactive
    const int rows = f->cdsPerOper->RecordCount();
    const bool closed = run([&](TfrmCadAuto *s) {
        click(s->rbtLista);
        confirm(s);
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_TRUE(dialogs.last().contains("inativo")) << dialogs.last().toStdString();
        EXPECT_TRUE(s->isVisible());
        EXPECT_EQ(dialogs.waitDepth, 0);
    });
    EXPECT_FALSE(closed);
    EXPECT_EQ(f->cdsPerOper->RecordCount(), rows);
    EXPECT_EQ(stored(), QStringList{"7/L=4"});
}

// The grant reloads the list: a change the server refused is sent again
// first, and while it is still refused the screen does not open.
TEST_F(AutoRegistrationTest, APendingChangeOfTheListGoesFirstAndARefusalKeepsItAndTheScreenShut) {
    {
        TNetConnection net;
        net.Host = "127.0.0.1";
        net.Port = server->port();
        net.Token = "chave-de-teste";
        TClientTable t("outro");
        t.LoadPacket(CheckResultPacket(net.Call("getPerOper", {code})));
        t.Delete();
        ASSERT_TRUE(net.Call("setPerOper", {t.GetDelta()}).ok);
    }
    f->cdsPerOper->Edit();
    f->cdsPerOper->FieldByName("VRPERCDESCOPER")->SetAsFloat(9);
    RunGuarded([&] { f->cdsPerOper->Post(); });
    ASSERT_EQ(f->cdsPerOper->ChangeCount(), 1);
    dialogs.clear();
    bool opened = false;
    WhenModal([&](QWidget *w) {
        opened = true;
        w->close();
    });
    Trigger(f->sbtCadAuto);
    EXPECT_FALSE(opened);
    EXPECT_FALSE(boStCriado);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().contains("outro usuário")) << dialogs.last().toStdString();
    EXPECT_EQ(f->cdsPerOper->ChangeCount(), 1);
    for (int i = 0; i < 250; ++i) QApplication::processEvents();  // the watch for a modal screen runs out
}

TEST_F(AutoRegistrationTest, TheButtonIsOffWhileAPermissionIsEdited) {
    f->cdsPerOper->Edit();
    settle();
    EXPECT_FALSE(f->sbtCadAuto->isEnabled());
    EXPECT_FALSE(f->mnuCadAuto->isEnabled());
    f->cdsPerOper->Cancel();
    settle();
    EXPECT_TRUE(f->mnuCadAuto->isEnabled());
}
