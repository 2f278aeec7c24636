#include "report_cell.h"

#include "errors.h"
#include "report_layout.h"
#include "report_run.h"

#include <QSaveFile>

namespace ReportCell {

namespace {

QString field(const QString &text) {
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))) return text;
    return QLatin1Char('"') + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// The report's printed cent value, without its thousands dots: data, not a page.
QString price(double value) { return ReportLayout::cellText(value).remove(QLatin1Char('.')); }

}  // namespace

QByteArray csv(const QVector<PriceSimulation::CellPrice> &cells) {
    QByteArray out = "TIPO;CDPRECOPROP;NMPRECOPROP;MODLOC;SISTEMAS;USUARIOS;PRECO\n";
    for (const auto &c : cells) {
        const QStringList line{field(c.type), field(c.code), field(c.name), field(c.mode), QString::number(c.systems),
                               QString::number(c.users), price(c.value)};
        out += line.join(QLatin1Char(';')).toUtf8() + '\n';
    }
    return out;
}

qint64 run(const ReportOptions &o, ReportSource &source) {
    PriceSimulation::Parameters p;
    const PriceSimulation::Result result = ReportRun::simulateChecked(o, source, p);
    const auto cells = PriceSimulation::cellPrices(result.rows, p.users);
    const QByteArray bytes = csv(cells);
    if (o.output == QLatin1String("-")) {
        ReportRun::writeStandardOutput(bytes);
        return cells.size();
    }
    QSaveFile file(o.output);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EAppError(QStringLiteral("Não foi possível gravar \"%1\": %2").arg(o.output, file.errorString()));
    return cells.size();
}

}  // namespace ReportCell
