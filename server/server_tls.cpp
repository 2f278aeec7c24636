#include "server_tls.h"

#include "http/http_server.h"

#include <QFileInfo>
#include <QSysInfo>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

namespace ServerTls {

namespace {

// The names a desktop may use for this machine: its host name, the loopback
// ones and every address of its interfaces (and the listen address itself).
QStringList namesOfThisMachine(const QString &listenHost) {
    QStringList names;
    const QString host = QSysInfo::machineHostName();
    if (!host.isEmpty()) names << host;
    names << QStringLiteral("localhost");
    if (!listenHost.isEmpty() && listenHost != QLatin1String("0.0.0.0") && listenHost != QLatin1String("::")) names << listenHost;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (const ifaddrs *a = list; a; a = a->ifa_next) {
            if (!a->ifa_addr) continue;
            char text[INET6_ADDRSTRLEN] = {};
            if (a->ifa_addr->sa_family == AF_INET)
                inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(a->ifa_addr)->sin_addr, text, sizeof text);
            else if (a->ifa_addr->sa_family == AF_INET6)
                inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(a->ifa_addr)->sin6_addr, text, sizeof text);
            else continue;
            const QString address = QString::fromLatin1(text);
            if (!address.startsWith(QLatin1String("fe80"))) names << address;
        }
        freeifaddrs(list);
    }
    names.removeDuplicates();
    return names;
}

}  // namespace

bool defaultFiles(const DbConfig &db, QString *certFile, QString *keyFile, QString *error) {
    if (db.dialect != Dialect::SQLite) {
        *error = QStringLiteral("Com o banco PostgreSQL, informe o certificado e a chave do servidor com --tls-cert e --tls-key "
                                "(ou escute só em 127.0.0.1, atrás de um proxy com TLS).");
        return false;
    }
    const QFileInfo database(db.sqlitePath);
    *certFile = database.absoluteFilePath() + QStringLiteral("-tls-cert.pem");
    *keyFile = database.absoluteFilePath() + QStringLiteral("-tls-key.pem");
    return true;
}

bool resolve(const QString &listenHost, const QString &certFile, const QString &keyFile, const DbConfig &db, TlsCertificate *out,
             Outcome *outcome, QString *error) {
    if (certFile.isEmpty() != keyFile.isEmpty()) {
        *error = QStringLiteral("Informe --tls-cert e --tls-key juntos.");
        return false;
    }
    if (!certFile.isEmpty()) {
        *outcome = Outcome::Given;
        return TlsCertificate::load(certFile, keyFile, out, error);
    }
    if (resolvesToLoopbackOnly(listenHost)) {
        *outcome = Outcome::Plain;
        return true;
    }
    QString cert, key;
    if (!defaultFiles(db, &cert, &key, error)) return false;
    if (QFileInfo::exists(cert) && QFileInfo::exists(key)) {
        *outcome = Outcome::Reused;
    } else {
        *outcome = Outcome::Generated;
        if (!TlsCertificate::generate(cert, key, namesOfThisMachine(listenHost), error)) return false;
    }
    return TlsCertificate::load(cert, key, out, error);
}

}  // namespace ServerTls
