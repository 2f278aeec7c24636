#include "idempotency_store.h"

#include "local_clock.h"
#include "rpc_error.h"

#include <packet_writer.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <atomic>

namespace IdempotencyStore {

namespace {

// Old answers are cleared at most once every ten minutes per process.
std::atomic<qint64> g_lastSweep{0};

void sweep(DbSession &db) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    qint64 last = g_lastSweep.load();
    if (now - last < 600 || !g_lastSweep.compare_exchange_strong(last, now)) return;
    Query q(db, QStringLiteral("DELETE FROM IDEMPOTENCIA WHERE DTCRIACAO < ?"));
    q.bind(QDateTime::currentDateTime().addSecs(-3600LL * KeptHours).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))).exec();
}

}  // namespace

QString problem(const QByteArray &key) {
    const bool visible = std::all_of(key.begin(), key.end(), [](char c) { return c > 0x20 && c < 0x7f; });
    if (!key.isEmpty() && key.size() <= MaxKeyLength && visible) return QString();
    return QStringLiteral("A chave de idempotência (cabeçalho Idempotency-Key) deve ter de 1 a %1 caracteres visíveis, sem espaços.")
        .arg(MaxKeyLength);
}

QByteArray memberKey(const QByteArray &key, int i) {
    return QCryptographicHash::hash(key + '#' + QByteArray::number(i), QCryptographicHash::Sha256).toHex().left(MaxKeyLength);
}

QByteArray requestHash(const QString &method, const QJsonArray &params) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(method.toUtf8());
    h.addData(QByteArrayView("\n", 1));
    h.addData(JsonText::encode(params));
    return h.result().toHex();
}

std::optional<Kept> recall(DbSession &db, const QString &person, const QByteArray &key, const QByteArray &hash) {
    if (db.isPostgres()) {
        // Rows of keys not yet kept cannot be locked: two servers handling the
        // same key at once queue on this lock, so the second reads the answer
        // the first kept.
        Query lock(db, QStringLiteral("SELECT pg_advisory_xact_lock(7300301, hashtext(?))"));
        lock.bind(person + QLatin1Char('\n') + QString::fromLatin1(key)).exec();
    }
    Query q(db, QStringLiteral("SELECT HSPEDIDO, DSDADOS, DSPARAMETROS FROM IDEMPOTENCIA WHERE NMUSUARIO = ? AND DSCHAVE = ?"));
    q.bind(person).bind(QString::fromLatin1(key)).exec();
    if (!q.next()) return std::nullopt;
    if (q.text(0).toLatin1() != hash)
        refuse(QStringLiteral("A chave de idempotência \"%1\" já foi usada em outra operação. Nada foi gravado: envie a nova operação com "
                              "outra chave.")
                   .arg(QString::fromLatin1(key)));
    return Kept{q.text(1).toUtf8(), QJsonDocument::fromJson(q.text(2).toUtf8()).array()};
}

void keep(DbSession &db, const QString &person, const QByteArray &key, const QByteArray &hash, const QByteArray &data,
          const QJsonArray &params) {
    sweep(db);
    Query q(db, QStringLiteral("INSERT INTO IDEMPOTENCIA (NMUSUARIO, DSCHAVE, HSPEDIDO, DTCRIACAO, DSDADOS, DSPARAMETROS) "
                               "VALUES (?, ?, ?, ?, ?, ?)"));
    q.bind(person)
        .bind(QString::fromLatin1(key))
        .bind(QString::fromLatin1(hash))
        .bind(LocalClock::secondText())
        .bind(QString::fromUtf8(data))
        .bind(QString::fromUtf8(JsonText::encode(params)))
        .exec();
}

}  // namespace IdempotencyStore
