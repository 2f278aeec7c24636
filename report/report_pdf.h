#pragma once
// A laid-out report written as PDF through cairo. Qt's PDF engine writes every
// glyph with its own text operator and compresses it all, which for a full
// price book (1.8 million values) takes seconds; cairo writes a line of
// glyphs as one string.

#include "report_layout.h"

class QIODevice;

namespace ReportPdf {

// Writes every page of the layout; false, with the reason, when it cannot.
bool write(const ReportLayout &layout, const QString &title, QIODevice *out, QString *error);

}  // namespace ReportPdf
