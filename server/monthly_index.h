#pragma once
// The monthly index (INDICEMENSAL) the price simulation multiplies by.

#include "db_session.h"

namespace MonthlyIndex {

// "2026-03" and a positive value; false with a Portuguese reason otherwise.
bool parseMonth(const QString &text, QString *month, QString *error);
bool parseValue(const QString &text, double *value, QString *error);  // "1,0523" or "1.0523"
void set(DbSession &db, const QString &month, double value);             // inside the caller's transaction

}  // namespace MonthlyIndex
