#pragma once
// The server's answer as the desktop reads it. The envelope (error or result,
// the arguments written back) is read with simdjson without building a Qt JSON
// document of the whole text; the result's data is kept as text and read
// either as a data packet, by the packet codec's fast reader, or as a Qt JSON
// value, parsed the first time it is asked for.

#include "packet.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <optional>

class ReplyData {
public:
    ReplyData() = default;
    ReplyData(const QJsonValue &value) : m_value(value) {}  // NOLINT: a reply built in code
    static ReplyData fromText(QByteArray text);

    // Undefined when there is none, or when the text the server sent is not JSON.
    QJsonValue value() const;
    bool readable() const { return m_text.isEmpty() || !value().isUndefined(); }
    operator QJsonValue() const { return value(); }  // NOLINT: read where a QJsonValue is wanted
    bool isNull() const { return value().isNull(); }
    bool isString() const { return value().isString(); }
    QString toString() const { return value().toString(); }

    DataPacket packet() const;  // throws PacketError

private:
    QByteArray m_text;
    mutable std::optional<QJsonValue> m_value;
};

struct RpcAnswer {
    bool readable = false;  // a JSON object; otherwise nothing else is set
    bool isError = false;
    int errorCode = 0;
    QString errorMessage;
    ReplyData data;
    QJsonArray params;
};

namespace RpcAnswerReader {

RpcAnswer read(const QByteArray &body);

}  // namespace RpcAnswerReader
