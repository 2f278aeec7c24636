#pragma once
// A real application server on a temporary SQLite file, the host's settings
// pointing at it and a recording dialogs service: what the main screen needs
// to run in a test (it reads nothing but through the server).

#include "app_server.h"
#include "db_geral.h"
#include "price_tables/bands.h"
#include "price_tables/frm_tb_pre_pro_com.h"
#include "price_tables/permissions.h"
#include "price_tables/price_tables.h"
#include "price_tables/service_types.h"
#include "host_application.h"
#include "host_services.h"
#include "package.h"
#include "grid_test_helpers.h"
#include "recording_dialogs.h"

#include <QApplication>
#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

class ScreenFixture : public ::testing::Test {
protected:
    // demo: start from the demonstration data; otherwise an empty database.
    void startServer(bool demo) {
        ASSERT_TRUE(dir.isValid());
        dbPath = dir.filePath("cot.db");
        launchServer(demo, 0);
        HostSettings hs;
        hs.webUrl = "127.0.0.1";
        hs.webPort = server->port();
        hs.token = "chave-de-teste";
        SetHostSettings(hs);
        HostApplication::instance().mainWindow()->show();
        Initialize();
    }

    // The server on the same database, on a chosen port (0: any).
    void launchServer(bool demo, int port) {
        ServerOptions o;
        o.database = dbPath;
        o.demo = demo;
        o.port = port;
        o.threads = 2;
        o.token = "chave-de-teste";
        server = std::make_unique<AppServer>(o);
        QString error;
        ASSERT_TRUE(server->start(&error)) << error.toStdString();
    }
    // Takes the server away and brings it back where the screen expects it.
    void stopServerKeepingPort() {
        stoppedPort = server->port();
        server->stop();
    }
    void restartServer() { launchServer(false, stoppedPort); }

    void TearDown() override {
        // Closing asks about unsaved work: whatever a test left typed goes.
        dialogs.answers.clear();
        dialogs.confirmAnswer = MsgButton::No;
        for (QMdiSubWindow *w : HostApplication::instance().mdiArea()->subWindowList()) w->close();
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Finalize();
        if (server) server->stop();
    }

    // Opens the main screen as the host does and lets it settle.
    TfrmTbPreProCom *openScreen() {
        IniProc();
        settle();
        return Cli_cot00300::frmTbPreProCom.data();
    }

    static void settle() { Settle(); }

    // A second client on the same server, to read back what it holds.
    DataPacket serverCall(const QString &method, const QVector<RpcArg> &args = {}) {
        TNetConnection net;
        net.Host = "127.0.0.1";
        net.Port = server->port();
        net.Token = "chave-de-teste";
        return CheckResultPacket(net.Call(method, args));
    }

    // Another client adds a price table behind the screen's back.
    void addPriceTableOnServer(const QString &name) {
        TNetConnection net;
        net.Host = "127.0.0.1";
        net.Port = server->port();
        net.Token = "chave-de-teste";
        const QString code = CheckResultServ(net.Call("PrxPrecoProp", {})).toString();
        TClientTable t("t");
        t.LoadPacket(CheckResultPacket(net.Call("getTbPreco", {})));
        t.Append();
        t.FieldByName("CDPRECOPROP")->SetAsString(code);
        t.FieldByName("NMPRECOPROP")->SetAsString(name);
        t.FieldByName("DTINIPRECOPROP")->SetAsDateTime(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
        t.FieldByName("DTFINPRECOPROP")->SetAsDateTime(QDateTime(QDate(2026, 12, 31), QTime(0, 0)));
        for (const char *f : {"VRPRECOUNITSIST", "VRPERCMANUTANO", "NRMESPRAZOLOCA", "VRPEDESFILIMATR", "VRPEDESFILIFILI"})
            t.FieldByName(f)->SetAsFloat(10);
        t.Post();
        CheckResultServ(net.Call("SetIncTbPre", {t.GetDelta()}));
    }

    // Runs SQL on the server's database file, for what no remote method does;
    // the first column of the first row, if any.
    QVariant sql(const QString &statement, const QVariantList &values = {}) {
        QVariant first;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture-sql"));
            db.setDatabaseName(dbPath);
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            q.prepare(statement);
            for (const QVariant &v : values) q.addBindValue(v);
            EXPECT_TRUE(q.exec()) << statement.toStdString();
            if (q.next()) first = q.value(0);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fixture-sql"));
        return first;
    }
    // The worked example's table: systems 1-2 at 0 % and 3-20 at 10 %; users 1-1 at 0 % and 2-150 at 20 %.
    void addExampleTable(const QString &code, bool gap = false) {
        sql("INSERT INTO PRECOPROPOSTA (CDPRECOPROP, NMPRECOPROP, DTINIPRECOPROP, DTFINPRECOPROP, VRPRECOUNITSIST, VRPERCMANUTANO,"
            " NRMESPRAZOLOCA, VRPEDESFILIMATR, VRPEDESFILIFILI) VALUES (?, ?, '2026-01-01 00:00:00', '2026-12-31 00:00:00', 1000, 200, 12, 0, 10)",
            {code, QStringLiteral("Exemplo %1").arg(code.right(2))});
        sql("INSERT INTO PRECOPROPSIST VALUES (?, '00001', '00002', 0)", {code});
        sql("INSERT INTO PRECOPROPSIST VALUES (?, ?, '00020', 10)", {code, gap ? QStringLiteral("00004") : QStringLiteral("00003")});
        sql("INSERT INTO PRECOPROPUSU VALUES (?, '00001', '00001', 0)", {code});
        sql("INSERT INTO PRECOPROPUSU VALUES (?, '00002', '00150', 20)", {code});
    }
    void setIndex(double value) {
        sql("DELETE FROM INDICEMENSAL WHERE MESINDICE = ?", {QDate::currentDate().toString("yyyy-MM")});
        if (value > 0) sql("INSERT INTO INDICEMENSAL VALUES (?, ?)", {QDate::currentDate().toString("yyyy-MM"), value});
    }

    QTemporaryDir dir;
    QString dbPath;
    int stoppedPort = 0;
    std::unique_ptr<AppServer> server;
    RecordingDialogs dialogs;
};
