#pragma once
// The checks that keep the discount bands of a price table a clean series:
// every band complete and within its limits, no two bands starting at the
// same quantity, no band reaching into another. Each works on the current row
// of one list (a BandSide) and either returns or shows its message with the
// cursor on the field concerned and aborts the action under way.

#include "bands.h"

#include <QString>

class TField;

namespace BandChecks {

// Required values, limits and a repeated first quantity (vd_QTINISISTEMAS /
// vd_QTINIUSUARIOS). With show false a failing item ends the check silently.
void RequiredValues(TPageHost &f, const BandSide &s, bool show);
// A new band against the stored ones, for the column in which the cursor
// stands (vd_IntervSis / vd_IntervUsu).
void NewBand(TPageHost &f, const BandSide &s);
// A changed last quantity of a stored band (vd_VdFinSistEdit / vd_VdFinUsuEdit).
void ChangedLast(TPageHost &f, const BandSide &s);
// A changed first quantity of a stored band (vd_QtMaxFin for one list); acts
// only while the list's own sub-page is in front.
void ChangedFirst(TPageHost &f, const BandSide &s);

// The price table the list shown belongs to: its rows' own code, or the
// current price table when the list has no row yet.
QString ListPriceTable(TPageHost &f, const BandSide &s);

// Puts the cursor on the field, shows the text as an error and aborts.
[[noreturn]] void Refuse(TField *field, const QString &text);
// True while Refuse moves the cursor: that move is not the user leaving a
// column, so the column-exit checks stay out of it.
bool PlacingCursor();

// A catalogue text with its "%s" filled.
QString Filled(const QString &text, const QString &value);
// A quantity text as a whole number; false when it is empty or not a number.
bool WholeNumber(const QString &text, qint64 *out);
// The stored form of a quantity: left-padded with "0" to five characters.
QString Padded(const QString &text);
// Pads a quantity field of the row being edited in place; an empty one stays empty.
void PadField(TField *field);

}  // namespace BandChecks
