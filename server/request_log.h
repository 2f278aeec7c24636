#pragma once
// The server's log of one line per request, written to the standard error by
// a thread of its own every few milliseconds. A request only appends its line
// to a buffer, with no thread switch: when whatever reads the log stops
// reading (a full pipe, a stalled terminal), the requests go on being
// answered, lines beyond the buffer are dropped and the number dropped is
// written once the log flows again.

#include <QByteArray>
#include <QByteArrayView>

namespace RequestLog {

// One request's line: stamp, what, milliseconds (none when ms < 0), outcome.
void entry(QByteArrayView what, double ms, QByteArrayView outcome);
// Queues one whole line (ending in '\n'); never waits for the output.
void write(const QByteArray &line);
// Waits up to timeoutMs for the queued lines to be written (a stopping server).
void flush(int timeoutMs);

}  // namespace RequestLog
