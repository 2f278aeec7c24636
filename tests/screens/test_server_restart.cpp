// The server goes away and comes back while a screen is in use: the screen
// stays usable and what was typed reaches the server. Last, a cell stores what it shows.
#include "price_calculator/frm_calc_preco.h"
#include "price_history/frm_historico.h"
#include "screen_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

namespace {

class ServerRestartTest : public ScreenFixture {
protected:
    TfrmTbPreProCom *f = nullptr;
    void SetUp() override {
        startServer(true);
        f = openScreen();
        ASSERT_TRUE(f && ShowActive(HostApplication::instance().mainWindow()));
    }
    double stored(const char *field) {
        const DataPacket p = serverCall("getTbPreco");
        return p.rows.first().value(p.fieldIndex(field)).toDouble();  // 0000000001
    }
    // A modal tool opened from its button, with the server stopped and started again inside.
    template <class Screen>
    void aroundRestart(QAction *tool, const std::function<void(Screen *)> &down, const std::function<void(Screen *)> &back) {
        bool ran = false;
        WhenModal([&](QWidget *w) {
            auto *s = qobject_cast<Screen *>(w);
            ASSERT_NE(s, nullptr);
            stopServerKeepingPort();
            down(s);
            restartServer();
            Trigger(s->sbtConfirma);
            back(s);
            ran = true;
            s->Close();
        });
        Trigger(tool);
        EXPECT_TRUE(ran);
    }
};

// A price changed, Ctrl+S with the server down, Ctrl+Tab to the bands; the
// server comes back, "Gravar" sends the price and "Verificar" reads the bands.
TEST_F(ServerRestartTest, AFailedSaveAndPageChangeLeaveTheScreenUsableAndTheChangePending) {
    GoToCell(f->priceTables->dbgTabelaPreco, "CDPRECOPROP", "0000000001", "VRPRECOUNITSIST");
    stopServerKeepingPort();
    Retype(f->priceTables->dbgTabelaPreco, "1.234,50");
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar")) << dialogs.last().toStdString();
    Press(Qt::Key_Tab, Qt::ControlModifier);
    Settle();
    ASSERT_EQ(f->dtsPadrao->DataSet(), f->bands->cdsDescSist);
    EXPECT_TRUE(f->pgcTabelaPreco->pageEnabled(f->priceTables->tshTabelaPreco) && f->pgcPadrao->pageEnabled(f->tshTipoServ));
    EXPECT_TRUE(f->sbtVerificar->isEnabled() && f->sbtGravar->isEnabled());
    EXPECT_FALSE(f->sbtIncluir->isEnabled());  // nothing was read to add to
    EXPECT_TRUE(f->lblPendentes->text().startsWith("1 alteração não gravada")) << f->lblPendentes->text().toStdString();

    restartServer();
    Trigger(f->sbtGravar);
    EXPECT_DOUBLE_EQ(stored("VRPRECOUNITSIST"), 1234.5);
    EXPECT_TRUE(f->lblPendentes->text().isEmpty());
    f->bands->dbgDescSis->setFocus();
    Trigger(f->sbtVerificar);
    EXPECT_GT(f->bands->cdsDescSist->RecordCount(), 0);
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
    aroundRestart<TfrmCalcPreco>(
        f->sbtCalculadora,
        [](TfrmCalcPreco *s) {
            s->mskNrSist->setText("7");
            Trigger(s->sbtConfirma);
            EXPECT_TRUE(s->lblMensagem->text().startsWith("Não foi possível conectar"));
        },
        [](TfrmCalcPreco *s) { EXPECT_TRUE(s->mskNrSist->text() == "7" && s->grdPrecos->rowCount() == 3); });
    aroundRestart<TfrmHistorico>(
        f->sbtHistorico,
        [&](TfrmHistorico *s) {
            Trigger(s->sbtConfirma);
            EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar"));
        },
        [](TfrmHistorico *s) { EXPECT_TRUE(s->lblResumo->text().contains("Tabela de preço 0000000001")); });
}

// "12,345" shows as 12,35: the database, the trail and the prices get 12,35 too.
TEST_F(ServerRestartTest, AValueTypedWithMoreDecimalsThanItsCellIsStoredAsShown) {
    GoToCell(f->priceTables->dbgTabelaPreco, "CDPRECOPROP", "0000000001", "VRPEDESFILIFILI");
    Retype(f->priceTables->dbgTabelaPreco, "12,345");
    Trigger(f->sbtGravar);
    EXPECT_DOUBLE_EQ(f->priceTables->cdsTbPreco->FieldByName("VRPEDESFILIFILI")->AsFloat(), 12.35);
    EXPECT_DOUBLE_EQ(stored("VRPEDESFILIFILI"), 12.35);
}

}  // namespace
