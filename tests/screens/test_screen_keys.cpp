// The main screen's page keys and help against a real server: Ctrl+Tab and
// Ctrl+PgDn go where the screen's enabling rule lets the user go, the tabs
// refused say why, and F1 opens the screen's own guide.
#include "help_window.h"
#include "screen_fixture.h"
#include "widget_test_helpers.h"

#include <QTabBar>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

class ScreenKeysTest : public ScreenFixture {
protected:
    void TearDown() override {
        if (HelpWindow::current()) delete HelpWindow::current();
        ScreenFixture::TearDown();
    }
    static QString tabTip(TPageControl *pages, QWidget *page) { return pages->tabBar()->tabToolTip(pages->indexOf(page)); }
};

}  // namespace

TEST_F(ScreenKeysTest, PageKeysMoveWhereTheEnablingRuleAllowsAndNowhereElse) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    f->priceTables->dbgTabelaPreco->setFocus();
    settle();

    // A price table row being changed: no key leaves it, and the tabs say why.
    Trigger(f->sbtAlterar);
    ASSERT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Edit);
    for (auto [key, mods] : {std::pair{Qt::Key_Tab, Qt::KeyboardModifiers(Qt::ControlModifier)},
                             std::pair{Qt::Key_Backtab, Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier)},
                             std::pair{Qt::Key_PageDown, Qt::KeyboardModifiers(Qt::ControlModifier)},
                             std::pair{Qt::Key_PageUp, Qt::KeyboardModifiers(Qt::ControlModifier)}}) {
        SCOPED_TRACE(QKeySequence(key | mods).toString().toStdString());
        Press(key, mods);
        settle();
        EXPECT_EQ(f->pgcTabelaPreco->ActivePage(), f->priceTables->tshTabelaPreco);
        EXPECT_EQ(f->pgcPadrao->ActivePage(), f->tshPadrao);
    }
    EXPECT_EQ(tabTip(f->pgcTabelaPreco, f->bands->tshDescSist), "Grave ou cancele a alteração em andamento.");
    EXPECT_EQ(tabTip(f->pgcPadrao, f->tshTipoServ), "Grave ou cancele a alteração em andamento.");

    // Cancelled: the next sub-page, loaded for the current price table.
    Press(Qt::Key_Z, Qt::ControlModifier);
    settle();
    ASSERT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Browse);
    EXPECT_EQ(tabTip(f->pgcTabelaPreco, f->bands->tshDescSist), "");
    const QString code = f->currentPriceTable();
    Press(Qt::Key_Tab, Qt::ControlModifier);
    settle();
    EXPECT_EQ(f->pgcTabelaPreco->ActivePage(), f->bands->tshDescSist);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->bands->cdsDescSist);
    ASSERT_GT(f->bands->cdsDescSist->RecordCount(), 0);
    EXPECT_EQ(f->bands->cdsDescSist->FieldByName("CDPRECOPROP")->AsString(), code);

    // Ctrl+PgDn: the page "Tipo de Serviço", with its service types.
    Press(Qt::Key_PageDown, Qt::ControlModifier);
    settle();
    EXPECT_EQ(f->pgcPadrao->ActivePage(), f->tshTipoServ);
    EXPECT_EQ(f->dtsPadrao->DataSet(), f->serviceTypes->cdsTipoServico);
    Press(Qt::Key_PageUp, Qt::ControlModifier);
    settle();
    EXPECT_EQ(f->pgcPadrao->ActivePage(), f->tshPadrao);
    EXPECT_EQ(f->pgcTabelaPreco->ActivePage(), f->priceTables->tshTabelaPreco);
}

TEST_F(ScreenKeysTest, WithNoPriceTableTheSubPagesStayOutOfReachAndSayWhy) {
    startServer(false);
    TfrmTbPreProCom *f = openScreen();
    ASSERT_EQ(f->priceTables->cdsTbPreco->RecordCount(), 0);
    f->priceTables->dbgTabelaPreco->setFocus();
    settle();
    Press(Qt::Key_Tab, Qt::ControlModifier);
    settle();
    EXPECT_EQ(f->pgcTabelaPreco->ActivePage(), f->priceTables->tshTabelaPreco);
    EXPECT_EQ(tabTip(f->pgcTabelaPreco, f->permissions->tshPermOper), "Cadastre uma tabela de preço primeiro.");
    // The other page may be reached.
    Press(Qt::Key_PageDown, Qt::ControlModifier);
    settle();
    EXPECT_EQ(f->pgcPadrao->ActivePage(), f->tshTipoServ);
}

TEST_F(ScreenKeysTest, F1OpensTheGuideOfTheMainScreen) {
    startServer(true);
    TfrmTbPreProCom *f = openScreen();
    f->priceTables->dbgTabelaPreco->setFocus();
    settle();
    Press(Qt::Key_F1);
    settle();
    HelpWindow *help = HelpWindow::current();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->screenCode(), "COT00300");
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->browser()->toPlainText().contains("Desconto por Sistema"));
    EXPECT_TRUE(dialogs.texts().isEmpty());

    // On a sub-page F1 opens that sub-page's section.
    ASSERT_TRUE(ShowActive(HostApplication::instance().mainWindow()));
    f->pgcTabelaPreco->SetActivePage(f->permissions->tshPermOper);
    f->permissions->dbgPerOper->setFocus();
    settle();
    Press(Qt::Key_F1);
    settle();
    const QTextCursor at = help->browser()->textCursor();
    EXPECT_EQ(at.block().text(), "Subpágina \"Permissão por Operador\"");
    EXPECT_TRUE(help->browser()->viewport()->rect().contains(help->browser()->cursorRect(at).center()));
}
