#include "rpc_error.h"

#include <packet_writer.h>

QByteArray rpcErrorBody(const QJsonValue &id, int code, const QString &message) {
    QByteArray out;
    out.reserve(message.size() * 2 + 64);
    out += "{\"jsonrpc\":\"2.0\",\"id\":";
    out += JsonText::encode(id);
    out += ",\"error\":{\"code\":";
    out += QByteArray::number(code);
    out += ",\"message\":";
    JsonText::appendString(out, message);
    out += "}}";
    return out;
}
