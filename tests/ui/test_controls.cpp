// Small controls: number edit, date check, data-aware label, navigator, search button.
#include "check_date.h"
#include "db_controls.h"
#include "edit_controls.h"
#include "errors.h"
#include "recording_dialogs.h"
#include "routines.h"
#include "widget_test_helpers.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

TEST(TNumberEdit, TakesDigitsAndOneCommaWithinItsDecimals) {
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *ned = new TNumberEdit(&window);
    layout->addWidget(ned);
    ASSERT_TRUE(ShowActive(&window));
    ned->setFocus();
    QTest::keyClicks(ned, "12a-3,4,56");
    EXPECT_EQ(ned->text(), "123,45");
    EXPECT_DOUBLE_EQ(ned->GetNumber(), 123.45);
    ned->clear();
    QTest::keyClick(ned, Qt::Key_7);
    QTest::keyClick(ned, Qt::Key_Period, Qt::KeypadModifier);  // the keypad's decimal key types the comma
    QTest::keyClick(ned, Qt::Key_5);
    EXPECT_EQ(ned->text(), "7,5");
    EXPECT_DOUBLE_EQ(ned->GetNumber(), 7.5);
    ned->clear();
    QTest::keyClicks(ned, "1.234,5,");  // the full stop separates thousands
    EXPECT_EQ(ned->text(), "1.234,5");
    EXPECT_DOUBLE_EQ(ned->GetNumber(), 1234.5);
    ned->clear();
    EXPECT_DOUBLE_EQ(ned->GetNumber(), 0.0);
    ned->SetNumber(1234.5);
    EXPECT_EQ(ned->text(), "1234,50");
    ned->SetDecimals(0);
    ned->clear();
    QTest::keyClicks(ned, "10,5");
    EXPECT_EQ(ned->text(), "105");
}

namespace {
class DateTest : public ::testing::Test {
protected:
    void SetUp() override {
        dt = table.AddField("DTINIPRECOPROP", FieldType::DateTime, 0, "Início Vigência");
        table.CreateDataSet();
        table.Append();
        dt->SetAsDateTime(QDateTime(QDate(2026, 1, 10), QTime(0, 0)));
    }
    RecordingDialogs dialogs;
    TClientTable table{"cdsTbPreco"};
    TField *dt = nullptr;
};
}  // namespace

TEST_F(DateTest, AnImpossibleDateIsRefusedWithTheFieldUnchanged) {
    EXPECT_THROW(CheckDateTime(*dt, "31/02/2026"), EAbort);
    EXPECT_EQ(dialogs.texts(), QStringList{"Data inválida"});
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Error);
    EXPECT_EQ(dt->AsDateTime().date(), QDate(2026, 1, 10));
    EXPECT_THROW(CheckDateTime(*dt, "12/"), EAbort);  // a half-typed mask
}

TEST_F(DateTest, AValidDateIsStoredAndTheBlankMaskClears) {
    CheckDateTime(*dt, "28/02/2026");
    EXPECT_EQ(dt->AsDateTime().date(), QDate(2026, 2, 28));
    CheckDateTime(*dt, "  /  /    ");
    EXPECT_TRUE(dt->IsNull());
    CheckDateTime(*dt, "29/02/2028");
    EXPECT_EQ(dt->AsDateTime().date(), QDate(2028, 2, 29));
    CheckDateTime(*dt, "");
    EXPECT_TRUE(dt->IsNull());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(DateTest, AsTheFieldsSetTextHandler) {
    dt->OnSetText = [](TField &f, const QString &text) { CheckDateTime(f, text); };
    dt->SetText("05/03/2026");
    EXPECT_EQ(DateText::format(dt->AsDateTime()), "05/03/2026");
    EXPECT_THROW(dt->SetText("30/02/2026"), EAbort);
    EXPECT_EQ(DateText::format(dt->AsDateTime()), "05/03/2026");
}

namespace {
class BoundControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        table.AddField("CDPRECOPROP", FieldType::String, 10);
        table.AddField("NMPRECOPROP", FieldType::String, 50);
        DataPacket p;
        p.fields = table.fieldDefs();
        p.rows = {{QString("0000000001"), QString("Tabela A")}, {QString("0000000002"), QString("Tabela B")},
                  {QString("0000000003"), QString("Tabela C")}};
        table.LoadPacket(p);
        source.SetDataSet(&table);
    }
    RecordingDialogs dialogs;
    TClientTable table{"cdsTbPreco"};
    TDataSource source;
};
}  // namespace

TEST_F(BoundControlsTest, TheLabelShowsTheFieldOfTheCurrentRowAndAnEmptyFieldClearsIt) {
    TDBText dbtNome;
    dbtNome.SetDataSource(&source);
    dbtNome.SetDataField("NMPRECOPROP");
    EXPECT_EQ(dbtNome.text(), "Tabela A");
    table.Next();
    EXPECT_EQ(dbtNome.text(), "Tabela B");
    table.Edit();
    table.FieldByName("NMPRECOPROP")->SetAsString("Tabela B2");
    EXPECT_EQ(dbtNome.text(), "Tabela B2");
    dbtNome.SetDataField("");
    EXPECT_EQ(dbtNome.text(), "");
    table.Cancel();
    EXPECT_EQ(dbtNome.text(), "");
}

TEST_F(BoundControlsTest, TheNavigatorMovesTheCursorAndDisablesAtTheEnds) {
    TDBNavigator nav;
    nav.SetDataSource(&source);
    nav.show();
    EXPECT_FALSE(nav.btnFirst->isEnabled());
    EXPECT_FALSE(nav.btnPrior->isEnabled());
    QTest::mouseClick(nav.btnNext, Qt::LeftButton);
    EXPECT_EQ(table.RecNo(), 2);
    QTest::mouseClick(nav.btnLast, Qt::LeftButton);
    EXPECT_EQ(table.RecNo(), 3);
    EXPECT_FALSE(nav.btnNext->isEnabled());
    EXPECT_FALSE(nav.btnLast->isEnabled());
    QTest::mouseClick(nav.btnPrior, Qt::LeftButton);
    EXPECT_EQ(table.RecNo(), 2);
    QTest::mouseClick(nav.btnFirst, Qt::LeftButton);
    EXPECT_EQ(table.RecNo(), 1);
    nav.setEnabled(false);
    EXPECT_FALSE(nav.btnNext->isEnabled());
    nav.setEnabled(true);
    EXPECT_TRUE(nav.btnNext->isEnabled());

    table.BeforeScroll = [](TClientTable &) { MensErro("Não pode sair deste registro."); };
    QTest::mouseClick(nav.btnNext, Qt::LeftButton);
    EXPECT_EQ(table.RecNo(), 1);
    EXPECT_EQ(dialogs.texts(), QStringList{"Não pode sair deste registro."});
}

TEST(TBtnPesquisa, HasItsHintAndRunsItsHandlerGuarded) {
    RecordingDialogs dialogs;
    TBtnPesquisa btp;
    EXPECT_EQ(btp.toolTip(), "Pesquisar");
    int clicks = 0;
    btp.OnClick = [&] {
        ++clicks;
        if (clicks == 2) throw EAppError("Operador não cadastrado.");
    };
    btp.show();
    QTest::mouseClick(&btp, Qt::LeftButton);
    QTest::mouseClick(&btp, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(dialogs.texts(), QStringList{"Operador não cadastrado."});
}
