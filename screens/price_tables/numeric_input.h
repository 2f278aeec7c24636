#pragma once
// The numeric cell input rule shared by every grid of the maintenance screen
// that holds a decimal number, typed the Brazilian way: the full stop
// separates thousands, the comma the decimals, and a typed number keeps
// within nine integer digits.

#include <QChar>
#include <QString>

class TDBGrid;

// Runs last in a numeric column's key filter; key comes back unchanged or as
// the null character when it is dropped.
void Vd_Virgula(TDBGrid *grid, const QString &fieldName, QChar &key);

// The largest number a numeric cell takes.
constexpr double kMaxTypedNumber = 999999999.0;
