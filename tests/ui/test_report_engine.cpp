// The report engine: cell text, pagination, one layout per page size, files
// written whole or not at all, and the report base screen's actions.
//
// Test organization:
//   1. Values as shown (1.234,56) and as data (shortest, decimal comma).
//   2. Pages: matrices split with their headers, small ones sharing a page.
//   3. The engine lays a report out once per page size.
//   4. Files: CSV quoting and columns, a failed save leaves nothing.
//   5. The base screen: unknown report code, actions before a preview, the
//      "Salvar Como" title prompt.
//   6. Qt's own dialogs (preview, file, print, page set-up) in Portuguese.

#include "forms.h"
#include "recording_dialogs.h"
#include "report_engine.h"
#include "report_preview.h"
#include "routines.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

namespace {

ReportDocument document(const QVector<int> &rowsPerMatrix, int columns = 20, double value = 1234.5) {
    ReportDocument d;
    d.code = "TESTE";
    d.title = "Relatório de teste";
    d.header = {{"Tabelas de preço", "Todas"}, {"Data", "01/03/2026"}};
    d.columnAxis = "Sistemas";
    d.rowAxis = "Usuários";
    d.keyNames = {"TIPO", "CODIGO"};
    d.rowKeyName = "USUARIOS";
    d.issued = QDateTime(QDate(2026, 3, 1), QTime(9, 0));
    for (int i = 0; i < rowsPerMatrix.size(); ++i) {
        ReportMatrix m;
        m.keys = {"Tipo", QString::number(i + 1)};
        m.heading = QStringLiteral("Matriz %1").arg(i + 1);
        m.sheet = "Tipo";
        m.columns = columns;
        m.rows = rowsPerMatrix[i];
        m.values.fill(value, m.rows * columns);
        d.matrices.append(m);
    }
    return d;
}

}  // namespace

// 1. Values ------------------------------------------------------------------------------

TEST(ReportValues, ShownTheBrazilianWay) {
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0, "0,00"},           {1234.5, "1.234,50"},    {1000000, "1.000.000,00"}, {-1234.567, "-1.234,57"},
        {999.995, "1.000,00"}, {283.3333333, "283,33"}, {0.004, "0,00"},           {123456789.126, "123.456.789,13"},
    };
    for (const auto &c : cases) EXPECT_EQ(ReportLayout::cellText(c.value), c.text) << c.value;
    EXPECT_EQ(ReportLayout::cellText(ReportMatrix::none()), "");
}

TEST(ReportValues, DataInItsShortestExactForm) {
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0, "0"}, {1000, "1000"}, {1234567.5, "1234567,5"}, {0.1, "0,1"}, {200 + 1000.0 / 12, "283,3333333333333"}, {-2.25, "-2,25"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ReportFiles::dataText(c.value), c.text) << c.value;
        EXPECT_EQ(QString(c.text).replace(',', '.').toDouble(), c.value);  // exact: reads back the same double
    }
}

// 2. Pages ---------------------------------------------------------------------------------

TEST(ReportPages, MatricesSplitAndShare) {
    const struct {
        const char *name;
        QVector<int> rows;
        int pages;
    } cases[] = {
        {"nothing", {}, 1},
        {"one small", {2}, 1},
        {"six small share a page", {2, 2, 2, 2, 2, 2}, 1},
        {"150 rows run over three pages", {150}, 3},
        {"each large one starts a page", {150, 150, 150}, 9},
        {"a small one after a large one fills its last page", {140, 2}, 3},
        {"a large one after a small one starts a new page", {2, 150}, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ReportDocument doc = document(c.rows);
        EXPECT_EQ(ReportLayout(doc, ReportFiles::defaultPageLayout()).pageCount(), c.pages);
    }
    // Portrait pages hold more rows.
    const ReportDocument tall = document({150});
    QPageLayout portrait = ReportFiles::defaultPageLayout();
    portrait.setOrientation(QPageLayout::Portrait);
    EXPECT_LT(ReportLayout(tall, portrait).pageCount(), 3);
}

TEST(ReportPages, HeadersAndPageNumbersOnEveryPage) {
    QTemporaryDir dir;
    const ReportDocument doc = document({150}, 3);
    const QString path = dir.filePath("r.pdf");
    EXPECT_EQ(ReportFiles::save(doc, path, ReportFiles::Format::Pdf), 3);
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split('\f', Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(pages[i].contains("Relatório de teste"));
        EXPECT_TRUE(pages[i].contains("Sistemas") && pages[i].contains("Usuários"));
        EXPECT_TRUE(pages[i].contains(QStringLiteral("Página %1 de 3").arg(i + 1)));
        EXPECT_TRUE(pages[i].contains("1.234,50"));
        EXPECT_EQ(pages[i].contains("(continuação)"), i > 0);
    }
    EXPECT_TRUE(pages[2].contains(QRegularExpression("\\n\\s*150\\s+1\\.234,50")));
}

// 3. One layout per page size ------------------------------------------------------------------

TEST(ReportEngineLayout, LaidOutOncePerPageSize) {
    ReportEngine engine;
    engine.setDocument(document({40, 40}));
    const int pages = engine.layout().pageCount();
    engine.layout();
    engine.layout(engine.printer().pageLayout());
    EXPECT_EQ(engine.layoutsMade(), 1);
    QPageLayout portrait = engine.printer().pageLayout();
    portrait.setOrientation(QPageLayout::Portrait);
    engine.printer().setPageLayout(portrait);
    engine.layout();
    EXPECT_EQ(engine.layoutsMade(), 2);
    engine.setTitle("Outro título");
    engine.layout();
    EXPECT_EQ(engine.layoutsMade(), 3);
    EXPECT_GT(pages, 0);
}

// 4. Files -----------------------------------------------------------------------------------------

TEST(ReportFilesTest, CsvColumnsQuotingAndNulls) {
    ReportDocument doc = document({2, 1}, 3, 10);
    doc.matrices[1].keys = {"Tipo \"B\"", "9;9"};
    doc.matrices[1].columns = 2;
    doc.matrices[1].values = {1.5, ReportMatrix::none()};
    QTemporaryDir dir;
    const QString path = dir.filePath("r.csv");
    ReportFiles::save(doc, path, ReportFiles::Format::Csv);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), "TIPO;CODIGO;USUARIOS;01;02;03\n"
                                              "Tipo;1;1;10;10;10\n"
                                              "Tipo;1;2;10;10;10\n"
                                              "\"Tipo \"\"B\"\"\";\"9;9\";1;1,5;;\n");
}

TEST(ReportFilesTest, FailedSaveLeavesNothing) {
    QTemporaryDir dir;
    const ReportDocument doc = document({3});
    for (ReportFiles::Format f : {ReportFiles::Format::Pdf, ReportFiles::Format::Xlsx, ReportFiles::Format::Csv}) {
        SCOPED_TRACE(int(f));
        QString message;
        try {
            ReportFiles::save(doc, dir.filePath("falta/r.out"), f);
        } catch (const EAppError &e) {
            message = e.message();
        }
        EXPECT_TRUE(message.contains("a pasta não existe")) << message.toStdString();
        try {
            ReportFiles::save(doc, dir.path(), f);
            message.clear();
        } catch (const EAppError &e) {
            message = e.message();
        }
        EXPECT_TRUE(message.contains("é uma pasta")) << message.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    ReportFiles::Format format;
    EXPECT_TRUE(ReportFiles::formatFromPath("a/B.XLSX", &format) && format == ReportFiles::Format::Xlsx);
    EXPECT_FALSE(ReportFiles::formatFromPath("a/b.txt", &format));
}

// CSV, XLSX and the PDF hold each value rounded to the cent as the paper
// prints it; the workbook's column ranges never overlap.
TEST(ReportFilesTest, ExportsHoldTheValueThePaperPrintsCellByCell) {
    const QVector<double> values = {1345.6349999999998, 3087.045, 1.005, 0.125, 2.675, 283.3333333333333, -0.005, 1234567.891};
    ReportDocument doc = document({1}, int(values.size()));
    doc.matrices[0].values = values;
    QTemporaryDir dir;
    auto tool = [](const QString &program, const QStringList &args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    for (const char *ext : {"pdf", "csv", "xlsx"}) {
        ReportFiles::Format format;
        ASSERT_TRUE(ReportFiles::formatFromName(ext, &format));
        ReportFiles::save(doc, dir.filePath(QStringLiteral("r.%1").arg(ext)), format);
    }
    const QString pdf = tool("pdftotext", {"-layout", dir.filePath("r.pdf"), "-"});
    QFile csvFile(dir.filePath("r.csv"));
    ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
    const QStringList csv = QString::fromUtf8(csvFile.readAll()).split('\n').value(1).split(';').mid(3);
    const QString sheet = tool("unzip", {"-p", dir.filePath("r.xlsx"), "xl/worksheets/sheet1.xml"});
    for (int k = 0; k < values.size(); ++k) {
        SCOPED_TRACE(k);
        const QString printed = ReportLayout::cellText(values[k]);
        double paper = 0, data = 0;
        ASSERT_TRUE(NumberText::parse(printed, &paper));
        EXPECT_TRUE(pdf.contains(printed)) << printed.toStdString();
        ASSERT_TRUE(NumberText::parse(csv.value(k), &data)) << csv.value(k).toStdString();
        EXPECT_EQ(data, paper);
        const QString cell = QStringLiteral("<c r=\"%1%2\"[^>]*><v>([^<]*)</v>").arg(QChar('D' + k)).arg(5);
        const QRegularExpressionMatch m = QRegularExpression(cell).match(sheet);
        ASSERT_TRUE(m.hasMatch()) << cell.toStdString();
        EXPECT_EQ(m.captured(1).toDouble(), paper);
    }
    int lastMax = 0;
    for (auto it = QRegularExpression("<col min=\"(\\d+)\" max=\"(\\d+)\"").globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        EXPECT_GT(m.captured(1).toInt(), lastMax) << "overlapping column ranges";
        lastMax = m.captured(2).toInt();
    }
    EXPECT_GT(lastMax, 0);
}

// 6. Qt's own dialogs in Portuguese ------------------------------------------------------------------

namespace {
// Every caption a person reads on the window: title, labels, buttons, actions, tool tips.
QStringList captions(QWidget *w) {
    QStringList out{w->windowTitle(), w->toolTip()};
    for (QWidget *c : w->findChildren<QWidget *>()) {
        if (!c->isVisibleTo(w)) continue;
        out << c->toolTip();
        if (auto *l = qobject_cast<QLabel *>(c)) out << l->text();
        if (auto *b = qobject_cast<QAbstractButton *>(c)) out << b->text();
        if (auto *g = qobject_cast<QGroupBox *>(c)) out << g->title();
        for (QAction *a : c->actions()) out << a->text() << a->toolTip();
    }
    out.removeAll(QString());
    return out;
}
}  // namespace

TEST(QtDialogs, NoEnglishCaptionOnThePreviewFilePrintAndPageSetupDialogs) {
    static const QRegularExpression english(
        "\\b(Cancel|Save|Open|Look in|File name|Files of type|Next page|Previous page|First page|Last page|Zoom in|"
        "Zoom out|Fit width|Fit page|Print|Page setup|Page Setup|Printer|Paper|Orientation|Portrait|Landscape|Margins|"
        "Options|Properties|Close|Back|Forward|Copies|Name|Size|Type|Date Modified|Detail View|List View|"
        "Create New Folder|Parent Directory)\\b");
    ReportEngine engine;
    engine.setDocument(document({40}));
    QPrinter &printer = engine.printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    QFileDialog file(nullptr, "Salvar Como");
    file.setOption(QFileDialog::DontUseNativeDialog);
    file.setAcceptMode(QFileDialog::AcceptSave);
    QPrintDialog print(&printer);
    QPageSetupDialog setup(&printer);
    QInputDialog input;
    input.setLabelText("Informe o título do relatório:");
    ReportPreviewDialog preview(engine);
    for (QDialog *d : std::initializer_list<QDialog *>{&preview, &file, &print, &setup, &input}) {
        SCOPED_TRACE(d->metaObject()->className());
        d->show();
        QApplication::processEvents();
        for (const QString &text : captions(d))
            EXPECT_FALSE(english.match(QString(text).remove('&')).hasMatch()) << text.toStdString();
        d->hide();
    }
}

// 5. The base screen ----------------------------------------------------------------------------------

TEST(ReportBaseScreen, UnknownReportCodeNamesTheCodeAndFolder) {
    RecordingDialogs dialogs;
    auto *screen = new TfrmDadosGerRel;
    screen->msgPadrao.SetLines({"Arq_Rel_Err|O arquivo contendo a definição do relatório de código '%s' não foi encontrado no diretório '%s'."});
    screen->lblCodRel->setText("XYZ999");
    screen->sbtPreview->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().startsWith("O arquivo contendo a definição do relatório de código 'XYZ999' não foi encontrado no diretório '"));
    EXPECT_FALSE(dialogs.last().contains("%s"));
    EXPECT_FALSE(screen->report.hasDocument());
    delete screen;
}

TEST(ReportBaseScreen, DefinitionRunsOnTheScreensRows) {
    RecordingDialogs dialogs;
    struct Preview : IReportDialogs {
        void preview(ReportEngine &e, QWidget *) override { rows = e.document().rowCount(); }
        bool printDialog(QPrinter &, QWidget *) override { return false; }
        bool pageSetup(QPrinter &, QWidget *) override { return false; }
        bool askText(const QString &, const QString &, QString *, QWidget *) override { return false; }
        QString saveFileName(const QString &, ReportFiles::Format *, QWidget *) override { return {}; }
        qint64 rows = -1;
    } windows;
    SetReportDialogs(&windows);
    ReportDefinitions::add("TESTE01", [](const DataPacket &rows, const QMap<QString, QString> &params) {
        ReportDocument d = document({int(rows.rows.size())});
        d.title = params.value("titulo");
        return d;
    });
    auto *screen = new TfrmDadosGerRel;
    screen->lblCodRel->setText("teste01");
    TClientTable table("t");
    table.AddField("A", FieldType::Float);
    table.CreateDataSet();
    for (int i = 0; i < 4; ++i) {
        table.Append();
        table.FieldByName("A")->SetAsFloat(i);
        table.Post();
    }
    TDataSource source(&table);
    screen->dtsRelatorio = &source;
    screen->ReportParams = {{"titulo", "Quatro linhas"}};
    screen->sbtPreview->trigger();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(windows.rows, 4);
    EXPECT_EQ(screen->report.document().title, "Quatro linhas");
    SetReportDialogs(nullptr);
    delete screen;
}

TEST(ReportBaseScreen, TitlePromptFitsItsCaptionAndAWholeTitle) {
    const QString caption = "Título do relatório", longest(ReportTitleMaxLength, QChar('x'));
    for (const QString &title : {QString("Relatório de Tabela de Preço - Proposta Comercial"), longest, longest + "cortado"}) {
        SCOPED_TRACE(title.toStdString());
        const auto dialog = CreateTitleDialog(caption, "Informe o título do relatório:", title, nullptr);
        dialog->show();
        QLineEdit *field = dialog->findChild<QLineEdit *>();
        EXPECT_EQ(field->text(), title.left(ReportTitleMaxLength));
        EXPECT_GE(field->width(), field->fontMetrics().horizontalAdvance(field->text()));
        EXPECT_GT(dialog->width(), dialog->fontMetrics().horizontalAdvance(caption) + 100);  // with the title bar's icon and buttons
    }
}
