#pragma once
// When and with what certificate the server speaks TLS. Given --tls-cert and
// --tls-key, with those. Listening beyond the loopback without them, with a
// self-signed certificate made beside the database on the first start and
// reused after. On the loopback alone (the desktop's embedded server, an
// instance behind a proxy on the same machine), plain HTTP.

#include "db_config.h"
#include "http/tls_certificate.h"

#include <QString>

namespace ServerTls {

enum class Outcome { Plain, Given, Generated, Reused };

// The certificate and key files a server on this database makes for itself.
bool defaultFiles(const DbConfig &db, QString *certFile, QString *keyFile, QString *error);

// Decides and loads (making the certificate when it is due). False with a
// Portuguese reason when the server must not start.
bool resolve(const QString &listenHost, const QString &certFile, const QString &keyFile, const DbConfig &db,
             TlsCertificate *out, Outcome *outcome, QString *error);

}  // namespace ServerTls
