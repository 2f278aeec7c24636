#include "report_source.h"

#include "errors.h"
#include "user_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QUrl>

namespace {

class ServerSource : public ReportSource {
public:
    ServerSource(const QString &host, int port, const QString &token, const TlsTrust &trust) {
        m_net.Host = host;
        m_net.Trust = trust;
        m_net.Port = port;
        m_net.Token = token;
        m_net.ThrowException = false;
    }
    DataPacket call(const QString &method, const QVector<RpcArg> &args) override {
        const RpcReply reply = m_net.Call(method, args);
        if (!reply.ok) throw EAppError(reply.errorMessage);
        try {
            return reply.data.packet();
        } catch (const PacketError &e) {
            throw EAppError(e.message());
        }
    }

private:
    TNetConnection m_net;
};

}  // namespace

std::unique_ptr<ReportSource> ReportSource::server(const QString &url, const QString &token, TlsTrust trust) {
    QString text = url.trimmed();
    if (!text.contains(QLatin1String("://"))) text.prepend(QStringLiteral("http://"));
    const QUrl u(text, QUrl::StrictMode);
    const bool tls = u.scheme() == QLatin1String("https");
    if (!u.isValid() || u.host().isEmpty() || (!tls && u.scheme() != QLatin1String("http")))
        throw EAppError(QStringLiteral("Endereço de servidor inválido: \"%1\" (use https://maquina:porta).").arg(url));
    const int port = u.port(tls ? 443 : 80);
    if (tls && !trust.vouched()) trust.pinnedFingerprint = PinnedCertificate(QStringLiteral("%1:%2").arg(u.host()).arg(port));
    return std::make_unique<ServerSource>(QStringLiteral("%1://%2").arg(u.scheme(), u.host()), port, token, trust);
}

// The database side (report_database.cpp) brings the server library and Qt
// Sql; it is loaded only here, so a report through a server never needs them.
std::unique_ptr<ReportSource> ReportSource::database(const QString &location) {
    using Open = ReportSource *(*)(const QString &, QString *);
    const QDir bin(QCoreApplication::applicationDirPath());
    QString file = bin.filePath(QStringLiteral("libcot_report_database.so"));
    if (!QFileInfo::exists(file)) file = bin.filePath(QStringLiteral("../lib/cot/libcot_report_database.so"));
    static QLibrary library;  // stays loaded while the process runs
    library.setFileName(file);
    const auto open = reinterpret_cast<Open>(library.resolve("cot_report_open_database"));
    if (!open)
        throw EAppError(QStringLiteral("Não foi possível carregar o acesso ao banco de dados: %1").arg(library.errorString()));
    QString error;
    ReportSource *source = open(location, &error);
    if (!source) throw EAppError(error);
    return std::unique_ptr<ReportSource>(source);
}
