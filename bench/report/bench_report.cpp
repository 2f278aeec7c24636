// The price simulation report at full size: 200 price tables, three price
// types, 150 users and 20 systems (90,000 rows of 20 values). Measures the
// simulation alone, the report document, and the PDF, XLSX and CSV files.
//
//   bench_report [--write DIR] [benchmark options]
// With --write it first writes DIR/cot003.pdf, .xlsx and .csv once and prints
// their sizes and times (the script hands the XLSX to LibreOffice).

#include "price_simulation.h"
#include "report_cot003.h"
#include "report_engine.h"
#include "report_files.h"
#include "report_preview.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QApplication>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

using namespace PriceSimulation;

constexpr int kTables = 200;

struct Input {
    DataPacket systems, users;
    Parameters params;
};

// Bands like the demonstration's: five systems bands and seven users bands per table.
const Input &input() {
    static const Input in = [] {
        Input in;
        auto num = [](const char *n) { return FieldDef{QString::fromLatin1(n), FieldType::Float, 0}; };
        auto str = [](const char *n, int s) { return FieldDef{QString::fromLatin1(n), FieldType::String, s}; };
        in.systems.fields = {num("VRPERCMANUTANO"), num("NRMESPRAZOLOCA"), str("NMPRECOPROP", 50), num("VRPRECOUNITSIST"), num("VRPERCDESCSIST"),
                             str("QTFINSISTEMAS", 5), str("CDPRECOPROP", 10), num("VRPEDESFILIMATR"), num("VRPEDESFILIFILI")};
        in.users.fields = {str("NMPRECOPROP", 50), num("VRPRECOUNITSIST"), num("VRPERCDESCUSU"), str("QTFINUSUARIOS", 5), str("CDPRECOPROP", 10),
                           num("VRPERCMANUTANO"), num("NRMESPRAZOLOCA")};
        const int sysEnds[] = {1, 3, 5, 10, 20}, usrEnds[] = {1, 5, 10, 25, 50, 100, 150};
        const double sysPct[] = {0, 5, 8, 12, 15}, usrPct[] = {0, 10, 20, 30, 40, 50, 55};
        for (int t = 1; t <= kTables; ++t) {
            const QString code = QStringLiteral("%1").arg(t, 10, 10, QLatin1Char('0'));
            const QString name = QStringLiteral("Tabela de Preço %1").arg(t);
            const double price = 1000 + 7.5 * t, maint = price * 0.18;
            for (int i = 0; i < 5; ++i)
                in.systems.rows.append({maint, 36.0, name, price, sysPct[i], QStringLiteral("%1").arg(sysEnds[i], 5, 10, QLatin1Char('0')), code, 10.0, 15.0});
            for (int i = 0; i < 7; ++i)
                in.users.rows.append({name, price, usrPct[i], QStringLiteral("%1").arg(usrEnds[i], 5, 10, QLatin1Char('0')), code, maint, 36.0});
        }
        in.params.systems = 20;
        in.params.users = 150;
        in.params.types = {PriceType::Licence, PriceType::Maintenance, PriceType::Rental};
        in.params.mode = LocationMode::BranchBranch;
        in.params.index = 1.0554;
        return in;
    }();
    return in;
}

ReportDocument fullDocument() {
    const Input &in = input();
    const Result r = simulate(in.systems, in.users, in.params);
    Cot003::Header h;
    h.tables = QStringLiteral("Todas");
    h.types = QStringLiteral("Licença de Uso, Manutenção, Locação");
    h.mode = modeCaption(in.params.mode);
    h.index = in.params.index;
    return Cot003::build(toAuxPacket(r.rows), h);
}

void BM_Simulation(benchmark::State &state) {
    const Input &in = input();
    qint64 rows = 0;
    for (auto _ : state) {
        const Result r = simulate(in.systems, in.users, in.params);
        rows = r.rows.size();
        benchmark::DoNotOptimize(r.rows.data());
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_Simulation)->Unit(benchmark::kMillisecond);

void BM_Document(benchmark::State &state) {
    for (auto _ : state) benchmark::DoNotOptimize(fullDocument().matrices.size());
}
BENCHMARK(BM_Document)->Unit(benchmark::kMillisecond);

void BM_Pdf(benchmark::State &state) {
    const ReportDocument doc = fullDocument();
    int pages = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        pages = ReportFiles::writePdf(doc, &out);
        bytes = out.size();
    }
    state.counters["pages"] = pages;
    state.counters["MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_Pdf)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Xlsx(benchmark::State &state) {
    const ReportDocument doc = fullDocument();
    const QString path = QDir::temp().filePath(QStringLiteral("bench_cot003.xlsx"));
    for (auto _ : state) ReportFiles::save(doc, path, ReportFiles::Format::Xlsx);
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
    QFile::remove(path);
}
BENCHMARK(BM_Xlsx)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Csv(benchmark::State &state) {
    const ReportDocument doc = fullDocument();
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        ReportFiles::writeCsv(doc, &out);
        benchmark::DoNotOptimize(out.size());
    }
}
BENCHMARK(BM_Csv)->Unit(benchmark::kMillisecond)->Iterations(3);

// From a built report to its preview window with the first page drawn: the
// layout of every page, the window, and the pages in view.
void BM_PreviewFirstPage(benchmark::State &state) {
    const ReportDocument doc = fullDocument();
    int pages = 0;
    for (auto _ : state) {
        ReportEngine engine;
        engine.setDocument(doc);
        ReportPreviewDialog dialog(engine);
        dialog.resize(1100, 760);
        dialog.show();
        QApplication::processEvents();
        if (dialog.view()->pagesDrawn() == 0) dialog.view()->viewport()->grab();
        pages = dialog.view()->pageCount();
        benchmark::DoNotOptimize(dialog.view()->pagesDrawn());
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PreviewFirstPage)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same with Qt's preview widget, as the screen had it: every page drawn
// before the first shows. Slow: run it on its own with
// --benchmark_filter=BM_PreviewAllPagesUpFront.
void BM_PreviewAllPagesUpFront(benchmark::State &state) {
    const ReportDocument doc = fullDocument();
    for (auto _ : state) {
        ReportEngine engine;
        engine.setDocument(doc);
        QPrintPreviewWidget preview(&engine.printer());
        QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, [&engine](QPrinter *printer) { engine.paint(*printer); });
        preview.resize(1100, 760);
        preview.updatePreview();
        benchmark::DoNotOptimize(preview.pageCount());
    }
}
BENCHMARK(BM_PreviewAllPagesUpFront)->Unit(benchmark::kMillisecond)->Iterations(1);

// Writes the three files once, timing each from the rows (simulation included).
void writeFiles(const QString &dir) {
    QDir().mkpath(dir);
    for (const auto &[name, format] : {std::pair{"pdf", ReportFiles::Format::Pdf}, std::pair{"xlsx", ReportFiles::Format::Xlsx},
                                       std::pair{"csv", ReportFiles::Format::Csv}}) {
        QElapsedTimer t;
        t.start();
        const ReportDocument doc = fullDocument();
        const QString path = QDir(dir).filePath(QStringLiteral("cot003.%1").arg(QString::fromLatin1(name)));
        const int pages = ReportFiles::save(doc, path, format);
        std::printf("%s %.0f ms %.1f MB%s\n", name, double(t.nsecsElapsed()) / 1e6, double(QFileInfo(path).size()) / 1e6,
                    pages ? qPrintable(QStringLiteral(" %1 páginas").arg(pages)) : "");
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--write") == 0) {
            writeFiles(QString::fromLocal8Bit(argv[i + 1]));
            for (int j = i; j + 2 < argc; ++j) argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
