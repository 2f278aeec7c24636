#pragma once
// The server's description of itself: an OpenRPC document generated from the
// method registry (every method, its positional arguments with their kinds and
// which are by reference, what it answers, the error codes). Served as
// GET /openrpc.json.

#include "rpc_dispatcher.h"

#include <QByteArray>

namespace OpenRpc {

// serverUrl: the absolute URL of the remote data module, as clients reach it.
QByteArray document(const MethodRegistry &registry, const QString &serverUrl);

}  // namespace OpenRpc
