#include "db_geral.h"

#include "method_names.h"

#include "errors.h"
#include "net_connection.h"

TADOIBQuery::TADOIBQuery(QObject *parent)
    : QObject(parent), m_table(std::make_unique<TClientTable>(QStringLiteral("qry"))) {}

TADOIBQuery::~TADOIBQuery() = default;

void TADOIBQuery::SetServerQuery(TNetConnection *net, const QString &name, const QStringList &params) {
    m_net = net;
    m_queryName = name;
    m_order.clear();
    m_params.clear();
    for (const QString &p : params) {
        m_order << p.toUpper();
        m_params.emplace(p.toUpper(), TQueryParam(p.toUpper()));
    }
}

TQueryParam &TADOIBQuery::ParamByName(const QString &name) {
    auto it = m_params.find(name.toUpper());
    if (it == m_params.end()) throw EAppError(QStringLiteral("Parâmetro %1 não encontrado na consulta.").arg(name));
    return it->second;
}

void TADOIBQuery::Open() {
    if (Active()) return;
    const DataPacket packet = askServer();
    // The same table object serves every opening with the same columns, so a
    // data source pointed at DataSet() stays valid.
    bool sameShape = m_table->FieldCount() == packet.fields.size();
    for (int i = 0; sameShape && i < packet.fields.size(); ++i) {
        const FieldDef &have = m_table->Fields(i)->definition();
        sameShape = have.name == packet.fields[i].name && have.type == packet.fields[i].type;
    }
    if (!sameShape && m_table->FieldCount() > 0) m_table = std::make_unique<TClientTable>(QStringLiteral("qry"));
    if (m_table->FieldCount() == 0) {
        for (const FieldDef &def : packet.fields)
            m_table->AddField(def.name, def.type, def.size, Labels.value(def.name.toUpper()))->ReadOnly = true;
    }
    m_table->LoadPacket(packet);
}

DataPacket TADOIBQuery::askServer() {
    if (!m_net) throw EAppError(QStringLiteral("Não há conexão com o servidor de aplicação para a consulta %1.").arg(m_queryName));
    QJsonObject params;
    for (const QString &name : std::as_const(m_order)) {
        const TQueryParam &p = m_params.at(name);
        params.insert(name, p.IsNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(p.AsString()));
    }
    return CheckResultPacket(m_net->Call(Method::getConsulta, {m_queryName, params}));
}

void TADOIBQuery::Close() { m_table->Close(); }
bool TADOIBQuery::Active() const { return m_table->Active(); }
bool TADOIBQuery::IsEmpty() const { return !m_table->Active() || m_table->IsEmpty(); }
int TADOIBQuery::RecordCount() const { return m_table->Active() ? m_table->RecordCount() : 0; }

TField *TADOIBQuery::FieldByName(const QString &name) const {
    if (!m_table->Active()) throw EAppError(QStringLiteral("A consulta não está aberta."));
    return m_table->FieldByName(name);
}
