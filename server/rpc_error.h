#pragma once
// Errors a remote method answers with. The message is a complete sentence in
// Brazilian Portuguese, shown to the user as it is.

#include <rpc_codes.h>

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <exception>

class RpcError : public std::exception {
public:
    RpcError(int code, QString message) : m_code(code), m_message(std::move(message)) {}
    int code() const { return m_code; }
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return "rpc error"; }

private:
    int m_code;
    QString m_message;
};

[[noreturn]] inline void refuse(const QString &message) { throw RpcError(RpcCode::Refused, message); }
[[noreturn]] inline void conflict(const QString &message) { throw RpcError(RpcCode::Conflict, message); }
[[noreturn]] inline void invalidParams(const QString &message) { throw RpcError(RpcCode::InvalidParams, message); }

// The one writer of error replies: {"jsonrpc":"2.0","id":ID,"error":{"code":C,"message":M}}.
QByteArray rpcErrorBody(const QJsonValue &id, int code, const QString &message);
