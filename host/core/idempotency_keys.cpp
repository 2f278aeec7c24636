#include "idempotency_keys.h"

#include "packet_writer.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

QByteArray IdempotencyKeys::identity(const QString &method, const QJsonArray &params) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(method.toUtf8());
    h.addData(QByteArrayView("\n", 1));
    h.addData(JsonText::encode(params));
    return h.result();
}

QByteArray IdempotencyKeys::keyFor(const QByteArray &identity) const {
    const auto kept = m_unsettled.constFind(identity);
    if (kept != m_unsettled.constEnd()) return *kept;
    QByteArray random(24, '\0');
    QRandomGenerator::system()->generate(random.begin(), random.end());
    return random.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);  // 32 characters
}

void IdempotencyKeys::unsettled(const QByteArray &identity, const QByteArray &key) {
    // Only the latest few matter: a user resends what just failed.
    if (m_unsettled.size() >= kMaxRemembered && !m_unsettled.contains(identity)) m_unsettled.clear();
    m_unsettled.insert(identity, key);
}
