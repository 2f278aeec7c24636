#include "report_source.h"

#include "db_config.h"
#include "db_session.h"
#include "errors.h"
#include "methods/methods.h"
#include "rpc_dispatcher.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

class ServerSource : public ReportSource {
public:
    ServerSource(const QString &host, int port, const QString &token) {
        m_net.Host = host;
        m_net.Port = port;
        m_net.Token = token;
        m_net.ThrowException = false;
    }
    DataPacket call(const QString &method, const QVector<RpcArg> &args) override {
        const RpcReply reply = m_net.Call(method, args);
        if (!reply.ok) throw EAppError(reply.errorMessage);
        try {
            return PacketCodec::packetFromJson(reply.data);
        } catch (const PacketError &e) {
            throw EAppError(e.message());
        }
    }

private:
    TNetConnection m_net;
};

// The server's own dispatcher over a session of this process: the request
// text goes in, the answer text comes out, exactly as over HTTP.
class DatabaseSource : public ReportSource {
public:
    explicit DatabaseSource(const DbConfig &config) : m_session(config, QStringLiteral("cot-report")), m_dispatcher(m_registry) {
        Methods::registerAll(m_registry);
        try {
            m_session.open();
        } catch (const DbError &e) {
            throw EAppError(QStringLiteral("Não foi possível abrir o banco de dados %1: %2").arg(config.describe(), e.text()));
        }
    }
    DataPacket call(const QString &method, const QVector<RpcArg> &args) override {
        QJsonArray params;
        for (const RpcArg &a : args) params.append(a.toJson());
        const QJsonObject request{{"jsonrpc", "2.0"}, {"id", ++m_id}, {"method", method}, {"params", params}};
        const RpcDispatcher::Outcome out = m_dispatcher.handle(QJsonDocument(request).toJson(QJsonDocument::Compact), m_session);
        const QJsonObject answer = QJsonDocument::fromJson(out.body).object();
        if (answer.contains(QLatin1String("error")))
            throw EAppError(answer.value(QLatin1String("error")).toObject().value(QLatin1String("message")).toString());
        const QJsonObject result = answer.value(QLatin1String("result")).toObject();
        const QJsonArray finals = result.value(QLatin1String("params")).toArray();
        for (int i = 0; i < args.size() && i < finals.size(); ++i) args[i].writeBack(finals[i]);
        try {
            return PacketCodec::packetFromJson(result.value(QLatin1String("data")));
        } catch (const PacketError &e) {
            throw EAppError(e.message());
        }
    }

private:
    DbSession m_session;
    MethodRegistry m_registry;
    RpcDispatcher m_dispatcher;
    int m_id = 0;
};

}  // namespace

std::unique_ptr<ReportSource> ReportSource::server(const QString &url, const QString &token) {
    QString text = url.trimmed();
    if (!text.contains(QLatin1String("://"))) text.prepend(QStringLiteral("http://"));
    const QUrl u(text, QUrl::StrictMode);
    if (!u.isValid() || u.host().isEmpty() || u.scheme() != QLatin1String("http"))
        throw EAppError(QStringLiteral("Endereço de servidor inválido: \"%1\" (use http://maquina:porta).").arg(url));
    return std::make_unique<ServerSource>(u.host(), u.port(80), token);
}

std::unique_ptr<ReportSource> ReportSource::database(const QString &location) {
    DbConfig config;
    QString error;
    if (!DbConfig::parse(location, &config, &error)) throw EAppError(error);
    // A report reads: it never creates a database file that is not there.
    if (config.dialect == Dialect::SQLite && !QFileInfo(config.sqlitePath).isFile())
        throw EAppError(QStringLiteral("O banco de dados \"%1\" não existe.").arg(config.sqlitePath));
    return std::make_unique<DatabaseSource>(config);
}
