// The page "Tipo de Serviço" typed into its real grids against a real
// application server on the demonstration data.
//
// Groups:
//   1. Service types: flags typed and drawn, the values' keys, the grid's
//      last row, the read-only code and name, sending only real changes.
//   2. Operators of a service type: the master row drives the list, the code
//      completed and named, the operator and duplicate checks, the percentage
//      checks in their order, the record number, deletes sent at once.
//   3. Service types of an operator: the same records from the other side.
#include "screen_fixture.h"
#include "grid_test_helpers.h"

#include <QImage>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QLineEdit>
#include <QTabBar>
#include <QToolButton>

using namespace Cli_cot00300;

namespace {

// Demonstration data: operator 4 is inactive; service type 001 has the
// discounts of operators 1 (5%) and 2 (3%); operator 1 has types 001 and 002.
const QString kOpeNCad = QStringLiteral("Operador não cadastrado.");
const QString kOpeJCad = QStringLiteral("Operador já cadastrado.");
const QString kOpeInf = QStringLiteral("Operador deve ser informado.");
const QString kPercInf = QStringLiteral("Percentual de desconto do operador deve ser informado.");
const QString kPercRange = QStringLiteral("Valor do percentual de desconto por operador deve ser entre 0% e 100%.");
const QString kTsNCad = QStringLiteral("Tipo de Serviço não cadastrado.");
const QString kTsJCad = QStringLiteral("Tipo de Serviço já cadastrado.");
const QString kTsInf = QStringLiteral("Tipo de Serviço deve ser informado.");

class ServiceTypesScreen : public ScreenFixture {
protected:
    TfrmTbPreProCom *f = nullptr;
    TServiceTypesPage *p = nullptr;

    // The demonstration data, the screen open on "Tipo de Serviço".
    void open() {
        startServer(true);
        f = openScreen();
        ASSERT_NE(f, nullptr);
        p = f->serviceTypes;
        clickTab(f->pgcPadrao, f->tshTipoServ);
        ASSERT_EQ(f->pgcTipoServico->ActivePage(), p->tshDadTipServ);
        dialogs.clear();
    }
    void clickTab(TPageControl *pages, QWidget *page) { ClickTab(pages, page); }
    // The focus into a grid, on a row and a column.
    void at(TDBGrid *g, const QString &keyField, const QString &key, const QString &column) { GoToCell(g, keyField, key, column); }
    void save() { Trigger(f->sbtGravar); }
    QString value(TClientTable *t, const char *field) const { return t->FieldByName(field)->AsString(); }
    QString selected(TDBGrid *g) const { return SelectedColumn(g); }

    // What the server holds.
    QString stored(const QString &sql) {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("probe"), false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
            db.setDatabaseName(dbPath);
        }
        if (!db.isOpen()) {
            EXPECT_TRUE(db.open());
        }
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
        return q.next() ? q.value(0).toString() : QString();
    }
    void execOnFile(const QString &sql) {
        stored(QStringLiteral("SELECT 1"));
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("probe")));
        EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
    }
    void TearDown() override {
        ScreenFixture::TearDown();
        if (QSqlDatabase::contains(QStringLiteral("probe"))) {
            QSqlDatabase::database(QStringLiteral("probe"), false).close();
            QSqlDatabase::removeDatabase(QStringLiteral("probe"));
        }
    }

    // Types over what the cell holds.
    void retype(TDBGrid *g, const QString &text) { Retype(g, text); }
    // A new row in a discount grid, its key typed and the column left.
    void typeNewKey(TDBGrid *g, const QString &key) {
        g->setFocus();
        settle();
        Trigger(f->sbtIncluir);
        Press(Qt::Key_Home);
        Type(key);
        Press(Qt::Key_Tab);
        settle();
    }
};

}  // namespace

// ---------------------------------------------------------------- 1. service types

TEST_F(ServiceTypesScreen, AFlagOutsideSAndNIsDrawnEmptyAndItsValuesStillSave) {
    startServer(true);
    // A service type written by another program of the host.
    execOnFile("UPDATE TIPOSERV SET IDPROPSERVWEB = 'X' WHERE CDTIPOSERV = '003'");
    f = openScreen();
    p = f->serviceTypes;
    clickTab(f->pgcPadrao, f->tshTipoServ);
    TDBGrid *g = p->dbgTipoServico;
    const int web = IndiceCol(g, "IDPROPSERVWEB");
    // Rows in code order: 001 has "S", 003 has "X".
    EXPECT_EQ(g->model()->index(2, web).data().toString(), QString());
    EXPECT_EQ(g->model()->index(0, web).data().toString(), QStringLiteral("Sim (disponível)"));
    const QImage shot = g->viewport()->grab().toImage();
    auto fill = [&](int row) {
        const QRect r = g->visualRect(g->model()->index(row, web));
        return shot.pixelColor(r.right() - 3, r.center().y());
    };
    EXPECT_EQ(fill(0), QColor(0, 255, 0));
    EXPECT_EQ(fill(2), clInfoBk());
    EXPECT_EQ(fill(1), QColor(0, 255, 0));  // 002 "S"

    // Its national value is edited and saved; the flag stays as stored.
    at(g, "CDTIPOSERV", "003", "VRPADRAOSERVNAC");
    Type("300");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(stored("SELECT VRPADRAOSERVNAC || IDPROPSERVWEB FROM TIPOSERV WHERE CDTIPOSERV = '003'"), "300.0X");
}

TEST_F(ServiceTypesScreen, AFlagTakesSOrNInEitherCaseAndNothingElse) {
    open();
    TDBGrid *g = p->dbgTipoServico;
    TClientTable *t = p->cdsTipoServico;
    const int notices = LocalCacheRegistry::instance().notices();
    at(g, "CDTIPOSERV", "003", "IDPROPSERVWEB");  // stored "N"
    struct Step {
        const char *typed;
        DataSetState state;
        const char *web;
    };
    const Step steps[] = {{"x", DataSetState::Browse, "N"}, {"1", DataSetState::Browse, "N"}, {"\r", DataSetState::Browse, "N"},
                          {"s", DataSetState::Edit, "S"},   {"n", DataSetState::Edit, "N"},   {"S", DataSetState::Edit, "S"},
                          {"s", DataSetState::Edit, "S"},   {"q", DataSetState::Edit, "S"}};
    for (const Step &s : steps) {
        SCOPED_TRACE(s.typed);
        Type(QString::fromLatin1(s.typed));
        EXPECT_EQ(t->State(), s.state);
        EXPECT_EQ(value(t, "IDPROPSERVWEB"), s.web);
        EXPECT_FALSE(g->EditorMode());
    }
    EXPECT_EQ(g->model()->index(2, IndiceCol(g, "IDPROPSERVWEB")).data().toString(), QStringLiteral("Sim (disponível)"));
    // The prospect flag the same way, then the row goes.
    Press(Qt::Key_Tab);
    ASSERT_EQ(selected(g), "IDSERVOBRIGPROS");
    Type("s");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(t->ChangeCount(), 0);
    EXPECT_EQ(stored("SELECT IDPROPSERVWEB || IDSERVOBRIGPROS FROM TIPOSERV WHERE CDTIPOSERV = '003'"), "SS");
    EXPECT_EQ(LocalCacheRegistry::instance().notices(), notices + 1);
    EXPECT_TRUE(LocalCacheRegistry::instance().isStale("TIPOSERV"));
}

TEST_F(ServiceTypesScreen, APostWithNothingChangedSendsNothing) {
    open();
    at(p->dbgTipoServico, "CDTIPOSERV", "002", "VRPADRAOSERVNAC");
    const int notices = LocalCacheRegistry::instance().notices();
    dialogs.clear();
    f->sbtAlterar->trigger();
    ASSERT_EQ(p->cdsTipoServico->State(), DataSetState::Edit);
    save();
    EXPECT_EQ(p->cdsTipoServico->State(), DataSetState::Browse);
    EXPECT_EQ(dialogs.waitShown, 0) << "something was sent";
    EXPECT_EQ(LocalCacheRegistry::instance().notices(), notices);
}

TEST_F(ServiceTypesScreen, DownOrTabAtTheLastRowAddsNothing) {
    open();
    TDBGrid *g = p->dbgTipoServico;
    TClientTable *t = p->cdsTipoServico;
    const int rows = t->RecordCount();
    g->setFocus();
    settle();
    Press(Qt::Key_End, Qt::ControlModifier);
    for (int i = 0; i < 3; ++i) Press(Qt::Key_Down);
    Press(Qt::Key_End);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Insert);
    settle();
    EXPECT_EQ(t->State(), DataSetState::Browse);
    EXPECT_EQ(t->RecordCount(), rows);
    EXPECT_EQ(t->RecNo(), rows);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    // An edited last row is still posted by Down, and no row follows it.
    Press(Qt::Key_Home);
    Press(Qt::Key_End);
    Type("12");
    Press(Qt::Key_Down);
    settle();
    EXPECT_EQ(t->State(), DataSetState::Browse);
    EXPECT_EQ(t->RecordCount(), rows);
    EXPECT_EQ(stored("SELECT VRPADRAOSERVINT FROM TIPOSERV WHERE CDTIPOSERV = '006'").toDouble(), 12.0);
}

TEST_F(ServiceTypesScreen, CodeAndNameTakeNoTypingAndTabAndEnterStillWork) {
    open();
    TDBGrid *g = p->dbgTipoServico;
    TClientTable *t = p->cdsTipoServico;
    at(g, "CDTIPOSERV", "002", "CDTIPOSERV");
    Type("9a");
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Delete);
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(t->State(), DataSetState::Browse);
    Press(Qt::Key_Return);
    Press(Qt::Key_Tab);
    EXPECT_EQ(selected(g), "NMTIPOSERV");
    Type("Novo");
    EXPECT_EQ(t->State(), DataSetState::Browse);
    EXPECT_EQ(value(t, "CDTIPOSERV"), "002");
    EXPECT_EQ(value(t, "NMTIPOSERV"), QStringLiteral("Treinamento de usuários"));
    EXPECT_EQ(t->RecordCount(), 6);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
}

TEST_F(ServiceTypesScreen, ValuesDropSignsAndKeepOneComma) {
    open();
    TDBGrid *g = p->dbgTipoServico;
    at(g, "CDTIPOSERV", "005", "VRPADRAOSERVINT");
    Type("-+1a2,5,+-");
    EXPECT_EQ(g->EditorText(), "12,5");
    Press(Qt::Key_Return);
    EXPECT_EQ(p->cdsTipoServico->FieldByName("VRPADRAOSERVINT")->AsFloat(), 12.5);
    save();
    EXPECT_EQ(stored("SELECT VRPADRAOSERVINT FROM TIPOSERV WHERE CDTIPOSERV = '005'").toDouble(), 12.5);
}

// ---------------------------------------------------------------- 2. operators of a service type

TEST_F(ServiceTypesScreen, TheServiceTypeRowDrivesItsOperators) {
    open();
    auto codes = [this] {
        QStringList out;
        const DataPacket d = p->cdsOperTipoServ->Data();
        for (const Row &r : d.rows) out << r[2].toString();
        return out;
    };
    EXPECT_EQ(codes(), (QStringList{"000000000001", "000000000002"}));
    p->dbgTipoServico->setFocus();
    Press(Qt::Key_Down);
    settle();
    EXPECT_EQ(codes(), QStringList{"000000000001"});  // 002
    Press(Qt::Key_Down);
    settle();
    EXPECT_TRUE(codes().isEmpty());  // 003
    Press(Qt::Key_Down);
    settle();
    EXPECT_EQ(codes(), QStringList{"000000000003"});  // 004
    EXPECT_EQ(value(p->cdsOperTipoServ, "NMOPERADOR"), QStringLiteral("Mariana Oliveira Santos"));
}

TEST_F(ServiceTypesScreen, AShortOperatorCodeIsCompletedAndNamedAndTheRowGetsANumber) {
    open();
    TClientTable *t = p->cdsOperTipoServ;
    typeNewKey(p->dbgOperador, "3");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(value(t, "CDOPERADOR"), "000000000003");
    EXPECT_EQ(value(t, "NMOPERADOR"), QStringLiteral("Mariana Oliveira Santos"));
    EXPECT_EQ(value(t, "CDTIPOSERV"), "001");
    EXPECT_EQ(selected(p->dbgOperador), "NMOPERADOR");
    Press(Qt::Key_Tab);
    Type("12,5");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(t->ChangeCount(), 0);
    EXPECT_GT(t->FieldByName("NROPERTIPOSERV")->AsFloat(), 4.0);
    EXPECT_EQ(stored("SELECT VRPEDESOPERSERV FROM OPERTIPOSERV WHERE CDTIPOSERV = '001' AND CDOPERADOR = '000000000003'")
                  .toDouble(),
              12.5);
}

TEST_F(ServiceTypesScreen, AnInactiveUnknownOrRepeatedOperatorIsRefusedOnLeavingTheCode) {
    open();
    struct Case {
        const char *typed;
        QString message;
    };
    const Case cases[] = {{"4", kOpeNCad}, {"99", kOpeNCad}, {"x'1", kOpeNCad}, {"1", kOpeJCad}, {"000000000002", kOpeJCad}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs.clear();
        typeNewKey(p->dbgOperador, QString::fromLatin1(c.typed));
        EXPECT_EQ(dialogs.texts(), QStringList{c.message});
        EXPECT_EQ(selected(p->dbgOperador), "CDOPERADOR") << "the cursor left the refused code";
        EXPECT_EQ(p->cdsOperTipoServ->State(), DataSetState::Insert);
        Trigger(f->sbtCancelar);
    }
    // An empty code passes the column and is refused when posted.
    dialogs.clear();
    typeNewKey(p->dbgOperador, "");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    Press(Qt::Key_Tab);
    Type("5");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kOpeInf});
    EXPECT_EQ(selected(p->dbgOperador), "CDOPERADOR");
    EXPECT_EQ(stored("SELECT COUNT(*) FROM OPERTIPOSERV"), "4");
}

TEST_F(ServiceTypesScreen, ARepeatedOperatorIsRefusedAlsoAgainstARowAddedAndNotReloaded) {
    open();
    typeNewKey(p->dbgOperador, "5");
    Press(Qt::Key_Tab);
    Type("1");
    save();
    ASSERT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    // Again, without a reload in between: the check sees the row just added.
    typeNewKey(p->dbgOperador, "5");
    EXPECT_EQ(dialogs.texts(), QStringList{kOpeJCad});
    EXPECT_EQ(selected(p->dbgOperador), "CDOPERADOR");
    // Posted as it stands, the check runs again.
    save();
    EXPECT_EQ(dialogs.texts(), (QStringList{kOpeJCad, kOpeJCad}));
    EXPECT_EQ(p->cdsOperTipoServ->State(), DataSetState::Insert);
    EXPECT_EQ(stored("SELECT COUNT(*) FROM OPERTIPOSERV WHERE CDOPERADOR = '000000000005'"), "1");
}

TEST_F(ServiceTypesScreen, ThePercentageIsCheckedForPresenceThenRange) {
    open();
    struct Case {
        const char *typed;  // nullptr: the value set directly, as no key can type it
        double direct;
        QString message;  // empty: posted
    };
    const Case cases[] = {
        {"", 0, kPercInf},        {"100,01", 0, kPercRange}, {nullptr, -0.01, kPercRange},
        {"-0,01", 0, QString()},  // the sign is dropped: 0,01 posts
        {"100", 0, QString()},    {"0", 0, QString()},
    };
    const char *operators[] = {"3", "5", "7"};
    int next = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed ? c.typed : "-0.01 set");
        dialogs.clear();
        typeNewKey(p->dbgOperador, QString::fromLatin1(operators[next]));
        ASSERT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
        Press(Qt::Key_Tab);
        if (c.typed) Type(QString::fromLatin1(c.typed));
        else p->cdsOperTipoServ->FieldByName("VRPEDESOPERSERV")->SetAsFloat(c.direct);
        save();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
            EXPECT_EQ(p->cdsOperTipoServ->State(), DataSetState::Browse);
            ++next;
        } else {
            EXPECT_EQ(dialogs.texts(), QStringList{c.message});
            EXPECT_EQ(selected(p->dbgOperador), "VRPEDESOPERSERV");
            EXPECT_EQ(p->cdsOperTipoServ->State(), DataSetState::Insert);
            Trigger(f->sbtCancelar);
        }
    }
    EXPECT_EQ(stored("SELECT GROUP_CONCAT(VRPEDESOPERSERV, ';') FROM (SELECT VRPEDESOPERSERV FROM OPERTIPOSERV"
                     " WHERE CDTIPOSERV = '001' AND CDOPERADOR IN ('000000000003', '000000000005', '000000000007')"
                     " ORDER BY CDOPERADOR)"),
              "0.01;100.0;0.0");
}

TEST_F(ServiceTypesScreen, AStoredRowKeepsItsOperatorAndEditsFromItsPercentage) {
    open();
    TDBGrid *g = p->dbgOperador;
    TClientTable *t = p->cdsOperTipoServ;
    at(g, "CDOPERADOR", "000000000002", "CDOPERADOR");
    const int code = IndiceCol(g, "CDOPERADOR");
    EXPECT_EQ(g->Columns[code].ButtonStyle, cbsNone);
    Type("7");
    Press(Qt::Key_F2);
    EXPECT_FALSE(g->EditorMode()) << "a stored row's code opened for editing";
    EXPECT_EQ(t->State(), DataSetState::Browse);
    Trigger(f->sbtAlterar);
    EXPECT_EQ(t->State(), DataSetState::Edit);
    EXPECT_EQ(selected(g), "VRPEDESOPERSERV");
    EXPECT_EQ(g->Columns[code].ButtonStyle, cbsNone);
    Type("4");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(stored("SELECT CDOPERADOR || ':' || VRPEDESOPERSERV FROM OPERTIPOSERV WHERE NROPERTIPOSERV = 3"),
              "000000000002:4.0");
    // A new row has the search button on its code, and the search fills code and name.
    Trigger(f->sbtIncluir);
    EXPECT_EQ(g->Columns[code].ButtonStyle, cbsEllipsis);
    dialogs.onPesquisar = [](TDataSource *source) { return source->DataSet()->Locate("CDOPERADOR", "000000000007"); };
    Press(Qt::Key_Home);
    Press(Qt::Key_F2);
    ASSERT_TRUE(g->EditorMode());
    QToolButton *search = g->InplaceEditor()->parentWidget()->findChild<QToolButton *>();
    ASSERT_NE(search, nullptr);
    QTest::mouseClick(search, Qt::LeftButton);
    settle();
    EXPECT_EQ(dialogs.searchTitles, QStringList{QStringLiteral("Operador|Não existe Operador cadastrado.")});
    EXPECT_EQ(value(t, "CDOPERADOR"), "000000000007");
    EXPECT_EQ(value(t, "NMOPERADOR"), QStringLiteral("Juliana Martins Rocha"));
    Trigger(f->sbtCancelar);
    EXPECT_EQ(g->Columns[code].ButtonStyle, cbsNone);
}

TEST_F(ServiceTypesScreen, ADeletionIsSentAtOnceFromEitherView) {
    open();
    at(p->dbgOperador, "CDOPERADOR", "000000000002", "NMOPERADOR");
    Press(Qt::Key_Delete, Qt::ControlModifier);  // the grid's own delete is off
    settle();
    EXPECT_EQ(p->cdsOperTipoServ->RecordCount(), 2);
    Trigger(f->sbtExcluir);
    EXPECT_EQ(dialogs.texts(), QStringList{QStringLiteral("Confirma exclusão?")});
    EXPECT_EQ(p->cdsOperTipoServ->ChangeCount(), 0);
    EXPECT_EQ(stored("SELECT COUNT(*) FROM OPERTIPOSERV WHERE CDTIPOSERV = '001'"), "1");

    clickTab(f->pgcTipoServico, p->tshDadoOper);
    ASSERT_EQ(value(p->cdsOperador, "CDOPERADOR"), "000000000001");
    at(p->dbgTpServOper, "CDTIPOSERV", "002", "VRPEDESOPERSERV");
    dialogs.clear();
    Trigger(f->sbtExcluir);
    EXPECT_EQ(dialogs.texts(), QStringList{QStringLiteral("Confirma exclusão?")});
    EXPECT_EQ(p->cdsTipoServOper->ChangeCount(), 0);
    EXPECT_EQ(stored("SELECT COUNT(*) FROM OPERTIPOSERV WHERE CDOPERADOR = '000000000001'"), "1");
}

// ---------------------------------------------------------------- 3. service types of an operator

TEST_F(ServiceTypesScreen, TheOperatorRowDrivesItsServiceTypesAndTakesNoTyping) {
    open();
    clickTab(f->pgcTipoServico, p->tshDadoOper);
    TClientTable *ops = p->cdsOperador;
    auto types = [this] {
        QStringList out;
        for (const Row &r : p->cdsTipoServOper->Data().rows) out << r[0].toString();
        return out;
    };
    EXPECT_EQ(ops->RecordCount(), 5);  // the active operators
    EXPECT_EQ(types(), (QStringList{"001", "002"}));
    p->dbgOperDad->setFocus();
    settle();
    EXPECT_EQ(f->dtsPadrao->DataSet(), ops);
    Press(Qt::Key_Down);
    settle();
    EXPECT_EQ(types(), QStringList{"001"});
    Type("abc");
    Press(Qt::Key_F2);
    Press(Qt::Key_End, Qt::ControlModifier);
    Press(Qt::Key_Down);
    Press(Qt::Key_End);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Insert);
    settle();
    EXPECT_EQ(ops->State(), DataSetState::Browse);
    EXPECT_EQ(ops->RecordCount(), 5);
    EXPECT_EQ(value(ops, "CDOPERADOR"), "000000000007");
    EXPECT_TRUE(types().isEmpty());
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
}

TEST_F(ServiceTypesScreen, AServiceTypeAddedToAnOperatorIsCompletedCheckedAndSent) {
    open();
    clickTab(f->pgcTipoServico, p->tshDadoOper);
    TDBGrid *g = p->dbgTpServOper;
    TClientTable *t = p->cdsTipoServOper;
    struct Case {
        const char *typed;
        QString message;
    };
    const Case cases[] = {{"2", kTsJCad}, {"9", kTsNCad}, {"x'", kTsNCad}, {"12345", kTsNCad}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs.clear();
        typeNewKey(g, QString::fromLatin1(c.typed));
        EXPECT_EQ(dialogs.texts(), QStringList{c.message});
        EXPECT_EQ(selected(g), "CDTIPOSERV");
        Trigger(f->sbtCancelar);
    }
    dialogs.clear();
    typeNewKey(g, "");
    Press(Qt::Key_Tab);
    Type("3");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kTsInf});
    Trigger(f->sbtCancelar);

    dialogs.clear();
    typeNewKey(g, "4");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(value(t, "CDTIPOSERV"), "004");
    EXPECT_EQ(value(t, "NMTIPOSERV"), QStringLiteral("Migração de dados"));
    EXPECT_EQ(value(t, "CDOPERADOR"), "000000000001");
    Press(Qt::Key_Tab);
    Type("100,01");
    save();
    EXPECT_EQ(dialogs.texts(),
              QStringList{QStringLiteral("Valor do percentual de desconto por tipo de serviço deve ser entre 0% e 100%.")});
    retype(g, "100");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(stored("SELECT VRPEDESOPERSERV FROM OPERTIPOSERV WHERE CDOPERADOR = '000000000001' AND CDTIPOSERV = '004'")
                  .toDouble(),
              100.0);
    // The other view shows it.
    clickTab(f->pgcTipoServico, p->tshDadTipServ);
    ASSERT_TRUE(p->cdsTipoServico->Locate("CDTIPOSERV", "004"));
    settle();
    EXPECT_TRUE(p->cdsOperTipoServ->Locate("CDOPERADOR", "000000000001"));
}
