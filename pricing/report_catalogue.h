#pragma once
// The report screen's message catalogue ("key|text" lines, in order). The
// screen and cot-report refuse with the same texts.

#include <QStringList>

namespace ReportCatalogue {
QStringList lines();
QString text(const QString &key);  // the key itself when unknown
}  // namespace ReportCatalogue
