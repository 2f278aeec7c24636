// The cot-server program: the monthly index command, the refusal to listen
// beyond the loopback without a token, demonstration data and the log.

#include "server_fixture.h"

#include <rpc_codes.h>

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace {

struct ProcessRun {
    int exitCode = -1;
    QString out, err;
};

ProcessRun runServer(const QStringList &args, int timeoutMs = 30000) {
    QProcess p;
    p.start(QStringLiteral(COT_SERVER_BIN), args);
    ProcessRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

}  // namespace

class Cli : public ServerTest {};

TEST_P(Cli, IndexSetMaintainsTheMonthlyIndex) {
    const QString month = QDate::currentDate().toString(QStringLiteral("yyyy-MM"));
    ProcessRun r = runServer({QStringLiteral("index"), QStringLiteral("set"), month, QStringLiteral("1,0523"), QStringLiteral("--database"), databaseName()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    DataPacket p = packet(QStringLiteral("getIndiceBtn"));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_DOUBLE_EQ(p.rows[0][0].toDouble(), 1.0523);
    // Setting it again replaces the value.
    r = runServer({QStringLiteral("index"), QStringLiteral("set"), month, QStringLiteral("1.1"), QStringLiteral("--database"), databaseName()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    p = packet(QStringLiteral("getIndiceBtn"));
    EXPECT_DOUBLE_EQ(p.rows.value(0).value(0).toDouble(), 1.1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDICEMENSAL")), 1);

    for (const char *bad : {"2026-13", "26-01", "2026/01"}) {
        r = runServer({QStringLiteral("index"), QStringLiteral("set"), QString::fromLatin1(bad), QStringLiteral("1"), QStringLiteral("--database"),
                       databaseName()});
        EXPECT_NE(r.exitCode, 0) << bad;
        EXPECT_TRUE(r.err.contains(QStringLiteral("AAAA-MM"))) << r.err.toStdString();
    }
    r = runServer({QStringLiteral("index"), QStringLiteral("set"), month, QStringLiteral("-2"), QStringLiteral("--database"), databaseName()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_DOUBLE_EQ(packet(QStringLiteral("getIndiceBtn")).rows.value(0).value(0).toDouble(), 1.1);
}

TEST_P(Cli, RefusesToListenBeyondTheLoopbackWithoutAToken) {
    const ProcessRun r = runServer({QStringLiteral("--listen"), QStringLiteral("0.0.0.0:0"), QStringLiteral("--database"), databaseName()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("127.0.0.1"))) << r.err.toStdString();
    // Names are resolved, not read as text: these only look local.
    for (const char *listen : {"127.attacker.example:0", "127.0.0.1.nip.io:0", "localhost.example:0"}) {
        SCOPED_TRACE(listen);
        const ProcessRun named = runServer({QStringLiteral("--listen"), QString::fromLatin1(listen), QStringLiteral("--database"), databaseName()});
        EXPECT_EQ(named.exitCode, 1);
        EXPECT_TRUE(named.err.contains(QStringLiteral("127.0.0.1"))) << named.err.toStdString();
    }
}

TEST_P(Cli, ListensOnLoopbackNamesWithoutAToken) {
    for (const char *host : {"localhost", "127.0.0.2", "::1"}) {
        SCOPED_TRACE(host);
        ServerOptions o = options;
        o.listenHost = QString::fromLatin1(host);
        o.port = 0;
        AppServer s(o);
        QString error;
        EXPECT_TRUE(s.start(&error)) << error.toStdString();
    }
}

TEST_P(Cli, LogsOneLinePerRequestWithoutTheData) {
    const QString code = newPriceTable(QStringLiteral("Nome Secreto da Tabela"));
    QTemporaryDir dir;
    QFile token(dir.filePath(QStringLiteral("token")));
    ASSERT_TRUE(token.open(QIODevice::WriteOnly));
    token.write("chave-do-teste-de-linha-de-comando\n");
    token.close();
    QProcess p;
    p.start(QStringLiteral(COT_SERVER_BIN), {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--database"),
                                             databaseName(), QStringLiteral("--token-file"), token.fileName()});
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains('\n'); ++i) {
        p.waitForReadyRead(200);
        out += p.readAllStandardOutput();
    }
    const int port = out.mid(out.lastIndexOf(':') + 1).trimmed().toInt();
    ASSERT_GT(port, 0) << out.toStdString();
    TNetConnection c;
    c.Host = QStringLiteral("127.0.0.1");
    c.Port = port;
    c.Token = QStringLiteral("chave-do-teste-de-linha-de-comando");
    ASSERT_TRUE(c.Call(QStringLiteral("getTbPreco"), {}).ok);
    EXPECT_EQ(c.Call(QStringLiteral("getDescSis"), {QStringLiteral("x'")}).errorCode, RpcCode::InvalidParams);
    c.Token = QStringLiteral("errada");
    EXPECT_EQ(c.Call(QStringLiteral("getTbPreco"), {}).errorCode, RpcCode::Unauthorized);
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    const QStringList lines = QString::fromUtf8(p.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    int rpcLines = 0;
    for (const QString &l : lines) {
        EXPECT_FALSE(l.contains(QStringLiteral("Nome Secreto"))) << l.toStdString();
        EXPECT_FALSE(l.contains(code)) << l.toStdString();
        if (l.contains(QStringLiteral(" rpc "))) ++rpcLines;
    }
    EXPECT_EQ(rpcLines, 2);
    const QString all = lines.join('\n');
    EXPECT_TRUE(all.contains(QRegularExpression(QStringLiteral("rpc getTbPreco [0-9.]+ms ok")))) << all.toStdString();
    EXPECT_TRUE(all.contains(QRegularExpression(QStringLiteral("rpc getDescSis [0-9.]+ms erro -32602")))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("http 401"))) << all.toStdString();
}

TEST_P(Cli, DemoFillsOnlyAnEmptyDatabase) {
    // The fixture's server created the schema; the database is still empty.
    QProcess p;
    p.start(QStringLiteral(COT_SERVER_BIN),
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--database"), databaseName(), QStringLiteral("--demo")});
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains('\n'); ++i) {
        p.waitForReadyRead(200);
        out += p.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("escutando")) << out.toStdString();
    p.terminate();
    p.waitForFinished(10000);

    // Operators active and inactive, service types, segments (one without table).
    EXPECT_GE(count(QStringLiteral("SELECT COUNT(*) FROM OPERADOR WHERE IDOPERATIVO = 'A'")), 3);
    EXPECT_GE(count(QStringLiteral("SELECT COUNT(*) FROM OPERADOR WHERE IDOPERATIVO = 'I'")), 1);
    EXPECT_GE(count(QStringLiteral("SELECT COUNT(*) FROM TIPOSERV")), 3);
    EXPECT_GE(count(QStringLiteral("SELECT COUNT(*) FROM SEGMERCADO")), 3);
    EXPECT_GE(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOPER")), 3);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDICEMENSAL")), 25);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDICEMENSAL WHERE MESINDICE = ? OR MESINDICE = ?"),
                    {today.addMonths(-12).toString("yyyy-MM"), today.addMonths(12).toString("yyyy-MM")}),
              2);
    EXPECT_EQ(packet(QStringLiteral("getIndiceBtn")).rows.size(), 1);
    // Two or three price tables, each with complete bands 1..20 and 1..150.
    const DataPacket tables = packet(QStringLiteral("getRelTbPreco"), {QString(), QStringLiteral("T")});
    EXPECT_GE(tables.rows.size(), 2);
    EXPECT_LE(tables.rows.size(), 3);
    QString all = QStringLiteral("T");
    EXPECT_TRUE(call(QStringLiteral("getLuSist"), {RpcArg::ref(&all), QStringLiteral("20")}).ok);
    EXPECT_TRUE(call(QStringLiteral("getLuUsu"), {RpcArg::ref(&all), QStringLiteral("150")}).ok);
    // New codes continue after the demonstration's.
    const QString next = call(QStringLiteral("PrxPrecoProp")).data.toString();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP >= ?"), {next}), 0);

    // A second start with --demo adds nothing.
    const qint64 before = count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA"));
    QProcess again;
    again.start(QStringLiteral(COT_SERVER_BIN),
                {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--database"), databaseName(), QStringLiteral("--demo")});
    out.clear();
    for (int i = 0; i < 100 && !out.contains('\n'); ++i) {
        again.waitForReadyRead(200);
        out += again.readAllStandardOutput();
    }
    again.terminate();
    again.waitForFinished(10000);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), before);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDICEMENSAL")), 25);
}

COT_BOTH_BACKENDS(Cli);
