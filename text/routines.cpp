#include "routines.h"

#include <QRegularExpression>
#include <cmath>

bool EmptyString(const QString &text) { return text.trimmed().isEmpty(); }

QString AllTrim(const QString &text) { return text.trimmed(); }

QString Ajusta(const QString &text, int width) {
    const QString t = text.trimmed();
    if (t.size() >= width) return t;
    return QString(width - t.size(), QLatin1Char('0')) + t;
}

double RoundDec(double value, int decimals) {
    if (!std::isfinite(value) || value == 0.0) return value;
    // Round on the value's 15 significant decimal digits, so that 1.005 (stored
    // as 1.00499999...) rounds to 1.01 as a person reading it expects.
    const QString s = QString::number(std::fabs(value), 'e', 14);
    const int epos = s.indexOf(QLatin1Char('e'));
    const int exp = s.mid(epos + 1).toInt();
    QString digits = s.left(epos);
    digits.remove(QLatin1Char('.'));
    const int keep = exp + 1 + decimals;  // significant digits that survive
    if (keep >= digits.size()) return value;
    if (keep < 0) return 0.0;
    qint64 kept = keep == 0 ? 0 : digits.left(keep).toLongLong();
    if (digits[keep] >= QLatin1Char('5')) kept += 1;
    const double r = decimals >= 0 ? double(kept) / std::pow(10.0, decimals) : double(kept) * std::pow(10.0, -decimals);
    return value < 0 ? -r : r;
}

namespace NumberText {

static QString groupThousands(const QString &intPart) {
    QString out;
    const int n = intPart.size();
    for (int i = 0; i < n; ++i) {
        out.append(intPart[i]);
        const int left = n - 1 - i;
        if (left > 0 && left % 3 == 0) out.append(QLatin1Char('.'));
    }
    return out;
}

int decimals(const QString &pattern) {
    if (pattern.isEmpty()) return -1;
    const int dot = pattern.indexOf(QLatin1Char('.'));
    int count = 0;
    if (dot >= 0)
        for (int i = dot + 1; i < pattern.size() && (pattern[i] == QLatin1Char('0') || pattern[i] == QLatin1Char('#')); ++i)
            ++count;
    return count;
}

QString format(double value, const QString &pattern) {
    if (pattern.isEmpty()) {
        QString s = QString::number(value, 'g', 15);
        s.replace(QLatin1Char('.'), QLatin1Char(','));
        return s;
    }
    const int dot = pattern.indexOf(QLatin1Char('.'));
    const int decimals = NumberText::decimals(pattern);
    const bool thousands = pattern.left(dot < 0 ? pattern.size() : dot).contains(QLatin1Char(','));
    const double rounded = RoundDec(value, decimals);
    QString s = QString::number(std::fabs(rounded), 'f', decimals);
    QString intPart = s, fracPart;
    const int sep = s.indexOf(QLatin1Char('.'));
    if (sep >= 0) { intPart = s.left(sep); fracPart = s.mid(sep + 1); }
    if (thousands) intPart = groupThousands(intPart);
    QString out = intPart;
    if (!fracPart.isEmpty()) out += QLatin1Char(',') + fracPart;
    if (rounded < 0) out.prepend(QLatin1Char('-'));
    return out;
}

bool brazilian(const QString &text, QString *withoutThousands) {
    static const QRegularExpression form(QStringLiteral("^(\\d{1,3}(\\.\\d{3})+|\\d+)(,\\d+)?$"));
    const QString t = text.trimmed();
    if (!form.match(t).hasMatch()) return false;
    *withoutThousands = QString(t).remove(QLatin1Char('.'));
    return true;
}

bool parse(const QString &text, double *out) {
    QString t = text.trimmed();
    if (t.isEmpty()) return false;
    QString sign;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) { sign = t.left(1); t = t.mid(1); }
    if (t.isEmpty()) return false;
    for (const QChar c : t)
        if (!c.isDigit() && c != QLatin1Char(',') && c != QLatin1Char('.')) return false;
    if (!t[0].isDigit() && !(t.size() > 1 && t[1].isDigit())) return false;
    const int commas = t.count(QLatin1Char(','));
    const int dots = t.count(QLatin1Char('.'));
    if (commas > 1) return false;
    QString plain;
    auto thousandsOk = [](const QString &intPart) {
        const QStringList groups = intPart.split(QLatin1Char('.'));
        if (groups.first().isEmpty() || groups.first().size() > 3) return false;
        for (int i = 1; i < groups.size(); ++i)
            if (groups[i].size() != 3) return false;
        return true;
    };
    if (commas == 1) {
        const QString intPart = t.left(t.indexOf(QLatin1Char(',')));
        const QString frac = t.mid(t.indexOf(QLatin1Char(',')) + 1);
        if (frac.contains(QLatin1Char('.'))) return false;
        if (dots > 0 && !thousandsOk(intPart)) return false;
        plain = QString(intPart).remove(QLatin1Char('.')) + QLatin1Char('.') + frac;
    } else {
        if (dots > 0 && !thousandsOk(t)) return false;
        plain = QString(t).remove(QLatin1Char('.'));
    }
    if (plain.startsWith(QLatin1Char('.'))) plain.prepend(QLatin1Char('0'));
    bool ok = false;
    const double v = (sign + plain).toDouble(&ok);
    if (!ok || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

QString commaForm(const QString &text) {
    const QString t = text.trimmed();
    if (t.count(QLatin1Char('.')) != 1 || t.contains(QLatin1Char(','))) return QString();
    double v = 0;
    if (parse(t, &v)) return QString();
    QString comma = t;
    comma.replace(QLatin1Char('.'), QLatin1Char(','));
    return parse(comma, &v) ? comma : QString();
}

QString commaFormMessage(const QString &text) {
    return QStringLiteral("Use a vírgula para os decimais: %1").arg(commaForm(text));
}

}  // namespace NumberText

namespace DateText {

QString format(const QDateTime &value) {
    if (!value.isValid()) return QString();
    return value.date().toString(QStringLiteral("dd/MM/yyyy"));
}

bool parse(const QString &text, QDateTime *out) {
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return false;
    const QDate d(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    if (!d.isValid()) return false;
    *out = QDateTime(d, QTime(0, 0));
    return true;
}

}  // namespace DateText

QString DateMask() { return QStringLiteral("99/99/9999;_"); }
