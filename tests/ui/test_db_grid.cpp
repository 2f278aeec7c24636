// The data-aware grid driven by keystrokes and clicks over a real client table.
#include "db_grid.h"
#include "dialogs.h"
#include "errors.h"
#include "recording_dialogs.h"
#include "routines.h"
#include "virtual_keys.h"
#include "widget_test_helpers.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

namespace {

class GridTest : public ::testing::Test {
protected:
    void SetUp() override {
        table.AddField("CODIGO", FieldType::String, 5, "Código");
        table.AddField("NOME", FieldType::String, 30, "Nome");
        TField *valor = table.AddField("VALOR", FieldType::Float, 0, "Valor");
        valor->DisplayFormat = "#,##0.00";
        valor->EditFormat = "0.00";
        table.AddField("TIPO", FieldType::String, 1, "Tipo");
        DataPacket p;
        p.fields = table.fieldDefs();
        p.rows = {{QString("00001"), QString("Alfa"), 10.0, QString("L")},
                  {QString("00002"), QString("Beta"), 20.5, QString("M")},
                  {QString("00003"), QString("Gama"), 30.0, QString("U")}};
        table.LoadPacket(p);
        source.SetDataSet(&table);

        window = new QWidget;
        window->resize(640, 400);
        auto *layout = new QVBoxLayout(window);
        grid = new TDBGrid(window);
        other = new QLineEdit(window);
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->SetDataSource(&source);
        grid->addColumn("CODIGO", "Código", 60, Qt::AlignLeft | Qt::AlignVCenter, true);
        grid->addColumn("NOME", "Nome", 150);
        grid->addColumn("VALOR", "Valor", 80, Qt::AlignRight | Qt::AlignVCenter);
        grid->addColumn("TIPO", "Tipo", 120).PickList = QStringList{"Locação", "Manutenção", "Licença de Uso"};
        grid->SetColor(clInfoBk());
        ASSERT_TRUE(ShowActive(window));
        grid->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(grid->hasFocus());
        grid->SetSelectedIndex(1);  // "Nome"
    }

    void TearDown() override { delete window; }

    QString nome() const { return table.FieldByName("NOME")->AsString(); }
    QString selected() const { return grid->SelectedField() ? grid->SelectedField()->FieldName() : QString(); }
    int gridRow() const { return grid->currentIndex().row(); }

    RecordingDialogs dialogs;
    TClientTable table{"cdsTeste"};
    TDataSource source;
    QWidget *window = nullptr;
    TDBGrid *grid = nullptr;
    QLineEdit *other = nullptr;
};

}  // namespace

TEST_F(GridTest, TheGridRowFollowsTheTableAndTheTableFollowsTheGrid) {
    EXPECT_EQ(gridRow(), 0);
    table.Next();
    EXPECT_EQ(gridRow(), 1);
    Press(Qt::Key_Down);
    EXPECT_EQ(table.RecNo(), 3);
    Press(Qt::Key_Up);
    EXPECT_EQ(table.RecNo(), 2);
    const QRect cell = grid->visualRect(grid->model()->index(0, 2));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(table.RecNo(), 1);
    EXPECT_EQ(selected(), "VALOR");
}

TEST_F(GridTest, APrintableKeyInBrowseEditsTheRowAndOpensTheEditorWithThatKey) {
    ASSERT_EQ(table.State(), DataSetState::Browse);
    Type("X");
    EXPECT_EQ(table.State(), DataSetState::Edit);
    ASSERT_TRUE(grid->EditorMode());
    EXPECT_EQ(grid->EditorText(), "X");
    Type("yz");
    EXPECT_EQ(grid->EditorText(), "Xyz");
    EXPECT_EQ(GridText(grid, "NOME"), "Xyz");
    EXPECT_EQ(nome(), "Alfa");  // not yet committed
    Press(Qt::Key_Return);
    EXPECT_EQ(nome(), "Xyz");
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(selected(), "NOME");  // Enter stays on the column
    EXPECT_EQ(table.State(), DataSetState::Edit);
}

TEST_F(GridTest, AKeyDroppedByTheKeyPressFilterDoesNothing) {
    QList<int> seen;
    grid->OnKeyPress = [&](QChar &key) {
        seen << key.unicode();
        if (key == 'a') key = QChar(0);
        if (key == 'x') key = 'y';
    };
    Type("a");
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_FALSE(grid->EditorMode());
    Type("bax");
    EXPECT_EQ(grid->EditorText(), "by");
    Press(Qt::Key_Backspace);
    EXPECT_EQ(grid->EditorText(), "b");
    EXPECT_EQ(seen, (QList<int>{'a', 'b', 'a', 'x', 8}));
}

TEST_F(GridTest, TheKeyFilterSeesTheEditorTextThroughGridText) {
    QStringList texts;
    grid->SetSelectedIndex(2);  // VALOR: "10,00" in the field
    grid->OnKeyPress = [&](QChar &key) {
        const QString t = GridText(grid, "VALOR", true);
        texts << t;
        if (key == ',' && (t.isEmpty() || t.contains(','))) key = QChar(0);  // the decimal comma rule
    };
    Type(",");  // would start a fresh cell: dropped
    EXPECT_FALSE(grid->EditorMode());
    Type("12,5,");
    EXPECT_EQ(grid->EditorText(), "12,5");
    EXPECT_EQ(texts, (QStringList{"", "", "1", "12", "12,", "12,5"}));
    // With no editor open GridText gives the field's editing text.
    Press(Qt::Key_Return);
    EXPECT_EQ(GridText(grid, "VALOR", false), "12,50");
    EXPECT_EQ(GridText(grid, "NOME", false), "Alfa");
}

TEST_F(GridTest, TabCommitsAndMovesAndShiftTabMovesBack) {
    Type("Novo");
    Press(Qt::Key_Tab);
    EXPECT_EQ(nome(), "Novo");
    EXPECT_EQ(selected(), "VALOR");
    EXPECT_FALSE(grid->EditorMode());
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(selected(), "NOME");
    EXPECT_EQ(table.State(), DataSetState::Edit);
}

TEST_F(GridTest, LeftAndRightCommitOnlyAtTheEditorsEdge) {
    Type("Ab");
    Press(Qt::Key_Left);  // inside the text: the editor moves its cursor
    EXPECT_TRUE(grid->EditorMode());
    EXPECT_EQ(selected(), "NOME");
    Press(Qt::Key_Right);  // back at the end
    EXPECT_TRUE(grid->EditorMode());
    Press(Qt::Key_Right);  // at the edge: commit and move
    EXPECT_EQ(nome(), "Ab");
    EXPECT_EQ(selected(), "VALOR");
    Press(Qt::Key_Left);
    EXPECT_EQ(selected(), "NOME");
}

TEST_F(GridTest, TabFromTheLastColumnPostsAndGoesToTheFirstColumnOfTheNextRow) {
    grid->SetSelectedIndex(3);
    table.Edit();
    table.FieldByName("NOME")->SetAsString("Alterado");
    Press(Qt::Key_Tab);
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_EQ(table.RecNo(), 2);
    EXPECT_EQ(selected(), "CODIGO");
    table.First();
    EXPECT_EQ(nome(), "Alterado");
}

TEST_F(GridTest, TabFromTheLastCellOfTheLastRowAppendsUnlessBeforeInsertAborts) {
    table.Last();
    grid->SetSelectedIndex(3);
    bool refuse = true;
    table.BeforeInsert = [&](TClientTable &) {
        if (refuse) Abort();
    };
    Press(Qt::Key_Tab);
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_EQ(table.RecordCount(), 3);
    EXPECT_EQ(selected(), "TIPO");  // the refused append keeps the cursor
    refuse = false;
    Press(Qt::Key_Tab);
    EXPECT_EQ(table.State(), DataSetState::Insert);
    EXPECT_EQ(gridRow(), 3);
    EXPECT_EQ(selected(), "CODIGO");
}

TEST_F(GridTest, BadTextShowsTheMessageAndTheEditorStays) {
    grid->SetSelectedIndex(2);
    Type("1a");
    Press(Qt::Key_Return);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Error);
    EXPECT_EQ(dialogs.last(), "\"1a\" não é um valor numérico válido.");
    EXPECT_TRUE(grid->EditorMode());
    EXPECT_EQ(grid->EditorText(), "1a");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(selected(), "VALOR");
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(table.FieldByName("VALOR")->AsFloat(), 1.0);
}

TEST_F(GridTest, AnAbortInColExitKeepsTheColumnAndRunsBeforeTheMove) {
    QStringList leaving;
    grid->OnColExit = [&] {
        leaving << selected();
        if (selected() == "NOME" && table.IsEditing() && EmptyString(nome())) MensErro("Nome deve ser informado.");
    };
    Type("x");
    Press(Qt::Key_Backspace);  // the cell is now empty
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.last(), "Nome deve ser informado.");
    EXPECT_EQ(selected(), "NOME");
    Press(Qt::Key_Right);
    EXPECT_EQ(selected(), "NOME");
    const QRect cell = grid->visualRect(grid->model()->index(0, 2));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(selected(), "NOME");
    EXPECT_EQ(dialogs.shown.size(), 3);
    Type("Ok");
    Press(Qt::Key_Tab);
    EXPECT_EQ(selected(), "VALOR");
    EXPECT_EQ(leaving, (QStringList{"NOME", "NOME", "NOME", "NOME"}));
}

TEST_F(GridTest, AColumnChosenByColExitWins) {
    grid->OnColExit = [&] {
        if (selected() == "NOME") table.FieldByName("TIPO")->FocusControl();
    };
    Press(Qt::Key_Tab);
    EXPECT_EQ(selected(), "TIPO");
}

TEST_F(GridTest, MovingToAnotherRowPostsAndARefusedPostKeepsTheCursor) {
    Type("Novo nome");
    Press(Qt::Key_Down);
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_EQ(table.RecNo(), 2);
    EXPECT_EQ(table.ChangeCount(), 1);

    table.BeforePost = [&](TClientTable &t) {
        if (t.FieldByName("NOME")->AsString() == "Ruim") {
            t.FieldByName("NOME")->FocusControl();
            MensErro("Nome ruim.");
        }
    };
    grid->SetSelectedIndex(2);
    table.Edit();
    table.FieldByName("NOME")->SetAsString("Ruim");
    Press(Qt::Key_Up);
    EXPECT_EQ(dialogs.last(), "Nome ruim.");
    EXPECT_EQ(table.State(), DataSetState::Edit);
    EXPECT_EQ(table.RecNo(), 2);
    EXPECT_EQ(gridRow(), 1);
    EXPECT_EQ(selected(), "NOME");  // FocusControl put the cursor on the field
    const QRect cell = grid->visualRect(grid->model()->index(2, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(table.RecNo(), 2);
    EXPECT_EQ(table.State(), DataSetState::Edit);
}

TEST_F(GridTest, DownOnTheLastRowAppendsAndAnUntouchedNewRowGoesNoFurther) {
    table.Last();
    Press(Qt::Key_Down);
    EXPECT_EQ(table.State(), DataSetState::Insert);
    EXPECT_EQ(gridRow(), 3);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    Press(Qt::Key_Down);  // nothing typed: no second new row
    EXPECT_EQ(table.State(), DataSetState::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    Press(Qt::Key_Up);  // Up from the untouched new row cancels it
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_EQ(table.RecordCount(), 3);
    EXPECT_EQ(table.RecNo(), 3);
    EXPECT_EQ(grid->model()->rowCount(), 3);
}

// Whichever column the cursor was in, a new row types into its first
// editable column ("Código" is read-only here): Insert, Down past the last
// row, and an insert made by a tool bar button.
TEST_F(GridTest, ANewRowStartsTypingInItsFirstEditableColumn) {
    const std::function<void()> inserts[] = {[] { Press(Qt::Key_Insert); },
                                             [this] { table.Last(); Press(Qt::Key_Down); },
                                             [this] { table.Insert(); }};
    for (const auto &insert : inserts) {
        grid->SetSelectedIndex(3);  // "Tipo"
        insert();
        ASSERT_EQ(table.State(), DataSetState::Insert);
        EXPECT_EQ(selected(), "NOME");
        Type("Novo");
        EXPECT_EQ(grid->EditorText(), "Novo");
        Press(Qt::Key_Escape);
        Press(Qt::Key_Escape);
        EXPECT_EQ(table.State(), DataSetState::Browse);
    }
}

TEST_F(GridTest, DownOnTheLastRowDoesNotAppendWhenBeforeInsertAborts) {
    table.BeforeInsert = [](TClientTable &) { Abort(); };
    table.Last();
    Press(Qt::Key_Down);
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_EQ(table.RecordCount(), 3);
    EXPECT_TRUE(dialogs.shown.isEmpty());  // the silent abort shows nothing
}

TEST_F(GridTest, DownOnATypedNewRowPostsItAndAppendsAnother) {
    table.Last();
    Press(Qt::Key_Down);
    Type("Delta");
    Press(Qt::Key_Down);
    EXPECT_EQ(table.RecordCount(), 4);
    EXPECT_EQ(table.State(), DataSetState::Insert);
    table.Cancel();
    table.Last();
    EXPECT_EQ(nome(), "Delta");
}

TEST_F(GridTest, EscapeCancelsTheCellThenTheRow) {
    table.Next();
    Type("Outro");
    Press(Qt::Key_Tab);
    Type("99");
    Press(Qt::Key_Escape);  // the cell goes back
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(table.State(), DataSetState::Edit);
    EXPECT_DOUBLE_EQ(table.FieldByName("VALOR")->AsFloat(), 20.5);
    EXPECT_EQ(nome(), "Outro");
    Press(Qt::Key_Escape);  // then the row
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_EQ(nome(), "Beta");
    EXPECT_EQ(table.ChangeCount(), 0);
}

TEST_F(GridTest, InsertKeyInsertsAtTheCurrentRow) {
    table.Next();
    Press(Qt::Key_Insert);
    EXPECT_EQ(table.State(), DataSetState::Insert);
    EXPECT_EQ(gridRow(), 1);
    Type("Novo");
    Press(Qt::Key_Return);
    Press(Qt::Key_Down);  // posts; the old second row is now below
    EXPECT_EQ(table.RecordCount(), 4);
    EXPECT_EQ(nome(), "Beta");
}

TEST_F(GridTest, CtrlDeleteDeletesAfterConfirmation) {
    table.Next();
    dialogs.confirmAnswer = MsgButton::No;
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.last(), "Confirma exclusão?");
    EXPECT_EQ(dialogs.shown.last().type, MsgType::Confirmation);
    EXPECT_EQ(table.RecordCount(), 3);
    dialogs.confirmAnswer = MsgButton::Yes;
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table.RecordCount(), 2);
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(nome(), "Gama");

    grid->SetOptions(grid->Options() & ~TDBGridOptions(dgConfirmDelete));
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(dialogs.shown.size(), 2);
}

TEST_F(GridTest, LeavingTheGridCancelsAnUntouchedNewRowOnly) {
    Press(Qt::Key_Insert);
    ASSERT_EQ(table.State(), DataSetState::Insert);
    other->setFocus();
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_EQ(table.RecordCount(), 3);

    grid->setFocus();
    Press(Qt::Key_Insert);
    Type("Parcial");
    other->setFocus();  // the typed cell is kept, the row stays new
    EXPECT_EQ(table.State(), DataSetState::Insert);
    EXPECT_EQ(nome(), "Parcial");
}

TEST_F(GridTest, LeavingWithRefusedCellTextKeepsTheFocusInTheCell) {
    int enters = 0, exits = 0;
    grid->OnEnter = [&] { ++enters; };
    grid->OnExit = [&] { ++exits; };
    grid->SetSelectedIndex(2);
    Type("x1");
    other->setFocus();
    EXPECT_EQ(dialogs.last(), "\"x1\" não é um valor numérico válido.");
    EXPECT_TRUE(grid->EditorMode());
    EXPECT_EQ(Focused(), grid->InplaceEditor());
    EXPECT_EQ(exits, 0);
    EXPECT_EQ(enters, 0);
    Press(Qt::Key_Home);
    Press(Qt::Key_Delete);
    other->setFocus();
    EXPECT_EQ(exits, 1);
    EXPECT_DOUBLE_EQ(table.FieldByName("VALOR")->AsFloat(), 1.0);
    EXPECT_FALSE(grid->EditorMode());
}

TEST_F(GridTest, APickListChoiceGoesThroughSetText) {
    TField *tipo = table.FieldByName("TIPO");
    tipo->OnGetText = [](TField &f, bool) {
        const QString v = f.AsString();
        return v == "L" ? QString("Locação") : v == "M" ? QString("Manutenção") : v == "U" ? QString("Licença de Uso") : QString();
    };
    QStringList setTexts;
    tipo->OnSetText = [&](TField &f, const QString &text) {
        setTexts << text;
        if (text == "Locação") f.SetAsString("L");
        else if (text == "Manutenção") f.SetAsString("M");
        else if (text == "Licença de Uso") f.SetAsString("U");
    };
    grid->SetSelectedIndex(3);
    Press(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(grid->EditorMode());
    auto *combo = qobject_cast<QComboBox *>(grid->InplaceEditor()->parentWidget());
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 3);
    QTRY_VERIFY(combo->view()->isVisible());
    combo->view()->setCurrentIndex(combo->model()->index(2, 0));
    QTest::keyClick(combo->view(), Qt::Key_Return);
    EXPECT_EQ(setTexts, QStringList{"Licença de Uso"});
    EXPECT_EQ(tipo->AsString(), "U");
    EXPECT_EQ(table.State(), DataSetState::Edit);
    Press(Qt::Key_Down);
    EXPECT_EQ(table.State(), DataSetState::Browse);
    table.First();
    EXPECT_EQ(tipo->AsString(), "U");
}

TEST_F(GridTest, ReadOnlyColumnsAndFieldsCannotBeEdited) {
    grid->SetSelectedIndex(0);  // the column is read-only
    Type("9");
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(table.State(), DataSetState::Browse);
    table.FieldByName("NOME")->ReadOnly = true;
    grid->SetSelectedIndex(1);
    Type("z");
    Press(Qt::Key_F2);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(table.State(), DataSetState::Browse);
    grid->SetOptions(grid->Options() & ~TDBGridOptions(dgEditing));
    grid->SetSelectedIndex(2);
    Type("1");
    Press(Qt::Key_Insert);
    EXPECT_EQ(table.State(), DataSetState::Browse);
}

TEST_F(GridTest, DateCellsEditWithTheFieldsMask) {
    TClientTable dates("cdsDatas");
    TField *dt = dates.AddField("DTINI", FieldType::DateTime, 0, "Início");
    dates.CreateDataSet();
    dt->EditMask = DateMask();
    TDataSource ds(&dates);
    grid->Columns.Clear();
    grid->SetDataSource(&ds);
    grid->addColumn("DTINI", "Início", 100);
    Type("25122026");
    EXPECT_EQ(dates.State(), DataSetState::Insert);  // typing into an empty table starts a row
    EXPECT_EQ(grid->EditorText(), "25/12/2026");
    Press(Qt::Key_Return);
    EXPECT_EQ(dt->AsDateTime().date(), QDate(2026, 12, 25));
    grid->SetDataSource(nullptr);
}

TEST_F(GridTest, FocusControlSelectsTheColumnAndFocusesTheGrid) {
    other->setFocus();
    ASSERT_FALSE(grid->hasFocus());
    table.FieldByName("VALOR")->FocusControl();
    EXPECT_EQ(selected(), "VALOR");
    EXPECT_TRUE(grid->hasFocus());
}

TEST_F(GridTest, TheEllipsisButtonAndCtrlEnterFireOnEditButtonClick) {
    int clicks = 0;
    grid->OnEditButtonClick = [&] { ++clicks; };
    grid->Columns[1].ButtonStyle = cbsEllipsis;
    Press(Qt::Key_F2);
    ASSERT_TRUE(grid->EditorMode());
    QToolButton *button = grid->InplaceEditor()->parentWidget()->findChild<QToolButton *>();
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    Press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(clicks, 2);
}

TEST_F(GridTest, OnKeyDownGetsVirtualKeysAndCanDiscardThem) {
    QList<int> keys;
    grid->OnKeyDown = [&](int &key, Qt::KeyboardModifiers) {
        keys << key;
        if (key == VK_DOWN || key == VK_DELETE) key = 0;
    };
    Press(Qt::Key_Down);
    EXPECT_EQ(table.RecNo(), 1);
    Press(Qt::Key_Tab);
    EXPECT_EQ(selected(), "VALOR");
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table.RecordCount(), 3);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_TRUE(keys.contains(VK_DOWN));
    EXPECT_TRUE(keys.contains(VK_TAB));
    EXPECT_TRUE(keys.contains(VK_DELETE));
}

TEST_F(GridTest, OnEnterFiresWhenTheGridGetsTheFocusFromAnotherControl) {
    int enters = 0;
    grid->OnEnter = [&] { ++enters; };
    other->setFocus();
    grid->setFocus();
    EXPECT_EQ(enters, 1);
    Type("a");  // focus moves into the cell editor: still inside the grid
    Press(Qt::Key_Return);
    EXPECT_EQ(enters, 1);
}

TEST_F(GridTest, DrawColumnCellSeesEachRowsValues) {
    QStringList drawn;
    grid->OnDrawColumnCell = [&](QPainter *p, const QRect &r, int dataCol, TColumn &col, QStyle::State) {
        if (dataCol != IndiceCol(grid, "CODIGO")) return;
        drawn << grid->DrawingValue("NOME").toString();
        grid->DefaultDrawColumnCell(p, r, dataCol, col, {});
    };
    grid->grab();
    drawn.removeDuplicates();
    EXPECT_EQ(drawn, (QStringList{"Alfa", "Beta", "Gama"}));
    EXPECT_EQ(IndiceCol(grid, "TIPO"), 3);
    EXPECT_EQ(IndiceCol(grid, "NADA"), -1);
}

TEST_F(GridTest, TheSelectedCellOfTheCurrentRowIsVisible) {
    DataPacket p;
    p.fields = table.fieldDefs();
    for (int i = 0; i < 300; ++i) p.rows.append({QString::number(i), QString("Linha %1").arg(i), double(i), QString("L")});
    table.LoadPacket(p);
    Press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(table.RecNo(), 300);
    const QRect cell = grid->visualRect(grid->currentIndex());
    EXPECT_TRUE(grid->viewport()->rect().intersects(cell));
    table.First();
    EXPECT_TRUE(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
    EXPECT_EQ(grid->currentIndex().row(), 0);
}

// ---------------------------------------------------------------- pick lists with codes

TEST_F(GridTest, APickListWithCodesShowsCaptionsAndStoresCodes) {
    TColumn *tipoColumn = grid->columnByField("TIPO");
    ASSERT_NE(tipoColumn, nullptr);
    tipoColumn->PickCodes = QStringList{"L", "M", "U"};
    TField *tipo = table.FieldByName("TIPO");
    const QModelIndex first = grid->model()->index(0, 3);
    EXPECT_EQ(grid->model()->data(first, Qt::DisplayRole).toString(), "Locação");

    // Chosen from the list: the caption shows, the code is stored.
    grid->SetSelectedIndex(3);
    Press(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(grid->EditorMode());
    auto *combo = qobject_cast<QComboBox *>(grid->InplaceEditor()->parentWidget());
    ASSERT_NE(combo, nullptr);
    QTRY_VERIFY(combo->view()->isVisible());
    combo->view()->setCurrentIndex(combo->model()->index(2, 0));
    QTest::keyClick(combo->view(), Qt::Key_Return);
    EXPECT_EQ(tipo->AsString(), "U");
    EXPECT_EQ(grid->EditorText(), "Licença de Uso");
    Press(Qt::Key_Down);
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_EQ(grid->model()->data(first, Qt::DisplayRole).toString(), "Licença de Uso");

    // Typed: a caption or a code, in any case, gives the code; anything else
    // is refused and the field keeps its value.
    struct Case {
        const char *typed;
        const char *stored;
        bool refused;
    } cases[] = {{"manutenção", "M", false}, {"l", "L", false}, {"Aluguel", "L", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs.clear();
        table.First();
        grid->SetSelectedIndex(3);
        Press(Qt::Key_F2);
        ASSERT_TRUE(grid->EditorMode());
        auto *line = qobject_cast<QLineEdit *>(grid->InplaceEditor());
        ASSERT_NE(line, nullptr);
        line->selectAll();
        // Typed key by key (QTest::keyClicks takes only ASCII).
        for (const QChar ch : QString::fromUtf8(c.typed)) QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        Press(Qt::Key_Return);
        EXPECT_EQ(tipo->AsString(), QString::fromLatin1(c.stored));
        EXPECT_EQ(dialogs.shown.size(), c.refused ? 1 : 0);
        if (c.refused) EXPECT_TRUE(dialogs.last().contains("Locação, Manutenção, Licença de Uso")) << dialogs.last().toStdString();
        if (c.refused) {
            Press(Qt::Key_Escape);
            Press(Qt::Key_Escape);
        } else {
            table.Post();
            EXPECT_EQ(tipo->AsString(), QString::fromLatin1(c.stored));
        }
    }

    // A stored value outside the codes shows an empty cell.
    table.First();
    table.Edit();
    tipo->SetAsString("X");
    table.Post();
    EXPECT_EQ(grid->model()->data(first, Qt::DisplayRole).toString(), "");
}

// ---------------------------------------------------------------- number cells

TEST_F(GridTest, TheKeypadDecimalKeyTypesTheCommaAndAFullStopOutOfPlaceIsRefused) {
    grid->SetSelectedIndex(2);  // "Valor"
    Type("2.5");
    EXPECT_EQ(grid->EditorText(), "2.5");
    Press(Qt::Key_Return);
    EXPECT_EQ(dialogs.last(), "Use a vírgula para os decimais: 2,5");
    EXPECT_DOUBLE_EQ(table.FieldByName("VALOR")->AsFloat(), 10);
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Period, Qt::KeypadModifier);
    Type("5");
    EXPECT_EQ(grid->EditorText(), "2,5");
    Press(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(table.FieldByName("VALOR")->AsFloat(), 2.5);
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);
    grid->SetSelectedIndex(1);  // "Nome": a text keeps its full stop
    Type("a.b");
    EXPECT_TRUE(grid->EditorText().endsWith("a.b")) << grid->EditorText().toStdString();
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);
}

TEST_F(GridTest, PastedTextInANumberCellMustBeABrazilianNumber) {
    struct Case {
        const char *pasted;
        double stored;  // the value after the paste; the old one when refused
        bool refused;
    } cases[] = {{"1.234,56", 1234.56, false}, {"1234,56", 1234.56, false}, {" 7 ", 7, false},
                 {"1,234.56", 10, true},      {"12.34", 10, true},         {"mil", 10, true},
                 {"-5", 10, true},            {"1.23,4", 10, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pasted);
        dialogs.clear();
        table.First();
        grid->SetSelectedIndex(2);
        Press(Qt::Key_F2);
        ASSERT_TRUE(grid->EditorMode());
        auto *line = qobject_cast<QLineEdit *>(grid->InplaceEditor());
        ASSERT_NE(line, nullptr);
        line->selectAll();
        QGuiApplication::clipboard()->setText(QString::fromLatin1(c.pasted));
        QTest::keySequence(line, QKeySequence::Paste);
        if (c.refused) {
            ASSERT_EQ(dialogs.shown.size(), 1);
            EXPECT_TRUE(dialogs.last().contains("não é um número")) << dialogs.last().toStdString();
            EXPECT_EQ(line->text(), "10,00");  // the cell as it was
        }
        Press(Qt::Key_Return);
        EXPECT_DOUBLE_EQ(table.FieldByName("VALOR")->AsFloat(), c.stored);
        Press(Qt::Key_Escape);
        Press(Qt::Key_Escape);
        table.Cancel();
    }
}
