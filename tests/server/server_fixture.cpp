#include "server_fixture.h"

#include <db_config.h>

#include <QCoreApplication>
#include <QRandomGenerator>
#include <atomic>

QString pgUrl() { return qEnvironmentVariable("COT_TEST_PG_URL"); }

QString uniqueName(const char *prefix) {
    static std::atomic<int> counter{0};
    return QStringLiteral("%1_%2_%3_%4")
        .arg(QLatin1String(prefix))
        .arg(QCoreApplication::applicationPid())
        .arg(counter++)
        .arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16, QLatin1Char('0'));
}

namespace ClientFields {
QVector<FieldDef> priceTable() {
    return {{"CDPRECOPROP", FieldType::String, 10}, {"NMPRECOPROP", FieldType::String, 50}, {"DTINIPRECOPROP", FieldType::DateTime, 0},
            {"DTFINPRECOPROP", FieldType::DateTime, 0}, {"VRPRECOUNITSIST", FieldType::Float, 0}, {"VRPERCMANUTANO", FieldType::Float, 0},
            {"NRMESPRAZOLOCA", FieldType::Float, 0}, {"VRPEDESFILIMATR", FieldType::Float, 0}, {"VRPEDESFILIFILI", FieldType::Float, 0}};
}
QVector<FieldDef> systemsBand() {
    return {{"CDPRECOPROP", FieldType::String, 10}, {"QTINISISTEMAS", FieldType::String, 5}, {"QTFINSISTEMAS", FieldType::String, 5},
            {"VRPERCDESCSIST", FieldType::Float, 0}};
}
QVector<FieldDef> usersBand() {
    return {{"CDPRECOPROP", FieldType::String, 10}, {"QTINIUSUARIOS", FieldType::String, 5}, {"QTFINUSUARIOS", FieldType::String, 5},
            {"VRPERCDESCUSU", FieldType::Float, 0}};
}
QVector<FieldDef> permission() {
    return {{"CDOPERADOR", FieldType::String, 12}, {"NMOPERADOR", FieldType::String, 40}, {"CDPRECOPROP", FieldType::String, 10},
            {"IDTIPODESCOPER", FieldType::String, 1}, {"VRPERCDESCOPER", FieldType::Float, 0}};
}
QVector<FieldDef> serviceType() {
    return {{"CDTIPOSERV", FieldType::String, 3},      {"NMTIPOSERV", FieldType::String, 80},     {"IDPROPSERVWEB", FieldType::String, 1},
            {"IDSERVOBRIGPROS", FieldType::String, 2}, {"VRPADRAOSERVNAC", FieldType::Float, 0}, {"VRPADRAOSERVINT", FieldType::Float, 0}};
}
QVector<FieldDef> operatorsOfType() {
    return {{"CDTIPOSERV", FieldType::String, 3}, {"NROPERTIPOSERV", FieldType::Float, 0}, {"CDOPERADOR", FieldType::String, 12},
            {"NMOPERADOR", FieldType::String, 40}, {"VRPEDESOPERSERV", FieldType::Float, 0}};
}
QVector<FieldDef> typesOfOperator() {
    return {{"CDTIPOSERV", FieldType::String, 3}, {"NMTIPOSERV", FieldType::String, 80}, {"VRPEDESOPERSERV", FieldType::Float, 0},
            {"NROPERTIPOSERV", FieldType::Float, 0}, {"CDOPERADOR", FieldType::String, 12}};
}
}  // namespace ClientFields

QStringList fieldNames(const DataPacket &p) {
    QStringList names;
    for (const FieldDef &f : p.fields) names << f.name;
    return names;
}

QString cell(const DataPacket &p, int row, const QString &field) {
    const int f = p.fieldIndex(field);
    if (f < 0 || row >= p.rows.size()) return QStringLiteral("<ausente>");
    const QVariant v = p.rows[row][f];
    if (!v.isValid() || v.isNull()) return QString();
    if (v.typeId() == QMetaType::Double) return QString::number(v.toDouble());
    return v.toString();
}

void ServerTest::SetUp() {
    if (isPostgres()) {
        if (pgUrl().isEmpty()) GTEST_SKIP() << "COT_TEST_PG_URL não definido: testes de PostgreSQL pulados.";
        m_schema = uniqueName("t");
        m_database = pgUrl() + (pgUrl().contains(QLatin1Char('?')) ? QStringLiteral("&schema=") : QStringLiteral("?schema=")) + m_schema;
    } else {
        ASSERT_TRUE(m_dir.isValid());
        m_database = m_dir.filePath(QStringLiteral("cot.db"));
    }
    options.database = m_database;
    options.threads = 4;
    adjust(options);
    server = std::make_unique<AppServer>(options);
    QString error;
    ASSERT_TRUE(server->start(&error)) << error.toStdString();
    ASSERT_GT(server->port(), 0);
    net = connect(options.token);

    DbConfig config;
    ASSERT_TRUE(DbConfig::parse(m_database, &config, &error)) << error.toStdString();
    m_db = std::make_unique<DbSession>(config, uniqueName("test"));
    m_db->open();
}

void ServerTest::TearDown() {
    net.reset();
    server.reset();
    m_db.reset();
    if (!m_schema.isEmpty()) {
        DbConfig config;
        QString error;
        if (DbConfig::parse(pgUrl(), &config, &error)) {
            DbSession admin(config, uniqueName("drop"));
            try {
                admin.open();
                admin.execute(QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(m_schema));
            } catch (const DbError &) {
            }
        }
    }
}

std::unique_ptr<TNetConnection> ServerTest::connect(const QString &token) {
    auto c = std::make_unique<TNetConnection>();
    // A server with a certificate is reached over https, trusting that certificate.
    c->Host = options.tlsCertFile.isEmpty() ? QStringLiteral("127.0.0.1") : QStringLiteral("https://127.0.0.1");
    c->Trust.caFile = options.tlsCertFile;
    c->Port = server->port();
    c->Token = token;
    c->Open();
    return c;
}

RpcReply ServerTest::call(const QString &method, const QVector<RpcArg> &args) { return net->Call(method, args); }

DataPacket ServerTest::packet(const QString &method, const QVector<RpcArg> &args) {
    const RpcReply r = call(method, args);
    EXPECT_TRUE(r.ok) << method.toStdString() << ": " << r.errorCode << " " << r.errorMessage.toStdString();
    if (!r.ok) return {};
    try {
        return PacketCodec::packetFromJson(r.data);
    } catch (const PacketError &e) {
        ADD_FAILURE() << method.toStdString() << " answered a bad packet: " << e.message().toStdString();
        return {};
    }
}

std::unique_ptr<TClientTable> ServerTest::table(const QString &method, const QVector<RpcArg> &args) {
    auto t = std::make_unique<TClientTable>(method);
    t->LoadPacket(packet(method, args));
    return t;
}

void ServerTest::exec(const QString &sql, const QVariantList &values) {
    Query q(*m_db, sql);
    for (const QVariant &v : values) q.bind(v);
    q.exec();
}

qint64 ServerTest::count(const QString &sql, const QVariantList &values) {
    Query q(*m_db, sql);
    for (const QVariant &v : values) q.bind(v);
    q.exec();
    return q.next() ? q.value(0).toLongLong() : -1;
}

QString ServerTest::scalar(const QString &sql, const QVariantList &values) {
    Query q(*m_db, sql);
    for (const QVariant &v : values) q.bind(v);
    q.exec();
    return q.next() ? q.value(0).toString() : QStringLiteral("<sem linha>");
}

Delta ServerTest::insertDelta(const QVector<FieldDef> &fields, const Row &row) {
    Delta d;
    d.fields = fields;
    d.changes.append(DeltaChange{DeltaChange::Insert, {}, row});
    return d;
}

QString ServerTest::newPriceTable(const QString &name, double price) {
    const RpcReply next = call(QStringLiteral("PrxPrecoProp"));
    EXPECT_TRUE(next.ok) << next.errorMessage.toStdString();
    const QString code = next.data.toString();
    const Row row{code, name, QDateTime(QDate(2026, 1, 1), QTime(0, 0)), QDateTime(QDate(2026, 12, 31), QTime(0, 0)), price, 180.0, 36.0, 10.0,
                  15.0};
    const RpcReply r = call(QStringLiteral("SetIncTbPre"), {insertDelta(ClientFields::priceTable(), row)});
    EXPECT_TRUE(r.ok) << r.errorMessage.toStdString();
    return code;
}

void ServerTest::addBands(bool systems, const QString &code, const QVector<BandDef> &bands) {
    Delta d;
    d.fields = systems ? ClientFields::systemsBand() : ClientFields::usersBand();
    for (const BandDef &b : bands)
        d.changes.append(DeltaChange{DeltaChange::Insert,
                                     {},
                                     {code, QStringLiteral("%1").arg(b.first, 5, 10, QLatin1Char('0')),
                                      QStringLiteral("%1").arg(b.last, 5, 10, QLatin1Char('0')), b.percent}});
    const RpcReply r = call(systems ? QStringLiteral("setDescSis") : QStringLiteral("setDescUsu"), {d});
    ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
}

void ServerTest::addOperator(const QString &code, const QString &name, bool active) {
    exec(QStringLiteral("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, IDOPERATIVO) VALUES (?, ?, ?)"),
         {code, name, active ? QStringLiteral("A") : QStringLiteral("I")});
}
