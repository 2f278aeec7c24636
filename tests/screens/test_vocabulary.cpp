// Every grid of the price screen against the vocabulary, so a caption, type or
// limit declared a second time and drifted fails here: each shown column has
// the declared caption, type and size; a grid of a stored table holds every
// stored column; the server answers the declared fields; the bands end at the
// declared limits.
#include "screen_fixture.h"

#include "columns.h"
#include "method_names.h"
#include "value_limits.h"

using namespace Cli_cot00300;

namespace {

class VocabularyTest : public ScreenFixture {
protected:
    void SetUp() override {
        startServer(true);
        f = openScreen();
        ASSERT_NE(f, nullptr);
    }
    TfrmTbPreProCom *f = nullptr;
};

// The client's tables hold every number as a float.
FieldType onWire(FieldType t) { return t == FieldType::Integer ? FieldType::Float : t; }

void expectDeclared(TField *field, const Vocabulary::Column &c) {
    EXPECT_EQ(field->DataType(), onWire(c.type));
    if (c.type == FieldType::String) EXPECT_EQ(field->Size(), c.size);
    // Numbers with decimals show them, as money or as a shown figure.
    if (c.decimals > 0) EXPECT_TRUE(field->DisplayFormat.endsWith(QStringLiteral(".00"))) << field->DisplayFormat.toStdString();
}

}  // namespace

TEST_F(VocabularyTest, EveryGridShowsTheDeclaredCaptionsTypesAndSizes) {
    using namespace Vocabulary;
    const struct {
        TDBGrid *grid;
        const Table &table;
        bool holdsStored;  // the grid's table carries every stored column
    } cases[] = {
        {f->priceTables->dbgTabelaPreco, PriceTable, true},   {f->bands->dbgDescSis, SystemBands, true},
        {f->bands->dbgDescUsu, UserBands, true},              {f->permissions->dbgPerOper, OperatorPermissions, true},
        {f->serviceTypes->dbgTipoServico, ServiceTypes, true}, {f->serviceTypes->dbgOperador, OperatorServiceDiscounts, true},
        {f->serviceTypes->dbgTpServOper, OperatorServiceDiscounts, true}, {f->serviceTypes->dbgOperDad, OperatorServiceDiscounts, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.grid->objectName().toStdString());
        ASSERT_GT(c.grid->Columns.Count(), 0);
        for (int i = 0; i < c.grid->Columns.Count(); ++i) {
            const TColumn &col = c.grid->Columns[i];
            SCOPED_TRACE(col.FieldName.toStdString());
            const Column *declared = c.table.find(col.FieldName);
            ASSERT_NE(declared, nullptr) << "a grid column the vocabulary does not declare";
            ASSERT_NE(col.Field(), nullptr);
            EXPECT_EQ(col.Title.isEmpty() ? col.Field()->DisplayLabel : col.Title, declared->title());
            expectDeclared(col.Field(), *declared);
        }
        if (!c.holdsStored) continue;
        for (const Column &stored : c.table.columns) {
            TField *field = c.grid->DataSet()->FindField(stored.field());
            ASSERT_NE(field, nullptr) << stored.name;
            expectDeclared(field, stored);
        }
    }
}

TEST_F(VocabularyTest, TheServerAnswersTheDeclaredFieldsAndTheBandsEndAtTheDeclaredLimits) {
    using namespace Vocabulary;
    const QString code = QStringLiteral("0000000001");
    const struct {
        const char *method;
        QVector<RpcArg> args;
        const Table &table;
    } reads[] = {{Method::getTbPreco, {}, PriceTable},
                 {Method::getDescSis, {code}, SystemBands},
                 {Method::getDescUsu, {code}, UserBands},
                 {Method::getPerOper, {code}, OperatorPermissions},
                 {Method::GetTipoServico, {}, ServiceTypes}};
    for (const auto &r : reads) {
        SCOPED_TRACE(r.method);
        const DataPacket p = serverCall(r.method, r.args);
        for (const Column &c : r.table.columns) {
            const int i = p.fieldIndex(c.field());
            ASSERT_GE(i, 0) << c.name;
            EXPECT_EQ(p.fields[i].type, onWire(c.type)) << c.name;
        }
    }
    EXPECT_EQ(f->bands->Systems().largestLast, Limits::MaxSystems);
    EXPECT_EQ(f->bands->Users().largestLast, Limits::MaxUsers);
}
