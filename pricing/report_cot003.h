#pragma once
// The report "COT003": the price simulation's rows (the report table cdsAux)
// as one matrix per price type and price table, systems across and users down.

#include "packet.h"
#include "report_document.h"

#include <QMap>

namespace Cot003 {

inline const QString Code = QStringLiteral("COT003");

// What the title block says; the screen and cot-report fill it.
struct Header {
    QString title = QStringLiteral("Tabela de Preço - Proposta Comercial");
    QString tables;  // "Todas" or the chosen codes
    QString types;   // the price types, comma separated
    QString mode;    // the location mode's caption
    double index = 1.0;
    QDateTime issued = QDateTime::currentDateTime();
};

// Rows of cdsAux in the order built: consecutive rows of one price type,
// price table and mode form a matrix; a row's position in it is its number
// of users.
ReportDocument build(const DataPacket &aux, const Header &header);

// The header's values travel as text (the base screen's report parameters).
QMap<QString, QString> toParams(const Header &header);
Header fromParams(const QMap<QString, QString> &params);

}  // namespace Cot003
