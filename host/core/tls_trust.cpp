#include "tls_trust.h"

#include <QFile>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

namespace TlsTrustCheck {

namespace {

QString fingerprintOf(X509 *cert) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!cert || X509_digest(cert, EVP_sha256(), digest, &size) != 1) return {};
    QString out;
    for (unsigned i = 0; i < size; ++i) {
        if (i) out += QLatin1Char(':');
        out += QStringLiteral("%1").arg(digest[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

bool isNumericAddress(const QString &host) {
    unsigned char buffer[16];
    const QByteArray text = host.toLatin1();
    return inet_pton(AF_INET, text.constData(), buffer) == 1 || inet_pton(AF_INET6, text.constData(), buffer) == 1;
}

}  // namespace

QString normalizeFingerprint(const QString &text) {
    QString hex = text.trimmed().toUpper();
    hex.remove(QRegularExpression(QStringLiteral("[:\\s]")));
    if (hex.startsWith(QLatin1String("SHA256="))) hex = hex.mid(7);
    static const QRegularExpression sha256(QStringLiteral("^[0-9A-F]{64}$"));
    if (!sha256.match(hex).hasMatch()) return {};
    QString out;
    for (int i = 0; i < hex.size(); i += 2) {
        if (i) out += QLatin1Char(':');
        out += hex.mid(i, 2);
    }
    return out;
}

bool isLoopbackHost(const QString &given) {
    QString host = given.trimmed().toLower();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) host = host.mid(1, host.size() - 2);
    if (host == QLatin1String("localhost")) return true;
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.constData(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    return false;
}

QString fingerprintOfFile(const QString &pemFile) {
    QFile f(pemFile);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray pem = f.readAll();
    BIO *bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    X509 *cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    const QString out = fingerprintOf(cert);
    X509_free(cert);
    BIO_free(bio);
    return out;
}

bool Verifier::configure(void *sslContext, QString *error) {
    SSL_CTX *ctx = static_cast<SSL_CTX *>(sslContext);
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    if (!m_trust.caFile.isEmpty()) {
        if (SSL_CTX_load_verify_locations(ctx, QFile::encodeName(m_trust.caFile).constData(), nullptr) != 1) {
            *error = QStringLiteral("Não foi possível ler o certificado de autoridade %1.").arg(m_trust.caFile);
            return false;
        }
    } else {
        SSL_CTX_set_default_verify_paths(ctx);
    }
    // The name (or address) the desktop used must be one the certificate names.
    X509_VERIFY_PARAM *param = SSL_CTX_get0_param(ctx);
    const QByteArray host = m_host.toUtf8();
    if (isNumericAddress(m_host)) X509_VERIFY_PARAM_set1_ip_asc(param, host.constData());
    else X509_VERIFY_PARAM_set1_host(param, host.constData(), size_t(host.size()));
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(
        ctx, [](X509_STORE_CTX *store, void *self) { return Verifier::verify(store, self); }, this);
    return true;
}

int Verifier::verify(void *storeContext, void *self) {
    auto *store = static_cast<X509_STORE_CTX *>(storeContext);
    auto *v = static_cast<Verifier *>(self);
    v->m_check.fingerprint = fingerprintOf(X509_STORE_CTX_get0_cert(store));
    // A CA file is the administrator's word; a pin is the person's, for this
    // one certificate, wherever the desktop reaches it.
    if (v->m_trust.caFile.isEmpty() && !v->m_trust.pinnedFingerprint.isEmpty()) {
        const bool same = v->m_check.fingerprint == normalizeFingerprint(v->m_trust.pinnedFingerprint);
        v->m_check.verdict = same ? TlsCheck::Trusted : TlsCheck::Changed;
        X509_STORE_CTX_set_error(store, same ? X509_V_OK : X509_V_ERR_CERT_REJECTED);
        return same ? 1 : 0;
    }
    if (X509_verify_cert(store) == 1) {
        v->m_check.verdict = TlsCheck::Trusted;
        return 1;
    }
    v->m_check.verdict = TlsCheck::Unknown;
    v->m_check.reason = QString::fromUtf8(X509_verify_cert_error_string(X509_STORE_CTX_get_error(store)));
    return 0;
}

QString refusalMessage(const TlsCheck &check, const QString &address) {
    if (check.verdict == TlsCheck::Changed)
        return QStringLiteral("O certificado do servidor %1 mudou e foi recusado (impressão digital SHA-256 %2). Se o "
                              "administrador não trocou o certificado, alguém pode estar se passando pelo servidor: "
                              "não continue e avise-o.")
            .arg(address, check.fingerprint);
    return QStringLiteral("O certificado do servidor %1 não é reconhecido (%2) e foi recusado; nenhuma chave foi enviada. "
                          "Impressão digital SHA-256: %3. Confira-a com o administrador: com o certificado dele (--ca) ou, "
                          "no cot-report, com esta impressão digital (--fingerprint), a conexão é aceita.")
        .arg(address, check.reason, check.fingerprint);
}

}  // namespace TlsTrustCheck
