// Price table records typed into the real grid against a real server: the new
// code, the checks before post and their order, dates, the branch discount
// limits, the numeric key filter, deletion and resending refused changes.
#include "screen_fixture.h"
#include "grid_test_helpers.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

using namespace Cli_cot00300;

namespace {

class PriceTableTest : public ScreenFixture {
protected:
    void SetUp() override {
        startServer(true);
        f = openScreen();
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(ShowActive(HostApplication::instance().mainWindow()));
        f->priceTables->dbgTabelaPreco->setFocus();
        settle();
        dialogs.clear();
    }

    TField *field(const char *name) { return f->priceTables->cdsTbPreco->FieldByName(name); }
    QString selected() { return SelectedColumn(f->priceTables->dbgTabelaPreco); }

    // A new row through the tool bar, then the cells typed from "Nome" on,
    // Tab between them; an empty text leaves the cell untouched.
    void typeNewRow(const QStringList &cells) {
        Trigger(f->sbtIncluir);
        TypeCells(cells);
    }
    void post() { Trigger(f->sbtGravar); }
    // The server's price table with that code, read back through the protocol.
    Row serverRow(const QString &code, DataPacket *packet = nullptr) {
        const DataPacket p = serverCall("getTbPreco");
        if (packet) *packet = p;
        for (const Row &r : p.rows)
            if (r[p.fieldIndex("CDPRECOPROP")].toString() == code) return r;
        return {};
    }
    TfrmTbPreProCom *f = nullptr;
};

const QStringList kComplete = {"Tabela Teste", "01022026", "28022026", "1500", "270", "12", "10", "15"};

}  // namespace

TEST_F(PriceTableTest, ANewRowGetsItsCodeFromTheServerAndStartsInNome) {
    Trigger(f->sbtIncluir);
    EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Insert);
    EXPECT_EQ(field("CDPRECOPROP")->AsString(), "0000000004");
    EXPECT_EQ(selected(), "NMPRECOPROP");
    EXPECT_EQ(dialogs.waitShown, dialogs.waitHidden);
    // Codes are never typed: the code column refuses the keyboard.
    f->priceTables->cdsTbPreco->Cancel();
    f->priceTables->dbgTabelaPreco->SetSelectedIndex(0);
    Type("9");
    EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Browse);
}

TEST_F(PriceTableTest, ACompleteRowIsSentAndTheServerHoldsWhatTheScreenShows) {
    typeNewRow(kComplete);
    post();
    ASSERT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Browse);
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 0);
    EXPECT_TRUE(LocalCacheRegistry::instance().isStale("PRECOPROPOSTA"));
    DataPacket p;
    const Row r = serverRow("0000000004", &p);
    ASSERT_FALSE(r.isEmpty());
    EXPECT_EQ(r[p.fieldIndex("NMPRECOPROP")].toString(), "Tabela Teste");
    EXPECT_EQ(r[p.fieldIndex("DTINIPRECOPROP")].toDateTime().date(), QDate(2026, 2, 1));
    EXPECT_EQ(r[p.fieldIndex("DTFINPRECOPROP")].toDateTime().date(), QDate(2026, 2, 28));
    EXPECT_DOUBLE_EQ(r[p.fieldIndex("VRPRECOUNITSIST")].toDouble(), 1500);
    EXPECT_DOUBLE_EQ(r[p.fieldIndex("VRPERCMANUTANO")].toDouble(), 270);
    EXPECT_DOUBLE_EQ(r[p.fieldIndex("NRMESPRAZOLOCA")].toDouble(), 12);
    EXPECT_DOUBLE_EQ(r[p.fieldIndex("VRPEDESFILIFILI")].toDouble(), 10);
    EXPECT_DOUBLE_EQ(r[p.fieldIndex("VRPEDESFILIMATR")].toDouble(), 15);
    EXPECT_EQ(field("VRPRECOUNITSIST")->DisplayText(), "1.500,00");
}

TEST_F(PriceTableTest, MissingValuesAreReportedInTheOrderOfTheChainWithTheirColumn) {
    struct Step { int filled; const char *message; const char *column; };
    const Step steps[] = {
        {0, "Nome da Proposta deve ser Informado.", "NMPRECOPROP"},
        {1, "Inicio da Vigencia deve ser Informado.", "DTINIPRECOPROP"},
        {2, "Fim da Vigencia deve ser Informado.", "DTFINPRECOPROP"},
        {3, "Preço Unitário deve ser Informado.", "VRPRECOUNITSIST"},
        {4, "Valor da Manutenção Anual (R$) deve ser Informado.", "VRPERCMANUTANO"},
        {5, "Prazo de Locação deve ser Informado.", "NRMESPRAZOLOCA"},
        {6, "Valor do percentual de desconto de filial por filial deve ser informado.", "VRPEDESFILIFILI"},
        {7, "Valor do percentual de desconto de filial por matriz deve ser informado.", "VRPEDESFILIMATR"},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.message);
        dialogs.clear();
        typeNewRow(kComplete.mid(0, s.filled));
        post();
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.last(), QString::fromUtf8(s.message));
        EXPECT_EQ(selected(), s.column);
        EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Insert);  // the row stays with what was typed
        f->priceTables->cdsTbPreco->Cancel();
        settle();
    }
    EXPECT_EQ(serverCall("getTbPreco").rows.size(), 3);  // nothing reached the server
}

TEST_F(PriceTableTest, SameDayPassesAndAnEndBeforeTheStartIsRefusedAlsoOnLeavingFimVigencia) {
    typeNewRow({"Um dia", "10032026", "09032026"});
    Press(Qt::Key_Tab);  // leaving "Fim Vigência" before any post
    settle();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.last(), "Data Final deve ser maior ou igual ao data inicial!");
    EXPECT_EQ(selected(), "DTINIPRECOPROP");

    dialogs.clear();
    f->priceTables->dbgTabelaPreco->SetSelectedField(field("DTFINPRECOPROP"));
    Type("10032026");
    Press(Qt::Key_Tab);
    Type("1500");
    Press(Qt::Key_Tab);
    Type("0");  // 0 is a value, not an empty cell
    for (const char *v : {"12", "100", "0"}) {
        Press(Qt::Key_Tab);
        Type(v);
    }
    post();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Browse);
    const Row r = serverRow("0000000004");
    ASSERT_FALSE(r.isEmpty());
}

TEST_F(PriceTableTest, BranchDiscountsTakeZeroToOneHundred) {
    struct Case { const char *filfil; const char *filmat; const char *message; };
    const Case cases[] = {
        {"100,01", "15", "Valor do percentual de desconto de filial por filial deve ser entre 0% e 100%"},
        {"10", "100,01", "Valor do percentual de desconto de filial por matriz deve ser entre 0% e 100%"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        dialogs.clear();
        QStringList cells = kComplete;
        cells[6] = c.filfil;
        cells[7] = c.filmat;
        typeNewRow(cells);
        post();
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.last(), QString::fromUtf8(c.message));
        f->priceTables->cdsTbPreco->Cancel();
        settle();
    }
    dialogs.clear();
    QStringList cells = kComplete;
    cells[6] = "100";
    cells[7] = "100";
    typeNewRow(cells);
    post();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    // Each new row took a fresh code, the cancelled ones too.
    EXPECT_EQ(field("CDPRECOPROP")->AsString(), "0000000006");
    EXPECT_FALSE(serverRow("0000000006").isEmpty());
}

TEST_F(PriceTableTest, TheNumericKeyFilter) {
    f->priceTables->cdsTbPreco->First();
    f->priceTables->dbgTabelaPreco->SetSelectedField(field("VRPRECOUNITSIST"));
    f->priceTables->dbgTabelaPreco->setFocus();
    auto editorText = [this] { return f->priceTables->dbgTabelaPreco->EditorText(); };

    Type("a-");  // letters and the minus sign type nothing
    EXPECT_FALSE(f->priceTables->dbgTabelaPreco->EditorMode());
    Type(",");   // a number never begins with the comma
    EXPECT_FALSE(f->priceTables->dbgTabelaPreco->EditorMode());
    Type("12,5,");
    EXPECT_EQ(editorText(), "12,5");
    Type(".");   // a full stop after a comma
    EXPECT_EQ(editorText(), "12,5");
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Backspace);
    EXPECT_EQ(editorText(), "12");
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);

    f->priceTables->dbgTabelaPreco->SetSelectedField(field("VRPERCMANUTANO"));
    Type("9999999999");  // the tenth nine is refused
    EXPECT_EQ(editorText(), "999999999");
    Type(",10");         // after nine nines only the decimal digit 0 passes
    EXPECT_EQ(editorText(), "999999999,0");
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);

    // "Nome" and the dates take every character.
    f->priceTables->dbgTabelaPreco->SetSelectedField(field("NMPRECOPROP"));
    Type("a-,.");
    EXPECT_TRUE(editorText().endsWith("a-,.")) << editorText().toStdString();
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 0);
}

TEST_F(PriceTableTest, PastedTextThatIsNotANumberOrADateChangesNothing) {
    f->priceTables->cdsTbPreco->First();
    const double price = field("VRPRECOUNITSIST")->AsFloat();
    f->priceTables->dbgTabelaPreco->SetSelectedField(field("VRPRECOUNITSIST"));
    Type("1");
    auto *editor = qobject_cast<QLineEdit *>(f->priceTables->dbgTabelaPreco->InplaceEditor());
    ASSERT_NE(editor, nullptr);
    editor->setText("mil reais");  // as a paste would leave it
    Press(Qt::Key_Tab);
    settle();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.last(), "\"mil reais\" não é um valor numérico válido.");
    EXPECT_DOUBLE_EQ(field("VRPRECOUNITSIST")->AsFloat(), price);
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);

    dialogs.clear();
    const QDateTime start = field("DTINIPRECOPROP")->AsDateTime();
    f->priceTables->dbgTabelaPreco->SetSelectedField(field("DTINIPRECOPROP"));
    Type("31022026");
    Press(Qt::Key_Tab);
    settle();
    ASSERT_GE(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, "Data inválida");
    EXPECT_EQ(field("DTINIPRECOPROP")->AsDateTime(), start);
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 0);
    DataPacket p;
    EXPECT_EQ(serverRow("0000000001", &p)[p.fieldIndex("DTINIPRECOPROP")].toDateTime(), start);
}

TEST_F(PriceTableTest, DeletingToldTheMarketSegmentsFirstThenSendsAndReloads) {
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", "0000000003"));
    addPriceTableOnServer("Tabela de outro usuário");  // shows up with the reload
    const int segmentsBefore = LocalCacheRegistry::instance().notices();
    f->sbtExcluir->trigger();  // confirmed by the recording dialogs
    settle();
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 0);
    EXPECT_TRUE(serverRow("0000000003").isEmpty());
    EXPECT_TRUE(LocalCacheRegistry::instance().isStale("SEGMERCADO"));
    EXPECT_GT(LocalCacheRegistry::instance().notices(), segmentsBefore);
    EXPECT_EQ(f->priceTables->cdsTbPreco->RecordCount(), 3);
    EXPECT_TRUE(f->priceTables->cdsTbPreco->Locate("NMPRECOPROP", "Tabela de outro usuário"));

    // When the market segments cannot be told, the row is not deleted.
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", "0000000002"));
    stopServerKeepingPort();
    dialogs.clear();
    Trigger(f->sbtExcluir);
    EXPECT_EQ(f->priceTables->cdsTbPreco->RecordCount(), 3);
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 0);
    EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar"));
    restartServer();
    EXPECT_FALSE(serverRow("0000000002").isEmpty());
}

TEST_F(PriceTableTest, ARefusedPostStaysPendingAndGoesAgainWithTheNextPost) {
    f->priceTables->cdsTbPreco->First();
    stopServerKeepingPort();
    f->priceTables->dbgTabelaPreco->SetSelectedField(field("NMPRECOPROP"));
    f->priceTables->cdsTbPreco->Edit();
    field("NMPRECOPROP")->SetAsString("Tabela Padrão Revista");
    post();
    EXPECT_EQ(f->priceTables->cdsTbPreco->State(), DataSetState::Browse);
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 1);
    EXPECT_TRUE(f->lblPendentes->text().contains("1 alteração")) << f->lblPendentes->text().toStdString();

    restartServer();
    f->priceTables->cdsTbPreco->Next();
    f->priceTables->cdsTbPreco->Edit();
    field("NRMESPRAZOLOCA")->SetAsFloat(30);
    post();
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 0);
    EXPECT_TRUE(f->lblPendentes->text().isEmpty());
    DataPacket p;
    EXPECT_EQ(serverRow("0000000001", &p)[p.fieldIndex("NMPRECOPROP")].toString(), "Tabela Padrão Revista");
    EXPECT_DOUBLE_EQ(serverRow("0000000002", &p)[p.fieldIndex("NRMESPRAZOLOCA")].toDouble(), 30);
}

TEST_F(PriceTableTest, RefreshDiscardsAPendingChange) {
    f->priceTables->cdsTbPreco->First();
    stopServerKeepingPort();
    f->priceTables->cdsTbPreco->Edit();
    field("NMPRECOPROP")->SetAsString("Nome que não chegou");
    post();
    ASSERT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 1);
    restartServer();
    f->priceTables->dbgTabelaPreco->setFocus();
    Trigger(f->sbtVerificar);
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 0);
    EXPECT_NE(field("NMPRECOPROP")->AsString(), "Nome que não chegou");
    EXPECT_TRUE(f->lblPendentes->text().isEmpty());
}

// ---------------------------------------------------------------- number cells

// Numbers typed the Brazilian way, key by key, as the server stores them:
// the full stop separates thousands, the comma the decimals, the keypad's
// decimal key types the comma; a full stop out of place is refused.
TEST_F(PriceTableTest, APriceTypedTheBrazilianWayIsStoredAsRead) {
    struct Case {
        const char *typed;  // '#': the keypad's decimal key
        double stored;      // 0: refused with the message
        const char *message;
    } const cases[] = {{"2.000,00", 2000, nullptr},         {"1.500", 1500, nullptr},
                       {"1.234.567,89", 1234567.89, nullptr}, {"2,5", 2.5, nullptr},
                       {"3,5.", 3.5, nullptr},                {"4#5", 4.5, nullptr},
                       {"2.5", 0, "Use a vírgula para os decimais: 2,5"},
                       {"12.34", 0, "Use a vírgula para os decimais: 12,34"}};
    f->priceTables->cdsTbPreco->First();
    const QString code = field("CDPRECOPROP")->AsString();
    DataPacket p;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs.clear();
        const double before = serverRow(code, &p).value(p.fieldIndex("VRPRECOUNITSIST")).toDouble();
        f->priceTables->dbgTabelaPreco->SetSelectedField(field("VRPRECOUNITSIST"));
        for (const char *k = c.typed; *k; ++k) {
            if (*k == '#') Press(Qt::Key_Period, Qt::KeypadModifier);
            else Type(QString(QChar::fromLatin1(*k)));
        }
        Press(Qt::Key_Tab);
        if (c.message) {
            EXPECT_EQ(dialogs.texts(), QStringList{QString::fromUtf8(c.message)});
            Press(Qt::Key_Escape);
            Press(Qt::Key_Escape);
        } else {
            post();
            EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
            // Taken by the server: nothing left to send, the table may be copied.
            EXPECT_FALSE(f->sbtGravar->isEnabled());
            EXPECT_TRUE(f->sbtCopiar->isEnabled());
        }
        EXPECT_DOUBLE_EQ(serverRow(code, &p).value(p.fieldIndex("VRPRECOUNITSIST")).toDouble(), c.message ? before : c.stored);
    }
}

TEST_F(PriceTableTest, APastedNumberIsStoredAsWrittenAndAnythingElseIsRefused) {
    f->priceTables->cdsTbPreco->First();
    const QString code = field("CDPRECOPROP")->AsString();
    const double before = field("VRPRECOUNITSIST")->AsFloat();
    TDBGrid *g = f->priceTables->dbgTabelaPreco;
    auto paste = [&](const QString &text) {
        g->SetSelectedField(field("VRPRECOUNITSIST"));
        if (!g->EditorMode()) Press(Qt::Key_F2);
        auto *line = qobject_cast<QLineEdit *>(g->InplaceEditor());
        ASSERT_NE(line, nullptr);
        line->selectAll();
        QGuiApplication::clipboard()->setText(text);
        QTest::keySequence(line, QKeySequence::Paste);
        settle();
    };

    paste("1,234.56");
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.last(), "O texto colado \"1,234.56\" não é um número. Use a forma 1.234,56 ou 1234,56.");
    Press(Qt::Key_Tab);
    EXPECT_DOUBLE_EQ(field("VRPRECOUNITSIST")->AsFloat(), before);
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);
    EXPECT_EQ(f->priceTables->cdsTbPreco->ChangeCount(), 0);

    dialogs.clear();
    paste("1.234,56");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(g->EditorText(), "1234,56");
    Press(Qt::Key_Tab);
    post();
    EXPECT_DOUBLE_EQ(field("VRPRECOUNITSIST")->AsFloat(), 1234.56);
    DataPacket p;
    const Row row = serverRow(code, &p);
    ASSERT_FALSE(row.isEmpty());
    EXPECT_DOUBLE_EQ(row[p.fieldIndex("VRPRECOUNITSIST")].toDouble(), 1234.56);
}

TEST_F(PriceTableTest, CopiarMakesTheCopyCurrentWithItsBandsAndRefusesASourceChangedMeanwhile) {
    const QString source = field("CDPRECOPROP")->AsString(), name = field("NMPRECOPROP")->AsString();
    const qsizetype bands = serverCall("getDescSis", {source}).rows.size(), tables = serverCall("getTbPreco").rows.size();
    ASSERT_GT(bands, 0);
    ASSERT_TRUE(f->sbtCopiar->isEnabled());
    dialogs.textAnswers = {"Tabela 2027"};
    Trigger(f->sbtCopiar);
    ASSERT_EQ(dialogs.askedTexts.size(), 1);
    EXPECT_EQ(dialogs.askedTexts[0].proposed, QString("Cópia de " + name).left(50));
    EXPECT_EQ(dialogs.askedTexts[0].maxLength, 50);
    const QString copy = field("CDPRECOPROP")->AsString();
    EXPECT_NE(copy, source);
    EXPECT_EQ(field("NMPRECOPROP")->AsString(), "Tabela 2027");
    EXPECT_EQ(serverCall("getDescSis", {copy}).rows.size(), bands);
    EXPECT_TRUE(dialogs.last().startsWith("Tabela de preço " + copy)) << dialogs.last().toStdString();

    // Another desktop changes the source after this one read it.
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", source));
    TNetConnection other;
    other.Host = "127.0.0.1";
    other.Port = server->port();
    other.Token = "chave-de-teste";
    TClientTable t("t");
    t.LoadPacket(CheckResultPacket(other.Call("getTbPreco", {})));
    ASSERT_TRUE(t.Locate("CDPRECOPROP", source));
    t.Edit();
    t.FieldByName("VRPRECOUNITSIST")->SetAsFloat(1);
    t.Post();
    CheckResultServ(other.Call("SetIncTbPre", {t.GetDelta()}));
    dialogs.clear();
    dialogs.textAnswers = {"Outra cópia"};
    Trigger(f->sbtCopiar);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().contains("alterada ou excluída por outro usuário")) << dialogs.last().toStdString();
    EXPECT_EQ(serverCall("getTbPreco").rows.size(), tables + 1);
}
