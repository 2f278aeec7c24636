#pragma once
// cot-report --cell: the price of exactly N systems and U users for each
// chosen table and type, one CSV line each, rounded to the cent as the
// report prints it.

#include "report_options.h"
#include "report_source.h"

namespace ReportCell {

// Raises EAppError with the report's message when refused; writes nothing then.
// Returns the lines written.
qint64 run(const ReportOptions &options, ReportSource &source);

// The CSV text of the cells (header and one line per table and type).
QByteArray csv(const QVector<PriceSimulation::CellPrice> &cells);

}  // namespace ReportCell
