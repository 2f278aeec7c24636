#pragma once
// The kinds of discount an operator may be granted on a price table, by the
// one-letter code PRECOPROPOPER.IDTIPODESCOPER stores.

#include <QString>

struct DiscountType {
    char code;
    const char *caption;  // UTF-8

    QString codeText() const { return QString(QLatin1Char(code)); }
    QString captionText() const { return QString::fromUtf8(caption); }
};

namespace DiscountTypes {

inline constexpr DiscountType Rental{'L', "Locação"};
inline constexpr DiscountType Maintenance{'M', "Manutenção"};
inline constexpr DiscountType Licence{'U', "Licença de Uso"};
// In the order the permission grid lists them.
inline constexpr DiscountType All[] = {Rental, Maintenance, Licence};

// The caption of a stored code; an unknown code as it is.
QString caption(const QString &code);
// The code of a caption (or of a code); empty when it is neither.
QString code(const QString &text);

}  // namespace DiscountTypes
