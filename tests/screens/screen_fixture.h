#pragma once
// A real application server on a temporary SQLite file, the host's settings
// pointing at it, the shared database open on the same file, and a recording
// dialogs service: what the main screen needs to run in a test.

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
        QString error;
        HostSettings hs;
        hs.webUrl = "127.0.0.1";
        hs.webPort = server->port();
        hs.token = "chave-de-teste";
        SetHostSettings(hs);
        ASSERT_TRUE(dtmDBGeral().open(dbPath, &error)) << error.toStdString();
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

    QTemporaryDir dir;
    QString dbPath;
    int stoppedPort = 0;
    std::unique_ptr<AppServer> server;
    RecordingDialogs dialogs;
};
