#include "gzip_body.h"

#include <QList>
#include <zlib.h>

namespace GzipBody {

bool accepted(const char *acceptEncoding) {
    if (!acceptEncoding) return false;
    for (const QByteArray &item : QByteArray(acceptEncoding).split(',')) {
        const QList<QByteArray> parts = item.split(';');
        const QByteArray coding = parts.first().trimmed().toLower();
        if (coding != "gzip" && coding != "x-gzip" && coding != "*") continue;
        double q = 1;
        for (int i = 1; i < parts.size(); ++i) {
            const QByteArray p = parts[i].trimmed().toLower();
            if (p.startsWith("q=")) q = p.mid(2).toDouble();
        }
        return q > 0;
    }
    return false;
}

QByteArray compress(const QByteArray &body) {
    if (body.size() < MinBytes) return {};
    z_stream z{};
    // Level 1: JSON of repeated field names and digits compresses nearly as
    // well as at the default level, at a third of the work per answer.
    if (deflateInit2(&z, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    QByteArray out(qsizetype(deflateBound(&z, uLong(body.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(body.constData()));
    z.avail_in = uInt(body.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = deflate(&z, Z_FINISH);
    const qsizetype written = qsizetype(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END || written >= body.size()) return {};
    out.resize(written);
    return out;
}

}  // namespace GzipBody
