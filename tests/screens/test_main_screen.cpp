// The maintenance screen's frame against a real server: opening and closing,
// activation, page changes, refresh, and the enabling rule.
#include "screen_fixture.h"

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
    void clickSubPage(TPageControl *pages, QWidget *page) {
        const int index = pages->indexOf(page);
        const QRect r = pages->tabBar()->tabRect(index);
        QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, r.center());
        settle();
    }
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
    EXPECT_EQ(second->cdsTbPreco->RecordCount(), 3);
}

TEST_F(MainScreenTest, ActivationShowsThePricePageAndReloadsTheList) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    EXPECT_EQ(f->pgcPadrao->ActivePage(), f->tshPadrao);
    EXPECT_EQ(f->pgcPadrao->tabText(0), "Tabela de Preço");
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->cdsTbPreco);
    EXPECT_EQ(f->cdsTbPreco->RecordCount(), 3);
    EXPECT_TRUE(dialogs.waitKinds.contains(6));
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(f->cdsTbPreco->FieldByName("DTINIPRECOPROP")->EditMask, DateMask());
    EXPECT_EQ(f->dbtNome->text(), f->cdsTbPreco->FieldByName("NMPRECOPROP")->AsString());

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
    EXPECT_EQ(f->cdsTbPreco->RecordCount(), 4);
}

TEST_F(MainScreenTest, SubPagesLoadForTheCurrentPriceTableWhenTheirGridGetsTheFocus) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    f->cdsTbPreco->Locate("CDPRECOPROP", "0000000002");
    focusGrid(f->dbgTabelaPreco);
    clickSubPage(f->pgcTabelaPreco, f->tshDescSist);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->cdsDescSist);
    ASSERT_GT(f->cdsDescSist->RecordCount(), 0);
    f->cdsDescSist->First();
    EXPECT_EQ(f->cdsDescSist->FieldByName("CDPRECOPROP")->AsString(), "0000000002");
    EXPECT_TRUE(f->dbtNome->text().isEmpty());
    EXPECT_FALSE(f->dbnPadrao->isEnabled());

    clickSubPage(f->pgcTabelaPreco, f->tshDescUsu);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->cdsDescUsu);
    EXPECT_GT(f->cdsDescUsu->RecordCount(), 0);
    clickSubPage(f->pgcTabelaPreco, f->tshPermOper);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->cdsPerOper);

    clickSubPage(f->pgcTabelaPreco, f->tshTabelaPreco);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->cdsTbPreco);
    EXPECT_TRUE(f->dbnPadrao->isEnabled());
    // Back on the list the remembered row is current again.
    EXPECT_EQ(f->currentPriceTable(), "0000000002");
}

TEST_F(MainScreenTest, RefreshReloadsTheTableOfTheFocusedGrid) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    focusGrid(f->dbgTabelaPreco);
    addPriceTableOnServer("Tabela Refrescada");
    const int notices = LocalCacheRegistry::instance().notices();
    f->sbtVerificar->trigger();
    settle();
    EXPECT_EQ(f->cdsTbPreco->RecordCount(), 4);
    EXPECT_EQ(LocalCacheRegistry::instance().notices(), notices + 1);
    EXPECT_TRUE(LocalCacheRegistry::instance().isStale("PRECOPROPOSTA"));

    // Each band and permission sub-page reloads its own table.
    f->cdsTbPreco->Locate("CDPRECOPROP", "0000000001");
    clickSubPage(f->pgcTabelaPreco, f->tshDescSist);
    const int bands = f->cdsDescSist->RecordCount();
    f->cdsDescSist->LoadPacket(DataPacket{f->cdsDescSist->fieldDefs(), {}});
    f->sbtVerificar->setEnabled(true);
    focusGrid(f->dbgDescSis);
    f->sbtVerificar->trigger();
    settle();
    EXPECT_EQ(f->cdsDescSist->RecordCount(), bands);

    clickSubPage(f->pgcTabelaPreco, f->tshPermOper);
    const int perms = f->cdsPerOper->RecordCount();
    f->cdsPerOper->LoadPacket(DataPacket{f->cdsPerOper->fieldDefs(), {}});
    f->sbtVerificar->setEnabled(true);
    focusGrid(f->dbgPerOper);
    f->sbtVerificar->trigger();
    settle();
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
    EXPECT_EQ(f->cdsTbPreco->RecordCount(), 3);
    EXPECT_EQ(dialogs.waitShown, waits);
}

TEST_F(MainScreenTest, EnablingRuleOnAnEmptyList) {
    startServer(false);
    TfrmTbPreProCom *f = openScreen();
    ASSERT_EQ(f->cdsTbPreco->RecordCount(), 0);
    EXPECT_TRUE(f->sbtIncluir->isEnabled());
    for (QAction *a : {f->sbtAlterar, f->sbtExcluir, f->sbtProcurar, f->sbtVerificar, f->sbtImprimir, f->sbtGravar,
                       f->sbtCancelar, f->sbtCadAuto, f->mnuCadAuto})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QWidget *tab : {f->tshDescSist, f->tshDescUsu, f->tshPermOper}) EXPECT_FALSE(f->pgcTabelaPreco->pageEnabled(tab));
    EXPECT_TRUE(f->pgcPadrao->pageEnabled(f->tshTipoServ));
}

TEST_F(MainScreenTest, EnablingRuleOnAFilledListAndInEdit) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    focusGrid(f->dbgTabelaPreco);
    for (QAction *a : {f->sbtIncluir, f->sbtAlterar, f->sbtExcluir, f->sbtProcurar, f->sbtVerificar, f->sbtImprimir})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(f->sbtGravar->isEnabled());
    for (QWidget *tab : {f->tshDescSist, f->tshDescUsu, f->tshPermOper}) EXPECT_TRUE(f->pgcTabelaPreco->pageEnabled(tab));
    EXPECT_FALSE(f->sbtCadAuto->isEnabled());

    f->cdsTbPreco->Edit();
    settle();
    EXPECT_TRUE(f->sbtGravar->isEnabled());
    EXPECT_TRUE(f->sbtCancelar->isEnabled());
    for (QAction *a : {f->sbtIncluir, f->sbtAlterar, f->sbtExcluir, f->sbtProcurar, f->sbtVerificar, f->sbtImprimir})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QWidget *tab : {f->tshDescSist, f->tshDescUsu, f->tshPermOper}) EXPECT_FALSE(f->pgcTabelaPreco->pageEnabled(tab));
    EXPECT_FALSE(f->pgcPadrao->pageEnabled(f->tshTipoServ));
    f->cdsTbPreco->Cancel();
    settle();
    EXPECT_TRUE(f->pgcPadrao->pageEnabled(f->tshTipoServ));
}

TEST_F(MainScreenTest, EnablingRuleOnTheBandAndPermissionSubPages) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    focusGrid(f->dbgTabelaPreco);
    clickSubPage(f->pgcTabelaPreco, f->tshDescSist);
    ASSERT_EQ(f->dtsPadrao->DataSet(), f->cdsDescSist);
    for (QWidget *tab : {f->tshTabelaPreco, f->tshDescUsu, f->tshPermOper}) EXPECT_TRUE(f->pgcTabelaPreco->pageEnabled(tab));
    EXPECT_FALSE(f->sbtCadAuto->isEnabled());
    f->cdsDescSist->Edit();
    settle();
    for (QWidget *tab : {f->tshTabelaPreco, f->tshDescUsu, f->tshPermOper}) EXPECT_FALSE(f->pgcTabelaPreco->pageEnabled(tab));
    f->cdsDescSist->Cancel();
    settle();

    clickSubPage(f->pgcTabelaPreco, f->tshPermOper);
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
    ASSERT_EQ(f->pgcTipoServico->ActivePage(), f->tshDadTipServ);
    ASSERT_GT(f->cdsTipoServico->RecordCount(), 0);
    focusGrid(f->dbgTipoServico);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->cdsTipoServico);
    EXPECT_FALSE(f->sbtIncluir->isEnabled());  // inserts only in the operator grid
    EXPECT_TRUE(f->sbtAlterar->isEnabled());
    EXPECT_FALSE(f->sbtExcluir->isEnabled());
    EXPECT_TRUE(f->sbtImprimir->isEnabled());
    EXPECT_TRUE(f->pgcPadrao->pageEnabled(f->tshPadrao));

    focusGrid(f->dbgOperador);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->cdsOperTipoServ);
    EXPECT_TRUE(f->sbtIncluir->isEnabled());

    f->cdsTipoServico->Edit();
    focusGrid(f->dbgTipoServico);
    EXPECT_FALSE(f->pgcPadrao->pageEnabled(f->tshPadrao));
    EXPECT_FALSE(f->pgcTipoServico->pageEnabled(f->tshDadoOper));
    f->cdsTipoServico->Cancel();
}

TEST_F(MainScreenTest, AFailedCallHidesTheWaitAnimationAndShowsWhy) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    focusGrid(f->dbgTabelaPreco);
    server->stop();
    dialogs.clear();
    f->sbtVerificar->trigger();
    settle();
    EXPECT_EQ(dialogs.waitShown, 1);
    EXPECT_EQ(dialogs.waitHidden, 1);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:"));
    EXPECT_EQ(f->cdsTbPreco->RecordCount(), 3);  // the list stays as it was
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
