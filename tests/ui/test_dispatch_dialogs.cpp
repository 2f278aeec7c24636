// The guarded dispatch and the widget dialogs service, driven as a user would.
#include "client_table.h"
#include "errors.h"
#include "recording_dialogs.h"
#include "rpc_codes.h"
#include "ui_dispatch.h"
#include "widget_dialogs.h"
#include "widget_test_helpers.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "db_grid.h"

TEST(RunGuarded, SwallowsTheSilentAbortAndTheServerErrorWithoutAMessage) {
    RecordingDialogs dialogs;
    bool after = false;
    RunGuarded([] { Abort(); });
    RunGuarded([] { throw EServerError(RpcCode::Refused, "Recusado pelo servidor."); });
    EXPECT_FALSE(RunGuardedOk([] { throw EAbort(); }));
    RunGuarded([&] { after = true; });
    EXPECT_TRUE(after);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST(RunGuarded, ShowsAnApplicationErrorOnceAsAnError) {
    RecordingDialogs dialogs;
    EXPECT_FALSE(RunGuardedOk([] { throw EAppError("Valor inválido."); }));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, "Valor inválido.");
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Error);
}

TEST(RunGuarded, ShowsOtherExceptionsAndPacketErrors) {
    RecordingDialogs dialogs;
    RunGuarded([] { throw std::runtime_error("falhou"); });
    RunGuarded([] { throw PacketError("Pacote de dados inválido."); });
    RunGuarded([] { throw 42; });
    EXPECT_EQ(dialogs.texts(), (QStringList{"falhou", "Pacote de dados inválido.", "Erro inesperado."}));
}

TEST(RunGuarded, AnInnerGuardShowsItsErrorOnceAndTheOuterCodeGoesOn) {
    RecordingDialogs dialogs;
    bool outerFinished = false;
    EXPECT_TRUE(RunGuardedOk([&] {
        RunGuarded([] { MensErro("Campo obrigatório."); });
        outerFinished = true;
    }));
    EXPECT_TRUE(outerFinished);
    EXPECT_EQ(dialogs.texts(), QStringList{"Campo obrigatório."});  // MensErro shows; its abort is silent
}

TEST(RunGuarded, ReturnsTrueWhenTheCodeRanToItsEnd) { EXPECT_TRUE(RunGuardedOk([] {})); }

// ---------------------------------------------------------------- selection strings

TEST(SelectionString, CodesJoinedByCommasAllIsTNoneIsEmpty) {
    const QStringList codes{"0000000001", "0000000002", "0000000004"};
    EXPECT_EQ(SelectionString(codes, {true, false, true}), "0000000001,0000000004");
    EXPECT_EQ(SelectionString(codes, {true, true, true}), "T");
    EXPECT_EQ(SelectionString(codes, {false, false, false}), "");
    EXPECT_EQ(SelectionString({" 001 ", "002"}, {true, false}), "001");
    EXPECT_EQ(SelectionString({}, {}), "");
}

TEST(SelectionString, MarksComeBackFromASelection) {
    const QStringList codes{"01", "02", "03"};
    EXPECT_EQ(MarksFromSelection(codes, "T"), (QList<bool>{true, true, true}));
    EXPECT_EQ(MarksFromSelection(codes, "01,03"), (QList<bool>{true, false, true}));
    EXPECT_EQ(MarksFromSelection(codes, ""), (QList<bool>{false, false, false}));
}

// ---------------------------------------------------------------- widget dialogs

namespace {

class WidgetDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        table.AddField("CDPRECOPROP", FieldType::String, 10, "Código");
        table.AddField("NMPRECOPROP", FieldType::String, 50, "Nome");
        DataPacket p;
        p.fields = table.fieldDefs();
        p.rows = {{QString("0000000001"), QString("Tabela A")},
                  {QString("0000000002"), QString("Tabela B")},
                  {QString("0000000003"), QString("Tabela C")}};
        table.LoadPacket(p);
        source.SetDataSet(&table);
    }
    WidgetDialogs dialogs;
    TClientTable table{"cdsTbPreco"};
    TDataSource source;
};

QPushButton *buttonWithText(QWidget *w, const QString &text) {
    for (QPushButton *b : w->findChildren<QPushButton *>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace

TEST_F(WidgetDialogsTest, AMessageHasPortugueseButtonsAndReturnsTheOneClicked) {
    QStringList captions;
    QString text;
    WhenModal([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        ASSERT_NE(box, nullptr);
        text = box->text();
        for (QAbstractButton *b : box->buttons()) captions << b->text();
        QTest::mouseClick(buttonWithText(box, "Não"), Qt::LeftButton);
    });
    const int answer = dialogs.showMessage("Confirma exclusão?", MsgType::Confirmation, MsgButton::Yes | MsgButton::No);
    EXPECT_EQ(answer, int(MsgButton::No));
    EXPECT_EQ(text, "Confirma exclusão?");
    captions.sort();
    EXPECT_EQ(captions, (QStringList{"Não", "Sim"}));

    WhenModal([&](QWidget *w) { QTest::mouseClick(buttonWithText(w, "OK"), Qt::LeftButton); });
    EXPECT_EQ(dialogs.showMessage("Gravado.", MsgType::Information, MsgButton::Ok | MsgButton::Cancel), int(MsgButton::Ok));
}

TEST_F(WidgetDialogsTest, TheThreeWayQuestionOffersSimNaoCancelarAndEscIsCancelar) {
    SetDialogs(&dialogs);
    struct Case {
        const char *press;  // a button's caption, or "Esc"
        int expected;
    };
    const Case cases[] = {{"Sim", MsgButton::Yes}, {"Não", MsgButton::No}, {"Cancelar", MsgButton::Cancel}, {"Esc", MsgButton::Cancel}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.press);
        QStringList captions;
        WhenModal([&](QWidget *w) {
            for (QAbstractButton *b : qobject_cast<QMessageBox *>(w)->buttons()) captions << b->text();
            if (QString(c.press) == "Esc") QTest::keyClick(w, Qt::Key_Escape);
            else QTest::mouseClick(buttonWithText(w, QString::fromUtf8(c.press)), Qt::LeftButton);
        });
        EXPECT_EQ(ConfirmaOuCancela("Deseja gravar as alterações?"), c.expected);
        captions.sort();
        EXPECT_EQ(captions, (QStringList{"Cancelar", "Não", "Sim"}));
    }
    SetDialogs(nullptr);
}

TEST_F(WidgetDialogsTest, SearchPicksARowAndLeavesItCurrent) {
    QString title;
    WhenModal([&](QWidget *w) {
        title = w->windowTitle();
        auto *grid = w->findChild<TDBGrid *>("dbgPesquisa");
        ASSERT_NE(grid, nullptr);
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Return);
    });
    EXPECT_TRUE(dialogs.pesquisar(&source, "Tabela de Preço|Não há tabela de preço."));
    EXPECT_EQ(title, "Tabela de Preço");
    EXPECT_EQ(table.FieldByName("CDPRECOPROP")->AsString(), "0000000003");
    EXPECT_EQ(table.State(), DataSetState::Browse);
}

TEST_F(WidgetDialogsTest, SearchCancelledPutsTheCursorBack) {
    table.Next();
    WhenModal([&](QWidget *w) {
        auto *grid = w->findChild<TDBGrid *>("dbgPesquisa");
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::mouseClick(buttonWithText(w, "Cancelar"), Qt::LeftButton);
    });
    EXPECT_FALSE(dialogs.pesquisar(&source, "Tabela|Vazio"));
    EXPECT_EQ(table.RecNo(), 2);
}

TEST_F(WidgetDialogsTest, SearchOverNoRowsShowsTheMessageAndPicksNothing) {
    TClientTable empty("cdsVazia");
    empty.AddField("CDOPERADOR", FieldType::String, 12);
    empty.CreateDataSet();
    TDataSource ds(&empty);
    QString shown;
    WhenModal([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        QTest::mouseClick(buttonWithText(box, "OK"), Qt::LeftButton);
    });
    EXPECT_FALSE(dialogs.pesquisar(&ds, "Operador|Não existe Operador cadastrado."));
    EXPECT_EQ(shown, "Não existe Operador cadastrado.");
}

TEST_F(WidgetDialogsTest, TheListDialogWritesTheSelectionString) {
    QString selection = "0000000003";
    QStringList items;
    WhenModal([&](QWidget *w) {
        auto *list = w->findChild<QListWidget *>("lstSelecao");
        ASSERT_NE(list, nullptr);
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_Space);  // marks the first
        QTest::mouseClick(w->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    });
    EXPECT_TRUE(dialogs.pesquisaLista(&source, "CDPRECOPROP", "Tabelas de Preço", &selection));
    EXPECT_EQ(selection, "0000000001,0000000003");
    EXPECT_EQ(items.first(), "0000000001 - Tabela A");
}

TEST_F(WidgetDialogsTest, TheListDialogAllAndNoneAndCancel) {
    QString selection;
    WhenModal([&](QWidget *w) {
        QTest::mouseClick(w->findChild<QPushButton *>("btnMarcarTodos"), Qt::LeftButton);
        QTest::mouseClick(w->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    });
    ASSERT_TRUE(dialogs.pesquisaLista(&source, "CDPRECOPROP", "Tabelas", &selection));
    EXPECT_EQ(selection, "T");

    WhenModal([&](QWidget *w) {
        QTest::mouseClick(w->findChild<QPushButton *>("btnDesmarcarTodos"), Qt::LeftButton);
        QTest::mouseClick(w->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    });
    ASSERT_TRUE(dialogs.pesquisaLista(&source, "CDPRECOPROP", "Tabelas", &selection));
    EXPECT_EQ(selection, "");

    selection = "0000000002";
    WhenModal([&](QWidget *w) {
        QTest::mouseClick(w->findChild<QPushButton *>("btnMarcarTodos"), Qt::LeftButton);
        QTest::mouseClick(w->findChild<QPushButton *>("btnCancelar"), Qt::LeftButton);
    });
    EXPECT_FALSE(dialogs.pesquisaLista(&source, "CDPRECOPROP", "Tabelas", &selection));
    EXPECT_EQ(selection, "0000000002");  // cancel keeps what was there
}

TEST_F(WidgetDialogsTest, TheWaitAnimationIsCountedAndHiddenWithTheLastHide) {
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    dialogs.showWait(&owner, 1);
    ASSERT_NE(dialogs.waitWidget(), nullptr);
    EXPECT_TRUE(dialogs.waitWidget()->isVisible());
    auto *label = dialogs.waitWidget()->findChild<QLabel *>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Aguarde...");
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    dialogs.showWait(&owner, 6);  // nested
    EXPECT_EQ(dialogs.waitDepth(), 2);
    dialogs.hideWait();
    EXPECT_NE(dialogs.waitWidget(), nullptr);
    dialogs.hideWait();
    EXPECT_EQ(dialogs.waitWidget(), nullptr);
    EXPECT_EQ(dialogs.waitDepth(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    dialogs.hideWait();  // one hide too many changes nothing
    EXPECT_EQ(dialogs.waitDepth(), 0);
}

TEST_F(WidgetDialogsTest, TheWrappersGoThroughTheInstalledService) {
    RecordingDialogs recording;
    recording.onPesquisar = [this](TDataSource *) {
        table.Last();
        return true;
    };
    recording.onPesquisaLista = [](TDataSource *, const QString &key, QString *sel) {
        *sel = key == "CDPRECOPROP" ? "0000000002" : "";
        return true;
    };
    EXPECT_TRUE(Pesquisar(&source, "Tabela|Vazio", false, true));
    EXPECT_EQ(table.RecNo(), 3);
    QString sel;
    EXPECT_TRUE(PesquisaLista(&source, "CDPRECOPROP", "Tabelas", false, sel));
    EXPECT_EQ(sel, "0000000002");
    EXPECT_EQ(recording.searchTitles, (QStringList{"Tabela|Vazio", "Tabelas"}));
}
