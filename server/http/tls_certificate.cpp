#include "tls_certificate.h"

#include "private_files.h"

#include <QDateTime>
#include <QFile>

#include <arpa/inet.h>
#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <memory>

namespace {

struct CrtDeleter {
    void operator()(gnutls_x509_crt_t c) const { gnutls_x509_crt_deinit(c); }
};
struct KeyDeleter {
    void operator()(gnutls_x509_privkey_t k) const { gnutls_x509_privkey_deinit(k); }
};
using Crt = std::unique_ptr<std::remove_pointer_t<gnutls_x509_crt_t>, CrtDeleter>;
using Key = std::unique_ptr<std::remove_pointer_t<gnutls_x509_privkey_t>, KeyDeleter>;

gnutls_datum_t datum(const QByteArray &bytes) {
    return gnutls_datum_t{reinterpret_cast<unsigned char *>(const_cast<char *>(bytes.constData())), unsigned(bytes.size())};
}

QByteArray take(gnutls_datum_t d) {
    QByteArray out(reinterpret_cast<const char *>(d.data), qsizetype(d.size));
    gnutls_free(d.data);
    return out;
}

bool readFile(const QString &path, QByteArray *out, QString *error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Não foi possível ler o arquivo %1.").arg(path);
        return false;
    }
    *out = f.readAll();
    return true;
}

QString colonHex(const unsigned char *bytes, size_t n) {
    QString out;
    for (size_t i = 0; i < n; ++i) {
        if (i) out += QLatin1Char(':');
        out += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

}  // namespace

QString TlsCertificate::fingerprintOf(const QByteArray &certPem) {
    gnutls_x509_crt_t raw = nullptr;
    if (gnutls_x509_crt_init(&raw) < 0) return {};
    Crt crt(raw);
    const gnutls_datum_t pem = datum(certPem);
    if (gnutls_x509_crt_import(crt.get(), &pem, GNUTLS_X509_FMT_PEM) < 0) return {};
    unsigned char digest[32];
    size_t size = sizeof digest;
    if (gnutls_x509_crt_get_fingerprint(crt.get(), GNUTLS_DIG_SHA256, digest, &size) < 0) return {};
    return colonHex(digest, size);
}

bool TlsCertificate::load(const QString &certFile, const QString &keyFile, TlsCertificate *out, QString *error) {
    TlsCertificate c;
    if (!readFile(certFile, &c.certPem, error) || !readFile(keyFile, &c.keyPem, error)) return false;
    c.fingerprint = fingerprintOf(c.certPem);
    if (c.fingerprint.isEmpty()) {
        *error = QStringLiteral("O arquivo %1 não contém um certificado PEM válido.").arg(certFile);
        return false;
    }
    // GnuTLS refuses a key that does not match its certificate.
    gnutls_certificate_credentials_t credentials = nullptr;
    gnutls_certificate_allocate_credentials(&credentials);
    const gnutls_datum_t cert = datum(c.certPem), key = datum(c.keyPem);
    const int rc = gnutls_certificate_set_x509_key_mem(credentials, &cert, &key, GNUTLS_X509_FMT_PEM);
    gnutls_certificate_free_credentials(credentials);
    if (rc < 0) {
        *error = QStringLiteral("A chave %1 não serve para o certificado %2 (ou não é uma chave PEM sem senha): %3.")
                     .arg(keyFile, certFile, QString::fromUtf8(gnutls_strerror(rc)));
        return false;
    }
    *out = c;
    return true;
}

bool TlsCertificate::generate(const QString &certFile, const QString &keyFile, const QStringList &names, QString *error) {
    const auto failed = [error](int rc) {
        *error = QStringLiteral("Não foi possível gerar o certificado TLS do servidor: %1.").arg(QString::fromUtf8(gnutls_strerror(rc)));
        return false;
    };
    gnutls_x509_privkey_t rawKey = nullptr;
    gnutls_x509_crt_t rawCrt = nullptr;
    int rc = gnutls_x509_privkey_init(&rawKey);
    if (rc < 0) return failed(rc);
    Key key(rawKey);
    if ((rc = gnutls_x509_crt_init(&rawCrt)) < 0) return failed(rc);
    Crt crt(rawCrt);
    if ((rc = gnutls_x509_privkey_generate(key.get(), GNUTLS_PK_ECDSA, GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0)) < 0)
        return failed(rc);

    unsigned char serial[16];
    gnutls_rnd(GNUTLS_RND_NONCE, serial, sizeof serial);
    serial[0] &= 0x7f;  // a positive number
    const time_t now = QDateTime::currentSecsSinceEpoch();
    const QByteArray commonName = (names.isEmpty() ? QStringLiteral("cot-server") : names.first()).toUtf8();
    rc = gnutls_x509_crt_set_version(crt.get(), 3);
    if (rc >= 0) rc = gnutls_x509_crt_set_serial(crt.get(), serial, sizeof serial);
    if (rc >= 0) rc = gnutls_x509_crt_set_activation_time(crt.get(), now - 3600);
    if (rc >= 0) rc = gnutls_x509_crt_set_expiration_time(crt.get(), now + 10LL * 365 * 24 * 3600);
    if (rc >= 0)
        rc = gnutls_x509_crt_set_dn_by_oid(crt.get(), GNUTLS_OID_X520_COMMON_NAME, 0, commonName.constData(), unsigned(commonName.size()));
    for (const QString &name : names) {
        if (rc < 0) break;
        unsigned char ip[16];
        const QByteArray text = name.toUtf8();
        if (inet_pton(AF_INET, text.constData(), ip) == 1)
            rc = gnutls_x509_crt_set_subject_alt_name(crt.get(), GNUTLS_SAN_IPADDRESS, ip, 4, GNUTLS_FSAN_APPEND);
        else if (inet_pton(AF_INET6, text.constData(), ip) == 1)
            rc = gnutls_x509_crt_set_subject_alt_name(crt.get(), GNUTLS_SAN_IPADDRESS, ip, 16, GNUTLS_FSAN_APPEND);
        else
            rc = gnutls_x509_crt_set_subject_alt_name(crt.get(), GNUTLS_SAN_DNSNAME, text.constData(), unsigned(text.size()),
                                                      GNUTLS_FSAN_APPEND);
    }
    if (rc >= 0) rc = gnutls_x509_crt_set_basic_constraints(crt.get(), 0, -1);
    if (rc >= 0) rc = gnutls_x509_crt_set_key_usage(crt.get(), GNUTLS_KEY_DIGITAL_SIGNATURE);
    if (rc >= 0) rc = gnutls_x509_crt_set_key_purpose_oid(crt.get(), GNUTLS_KP_TLS_WWW_SERVER, 0);
    if (rc >= 0) rc = gnutls_x509_crt_set_key(crt.get(), key.get());
    if (rc >= 0) rc = gnutls_x509_crt_sign2(crt.get(), crt.get(), key.get(), GNUTLS_DIG_SHA256, 0);
    if (rc < 0) return failed(rc);

    gnutls_datum_t certOut{}, keyOut{};
    if ((rc = gnutls_x509_crt_export2(crt.get(), GNUTLS_X509_FMT_PEM, &certOut)) < 0) return failed(rc);
    const QByteArray certPem = take(certOut);
    if ((rc = gnutls_x509_privkey_export2_pkcs8(key.get(), GNUTLS_X509_FMT_PEM, nullptr, GNUTLS_PKCS_PLAIN, &keyOut)) < 0)
        return failed(rc);
    const QByteArray keyPem = take(keyOut);
    // The key first: a certificate on disk always has its key beside it.
    return PrivateFiles::write(keyFile, keyPem, error) && PrivateFiles::write(certFile, certPem, error);
}
