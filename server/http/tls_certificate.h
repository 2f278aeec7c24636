#pragma once
// The server's TLS certificate and key (GnuTLS, the library libmicrohttpd
// speaks TLS with): read and checked from PEM files, or made self-signed for
// a server that has none, and named by the SHA-256 fingerprint a desktop
// compares with what the administrator gave.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct TlsCertificate {
    QByteArray certPem;
    QByteArray keyPem;
    QString fingerprint;  // SHA-256 of the certificate, "AB:CD:..."

    // Reads both files and checks that the key belongs to the certificate.
    static bool load(const QString &certFile, const QString &keyFile, TlsCertificate *out, QString *error);
    // A new ECDSA P-256 key and a self-signed certificate valid for the names
    // (host names and numeric addresses), written 0600 to both files.
    static bool generate(const QString &certFile, const QString &keyFile, const QStringList &names, QString *error);
    // The fingerprint of the first certificate in a PEM text; empty when none.
    static QString fingerprintOf(const QByteArray &certPem);
};

// TLS 1.2 and 1.3 only, GnuTLS's usual cipher choice within them.
inline constexpr const char *kTlsPriorities = "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2";
