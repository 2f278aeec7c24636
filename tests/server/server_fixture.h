#pragma once
// A server on a fresh database for each test, reached through the desktop's
// own connection class. Suites run once on SQLite (a temporary file) and once
// on PostgreSQL (a schema of their own) when COT_TEST_PG_URL is set.

#include <app_server.h>
#include <client_table.h>
#include <db_session.h>
#include <net_connection.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

enum class Backend { SQLite, PostgreSQL };

struct BandDef {
    int first, last;
    double percent;
};

class ServerTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override;
    void TearDown() override;

    // Options for the server the test starts (before SetUp starts it).
    virtual void adjust(ServerOptions &) {}

    // The database, as the server is told it (file or URL with the test's schema).
    QString databaseName() const { return m_database; }
    bool isPostgres() const { return GetParam() == Backend::PostgreSQL; }

    std::unique_ptr<TNetConnection> connect(const QString &token = QString());
    RpcReply call(const QString &method, const QVector<RpcArg> &args = {});
    // A successful get-method's packet; fails the test otherwise.
    DataPacket packet(const QString &method, const QVector<RpcArg> &args = {});
    // A client table loaded from a get-method, as a screen would hold it.
    std::unique_ptr<TClientTable> table(const QString &method, const QVector<RpcArg> &args = {});

    // Direct access to the database, for seeding what the host keeps (operators,
    // segments) and for looking at what is stored.
    void exec(const QString &sql, const QVariantList &values = {});
    DbSession &database() { return *m_db; }
    qint64 count(const QString &sql, const QVariantList &values = {});
    QString scalar(const QString &sql, const QVariantList &values = {});

    // Builders of data through the remote methods.
    QString newPriceTable(const QString &name = QStringLiteral("Tabela de teste"), double price = 1000.0);
    void addBands(bool systems, const QString &code, const QVector<BandDef> &bands);
    void addOperator(const QString &code, const QString &name, bool active = true);

    // An insert of one row as a delta of a client table with these fields.
    static Delta insertDelta(const QVector<FieldDef> &fields, const Row &row);

    std::unique_ptr<AppServer> server;
    std::unique_ptr<TNetConnection> net;
    ServerOptions options;

private:
    QTemporaryDir m_dir;
    QString m_database;
    QString m_schema;
    std::unique_ptr<DbSession> m_db;
};

// Every suite runs on both backends.
#define COT_BOTH_BACKENDS(Suite)                                                                       \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite, ::testing::Values(Backend::SQLite, Backend::PostgreSQL), \
                             [](const ::testing::TestParamInfo<Backend> &info) {                       \
                                 return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL";       \
                             })

QString pgUrl();  // COT_TEST_PG_URL, or empty
QString uniqueName(const char *prefix);

// Field lists of the client tables, as the screens define them.
namespace ClientFields {
QVector<FieldDef> priceTable();
QVector<FieldDef> systemsBand();
QVector<FieldDef> usersBand();
QVector<FieldDef> permission();
QVector<FieldDef> serviceType();
QVector<FieldDef> operatorsOfType();  // cdsOperTipoServ
QVector<FieldDef> typesOfOperator();  // cdsTipoServOper
}  // namespace ClientFields

// Helpers for assertions.
QStringList fieldNames(const DataPacket &p);
QString cell(const DataPacket &p, int row, const QString &field);
