// The database side of cot-report, as a library loaded only when --database
// is given: it brings the server's method registry and Qt Sql, which the
// program itself does not link.

#include "report_source.h"

#include "db_config.h"
#include "db_session.h"
#include "errors.h"
#include "methods/methods.h"
#include "rpc_dispatcher.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

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

extern "C" __attribute__((visibility("default"))) ReportSource *cot_report_open_database(const QString &location, QString *error) {
    try {
        DbConfig config;
        if (!DbConfig::parse(location, &config, error)) return nullptr;
        // A report reads: it never creates a database file that is not there.
        if (config.dialect == Dialect::SQLite && !QFileInfo(config.sqlitePath).isFile()) {
            *error = QStringLiteral("O banco de dados \"%1\" não existe.").arg(config.sqlitePath);
            return nullptr;
        }
        return new DatabaseSource(config);
    } catch (const EAppError &e) {
        *error = e.message();
        return nullptr;
    }
}
