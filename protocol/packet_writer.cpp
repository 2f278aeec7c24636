#include "packet_writer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

bool looksLikeDate(const QString &t) {
    if (t.size() != 10 && t.size() < 19) return false;
    static const char shape[] = "dddd-dd-dd dd:dd:dd";
    const int n = t.size() == 10 ? 10 : 19;
    for (int i = 0; i < n; ++i) {
        const QChar c = t[i];
        if (shape[i] == 'd' ? (c < QLatin1Char('0') || c > QLatin1Char('9'))
                            : (i == 10 ? (c != QLatin1Char(' ') && c != QLatin1Char('T')) : c != QLatin1Char(shape[i])))
            return false;
    }
    return true;
}

}  // namespace

namespace JsonText {

namespace {

// The old way, byte by byte from Qt's own UTF-8: kept for texts with
// surrogates, whose odd cases (a half pair) Qt's encoder settles.
void appendStringViaUtf8(QByteArray &out, const QString &s) {
    const QByteArray utf8 = s.toUtf8();
    out += '"';
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        const unsigned char u = static_cast<unsigned char>(c);
        // A byte-order mark goes escaped: Qt's UTF-8 decoding drops one that
        // starts a text, and a text may well start with one.
        if (u == 0xEF && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBB &&
            static_cast<unsigned char>(utf8[i + 2]) == 0xBF) {
            out += "\\ufeff";
            i += 2;
        } else if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else out += c;
    }
    out += '"';
}

}  // namespace

// Written straight from UTF-16 into room made once: this runs for every text
// of every row of every answer.
void appendString(QByteArray &out, const QString &s) {
    const qsizetype start = out.size();
    out.resize(start + 6 * s.size() + 2);  // the longest a unit can grow is an escape of six
    char *p = out.data() + start;
    *p++ = '"';
    static const char hex[] = "0123456789abcdef";
    for (const QChar qc : s) {
        const char16_t u = qc.unicode();
        if (u < 0x80) {
            if (u == '"' || u == '\\') {
                *p++ = '\\';
                *p++ = char(u);
            } else if (u < 0x20) {
                std::memcpy(p, "\\u00", 4);
                p[4] = hex[u >> 4];
                p[5] = hex[u & 15];
                p += 6;
            } else *p++ = char(u);
        } else if (u < 0x800) {
            *p++ = char(0xC0 | (u >> 6));
            *p++ = char(0x80 | (u & 0x3F));
        } else if (QChar::isSurrogate(u)) {
            out.resize(start);
            appendStringViaUtf8(out, s);
            return;
        } else if (u == 0xFEFF) {
            std::memcpy(p, "\\ufeff", 6);  // see appendStringViaUtf8
            p += 6;
        } else {
            *p++ = char(0xE0 | (u >> 12));
            *p++ = char(0x80 | ((u >> 6) & 0x3F));
            *p++ = char(0x80 | (u & 0x3F));
        }
    }
    *p++ = '"';
    out.resize(p - out.constData());
}

void appendNumber(QByteArray &out, double d) {
    if (!std::isfinite(d)) {
        out += "null";
        return;
    }
    char buffer[32];
    // Whole numbers without exponent; others in the shortest form that reads back the same.
    const std::to_chars_result r = d == std::floor(d) && std::fabs(d) < 1e15 ? std::to_chars(buffer, buffer + sizeof buffer, qint64(d))
                                                                              : std::to_chars(buffer, buffer + sizeof buffer, d);
    out.append(buffer, r.ptr - buffer);
}

void appendValue(QByteArray &out, const QVariant &value, FieldType type) {
    if (!value.isValid() || value.isNull()) {
        out += "null";
        return;
    }
    switch (type) {
    case FieldType::String:
        appendString(out, value.toString());
        return;
    case FieldType::Float: {
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (ok) appendNumber(out, d);
        else out += "null";
        return;
    }
    case FieldType::Integer: {
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (ok && d == std::floor(d)) out += QByteArray::number(qint64(d));
        else out += "null";
        return;
    }
    case FieldType::DateTime: {
        if (value.typeId() == QMetaType::QDateTime) {
            appendString(out, PacketCodec::dateTimeToIso(value.toDateTime()));
            return;
        }
        // Read as text "yyyy-MM-dd HH:mm:ss" (or a plain date): the wire puts a "T" between.
        // The database holds valid dates (a TIMESTAMP column, or a CHECK on the
        // text); only the shape is checked here, without building a QDateTime,
        // whose local-time handling looks at the time zone files on every call.
        const QString t = value.toString();
        if (!looksLikeDate(t)) {
            out += "null";
            return;
        }
        char text[21] = "\"yyyy-MM-ddT00:00:00";
        for (int i = 0; i < 10; ++i) text[1 + i] = char(t[i].unicode());
        if (t.size() >= 19)
            for (int i = 11; i < 19; ++i) text[1 + i] = char(t[i].unicode());
        out.append(text, 20);
        out += '"';
        return;
    }
    }
    out += "null";
}

QByteArray encode(const QJsonValue &value) {
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: return QByteArrayLiteral("null");
    case QJsonValue::Bool: return value.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    case QJsonValue::Double: {
        QByteArray out;
        appendNumber(out, value.toDouble());
        return out;
    }
    case QJsonValue::String: {
        QByteArray out;
        appendString(out, value.toString());
        return out;
    }
    case QJsonValue::Array: {
        QByteArray out = "[";
        const QJsonArray a = value.toArray();
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (i) out += ',';
            out += encode(a.at(i));
        }
        return out + ']';
    }
    case QJsonValue::Object: {
        QByteArray out = "{";
        const QJsonObject o = value.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (out.size() > 1) out += ',';
            appendString(out, it.key());
            out += ':';
            out += encode(it.value());
        }
        return out + '}';
    }
    }
    return QByteArrayLiteral("null");
}

}  // namespace JsonText

void PacketWriter::addRow(const QVector<QVariant> &values) {
    addRowFrom([&values](int i) { return values.value(i); });
}

QByteArray PacketWriter::toJson() const {
    QByteArray out;
    out.reserve(m_rows.size() + 64 * m_fields.size() + 32);
    out += "{\"fields\":[";
    for (int i = 0; i < m_fields.size(); ++i) {
        const FieldDef &f = m_fields[i];
        if (i) out += ',';
        out += "{\"name\":";
        JsonText::appendString(out, f.name);
        out += ",\"type\":\"";
        out += PacketCodec::fieldTypeName(f.type).toLatin1();
        out += '"';
        if (f.type == FieldType::String) {
            out += ",\"size\":";
            out += QByteArray::number(f.size);
        }
        out += '}';
    }
    out += "],\"rows\":[";
    out += m_rows;
    out += "]}";
    return out;
}

