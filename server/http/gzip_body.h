#pragma once
// Answers sent gzipped to a client that asks (Accept-Encoding: gzip): JSON
// shrinks to a tenth or less, which over a slow link is most of the wait for
// a large answer. Small answers go as they are: below about a kilobyte the
// gzip header and the work cost more than they save.

#include <QByteArray>

namespace GzipBody {

constexpr qsizetype MinBytes = 1024;

// True when the Accept-Encoding header's value accepts gzip (a q of 0 refuses it).
bool accepted(const char *acceptEncoding);

// The body gzipped, or an empty array when it is not worth it (small, or
// the compressed form would not be smaller).
QByteArray compress(const QByteArray &body);

}  // namespace GzipBody
