#pragma once
// The one way a screen writes: a client table's pending changes (its delta)
// go to a named set-method of the application server; once the server took
// them the change log is merged, and the host's local copies of the tables
// the change touches are declared stale. A refusal is shown and raised, and
// the changes stay pending, to go again with the next send.

#include <QObject>
#include <QString>
#include <QStringList>

#include "dialogs.h"  // WaitKind

class TClientTable;
class TNetConnection;

struct ApplyOptions {
    WaitKind wait = WaitKind::None;
    QObject *waitOver = nullptr;
    QStringList staleCaches;  // host cache names declared stale after a taken change
    // Methods taking several deltas: the delta goes in this argument, the
    // other arguments are Null.
    int deltaPosition = 0;
    int argumentCount = 1;
};

// Sends the table's delta to method when it holds changes. True when changes
// were sent and merged, false when there was nothing to send; a refusal is
// shown by CheckResultServ and raised. When the server cannot tell whether
// the change was written (RpcCode::OutcomeUnknown) it is shown as a warning
// that says so, and the changes are neither merged nor dropped: the user
// checks, and a change sent again that had been written is refused by the
// server (a taken key, or a conflict with the stored row), never applied twice.
bool ApplyChanges(TNetConnection &net, TClientTable &table, const QString &method, const ApplyOptions &options = {});
