// Closing the maintenance screen against a real server, through the ways a
// user closes it, and the menu shortcuts of the screen and the host.
//
// Groups:
//   1. Nothing unsaved: every way of closing closes at once, without a question.
//   2. A row being typed: each way of closing asks "Deseja gravar as
//      alterações?" with Sim / Não / Cancelar, and each answer does what it says.
//   3. Sim that cannot save (a refused check, a server that refuses): the
//      screen stays open with the work as it was.
//   4. Changes the server refused earlier (pending): asked about as well;
//      "Gravar" sends them again, "Verificar" asks before dropping them.
//   5. Quitting the host asks every screen first; Cancelar keeps it all open.
//   6. Every menu shortcut fires its action once (Ctrl+W closes).
#include "screen_fixture.h"
#include "widget_test_helpers.h"

#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTimer>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QToolButton>

using namespace Cli_cot00300;

namespace {

const QString kQuestion = QStringLiteral("Deseja gravar as alterações?");

enum class Way { FecharButton, WindowCloseButton, CtrlW, QuitHost };

const char *wayName(Way w) {
    switch (w) {
    case Way::FecharButton: return "o botão Fechar";
    case Way::WindowCloseButton: return "o botão de fechar da janela";
    case Way::CtrlW: return "Ctrl+W";
    case Way::QuitHost: return "sair do programa";
    }
    return "";
}

const Way kWays[] = {Way::FecharButton, Way::WindowCloseButton, Way::CtrlW, Way::QuitHost};

// Messages Qt writes to the log while a test runs.
QStringList g_log;
void captureLog(QtMsgType, const QMessageLogContext &, const QString &text) { g_log << text; }

class ClosingTest : public ScreenFixture {
protected:
    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);  // the host's window closes in some cases
        startServer(true);
        open();
        original = nameOnServer("0000000001");
        ASSERT_FALSE(original.isEmpty());
    }

    void open() {
        f = openScreen();
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(ShowActive(HostApplication::instance().mainWindow()));
        f->priceTables->dbgTabelaPreco->setFocus();
        settle();
        dialogs.clear();
    }

    // Closes the way a user does; true when the screen went away.
    bool closeBy(Way way) {
        QPointer<TfrmTbPreProCom> screen(f);
        QPointer<QMdiSubWindow> sub(f->subWindow());
        switch (way) {
        case Way::FecharButton:
            QTest::mouseClick(f->panMenu->widgetForAction(f->sbtFechar), Qt::LeftButton);
            break;
        case Way::WindowCloseButton: clickTitleBarClose(sub); break;
        case Way::CtrlW: Press(Qt::Key_W, Qt::ControlModifier); break;
        case Way::QuitHost: HostApplication::instance().mainWindow()->close(); break;
        }
        settle();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return screen.isNull() && sub.isNull();
    }

    // The close button drawn in the MDI window's title bar, clicked with the mouse.
    static void clickTitleBarClose(QMdiSubWindow *sub) {
        QStyleOptionTitleBar opt;
        opt.initFrom(sub);
        opt.subControls = QStyle::SC_All;
        opt.titleBarFlags = sub->windowFlags();
        opt.titleBarState = sub->windowState();
        opt.state |= QStyle::State_Active;
        opt.text = sub->windowTitle();
        const int height = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, &opt, sub);
        opt.rect = QRect(0, 0, sub->width(), height);
        const QRect button = sub->style()->subControlRect(QStyle::CC_TitleBar, &opt, QStyle::SC_TitleBarCloseButton, sub);
        ASSERT_TRUE(button.isValid());
        // The window picks the button under the pointer as the pointer comes
        // over it (from wherever an earlier case left it).
        QTest::mouseMove(sub, sub->rect().center());
        QTest::mouseMove(sub, button.center());
        QTest::mouseClick(sub, Qt::LeftButton, {}, button.center());
    }

    // The first price table renamed by typing into "Nome": the row is in edit
    // and the text still in the cell editor, not yet in the field.
    void typeNewName(const QString &name) {
        f->priceTables->cdsTbPreco->First();
        f->priceTables->dbgTabelaPreco->SetSelectedField(f->priceTables->cdsTbPreco->FieldByName("NMPRECOPROP"));
        Type(name);
        ASSERT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Edit);
        ASSERT_TRUE(f->priceTables->dbgTabelaPreco->EditorMode());
    }

    QString nameOnServer(const QString &code) {
        const DataPacket p = serverCall("getTbPreco");
        for (const Row &r : p.rows)
            if (r[p.fieldIndex("CDPRECOPROP")].toString() == code) return r[p.fieldIndex("NMPRECOPROP")].toString();
        return QString();
    }

    // Another user renames a price table.
    void renameOnServer(const QString &code, const QString &name) {
        TNetConnection net;
        net.Host = "127.0.0.1";
        net.Port = server->port();
        net.Token = "chave-de-teste";
        TClientTable t;
        t.LoadPacket(CheckResultPacket(net.Call("getTbPreco", {})));
        ASSERT_TRUE(t.Locate("CDPRECOPROP", code));
        t.Edit();
        t.FieldByName("NMPRECOPROP")->SetAsString(name);
        t.Post();
        CheckResultServ(net.Call("SetIncTbPre", {t.GetDelta()}));
    }

    // The market segments linked to a price table, read from the server's database.
    int segmentsOf(const QString &code) { return sql("SELECT COUNT(*) FROM SEGMERCADO WHERE CDPRECOPROP = ?", {code}).toInt(); }

    int questions() const {
        int n = 0;
        for (const auto &s : dialogs.shown)
            if (s.text == kQuestion) ++n;
        return n;
    }

    TfrmTbPreProCom *f = nullptr;
    QString original;  // the name of price table 1 on the server
};

}  // namespace

// ---------------------------------------------------------------- 1. nothing unsaved

TEST_F(ClosingTest, WithNothingUnsavedEveryWayClosesWithoutAQuestion) {
    for (Way way : kWays) {
        SCOPED_TRACE(wayName(way));
        if (!f) open();
        // A row put in edit with nothing typed loses nothing.
        f->sbtAlterar->trigger();
        ASSERT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Edit);
        EXPECT_TRUE(closeBy(way));
        EXPECT_EQ(questions(), 0);
        EXPECT_FALSE(boStCriado);
        EXPECT_EQ(HostApplication::instance().mainWindow()->isVisible(), way != Way::QuitHost);
        HostApplication::instance().mainWindow()->show();
        f = nullptr;
    }
}

// ---------------------------------------------------------------- 2. each answer

TEST_F(ClosingTest, EachWayOfClosingAsksAndEachAnswerDoesWhatItSays) {
    struct Case {
        int answer;
        bool closes;
        QString stored;  // the name on the server afterwards
    };
    const Case cases[] = {
        {MsgButton::Cancel, false, original},
        {MsgButton::No, true, original},
        {MsgButton::Yes, true, "Nome gravado ao fechar"},
    };
    int n = 0;
    for (Way way : kWays) {
        for (const Case &c : cases) {
            SCOPED_TRACE(QStringLiteral("%1, resposta %2").arg(QString::fromUtf8(wayName(way))).arg(c.answer).toStdString());
            if (!f) open();
            ASSERT_EQ(nameOnServer("0000000001"), original) << "the previous case left a change";
            const QString typed = c.answer == MsgButton::Yes ? c.stored : QStringLiteral("Nome %1").arg(++n);
            typeNewName(typed);
            dialogs.answers = {c.answer};

            EXPECT_EQ(closeBy(way), c.closes);
            ASSERT_EQ(questions(), 1);
            EXPECT_EQ(dialogs.shown.first().type, MsgType::Confirmation);
            EXPECT_EQ(dialogs.shown.first().buttons, MsgButton::Yes | MsgButton::No | MsgButton::Cancel);
            EXPECT_EQ(nameOnServer("0000000001"), c.stored);
            EXPECT_EQ(boStCriado, !c.closes);
            EXPECT_EQ(HostApplication::instance().mainWindow()->isVisible(), !(c.closes && way == Way::QuitHost));
            if (!c.closes) {
                // Cancelar: the screen as it was, the row in edit with what was typed.
                EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Edit);
                EXPECT_EQ(GridText(f->priceTables->dbgTabelaPreco, "NMPRECOPROP", true), typed);
                f->sbtCancelar->trigger();
            } else {
                f = nullptr;
                HostApplication::instance().mainWindow()->show();
            }
            if (c.answer == MsgButton::Yes) renameOnServer("0000000001", original);  // for the next way
            dialogs.clear();
        }
    }
}

TEST_F(ClosingTest, SimOnANewRowSendsItAndNaoLeavesNothingBehind) {
    const QStringList cells = {"Tabela nova", "01022026", "28022026", "1500", "270", "12", "10", "15"};
    for (int answer : {MsgButton::No, MsgButton::Yes}) {
        SCOPED_TRACE(answer == MsgButton::Yes ? "Sim" : "Não");
        if (!f) open();
        Trigger(f->sbtIncluir);
        for (int i = 0; i < cells.size(); ++i) {
            Type(cells[i]);
            if (i + 1 < cells.size()) Press(Qt::Key_Tab);
        }
        ASSERT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Insert);
        const QString code = f->priceTables->cdsTbPreco->FieldByName("CDPRECOPROP")->AsString();
        dialogs.answers = {answer};
        EXPECT_TRUE(closeBy(Way::FecharButton));
        EXPECT_EQ(questions(), 1);
        EXPECT_EQ(nameOnServer(code), answer == MsgButton::Yes ? "Tabela nova" : "");
        f = nullptr;
    }
    EXPECT_EQ(serverCall("getTbPreco").rows.size(), 4);
}

TEST_F(ClosingTest, SimPostsABandBeingTypedOnItsSubPage) {
    const QString code = f->currentPriceTable();
    // The sub-page opened as a user does, from the price grid.
    ClickTab(f->pgcTabelaPreco, f->bands->tshDescSist);
    ASSERT_EQ(f->dtsPadrao->DataSet(), f->bands->cdsDescSist);
    ASSERT_GT(f->bands->cdsDescSist->RecordCount(), 0);
    f->bands->cdsDescSist->Last();
    const QString first = f->bands->cdsDescSist->FieldByName("QTINISISTEMAS")->AsString();
    f->bands->dbgDescSis->SetSelectedField(f->bands->cdsDescSist->FieldByName("VRPERCDESCSIST"));
    Type("7");
    ASSERT_EQ(f->bands->cdsDescSist->State(), DataSetState::Edit);
    dialogs.answers = {MsgButton::Yes};
    EXPECT_TRUE(closeBy(Way::WindowCloseButton)) << dialogs.last().toStdString();
    EXPECT_EQ(dialogs.texts(), QStringList{kQuestion});
    const DataPacket bands = serverCall("getDescSis", {code});
    double stored = -1;
    for (const Row &r : bands.rows)
        if (r[bands.fieldIndex("QTINISISTEMAS")].toString() == first) stored = r[bands.fieldIndex("VRPERCDESCSIST")].toDouble();
    EXPECT_DOUBLE_EQ(stored, 7);
    f = nullptr;
}

// ---------------------------------------------------------------- 3. Sim that cannot save

TEST_F(ClosingTest, SimThatARecordCheckRefusesKeepsTheScreenOpenWithTheRow) {
    Trigger(f->sbtIncluir);
    Type("Sem datas");
    dialogs.answers = {MsgButton::Yes};
    EXPECT_FALSE(closeBy(Way::CtrlW));
    EXPECT_EQ(dialogs.texts(), (QStringList{kQuestion, "Inicio da Vigencia deve ser Informado."}));
    EXPECT_TRUE(boStCriado);
    EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Insert);
    EXPECT_EQ(f->priceTables->cdsTbPreco->FieldByName("NMPRECOPROP")->AsString(), "Sem datas");
    EXPECT_EQ(serverCall("getTbPreco").rows.size(), 3);
    // Asked again, Não lets it go.
    dialogs.answers = {MsgButton::No};
    EXPECT_TRUE(closeBy(Way::FecharButton));
    EXPECT_EQ(questions(), 2);
    f = nullptr;
}

TEST_F(ClosingTest, SimThatTheServerRefusesKeepsTheScreenOpenWithTheChangePending) {
    typeNewName("Nome que o servidor nao recebe");
    stopServerKeepingPort();
    dialogs.answers = {MsgButton::Yes};
    EXPECT_FALSE(closeBy(Way::QuitHost));
    ASSERT_EQ(dialogs.texts().size(), 2);
    EXPECT_EQ(dialogs.texts().first(), kQuestion);
    EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar")) << dialogs.last().toStdString();
    EXPECT_TRUE(boStCriado);
    EXPECT_TRUE(HostApplication::instance().mainWindow()->isVisible());
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 1);  // posted, not taken
    restartServer();
    EXPECT_EQ(nameOnServer("0000000001"), original);
}

// ---------------------------------------------------------------- 4. pending changes

TEST_F(ClosingTest, ChangesTheServerRefusedAreAskedAboutSimSendsThemNaoDropsThem) {
    for (int answer : {MsgButton::Cancel, MsgButton::No, MsgButton::Yes}) {
        SCOPED_TRACE(answer);
        if (!f) open();
        const QString name = QStringLiteral("Pendente %1").arg(answer);
        stopServerKeepingPort();
        f->priceTables->cdsTbPreco->First();
        f->priceTables->cdsTbPreco->Edit();
        f->priceTables->cdsTbPreco->FieldByName("NMPRECOPROP")->SetAsString(name);
        Trigger(f->sbtGravar);
        ASSERT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Browse);
        ASSERT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 1);
        restartServer();
        dialogs.clear();
        dialogs.answers = {answer};
        const bool closed = closeBy(Way::FecharButton);
        EXPECT_EQ(questions(), 1);
        EXPECT_EQ(closed, answer != MsgButton::Cancel);
        EXPECT_EQ(nameOnServer("0000000001"), answer == MsgButton::Yes ? name : original);
        if (!closed) {
            EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 1);
            f->priceTables->cdsTbPreco->CancelUpdates();
        } else {
            f = nullptr;
        }
    }
}

// "Gravar" sends a pending rename again once the server can take it; "Verificar"
// asks first, "Não" keeps it, "Sim" reads the server's name again.
TEST_F(ClosingTest, GravarSendsPendingChangesAgainAndVerificarAsksBeforeDroppingThem) {
    TClientTable *t = f->priceTables->cdsTbPreco;
    enum { StoppedServer, Conflict, VerificarNao, VerificarSim };
    for (int c : {StoppedServer, Conflict, VerificarNao, VerificarSim}) {
        SCOPED_TRACE(c);
        const QString mine = QStringLiteral("Pendente %1").arg(c);
        if (c == Conflict) renameOnServer("0000000001", "Mudado por outro");
        else stopServerKeepingPort();
        t->First();
        t->Edit();
        t->FieldByName("NMPRECOPROP")->SetAsString(mine);
        f->sbtGravar->trigger();
        ASSERT_EQ(t->ChangeCount(), 1);
        EXPECT_TRUE(f->sbtGravar->isEnabled());
        if (c == Conflict) renameOnServer("0000000001", original);  // the other user's change reverted
        else restartServer();
        dialogs.clear();
        dialogs.answers = {c == VerificarNao ? MsgButton::No : MsgButton::Yes};
        (c < VerificarNao ? f->sbtGravar : f->sbtVerificar)->trigger();
        settle();
        EXPECT_EQ(dialogs.texts(), c < VerificarNao ? QStringList()
                                   : QStringList{"Há 1 alteração(ões) não gravada(s). Descartar e ler de novo do servidor?"});
        EXPECT_EQ(t->ChangeCount(), c == VerificarNao ? 1 : 0);
        EXPECT_EQ(f->sbtGravar->isEnabled(), c == VerificarNao);
        t->First();
        EXPECT_EQ(t->FieldByName("NMPRECOPROP")->AsString(), c == VerificarSim ? original : mine);
        EXPECT_EQ(nameOnServer("0000000001"), c < VerificarNao ? mine : original);
        renameOnServer("0000000001", original);
        t->CancelUpdates();
        f->sbtVerificar->trigger();
    }
}

TEST_F(ClosingTest, ARefusedDeletionStaysPendingWithItsSegmentsLinkedUntilNaoDropsIt) {
    // My rename of table 1 comes after another user's: the server refuses it
    // and it stays pending; the deletion of table 2 then travels with it and
    // is refused too.
    renameOnServer("0000000001", "Deles");
    typeNewName("Minha");
    Trigger(f->sbtGravar);
    ASSERT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 1);
    ASSERT_EQ(segmentsOf("0000000002"), 1);
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", "0000000002"));
    dialogs.confirmAnswer = MsgButton::Yes;
    Trigger(f->sbtExcluir);
    ASSERT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 2);
    EXPECT_EQ(segmentsOf("0000000002"), 1);  // the refused deletion unlinked nothing

    dialogs.clear();
    dialogs.answers = {MsgButton::Yes, MsgButton::No};
    EXPECT_FALSE(closeBy(Way::FecharButton));  // Sim: refused again, the screen stays
    ASSERT_EQ(dialogs.texts().size(), 2);
    EXPECT_TRUE(dialogs.last().contains("outro usuário")) << dialogs.last().toStdString();
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 2);
    EXPECT_TRUE(closeBy(Way::FecharButton));  // Não: dropped
    EXPECT_EQ(questions(), 2);
    EXPECT_EQ(serverCall("getTbPreco").rows.size(), 3);
    EXPECT_EQ(nameOnServer("0000000001"), "Deles");
    EXPECT_EQ(segmentsOf("0000000002"), 1);
    f = nullptr;
}

// ---------------------------------------------------------------- 5. quitting the host

TEST_F(ClosingTest, CancelarWhenQuittingLeavesEveryScreenOpen) {
    // Another screen without unsaved work is asked nothing and stays too.
    auto *other = new TForm;
    other->SetCaption("Outra tela");
    other->Show();
    f->SetWindowStateNormal();
    f->priceTables->dbgTabelaPreco->setFocus();
    settle();
    QPointer<TForm> otherAlive(other);
    typeNewName("Fica digitado");
    dialogs.answers = {MsgButton::Cancel};
    EXPECT_FALSE(closeBy(Way::QuitHost));
    EXPECT_EQ(questions(), 1);
    EXPECT_TRUE(HostApplication::instance().mainWindow()->isVisible());
    EXPECT_FALSE(otherAlive.isNull());
    EXPECT_EQ(HostApplication::instance().mdiArea()->subWindowList().size(), 2);
    EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Edit);
}

// ---------------------------------------------------------------- 6. shortcuts

TEST_F(ClosingTest, EveryMenuShortcutOfTheScreenAndTheHostFiresItsActionOnce) {
    QList<QAction *> actions;
    std::function<void(QMenu *)> collect = [&](QMenu *menu) {
        for (QAction *a : menu->actions()) {
            if (a->menu()) collect(a->menu());
            else if (!a->shortcut().isEmpty()) actions << a;
        }
    };
    for (QMenuBar *bar : {f->mnuPrincipal, HostApplication::instance().menuBar()})
        for (QAction *a : bar->actions())
            if (a->menu()) collect(a->menu());
    ASSERT_GE(actions.size(), 11);

    // Fechar last: it takes the screen with it.
    std::stable_partition(actions.begin(), actions.end(), [this](QAction *a) { return a != f->sbtFechar; });
    g_log.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);
    dialogs.confirmAnswer = MsgButton::No;  // "Confirma exclusão?" and the like
    for (QAction *a : actions) {
        SCOPED_TRACE(a->text().toStdString() + " " + a->shortcut().toString().toStdString());
        if (f) {
            if (f->priceTables->cdsTbPreco->IsEditing()) f->priceTables->cdsTbPreco->Cancel();
            f->priceTables->dbgTabelaPreco->setFocus();
            settle();
        }
        a->setEnabled(true);  // whatever the enabling rule says about the current row
        QSignalSpy fired(a, &QAction::triggered);
        // A shortcut that opens a modal screen (the report) gets it closed again,
        // from inside its own event loop.
        QTimer closeModal;
        QObject::connect(&closeModal, &QTimer::timeout, [] {
            if (QWidget *modal = QApplication::activeModalWidget()) modal->close();
        });
        closeModal.start(50);
        const QKeyCombination key = a->shortcut()[0];
        Press(key.key(), key.keyboardModifiers());
        settle();
        closeModal.stop();
        ShowActive(HostApplication::instance().mainWindow());  // back from a closed modal screen
        EXPECT_EQ(fired.count(), 1);
    }
    qInstallMessageHandler(previous);
    EXPECT_FALSE(g_log.join('\n').contains("Ambiguous")) << g_log.join('\n').toStdString();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(boStCriado);  // Ctrl+W closed the screen
    f = nullptr;
}
