#pragma once
// The error whose Portuguese message is shown as it is: raised by code shared
// beyond the desktop (the report, the pricing, cot-report); on the desktop the
// top-level handler shows it to the user.

#include <QString>
#include <stdexcept>

// An error whose Portuguese message the top-level handler shows to the user.
class EAppError : public std::runtime_error {
public:
    explicit EAppError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};
