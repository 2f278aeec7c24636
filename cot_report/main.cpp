// cot-report: the price simulation report (COT003) as PDF, XLSX or CSV,
// without a window. Exit status: 0 written, 1 refused, 2 bad arguments.

#include "errors.h"
#include "packet.h"
#include "report_options.h"
#include "report_run.h"

#include <QGuiApplication>
#include <cstdio>

namespace {

void printError(const QString &text) {
    const QByteArray line = QStringLiteral("cot-report: %1\n").arg(text).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

// Standard error carries the report's own messages only, not Qt's notes.
void quietQt(QtMsgType type, const QMessageLogContext &, const QString &text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) printError(text);
}

}  // namespace

int main(int argc, char **argv) {
    // Never a window: fonts and PDF need a GUI application, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQt);
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();

    ReportOptions options;
    QString error;
    if (!ReportCommand::parse(args, &options, &error)) {
        printError(error);
        printError(QStringLiteral("use --help para ver as opções."));
        return 2;
    }
    if (options.help) {
        const QByteArray text = ReportCommand::helpText().toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    try {
        auto source = options.database.isEmpty() ? ReportSource::server(options.server, options.token, TlsTrust{options.caFile, options.fingerprint})
                                                 : ReportSource::database(options.database);
        ReportRun::run(options, *source);
    } catch (const EAppError &e) {
        printError(e.message());
        return 1;
    } catch (const PacketError &e) {
        printError(e.message());
        return 1;
    } catch (const std::exception &e) {
        printError(QStringLiteral("falha inesperada: %1").arg(QString::fromLocal8Bit(e.what())));
        return 1;
    }
    return 0;
}
