// The report screen "Relatório de Tabela de Preço - Proposta Comercial",
// typed into against a real server.
//
// Test organization:
//   1. Opening: captions, defaults, tab order; the print button opens it
//      modally and each opening creates it anew.
//   2. The validation chain: messages, emptied fields, focus, first failure
//      only, for every report action.
//   3. Key filters of the two count fields.
//   4. The price table selection: "Todos", "Lista", the list dialog, closing.
//   5. The preview: the report table filled, the list reaching the band
//      calls, a gap in a table's bands refused with the server's message.
//   6. Print, printer set-up and save as after (and before) a preview.

#include "price_report/cli_cot00301.h"
#include "price_report/frm_rel_tb_preco.h"
#include "screen_fixture.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

using namespace Cli_cot00301;

namespace {

// Records the report windows instead of opening them.
class RecordingReportDialogs : public IReportDialogs {
public:
    RecordingReportDialogs() { SetReportDialogs(this); }
    ~RecordingReportDialogs() override { SetReportDialogs(nullptr); }
    void preview(ReportEngine &engine, QWidget *) override {
        ++previews;
        pages = engine.layout().pageCount();
        matrices = int(engine.document().matrices.size());
    }
    bool printDialog(QPrinter &printer, QWidget *) override {
        ++prints;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printTo);
        return !printTo.isEmpty();
    }
    bool pageSetup(QPrinter &, QWidget *) override {
        ++setups;
        return true;
    }
    bool askText(const QString &caption, const QString &prompt, QString *text, QWidget *) override {
        asked << caption << prompt;
        *text = title;
        return true;
    }
    QString saveFileName(const QString &, ReportFiles::Format *, QWidget *) override { return saveTo; }

    int previews = 0, pages = 0, matrices = 0, prints = 0, setups = 0;
    QStringList asked;
    QString printTo, saveTo, title = QStringLiteral("Livro de preços");
};

class ReportScreenTest : public ScreenFixture {
protected:
    void SetUp() override {
        startServer(true);
        main = openScreen();
        ASSERT_TRUE(main);
    }
    void TearDown() override {
        if (screen) screen->Close();
        settle();
        ScreenFixture::TearDown();
    }

    // The screen as the factory makes it, shown without the modal loop.
    TfrmRelTbPreco *open() {
        screen = HostApplication::instance().CreateForm<TfrmRelTbPreco>(main->netTbPreProCom);
        frmRelTbPreco = screen;
        boIdCriado = true;
        screen->show();
        screen->activateWindow();
        QApplication::setActiveWindow(screen);
        settle();
        return screen;
    }
    void closeScreen() {
        screen->Close();
        settle();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void trigger(QAction *a) {
        a->trigger();
        settle();
    }
    void setCounts(const QString &sist, const QString &usu) {
        screen->mskNrSist->setText(sist);
        screen->mskNrUsu->setText(usu);
    }
    bool focusIn(QWidget *group) const {
        QWidget *f = screen->focusWidget();
        return f && (f == group || group->isAncestorOf(f));
    }
    QString msg(const char *key) const { return screen->msgPadrao.Msg(QString::fromLatin1(key)); }

    TfrmTbPreProCom *main = nullptr;
    QPointer<TfrmRelTbPreco> screen;
    RecordingReportDialogs reports;
};

}  // namespace

// 1. Opening ---------------------------------------------------------------------

TEST_F(ReportScreenTest, OpensWithItsCaptionsAndDefaults) {
    open();
    EXPECT_EQ(screen->Caption(), "Relatório de Tabela de Preço - Proposta Comercial");
    EXPECT_EQ(screen->lblCodTela->text(), "COT00301");
    EXPECT_EQ(screen->lblCodRel->text(), "COT003");
    EXPECT_TRUE(screen->rbtTbPrecoTodos->isChecked());
    EXPECT_FALSE(screen->btpTbPreco->isEnabled());
    EXPECT_EQ(screen->btpTbPreco->toolTip(), "Pesquisar");
    EXPECT_FALSE(screen->chkTipoLU->isChecked() || screen->chkTipoManut->isChecked() || screen->chkTipoLoc->isChecked());
    EXPECT_EQ(screen->mskNrSist->text(), "20");
    EXPECT_EQ(screen->mskNrUsu->text(), "150");
    EXPECT_TRUE(screen->rbtMatrMatr->isChecked());
    EXPECT_EQ(screen->gpbTbPreco->title(), "Tabela de Preço");
    EXPECT_EQ(screen->gpbTipo->title(), "Tipo");
    EXPECT_EQ(screen->grbModoLocal->title(), "Modo/Local Processamento");
    EXPECT_EQ(screen->lblNrSist->text(), "Nr. de Sistemas");
    EXPECT_EQ(screen->lblNrUsu->text(), "Nr. de Usuários");
    // Inside "Tipo" licence of use comes last in the tab order.
    QWidget *w = screen->chkTipoManut;
    QStringList order;
    for (int guard = 0; order.size() < 5 && guard < 50; ++guard, w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
    EXPECT_EQ(order, (QStringList{"chkTipoManut", "chkTipoLoc", "chkTipoLU", "mskNrSist", "mskNrUsu"}));
}

TEST_F(ReportScreenTest, PrintButtonOpensItModallyAndEachOpeningIsNew) {
    QPointer<TfrmRelTbPreco> first;
    QTimer::singleShot(0, [&] {
        first = frmRelTbPreco;
        ASSERT_TRUE(first);
        EXPECT_TRUE(first->IsModal());
        first->setProperty("aberta", 1);
        first->Close();
    });
    Trigger(main->sbtImprimir);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(boIdCriado);
    EXPECT_FALSE(first);  // released on close
    bool fresh = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(frmRelTbPreco);
        fresh = !frmRelTbPreco->property("aberta").isValid();
        frmRelTbPreco->Close();
    });
    Cli_cot00301::CriaRelTbPreco();
    EXPECT_TRUE(fresh);
    EXPECT_FALSE(boIdCriado);
}

// 2. The validation chain -----------------------------------------------------------

TEST_F(ReportScreenTest, ChainStopsAtTheFirstFailureWithItsMessage) {
    struct Case {
        const char *name;
        QString sist, usu;
        bool typed;
        QString message;
        bool sistEmptied, usuEmptied;
    };
    open();
    const Case cases[] = {
        {"systems empty", "", "150", true, msg("NUM_SIST_INF"), true, false},
        {"systems zero", "0", "150", true, msg("SIST_MAIOR"), true, false},
        {"systems 21", "21", "150", true, "Número de sistemas acima do limite de \"20\".", true, false},
        {"systems pasted text", "1a", "150", true, "\"1a\" não é um número inteiro válido.", true, false},
        {"users empty", "20", "", true, msg("NUM_USU_INF"), false, true},
        {"users zero", "20", "0", true, msg("USU_MAIOR"), false, true},
        {"users 151", "20", "151", true, "Numero de usuários acima do limite de \"150\".", false, true},
        {"both wrong: systems only", "21", "151", true, msg("NUMSIST_ACIMA_LMT"), true, false},
        {"no type", "20", "150", false, msg("SEL_TIPO"), false, false},
    };
    for (QAction *action : {screen->sbtPreview, screen->sbtPrint, screen->sbtConfigImpr, screen->sbtSalvarComo})
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << action->objectName().toStdString() << ": " << c.name);
            screen->chkTipoLU->setChecked(c.typed);
            setCounts(c.sist, c.usu);
            dialogs.clear();
            trigger(action);
            ASSERT_EQ(dialogs.shown.size(), 1) << dialogs.texts().join(" / ").toStdString();
            EXPECT_EQ(dialogs.last(), c.message);
            EXPECT_EQ(dialogs.shown.last().type, MsgType::Error);
            EXPECT_EQ(screen->mskNrSist->text().isEmpty(), c.sistEmptied || c.sist.isEmpty());
            EXPECT_EQ(screen->mskNrUsu->text().isEmpty(), c.usuEmptied || c.usu.isEmpty());
            EXPECT_EQ(dialogs.waitShown, 0);  // no server call before the counts and types pass
        }
    EXPECT_EQ(reports.previews + reports.prints + reports.setups, 0);
    // The limits themselves pass.
    setCounts("20", "150");
    screen->chkTipoLU->setChecked(true);
    dialogs.clear();
    trigger(screen->sbtPreview);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(reports.previews, 1);
}

TEST_F(ReportScreenTest, NoTypeFocusesTheTypeGroup) {
    open();
    screen->mskNrSist->setFocus();
    trigger(screen->sbtPreview);
    EXPECT_EQ(dialogs.last(), msg("SEL_TIPO"));
    EXPECT_TRUE(focusIn(screen->gpbTipo));
}

TEST_F(ReportScreenTest, ListWithNothingChosenIsRefusedWithoutACall) {
    open();
    screen->chkTipoManut->setChecked(true);
    QTest::mouseClick(screen->rbtTbPrecoLista, Qt::LeftButton, {}, QPoint(8, screen->rbtTbPrecoLista->height() / 2));
    EXPECT_TRUE(screen->rbtTbPrecoLista->isChecked());
    EXPECT_TRUE(screen->btpTbPreco->isEnabled());
    screen->mskNrUsu->setFocus();
    dialogs.clear();
    trigger(screen->sbtPreview);
    EXPECT_EQ(dialogs.texts(), QStringList{msg("TBPRECO_SEL")});
    EXPECT_EQ(dialogs.waitShown, 0);
    EXPECT_TRUE(focusIn(screen->gpbTbPreco));
    // Back to "Todos", the same preview passes.
    QTest::mouseClick(screen->rbtTbPrecoTodos, Qt::LeftButton, {}, QPoint(8, screen->rbtTbPrecoTodos->height() / 2));
    dialogs.clear();
    trigger(screen->sbtPreview);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
}

TEST_F(ReportScreenTest, NoReportableTableAndNoIndexOfTheMonth) {
    open();
    screen->chkTipoLoc->setChecked(true);
    setIndex(0);
    dialogs.clear();
    trigger(screen->sbtPreview);
    EXPECT_EQ(dialogs.texts(), QStringList{msg("MES_N_CAD")});
    EXPECT_EQ(dialogs.waitShown, dialogs.waitHidden);
    sql("DELETE FROM PRECOPROPSIST");
    screen->mskNrUsu->setFocus();
    dialogs.clear();
    trigger(screen->sbtPrint);
    EXPECT_EQ(dialogs.texts(), QStringList{msg("TB_N_CAD_OU")});  // the tables come before the index
    EXPECT_TRUE(focusIn(screen->gpbTbPreco));
    EXPECT_EQ(reports.prints, 0);
}

// 3. Key filters ----------------------------------------------------------------------

TEST_F(ReportScreenTest, SystemsFieldTakesDigitsAndBackspaceOnly) {
    open();
    QLineEdit *sist = screen->mskNrSist, *usu = screen->mskNrUsu;
    struct Case {
        const char *name;
        QLineEdit *field;
        QString start;
        std::function<void(QLineEdit *)> keys;
        QString expected;
    } cases[] = {
        {"letters and signs dropped", sist, "", [](QLineEdit *e) { QTest::keyClicks(e, "1a-,2"); }, "12"},
        {"keypad digits pass", sist, "", [](QLineEdit *e) { QTest::keyClick(e, Qt::Key_7, Qt::KeypadModifier); }, "7"},
        {"backspace works", sist, "15", [](QLineEdit *e) { QTest::keyClick(e, Qt::Key_Backspace); }, "1"},
        {"left then digit: the arrow does nothing", sist, "15",
         [](QLineEdit *e) {
             QTest::keyClick(e, Qt::Key_Left);
             QTest::keyClick(e, Qt::Key_3);
         },
         "153"},
        {"delete does nothing", sist, "15",
         [](QLineEdit *e) {
             QTest::keyClick(e, Qt::Key_Home);
             QTest::keyClick(e, Qt::Key_Delete);
         },
         "15"},
        {"users: letters dropped", usu, "", [](QLineEdit *e) { QTest::keyClicks(e, "x1y5"); }, "15"},
        {"users: arrows and delete work", usu, "150",
         [](QLineEdit *e) {
             QTest::keyClick(e, Qt::Key_Home);
             QTest::keyClick(e, Qt::Key_Delete);
             QTest::keyClick(e, Qt::Key_Right);
             QTest::keyClick(e, Qt::Key_9);
         },
         "590"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.field->setText(c.start);
        c.field->setFocus();
        c.field->end(false);
        c.keys(c.field);
        EXPECT_EQ(c.field->text(), c.expected);
    }
}

// 4. Selection of price tables ------------------------------------------------------------

TEST_F(ReportScreenTest, TabAndShiftTabLeaveTheSystemsField) {
    open();
    for (const auto &[mods, next] : {std::pair<Qt::KeyboardModifiers, QWidget *>{Qt::NoModifier, screen->mskNrUsu},
                                     std::pair<Qt::KeyboardModifiers, QWidget *>{Qt::ShiftModifier, screen->chkTipoLU}}) {
        screen->mskNrSist->setFocus();
        QTest::keyClick(screen->mskNrSist, mods ? Qt::Key_Backtab : Qt::Key_Tab, mods);
        EXPECT_EQ(QApplication::focusWidget(), next) << QApplication::focusWidget()->objectName().toStdString();
    }
}

TEST_F(ReportScreenTest, SelectionStatesAcrossTodosListaAndClosing) {
    open();
    auto click = [](QRadioButton *b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2)); };
    dialogs.onPesquisaLista = [](TDataSource *source, const QString &key, QString *selection) {
        EXPECT_EQ(key, "CDPRECOPROP");
        EXPECT_EQ(source->DataSet()->RecordCount(), 3);  // the demo's reportable tables
        *selection = QStringLiteral("0000000002");
        return true;
    };
    click(screen->rbtTbPrecoLista);
    QTest::mouseClick(screen->btpTbPreco, Qt::LeftButton);
    settle();
    EXPECT_EQ(stCDPRECOPROP, "0000000002");
    ASSERT_FALSE(dialogs.searchTitles.isEmpty());
    EXPECT_EQ(dialogs.searchTitles.last(), msg("TB_PRECO") + "|" + msg("TB_N_CAD_OU"));
    EXPECT_EQ(dialogs.waitKinds.value(0), 6);
    click(screen->rbtTbPrecoTodos);
    EXPECT_TRUE(stCDPRECOPROP.isEmpty());
    click(screen->rbtTbPrecoLista);
    EXPECT_TRUE(stCDPRECOPROP.isEmpty());  // "Todos" dropped the list

    // A preview with "Todos" sets "T"; "Lista" drops it again.
    click(screen->rbtTbPrecoTodos);
    screen->chkTipoLU->setChecked(true);
    setCounts("2", "2");
    trigger(screen->sbtPreview);
    EXPECT_EQ(stCDPRECOPROP, "T");
    click(screen->rbtTbPrecoLista);
    EXPECT_TRUE(stCDPRECOPROP.isEmpty());

    // Closing with "Lista" chosen: the next opening starts from "Todos".
    QTest::mouseClick(screen->btpTbPreco, Qt::LeftButton);
    settle();
    EXPECT_EQ(stCDPRECOPROP, "0000000002");
    closeScreen();
    EXPECT_TRUE(stCDPRECOPROP.isEmpty());
    EXPECT_FALSE(boIdCriado);
    open();
    EXPECT_TRUE(screen->rbtTbPrecoTodos->isChecked());
    EXPECT_FALSE(screen->btpTbPreco->isEnabled());
}

// 5. The preview ----------------------------------------------------------------------------

TEST_F(ReportScreenTest, PreviewFillsTheReportTableWithTheSimulation) {
    addExampleTable("0000000009");
    setIndex(1.05);
    open();
    dialogs.onPesquisaLista = [](TDataSource *, const QString &, QString *selection) {
        *selection = QStringLiteral("0000000009");
        return true;
    };
    QTest::mouseClick(screen->rbtTbPrecoLista, Qt::LeftButton, {}, QPoint(8, screen->rbtTbPrecoLista->height() / 2));
    QTest::mouseClick(screen->btpTbPreco, Qt::LeftButton);
    settle();
    QTest::mouseClick(screen->rbtFiliFili, Qt::LeftButton, {}, QPoint(8, screen->rbtFiliFili->height() / 2));
    screen->chkTipoLoc->setChecked(true);
    screen->chkTipoLU->setChecked(true);
    screen->chkTipoManut->setChecked(true);
    setCounts("3", "2");
    dialogs.clear();
    trigger(screen->sbtPreview);
    ASSERT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(dialogs.waitShown, 1);  // one batch: a chosen list needs no table call, so the index and the two band calls
    EXPECT_EQ(dialogs.waitShown, dialogs.waitHidden);

    // Only the chosen table reached the band calls.
    for (TClientTable *t : {screen->cdsLuSist, screen->cdsLuUsu}) {
        t->First();
        while (!t->Eof()) {
            EXPECT_EQ(t->FieldByName("CDPRECOPROP")->AsString(), "0000000009");
            t->Next();
        }
    }
    TClientTable *aux = screen->cdsAux;
    ASSERT_EQ(aux->RecordCount(), 6);
    const double f = 1.05 * 0.9, r = 1000.0 / 12;
    const QVector<QVector<double>> expected{{1000, 2000, 2900}, {1800, 2800, 3700}, {200, 400, 580},
                                            {360, 560, 740},    {200 + r, 400 + r, 580 + r}, {360 + r, 560 + r, 740 + r}};
    const QStringList types{"Licença de Uso", "Licença de Uso", "Manutenção", "Manutenção", "Locação", "Locação"};
    aux->First();
    for (int i = 0; i < 6; ++i, aux->Next()) {
        SCOPED_TRACE(i);
        EXPECT_EQ(aux->FieldByName("TIPO")->AsString(), types[i]);
        EXPECT_EQ(aux->FieldByName("MODLOC")->AsString(), "Filial/Filial");
        EXPECT_EQ(aux->FieldByName("NMPRECOPROP")->AsString(), "Exemplo 09");
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(aux->FieldByName(Ajusta(QString::number(k + 1), 2))->AsFloat(), expected[i][k] * f, 0.005);
        EXPECT_TRUE(aux->FieldByName("04")->IsNull());
    }
    EXPECT_EQ(reports.previews, 1);
    EXPECT_EQ(reports.matrices, 3);
    EXPECT_EQ(reports.pages, 1);
    EXPECT_EQ(arGravaResultSis.size(), 3);
    EXPECT_EQ(arGravaResultUsu.size(), 2);
    EXPECT_EQ(inMostraQtSis, 3);
    EXPECT_EQ(inMostraQtUsu, 2);
}

TEST_F(ReportScreenTest, GapInBandsRefusedWithTheServersMessageKeepingTheLastReport) {
    addExampleTable("0000000008", true);  // systems 1-2, then 4-20: 3 is missing
    open();
    screen->chkTipoLU->setChecked(true);
    setCounts("2", "2");
    trigger(screen->sbtPreview);  // N = 2 does not reach the gap
    ASSERT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    const int rows = screen->cdsAux->RecordCount();
    EXPECT_EQ(rows, 4 * 2);
    setCounts("5", "2");
    dialogs.clear();
    trigger(screen->sbtPreview);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().contains("0000000008")) << dialogs.last().toStdString();
    EXPECT_TRUE(dialogs.last().contains("sistemas")) << dialogs.last().toStdString();
    EXPECT_EQ(dialogs.waitShown, dialogs.waitHidden);
    EXPECT_EQ(screen->cdsAux->RecordCount(), rows);
    EXPECT_EQ(reports.previews, 1);
}

TEST_F(ReportScreenTest, ZeroRentalTermStopsThePreviewNamingTheTable) {
    addExampleTable("0000000007");
    sql("UPDATE PRECOPROPOSTA SET NRMESPRAZOLOCA = 0 WHERE CDPRECOPROP = '0000000007'");
    open();
    screen->chkTipoLoc->setChecked(true);
    setCounts("3", "3");
    trigger(screen->sbtPreview);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().contains("0000000007") && dialogs.last().contains("prazo de locação zero")) << dialogs.last().toStdString();
    EXPECT_EQ(reports.previews, 0);
}

// 6. Print, printer set-up, save as ------------------------------------------------------------

// Print, set-up and save as build from the options shown, preview or not.
TEST_F(ReportScreenTest, ActionsBuildTheReportFromTheOptionsShownNotAnOlderPreview) {
    open();
    screen->chkTipoManut->setChecked(true);
    setCounts("4", "3");
    trigger(screen->sbtPreview);
    ASSERT_EQ(reports.previews, 1);
    screen->chkTipoManut->setChecked(false);
    screen->chkTipoLoc->setChecked(true);
    setCounts("2", "2");
    reports.saveTo = dir.filePath("depois.csv");
    trigger(screen->sbtSalvarComo);
    QFile csv(reports.saveTo);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.value(0), "TIPO;CDPRECOPROP;NMPRECOPROP;MODLOC;USUARIOS;01;02");
    EXPECT_EQ(lines.size(), 1 + 3 * 2);
    EXPECT_TRUE(lines.value(1).startsWith("Locação;")) << lines.value(1).toStdString();
    // A refused check stops the action before any window.
    dialogs.clear();
    setCounts("", "2");
    for (QAction *a : {screen->sbtPrint, screen->sbtConfigImpr, screen->sbtSalvarComo}) trigger(a);
    EXPECT_EQ(dialogs.shown.size(), 3);
    EXPECT_EQ(reports.prints + reports.setups, 0);
}

TEST_F(ReportScreenTest, PrintAndSaveUseTheReportThePreviewBuilt) {
    open();
    screen->chkTipoManut->setChecked(true);
    setCounts("4", "3");
    trigger(screen->sbtPreview);
    ASSERT_EQ(reports.previews, 1);

    reports.printTo = dir.filePath("impresso.pdf");
    trigger(screen->sbtPrint);
    EXPECT_EQ(reports.prints, 1);
    QFile printed(reports.printTo);
    ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
    EXPECT_TRUE(printed.read(5) == "%PDF-");

    trigger(screen->sbtConfigImpr);
    EXPECT_EQ(reports.setups, 1);

    reports.saveTo = dir.filePath("livro.csv");
    trigger(screen->sbtSalvarComo);
    EXPECT_EQ(reports.asked, (QStringList{"Título do relatório", "Informe o título do relatório:"}));
    EXPECT_EQ(dialogs.last(), "Arquivo gravado em " + QDir::toNativeSeparators(reports.saveTo) + ".");  // not in silence
    QFile csv(reports.saveTo);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.value(0), "TIPO;CDPRECOPROP;NMPRECOPROP;MODLOC;USUARIOS;01;02;03;04");
    EXPECT_EQ(lines.size(), 1 + 3 * 3);  // the demo's three tables, three users each
    EXPECT_TRUE(lines.value(1).startsWith("Manutenção;0000000001;"));
    EXPECT_EQ(screen->report.document().title, "Livro de preços");
}
