#pragma once
// Data packets: the rows that travel between the application server and a
// client table, and the delta of a client table's pending changes. One codec
// (JSON, see the wire protocol) serves both the desktop and the server.

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QVariant>
#include <QVector>
#include <stdexcept>

enum class FieldType { String, Float, Integer, DateTime };

struct FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;  // characters, for String fields

    bool operator==(const FieldDef &o) const { return name == o.name && type == o.type && size == o.size; }
};

// A row holds one QVariant per field: QString, double, qint64 or QDateTime;
// an invalid QVariant is null.
using Row = QVector<QVariant>;

struct DataPacket {
    QVector<FieldDef> fields;
    QVector<Row> rows;

    int fieldIndex(const QString &name) const;  // case-insensitive; -1 when absent
};

struct DeltaChange {
    enum Op { Insert, Update, Delete };
    Op op = Insert;
    Row oldValues;  // Update, Delete
    Row newValues;  // Insert, Update
};

struct Delta {
    QVector<FieldDef> fields;
    QVector<DeltaChange> changes;

    int fieldIndex(const QString &name) const;
    bool isEmpty() const { return changes.isEmpty(); }
};

// Raised for a packet or delta that does not follow the format; the message
// is a sentence in Portuguese for the user.
class PacketError : public std::runtime_error {
public:
    explicit PacketError(const QString &message);
    QString message() const { return m_message; }

private:
    QString m_message;
};

namespace PacketCodec {

QString fieldTypeName(FieldType t);
bool fieldTypeFromName(const QString &name, FieldType *out);

QJsonObject toJson(const DataPacket &packet);
QJsonObject toJson(const Delta &delta);
DataPacket packetFromJson(const QJsonValue &json);  // throws PacketError
Delta deltaFromJson(const QJsonValue &json);        // throws PacketError

QByteArray encode(const DataPacket &packet);
DataPacket decodePacket(const QByteArray &text);  // throws PacketError

// Values as the wire carries them.
QJsonValue valueToJson(const QVariant &value, FieldType type);
QVariant valueFromJson(const QJsonValue &json, const FieldDef &field, int row);  // throws PacketError

// Brings a value to the field's type (text to number, number to text, ...).
// Returns false when it cannot be done.
bool coerce(const QVariant &in, const FieldDef &field, QVariant *out);

QString dateTimeToIso(const QDateTime &dt);
QDateTime dateTimeFromIso(const QString &text);  // invalid when malformed

}  // namespace PacketCodec
