// The server goes away and comes back while a screen is in use: after a
// failed save, page change or load the screen keeps a consistent state (tabs
// and buttons by the enabling rule, the pending changes listed) and what was
// typed reaches the server once it is back.
//   1. the main screen: save, page change, load
//   2. the calculator and the history: a load
//   3. a value cell stores what it shows
#include "price_calculator/frm_calc_preco.h"
#include "price_history/frm_historico.h"
#include "screen_fixture.h"
#include "widget_test_helpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTableWidget>

namespace {

class ServerRestartTest : public ScreenFixture {
protected:
    TfrmTbPreProCom *f = nullptr;
    void SetUp() override {
        startServer(true);
        f = openScreen();
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(ShowActive(HostApplication::instance().mainWindow()));
    }
    double storedPrice(const QString &code, const char *field) {
        const DataPacket p = serverCall("getTbPreco");
        for (const Row &r : p.rows)
            if (r.value(p.fieldIndex("CDPRECOPROP")).toString() == code) return r.value(p.fieldIndex(field)).toDouble();
        return -1;
    }
    // Everything a user needs to go on is there.
    void expectUsable(const char *where) {
        SCOPED_TRACE(where);
        for (QTabWidget *pages : {static_cast<QTabWidget *>(f->pgcPadrao), static_cast<QTabWidget *>(f->pgcTabelaPreco)})
            for (int i = 0; i < pages->count(); ++i) EXPECT_TRUE(pages->tabBar()->isTabEnabled(i)) << i;
        EXPECT_TRUE(f->sbtVerificar->isEnabled());
        EXPECT_TRUE(f->sbtGravar->isEnabled());
        EXPECT_TRUE(f->lblPendentes->text().startsWith("1 alteração não gravada")) << f->lblPendentes->text().toStdString();
    }
};

// The steps of a sales office: a price changed, Ctrl+S with the server down,
// Ctrl+Tab to the bands; the server comes back, "Gravar" sends the price and
// "Verificar" reads the bands.
TEST_F(ServerRestartTest, AFailedSaveAndPageChangeLeaveTheScreenUsableAndTheChangePending) {
    GoToCell(f->priceTables->dbgTabelaPreco, "CDPRECOPROP", "0000000001", "VRPRECOUNITSIST");
    stopServerKeepingPort();
    Retype(f->priceTables->dbgTabelaPreco, "1.234,50");
    Press(Qt::Key_S, Qt::ControlModifier);
    Settle();
    EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar")) << dialogs.last().toStdString();
    Press(Qt::Key_Tab, Qt::ControlModifier);
    Settle();
    ASSERT_EQ(f->pgcTabelaPreco->ActivePage(), f->bands->tshDescSist);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->bands->cdsDescSist);
    EXPECT_FALSE(f->sbtIncluir->isEnabled());  // nothing was read to add to
    expectUsable("bands never read");

    restartServer();
    Trigger(f->sbtGravar);
    EXPECT_DOUBLE_EQ(storedPrice("0000000001", "VRPRECOUNITSIST"), 1234.5);
    EXPECT_TRUE(f->lblPendentes->text().isEmpty());
    f->bands->dbgDescSis->setFocus();
    Trigger(f->sbtVerificar);
    EXPECT_GT(f->bands->cdsDescSist->RecordCount(), 0);
    EXPECT_TRUE(f->sbtIncluir->isEnabled());
}

// A load that fails on the way back keeps the change listed, and the price
// table list can be read again with "Verificar".
TEST_F(ServerRestartTest, AFailedLoadOfThePriceTablesCanBeReadAgain) {
    GoToCell(f->priceTables->dbgTabelaPreco, "CDPRECOPROP", "0000000002", "NMPRECOPROP");
    stopServerKeepingPort();
    Retype(f->priceTables->dbgTabelaPreco, "Nome digitado sem servidor");
    Trigger(f->sbtGravar);
    ClickTab(f->pgcTabelaPreco, f->bands->tshDescUsu);
    ClickTab(f->pgcTabelaPreco, f->priceTables->tshTabelaPreco);  // reloads: fails
    expectUsable("price tables not read again");
    EXPECT_EQ(f->priceTables->cdsTbPreco->FieldByName("NMPRECOPROP")->AsString(), "Nome digitado sem servidor");

    restartServer();
    Trigger(f->sbtGravar);
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 0);
    f->priceTables->dbgTabelaPreco->setFocus();
    Trigger(f->sbtVerificar);
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", "0000000002"));
    EXPECT_EQ(f->priceTables->cdsTbPreco->FieldByName("NMPRECOPROP")->AsString(), "Nome digitado sem servidor");
}

// A list that was open before the failure (the service types start empty)
// can be read again too: the failure itself re-runs the enabling rule.
TEST_F(ServerRestartTest, AServiceTypeListThatFailedToLoadCanBeReadAgain) {
    stopServerKeepingPort();
    ClickTab(f->pgcPadrao, f->tshTipoServ);
    EXPECT_TRUE(f->sbtVerificar->isEnabled());
    EXPECT_TRUE(f->pgcPadrao->pageEnabled(f->tshPadrao));
    restartServer();
    f->serviceTypes->dbgTipoServico->setFocus();
    Trigger(f->sbtVerificar);
    EXPECT_GT(f->serviceTypes->cdsTipoServico->RecordCount(), 0);
}

TEST_F(ServerRestartTest, TheCalculatorAndTheHistoryReadAgainWithWhatWasTyped) {
    bool ran = false;
    WhenModal([&](QWidget *w) {
        auto *s = qobject_cast<TfrmCalcPreco *>(w);
        ASSERT_NE(s, nullptr);
        stopServerKeepingPort();
        s->mskNrSist->setText("7");
        Trigger(s->sbtConfirma);
        EXPECT_TRUE(s->lblMensagem->text().startsWith("Não foi possível conectar")) << s->lblMensagem->text().toStdString();
        restartServer();
        Trigger(s->sbtConfirma);
        EXPECT_EQ(s->mskNrSist->text(), "7");
        EXPECT_EQ(s->lblMensagem->text(), "");
        EXPECT_EQ(s->grdPrecos->rowCount(), 3);
        ran = true;
        s->Close();
    });
    Trigger(f->sbtCalculadora);
    EXPECT_TRUE(ran);

    ran = false;
    WhenModal([&](QWidget *w) {
        auto *s = qobject_cast<TfrmHistorico *>(w);
        ASSERT_NE(s, nullptr);
        const int rows = s->grdHistorico->rowCount();
        stopServerKeepingPort();
        Trigger(s->sbtConfirma);
        EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar"));
        EXPECT_EQ(s->grdHistorico->rowCount(), rows);
        restartServer();
        Trigger(s->sbtConfirma);
        EXPECT_TRUE(s->lblResumo->text().contains("Tabela de preço 0000000001"));
        ran = true;
        s->Close();
    });
    Trigger(f->sbtHistorico);
    EXPECT_TRUE(ran);
}

// "12,345" shows as 12,35: the database, the trail and the prices get 12,35 too.
TEST_F(ServerRestartTest, AValueTypedWithMoreDecimalsThanItsCellIsStoredAsShown) {
    GoToCell(f->priceTables->dbgTabelaPreco, "CDPRECOPROP", "0000000001", "VRPEDESFILIFILI");
    Retype(f->priceTables->dbgTabelaPreco, "12,345");
    Trigger(f->sbtGravar);
    EXPECT_DOUBLE_EQ(f->priceTables->cdsTbPreco->FieldByName("VRPEDESFILIFILI")->AsFloat(), 12.35);
    EXPECT_DOUBLE_EQ(storedPrice("0000000001", "VRPEDESFILIFILI"), 12.35);
}

}  // namespace
