#pragma once
// The exceptions screen code raises. Qt entry points run screen code through
// one dispatch helper (host/ui) that swallows EAbort and shows anything else.
// The silent abort is the desktop's own: the server never sees it.

#include "app_error.h"

#include <QString>
#include <exception>

// The silent abort: stops the operation under way without a further message
// (a post, a delete, a column move, a report action).
class EAbort : public std::exception {
public:
    const char *what() const noexcept override { return "Operação cancelada"; }
};

// A refusal or failure reported by the application server. CheckResultServ has
// already shown it, so it travels on as silently as an abort.
class EServerError : public EAbort {
public:
    EServerError(int code, const QString &message) : m_code(code), m_message(message) {}
    int code() const { return m_code; }
    QString message() const { return m_message; }
    const char *what() const noexcept override { return "Erro do servidor de aplicação"; }

private:
    int m_code;
    QString m_message;
};

// Raises the silent abort.
[[noreturn]] inline void Abort() { throw EAbort(); }
