#include "discount_types.h"

namespace DiscountTypes {

QString caption(const QString &code) {
    for (const DiscountType &t : All)
        if (code.trimmed() == t.codeText()) return t.captionText();
    return code;
}

QString code(const QString &text) {
    const QString t = text.trimmed();
    for (const DiscountType &d : All)
        if (t == d.codeText() || t == d.captionText()) return d.codeText();
    return {};
}

}  // namespace DiscountTypes
