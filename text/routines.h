#pragma once
// Text and number routines shared by every screen. Numbers and dates are shown
// and typed the Brazilian way: 1.234,56 and dd/mm/yyyy.

#include <QDateTime>
#include <QString>

bool EmptyString(const QString &text);  // empty or only blanks
QString AllTrim(const QString &text);
QString Ajusta(const QString &text, int width);  // left-pads with "0" to width
double RoundDec(double value, int decimals);     // half away from zero, on the decimal digits

namespace NumberText {
// Formats like "#,##0.00" (thousands dot, decimal comma), "0.00", "0" or "" (general).
QString format(double value, const QString &pattern = QString());
// The decimals a pattern shows ("#,##0.00": 2, "0": 0); -1 for the general one ("").
int decimals(const QString &pattern);
// Reads a number typed the Brazilian way ("1.234,56", "1234,56", "1.500"):
// the full stop only separates groups of three digits, so "2.5" or "12.34"
// is no number at all. Blanks around are ignored.
bool parse(const QString &text, double *out);
// For a text that parse refuses because a full stop stands where the comma
// belongs ("2.5"), the same number in comma form ("2,5"); otherwise empty.
QString commaForm(const QString &text);
// The message that refuses such a text: "Use a vírgula para os decimais: 2,5".
QString commaFormMessage(const QString &text);
// True for an unsigned number in strict Brazilian form: "1.234,56" (points
// every three digits) or "1234,56"; gives it back without its thousands points.
bool brazilian(const QString &text, QString *withoutThousands);
}  // namespace NumberText

namespace DateText {
QString format(const QDateTime &value);  // dd/mm/yyyy
// Reads dd/mm/yyyy (also d/m/yyyy); false for impossible dates such as 31/02/2026.
bool parse(const QString &text, QDateTime *out);
}  // namespace DateText

// The edit mask of date cells (QLineEdit input mask syntax).
QString DateMask();
