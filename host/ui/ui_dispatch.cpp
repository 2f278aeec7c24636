#include "ui_dispatch.h"

#include "dialogs.h"
#include "errors.h"
#include "packet.h"

#include <QString>

QString ExceptionMessage(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const EAbort &) {
        return QString();  // EServerError included: already shown
    } catch (const EAppError &e) {
        return e.message();
    } catch (const PacketError &e) {
        return e.message();
    } catch (const std::exception &e) {
        const QString what = QString::fromLocal8Bit(e.what());
        return what.isEmpty() ? QStringLiteral("Erro inesperado.") : what;
    } catch (...) {
        return QStringLiteral("Erro inesperado.");
    }
}

bool RunGuardedOk(const std::function<void()> &fn) {
    if (!fn) return true;
    try {
        fn();
        return true;
    } catch (...) {
        const QString text = ExceptionMessage(std::current_exception());
        if (!text.isEmpty()) {
            try {
                Dialogs().showMessage(text, MsgType::Error, MsgButton::Ok);
            } catch (...) {
                // A failing dialog must not take the event loop down with it.
            }
        }
        return false;
    }
}

void RunGuarded(const std::function<void()> &fn) { RunGuardedOk(fn); }
