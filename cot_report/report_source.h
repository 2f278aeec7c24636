#pragma once
// Where cot-report reads: a running application server (HTTP) or the database
// itself, opened through the server library and served by its method registry
// in this process. Either way the same remote methods answer.

#include "net_connection.h"

#include <memory>

class ReportSource {
public:
    virtual ~ReportSource() = default;
    // Calls a remote method; raises EAppError with the server's message when
    // it refuses or cannot be reached.
    virtual DataPacket call(const QString &method, const QVector<RpcArg> &args) = 0;

    // EAppError on a bad URL. An https:// server is checked by the trust;
    // with none given, by the certificate cot-host accepted for it, else the system's store.
    static std::unique_ptr<ReportSource> server(const QString &url, const QString &token, TlsTrust trust = {});
    static std::unique_ptr<ReportSource> database(const QString &location);                 // EAppError when it cannot open
};
