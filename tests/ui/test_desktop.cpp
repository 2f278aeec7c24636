// What a desktop user expects around the screens.
//
// Test organisation:
//   1. Look: theme icons on the tool bar and menus, hints with the shortcut,
//      the program's icon, a status text that menus do not wipe.
//   2. Memory: the main window, a screen's window and its grids' column
//      widths survive a restart (settings in a temporary folder).
//   3. Keys: Ctrl+Tab / Ctrl+PgDn move between sub-pages and pages, only to
//      tabs that may be chosen; a disabled tab says why; the screen's keys
//      reach their actions while a cell editor has the focus.
//   4. Search: the box has the focus, accents and case do not matter, no
//      match moves nothing and says so, the code column shows the code.
//   5. Help: F1 opens the guide of the screen shown, one per screen.
#include "column_layout.h"
#include "db_grid.h"
#include "desktop_look.h"
#include "forms.h"
#include "help_window.h"
#include "host_application.h"
#include "page_control.h"
#include "recording_dialogs.h"
#include "user_settings.h"
#include "window_memory.h"
#include "widget_dialogs.h"
#include "widget_test_helpers.h"

#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// A grid screen with two pages, the first holding three sub-pages, and a
// grid over a small table on the first sub-page.
class PagedScreen : public TfrmPadraoGrid {
public:
    PagedScreen() {
        lblCodTela->setText("COT00300");
        SetCaption("Tela com páginas");
        table.AddField("CODIGO", FieldType::String, 10, "Código");
        table.AddField("NOME", FieldType::String, 30, "Nome");
        DataPacket p;
        p.fields = table.fieldDefs();
        p.rows = {{QString("0000000001"), QString("Alfa")}, {QString("0000000002"), QString("Beta")}};
        table.LoadPacket(p);
        dtsPadrao->SetDataSet(&table);
        dbgPadrao->hide();
        inner = new TPageControl(tshPadrao);
        inner->setObjectName("pgcInterna");
        tshPadraoLayout->addWidget(inner);
        for (const char *name : {"Primeira", "Segunda", "Terceira"}) {
            auto *sheet = new QWidget;
            sheet->setObjectName(name);
            auto *layout = new QVBoxLayout(sheet);
            auto *g = new TDBGrid(sheet);
            g->setObjectName(QStringLiteral("dbg") + name);
            g->SetDataSource(dtsPadrao);
            g->addColumn("CODIGO", "Código", 80);
            g->addColumn("NOME", "Nome", 150);
            layout->addWidget(g);
            inner->addPage(sheet, name);
            grids << g;
        }
        other = new QWidget;
        other->setObjectName("tshOutra");
        new QVBoxLayout(other);
        other->layout()->addWidget(new QLineEdit(other));
        pgcPadrao->addPage(other, "Outra");
        inner->OnChange = [this] { ++innerChanges; };
        pgcPadrao->OnChange = [this] { ++outerChanges; };
    }
    ~PagedScreen() override { dtsPadrao->SetDataSet(nullptr); }
    TClientTable table{"cdsTeste"};
    TPageControl *inner = nullptr;
    QWidget *other = nullptr;
    QList<TDBGrid *> grids;
    int innerChanges = 0, outerChanges = 0;
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override { SetSettingsFolder(settings.path()); }
    void TearDown() override {
        for (TForm *f : HostApplication::instance().forms()) {
            f->DiscardUnsavedWork();
            f->Close();
        }
        flushDeletes();
        if (HelpWindow::current()) delete HelpWindow::current();
        SetSettingsFolder(QString());
    }
    PagedScreen *openScreen() {
        auto *s = HostApplication::instance().CreateForm<PagedScreen>();
        QMainWindow *main = HostApplication::instance().mainWindow();
        EXPECT_TRUE(ShowActive(main));
        s->Show();
        QApplication::processEvents();
        return s;
    }
    QTemporaryDir settings;
    RecordingDialogs dialogs;
};

}  // namespace

// ---------------------------------------------------------------- 1. look

TEST_F(DesktopTest, ToolBarEntriesCarryThemeIconsAndHintsThatNameTheirShortcut) {
    PagedScreen *s = openScreen();
    if (!QIcon::hasThemeIcon("document-new")) GTEST_SKIP() << "sem tema de ícones instalado (scripts/bootstrap.sh instala um)";
    struct Case {
        QAction *action;
        const char *hint;
    };
    const Case cases[] = {{s->sbtIncluir, "Incluir (Ctrl+I)"},   {s->sbtAlterar, "Alterar (Ctrl+E)"},
                          {s->sbtExcluir, "Excluir (Ctrl+D)"},   {s->sbtGravar, "Gravar (Ctrl+S)"},
                          {s->sbtCancelar, "Cancelar (Ctrl+Z)"}, {s->sbtProcurar, "Procurar (Ctrl+F)"},
                          {s->sbtVerificar, "Verificar (F5)"},   {s->sbtImprimir, "Imprimir (Ctrl+P)"},
                          {s->sbtAjuda, "Ajuda (F1)"},           {s->sbtFechar, "Fechar (Ctrl+W)"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.hint);
        EXPECT_FALSE(c.action->icon().isNull());
        EXPECT_EQ(c.action->toolTip(), QString::fromUtf8(c.hint));
        // The tool bar and the menu show the same entry, with its key.
        EXPECT_TRUE(s->panMenu->actions().contains(c.action));
        EXPECT_TRUE(s->mnuManutencao->actions().contains(c.action));
    }
    EXPECT_EQ(s->panMenu->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_FALSE(AppIcon().isNull());
    EXPECT_FALSE(AppIcon().pixmap(48, 48).isNull());
    EXPECT_FALSE(HostApplication::instance().mainWindow()->windowIcon().isNull());
}

TEST(DesktopLook, AThemeIsChosenWhenTheDesktopGivesNone) {
    QIcon::setThemeName("hicolor");
    ApplyDesktopLook();
    EXPECT_NE(QIcon::themeName(), "hicolor");
    EXPECT_EQ(QIcon::themeName(), FallbackIconTheme());
    EXPECT_EQ(HintWithShortcut("Ca&dastramento Automático", QKeySequence()), "Cadastramento Automático");
}

TEST_F(DesktopTest, TheStatusTextStaysWhenAMenuShowsItsHints) {
    HostApplication &app = HostApplication::instance();
    app.setStatusText("Servidor de aplicação em servidor:8300");
    QMainWindow *main = app.mainWindow();
    // What a menu sends as the mouse crosses its entries.
    QStatusTipEvent tip(QString{});
    QApplication::sendEvent(main, &tip);
    QStatusTipEvent tip2(QStringLiteral("Abre a tela"));
    QApplication::sendEvent(main, &tip2);
    QApplication::sendEvent(main, &tip);
    auto *label = main->statusBar()->findChild<QLabel *>("lblStatus");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Servidor de aplicação em servidor:8300");
    EXPECT_FALSE(label->isHidden());
}

// ---------------------------------------------------------------- 2. memory

TEST_F(DesktopTest, TheMainWindowOpensMaximisedFirstAndAsLeftAfterwards) {
    QMainWindow first;
    WindowMemory::restoreMainWindow(&first);
    EXPECT_TRUE(first.windowState() & Qt::WindowMaximized);

    QMainWindow used;
    used.setGeometry(40, 50, 700, 500);
    WindowMemory::saveMainWindow(&used);
    QMainWindow next;
    WindowMemory::restoreMainWindow(&next);
    EXPECT_FALSE(next.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(next.size(), QSize(700, 500));
}

TEST_F(DesktopTest, AScreensWindowAndTheColumnsTheUserDraggedSurviveARestart) {
    PagedScreen *s = openScreen();
    QMdiSubWindow *sub = s->subWindow();
    ASSERT_NE(sub, nullptr);
    sub->setGeometry(30, 20, 720, 480);
    // The user drags the border of "Nome" on the second grid.
    s->grids[1]->horizontalHeader()->resizeSection(1, 333);
    const int nomeWidth = s->grids[1]->Columns[1].Width;
    const int codigoWidth = s->grids[1]->Columns[0].Width;
    ASSERT_NE(nomeWidth, 150);
    ASSERT_TRUE(s->Close());
    flushDeletes();

    PagedScreen *again = openScreen();
    EXPECT_EQ(again->subWindow()->geometry(), QRect(30, 20, 720, 480));
    EXPECT_EQ(again->grids[1]->Columns[1].Width, nomeWidth);
    EXPECT_EQ(again->grids[1]->Columns[0].Width, codigoWidth);
    EXPECT_EQ(again->grids[1]->columnWidth(1), 333);
    // The other grids keep their own widths.
    EXPECT_EQ(again->grids[0]->Columns[1].Width, 150);
}

TEST_F(DesktopTest, ADamagedSettingsFileIsIgnored) {
    {
        auto s = UserSettings();
        s->setValue("telas/COT00300/geometria", QByteArray("lixo"));
        s->setValue("telas/COT00300/colunas/dbgPrimeira/NOME", -5);
        s->setValue("telas/COT00300/colunas/dbgSegunda/NOME", "abc");
    }
    PagedScreen *s = openScreen();
    EXPECT_EQ(s->grids[0]->Columns[1].Width, 150);
    EXPECT_EQ(s->grids[1]->Columns[1].Width, 150);
    EXPECT_TRUE(s->isVisible());
}

// ---------------------------------------------------------------- 3. keys

TEST_F(DesktopTest, CtrlTabMovesBetweenSubPagesAndCtrlPgDnBetweenPagesOnlyToTabsThatMayBeChosen) {
    PagedScreen *s = openScreen();
    s->grids[0]->setFocus();
    QApplication::processEvents();
    struct Step {
        const char *name;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        QList<bool> innerEnabled;  // before the key
        const char *innerAfter;
        const char *outerAfter;
    };
    const QList<bool> all{true, true, true};
    const Step steps[] = {
        {"Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier, all, "Segunda", "tshPadrao"},
        {"Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier, all, "Terceira", "tshPadrao"},
        {"Ctrl+Tab volta ao início", Qt::Key_Tab, Qt::ControlModifier, all, "Primeira", "tshPadrao"},
        {"Ctrl+Shift+Tab", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, all, "Terceira", "tshPadrao"},
        {"Ctrl+Tab pula a aba desabilitada", Qt::Key_Tab, Qt::ControlModifier, {false, true, true}, "Segunda", "tshPadrao"},
        {"Ctrl+Tab com as outras desabilitadas não move", Qt::Key_Tab, Qt::ControlModifier, {false, true, false}, "Segunda", "tshPadrao"},
        {"Ctrl+PgDn", Qt::Key_PageDown, Qt::ControlModifier, all, "Segunda", "tshOutra"},
        {"Ctrl+PgUp", Qt::Key_PageUp, Qt::ControlModifier, all, "Segunda", "tshPadrao"},
    };
    int innerChanges = 0;
    for (const Step &st : steps) {
        SCOPED_TRACE(st.name);
        for (int i = 0; i < 3; ++i) s->inner->setPageEnabled(s->inner->widget(i), st.innerEnabled[i]);
        const QString before = s->inner->ActivePage()->objectName();
        Press(st.key, st.mods);
        EXPECT_EQ(s->inner->ActivePage()->objectName(), st.innerAfter);
        EXPECT_EQ(s->pgcPadrao->ActivePage()->objectName(), st.outerAfter);
        if (before != st.innerAfter) ++innerChanges;
        EXPECT_EQ(s->innerChanges, innerChanges);  // as the user's switch: OnChange ran
        // The focus stays inside the screen, so the next key works too.
        ASSERT_NE(Focused(), nullptr);
        EXPECT_TRUE(s->isAncestorOf(Focused()));
    }
    EXPECT_EQ(s->outerChanges, 2);
    // Every one of these keys is in the menu "Exibir".
    QStringList keys;
    for (QAction *a : s->mnuExibir->actions())
        if (!a->isSeparator()) keys << a->shortcut().toString();
    EXPECT_EQ(keys, (QStringList{"Ctrl+Tab", "Ctrl+Shift+Tab", "Ctrl+PgDown", "Ctrl+PgUp"}));
}

TEST_F(DesktopTest, ADisabledTabSaysWhyInItsTooltip) {
    TPageControl pages;
    auto *a = new QWidget, *b = new QWidget;
    pages.addPage(a, "A");
    pages.addPage(b, "B");
    pages.setPageEnabled(b, false, "Grave ou cancele a alteração em andamento.");
    EXPECT_EQ(pages.tabBar()->tabToolTip(1), "Grave ou cancele a alteração em andamento.");
    EXPECT_FALSE(pages.SelectNextPage(true));
    EXPECT_EQ(pages.ActivePage(), a);
    pages.setPageEnabled(b, true);
    EXPECT_EQ(pages.tabBar()->tabToolTip(1), "");
    EXPECT_TRUE(pages.SelectNextPage(true));
    EXPECT_EQ(pages.ActivePage(), b);
}

TEST_F(DesktopTest, CtrlZCancelsTheRowAlsoWhileACellEditorHasTheFocus) {
    PagedScreen *s = openScreen();
    TDBGrid *g = s->grids[0];
    g->setFocus();
    g->SetSelectedIndex(1);
    QApplication::processEvents();
    Type("Gama");
    ASSERT_TRUE(g->EditorMode());
    ASSERT_EQ(s->table.State(), DataSetState::Edit);
    ASSERT_TRUE(s->sbtCancelar->isEnabled());
    Press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(s->table.State(), DataSetState::Browse);
    EXPECT_FALSE(g->EditorMode());
    EXPECT_EQ(s->table.FieldByName("NOME")->AsString(), "Alfa");

    // Ctrl+S too reaches "Gravar" from the open cell.
    Type("Delta");
    ASSERT_TRUE(g->EditorMode());
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(s->table.State(), DataSetState::Browse);
    EXPECT_EQ(s->table.FieldByName("NOME")->AsString(), "Delta");
}

// ---------------------------------------------------------------- 4. search

TEST(SearchKey, AccentsCaseAndBlanksDoNotMatter) {
    struct Case {
        const char *typed, *text;
        bool found;
    };
    const Case cases[] = {{"acai", "Açaí", true},          {"ACAI", "açaí", true},     {" são ", "Tabela São Paulo", true},
                          {"manutencao", "Manutenção", true}, {"acao", "Açaí", false},   {"", "", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(SearchKey(QString::fromUtf8(c.text)).contains(SearchKey(QString::fromUtf8(c.typed))), c.found);
    }
}

TEST(SearchDialog, FindsAccentedNamesSaysWhenNothingMatchesAndShowsTheWholeCode) {
    WidgetDialogs dialogs;
    TClientTable table{"cdsTbPreco"};
    table.AddField("CDPRECOPROP", FieldType::String, 10, "Código");
    table.AddField("NMPRECOPROP", FieldType::String, 50, "Nome");
    DataPacket p;
    p.fields = table.fieldDefs();
    p.rows = {{QString("0000000001"), QString("Tabela Padrão")},
              {QString("0000000002"), QString("Açaí Distribuidora")},
              {QString("0000000003"), QString("Órgãos Públicos")}};
    table.LoadPacket(p);
    TDataSource source(&table);
    QString focusAtOpen;  // the name: the dialog and its widgets are gone once it closes
    QString afterAccent, afterNothing, afterUp, message;
    int codeWidth = 0, codeText = 0;
    WhenModal([&](QWidget *w) {
        focusAtOpen = w->focusWidget() ? w->focusWidget()->objectName() : QString();
        auto *box = w->findChild<QLineEdit *>("edtLocalizar");
        auto *grid = w->findChild<TDBGrid *>("dbgPesquisa");
        codeWidth = grid->columnWidth(0);
        codeText = grid->fontMetrics().horizontalAdvance("0000000002");
        QTest::keyClicks(box, "acai");
        afterAccent = table.FieldByName("CDPRECOPROP")->AsString();
        QTest::keyClicks(box, "zz");
        afterNothing = table.FieldByName("CDPRECOPROP")->AsString();
        message = w->findChild<QLabel *>("lblResultado")->text();
        // Down in the box moves in the list.
        box->clear();
        QTest::keyClick(box, Qt::Key_Up);
        afterUp = table.FieldByName("CDPRECOPROP")->AsString();
        QTest::keyClicks(box, "ORGAOS");
        QTest::keyClick(box, Qt::Key_Up);
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_TRUE(dialogs.pesquisar(&source, "Tabela de Preço|Não há tabela de preço."));
    EXPECT_EQ(focusAtOpen, "edtLocalizar");
    EXPECT_EQ(afterAccent, "0000000002");
    EXPECT_EQ(afterNothing, "0000000002");  // nothing found: the cursor stays
    EXPECT_EQ(message, "Nenhum registro encontrado.");
    EXPECT_GE(codeWidth, codeText);
    EXPECT_EQ(afterUp, "0000000001");
    EXPECT_EQ(table.FieldByName("CDPRECOPROP")->AsString(), "0000000003");
}

// The list dialog splits "title|message when empty" as the search does; the
// search shows the fields' labels and flags by their captions.
TEST(SearchDialog, ListTitleAndEmptyMessageLabelsAndFlagCaptions) {
    WidgetDialogs dialogs;
    TClientTable table{"cdsTipoServico"};
    DefineFields(&table, {TextColumn("CDTIPOSERV", 3, "Código", 40, 0),
                          WithPick(TextColumn("IDPROPWEB", 1, "Proposta Web", 90, 1), {{"Sim (disponível)", "S"}, {"Não", "N"}})});
    DataPacket p;
    p.fields = table.fieldDefs();
    TDataSource source(&table);
    QString selection, emptyMessage, listTitle, header, cell;
    table.LoadPacket(p);
    WhenModal([&](QWidget *w) {
        emptyMessage = w->findChild<QLabel *>("qt_msgbox_label")->text();
        static_cast<QDialog *>(w)->reject();
    });
    EXPECT_FALSE(dialogs.pesquisaLista(&source, "CDTIPOSERV", "Tipo de Serviço|Não existem Tipo(s) de Serviço", &selection));
    EXPECT_EQ(emptyMessage, "Não existem Tipo(s) de Serviço");

    p.rows = {{QString("001"), QString("S")}};
    table.LoadPacket(p);
    WhenModal([&](QWidget *w) {
        listTitle = w->windowTitle();
        cell = w->findChild<QListWidget *>("lstSelecao")->item(0)->text();
        static_cast<QDialog *>(w)->reject();
    });
    dialogs.pesquisaLista(&source, "CDTIPOSERV", "Tipo de Serviço|Não existem Tipo(s) de Serviço", &selection);
    EXPECT_EQ(listTitle, "Tipo de Serviço");
    EXPECT_EQ(cell, "001 - Sim (disponível)");
    WhenModal([&](QWidget *w) {
        auto *grid = w->findChild<TDBGrid *>("dbgPesquisa");
        header = grid->model()->headerData(1, Qt::Horizontal).toString();
        cell = grid->model()->index(0, 1).data().toString();
        static_cast<QDialog *>(w)->reject();
    });
    dialogs.pesquisar(&source, "Tipo de Serviço|Não existem Tipo(s) de Serviço");
    EXPECT_EQ(header, "Proposta Web");
    EXPECT_EQ(cell, "Sim (disponível)");
}

// ---------------------------------------------------------------- 5. help

TEST_F(DesktopTest, F1OpensTheGuideOfTheScreenShown) {
    PagedScreen *s = openScreen();
    s->grids[0]->setFocus();
    QApplication::processEvents();
    Press(Qt::Key_F1);
    HelpWindow *help = HelpWindow::current();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->screenCode(), "COT00300");
    EXPECT_TRUE(help->browser()->toPlainText().contains("Preços e Descontos para Proposta Comercial"));
    EXPECT_TRUE(dialogs.texts().isEmpty());

    // A screen without a guide says so and opens nothing.
    delete help;
    s->lblCodTela->setText("COT99999");
    ASSERT_TRUE(ShowActive(s->window()));  // the guide had taken the focus
    s->grids[0]->setFocus();
    Press(Qt::Key_F1);
    EXPECT_EQ(HelpWindow::current(), nullptr);
    EXPECT_EQ(dialogs.texts(), QStringList{"Não há ajuda disponível para a tela COT99999."});
}

TEST_F(DesktopTest, F1BringsTheGuideToTheFrontWithTheFocusAlsoWhenOpenBehind) {
    PagedScreen *s = openScreen();
    for (const char *round : {"new", "open behind the screen"}) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(ShowActive(s->window()));
        s->grids[0]->setFocus();
        Press(Qt::Key_F1);
        ASSERT_NE(HelpWindow::current(), nullptr);
        EXPECT_EQ(QApplication::activeWindow(), HelpWindow::current());
        EXPECT_EQ(QApplication::focusWidget(), HelpWindow::current()->browser());
    }
}

TEST(HelpGuides, EveryScreenHasItsGuideWithItsPicturesBuiltIn) {
    for (const char *code : {"COT00300", "COT00301", "COT00302"}) {
        SCOPED_TRACE(code);
        const QString path = HelpWindow::guideFor(code);
        ASSERT_FALSE(path.isEmpty());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        EXPECT_TRUE(text.startsWith("# ")) << "título";
        EXPECT_TRUE(text.contains(QString::fromLatin1(code)));
        // Every picture the guide shows is built in beside it.
        static const QRegularExpression image(QStringLiteral(R"(!\[[^\]]*\]\(([^)]+)\))"));
        for (auto it = image.globalMatch(text); it.hasNext();) {
            const QString picture = QStringLiteral(":/help/") + it.next().captured(1);
            EXPECT_TRUE(QFile::exists(picture)) << picture.toStdString();
        }
    }
    // Only codes name a guide.
    for (const char *bad : {"", "../COT00300", "COT00300.md", "cot00300/x"}) EXPECT_TRUE(HelpWindow::guideFor(bad).isEmpty()) << bad;
    EXPECT_EQ(HelpWindow::guideFor(" cot00301 "), ":/help/COT00301.md");
}

TEST_F(DesktopTest, F1OnTheReportAndRoutineScreensOpensTheirOwnGuides) {
    auto *report = new TfrmDadosGerRel;
    report->lblCodTela->setText("COT00301");
    auto *routine = new TfrmRotiGeral;
    routine->lblCodTela->setText("COT00302");
    for (TForm *screen : std::initializer_list<TForm *>{report, routine}) {
        SCOPED_TRACE(screen->lblCodTela->text().toStdString());
        ASSERT_TRUE(ShowActive(screen));
        // A control of the screen has the focus, as the screens' own edits do.
        auto *edit = new QLineEdit(screen);
        edit->show();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_F1);
        ASSERT_NE(HelpWindow::current(), nullptr);
        EXPECT_EQ(HelpWindow::current()->screenCode(), screen->lblCodTela->text());
        EXPECT_TRUE(HelpWindow::current()->browser()->toPlainText().startsWith(
            screen == report ? "Relatório de Tabela de Preço" : "Cadastramento Automático"));
    }
    delete report;
    delete routine;
}
