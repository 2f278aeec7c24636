#pragma once
// Whether a desktop trusts the certificate an https:// server shows, decided
// during the TLS handshake, before any request (and so any key) is sent:
// against a CA file given by the administrator, against a fingerprint the
// person accepted (pinned in the settings), or against the system's store.
// What the handshake saw is kept, so a refusal can show the fingerprint and
// the caller can ask the person about a certificate nobody vouched for.

#include <QString>

struct TlsTrust {
    QString caFile;             // verify against these certificates; empty: the system's store
    QString pinnedFingerprint;  // accept exactly this certificate ("AB:CD:..."), whatever signed it
    bool vouched() const { return !caFile.isEmpty() || !pinnedFingerprint.isEmpty(); }
};

struct TlsCheck {
    enum Verdict {
        NotChecked,  // no certificate seen (no TLS, or the handshake failed before it)
        Trusted,
        Unknown,  // no CA vouches for it and nothing was pinned
        Changed,  // another certificate than the pinned one
    };
    Verdict verdict = NotChecked;
    QString fingerprint;  // of the certificate shown, "AB:CD:..."
    QString reason;       // OpenSSL's, for Unknown
};

namespace TlsTrustCheck {

// "ab:cd..", "ABCD.." or with blanks: the 64 hex digits as "AB:CD:..."; empty when not a SHA-256.
QString normalizeFingerprint(const QString &text);
// A numeric loopback address (127.0.0.0/8, ::1) or "localhost".
bool isLoopbackHost(const QString &host);
// The SHA-256 fingerprint of the first certificate in a PEM file; empty when none.
QString fingerprintOfFile(const QString &pemFile);

// Applies the trust to an OpenSSL client context (SSL_CTX *): TLS 1.2 or
// later, the peer verified during the handshake by the rules above, what it
// showed written to *check. The verifier must outlive the context's use.
class Verifier {
public:
    Verifier(const QString &host, const TlsTrust &trust) : m_host(host), m_trust(trust) {}
    // False with a Portuguese reason when the CA file cannot be read.
    bool configure(void *sslContext, QString *error);
    const TlsCheck &check() const { return m_check; }
    void reset() { m_check = TlsCheck(); }

private:
    static int verify(void *storeContext, void *self);
    QString m_host;
    TlsTrust m_trust;
    TlsCheck m_check;
};

// The message for a handshake refused by the check (Unknown or Changed).
QString refusalMessage(const TlsCheck &check, const QString &address);

}  // namespace TlsTrustCheck
