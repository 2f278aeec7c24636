#pragma once
// The band lists' fixture: a price table with its bands on a real server,
// the main screen on its band sub-page, a server that answers as scripted,
// and what a user does to the list.
#include "screen_fixture.h"
#include "grid_test_helpers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

using namespace Cli_cot00300;

namespace {

struct Band {
    int first, last;
    double percent;
};

struct StoredBand {
    QString first, last;
    double percent;
};

const QString kToken = QStringLiteral("chave-de-teste");

// Catalogue texts the screen shows.
const QString kQtIniMaior = QStringLiteral("Quantidade Inicial deve ser maior que ( 0 )");
const QString kQtFinSisMaior = QStringLiteral("Quantidade Final de Sistemas não pode ser maior que ( 20 ).");
const QString kQtFinUsuMaior = QStringLiteral("Quantidade Final de Usuarios não pode ser maior que ( 150 ).");
const QString kVrDescMaior = QStringLiteral("Valor de desconto não pode ser maior que (100%).");
const QString kVrDescInf = QStringLiteral("Valor de Desconto deve ser Informado");
const QString kQtIniCad = QStringLiteral("Intervalo Inicial já cadastrada para Tabela informada!");
const QString kQtFinMaior = QStringLiteral("Intervalo final deve ser maior ou igual ao Intervalo inicial");

QString IniNaoPode(const QString &band) { return QStringLiteral("Intervalo inicial não pode está entre %1.").arg(band); }
QString FinNaoPode(const QString &band) { return QStringLiteral("Intervalo final não pode está entre %1.").arg(band); }
QString FinNaoMaior(const QString &n) { return QStringLiteral("Intervalo Final não pode ser maior que %1.").arg(n); }
QString NaoMenor(const QString &n) { return QStringLiteral("Intervalo Inicial não pode ser menor que ( %1 ).").arg(n); }

TNetConnection *NewConnection(int port) {
    auto *net = new TNetConnection;
    net->Host = QStringLiteral("127.0.0.1");
    net->Port = port;
    net->Token = kToken;
    net->ThrowException = false;
    return net;
}

// A band table of one list, as any client builds it.
void DefineBandFields(TClientTable &t, bool users) {
    t.AddField(QStringLiteral("CDPRECOPROP"), FieldType::String, 10);
    t.AddField(users ? QStringLiteral("QTINIUSUARIOS") : QStringLiteral("QTINISISTEMAS"), FieldType::String, 5);
    t.AddField(users ? QStringLiteral("QTFINUSUARIOS") : QStringLiteral("QTFINSISTEMAS"), FieldType::String, 5);
    t.AddField(users ? QStringLiteral("VRPERCDESCUSU") : QStringLiteral("VRPERCDESCSIST"), FieldType::Float);
}

QString Qty(int n) { return QStringLiteral("%1").arg(n, 5, 10, QLatin1Char('0')); }

// What must hold for the bands stored on one price table, whoever wrote them.
::testing::AssertionResult CleanSeries(QVector<StoredBand> bands, int largest) {
    std::sort(bands.begin(), bands.end(), [](const StoredBand &a, const StoredBand &b) { return a.first.toInt() < b.first.toInt(); });
    for (int i = 0; i < bands.size(); ++i) {
        const StoredBand &b = bands[i];
        if (b.first.size() != 5 || b.last.size() != 5)
            return ::testing::AssertionFailure() << "unpadded band " << b.first.toStdString() << ".." << b.last.toStdString();
        if (b.first.toInt() < 1 || b.last.toInt() > largest || b.first.toInt() > b.last.toInt() || b.percent > 100)
            return ::testing::AssertionFailure() << "band out of limits " << b.first.toStdString() << ".." << b.last.toStdString();
        if (i > 0 && b.first.toInt() <= bands[i - 1].last.toInt())
            return ::testing::AssertionFailure() << "bands " << bands[i - 1].first.toStdString() << ".." << bands[i - 1].last.toStdString()
                                                 << " and " << b.first.toStdString() << ".." << b.last.toStdString() << " overlap";
    }
    return ::testing::AssertionSuccess();
}

// A stand-in for the application server that answers some questions with
// scripted replies and hands every other request to the real server.
class ScriptedServer {
public:
    using Script = std::function<std::optional<QJsonObject>(const QString &method, const QJsonArray &params)>;

    explicit ScriptedServer(int realPort) : m_realPort(realPort) {
        m_server.Get("/health", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(R"({"status":"ok"})", "application/json");
        });
        m_server.Post(R"(/rpc/(.*))", [this](const httplib::Request &req, httplib::Response &res) {
            const QJsonObject call = QJsonDocument::fromJson(QByteArray::fromStdString(req.body)).object();
            std::optional<QJsonObject> result;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_script) result = m_script(call.value("method").toString(), call.value("params").toArray());
            }
            if (result) {
                const QJsonObject reply{{"jsonrpc", "2.0"}, {"id", call.value("id")}, {"result", *result}};
                res.set_content(QJsonDocument(reply).toJson(QJsonDocument::Compact).toStdString(), "application/json");
                return;
            }
            httplib::Client real("127.0.0.1", m_realPort);
            httplib::Headers headers;
            if (req.has_header("Authorization")) headers.emplace("Authorization", req.get_header_value("Authorization"));
            auto answer = real.Post(req.path.c_str(), headers, req.body, "application/json");
            if (!answer) {
                res.status = 502;
                return;
            }
            res.status = answer->status;
            res.set_content(answer->body, "application/json");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) std::this_thread::yield();
    }
    ~ScriptedServer() {
        m_server.stop();
        m_thread.join();
    }
    void setScript(Script script) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_script = std::move(script);
    }
    int port() const { return m_port; }

private:
    int m_realPort;
    int m_port = 0;
    httplib::Server m_server;
    std::thread m_thread;
    std::mutex m_mutex;
    Script m_script;
};

// A reply carrying one answer row and the final values of the arguments.
QJsonObject Answer(const QJsonArray &fields, const QJsonArray &row, const QJsonArray &params) {
    return QJsonObject{{"data", QJsonObject{{"fields", fields}, {"rows", QJsonArray{row}}}}, {"params", params}};
}

class BandsTest : public ScreenFixture {
protected:
    bool users = false;  // which list the helpers work on
    QString code;        // the price table of the test
    TfrmTbPreProCom *f = nullptr;

    // ------------------------------------------------ the list in use

    TClientTable *table() const { return users ? f->bands->cdsDescUsu : f->bands->cdsDescSist; }
    TDBGrid *grid() const { return users ? f->bands->dbgDescUsu : f->bands->dbgDescSis; }
    QWidget *page() const { return users ? f->bands->tshDescUsu : f->bands->tshDescSist; }
    QString firstName() const { return users ? "QTINIUSUARIOS" : "QTINISISTEMAS"; }
    QString lastName() const { return users ? "QTFINUSUARIOS" : "QTFINSISTEMAS"; }
    QString percentName() const { return users ? "VRPERCDESCUSU" : "VRPERCDESCSIST"; }
    QString getMethod() const { return users ? "getDescUsu" : "getDescSis"; }
    QString setMethod() const { return users ? "setDescUsu" : "setDescSis"; }
    int largest() const { return users ? 150 : 20; }

    // ------------------------------------------------ the server side

    QString addPriceTable(const QString &name) {
        std::unique_ptr<TNetConnection> net(NewConnection(server->port()));
        const QString newCode = CheckResultServ(net->Call("PrxPrecoProp", {})).toString();
        TClientTable t("t");
        t.LoadPacket(CheckResultPacket(net->Call("getTbPreco", {})));
        t.Append();
        t.FieldByName("CDPRECOPROP")->SetAsString(newCode);
        t.FieldByName("NMPRECOPROP")->SetAsString(name);
        t.FieldByName("DTINIPRECOPROP")->SetAsDateTime(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
        t.FieldByName("DTFINPRECOPROP")->SetAsDateTime(QDateTime(QDate(2026, 12, 31), QTime(0, 0)));
        for (const char *field : {"VRPRECOUNITSIST", "VRPERCMANUTANO", "NRMESPRAZOLOCA", "VRPEDESFILIMATR", "VRPEDESFILIFILI"})
            t.FieldByName(field)->SetAsFloat(10);
        t.Post();
        CheckResultServ(net->Call("SetIncTbPre", {t.GetDelta()}));
        return newCode;
    }

    // Another client stores bands of a list.
    void putBands(bool usersList, const QVector<Band> &bands, const QString &priceTable = QString()) {
        if (bands.isEmpty()) return;
        std::unique_ptr<TNetConnection> net(NewConnection(server->port()));
        TClientTable t("outro");
        DefineBandFields(t, usersList);
        t.CreateDataSet();
        for (const Band &b : bands) {
            t.Append();
            t.Fields(0)->SetAsString(priceTable.isEmpty() ? code : priceTable);
            t.Fields(1)->SetAsString(Qty(b.first));
            t.Fields(2)->SetAsString(Qty(b.last));
            t.Fields(3)->SetAsFloat(b.percent);
            t.Post();
        }
        const RpcReply reply = net->Call(usersList ? "setDescUsu" : "setDescSis", {t.GetDelta()});
        ASSERT_TRUE(reply.ok) << reply.errorMessage.toStdString();
    }
    void putBands(const QVector<Band> &bands) { putBands(users, bands); }

    QVector<StoredBand> stored(bool usersList, const QString &priceTable) {
        const DataPacket p = serverCall(usersList ? "getDescUsu" : "getDescSis", {priceTable});
        QVector<StoredBand> out;
        for (const Row &r : p.rows) out.append({r[1].toString(), r[2].toString(), r[3].toDouble()});
        return out;
    }
    QVector<StoredBand> stored() { return stored(users, code); }
    QStringList storedRanges(bool usersList, const QString &priceTable) {
        QStringList out;
        for (const StoredBand &b : stored(usersList, priceTable)) out << b.first + "-" + b.last;
        return out;
    }
    QStringList storedRanges() { return storedRanges(users, code); }

    // ------------------------------------------------ the screen side

    // A price table of its own, its bands stored, the screen open on the list.
    void start(const QVector<Band> &bands) {
        startServer(false);
        code = addPriceTable("Tabela de Faixas");
        putBands(bands);
        open();
    }
    void open() {
        f = openScreen();
        ASSERT_NE(f, nullptr);
        showList();
    }
    // As a user does: the focus in the grid of the sub-page shown, a click on
    // the list's tab.
    void showList() {
        f->pgcTabelaPreco->ActivePage()->findChild<TDBGrid *>()->setFocus();
        settle();
        ClickTab(f->pgcTabelaPreco, page());
        ASSERT_EQ(f->pgcTabelaPreco->ActivePage(), page());
        ASSERT_EQ(f->dtsPadrao->DataSet(), table());
        ASSERT_TRUE(grid()->hasFocus() || grid()->isAncestorOf(QApplication::focusWidget()));
        dialogs.clear();
    }

    // A new row, and the three cells typed with Tab between them; an empty
    // text leaves its cell alone. The cursor stays in "%Desconto".
    void typeNewBand(const QString &first, const QString &last, const QString &percent) {
        Press(Qt::Key_Insert);
        Press(Qt::Key_Home);
        TypeCells({first, last, percent});
        settle();
    }
    // The cursor to a row (0-based, in the list's order) and its "De" column.
    void goToRow(int index) { GoToRow(index); }
    void save() {
        ASSERT_TRUE(f->sbtGravar->isEnabled());
        Trigger(f->sbtGravar);
    }
    void cancel() { Trigger(f->sbtCancelar); }
    // Types over what the cell holds: the whole text selected first.
    void retype(const QString &text) { Retype(grid(), text); }
    QString selected() const { return SelectedColumn(grid()); }
    QString value(const QString &field) const { return table()->FieldByName(field)->AsString(); }
    QString editorText() const { return grid()->EditorText(); }
};

class BothLists : public BandsTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { users = GetParam(); }
};

std::string ListName(const ::testing::TestParamInfo<bool> &info) { return info.param ? "Users" : "Systems"; }

}  // namespace
