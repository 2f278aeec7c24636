#pragma once
// A report written to a file: PDF (the printed layout), XLSX (one sheet per
// group of matrices, numbers kept as numbers) or CSV (data, one line per row).
// Files appear whole or not at all: everything goes to a temporary file that is
// renamed at the end.

#include "report_document.h"

#include <QPageLayout>
#include <QString>

class QIODevice;

namespace ReportFiles {

enum class Format { Pdf, Xlsx, Csv };

// The format named by a file's extension; false when there is none we write.
bool formatFromPath(const QString &path, Format *out);
bool formatFromName(const QString &name, Format *out);  // "pdf", "xlsx", "csv"

// Landscape A4 with 10 mm margins: the page a report starts with.
QPageLayout defaultPageLayout();

// Writes the report; raises EAppError with a message for the user when the
// file cannot be written (nothing is left behind then). Returns the page count
// for PDF, else 0.
int save(const ReportDocument &doc, const QString &path, Format format, const QPageLayout &page = defaultPageLayout());

// The same, to an open device (CSV and PDF; standard output for cot-report).
int writePdf(const ReportDocument &doc, QIODevice *out, const QPageLayout &page = defaultPageLayout());
void writeCsv(const ReportDocument &doc, QIODevice *out);
// XLSX needs a file name (the library writes the zip itself).
void writeXlsx(const ReportDocument &doc, const QString &path);

// A value as data: its shortest exact text, decimal comma, no thousands separator.
QString dataText(double value);

}  // namespace ReportFiles
