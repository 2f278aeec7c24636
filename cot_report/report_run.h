#pragma once
// One run of cot-report: the report screen's checks in their order, the
// price simulation, the report "COT003" and the file, written whole or not
// at all.

#include "report_options.h"
#include "report_source.h"

namespace ReportRun {

// The report screen's checks in their order, then the simulation of the
// chosen tables; `p` receives the parameters the checks accepted.
PriceSimulation::Result simulateChecked(const ReportOptions &options, ReportSource &source, PriceSimulation::Parameters &p);

void writeStandardOutput(const QByteArray &bytes);

// Raises EAppError with the message of the first refusal; writes nothing then.
// Returns the rows written.
qint64 run(const ReportOptions &options, ReportSource &source);

}  // namespace ReportRun
