// cot-report as a scheduled job runs it: on a database file or a running
// server, writing CSV, PDF or XLSX, refusing with a message, an exit status
// and no file.
//
// Test organization:
//   1. CSV of a known table: content, order, standard output; the same
//      through a server.
//   2. PDF: the table's name and values in the text, the page count.
//   3. XLSX: a readable workbook, one sheet per price type, numbers as numbers.
//   4. Refusals (status 1) and bad arguments (status 2): message, no file,
//      an existing file left as it was.
//   5. --cell: the worked example's cell; random tables, counts and modes
//      against the full report's cells; the gap refused with its message.

#include "app_server.h"
#include "db_session.h"
#include "schema.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <cmath>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;
    QByteArray out, err;
};

// Settings and local database from the given folder, never the user's.
Outcome run(const QStringList &args, const QString &home = QTemporaryDir().path()) {
    QProcess p;
    p.setEnvironment(QProcess::systemEnvironment() << "COT_CONFIG_DIR=" + home << "XDG_DATA_HOME=" + home);
    p.start(QStringLiteral(COT_REPORT_BIN), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

QString tool(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class CotReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        if (db.isEmpty()) db = dir.filePath("cot.db");
        DbConfig config;
        QString error;
        ASSERT_TRUE(DbConfig::parse(db, &config, &error));
        session = std::make_unique<DbSession>(config, QStringLiteral("cot-report-test"));
        session->open();
        Schema::migrate(*session);
        setIndex(1.0);
    }
    void TearDown() override { session.reset(); }

    // On the test run's PostgreSQL, in a schema of this test's own.
    bool usePostgres() {
        const QString url = qEnvironmentVariable("COT_TEST_PG_URL");
        if (url.isEmpty()) return false;
        schema = QStringLiteral("cot_report_%1").arg(QCoreApplication::applicationPid());
        db = url + (url.contains('?') ? "&schema=" : "?schema=") + schema;
        return true;
    }
    QString schema;

    void exec(const QString &sql, const QVariantList &values = {}) {
        try {
            Query q(*session, sql);
            for (const QVariant &v : values) q.bind(v);
            q.exec();
        } catch (const DbError &e) {
            FAIL() << sql.toStdString() << ": " << e.text().toStdString();
        }
    }
    void setIndex(double value) {
        exec("DELETE FROM INDICEMENSAL");
        if (value > 0) exec("INSERT INTO INDICEMENSAL VALUES (?, ?)", {QDate::currentDate().toString("yyyy-MM"), value});
    }
    // The worked example: P 1000, M 200, L 12; systems 1-2 at 0 %, 3-20 at 10 %;
    // users 1-1 at 0 %, 2-150 at 20 %.
    void addTable(const QString &code, const QString &name, bool gap = false) {
        exec("INSERT INTO PRECOPROPOSTA (CDPRECOPROP, NMPRECOPROP, DTINIPRECOPROP, DTFINPRECOPROP, VRPRECOUNITSIST, VRPERCMANUTANO,"
             " NRMESPRAZOLOCA, VRPEDESFILIMATR, VRPEDESFILIFILI) VALUES (?, ?, '2026-01-01 00:00:00', '2026-12-31 00:00:00', 1000, 200, 12, 0, 10)",
             {code, name});
        exec("INSERT INTO PRECOPROPSIST VALUES (?, '00001', '00002', 0)", {code});
        exec("INSERT INTO PRECOPROPSIST VALUES (?, ?, '00020', 10)", {code, gap ? "00004" : "00003"});
        exec("INSERT INTO PRECOPROPUSU VALUES (?, '00001', '00001', 0)", {code});
        exec("INSERT INTO PRECOPROPUSU VALUES (?, '00002', '00150', 20)", {code});
    }
    QStringList withDb(QStringList args) const { return QStringList{"--database", db} + args; }
    QString path(const char *name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString db;
    std::unique_ptr<DbSession> session;
};

const QStringList kLicenceAndMaintenance{
    "Licença de Uso;0000000009;Exemplo; com ponto e vírgula;Matriz/Matriz;1;1000;2000;2900",
    "Licença de Uso;0000000009;Exemplo; com ponto e vírgula;Matriz/Matriz;2;1800;2800;3700",
    "Manutenção;0000000009;Exemplo; com ponto e vírgula;Matriz/Matriz;1;200;400;580",
    "Manutenção;0000000009;Exemplo; com ponto e vírgula;Matriz/Matriz;2;360;560;740",
};

}  // namespace

// 1. CSV ---------------------------------------------------------------------------

TEST_F(CotReportTest, CsvOfAKnownTable) {
    addTable("0000000009", "Exemplo; com ponto e vírgula");
    const Outcome r = run(withDb({"--tables", "9", "--systems", "3", "--users", "2", "--types", "L,U,M", "--output", path("livro.csv")}));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    QFile f(path("livro.csv"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], "TIPO;CDPRECOPROP;NMPRECOPROP;MODLOC;USUARIOS;01;02;03");
    QStringList quoted;
    for (QString l : kLicenceAndMaintenance) quoted << l.replace("Exemplo; com ponto e vírgula", "\"Exemplo; com ponto e vírgula\"");
    EXPECT_EQ(lines.mid(1, 4), quoted);
    // Rental: the share P / L rounded to the cent as printed, decimal comma, no thousands dot.
    const QStringList rent = lines[5].split(';').mid(6);
    ASSERT_EQ(rent.size(), 3);
    const double expected[] = {200 + 1000.0 / 12, 400 + 1000.0 / 12, 580 + 1000.0 / 12};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_FALSE(rent[k].contains('.'));
        bool ok = false;
        EXPECT_DOUBLE_EQ(QString(rent[k]).replace(',', '.').toDouble(&ok), std::round(expected[k] * 100) / 100);
        EXPECT_TRUE(ok);
    }
}

TEST_F(CotReportTest, BranchModeIndexAndStandardOutput) {
    addTable("0000000009", "Exemplo");
    setIndex(2);
    const Outcome r = run(withDb({"--systems", "1", "--users", "1", "--types", "U", "--location", "FF", "--format", "csv", "--output", "-"}));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out), "TIPO;CDPRECOPROP;NMPRECOPROP;MODLOC;USUARIOS;01\n"
                                        "Licença de Uso;0000000009;Exemplo;Filial/Filial;1;1800\n");
}

TEST_F(CotReportTest, ThroughARunningServerWithItsToken) {
    addTable("0000000009", "Exemplo; com ponto e vírgula");
    session.reset();
    ServerOptions o;
    o.database = db;
    o.token = "segredo";
    o.threads = 1;
    AppServer server(o);
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    const QString url = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    const Outcome r = run({"--server", url, "--token", "segredo", "--systems", "3", "--users", "2", "--types", "U,M", "--format", "csv",
                       "--output", "-"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList quoted;
    for (QString l : kLicenceAndMaintenance) quoted << l.replace("Exemplo; com ponto e vírgula", "\"Exemplo; com ponto e vírgula\"");
    EXPECT_EQ(QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts).mid(1), quoted);
    const Outcome refused = run({"--server", url, "--token", "errado", "--output", path("x.pdf")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(QString::fromUtf8(refused.err).contains("chave de acesso")) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("x.pdf")));
}

// Without --server or --database: the server of the desktop's settings, else its local database.
TEST_F(CotReportTest, WithoutArgumentsItReadsWhereTheDesktopReads) {
    addTable("0000000009", "Exemplo; com ponto e vírgula");
    session.reset();
    AppServer server(ServerOptions{.database = db, .token = "segredo", .threads = 1});
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    QTemporaryDir home;
    for (bool local : {false, true}) {
        QSettings ini(home.filePath("cot-host.ini"), QSettings::IniFormat);
        ini.setValue("server/url", local ? "" : QStringLiteral("http://127.0.0.1:%1").arg(server.port()));
        ini.setValue("server/token", "segredo");
        ini.sync();
        if (local) ASSERT_TRUE(QDir().mkpath(home.filePath("cot/cot-host")) && QFile::copy(db, home.filePath("cot/cot-host/cot.db")));
        const Outcome r = run({"--systems", "3", "--users", "2", "--types", "U", "--format", "csv", "--output", "-"}, home.path());
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts).value(1), "Licença de Uso;0000000009;\"Exemplo; com ponto e vírgula\";Matriz/Matriz;1;1000;2000;2900");
    }
    EXPECT_TRUE(QString::fromUtf8(run({"--help"}).out).contains("cot-host.ini"));
}

TEST_F(CotReportTest, DirectlyOnPostgreSQL) {
    session.reset();
    if (!usePostgres()) GTEST_SKIP() << "COT_TEST_PG_URL não definido: teste de PostgreSQL pulado.";
    SetUp();
    addTable("0000000009", "Exemplo; com ponto e vírgula");
    const Outcome r = run(withDb({"--systems", "3", "--users", "2", "--types", "U,M", "--format", "csv", "--output", "-"}));
    session->execute(QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(schema));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList quoted;
    for (QString l : kLicenceAndMaintenance) quoted << l.replace("Exemplo; com ponto e vírgula", "\"Exemplo; com ponto e vírgula\"");
    EXPECT_EQ(QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts).mid(1), quoted);
}

// 2. PDF -------------------------------------------------------------------------------

TEST_F(CotReportTest, PdfHoldsTheTableAndItsValuesOnTheExpectedPages) {
    addTable("0000000009", "Tabela Exemplo");
    struct Case {
        const char *users, *types;
        int pages;
    } cases[] = {
        {"2", "U", 1},      // one small matrix
        {"2", "U,M,L", 1},  // three small matrices share the page
        {"150", "U", 3},    // 150 users run over three pages
        {"150", "U,M,L", 9},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.users << " " << c.types);
        const QString out = path("livro.pdf");
        QFile::remove(out);
        const Outcome r = run(withDb({"--users", c.users, "--types", c.types, "--output", out}));
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        const QString text = tool("pdftotext", {"-layout", out, "-"});
        EXPECT_TRUE(text.contains("Tabela Exemplo"));
        EXPECT_TRUE(text.contains("1.000,00"));
        EXPECT_TRUE(text.contains("Sistemas") && text.contains("Usuários"));
        EXPECT_TRUE(text.contains(QStringLiteral("Página %1 de %1").arg(c.pages))) << text.right(200).toStdString();
        EXPECT_TRUE(tool("pdfinfo", {out}).contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(c.pages))));
    }
}

// 3. XLSX ---------------------------------------------------------------------------------

TEST_F(CotReportTest, XlsxOneSheetPerTypeWithNumbers) {
    addTable("0000000009", "Tabela Exemplo");
    const QString out = path("livro.xlsx");
    const Outcome r = run(withDb({"--systems", "3", "--users", "2", "--output", out}));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::permissions(out) & QFileDevice::ReadOther);
    const QString workbook = tool("unzip", {"-p", out, "xl/workbook.xml"});
    EXPECT_TRUE(workbook.contains("name=\"Licença de Uso\"")) << workbook.toStdString();
    EXPECT_TRUE(workbook.contains("name=\"Manutenção\""));
    EXPECT_TRUE(workbook.contains("name=\"Locação\""));
    const QString sheet = tool("unzip", {"-p", out, "xl/worksheets/sheet1.xml"});
    EXPECT_TRUE(sheet.contains("<v>2900</v>")) << sheet.left(400).toStdString();
    EXPECT_TRUE(sheet.contains("<v>3700</v>"));
    EXPECT_TRUE(sheet.contains("<pane ") && sheet.contains("state=\"frozen\""));
    EXPECT_TRUE(tool("unzip", {"-p", out, "xl/styles.xml"}).contains("#,##0.00"));
}

// 4. Refusals and bad arguments ---------------------------------------------------------------

TEST_F(CotReportTest, RefusalsWriteNothing) {
    addTable("0000000009", "Tabela Exemplo");
    addTable("0000000008", "Tabela Com Lacuna", true);
    struct Case {
        const char *name;
        QStringList args;
        int status;
        QString message;
    } cases[] = {
        {"systems above 20", {"--systems", "21"}, 1, "Número de sistemas acima do limite de \"20\"."},
        {"systems zero", {"--systems", "0"}, 1, "Numero de sistemas deve ser maior que \"0\"."},
        {"systems empty", {"--systems", ""}, 1, "Numero de sistemas deve ser Informado"},
        {"users above 150", {"--users", "151"}, 1, "Numero de usuários acima do limite de \"150\"."},
        {"users zero", {"--users", "0"}, 1, "Numero de usuários deve ser maior que \"0\"."},
        {"no type", {"--types", ""}, 1, "Tipo de Tabela de Preço deve ser Informada"},
        {"no table", {"--tables", ""}, 1, "Tabela de Preço deve ser Informada"},
        {"unknown table", {"--tables", "12"}, 1, "0000000012"},
        {"gap in the bands", {"--tables", "8,9", "--systems", "5"}, 1, "0000000008"},
        {"systems not a number", {"--systems", "abc"}, 2, "--systems"},
        {"unknown type", {"--types", "U,X"}, 2, "\"X\""},
        {"unknown mode", {"--location", "XX"}, 2, "--location"},
        {"unknown format", {"--format", "doc"}, 2, "--format"},
        {"unknown option", {"--cores", "2"}, 2, "--cores"},
        {"bad table code", {"--tables", "1;DROP"}, 2, "--tables"},
    };
    const QString out = path("livro.pdf");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(out);
        const Outcome r = run(withDb(c.args + QStringList{"--output", out}));
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(QString::fromUtf8(r.err).contains(c.message)) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
    // A file already there stays as it was.
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("anterior");
    old.close();
    EXPECT_EQ(run(withDb({"--systems", "21", "--output", out})).status, 1);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "anterior");
    // Beside the database's own files, that file alone: no temporary left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).filter(QRegularExpression("^(?!cot\\.db)")), QStringList{"livro.pdf"});
}

TEST_F(CotReportTest, WhereToReadAndWriteMustBeClear) {
    struct Case {
        const char *name;
        QStringList args;
        int status;
        QString message;
    } cases[] = {
        {"no source", {"--output", "x.pdf"}, 2, "--server ou --database"},
        {"both sources", {"--server", "http://127.0.0.1:1", "--database", "x.db", "--output", "x.pdf"}, 2, "--server ou --database"},
        {"no output", {"--database", "x.db"}, 2, "--output"},
        {"no format for standard output", {"--database", "x.db", "--output", "-"}, 2, "--format"},
        {"unknown extension", {"--database", "x.db", "--output", "x.txt"}, 2, "--format"},
        {"missing database", {"--database", "nao-existe.db", "--output", "x.pdf"}, 1, "não existe"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(QString::fromUtf8(r.err).contains(c.message)) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists("nao-existe.db"));
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(QString::fromUtf8(help.out).contains("Uso: cot-report"));
}

TEST_F(CotReportTest, EmptyDatabaseAndMissingIndex) {
    Outcome r = run(withDb({"--output", path("a.pdf")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains("Não existem Tabela(s) de preço cadastrada(s)")) << r.err.toStdString();
    addTable("0000000009", "Tabela Exemplo");
    setIndex(0);
    r = run(withDb({"--output", path("a.pdf")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains("Não foi encontrado o mês vigente.")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("a.pdf")));
}

// 5. --cell ---------------------------------------------------------------------------------

namespace {

// The report's value in cents, from the full CSV's shortest exact text.
QString cents(const QString &exact) {
    const qint64 c = std::llround(QString(exact).replace(',', '.').toDouble() * 100);
    return QStringLiteral("%1,%2").arg(c / 100).arg(c % 100, 2, 10, QLatin1Char('0'));
}

}  // namespace

TEST_F(CotReportTest, CellOfTheWorkedExample) {
    addTable("0000000009", "Exemplo; com ponto e vírgula");
    const Outcome r = run(withDb({"--cell", "--tables", "9", "--systems", "3", "--users", "2", "--types", "L,U,M", "--output", "-"}));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out), "TIPO;CDPRECOPROP;NMPRECOPROP;MODLOC;SISTEMAS;USUARIOS;PRECO\n"
                                        "Licença de Uso;0000000009;\"Exemplo; com ponto e vírgula\";Matriz/Matriz;3;2;3700,00\n"
                                        "Manutenção;0000000009;\"Exemplo; com ponto e vírgula\";Matriz/Matriz;3;2;740,00\n"
                                        "Locação;0000000009;\"Exemplo; com ponto e vírgula\";Matriz/Matriz;3;2;823,33\n");
    const Outcome gap = run(withDb({"--cell", "--tables", "8,9", "--output", "-"}));
    EXPECT_EQ(gap.status, 1);
    EXPECT_TRUE(gap.out.isEmpty());
    EXPECT_EQ(run(withDb({"--cell", "--format", "pdf", "--output", "-"})).status, 2);
}

TEST_F(CotReportTest, CellEqualsTheReportsCellForRandomTables) {
    QRandomGenerator rnd(19);
    for (int t = 1; t <= 4; ++t) {
        const QString code = QStringLiteral("%1").arg(t, 10, 10, QLatin1Char('0'));
        exec("INSERT INTO PRECOPROPOSTA (CDPRECOPROP, NMPRECOPROP, DTINIPRECOPROP, DTFINPRECOPROP, VRPRECOUNITSIST, VRPERCMANUTANO,"
             " NRMESPRAZOLOCA, VRPEDESFILIMATR, VRPEDESFILIFILI) VALUES (?, ?, '2026-01-01 00:00:00', '2026-12-31 00:00:00', ?, ?, ?, ?, ?)",
             {code, QStringLiteral("Aleatória %1").arg(t), 100 + rnd.bounded(500000) / 100.0, 10 + rnd.bounded(40000) / 100.0,
              1 + rnd.bounded(60), rnd.bounded(3000) / 100.0, rnd.bounded(3000) / 100.0});
        for (const char *table : {"PRECOPROPSIST", "PRECOPROPUSU"}) {
            const int limit = QByteArray(table) == "PRECOPROPSIST" ? 20 : 150;
            for (int start = 1; start <= limit;) {
                const int end = std::min(limit, start + rnd.bounded(limit / 3));
                exec(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?)").arg(table),
                     {code, QStringLiteral("%1").arg(start, 5, 10, QLatin1Char('0')), QStringLiteral("%1").arg(end, 5, 10, QLatin1Char('0')),
                      rnd.bounded(2500) / 100.0});
                start = end + 1;
            }
        }
    }
    setIndex(1.0377);
    const char *modes[] = {"MM", "FF", "FM"};
    for (int i = 0; i < 4; ++i) {
        const QStringList counts{"--systems", QString::number(1 + rnd.bounded(20)), "--users", QString::number(1 + rnd.bounded(150)),
                                 "--location", modes[rnd.bounded(3)]};
        SCOPED_TRACE(counts.join(' ').toStdString());
        const Outcome full = run(withDb(counts + QStringList{"--format", "csv", "--output", "-"}));
        const Outcome cell = run(withDb(counts + QStringList{"--cell", "--output", "-"}));
        ASSERT_EQ(full.status, 0) << full.err.toStdString();
        ASSERT_EQ(cell.status, 0) << cell.err.toStdString();
        QStringList expected;
        for (const QString &line : QString::fromUtf8(full.out).split('\n', Qt::SkipEmptyParts).mid(1)) {
            const QStringList f = line.split(';');
            if (f[4] == counts[3]) expected << QStringList{f.mid(0, 4).join(';'), counts[1], counts[3], cents(f.last())}.join(';');
        }
        EXPECT_EQ(expected.size(), 12);
        EXPECT_EQ(QString::fromUtf8(cell.out).split('\n', Qt::SkipEmptyParts).mid(1), expected);
    }
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
