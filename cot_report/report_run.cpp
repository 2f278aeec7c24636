#include "report_run.h"
#include "method_names.h"

#include "errors.h"
#include "report_catalogue.h"
#include "report_cot003.h"
#include "report_cell.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace ReportRun {

namespace {

using namespace PriceSimulation;

[[noreturn]] void refuse(const char *key) { throw EAppError(ReportCatalogue::text(QString::fromLatin1(key))); }

// The count checks of the report screen: empty, not above 0, above the limit.
int checkCount(const QString &text, int limit, const char *emptyKey, const char *lowKey, const char *highKey) {
    if (text.trimmed().isEmpty()) refuse(emptyKey);
    const int value = text.trimmed().toInt();
    if (value <= 0) refuse(lowKey);
    if (value > limit) refuse(highKey);
    return value;
}

}  // namespace

void writeStandardOutput(const QByteArray &bytes) {
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        throw EAppError(QStringLiteral("Não foi possível escrever na saída padrão."));
}

Result simulateChecked(const ReportOptions &o, ReportSource &source, Parameters &p) {
    p.systems = checkCount(o.systems, MaxSystems, "NUM_SIST_INF", "SIST_MAIOR", "NUMSIST_ACIMA_LMT");
    p.users = checkCount(o.users, MaxUsers, "NUM_USU_INF", "USU_MAIOR", "NUMUSU_ACIMA_LMT");
    if (o.types.isEmpty()) refuse("SEL_TIPO");
    p.types = o.types;
    p.mode = o.mode;
    QString selection = o.tables;
    if (selection.isEmpty()) refuse("TBPRECO_SEL");
    if (selection == QLatin1String("T") && source.call(Method::getRelTbPreco, {QString(), QStringLiteral("T")}).rows.isEmpty())
        refuse("TB_N_CAD_OU");
    const DataPacket index = source.call(Method::getIndiceBtn, {});
    const int col = index.fieldIndex(QStringLiteral("VRINDICE"));
    if (index.rows.isEmpty() || col < 0) refuse("MES_N_CAD");
    const QVariant value = index.rows.first().value(col);
    if (!value.isValid() || value.isNull())
        throw EAppError(QStringLiteral("O índice do mês vigente está cadastrado sem valor; o relatório não pode ser calculado."));
    p.index = value.toDouble();

    const DataPacket systems = source.call(Method::getLuSist, {RpcArg::ref(&selection), o.systems.trimmed()});
    const DataPacket users = source.call(Method::getLuUsu, {RpcArg::ref(&selection), o.users.trimmed()});
    return simulate(systems, users, p);
}

qint64 run(const ReportOptions &o, ReportSource &source) {
    if (o.cell) return ReportCell::run(o, source);
    Parameters p;
    const Result result = simulateChecked(o, source, p);

    Cot003::Header h;
    h.tables = o.tables == QLatin1String("T") ? QStringLiteral("Todas") : QString(o.tables).replace(QLatin1Char(','), QStringLiteral(", "));
    QStringList types;
    for (PriceType t : {PriceType::Licence, PriceType::Maintenance, PriceType::Rental})
        if (p.types.contains(t)) types.append(typeCaption(t));
    h.types = types.join(QStringLiteral(", "));
    h.mode = modeCaption(p.mode);
    h.index = throughText(p.index);
    const ReportDocument doc = Cot003::build(toAuxPacket(result.rows), h);

    if (o.output != QLatin1String("-")) {
        ReportFiles::save(doc, o.output, o.format);
        return doc.rowCount();
    }
    // Standard output gets the whole file or nothing.
    if (o.format == ReportFiles::Format::Xlsx) {
        QTemporaryDir dir;
        if (!dir.isValid()) throw EAppError(QStringLiteral("Não foi possível criar um arquivo temporário."));
        const QString path = dir.filePath(QStringLiteral("relatorio.xlsx"));
        ReportFiles::save(doc, path, o.format);
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) throw EAppError(f.errorString());
        writeStandardOutput(f.readAll());
    } else {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        if (o.format == ReportFiles::Format::Pdf) ReportFiles::writePdf(doc, &buffer);
        else ReportFiles::writeCsv(doc, &buffer);
        writeStandardOutput(buffer.data());
    }
    return doc.rowCount();
}

}  // namespace ReportRun
