#pragma once
// Every Qt entry point (event handler, slot, action) runs screen code through
// RunGuarded: the silent abort (and the server error CheckResultServ has
// already shown) is swallowed, any other exception is shown as an error through
// the dialogs service, and nothing ever propagates into Qt's event loop.

#include <exception>
#include <functional>

class QString;

void RunGuarded(const std::function<void()> &fn);

// As RunGuarded, telling the caller whether fn ran to its end (false after an
// abort or a shown error), so a widget can keep its cursor where it was.
bool RunGuardedOk(const std::function<void()> &fn);

// The Portuguese text shown for an exception; empty for the silent ones.
QString ExceptionMessage(const std::exception_ptr &error);
