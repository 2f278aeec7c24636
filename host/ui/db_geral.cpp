#include "db_geral.h"

#include "errors.h"
#include "net_connection.h"

#include <QFileInfo>
#include <QMetaType>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

// ---------------------------------------------------------------- TdtmDBGeral

TdtmDBGeral &TdtmDBGeral::instance() {
    static TdtmDBGeral *module = new TdtmDBGeral;
    return *module;
}

TdtmDBGeral &dtmDBGeral() { return TdtmDBGeral::instance(); }

bool TdtmDBGeral::open(const QString &database, QString *error) {
    close();
    const QString name = QString::fromLatin1(ConnectionName);
    const bool postgres = database.startsWith(QLatin1String("postgresql://")) || database.startsWith(QLatin1String("postgres://"));
    auto fail = [&](const QString &message) {
        if (error) *error = message;
        if (QSqlDatabase::contains(name)) {
            { QSqlDatabase::database(name, false).close(); }
            QSqlDatabase::removeDatabase(name);
        }
        return false;
    };
    if (postgres) {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            return fail(QStringLiteral("O driver do PostgreSQL não está instalado."));
        const QUrl url(database);
        if (!url.isValid() || url.path().size() < 2)
            return fail(QStringLiteral("Endereço do banco de dados inválido: %1").arg(database));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(url.host().isEmpty() ? QStringLiteral("localhost") : url.host());
        db.setPort(url.port(5432));
        db.setDatabaseName(url.path().mid(1));
        if (!url.userName().isEmpty()) db.setUserName(url.userName());
        if (!url.password().isEmpty()) db.setPassword(url.password());
        if (!db.open()) return fail(QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(db.lastError().text()));
        QSqlQuery q(db);
        q.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
        return true;
    }
    if (!QFileInfo::exists(database) || !QFileInfo(database).isFile())
        return fail(QStringLiteral("Banco de dados não encontrado: %1").arg(database));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(database);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) return fail(QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(db.lastError().text()));
    return true;
}

void TdtmDBGeral::close() {
    const QString name = QString::fromLatin1(ConnectionName);
    if (!QSqlDatabase::contains(name)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

bool TdtmDBGeral::isOpen() const {
    const QString name = QString::fromLatin1(ConnectionName);
    return QSqlDatabase::contains(name) && QSqlDatabase::database(name, false).isOpen();
}

QSqlDatabase TdtmDBGeral::database() const { return QSqlDatabase::database(QString::fromLatin1(ConnectionName), false); }

// ---------------------------------------------------------------- TADOIBQuery

TADOIBQuery::TADOIBQuery(QObject *parent, const QString &connection)
    : QObject(parent), m_connection(connection), m_table(std::make_unique<TClientTable>(QStringLiteral("qry"))) {}

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

void TADOIBQuery::parseSql() {
    if (!m_queryName.isEmpty()) return;  // the server holds the text
    const QString text = SQL.join(QLatin1Char('\n'));
    if (text == m_parsedText && !m_positionalSql.isNull()) return;
    m_parsedText = text;
    m_order.clear();
    QString out;
    out.reserve(text.size());
    QChar quote;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            out += c;
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            out += c;
            continue;
        }
        if (c == QLatin1Char(':')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char(':')) {  // a PostgreSQL cast
                out += QStringLiteral("::");
                ++i;
                continue;
            }
            int j = i + 1;
            while (j < text.size() && (text[j].isLetterOrNumber() || text[j] == QLatin1Char('_'))) ++j;
            if (j > i + 1) {
                m_order << text.mid(i + 1, j - i - 1).toUpper();
                out += QLatin1Char('?');
                i = j - 1;
                continue;
            }
        }
        out += c;
    }
    m_positionalSql = out;
    std::map<QString, TQueryParam> params;
    for (const QString &n : std::as_const(m_order)) {
        auto old = m_params.find(n);
        params.emplace(n, old != m_params.end() ? old->second : TQueryParam(n));
    }
    m_params = std::move(params);
}

QStringList TADOIBQuery::ParamNames() const {
    const_cast<TADOIBQuery *>(this)->parseSql();
    QStringList names;
    for (const QString &n : m_order)
        if (!names.contains(n)) names << n;
    return names;
}

TQueryParam &TADOIBQuery::ParamByName(const QString &name) {
    parseSql();
    auto it = m_params.find(name.toUpper());
    if (it == m_params.end()) throw EAppError(QStringLiteral("Parâmetro %1 não encontrado na consulta.").arg(name));
    return it->second;
}

void TADOIBQuery::Open() {
    if (Active()) return;
    const DataPacket packet = m_queryName.isEmpty() ? readDatabase() : askServer();
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
    return CheckResultPacket(m_net->Call(QStringLiteral("getConsulta"), {m_queryName, params}));
}

DataPacket TADOIBQuery::readDatabase() {
    parseSql();
    const QString statement = m_positionalSql.trimmed();
    const QString head = statement.section(QRegularExpression(QStringLiteral("\\s")), 0, 0).toUpper();
    if (head != QLatin1String("SELECT") && head != QLatin1String("WITH"))
        throw EAppError(QStringLiteral("Somente consultas podem ser executadas no banco de dados compartilhado."));
    if (!QSqlDatabase::contains(m_connection) || !QSqlDatabase::database(m_connection, false).isOpen())
        throw EAppError(QStringLiteral("O banco de dados compartilhado não está aberto."));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(statement))
        throw EAppError(QStringLiteral("Erro ao preparar a consulta: %1").arg(q.lastError().text()));
    for (int i = 0; i < m_order.size(); ++i) {
        const TQueryParam &p = m_params.at(m_order[i]);
        q.bindValue(i, p.IsNull() ? QVariant(QMetaType(QMetaType::QString)) : p.Value());
    }
    if (!q.exec()) throw EAppError(QStringLiteral("Erro ao consultar o banco de dados: %1").arg(q.lastError().text()));

    DataPacket packet;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i) {
        const QSqlField f = rec.field(i);
        FieldDef def;
        def.name = f.name().toUpper();
        switch (f.metaType().id()) {
        case QMetaType::Double:
        case QMetaType::Float: def.type = FieldType::Float; break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::Bool: def.type = FieldType::Integer; break;
        case QMetaType::QDate:
        case QMetaType::QDateTime: def.type = FieldType::DateTime; break;
        default:
            def.type = FieldType::String;
            def.size = f.length() > 0 ? f.length() : 255;
            break;
        }
        packet.fields.append(def);
    }
    while (q.next()) {
        Row row;
        for (int i = 0; i < packet.fields.size(); ++i) {
            const QVariant v = q.value(i);
            if (v.isNull() || !v.isValid()) {
                row.append(QVariant());
                continue;
            }
            switch (packet.fields[i].type) {
            case FieldType::Float: row.append(v.toDouble()); break;
            case FieldType::Integer: row.append(v.toLongLong()); break;
            case FieldType::DateTime: row.append(v.metaType().id() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0)) : v.toDateTime()); break;
            case FieldType::String: row.append(v.toString().left(packet.fields[i].size)); break;
            }
        }
        packet.rows.append(row);
    }
    return packet;
}

void TADOIBQuery::Close() { m_table->Close(); }
bool TADOIBQuery::Active() const { return m_table->Active(); }
bool TADOIBQuery::IsEmpty() const { return !m_table->Active() || m_table->IsEmpty(); }
int TADOIBQuery::RecordCount() const { return m_table->Active() ? m_table->RecordCount() : 0; }

TField *TADOIBQuery::FieldByName(const QString &name) const {
    if (!m_table->Active()) throw EAppError(QStringLiteral("A consulta não está aberta."));
    return m_table->FieldByName(name);
}
