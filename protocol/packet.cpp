#include "packet.h"

#include "packet_writer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <optional>

#include <simdjson.h>

PacketError::PacketError(const QString &message)
    : std::runtime_error(message.toStdString()), m_message(message) {}

static int indexOfField(const QVector<FieldDef> &fields, const QString &name) {
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int DataPacket::fieldIndex(const QString &name) const { return indexOfField(fields, name); }
int Delta::fieldIndex(const QString &name) const { return indexOfField(fields, name); }

namespace PacketCodec {

QString fieldTypeName(FieldType t) {
    switch (t) {
    case FieldType::String: return QStringLiteral("string");
    case FieldType::Float: return QStringLiteral("float");
    case FieldType::Integer: return QStringLiteral("integer");
    case FieldType::DateTime: return QStringLiteral("datetime");
    }
    return QString();
}

bool fieldTypeFromName(const QString &name, FieldType *out) {
    if (name == QLatin1String("string")) *out = FieldType::String;
    else if (name == QLatin1String("float")) *out = FieldType::Float;
    else if (name == QLatin1String("integer")) *out = FieldType::Integer;
    else if (name == QLatin1String("datetime")) *out = FieldType::DateTime;
    else return false;
    return true;
}

QString dateTimeToIso(const QDateTime &dt) { return dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")); }

static int digits(const QString &s, int from, int count, bool *ok) {
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        const QChar c = s[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) { *ok = false; return 0; }
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

QDateTime dateTimeFromIso(const QString &text) {
    // Fast path for the form the wire uses: yyyy-MM-ddTHH:mm:ss, or a plain date.
    const int n = text.size();
    if ((n == 19 || n == 10) && text[4] == QLatin1Char('-') && text[7] == QLatin1Char('-')) {
        bool ok = true;
        const int y = digits(text, 0, 4, &ok), mo = digits(text, 5, 2, &ok), d = digits(text, 8, 2, &ok);
        int h = 0, mi = 0, s = 0;
        if (n == 19) {
            if (text[10] != QLatin1Char('T') && text[10] != QLatin1Char(' ')) return {};
            if (text[13] != QLatin1Char(':') || text[16] != QLatin1Char(':')) return {};
            h = digits(text, 11, 2, &ok); mi = digits(text, 14, 2, &ok); s = digits(text, 17, 2, &ok);
        }
        if (!ok) return {};
        const QDate date(y, mo, d);
        const QTime time(h, mi, s);
        if (!date.isValid() || !time.isValid()) return {};
        return QDateTime(date, time);
    }
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (dt.isValid()) dt.setTimeSpec(Qt::LocalTime);
    return dt;
}

QJsonValue valueToJson(const QVariant &value, FieldType type) {
    if (!value.isValid() || value.isNull()) return QJsonValue(QJsonValue::Null);
    switch (type) {
    case FieldType::String: return value.toString();
    case FieldType::Float: return value.toDouble();
    case FieldType::Integer: return QJsonValue(value.toLongLong());
    case FieldType::DateTime: return dateTimeToIso(value.toDateTime());
    }
    return QJsonValue(QJsonValue::Null);
}

static QString describe(const FieldDef &f, int row) {
    return row >= 0 ? QStringLiteral("campo %1, linha %2").arg(f.name).arg(row + 1)
                    : QStringLiteral("campo %1").arg(f.name);
}

// What a wire date-time carries beyond a local time to the second, or null.
// Qt would read "...Z", "...-03:00" and ".123" and then drop the zone or the
// fraction without a word, storing another instant than the one sent.
static const char *notLocalToTheSecond(const QString &text) {
    const int n = int(text.size());
    if (n <= 19) return nullptr;
    const QChar last = text[n - 1];
    if (last == QLatin1Char('Z') || last == QLatin1Char('z')) return "fuso horário";
    const int t = int(text.indexOf(QLatin1Char('T'), 0, Qt::CaseInsensitive));
    const int time = t >= 0 ? t + 1 : int(text.indexOf(QLatin1Char(' '))) + 1;
    if (time > 0 && (text.indexOf(QLatin1Char('+'), time) >= 0 || text.indexOf(QLatin1Char('-'), time) >= 0))
        return "deslocamento de fuso horário";
    if (time > 0 && (text.indexOf(QLatin1Char('.'), time) >= 0 || text.indexOf(QLatin1Char(','), time) >= 0))
        return "frações de segundo";
    return nullptr;
}

// Reads one cell; V is QJsonValue or the array's const reference, which saves
// a copy per cell when a large packet is decoded.
template <typename V>
static QVariant cellFromJson(const V &json, const FieldDef &field, int row) {
    switch (json.type()) {
    case QJsonValue::Null:
        return QVariant();
    case QJsonValue::String:
        if (field.type == FieldType::String) {
            QString s = json.toString();
            if (field.size > 0 && s.size() > field.size)
                throw PacketError(QStringLiteral("Pacote de dados inválido: %1 tem mais de %2 caracteres.")
                                      .arg(describe(field, row)).arg(field.size));
            return s;
        }
        if (field.type == FieldType::DateTime) {
            const QString text = json.toString();
            if (const char *why = notLocalToTheSecond(text))
                throw PacketError(QStringLiteral("Pacote de dados inválido: %1 tem %2 (\"%3\"); as datas e horas são locais, até o segundo "
                                                 "(aaaa-mm-ddThh:mm:ss).")
                                      .arg(describe(field, row), QString::fromUtf8(why), text.left(40)));
            QDateTime dt = dateTimeFromIso(text);
            if (!dt.isValid())
                throw PacketError(QStringLiteral("Pacote de dados inválido: %1 tem uma data inválida (\"%2\").")
                                      .arg(describe(field, row), json.toString().left(40)));
            return dt;
        }
        break;
    case QJsonValue::Double: {
        const double d = json.toDouble();
        if (field.type == FieldType::Float) {
            if (!std::isfinite(d))
                throw PacketError(QStringLiteral("Pacote de dados inválido: %1 não é um número finito.").arg(describe(field, row)));
            return d;
        }
        if (field.type == FieldType::Integer) {
            if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9007199254740992.0)
                throw PacketError(QStringLiteral("Pacote de dados inválido: %1 deveria ser um número inteiro.").arg(describe(field, row)));
            return static_cast<qint64>(d);
        }
        break;
    }
    default:
        break;
    }
    switch (field.type) {
    case FieldType::String:
        throw PacketError(QStringLiteral("Pacote de dados inválido: %1 deveria ser texto.").arg(describe(field, row)));
    case FieldType::Float:
        throw PacketError(QStringLiteral("Pacote de dados inválido: %1 deveria ser um número.").arg(describe(field, row)));
    case FieldType::Integer:
        throw PacketError(QStringLiteral("Pacote de dados inválido: %1 deveria ser um número inteiro.").arg(describe(field, row)));
    case FieldType::DateTime:
        throw PacketError(QStringLiteral("Pacote de dados inválido: %1 deveria ser uma data.").arg(describe(field, row)));
    }
    return QVariant();
}

QVariant valueFromJson(const QJsonValue &json, const FieldDef &field, int row) { return cellFromJson(json, field, row); }

bool coerce(const QVariant &in, const FieldDef &field, QVariant *out) {
    if (!in.isValid() || in.isNull()) { *out = QVariant(); return true; }
    switch (field.type) {
    case FieldType::String: {
        if (in.typeId() == QMetaType::QDateTime) *out = dateTimeToIso(in.toDateTime());
        else *out = in.toString();
        return true;
    }
    case FieldType::Float: {
        bool ok = false;
        double d = in.typeId() == QMetaType::QString ? in.toString().toDouble(&ok) : in.toDouble(&ok);
        if (!ok || !std::isfinite(d)) return false;
        *out = d;
        return true;
    }
    case FieldType::Integer: {
        bool ok = false;
        double d = in.typeId() == QMetaType::QString ? in.toString().toDouble(&ok) : in.toDouble(&ok);
        if (!ok || !std::isfinite(d) || d != std::floor(d)) return false;
        *out = static_cast<qint64>(d);
        return true;
    }
    case FieldType::DateTime: {
        if (in.typeId() == QMetaType::QDateTime) { *out = in; return in.toDateTime().isValid(); }
        if (in.typeId() == QMetaType::QDate) { *out = QDateTime(in.toDate(), QTime(0, 0)); return in.toDate().isValid(); }
        QDateTime dt = dateTimeFromIso(in.toString());
        if (!dt.isValid()) return false;
        *out = dt;
        return true;
    }
    }
    return false;
}

static QJsonArray fieldsToJson(const QVector<FieldDef> &fields) {
    QJsonArray arr;
    for (const FieldDef &f : fields) {
        QJsonObject o{{"name", f.name}, {"type", fieldTypeName(f.type)}};
        if (f.type == FieldType::String) o.insert("size", f.size);
        arr.append(o);
    }
    return arr;
}

static QJsonArray rowToJson(const Row &row, const QVector<FieldDef> &fields) {
    QJsonArray arr;
    for (int i = 0; i < fields.size(); ++i)
        arr.append(valueToJson(i < row.size() ? row[i] : QVariant(), fields[i].type));
    return arr;
}

static QVector<FieldDef> fieldsFromJson(const QJsonValue &json) {
    if (!json.isArray()) throw PacketError(QStringLiteral("Pacote de dados inválido: falta a lista de campos."));
    const QJsonArray arr = json.toArray();
    QVector<FieldDef> fields;
    fields.reserve(arr.size());
    for (const QJsonValue &v : arr) {
        const QJsonObject o = v.toObject();
        FieldDef f;
        f.name = o.value("name").toString();
        if (f.name.isEmpty() || f.name.size() > 64)
            throw PacketError(QStringLiteral("Pacote de dados inválido: campo sem nome ou com nome longo demais."));
        if (!fieldTypeFromName(o.value("type").toString(), &f.type))
            throw PacketError(QStringLiteral("Pacote de dados inválido: o campo %1 tem um tipo desconhecido.").arg(f.name));
        if (f.type == FieldType::String) {
            const double size = o.value("size").toDouble(-1);
            if (size < 1 || size > 100000 || size != std::floor(size))
                throw PacketError(QStringLiteral("Pacote de dados inválido: o campo %1 não tem um tamanho válido.").arg(f.name));
            f.size = static_cast<int>(size);
        }
        if (indexOfField(fields, f.name) >= 0)
            throw PacketError(QStringLiteral("Pacote de dados inválido: o campo %1 aparece duas vezes.").arg(f.name));
        fields.append(f);
    }
    return fields;
}

template <typename V>
static Row rowFromJson(const V &json, const QVector<FieldDef> &fields, int rowIndex) {
    if (!json.isArray())
        throw PacketError(QStringLiteral("Pacote de dados inválido: a linha %1 não é uma lista de valores.").arg(rowIndex + 1));
    const QJsonArray arr = json.toArray();
    if (arr.size() != fields.size())
        throw PacketError(QStringLiteral("Pacote de dados inválido: a linha %1 tem %2 valores para %3 campos.")
                              .arg(rowIndex + 1).arg(arr.size()).arg(fields.size()));
    Row row;
    row.reserve(fields.size());
    int i = 0;
    for (const auto cell : arr) row.append(cellFromJson(cell, fields[i++], rowIndex));
    return row;
}

QJsonObject toJson(const DataPacket &packet) {
    QJsonArray rows;
    for (const Row &r : packet.rows) rows.append(rowToJson(r, packet.fields));
    return QJsonObject{{"fields", fieldsToJson(packet.fields)}, {"rows", rows}};
}

QJsonObject toJson(const Delta &delta) {
    QJsonArray changes;
    for (const DeltaChange &c : delta.changes) {
        QJsonObject o;
        switch (c.op) {
        case DeltaChange::Insert:
            o.insert("op", "insert");
            o.insert("new", rowToJson(c.newValues, delta.fields));
            break;
        case DeltaChange::Update:
            o.insert("op", "update");
            o.insert("old", rowToJson(c.oldValues, delta.fields));
            o.insert("new", rowToJson(c.newValues, delta.fields));
            break;
        case DeltaChange::Delete:
            o.insert("op", "delete");
            o.insert("old", rowToJson(c.oldValues, delta.fields));
            break;
        }
        changes.append(o);
    }
    return QJsonObject{{"fields", fieldsToJson(delta.fields)}, {"changes", changes}};
}

DataPacket packetFromJson(const QJsonValue &json) {
    if (!json.isObject()) throw PacketError(QStringLiteral("Pacote de dados inválido: era esperado um objeto."));
    const QJsonObject o = json.toObject();
    DataPacket p;
    p.fields = fieldsFromJson(o.value("fields"));
    const QJsonValue rowsValue = o.value("rows");
    if (!rowsValue.isArray()) throw PacketError(QStringLiteral("Pacote de dados inválido: falta a lista de linhas."));
    const QJsonArray rows = rowsValue.toArray();
    p.rows.reserve(rows.size());
    int i = 0;
    for (const auto r : rows) p.rows.append(rowFromJson(r, p.fields, i++));
    return p;
}

Delta deltaFromJson(const QJsonValue &json) {
    if (!json.isObject()) throw PacketError(QStringLiteral("Pacote de alterações inválido: era esperado um objeto."));
    const QJsonObject o = json.toObject();
    Delta d;
    d.fields = fieldsFromJson(o.value("fields"));
    const QJsonValue changesValue = o.value("changes");
    if (!changesValue.isArray())
        throw PacketError(QStringLiteral("Pacote de alterações inválido: falta a lista de alterações."));
    int i = 0;
    for (const QJsonValue &cv : changesValue.toArray()) {
        const QJsonObject co = cv.toObject();
        const QString op = co.value("op").toString();
        DeltaChange c;
        if (op == QLatin1String("insert")) {
            c.op = DeltaChange::Insert;
            c.newValues = rowFromJson(co.value("new"), d.fields, i);
        } else if (op == QLatin1String("update")) {
            c.op = DeltaChange::Update;
            c.oldValues = rowFromJson(co.value("old"), d.fields, i);
            c.newValues = rowFromJson(co.value("new"), d.fields, i);
        } else if (op == QLatin1String("delete")) {
            c.op = DeltaChange::Delete;
            c.oldValues = rowFromJson(co.value("old"), d.fields, i);
        } else {
            throw PacketError(QStringLiteral("Pacote de alterações inválido: a alteração %1 tem uma operação desconhecida.").arg(i + 1));
        }
        d.changes.append(c);
        ++i;
    }
    return d;
}

QByteArray encode(const DataPacket &packet) {
    PacketWriter writer(packet.fields);
    for (const Row &r : packet.rows) writer.addRow(r);
    return writer.toJson();
}

namespace {

// A simdjson cell seen through the few QJsonValue calls cellFromJson makes.
class SimdCell {
public:
    explicit SimdCell(simdjson::dom::element e) : m_e(e) {}
    QJsonValue::Type type() const {
        switch (m_e.type()) {
        case simdjson::dom::element_type::NULL_VALUE: return QJsonValue::Null;
        case simdjson::dom::element_type::STRING: return QJsonValue::String;
        case simdjson::dom::element_type::INT64:
        case simdjson::dom::element_type::UINT64:
        case simdjson::dom::element_type::DOUBLE: return QJsonValue::Double;
        case simdjson::dom::element_type::BOOL: return QJsonValue::Bool;
        case simdjson::dom::element_type::ARRAY: return QJsonValue::Array;
        case simdjson::dom::element_type::OBJECT: return QJsonValue::Object;
        }
        return QJsonValue::Undefined;
    }
    QString toString() const {
        const std::string_view v = m_e.get_string().value_unsafe();
        QString s = QString::fromUtf8(v.data(), qsizetype(v.size()));
        // Kept as Qt's own reader keeps it: a text may start with a byte-order mark.
        if (v.size() >= 3 && v.compare(0, 3, "\xEF\xBB\xBF") == 0 && !s.startsWith(QChar(0xFEFF))) s.prepend(QChar(0xFEFF));
        return s;
    }
    double toDouble() const {
        switch (m_e.type()) {
        case simdjson::dom::element_type::INT64: return double(m_e.get_int64().value_unsafe());
        case simdjson::dom::element_type::UINT64: return double(m_e.get_uint64().value_unsafe());
        default: return m_e.get_double().value_unsafe();
        }
    }

private:
    simdjson::dom::element m_e;
};

// The packet read straight from simdjson's tree: a large packet is read in a
// fraction of the time of a QJsonDocument and then a second pass over it.
// Nothing when simdjson does not take the text (not JSON, a number beyond its
// range, ...): Qt's reader then has the last word, and its messages.
std::optional<DataPacket> decodeWithSimdjson(const QByteArray &text) {
    thread_local simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (parser.parse(text.constData(), size_t(text.size()), true).get(root) != simdjson::SUCCESS) return std::nullopt;
    simdjson::dom::object o;
    if (root.get_object().get(o) != simdjson::SUCCESS) return std::nullopt;
    DataPacket p;
    // The few field definitions go through the one reader of them.
    simdjson::dom::element fields;
    if (o["fields"].get(fields) != simdjson::SUCCESS) return std::nullopt;
    const std::string fieldsText = simdjson::to_string(fields);
    p.fields = fieldsFromJson(QJsonDocument::fromJson(QByteArray::fromStdString("[" + fieldsText + "]")).array().at(0));
    simdjson::dom::array rows;
    if (o["rows"].get_array().get(rows) != simdjson::SUCCESS)
        throw PacketError(QStringLiteral("Pacote de dados inválido: falta a lista de linhas."));
    p.rows.reserve(qsizetype(rows.size()));
    int index = 0;
    for (simdjson::dom::element r : rows) {
        simdjson::dom::array cells;
        if (r.get_array().get(cells) != simdjson::SUCCESS)
            throw PacketError(QStringLiteral("Pacote de dados inválido: a linha %1 não é uma lista de valores.").arg(index + 1));
        if (qsizetype(cells.size()) != p.fields.size())
            throw PacketError(QStringLiteral("Pacote de dados inválido: a linha %1 tem %2 valores para %3 campos.")
                                  .arg(index + 1).arg(cells.size()).arg(p.fields.size()));
        Row row;
        row.reserve(p.fields.size());
        int i = 0;
        for (simdjson::dom::element cell : cells) row.append(cellFromJson(SimdCell(cell), p.fields[i++], index));
        p.rows.append(std::move(row));
        ++index;
    }
    return p;
}

}  // namespace

DataPacket decodePacket(const QByteArray &text) {
    if (std::optional<DataPacket> p = decodeWithSimdjson(text)) return std::move(*p);
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &err);
    if (err.error != QJsonParseError::NoError)
        throw PacketError(QStringLiteral("Pacote de dados ilegível: %1.").arg(err.errorString()));
    return packetFromJson(doc.object());
}

}  // namespace PacketCodec
