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

    static std::unique_ptr<ReportSource> server(const QString &url, const QString &token);  // EAppError on a bad URL
    static std::unique_ptr<ReportSource> database(const QString &location);                 // EAppError when it cannot open
};
