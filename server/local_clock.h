#pragma once
// The local wall clock as text, for the lines and records written on every
// request. Qt's local-time conversions look at the time zone file each time
// (a stat per call); this works the calendar out once a second per thread.

#include <QByteArray>
#include <QString>

namespace LocalClock {

// "2026-03-01T14:05:09.123"
void appendLogStamp(QByteArray &out);
// "2026-03-01 14:05:09", as the database keeps date-times
QString secondText();

}  // namespace LocalClock
