#pragma once
// Demonstration data for an empty database: operators, service types, price
// tables with complete bands and permissions, market segments and the monthly
// indices from twelve months ago to twelve months ahead.

#include "db_session.h"

#include <QDate>

namespace DemoData {

bool isEmpty(DbSession &db);
// Fills the database when it is empty, in one transaction; false (and nothing
// written) when it already holds data.
bool fillIfEmpty(DbSession &db, const QDate &today = QDate::currentDate());

}  // namespace DemoData
