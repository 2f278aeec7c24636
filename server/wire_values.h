#pragma once
// What the server accepts as a value from the wire, whatever the method: text
// that is valid Unicode without NUL characters (a lone surrogate would be
// stored as another character, a NUL cut short), and whole numbers a JSON
// number carries exactly (up to 2^53; past it the last digits are lost in
// transit and a number could name another record).

#include <QJsonArray>
#include <QString>
#include <QVariant>

struct Delta;

namespace WireValues {

constexpr double MaxExactWhole = 9007199254740992.0;  // 2^53

bool validText(const QString &text);
bool exactNumber(double value);

// Each raises "wrong kind of argument" naming the argument or field.
void checkArguments(const QJsonArray &params, const QString &method);
void checkDelta(const Delta &delta, int argument, const QString &method);
// A number read from the database, before it goes out in a packet.
void checkStored(const QVariant &value, const QString &field);

}  // namespace WireValues
