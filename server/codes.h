#pragma once
// Codes and quantities as the server stores them: price table codes of ten
// digits, operator codes of twelve characters and service type codes of three,
// left-padded with "0"; band quantities of five digits.

#include <QString>
#include <QStringList>

namespace Codes {

constexpr int PriceTableWidth = 10;
constexpr int OperatorWidth = 12;
constexpr int ServiceTypeWidth = 3;
constexpr int QuantityWidth = 5;

// The stored form of a value, when it can have one: blanks trimmed and
// left-padded with "0". Text that cannot be such a code is returned trimmed,
// so that the rules refuse it by name.
QString priceTable(const QString &text);
QString operatorCode(const QString &text);
QString serviceType(const QString &text);
QString quantity(const QString &text);

bool isPriceTable(const QString &code);   // exactly ten digits
bool isOperator(const QString &code);     // twelve letters, digits, ".", "_" or "-"
bool isServiceType(const QString &code);  // three letters or digits
bool isQuantity(const QString &text);     // exactly five digits

// Arguments: the stored form, or an empty text for an empty argument; anything
// that cannot be a code raises "wrong kind of argument" naming what it is.
QString priceTableArg(const QString &text);
QString operatorArg(const QString &text);
QString serviceTypeArg(const QString &text);
QString quantityArg(const QString &text, const QString &what);

// A selection string: codes joined by commas, "T" for all, empty for none.
struct Selection {
    bool all = false;
    QStringList codes;  // stored forms, without repeats, in the order given
};
Selection priceTableSelection(const QString &text);
Selection operatorSelection(const QString &text);

// Text from a client, cut short and made printable, to name a record in a message.
QString shown(const QString &text, int max = 40);

}  // namespace Codes
