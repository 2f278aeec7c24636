#pragma once
// The command line of cot-report.

#include "price_simulation.h"
#include "report_files.h"
#include "value_limits.h"

#include <QStringList>

struct ReportOptions {
    QString server;    // --server URL
    QString token;     // --token KEY, or the text of --token-file FILE
    QString caFile;       // --ca FILE: the https server's certificate is verified against it
    QString fingerprint;  // --fingerprint HEX: exactly this certificate (SHA-256) is accepted
    QString database;  // --database PATH-OR-POSTGRESQL-URL
    QString tables = QStringLiteral("T");  // "T" or codes joined by commas
    QString systems = QString::number(Limits::MaxSystems);  // as typed: the checks read them
    QString users = QString::number(Limits::MaxUsers);
    QVector<PriceSimulation::PriceType> types{PriceSimulation::PriceType::Licence, PriceSimulation::PriceType::Maintenance,
                                              PriceSimulation::PriceType::Rental};
    PriceSimulation::LocationMode mode = PriceSimulation::LocationMode::HeadHead;
    ReportFiles::Format format = ReportFiles::Format::Pdf;
    QString output;  // a file, or "-" for standard output
    bool cell = false;  // --cell: only the price of exactly `systems` and `users`, as CSV
    bool help = false;
};

namespace ReportCommand {

// False with a message for the user when the arguments are not usable.
bool parse(const QStringList &args, ReportOptions *out, QString *error);
QString helpText();

}  // namespace ReportCommand
