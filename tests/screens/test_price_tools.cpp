// The main screen's tools for the current price table, opened from its tool
// bar and driven through their real widgets against a real server:
//   1. "Histórico": who changed what, field by field, in Portuguese words
//   2. "Calculadora": the price of exactly N systems and U users, as typed,
//      with the report's cents and the bands that applied; the checks
#include "db_config.h"
#include "db_session.h"
#include "price_calculator/frm_calc_preco.h"
#include "price_history/frm_historico.h"
#include "price_simulation.h"
#include "report_layout.h"
#include "screen_fixture.h"
#include "user_keys.h"
#include "widget_test_helpers.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>

namespace {

QStringList rowTexts(QTableWidget *grid, int row) {
    QStringList out;
    for (int c = 0; c < grid->columnCount(); ++c) out << (grid->item(row, c) ? grid->item(row, c)->text() : QString());
    return out;
}

QStringList gridLines(QTableWidget *grid) {
    QStringList out;
    for (int r = 0; r < grid->rowCount(); ++r) out << rowTexts(grid, r).join(QStringLiteral(" | "));
    return out;
}

class PriceToolsTest : public ScreenFixture {
protected:
    TfrmTbPreProCom *f = nullptr;

    void SetUp() override {
        startServer(true);
        f = openScreen();
        ASSERT_NE(f, nullptr);
    }

    void current(const QString &code) {
        f->loadTable(f->priceTables->cdsTbPreco, "getTbPreco", {}, WaitKind::OverScreen);
        ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", code));
        settle();
    }

    // Opens the tool's screen from its button and runs the script while it is up.
    template <class Screen>
    void run(QAction *tool, const std::function<void(Screen *)> &script) {
        bool ran = false;
        WhenModal([&](QWidget *w) {
            auto *s = qobject_cast<Screen *>(w);
            ASSERT_NE(s, nullptr);
            ran = true;
            script(s);
            if (s->isVisible()) s->Close();
        });
        ASSERT_TRUE(tool->isEnabled());
        Trigger(tool);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(ran);
    }

    // A change of one field of a price table, made by whoever holds the key.
    void changeOnServer(const QString &key, const QString &code, const char *field, const QVariant &value) {
        TNetConnection net;
        net.Host = "127.0.0.1";
        net.Port = server->port();
        net.Token = key;
        TClientTable t("t");
        t.LoadPacket(CheckResultPacket(net.Call("getTbPreco", {})));
        ASSERT_TRUE(t.Locate("CDPRECOPROP", code));
        t.Edit();
        t.FieldByName(field)->SetValue(value);
        t.Post();
        CheckResultServ(net.Call("SetIncTbPre", {t.GetDelta()}));
    }
};

// 1. Histórico ------------------------------------------------------------------------------

TEST_F(PriceToolsTest, HistoryShowsEachPersonsChangeFieldByFieldNewestFirst) {
    const QString code = "0000000001";
    DbConfig config;
    QString error;
    ASSERT_TRUE(DbConfig::parse(dbPath, &config, &error));
    QString maria;
    {
        DbSession db(config, "fixture-keys");
        db.open();
        maria = QString::fromLatin1(UserKeys::add(db, "Maria Souza", Role::Precos));
    }
    current(code);
    const QString name = f->priceTables->currentName();
    const double price = f->priceTables->cdsTbPreco->FieldByName("VRPRECOUNITSIST")->AsFloat();
    changeOnServer("chave-de-teste", code, "VRPRECOUNITSIST", price + 1000.5);
    changeOnServer(maria, code, "NMPRECOPROP", QStringLiteral("Tabela revista"));
    current(code);

    // Not while a row is being typed.
    Trigger(f->sbtAlterar);
    EXPECT_FALSE(f->sbtHistorico->isEnabled());
    EXPECT_FALSE(f->mnuCalculadora->isEnabled());
    Trigger(f->sbtCancelar);

    run<TfrmHistorico>(f->sbtHistorico, [&](TfrmHistorico *s) {
        EXPECT_EQ(s->lblCodTela->text(), "COT00303");
        EXPECT_EQ(s->lblResumo->text(), "Tabela de preço " + code + " - Tabela revista: 2 campos alterados.");
        ASSERT_EQ(s->grdHistorico->rowCount(), 2);
        const QStringList newest = rowTexts(s->grdHistorico, 0), older = rowTexts(s->grdHistorico, 1);
        EXPECT_EQ(newest.mid(1), (QStringList{"Maria Souza", "Tabela de preço", "Alteração", "Nome", name, "Tabela revista"}));
        EXPECT_EQ(older.mid(1), (QStringList{"administrador", "Tabela de preço", "Alteração", "Preço Unitário",
                                             NumberText::format(price, "#,##0.00"), NumberText::format(price + 1000.5, "#,##0.00")}));
        EXPECT_EQ(QDateTime::fromString(newest[0], "dd/MM/yyyy HH:mm:ss").date(), QDate::currentDate()) << newest[0].toStdString();
    });
}

// A copy reads as one line naming its source, open to its fields on Enter;
// permissions name their operator.
TEST_F(PriceToolsTest, HistoryShowsACopyAsOneLineAndOperatorsByName) {
    current("0000000001");
    const QString source = "0000000001 – " + f->priceTables->currentName().trimmed();
    dialogs.textAnswers = {"Tabela 2027"};
    Trigger(f->sbtCopiar);
    run<TfrmHistorico>(f->sbtHistorico, [&](TfrmHistorico *s) {
        EXPECT_TRUE(s->lblResumo->text().endsWith(": cópia de outra tabela.")) << s->lblResumo->text().toStdString();
        EXPECT_EQ(rowTexts(s->grdHistorico, 0).mid(2, 2), (QStringList{"▸ Cópia da tabela " + source, "Cópia"}));
        EXPECT_TRUE(s->grdHistorico->isRowHidden(1));
        s->grdHistorico->setCurrentCell(0, 2);
        QTest::keyClick(s->grdHistorico, Qt::Key_Return);
        EXPECT_FALSE(s->grdHistorico->isRowHidden(1));
        const QStringList lines = gridLines(s->grdHistorico);
        EXPECT_FALSE(lines.filter("Permissão do operador ").isEmpty());
        EXPECT_TRUE(lines.filter("Permissão do operador 0").isEmpty() && lines.filter("| Código |").isEmpty());
    });
}

TEST_F(PriceToolsTest, StoredValuesReadInPortugueseWords) {
    struct Case {
        const char *table, *key, *field, *stored, *record, *label, *shown;
    } const cases[] = {
        {"PRECOPROPSIST", "0000000001|00003", "VRPERCDESCSIST", "12.5", "Faixa por sistemas a partir de 3", "%Desconto", "12,50"},
        {"PRECOPROPUSU", "0000000001|00011", "QTFINUSUARIOS", "00150", "Faixa por usuários a partir de 11", "Até", "150"},
        {"PRECOPROPOPER", "0000000001|000000000007|L", "IDTIPODESCOPER", "L", "Permissão do operador 000000000007 (Locação)", "Tipo", "Locação"},
        {"PRECOPROPOSTA", "0000000001", "DTFINPRECOPROP", "2027-12-31 00:00:00", "Tabela de preço", "Fim Vigência", "31/12/2027"},
        {"PRECOPROPOSTA", "0000000001", "VRPRECOUNITSIST", "2000.1234", "Tabela de preço", "Preço Unitário", "2000,1234"},
        {"PRECOPROPOSTA", "0000000001", "NRMESPRAZOLOCA", "24", "Tabela de preço", "Prazo Locação(Meses)", "24"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(TfrmHistorico::recordLabel(c.table, c.key), QString::fromUtf8(c.record));
        EXPECT_EQ(TfrmHistorico::fieldLabel(c.field), QString::fromUtf8(c.label));
        EXPECT_EQ(TfrmHistorico::valueText(c.field, c.stored), QString::fromUtf8(c.shown));
    }
}

// 2. Calculadora ----------------------------------------------------------------------------

TEST_F(PriceToolsTest, TheCalculatorAnswersAsTypedWithTheReportsCentsAndTheBandsThatApplied) {
    addExampleTable("0000000009");
    setIndex(1.0);
    current("0000000009");
    run<TfrmCalcPreco>(f->sbtCalculadora, [&](TfrmCalcPreco *s) {
        EXPECT_EQ(s->lblCodTela->text(), "COT00304");
        // Opens on one system and one user: the unit price itself.
        EXPECT_EQ(rowTexts(s->grdPrecos, 0), (QStringList{"Licença de Uso", "1.000,00"}));
        for (auto [edit, typed] : {std::pair{s->mskNrSist, "3"}, std::pair{s->mskNrUsu, "2"}}) {
            edit->selectAll();
            QTest::keyClicks(edit, typed);
        }
        QTRY_COMPARE(gridLines(s->grdPrecos),
                     (QStringList{"Licença de Uso | 3.700,00", "Manutenção | 740,00", "Locação | 823,33"}));
        const QStringList how = gridLines(s->grdDetalhe);
        for (const char *line : {"Tabela de preço | 0000000009 - Exemplo 09", "Preço unitário | 1.000,00",
                                 "Manutenção anual | 200,00 (20,00 % do preço unitário)",
                                 "Parcela da locação | 83,33 (preço unitário ÷ 12 meses)",
                                 "Faixa por sistemas: 1 a 2 | desconto de 0,00 %", "Faixa por sistemas: 3 | desconto de 10,00 %",
                                 "Faixa por usuários: 1 | desconto de 0,00 %", "Faixa por usuários: 2 | desconto de 20,00 %",
                                 "Fator de filial (Matriz/Matriz) | 1 (desconto de 0,00 %)", "Índice do mês | 1",
                                 // the parts add up to the price shown
                                 "Licença de Uso | (V1 1.000,00 + sistemas 1.900,00 + usuários 800,00) × 1,0000 × 1,0000 = 3.700,00",
                                 "Locação | (parcela 83,33 + V1 200,00 + sistemas 380,00 + usuários 160,00) × 1,0000 × 1,0000 = 823,33"})
            EXPECT_TRUE(how.contains(QString::fromUtf8(line))) << line << "\n" << how.join('\n').toStdString();

        // Changing the mode or the types after an answer answers again.
        QTest::mouseClick(s->rbtFiliFili, Qt::LeftButton, {}, QPoint(8, s->rbtFiliFili->height() / 2));
        QTest::mouseClick(s->chkTipoManut, Qt::LeftButton, {}, QPoint(8, s->chkTipoManut->height() / 2));
        QTRY_COMPARE(gridLines(s->grdPrecos), (QStringList{"Licença de Uso | 3.330,00", "Locação | 741,00"}));
        EXPECT_TRUE(gridLines(s->grdDetalhe).contains("Fator de filial (Filial/Filial) | 0,9 (desconto de 10,00 %)"));
    });
}

// Typed numbers are priced on what the screen read when it opened; "Calcular"
// reads again, and its price is the report's cell on the server's bands now.
TEST_F(PriceToolsTest, AfterABandChangesCalcularPricesAsTheReportsCell) {
    using namespace PriceSimulation;
    setIndex(1.0);
    current("0000000001");  // the demonstration's table: bands beyond 7 systems and 33 users
    run<TfrmCalcPreco>(f->sbtCalculadora, [&](TfrmCalcPreco *s) {
        const int requests = f->netTbPreProCom->traffic().requests;
        s->mskNrSist->setText("7");
        s->mskNrUsu->setText("33");
        const QStringList typed = gridLines(s->grdPrecos);
        EXPECT_EQ(typed.size(), 3);
        EXPECT_EQ(f->netTbPreProCom->traffic().requests, requests) << "typing asked the server";

        sql("UPDATE PRECOPROPSIST SET VRPERCDESCSIST = 25 WHERE CDPRECOPROP = ? AND QTINISISTEMAS = '00002'", {"0000000001"});
        Trigger(s->sbtConfirma);
        Parameters p;
        p.systems = 7;
        p.users = 33;
        p.types = {PriceType::Licence, PriceType::Maintenance, PriceType::Rental};
        QStringList cells;
        const Result report = simulate(serverCall("getLuSist", {QString("0000000001"), QString("7")}),
                                       serverCall("getLuUsu", {QString("0000000001"), QString("33")}), p);
        for (const CellPrice &c : cellPrices(report.rows, 33)) cells << c.type + " | " + ReportLayout::cellText(c.value);
        EXPECT_EQ(gridLines(s->grdPrecos), cells);
        EXPECT_NE(gridLines(s->grdPrecos), typed);
    });
}

TEST_F(PriceToolsTest, TheCalculatorRefusesAsTheReportDoes) {
    addExampleTable("0000000008", true);  // systems 3 missing
    current("0000000008");
    run<TfrmCalcPreco>(f->sbtCalculadora, [&](TfrmCalcPreco *s) {
        struct Case {
            const char *systems, *users;
            bool types;
            const char *message;
        } const cases[] = {
            {"", "2", true, "Numero de sistemas deve ser Informado"},
            {"0", "2", true, "Numero de sistemas deve ser maior que \"0\"."},
            {"21", "2", true, "Número de sistemas acima do limite de \"20\"."},
            {"2", "", true, "Numero de Usuários deve ser Informado"},
            {"2", "151", true, "Numero de usuários acima do limite de \"150\"."},
            {"2", "2", false, "Tipo de Tabela de Preço deve ser Informada"},
            {"5", "2", true, "falta a quantidade 3"},
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(c.message);
            s->mskNrSist->setText(c.systems);
            s->mskNrUsu->setText(c.users);
            for (QCheckBox *b : {s->chkTipoLU, s->chkTipoManut, s->chkTipoLoc}) b->setChecked(c.types);
            Trigger(s->sbtConfirma);
            EXPECT_TRUE(s->lblMensagem->text().contains(QString::fromUtf8(c.message))) << s->lblMensagem->text().toStdString();
            EXPECT_EQ(s->grdPrecos->rowCount(), 0);
        }
        s->mskNrSist->setText("2");
        Trigger(s->sbtConfirma);
        EXPECT_EQ(s->lblMensagem->text(), "");
        EXPECT_EQ(s->grdPrecos->rowCount(), 3);
        setIndex(0);
        Trigger(s->sbtConfirma);
        EXPECT_EQ(s->lblMensagem->text(), "Não foi encontrado o mês vigente.");
        EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    });
}

}  // namespace
