#include "codes.h"

#include "rpc_error.h"

namespace {

bool allDigits(const QString &s) {
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

bool codeChars(const QString &s) {
    for (QChar c : s) {
        const bool ok = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                        (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c == QLatin1Char('.') ||
                        c == QLatin1Char('_') || c == QLatin1Char('-');
        if (!ok) return false;
    }
    return true;
}

QString pad(const QString &text, int width) {
    const QString t = text.trimmed();
    if (t.size() >= width) return t;
    return QString(width - t.size(), QLatin1Char('0')) + t;
}

}  // namespace

namespace Codes {

QString priceTable(const QString &text) {
    const QString t = text.trimmed();
    return !t.isEmpty() && t.size() <= PriceTableWidth && allDigits(t) ? pad(t, PriceTableWidth) : t;
}

QString operatorCode(const QString &text) {
    const QString t = text.trimmed();
    return !t.isEmpty() && t.size() <= OperatorWidth && codeChars(t) ? pad(t, OperatorWidth) : t;
}

QString serviceType(const QString &text) {
    const QString t = text.trimmed();
    return !t.isEmpty() && t.size() <= ServiceTypeWidth && codeChars(t) ? pad(t, ServiceTypeWidth) : t;
}

QString quantity(const QString &text) {
    const QString t = text.trimmed();
    return !t.isEmpty() && t.size() <= QuantityWidth && allDigits(t) ? pad(t, QuantityWidth) : t;
}

bool isPriceTable(const QString &code) { return code.size() == PriceTableWidth && allDigits(code); }
bool isOperator(const QString &code) { return code.size() == OperatorWidth && codeChars(code); }
bool isServiceType(const QString &code) {
    return code.size() == ServiceTypeWidth && codeChars(code) && !code.contains(QLatin1Char('.')) &&
           !code.contains(QLatin1Char('_')) && !code.contains(QLatin1Char('-'));
}
bool isQuantity(const QString &text) { return text.size() == QuantityWidth && allDigits(text); }

QString shown(const QString &text, int max) {
    QString s;
    s.reserve(std::min<qsizetype>(text.size(), max));
    for (QChar c : text) {
        if (s.size() >= max) {
            s += QStringLiteral("…");
            break;
        }
        s += c.isPrint() ? c : QLatin1Char('?');
    }
    return s;
}

QString priceTableArg(const QString &text) {
    if (text.trimmed().isEmpty()) return QString();
    const QString code = priceTable(text);
    if (!isPriceTable(code))
        invalidParams(QStringLiteral("Código de tabela de preço inválido: \"%1\". O código tem até 10 dígitos.").arg(shown(text)));
    return code;
}

QString operatorArg(const QString &text) {
    if (text.trimmed().isEmpty()) return QString();
    const QString code = operatorCode(text);
    if (!isOperator(code))
        invalidParams(QStringLiteral("Código de operador inválido: \"%1\". O código tem até 12 letras ou dígitos.").arg(shown(text)));
    return code;
}

QString serviceTypeArg(const QString &text) {
    if (text.trimmed().isEmpty()) return QString();
    const QString code = serviceType(text);
    if (!isServiceType(code))
        invalidParams(QStringLiteral("Código de tipo de serviço inválido: \"%1\". O código tem até 3 letras ou dígitos.").arg(shown(text)));
    return code;
}

QString quantityArg(const QString &text, const QString &what) {
    if (text.trimmed().isEmpty()) return QString();
    const QString q = quantity(text);
    if (!isQuantity(q))
        invalidParams(QStringLiteral("%1 inválida: \"%2\". Informe um número de até 5 dígitos.").arg(what, shown(text)));
    return q;
}

static Selection selection(const QString &text, QString (*normalise)(const QString &)) {
    Selection s;
    const QString t = text.trimmed();
    if (t.isEmpty()) return s;
    if (t == QLatin1String("T")) {
        s.all = true;
        return s;
    }
    const QStringList parts = t.split(QLatin1Char(','));
    if (parts.size() > 10000) invalidParams(QStringLiteral("A seleção tem itens demais."));
    for (const QString &part : parts) {
        if (part.trimmed().isEmpty()) continue;
        const QString code = normalise(part);
        if (!s.codes.contains(code)) s.codes.append(code);
    }
    return s;
}

Selection priceTableSelection(const QString &text) {
    return selection(text, [](const QString &part) {
        const QString code = priceTable(part);
        if (!isPriceTable(code))
            invalidParams(QStringLiteral("Seleção de tabelas de preço inválida: \"%1\" não é um código de tabela de preço.")
                              .arg(shown(part)));
        return code;
    });
}

Selection operatorSelection(const QString &text) {
    return selection(text, [](const QString &part) {
        const QString code = operatorCode(part);
        if (!isOperator(code))
            invalidParams(QStringLiteral("Seleção de operadores inválida: \"%1\" não é um código de operador.").arg(shown(part)));
        return code;
    });
}

}  // namespace Codes
