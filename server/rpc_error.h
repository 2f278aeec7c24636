#pragma once
// Errors a remote method answers with. The message is a complete sentence in
// Brazilian Portuguese, shown to the user as it is.

#include <QString>
#include <exception>

namespace RpcCode {
constexpr int ParseError = -32700;      // unreadable JSON
constexpr int InvalidRequest = -32600;  // not a request
constexpr int MethodNotFound = -32601;  // unknown method
constexpr int InvalidParams = -32602;   // wrong number or kind of arguments
constexpr int Refused = -32000;         // refused by a business rule
constexpr int Conflict = -32001;        // another user changed or removed the record
constexpr int Storage = -32002;         // storage failure
}  // namespace RpcCode

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
