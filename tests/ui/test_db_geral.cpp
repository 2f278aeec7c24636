// The shared database module and its read-only query, against a SQLite file.
#include "db_geral.h"
#include "errors.h"
#include "recording_dialogs.h"
#include "widget_dialogs.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DbGeralTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("cot.db");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
            db.setDatabaseName(path);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec("CREATE TABLE OPERADOR (CDOPERADOR VARCHAR(12) PRIMARY KEY, NMOPERADOR VARCHAR(50), "
                               "IDOPERATIVO CHAR(1), VRLIMITE DOUBLE)"));
            ASSERT_TRUE(q.exec("INSERT INTO OPERADOR VALUES ('000000000001', 'Ana', 'S', 10.5), "
                               "('000000000002', 'Bruno', 'S', NULL), ('000000000003', 'Carla', 'N', 3), "
                               "('000000000004', 'O''Hara', 'S', 7)"));
            db.close();
        }
        QSqlDatabase::removeDatabase("setup");
        QString error;
        ASSERT_TRUE(dtmDBGeral().open(path, &error)) << error.toStdString();
    }
    void TearDown() override { dtmDBGeral().close(); }

    // The operator look-up the permission screens run.
    void operatorQuery(TADOIBQuery &q) {
        q.SQL << "SELECT CDOPERADOR, NMOPERADOR FROM OPERADOR"
              << "WHERE IDOPERATIVO = 'S'"
              << "  AND (CDOPERADOR = :P_CDOPERADOR OR :P_TCDOPERADOR = 'T')"
              << "ORDER BY CDOPERADOR";
    }

    QTemporaryDir dir;
    QString path;
};

}  // namespace

TEST_F(DbGeralTest, ANamedParameterOpensOneRow) {
    TADOIBQuery q;
    operatorQuery(q);
    q.ParamByName("P_CDOPERADOR").SetAsString("000000000002");
    q.ParamByName("P_TCDOPERADOR").SetAsString("");
    q.Open();
    ASSERT_FALSE(q.IsEmpty());
    EXPECT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("NMOPERADOR")->AsString(), "Bruno");
    EXPECT_EQ(q.ParamByName("P_CDOPERADOR").AsString(), "000000000002");
}

TEST_F(DbGeralTest, TheAllFlagListsEveryActiveOperatorInCodeOrder) {
    TADOIBQuery q;
    operatorQuery(q);
    q.ParamByName("P_CDOPERADOR").SetAsString("");
    q.ParamByName("P_TCDOPERADOR").SetAsString("T");
    q.Open();
    QStringList names;
    for (q.First(); !q.Eof(); q.Next()) names << q.FieldByName("NMOPERADOR")->AsString();
    EXPECT_EQ(names, (QStringList{"Ana", "Bruno", "O'Hara"}));
}

TEST_F(DbGeralTest, AParameterUsedTwiceIsBoundInBothPlaces) {
    TADOIBQuery q;
    q.SQL << "SELECT CDOPERADOR FROM OPERADOR WHERE CDOPERADOR = :COD OR NMOPERADOR = :COD"
          << "  AND ':NAO_E_PARAMETRO' <> ''";
    EXPECT_EQ(q.ParamNames(), QStringList{"COD"});
    q.ParamByName("cod").SetAsString("Carla");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("CDOPERADOR")->AsString(), "000000000003");
    q.Close();
    EXPECT_TRUE(q.IsEmpty());
    q.ParamByName("COD").SetAsString("000000000001");
    q.Open();
    EXPECT_EQ(q.FieldByName("CDOPERADOR")->AsString(), "000000000001");
}

TEST_F(DbGeralTest, ColumnsBecomeFieldsWithTheirTypes) {
    TADOIBQuery q;
    q.SQL << "SELECT CDOPERADOR, VRLIMITE FROM OPERADOR ORDER BY CDOPERADOR";
    q.Open();
    TField *code = q.FieldByName("CDOPERADOR");
    TField *limit = q.FieldByName("VRLIMITE");
    EXPECT_EQ(code->DataType(), FieldType::String);
    EXPECT_EQ(code->Size(), 255);  // SQLite does not report a size
    EXPECT_EQ(limit->DataType(), FieldType::Float);
    EXPECT_DOUBLE_EQ(limit->AsFloat(), 10.5);
    q.Next();
    EXPECT_TRUE(limit->IsNull());
    EXPECT_TRUE(code->ReadOnly);
}

TEST_F(DbGeralTest, TheQueryIsReadOnly) {
    TADOIBQuery q;
    q.SQL << "UPDATE OPERADOR SET NMOPERADOR = 'X'";
    EXPECT_THROW(q.Open(), EAppError);
    QSqlQuery raw(dtmDBGeral().database());
    EXPECT_FALSE(raw.exec("DELETE FROM OPERADOR"));  // the connection itself refuses writes
    TADOIBQuery count;
    count.SQL << "SELECT COUNT(*) AS N FROM OPERADOR";
    count.Open();
    EXPECT_EQ(count.FieldByName("N")->AsInteger(), 4);
}

TEST_F(DbGeralTest, ErrorsArePortugueseApplicationErrors) {
    TADOIBQuery q;
    q.SQL << "SELECT * FROM NAO_EXISTE";
    try {
        q.Open();
        FAIL() << "opened a missing table";
    } catch (const EAppError &e) {
        EXPECT_TRUE(e.message().startsWith("Erro ao preparar a consulta") || e.message().startsWith("Erro ao consultar"));
    }
    EXPECT_THROW(q.ParamByName("NADA"), EAppError);
    TADOIBQuery closed;
    closed.SQL << "SELECT 1 AS UM";
    EXPECT_THROW(closed.FieldByName("UM"), EAppError);
}

TEST_F(DbGeralTest, AMissingFileIsNotOpened) {
    QString error;
    EXPECT_FALSE(dtmDBGeral().open(dir.filePath("nao_existe.db"), &error));
    EXPECT_TRUE(error.startsWith("Banco de dados não encontrado"));
    EXPECT_FALSE(dtmDBGeral().isOpen());
    TADOIBQuery q;
    q.SQL << "SELECT 1";
    EXPECT_THROW(q.Open(), EAppError);
}

TEST_F(DbGeralTest, ADataSourceOnTheQueryFeedsTheSearch) {
    RecordingDialogs dialogs;
    TADOIBQuery q;
    operatorQuery(q);
    TDataSource dtsOp(q.DataSet());
    q.ParamByName("P_CDOPERADOR").SetAsString("");
    q.ParamByName("P_TCDOPERADOR").SetAsString("T");
    q.Open();
    dialogs.onPesquisar = [](TDataSource *ds) {
        ds->DataSet()->Last();
        return true;
    };
    ASSERT_TRUE(Pesquisar(&dtsOp, "Operador|Não existe Operador cadastrado.", false, true));
    EXPECT_EQ(q.FieldByName("CDOPERADOR")->AsString(), "000000000004");
    // Reopened with the same columns, the data source still points at the rows.
    q.Close();
    q.Open();
    EXPECT_EQ(dtsOp.DataSet(), q.DataSet());
    EXPECT_EQ(dtsOp.DataSet()->RecordCount(), 3);
}
