// The report parameter screen's report actions: the report named by lblCodRel,
// built from the rows of dtsRelatorio, through the report engine.

#include "forms.h"

#include <QCoreApplication>
#include <QDir>

void TfrmDadosGerRel::buildReport() {
    const QString code = lblCodRel->text().trimmed();
    const ReportDefinition *definition = ReportDefinitions::find(code);
    if (!definition) {
        // The catalogue's text comes with printf-style places for the code and the folder.
        QString text = msgPadrao.Msg(QStringLiteral("Arq_Rel_Err"));
        text.replace(text.indexOf(QLatin1String("%s")), 2, code);
        const int second = text.indexOf(QLatin1String("%s"));
        if (second >= 0) text.replace(second, 2, QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
        MensErro(text, true);
        return;
    }
    const DataPacket rows = dtsRelatorio && dtsRelatorio->DataSet() && dtsRelatorio->DataSet()->Active() ? dtsRelatorio->DataSet()->Data()
                                                                                                        : DataPacket();
    report.setDocument((*definition)(rows, ReportParams));
}

void TfrmDadosGerRel::sbtPreviewClick() {
    buildReport();
    report.preview(this);
}

// Every action builds from what the screen shows now, never from an older
// preview: options changed since then would otherwise go unseen.
void TfrmDadosGerRel::sbtPrintClick() {
    buildReport();
    report.print(this);
}

void TfrmDadosGerRel::sbtConfigImprClick() {
    buildReport();
    report.pageSetup(this);
}

void TfrmDadosGerRel::sbtSalvarComoClick() {
    buildReport();
    const QString written = report.saveAs(this, msgPadrao.Msg(QStringLiteral("NovoCaption")), msgPadrao.Msg(QStringLiteral("NovoPrompt")));
    // A file written in silence leaves the user wondering whether and where.
    if (!written.isEmpty())
        Dialogs().showMessage(QStringLiteral("Arquivo gravado em %1.").arg(QDir::toNativeSeparators(written)), MsgType::Information,
                              MsgButton::Ok);
}
