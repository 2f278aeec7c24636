#include "report_cot003.h"

#include "routines.h"

#include <QMap>

namespace Cot003 {

namespace {

QString indexText(double index) { return QString::number(index, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(',')); }

}  // namespace

ReportDocument build(const DataPacket &aux, const Header &header) {
    ReportDocument doc;
    doc.code = Code;
    doc.title = header.title;
    doc.issued = header.issued;
    doc.header = {{QStringLiteral("Tabelas de preço"), header.tables},
                  {QStringLiteral("Tipos de preço"), header.types},
                  {QStringLiteral("Modo/Local Processamento"), header.mode},
                  {QStringLiteral("Índice do mês"), indexText(header.index)},
                  {QStringLiteral("Data"), header.issued.toString(QStringLiteral("dd/MM/yyyy hh:mm"))}};
    doc.columnAxis = QStringLiteral("Sistemas");
    doc.rowAxis = QStringLiteral("Usuários");
    doc.keyNames = {QStringLiteral("TIPO"), QStringLiteral("CDPRECOPROP"), QStringLiteral("NMPRECOPROP"), QStringLiteral("MODLOC")};
    doc.keyLabels = {QStringLiteral("Tipo"), QStringLiteral("Código"), QStringLiteral("Tabela de Preço"), QStringLiteral("Modo/Local")};
    doc.rowKeyName = QStringLiteral("USUARIOS");

    const int cType = aux.fieldIndex(QStringLiteral("TIPO")), cCode = aux.fieldIndex(QStringLiteral("CDPRECOPROP")),
              cName = aux.fieldIndex(QStringLiteral("NMPRECOPROP")), cMode = aux.fieldIndex(QStringLiteral("MODLOC"));
    QVector<int> valueCols;
    for (int k = 1; k <= 20; ++k) {
        const int c = aux.fieldIndex(Ajusta(QString::number(k), 2));
        if (c < 0) break;
        valueCols.append(c);
    }
    if (cType < 0 || cCode < 0 || cName < 0 || cMode < 0 || valueCols.isEmpty()) return doc;

    ReportMatrix *current = nullptr;
    for (const Row &row : aux.rows) {
        const QStringList keys{row.value(cType).toString(), row.value(cCode).toString(), row.value(cName).toString(),
                               row.value(cMode).toString()};
        if (!current || current->keys != keys) {
            ReportMatrix m;
            m.keys = keys;
            m.heading = QStringLiteral("%1  —  %2  %3  —  %4").arg(keys[0], keys[1], keys[2], keys[3]);
            m.sheet = keys[0];
            // The columns of a run: up to the last field that holds a value.
            for (int k = int(valueCols.size()); k > 0; --k)
                if (row.value(valueCols[k - 1]).isValid() && !row.value(valueCols[k - 1]).isNull()) {
                    m.columns = k;
                    break;
                }
            doc.matrices.append(m);
            current = &doc.matrices.last();
        }
        for (int k = 0; k < current->columns; ++k) {
            const QVariant &v = row.value(valueCols[k]);
            current->values.append(v.isValid() && !v.isNull() ? v.toDouble() : ReportMatrix::none());
        }
        ++current->rows;
    }
    return doc;
}

QMap<QString, QString> toParams(const Header &h) {
    return {{QStringLiteral("titulo"), h.title},
            {QStringLiteral("tabelas"), h.tables},
            {QStringLiteral("tipos"), h.types},
            {QStringLiteral("modo"), h.mode},
            {QStringLiteral("indice"), QString::number(h.index, 'g', 17)},
            {QStringLiteral("emissao"), h.issued.toString(Qt::ISODate)}};
}

Header fromParams(const QMap<QString, QString> &p) {
    Header h;
    if (p.contains(QStringLiteral("titulo"))) h.title = p.value(QStringLiteral("titulo"));
    h.tables = p.value(QStringLiteral("tabelas"));
    h.types = p.value(QStringLiteral("tipos"));
    h.mode = p.value(QStringLiteral("modo"));
    h.index = p.value(QStringLiteral("indice"), QStringLiteral("1")).toDouble();
    const QDateTime issued = QDateTime::fromString(p.value(QStringLiteral("emissao")), Qt::ISODate);
    if (issued.isValid()) h.issued = issued;
    return h;
}

}  // namespace Cot003
