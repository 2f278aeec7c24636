// The application object, the base form and the base screens.
#include "db_grid.h"
#include "errors.h"
#include "forms.h"
#include "help_window.h"
#include "host_application.h"
#include "page_control.h"
#include "recording_dialogs.h"
#include "widget_test_helpers.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

struct Counts {
    int create = 0, activate = 0, close = 0;
};

class CountingForm : public TForm {
public:
    explicit CountingForm(Counts *counts, bool failCreate = false) : m_counts(counts), m_fail(failCreate) {
        lblCodTela->setText("COT99999");
        SetCaption("Tela de teste");
    }
    void FormCreate() override {
        TForm::FormCreate();
        ++m_counts->create;
        if (m_fail) throw EAppError("Não foi possível conectar.");
    }
    void FormActivate() override { ++m_counts->activate; }
    void FormClose() override {
        TForm::FormClose();
        ++m_counts->close;
    }

private:
    Counts *m_counts;
    bool m_fail;
};

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

}  // namespace

TEST(HostApplication, TheScreenCursorShowsTheHourglassAndRestoresTheDefault) {
    HostApplication &app = HostApplication::instance();
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    app.setScreenCursor(crHourGlass);
    EXPECT_EQ(app.screenCursor(), -11);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    app.setScreenCursor(crHourGlass);  // not stacked
    app.setScreenCursor(crDefault);
    EXPECT_EQ(app.screenCursor(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(HostApplication, OwnsAnMdiMainWindow) {
    HostApplication &app = HostApplication::instance();
    ASSERT_NE(app.mainWindow(), nullptr);
    EXPECT_EQ(app.mainWindow()->centralWidget(), app.mdiArea());
    EXPECT_NE(app.menuBar(), nullptr);
}

TEST(TForm, CreateRunsFormCreateAndShowActivatesTheMdiChild) {
    RecordingDialogs dialogs;
    Counts a, b;
    auto *fa = HostApplication::instance().CreateForm<CountingForm>(&a);
    EXPECT_EQ(a.create, 1);
    EXPECT_TRUE(HostApplication::instance().forms().contains(fa));
    fa->Show();
    ASSERT_NE(fa->subWindow(), nullptr);
    EXPECT_TRUE(HostApplication::instance().mdiArea()->subWindowList().contains(fa->subWindow()));
    EXPECT_EQ(fa->subWindow()->windowTitle(), "Tela de teste");
    EXPECT_EQ(a.activate, 1);
    fa->Show();  // already the active form
    EXPECT_EQ(a.activate, 1);

    auto *fb = HostApplication::instance().CreateForm<CountingForm>(&b);
    fb->Show();
    EXPECT_EQ(b.activate, 1);
    EXPECT_EQ(HostApplication::instance().activeForm(), fb);

    // The user comes back to the first child.
    ASSERT_TRUE(ShowActive(HostApplication::instance().mainWindow()));
    HostApplication::instance().mdiArea()->setActiveSubWindow(fa->subWindow());
    EXPECT_EQ(a.activate, 2);
    EXPECT_EQ(b.activate, 1);

    // Minimised, then brought back by its factory.
    fb->subWindow()->showMinimized();
    fb->SetWindowStateNormal();
    EXPECT_FALSE(fb->subWindow()->isMinimized());
    EXPECT_EQ(b.activate, 2);

    QPointer<CountingForm> pa(fa), pb(fb);
    fa->Close();
    fb->Close();
    EXPECT_EQ(a.close, 1);
    EXPECT_EQ(b.close, 1);
    flushDeletes();
    EXPECT_TRUE(pa.isNull());
    EXPECT_TRUE(pb.isNull());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    HostApplication::instance().mainWindow()->hide();
}

TEST(TForm, AFailingFormCreateDestroysTheFormAndRaises) {
    Counts c;
    EXPECT_THROW(HostApplication::instance().CreateForm<CountingForm>(&c, true), EAppError);
    EXPECT_EQ(c.create, 1);
    for (TForm *f : HostApplication::instance().forms()) EXPECT_EQ(dynamic_cast<CountingForm *>(f), nullptr);
}

TEST(TForm, ShowModalReturnsTheModalResultWhenClosed) {
    RecordingDialogs dialogs;
    Counts c;
    auto *f = HostApplication::instance().CreateForm<CountingForm>(&c);
    QTimer::singleShot(0, f, [f] { f->SetModalResult(mrOk); });
    EXPECT_EQ(f->ShowModal(), mrOk);
    EXPECT_EQ(c.activate, 1);
    EXPECT_EQ(c.close, 1);
    QPointer<CountingForm> p(f);
    flushDeletes();
    EXPECT_TRUE(p.isNull());

    Counts d;
    auto *g = HostApplication::instance().CreateForm<CountingForm>(&d);
    QTimer::singleShot(0, g, [g] { g->Close(); });
    EXPECT_EQ(g->ShowModal(), mrCancel);
    EXPECT_EQ(d.close, 1);
    flushDeletes();
}

// ---------------------------------------------------------------- TfrmPadraoGrid

namespace {

class GridScreen : public TfrmPadraoGrid {
public:
    GridScreen() {
        table.AddField("CODIGO", FieldType::String, 3, "Código");
        table.AddField("NOME", FieldType::String, 20, "Nome");
        DataPacket p;
        p.fields = table.fieldDefs();
        p.rows = {{QString("001"), QString("Um")}, {QString("002"), QString("Dois")}};
        table.LoadPacket(p);
        dtsPadrao->SetDataSet(&table);
        lblCodTela->setText("COT00300");
        SetCaption("Preços e Descontos para Proposta Comercial");
    }
    void sbtImprimirClick() override {
        TfrmPadraoGrid::sbtImprimirClick();
        ++prints;
    }
    TClientTable table{"cdsTeste"};
    int prints = 0;
};

class GridScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        screen = new GridScreen;
        screen->resize(700, 400);
        ASSERT_TRUE(ShowActive(screen));
        screen->dbgPadrao->setFocus();
    }
    void TearDown() override { delete screen; }
    RecordingDialogs dialogs;
    GridScreen *screen = nullptr;
};

}  // namespace

TEST_F(GridScreenTest, TheMenuHoldsTheBaseEntriesInOrderAndTakesTheScreensSeventh) {
    QStringList names;
    for (QAction *a : screen->mnuManutencao->actions())
        if (!a->isSeparator()) names << a->objectName();
    EXPECT_EQ(names.mid(0, 8), (QStringList{"sbtIncluir", "sbtAlterar", "sbtExcluir", "sbtGravar", "sbtCancelar",
                                            "sbtProcurar", "sbtVerificar", "sbtImprimir"}));
    auto *mnuCadAuto = new QAction("Ca&dastramento Automático", screen);
    mnuCadAuto->setObjectName("mnuCadAuto");
    screen->insertMenuAction(6, mnuCadAuto);
    EXPECT_EQ(screen->mnuManutencao->actions().at(6), mnuCadAuto);
    auto *sbtCadAuto = new QAction("Cadastramento Automático", screen);
    screen->insertToolAction(screen->sbtImprimir, sbtCadAuto);
    const QList<QAction *> tools = screen->panMenu->actions();
    EXPECT_EQ(tools.indexOf(sbtCadAuto) + 1, tools.indexOf(screen->sbtImprimir));
    EXPECT_EQ(screen->lblCodTela->text(), "COT00300");
    EXPECT_EQ(screen->pgcPadrao->ActivePage(), screen->tshPadrao);
    EXPECT_TRUE(screen->tshPadrao->isAncestorOf(screen->dbgPadrao));
}

TEST_F(GridScreenTest, IncludeSaveCancelAndEditActOnTheTableOfDtsPadrao) {
    auto *includeButton = screen->panMenu->widgetForAction(screen->sbtIncluir);
    ASSERT_NE(includeButton, nullptr);
    EXPECT_FALSE(screen->sbtGravar->isEnabled());
    screen->sbtIncluir->trigger();
    EXPECT_EQ(screen->table.State(), DataSetState::Insert);
    EXPECT_FALSE(screen->sbtIncluir->isEnabled());
    EXPECT_FALSE(includeButton->isEnabled());  // the tool button follows its action
    EXPECT_TRUE(screen->sbtGravar->isEnabled());
    EXPECT_TRUE(screen->sbtCancelar->isEnabled());
    screen->sbtCancelar->trigger();
    EXPECT_EQ(screen->table.State(), DataSetState::Browse);
    EXPECT_EQ(screen->table.RecordCount(), 2);

    screen->sbtAlterar->trigger();
    EXPECT_EQ(screen->table.State(), DataSetState::Edit);
    screen->table.FieldByName("NOME")->SetAsString("Um alterado");
    screen->sbtGravar->trigger();
    EXPECT_EQ(screen->table.State(), DataSetState::Browse);
    EXPECT_EQ(screen->table.ChangeCount(), 1);
}

TEST_F(GridScreenTest, SaveWritesTheCellBeingTypedBeforeThePost) {
    screen->dbgPadrao->SetSelectedIndex(1);
    Type("Novo");
    ASSERT_TRUE(screen->dbgPadrao->EditorMode());
    screen->sbtGravar->trigger();
    EXPECT_EQ(screen->table.State(), DataSetState::Browse);
    EXPECT_EQ(screen->table.FieldByName("NOME")->AsString(), "Novo");
}

TEST_F(GridScreenTest, ARefusedSaveIsShownAndTheRowStaysInEdit) {
    screen->table.BeforePost = [](TClientTable &) { MensErro("Nome da Proposta deve ser Informado."); };
    screen->sbtAlterar->trigger();
    screen->sbtGravar->trigger();
    EXPECT_EQ(screen->table.State(), DataSetState::Edit);
    EXPECT_EQ(dialogs.texts(), QStringList{"Nome da Proposta deve ser Informado."});
}

TEST_F(GridScreenTest, DeleteAsksForConfirmation) {
    dialogs.confirmAnswer = MsgButton::No;
    screen->sbtExcluir->trigger();
    EXPECT_EQ(dialogs.last(), "Confirma exclusão?");
    EXPECT_EQ(screen->table.RecordCount(), 2);
    dialogs.confirmAnswer = MsgButton::Yes;
    screen->sbtExcluir->trigger();
    EXPECT_EQ(screen->table.RecordCount(), 1);
    screen->sbtExcluir->trigger();
    EXPECT_EQ(screen->table.RecordCount(), 0);
    EXPECT_FALSE(screen->sbtExcluir->isEnabled());
    EXPECT_FALSE(screen->sbtAlterar->isEnabled());
    EXPECT_TRUE(screen->sbtIncluir->isEnabled());
}

TEST_F(GridScreenTest, TheScreensOwnEnablingRuleRunsLastAndStands) {
    screen->dtsPadrao->OnStateChange = [this](TDataSource &) { screen->sbtIncluir->setEnabled(false); };
    screen->table.Edit();
    screen->table.Cancel();
    EXPECT_FALSE(screen->sbtIncluir->isEnabled());
    EXPECT_FALSE(screen->sbtGravar->isEnabled());  // the base rule ran first
    screen->table.Next();
    screen->table.Edit();
    screen->table.FieldByName("NOME")->SetAsString("x");
    EXPECT_FALSE(screen->sbtIncluir->isEnabled());
    EXPECT_TRUE(screen->sbtGravar->isEnabled());
}

TEST_F(GridScreenTest, SearchOpensTheSearchDialogOverDtsPadrao) {
    dialogs.onPesquisar = [this](TDataSource *ds) {
        EXPECT_EQ(ds, screen->dtsPadrao);
        ds->DataSet()->Last();
        return true;
    };
    screen->sbtProcurar->trigger();
    EXPECT_EQ(dialogs.searchTitles, QStringList{"Preços e Descontos para Proposta Comercial|Nenhum registro encontrado."});
    EXPECT_EQ(screen->table.RecNo(), 2);
}

TEST_F(GridScreenTest, ShortcutsFireTheActionsAndScreensOverrideHandlers) {
    Press(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(screen->table.State(), DataSetState::Insert);
    Press(Qt::Key_Escape);  // the grid cancels the untouched new row
    EXPECT_EQ(screen->table.State(), DataSetState::Browse);
    Press(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(screen->prints, 1);
    // F1: the screen's guide, now that COT00300 has one (test_desktop.cpp covers the window).
    Press(Qt::Key_F1);
    ASSERT_NE(HelpWindow::current(), nullptr);
    EXPECT_EQ(HelpWindow::current()->screenCode(), "COT00300");
    delete HelpWindow::current();
}

TEST_F(GridScreenTest, CloseRunsFormCloseAndReleasesTheScreen) {
    QPointer<GridScreen> p(screen);
    screen->sbtFechar->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(p.isNull());
    screen = nullptr;
}

// ---------------------------------------------------------------- report and routine bases

namespace {
class Routine : public TfrmRotiGeral {
public:
    void sbtConfirmaClick() override { ++confirms; }
    int confirms = 0;
};
}  // namespace

TEST(BaseScreens, TheRoutineScreenConfirmsAndTheReportScreenCloses) {
    RecordingDialogs dialogs;
    auto *r = new Routine;
    EXPECT_NE(r->grbDadosRel, nullptr);
    EXPECT_TRUE(r->panBotoes->isAncestorOf(r->panBotoes->findChild<QToolButton *>("btnConfirma")));
    QTest::mouseClick(r->panBotoes->findChild<QToolButton *>("btnConfirma"), Qt::LeftButton);
    EXPECT_EQ(r->confirms, 1);
    delete r;

    auto *rel = new TfrmDadosGerRel;
    rel->lblCodRel->setText("COT003");
    QPointer<TfrmDadosGerRel> p(rel);
    EXPECT_NE(rel->grbDadosRel, nullptr);
    EXPECT_EQ(rel->panMenu->actions(), (QList<QAction *>{rel->sbtPreview, rel->sbtPrint, rel->sbtConfigImpr, rel->sbtSalvarComo, rel->sbtCancel}));
    rel->sbtCancel->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(p.isNull());
}
