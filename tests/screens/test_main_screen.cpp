// The maintenance screen's frame against a real server: opening and closing,
// activation, page changes, refresh, and the enabling rule.
#include "screen_fixture.h"
#include "grid_test_helpers.h"

#include <db_config.h>
#include <db_session.h>
#include <user_keys.h>

#include <QLabel>
#include <QMdiSubWindow>
#include <QTabBar>

using namespace Cli_cot00300;

namespace {

class MainScreenTest : public ScreenFixture {
protected:
    void focusGrid(TDBGrid *g) {
        g->setFocus();
        settle();
    }
    // Opens a sub-page the way a user does: focus in the current grid, click the tab.
    void clickSubPage(TPageControl *pages, QWidget *page) { ClickTab(pages, page); }
};

}  // namespace

TEST_F(MainScreenTest, IniProcTwiceOpensOneScreenAndRestoresIt) {
    startServer(true);
    TfrmTbPreProCom *first = openScreen();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(boStCriado);
    EXPECT_EQ(first->windowTitle(), "Preços e Descontos para Proposta Comercial");
    EXPECT_EQ(first->lblCodTela->text(), "COT00300");
    first->subWindow()->showMinimized();
    settle();
    IniProc();
    settle();
    EXPECT_EQ(frmTbPreProCom.data(), first);
    EXPECT_EQ(HostApplication::instance().mdiArea()->subWindowList().size(), 1);
    EXPECT_FALSE(first->subWindow()->isMinimized());
    EXPECT_EQ(HostApplication::instance().screenCursor(), crDefault);
}

TEST_F(MainScreenTest, CloseAndReopenMakesANewInstanceAndConnection) {
    startServer(true);
    QPointer<TfrmTbPreProCom> first = openScreen();
    QPointer<TNetConnection> firstNet = first->netTbPreProCom;
    ASSERT_TRUE(firstNet->Connected());
    first->Close();
    settle();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(boStCriado);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(firstNet.isNull());
    TfrmTbPreProCom *second = openScreen();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->netTbPreProCom->Connected());
    EXPECT_EQ(second->priceTables->cdsTbPreco->RecordCount(), 3);
}

TEST_F(MainScreenTest, ActivationShowsThePricePageAndReloadsTheList) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    EXPECT_EQ(f->pgcPadrao->ActivePage(), f->tshPadrao);
    EXPECT_EQ(f->pgcPadrao->tabText(0), "Tabela de Preço");
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->priceTables->cdsTbPreco);
    EXPECT_EQ(f->priceTables->cdsTbPreco->RecordCount(), 3);
    EXPECT_TRUE(dialogs.waitKinds.contains(6));
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(f->priceTables->cdsTbPreco->FieldByName("DTINIPRECOPROP")->EditMask, DateMask());
    EXPECT_EQ(f->dbtNome->text(), f->priceTables->cdsTbPreco->FieldByName("NMPRECOPROP")->AsString());

    // Leave for the other page and another MDI child; coming back reloads.
    QTest::mouseClick(f->pgcPadrao->tabBar(), Qt::LeftButton, {}, f->pgcPadrao->tabBar()->tabRect(1).center());
    settle();
    ASSERT_EQ(f->pgcPadrao->ActivePage(), f->tshTipoServ);
    auto *other = new TForm;
    other->SetCaption("Outra tela");
    HostApplication::instance().adoptForm(other);
    other->Show();
    settle();
    addPriceTableOnServer("Tabela Nova");
    HostApplication::instance().mdiArea()->setActiveSubWindow(f->subWindow());
    settle();
    EXPECT_EQ(f->pgcPadrao->ActivePage(), f->tshPadrao);
    EXPECT_EQ(f->priceTables->cdsTbPreco->RecordCount(), 4);
}

TEST_F(MainScreenTest, SubPagesLoadForTheCurrentPriceTableWhenTheirGridGetsTheFocus) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", "0000000002");
    focusGrid(f->priceTables->dbgTabelaPreco);
    clickSubPage(f->pgcTabelaPreco, f->bands->tshDescSist);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->bands->cdsDescSist);
    ASSERT_GT(f->bands->cdsDescSist->RecordCount(), 0);
    f->bands->cdsDescSist->First();
    EXPECT_EQ(f->bands->cdsDescSist->FieldByName("CDPRECOPROP")->AsString(), "0000000002");
    EXPECT_TRUE(f->dbtNome->text().isEmpty());
    EXPECT_FALSE(f->dbnPadrao->isEnabled());

    clickSubPage(f->pgcTabelaPreco, f->bands->tshDescUsu);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->bands->cdsDescUsu);
    EXPECT_GT(f->bands->cdsDescUsu->RecordCount(), 0);
    clickSubPage(f->pgcTabelaPreco, f->permissions->tshPermOper);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->cdsPerOper);

    clickSubPage(f->pgcTabelaPreco, f->priceTables->tshTabelaPreco);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->priceTables->cdsTbPreco);
    EXPECT_TRUE(f->dbnPadrao->isEnabled());
    // Back on the list the remembered row is current again.
    EXPECT_EQ(f->currentPriceTable(), "0000000002");
}

TEST_F(MainScreenTest, RefreshReloadsTheTableOfTheFocusedGrid) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    focusGrid(f->priceTables->dbgTabelaPreco);
    addPriceTableOnServer("Tabela Refrescada");
    const int notices = LocalCacheRegistry::instance().notices();
    Trigger(f->sbtVerificar);
    EXPECT_EQ(f->priceTables->cdsTbPreco->RecordCount(), 4);
    EXPECT_EQ(LocalCacheRegistry::instance().notices(), notices + 1);
    EXPECT_TRUE(LocalCacheRegistry::instance().isStale("PRECOPROPOSTA"));

    // Each band and permission sub-page reloads its own table.
    f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", "0000000001");
    clickSubPage(f->pgcTabelaPreco, f->bands->tshDescSist);
    const int bands = f->bands->cdsDescSist->RecordCount();
    f->bands->cdsDescSist->LoadPacket(DataPacket{f->bands->cdsDescSist->fieldDefs(), {}});
    f->sbtVerificar->setEnabled(true);
    focusGrid(f->bands->dbgDescSis);
    Trigger(f->sbtVerificar);
    EXPECT_EQ(f->bands->cdsDescSist->RecordCount(), bands);

    clickSubPage(f->pgcTabelaPreco, f->permissions->tshPermOper);
    const int perms = f->cdsPerOper->RecordCount();
    f->cdsPerOper->LoadPacket(DataPacket{f->cdsPerOper->fieldDefs(), {}});
    f->sbtVerificar->setEnabled(true);
    focusGrid(f->permissions->dbgPerOper);
    Trigger(f->sbtVerificar);
    EXPECT_EQ(f->cdsPerOper->RecordCount(), perms);
}

TEST_F(MainScreenTest, RefreshWithTheFocusOnATabDoesNothing) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    addPriceTableOnServer("Tabela Escondida");
    f->pgcTabelaPreco->tabBar()->setFocus();
    settle();
    const int waits = dialogs.waitShown;
    f->sbtVerificarClick();
    settle();
    EXPECT_EQ(f->priceTables->cdsTbPreco->RecordCount(), 3);
    EXPECT_EQ(dialogs.waitShown, waits);
}

TEST_F(MainScreenTest, EnablingRuleOnAnEmptyList) {
    startServer(false);
    TfrmTbPreProCom *f = openScreen();
    ASSERT_EQ(f->priceTables->cdsTbPreco->RecordCount(), 0);
    EXPECT_TRUE(f->sbtIncluir->isEnabled());
    for (QAction *a : {f->sbtAlterar, f->sbtExcluir, f->sbtProcurar, f->sbtVerificar, f->sbtImprimir, f->sbtGravar,
                       f->sbtCancelar, f->sbtCadAuto, f->mnuCadAuto})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QWidget *tab : {f->bands->tshDescSist, f->bands->tshDescUsu, f->permissions->tshPermOper}) EXPECT_FALSE(f->pgcTabelaPreco->pageEnabled(tab));
    EXPECT_TRUE(f->pgcPadrao->pageEnabled(f->tshTipoServ));
}

TEST_F(MainScreenTest, EnablingRuleOnAFilledListAndInEdit) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    focusGrid(f->priceTables->dbgTabelaPreco);
    for (QAction *a : {f->sbtIncluir, f->sbtAlterar, f->sbtExcluir, f->sbtProcurar, f->sbtVerificar, f->sbtImprimir})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(f->sbtGravar->isEnabled());
    for (QWidget *tab : {f->bands->tshDescSist, f->bands->tshDescUsu, f->permissions->tshPermOper}) EXPECT_TRUE(f->pgcTabelaPreco->pageEnabled(tab));
    EXPECT_FALSE(f->sbtCadAuto->isEnabled());

    f->priceTables->cdsTbPreco->Edit();
    settle();
    EXPECT_TRUE(f->sbtGravar->isEnabled());
    EXPECT_TRUE(f->sbtCancelar->isEnabled());
    for (QAction *a : {f->sbtIncluir, f->sbtAlterar, f->sbtExcluir, f->sbtProcurar, f->sbtVerificar, f->sbtImprimir})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QWidget *tab : {f->bands->tshDescSist, f->bands->tshDescUsu, f->permissions->tshPermOper}) EXPECT_FALSE(f->pgcTabelaPreco->pageEnabled(tab));
    EXPECT_FALSE(f->pgcPadrao->pageEnabled(f->tshTipoServ));
    f->priceTables->cdsTbPreco->Cancel();
    settle();
    EXPECT_TRUE(f->pgcPadrao->pageEnabled(f->tshTipoServ));
}

TEST_F(MainScreenTest, EnablingRuleOnTheBandAndPermissionSubPages) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    focusGrid(f->priceTables->dbgTabelaPreco);
    clickSubPage(f->pgcTabelaPreco, f->bands->tshDescSist);
    ASSERT_EQ(f->dtsPadrao->DataSet(), f->bands->cdsDescSist);
    for (QWidget *tab : {f->priceTables->tshTabelaPreco, f->bands->tshDescUsu, f->permissions->tshPermOper}) EXPECT_TRUE(f->pgcTabelaPreco->pageEnabled(tab));
    EXPECT_FALSE(f->sbtCadAuto->isEnabled());
    f->bands->cdsDescSist->Edit();
    settle();
    for (QWidget *tab : {f->priceTables->tshTabelaPreco, f->bands->tshDescUsu, f->permissions->tshPermOper}) EXPECT_FALSE(f->pgcTabelaPreco->pageEnabled(tab));
    f->bands->cdsDescSist->Cancel();
    settle();

    clickSubPage(f->pgcTabelaPreco, f->permissions->tshPermOper);
    ASSERT_EQ(f->dtsPadrao->DataSet(), f->cdsPerOper);
    EXPECT_TRUE(f->sbtCadAuto->isEnabled());
    EXPECT_TRUE(f->mnuCadAuto->isEnabled());
    f->cdsPerOper->Edit();
    settle();
    EXPECT_FALSE(f->sbtCadAuto->isEnabled());
    f->cdsPerOper->Cancel();
}

TEST_F(MainScreenTest, EnablingRuleOnTheServiceTypePages) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    QTest::mouseClick(f->pgcPadrao->tabBar(), Qt::LeftButton, {}, f->pgcPadrao->tabBar()->tabRect(1).center());
    settle();
    ASSERT_EQ(f->pgcTipoServico->ActivePage(), f->serviceTypes->tshDadTipServ);
    ASSERT_GT(f->serviceTypes->cdsTipoServico->RecordCount(), 0);
    focusGrid(f->serviceTypes->dbgTipoServico);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->serviceTypes->cdsTipoServico);
    EXPECT_FALSE(f->sbtIncluir->isEnabled());  // inserts only in the operator grid
    EXPECT_TRUE(f->sbtAlterar->isEnabled());
    EXPECT_FALSE(f->sbtExcluir->isEnabled());
    EXPECT_TRUE(f->sbtImprimir->isEnabled());
    EXPECT_TRUE(f->pgcPadrao->pageEnabled(f->tshPadrao));

    focusGrid(f->serviceTypes->dbgOperador);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->serviceTypes->cdsOperTipoServ);
    EXPECT_TRUE(f->sbtIncluir->isEnabled());

    f->serviceTypes->cdsTipoServico->Edit();
    focusGrid(f->serviceTypes->dbgTipoServico);
    EXPECT_FALSE(f->pgcPadrao->pageEnabled(f->tshPadrao));
    EXPECT_FALSE(f->pgcTipoServico->pageEnabled(f->serviceTypes->tshDadoOper));
    f->serviceTypes->cdsTipoServico->Cancel();
}

TEST_F(MainScreenTest, AFailedCallHidesTheWaitAnimationAndShowsWhy) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    focusGrid(f->priceTables->dbgTabelaPreco);
    server->stop();
    dialogs.clear();
    Trigger(f->sbtVerificar);
    EXPECT_EQ(dialogs.waitShown, 1);
    EXPECT_EQ(dialogs.waitHidden, 1);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:"));
    EXPECT_EQ(f->priceTables->cdsTbPreco->RecordCount(), 3);  // the list stays as it was
}

TEST_F(MainScreenTest, AnUnreachableServerGivesOneClearMessageAndTheHostStaysUsable) {
    startServer(true);
    const int port = server->port();
    server->stop();
    dialogs.clear();
    TfrmTbPreProCom *f = openScreen();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.last(), QString("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:%1.").arg(port));
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(HostApplication::instance().screenCursor(), crDefault);
    // The screen can still be closed and opened again.
    f->Close();
    settle();
    EXPECT_FALSE(boStCriado);
}

// ---------------------------------------------------------------- sub-pages opened by mouse

// The band and permission sub-pages belong to the current price table however
// they are reached: by a click on their tab with the focus anywhere (here on
// the way back from "Tipo de Serviço", where the focus is not inside the
// sub-page left), "Verificar" reloads them with the focus on the tab bar, and
// the tool bar acts on the list shown.
TEST_F(MainScreenTest, ASubPageOpenedByMouseShowsTheCurrentPriceTablesRowsAndTheToolBarActsOnThem) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    ASSERT_TRUE(ShowActive(HostApplication::instance().mainWindow()));
    struct Case {
        QWidget *sheet;
        TClientTable *table;
        TDBGrid *grid;
        bool inserts;
    } cases[] = {{f->bands->tshDescSist, f->bands->cdsDescSist, f->bands->dbgDescSis, true},
                 {f->bands->tshDescUsu, f->bands->cdsDescUsu, f->bands->dbgDescUsu, true},
                 {f->permissions->tshPermOper, f->cdsPerOper, f->permissions->dbgPerOper, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sheet->objectName().toStdString());
        clickSubPage(f->pgcPadrao, f->tshTipoServ);
        ASSERT_EQ(f->pgcPadrao->ActivePage(), f->tshTipoServ);
        clickSubPage(f->pgcPadrao, f->tshPadrao);
        ASSERT_EQ(f->pgcTabelaPreco->ActivePage(), f->priceTables->tshTabelaPreco);
        ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", "0000000002"));
        c.table->LoadPacket(DataPacket{c.table->fieldDefs(), {}});
        f->pgcTabelaPreco->tabBar()->setFocus();
        settle();

        clickSubPage(f->pgcTabelaPreco, c.sheet);
        ASSERT_EQ(f->pgcTabelaPreco->ActivePage(), c.sheet);
        EXPECT_EQ(f->dtsPadrao->DataSet(), c.table);
        EXPECT_TRUE(f->hasFocus(c.grid));
        ASSERT_GT(c.table->RecordCount(), 0);
        for (c.table->First(); !c.table->Eof(); c.table->Next())
            EXPECT_EQ(c.table->FieldByName("CDPRECOPROP")->AsString(), "0000000002");
        auto *label = c.sheet->findChild<QLabel *>("lblTabela");
        ASSERT_NE(label, nullptr);
        EXPECT_TRUE(label->text().contains("0000000002")) << label->text().toStdString();
        EXPECT_TRUE(label->text().contains(f->priceTables->currentName())) << label->text().toStdString();
        EXPECT_TRUE(f->dbtNome->text().isEmpty());

        const int rows = c.table->RecordCount();
        c.table->LoadPacket(DataPacket{c.table->fieldDefs(), {}});
        f->pgcTabelaPreco->tabBar()->setFocus();
        settle();
        f->sbtVerificarClick();
        settle();
        EXPECT_EQ(c.table->RecordCount(), rows);

        if (c.inserts) {
            const int priceTables = f->priceTables->cdsTbPreco->RecordCount();
            ASSERT_TRUE(f->sbtIncluir->isEnabled());
            Trigger(f->sbtIncluir);
            EXPECT_EQ(c.table->State(), DataSetState::Insert);
            EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Browse);
            EXPECT_EQ(f->priceTables->cdsTbPreco->RecordCount(), priceTables);
            // The typing goes into the new row's cell.
            ASSERT_NE(QApplication::focusWidget(), nullptr);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_7);
            settle();
            ASSERT_TRUE(c.grid->EditorMode());
            EXPECT_EQ(c.grid->EditorText(), "7");
            Press(Qt::Key_Escape);
            Press(Qt::Key_Escape);
            settle();
            EXPECT_EQ(c.table->State(), DataSetState::Browse);
        } else {
            EXPECT_FALSE(f->sbtIncluir->isEnabled());
        }
        clickSubPage(f->pgcTabelaPreco, f->priceTables->tshTabelaPreco);
        EXPECT_EQ(f->dtsPadrao->DataSet(), f->priceTables->cdsTbPreco);
    }
}

TEST_F(MainScreenTest, APermissionsTypeShowsItsCaptionForTheStoredCode) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", "0000000002"));
    clickSubPage(f->pgcTabelaPreco, f->permissions->tshPermOper);
    TDBGrid *g = f->permissions->dbgPerOper;
    const int column = IndiceCol(g, "IDTIPODESCOPER");
    ASSERT_GE(column, 0);
    QStringList shown, stored;
    for (int row = 0; row < f->cdsPerOper->RecordCount(); ++row) {
        shown << g->model()->data(g->model()->index(row, column), Qt::DisplayRole).toString();
        stored << f->cdsPerOper->viewValue(row, f->cdsPerOper->FieldByName("IDTIPODESCOPER")->Index()).toString();
    }
    stored.sort();
    shown.sort();
    EXPECT_EQ(stored, (QStringList{"M", "U"}));
    EXPECT_EQ(shown, (QStringList{"Licença de Uso", "Manutenção"}));
}

// The screen follows the role of the key it works with: what the role may
// not store is read-only, with the reason in the tool tips; reads work.
TEST_F(MainScreenTest, EnablingRuleFollowsThePersonsRole) {
    startServer(true);
    const struct {
        const char *person;
        Role role;
        bool prices, discounts;
    } people[] = {{"Carla", Role::Consulta, false, false}, {"Paulo", Role::Precos, true, false}, {"Diana", Role::Descontos, false, true}};
    for (const auto &p : people) {
        SCOPED_TRACE(p.person);
        DbConfig config;
        QString error;
        ASSERT_TRUE(DbConfig::parse(dbPath, &config, &error));
        HostSettings hs;
        hs.webUrl = "127.0.0.1";
        hs.webPort = server->port();
        {
            DbSession db(config, QStringLiteral("fixture-keys"));
            db.open();
            hs.token = QString::fromLatin1(UserKeys::add(db, QString::fromLatin1(p.person), p.role));
        }
        SetHostSettings(hs);
        TfrmTbPreProCom *f = openScreen();
        EXPECT_EQ(HostApplication::instance().mainWindow()->findChild<QLabel *>("lblUsuario")->text(),
                  QStringLiteral("%1 (%2)").arg(QString::fromLatin1(p.person), AccessRoles::name(p.role)));
        focusGrid(f->priceTables->dbgTabelaPreco);
        EXPECT_EQ(f->sbtIncluir->isEnabled(), p.prices);
        EXPECT_EQ(f->sbtCopiar->isEnabled(), p.prices);
        EXPECT_TRUE(f->sbtCalculadora->isEnabled() && f->sbtImprimir->isEnabled() && f->sbtHistorico->isEnabled());
        if (!p.prices) {
            EXPECT_TRUE(f->sbtIncluir->toolTip().contains(AccessRoles::name(p.role)));
            QTest::keyClick(f->priceTables->dbgTabelaPreco, Qt::Key_A);  // typing does not start an edit
            settle();
            EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Browse);
        }
        clickSubPage(f->pgcTabelaPreco, f->permissions->tshPermOper);
        EXPECT_EQ(f->sbtIncluir->isEnabled(), p.discounts);
        EXPECT_EQ(f->sbtCadAuto->isEnabled(), p.discounts);
        f->close();
        settle();
    }
}
