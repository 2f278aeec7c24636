// The discount band lists by number of systems and by number of users, typed
// into their real grids against a real application server: the key filter,
// what leaving a column checks, the steps before a band is posted, the sending
// of every posted or deleted band, and what holds when other clients write
// bands of the same price table at the same time.
#include "screen_fixture.h"
#include "widget_test_helpers.h"

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
        const int index = f->pgcTabelaPreco->indexOf(page());
        QTest::mouseClick(f->pgcTabelaPreco->tabBar(), Qt::LeftButton, {}, f->pgcTabelaPreco->tabBar()->tabRect(index).center());
        settle();
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
        Type(first);
        Press(Qt::Key_Tab);
        Type(last);
        Press(Qt::Key_Tab);
        Type(percent);
        settle();
    }
    // The cursor to a row (0-based, in the list's order) and its "De" column.
    void goToRow(int index) {
        Press(Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < index; ++i) Press(Qt::Key_Down);
        Press(Qt::Key_Home);
        settle();
    }
    void save() {
        ASSERT_TRUE(f->sbtGravar->isEnabled());
        f->sbtGravar->trigger();
        settle();
    }
    void cancel() {
        f->sbtCancelar->trigger();
        settle();
    }
    // Types over what the cell holds: the whole text selected first.
    void retype(const QString &text) {
        if (grid()->EditorMode()) {
            Press(Qt::Key_Home);
            Press(Qt::Key_End, Qt::ShiftModifier);
        } else {
            Press(Qt::Key_F2);
        }
        Type(text);
    }
    QString selected() const {
        TField *sel = grid()->SelectedField();
        return sel ? sel->FieldName() : QString();
    }
    QString value(const QString &field) const { return table()->FieldByName(field)->AsString(); }
    QString editorText() const { return grid()->EditorText(); }
};

class BothLists : public BandsTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { users = GetParam(); }
};

std::string ListName(const ::testing::TestParamInfo<bool> &info) { return info.param ? "Users" : "Systems"; }

}  // namespace

INSTANTIATE_TEST_SUITE_P(Lists, BothLists, ::testing::Bool(), ListName);

// ---------------------------------------------------------------- key filter

TEST_P(BothLists, KeyFilterLetsOnlyDigitsIntoQuantitiesAndOneSeparatorIntoThePercentage) {
    start({});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("a-,+");
    EXPECT_FALSE(grid()->EditorMode()) << "a dropped key opened the cell";
    Type("7x.");
    EXPECT_EQ(editorText(), "7");
    Press(Qt::Key_Backspace);
    EXPECT_EQ(editorText(), "");
    // No more digits than the quantity holds.
    Type("123456");
    EXPECT_EQ(editorText(), "12345");
    Press(Qt::Key_Home);
    Press(Qt::Key_End, Qt::ShiftModifier);
    Type("12");
    EXPECT_EQ(editorText(), "12");
    Press(Qt::Key_Tab);
    EXPECT_EQ(value(firstName()), "00012");
    Type("-3");
    EXPECT_EQ(editorText(), "3");
    Press(Qt::Key_Tab);
    ASSERT_EQ(selected(), percentName());
    Type(",");
    EXPECT_FALSE(grid()->EditorMode()) << "a number began with the comma";
    Type("12,5");
    EXPECT_EQ(editorText(), "12,5");
    Type(",.+-a");
    EXPECT_EQ(editorText(), "12,5");
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Backspace);
    // The keypad's decimal key types the comma; a full stop after it is dropped.
    Press(Qt::Key_Period, Qt::KeypadModifier);
    Type("7.,");
    EXPECT_EQ(editorText(), "12,7");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    cancel();
}

// The percentage typed the Brazilian way, as the server stores it.
TEST_P(BothLists, APercentageTypedTheBrazilianWayIsStoredAsRead) {
    struct Case {
        const char *typed, *first, *last;
        const char *message;  // refused with it, nothing stored
        double stored;
    } const cases[] = {{"2.5", "1", "3", "Use a vírgula para os decimais: 2,5", 0},
                       {"2,5", "1", "3", nullptr, 2.5},
                       {"12,5.", "4", "6", nullptr, 12.5}};
    start({});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs.clear();
        typeNewBand(c.first, c.last, c.typed);
        save();
        EXPECT_EQ(dialogs.texts(), c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{});
        if (c.message) cancel();
        QString found;
        for (const StoredBand &band : stored(users, code))
            if (band.first.toInt() == QString(c.first).toInt()) found = QString::number(band.percent);
        EXPECT_EQ(found, c.message ? QString() : QString::number(c.stored));
    }
}

// ---------------------------------------------------------------- required values and limits

TEST_P(BothLists, FirstQuantityZeroIsRefused) {
    start({});
    typeNewBand("0", "3", "10");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtIniMaior});
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_TRUE(stored().isEmpty());
    // Corrected, the same row goes.
    Type("1");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(storedRanges(), QStringList{"00001-00003"});
}

TEST_P(BothLists, LargestLastQuantityPassesAndOneMoreIsRefused) {
    start({});
    const QString tooLarge = users ? kQtFinUsuMaior : kQtFinSisMaior;
    typeNewBand("1", QString::number(largest() + 1), "10");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{tooLarge});
    EXPECT_EQ(selected(), lastName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_TRUE(stored().isEmpty());
    Type(QString::number(largest()));
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(storedRanges(), QStringList{"00001-" + Qty(largest())});
}

TEST_P(BothLists, HundredPercentPassesAndMoreIsRefused) {
    start({});
    typeNewBand("1", "2", "100,01");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kVrDescMaior});
    EXPECT_EQ(selected(), percentName());
    EXPECT_TRUE(stored().isEmpty());
    retype("100");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    const QVector<StoredBand> bands = stored();
    ASSERT_EQ(bands.size(), 1);
    EXPECT_DOUBLE_EQ(bands[0].percent, 100.0);
}

TEST_P(BothLists, MissingValuesAreReportedOneAtATimeInOrder) {
    start({});
    const QString firstMissing = users ? "Favor informar o intervalo inicial de desconto por Usuários"
                                       : "Favor Informar o intervalo Inicial de desconto por Sistemas";
    const QString lastMissing = users ? "Favor informar o intervalo final de desconto por Usuários"
                                      : "Favor informar o intervalo final de desconto por Sistemas";
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Tab);
    Type("10");
    save();
    EXPECT_EQ(dialogs.last(), firstMissing);
    EXPECT_EQ(selected(), firstName());
    Type("2");
    save();
    EXPECT_EQ(dialogs.last(), lastMissing);
    EXPECT_EQ(selected(), lastName());
    Type("4");
    Press(Qt::Key_Tab);
    Press(Qt::Key_Delete);  // no effect outside an editor
    Press(Qt::Key_F2);
    QLineEdit *editor = qobject_cast<QLineEdit *>(grid()->InplaceEditor());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    Press(Qt::Key_Backspace);
    save();
    EXPECT_EQ(dialogs.last(), kVrDescInf);
    EXPECT_EQ(selected(), percentName());
    EXPECT_EQ(dialogs.shown.size(), 3);
    EXPECT_TRUE(stored().isEmpty());
}

TEST_P(BothLists, WhenSeveralItemsFailOnlyTheFirstIsReported) {
    start({});
    typeNewBand("0", "999", "150");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtIniMaior});
    Type("1");
    save();
    EXPECT_EQ(dialogs.texts(), (QStringList{kQtIniMaior, users ? kQtFinUsuMaior : kQtFinSisMaior}));
    Type("9");
    save();
    EXPECT_EQ(dialogs.last(), kVrDescMaior);
    EXPECT_TRUE(stored().isEmpty());
}

// ---------------------------------------------------------------- a new band against the stored ones

TEST_P(BothLists, NewBandStartingInsideAStoredBandIsRefusedOnLeavingDe) {
    start({{1, 5, 10}});
    for (const char *start : {"3", "1", "5"}) {
        dialogs.clear();
        Press(Qt::Key_Insert);
        Press(Qt::Key_Home);
        Type(start);
        Press(Qt::Key_Tab);
        EXPECT_EQ(dialogs.texts(), QStringList{IniNaoPode("00001 e 00005")}) << start;
        EXPECT_EQ(selected(), firstName()) << "the cursor left the refused column";
        EXPECT_EQ(table()->State(), DataSetState::Insert);
        cancel();
    }
    // Just past the band it is free.
    dialogs.clear();
    typeNewBand("6", "6", "1");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    cancel();
    EXPECT_EQ(storedRanges(), QStringList{"00001-00005"});
}

TEST_P(BothLists, NewBandEndingInsideAStoredBandIsRefusedOnLeavingAte) {
    start({{6, 8, 10}});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("2");
    Press(Qt::Key_Tab);
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoPode("00006 e 00008")});
    EXPECT_EQ(selected(), lastName());
    EXPECT_EQ(value(lastName()), "00007");
    cancel();
    EXPECT_EQ(storedRanges(), QStringList{"00006-00008"});
}

TEST_P(BothLists, NewBandEnclosingAStoredBandIsRefused) {
    start({{3, 5, 10}});
    typeNewBand("1", "8", "");
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoMaior("00003")});
    EXPECT_EQ(selected(), lastName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    // Posted from "Até" it is refused again, and not sent.
    save();
    EXPECT_EQ(dialogs.texts(), (QStringList{FinNaoMaior("00003"), FinNaoMaior("00003")}));
    // Ending below the stored band it passes.
    dialogs.clear();
    retype("2");
    Press(Qt::Key_Tab);
    Type("4");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00002", "00003-00005"}));
}

TEST_P(BothLists, NewBandAboveTheOneItWouldEncloseIsAccepted) {
    start({{1, 5, 10}});
    typeNewBand("6", "9", "12");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00009"}));
}

TEST_P(BothLists, RepeatedStartWrittenMeanwhileIsRefusedWhenPostedFromAnotherColumn) {
    start({});
    typeNewBand("1", "3", "10");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    // Another user stores a band starting at 1 while this one is typed.
    putBands({{1, 5, 20}});
    ASSERT_EQ(selected(), percentName());
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtIniCad});
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(storedRanges(), QStringList{"00001-00005"});
}

TEST_P(BothLists, GapBetweenBandsIsAccepted) {
    start({{1, 5, 10}});
    typeNewBand("10", "15", "20");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00010-00015"}));
}

TEST_P(BothLists, QuantitiesArePaddedAndABandOfOneQuantityIsAccepted) {
    start({});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(value(firstName()), "00007");
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(value(lastName()), "00007");
    Type("5");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    const QVector<StoredBand> bands = stored();
    ASSERT_EQ(bands.size(), 1);
    EXPECT_EQ(bands[0].first, "00007");
    EXPECT_EQ(bands[0].last, "00007");
    EXPECT_EQ(table()->FieldByName("CDPRECOPROP")->AsString(), code);
}

TEST_P(BothLists, PostedFromDeTheQuantitiesAreStillPadded) {
    start({});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Tab);
    Type("5");
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    Type("9");
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    Type("8");
    ASSERT_EQ(selected(), firstName());
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), QStringList{"00008-00009"});
}

TEST_P(BothLists, LastBelowFirstIsRefusedWithTheCursorInAte) {
    start({});
    typeNewBand("5", "3", "10");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtFinMaior});
    EXPECT_EQ(selected(), lastName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_TRUE(stored().isEmpty());
    Type("5");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(storedRanges(), QStringList{"00005-00005"});
}

// ---------------------------------------------------------------- editing stored bands

TEST_P(BothLists, EditingOnlyThePercentagePasses) {
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Press(Qt::Key_End);
    Type("13,5");
    EXPECT_EQ(table()->State(), DataSetState::Edit);
    EXPECT_EQ(inQtIniAux, 6);
    EXPECT_EQ(users ? stVerEditUsu : stVerEditSis, "00006");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(table()->ChangeCount(), 0);
    const QVector<StoredBand> bands = stored();
    ASSERT_EQ(bands.size(), 2);
    EXPECT_DOUBLE_EQ(bands[1].percent, 13.5);
    EXPECT_EQ(bands[1].first, "00006");
}

TEST_P(BothLists, EditedStartMovedOntoAnotherBandsStartIsRefusedAsRepeated) {
    start({{1, 5, 10}, {9, 12, 12}});
    goToRow(0);
    Type("9");
    Press(Qt::Key_Tab);  // no band ends below 1: passes here
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    Press(Qt::Key_Tab);
    ASSERT_EQ(selected(), percentName());
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtIniCad});
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Edit);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00009-00012"}));
}

TEST_P(BothLists, LoweringAnEditedStartIntoTheBandBelowSetsItBack) {
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Type("5");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{NaoMenor("6")});
    EXPECT_EQ(value(firstName()), "00006");
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Edit);
    // Raising it passes.
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(selected(), lastName());
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00007-00008"}));
}

// Shifting a band moves both its quantities in one edit: the band being
// edited still starts at its stored quantity and is no overlap of its own.
TEST_P(BothLists, ShiftingAStoredBandInOneEditIsCheckedAgainstTheOtherBandsOnly) {
    start({{1, 5, 10}, {6, 8, 12}, {10, 12, 14}});
    goToRow(1);
    Type("7");
    Press(Qt::Key_Tab);
    Type("9");
    if (users) Press(Qt::Key_Tab);  // the users list checks it on leaving "Até"
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00007-00009", "00010-00012"}));

    // Shifted into the band above it is refused.
    goToRow(1);
    Type("8");
    Press(Qt::Key_Tab);
    Type("11");
    if (users) Press(Qt::Key_Tab);
    else save();
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoMaior("00010")});
    EXPECT_EQ(selected(), lastName());
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00007-00009", "00010-00012"}));
}

TEST_P(BothLists, AnEditedLastReachingIntoTheBandBelowIsRefusedWithThatBand) {
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("3");
    if (users) Press(Qt::Key_Tab);
    else save();
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoPode("00001 e 00005")});
    EXPECT_EQ(selected(), lastName());
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

TEST_P(BothLists, AnUnchangedLastIsNeverRefused) {
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("8");
    Press(Qt::Key_Tab);
    Type("20");
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    ASSERT_EQ(stored().size(), 2);
    EXPECT_DOUBLE_EQ(stored()[1].percent, 20.0);
}

// ---------------------------------------------------------------- where the two lists differ

TEST_F(BandsTest, AnEditedSystemsStartIsCheckedAgainAtPostingAUsersStartIsNot) {
    startServer(false);
    code = addPriceTable("Tabela de Faixas");
    putBands(false, {{1, 5, 10}, {6, 8, 12}});
    putBands(true, {{1, 5, 10}, {6, 8, 12}});

    users = false;
    open();
    goToRow(1);
    Type("5");
    save();  // the cursor still in "De"
    EXPECT_EQ(dialogs.texts(), QStringList{NaoMenor("6")});
    EXPECT_EQ(value(firstName()), "00006");
    EXPECT_EQ(table()->ChangeCount(), 0);
    cancel();

    users = true;
    showList();
    goToRow(1);
    Type("5");
    save();
    // Not checked on the screen: the server refuses the overlap itself, says
    // why, and the band stays pending.
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_NE(dialogs.last(), NaoMenor("6"));
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Error);
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(table()->ChangeCount(), 1);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

TEST_F(BandsTest, AnEditedUsersLastIsCheckedOnLeavingAteASystemsLastAtPosting) {
    startServer(false);
    code = addPriceTable("Tabela de Faixas");
    putBands(false, {{1, 5, 10}, {6, 8, 12}, {10, 12, 14}});
    putBands(true, {{1, 5, 10}, {6, 8, 12}, {10, 12, 14}});

    users = true;
    open();
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("11");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoMaior("00010")});
    EXPECT_EQ(selected(), lastName());
    cancel();

    users = false;
    showList();
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("11");
    Press(Qt::Key_Tab);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(selected(), percentName());
    EXPECT_EQ(value(lastName()), "00011");
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoMaior("00010")});
    cancel();
    EXPECT_EQ(storedRanges(false, code), (QStringList{"00001-00005", "00006-00008", "00010-00012"}));
    EXPECT_EQ(storedRanges(true, code), (QStringList{"00001-00005", "00006-00008", "00010-00012"}));
}

// A refusal puts the cursor on its field and nothing else runs: moving the
// cursor there is not the user leaving the column the cursor was in.
TEST_F(BandsTest, PuttingTheCursorOnARefusedFieldRunsNoColumnCheck) {
    users = true;
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Press(Qt::Key_End);
    Press(Qt::Key_F2);
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(selected(), firstName());
    Type("5");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kVrDescInf});
    EXPECT_EQ(selected(), percentName());
    EXPECT_EQ(value(firstName()), "5");  // as typed: the check of "De" did not run
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

TEST_P(BothLists, SendingAfterPostShowsTheWaitAnimationOnTheUsersListOnly) {
    start({{1, 5, 10}});
    // Another user adds a band: posting sends without reloading the list.
    putBands({{10, 12, 30}});
    typeNewBand("6", "8", "20");
    dialogs.clear();
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(dialogs.waitKinds.count(1), users ? 1 : 0);
    EXPECT_TRUE(dialogs.waitKinds.contains(6));  // the checks' questions
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(table()->RecordCount(), 2);
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008", "00010-00012"}));
}

// ---------------------------------------------------------------- deleting

TEST_P(BothLists, DeletingABandSendsItAndReloadsTheList) {
    start({{1, 5, 10}, {6, 8, 12}});
    putBands({{10, 12, 30}});
    goToRow(0);
    dialogs.clear();
    Press(Qt::Key_Delete, Qt::ControlModifier);
    settle();
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown[0].text, "Confirma exclusão?");
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(dialogs.waitKinds.value(0), 1);  // the send
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(storedRanges(), (QStringList{"00006-00008", "00010-00012"}));
    // The reload brought the other user's band.
    EXPECT_EQ(table()->RecordCount(), 2);
    EXPECT_EQ(table()->ChangeCount(), 0);
    table()->First();
    EXPECT_EQ(value(firstName()), "00006");
    table()->Last();
    EXPECT_EQ(value(firstName()), "00010");
}

TEST_P(BothLists, ADeleteTheServerRefusesIsShownAndNotFollowedByTheReload) {
    start({{1, 5, 10}, {6, 8, 12}});
    // Another user removes the band first.
    {
        std::unique_ptr<TNetConnection> net(NewConnection(server->port()));
        TClientTable t("outro");
        DefineBandFields(t, users);
        t.LoadPacket(CheckResultPacket(net->Call(getMethod(), {code})));
        t.First();
        t.Delete();
        ASSERT_TRUE(net->Call(setMethod(), {t.GetDelta()}).ok);
    }
    goToRow(0);
    dialogs.clear();
    Press(Qt::Key_Delete, Qt::ControlModifier);
    settle();
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].type, MsgType::Error);
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(dialogs.waitHidden, dialogs.waitShown);
    EXPECT_EQ(dialogs.waitShown, 1) << "the list was reloaded after a refused delete";
    EXPECT_EQ(table()->RecordCount(), 1);
    EXPECT_EQ(table()->ChangeCount(), 1);
    // The refresh discards what the server would not take.
    f->sbtVerificar->trigger();
    settle();
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(table()->RecordCount(), 1);
    EXPECT_EQ(storedRanges(), QStringList{"00006-00008"});
}

// ---------------------------------------------------------------- refusals by the server

TEST_P(BothLists, ABandTheServerRefusesStaysPendingAndGoesAgainWithTheNextSend) {
    start({});
    typeNewBand("3", "8", "10");
    // Meanwhile another user stores a band that this one would overlap.
    putBands({{1, 5, 20}});
    save();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Error);
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(table()->ChangeCount(), 1);
    EXPECT_EQ(dialogs.waitDepth, 0);
    // What was shown is the server's own word on this change.
    {
        std::unique_ptr<TNetConnection> net(NewConnection(server->port()));
        const RpcReply again = net->Call(setMethod(), {table()->GetDelta()});
        EXPECT_FALSE(again.ok);
        EXPECT_EQ(dialogs.last(), again.errorMessage);
    }
    EXPECT_EQ(storedRanges(), QStringList{"00001-00005"});

    // Corrected, the pending band goes with the next send.
    dialogs.clear();
    goToRow(0);
    Type("6");
    Press(Qt::Key_Tab);
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

TEST_P(BothLists, AFailedQuestionIsShownAndHidesTheWaitAnimation) {
    start({{1, 5, 10}});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("7");
    server->stop();
    dialogs.clear();
    Press(Qt::Key_Tab);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar ao servidor de aplicação")) << dialogs.last().toStdString();
    EXPECT_EQ(dialogs.waitKinds, QList<int>{6});
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    cancel();
}

// ---------------------------------------------------------------- answers the checks must bear

TEST_P(BothLists, AnswersThatAreNoNumberRefuseNothing) {
    start({{1, 5, 10}, {6, 8, 12}, {12, 14, 16}});
    ScriptedServer scripted(server->port());
    HostSettings hs = CurrentHostSettings();
    hs.webPort = scripted.port();
    SetHostSettings(hs);
    f->netTbPreProCom->Close();

    const QJsonArray maxFields{QJsonObject{{"name", "FINSIST"}, {"type", "string"}, {"size", 5}},
                               QJsonObject{{"name", "FINUSU"}, {"type", "string"}, {"size", 5}}};
    const QJsonArray intervalFields{QJsonObject{{"name", users ? "INTERVUSU" : "INTERVSIS"}, {"type", "string"}, {"size", 13}}};
    QString largestEnd, enclosing;
    int writtenBack = -1;
    scripted.setScript([&](const QString &method, const QJsonArray &params) -> std::optional<QJsonObject> {
        if (method == "getQtMaxFin") {
            QJsonArray out = params;
            if (writtenBack >= 0) out[1] = writtenBack;
            return Answer(maxFields, {largestEnd, largestEnd}, out);
        }
        if (method.startsWith("getVdInterv") && params.at(0).toString() == "F")
            return Answer(intervalFields, {enclosing}, params);
        return std::nullopt;
    });

    // A lowered start of a stored band, against an empty and a wordy answer.
    for (const QString &answer : {QString(), QString("abc")}) {
        largestEnd = answer;
        dialogs.clear();
        goToRow(1);
        Type("5");
        Press(Qt::Key_Tab);
        EXPECT_TRUE(dialogs.shown.isEmpty()) << answer.toStdString() << ": " << dialogs.last().toStdString();
        EXPECT_EQ(selected(), lastName());
        EXPECT_EQ(value(firstName()), "00005");
        cancel();
    }
    // A new band reaching over a stored one, against answers that are no number.
    for (const QString &answer : {QString(), QString("xyz")}) {
        enclosing = answer;
        dialogs.clear();
        typeNewBand("9", "15", "");
        EXPECT_TRUE(dialogs.shown.isEmpty()) << answer.toStdString() << ": " << dialogs.last().toStdString();
        EXPECT_EQ(selected(), percentName());
        cancel();
    }
    // A start the server writes back is the one the check uses.
    largestEnd = "8";
    writtenBack = 9;
    dialogs.clear();
    goToRow(1);
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{NaoMenor("9")});
    EXPECT_EQ(value(firstName()), "00009");
    EXPECT_EQ(inQtIniAux, 9);
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008", "00012-00014"}));
}

TEST_P(BothLists, UnchangedQuantitiesOfAStoredBandAreNeverRefused) {
    start({{1, 5, 10}, {6, 8, 12}});
    ScriptedServer scripted(server->port());
    HostSettings hs = CurrentHostSettings();
    hs.webPort = scripted.port();
    SetHostSettings(hs);
    f->netTbPreProCom->Close();
    // Whatever is asked, the server names the band 1 to 5 and a largest end of 99.
    const QString first = firstName(), last = lastName();
    scripted.setScript([&](const QString &method, const QJsonArray &params) -> std::optional<QJsonObject> {
        if (method == "getQtMaxFin")
            return Answer({QJsonObject{{"name", "FINSIST"}, {"type", "string"}, {"size", 5}},
                           QJsonObject{{"name", "FINUSU"}, {"type", "string"}, {"size", 5}}},
                          {"00099", "00099"}, params);
        if (method == "getVdFinSistEdit" || method == "getVdFinUsuEdit")
            return Answer({QJsonObject{{"name", first}, {"type", "string"}, {"size", 5}},
                           QJsonObject{{"name", last}, {"type", "string"}, {"size", 5}}},
                          {"00001", "00005"}, params);
        return std::nullopt;
    });

    goToRow(1);
    Type("6");
    Press(Qt::Key_Tab);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    Type("8");
    if (users) Press(Qt::Key_Tab);
    else save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    if (users) save();
    EXPECT_EQ(table()->State(), DataSetState::Browse);

    // Changed, the same answers refuse.
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("9");
    if (users) Press(Qt::Key_Tab);
    else save();
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoPode("00001 e 00005")});
    cancel();
    goToRow(1);
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.last(), NaoMenor("6"));
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

// ---------------------------------------------------------------- which price table a band belongs to

// The list shown can belong to another price table than the one the price
// table list stands on (it is loaded only when its page gets the focus or is
// refreshed). A band edited or added there stays with the list it is in, and
// is checked against that list's bands.
TEST_P(BothLists, BandsStayWithThePriceTableTheirListWasLoadedFor) {
    startServer(false);
    code = addPriceTable("Tabela A");
    const QString other = addPriceTable("Tabela B");
    putBands(users, {{1, 5, 10}}, code);
    putBands(users, {{1, 3, 40}}, other);
    open();
    ASSERT_EQ(table()->FieldByName("CDPRECOPROP")->AsString(), code);
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", other));

    goToRow(0);
    Press(Qt::Key_End);
    Type("11");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();

    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("4");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{IniNaoPode("00001 e 00005")});
    Type("6");
    Press(Qt::Key_Tab);
    Type("7");
    Press(Qt::Key_Tab);
    Type("15");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.texts().join("|").toStdString();

    const QVector<StoredBand> mine = stored(users, code);
    ASSERT_EQ(mine.size(), 2);
    EXPECT_DOUBLE_EQ(mine[0].percent, 11.0);
    EXPECT_EQ(mine[1].first, "00006");
    const QVector<StoredBand> theirs = stored(users, other);
    ASSERT_EQ(theirs.size(), 1);
    EXPECT_EQ(theirs[0].last, "00003");
    EXPECT_DOUBLE_EQ(theirs[0].percent, 40.0);
}

// ---------------------------------------------------------------- several writers at once

TEST_P(BothLists, WritersRacingOnOnePriceTableNeverLeaveOverlappingBands) {
    start({});
    const int port = server->port();
    const bool usersList = users;
    const QString priceTable = code;
    const int top = largest();
    std::atomic<int> accepted{0}, refused{0};
    std::atomic<bool> go{false}, screenDone{false};
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w) {
        writers.emplace_back([&, w] {
            std::unique_ptr<TNetConnection> net(NewConnection(port));
            std::mt19937 rng(unsigned(w + 1));
            auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
            while (!go) std::this_thread::yield();
            // At least 30 changes each, and on for as long as the screen's user types.
            for (int i = 0; i < 30 || (!screenDone && i < 100000); ++i) {
                // Two screens' worth of work: read the list, change it, send the change.
                TClientTable t("corrida");
                DefineBandFields(t, usersList);
                const RpcReply list = net->Call(usersList ? "getDescUsu" : "getDescSis", {priceTable});
                if (!list.ok) continue;
                t.LoadPacket(PacketCodec::packetFromJson(list.data));
                const int action = t.RecordCount() == 0 ? 0 : pick(0, 2);
                const int first = pick(1, top), last = std::min(top, first + pick(0, 4));
                if (action == 0) {
                    t.Append();
                    t.Fields(0)->SetAsString(priceTable);
                } else {
                    t.SetRecNo(pick(1, t.RecordCount()));
                    if (action == 2) {
                        t.Delete();
                    } else {
                        t.Edit();
                    }
                }
                if (t.IsEditing()) {
                    t.Fields(1)->SetAsString(Qty(first));
                    t.Fields(2)->SetAsString(Qty(last));
                    t.Fields(3)->SetAsFloat(pick(0, 100));
                    t.Post();
                }
                const RpcReply sent = net->Call(usersList ? "setDescUsu" : "setDescSis", {t.GetDelta()});
                (sent.ok ? accepted : refused)++;
            }
        });
    }
    go = true;
    // The screen's user types bands at the same time.
    for (const auto &[first, last] : {std::pair{"2", "3"}, std::pair{"7", "9"}, std::pair{"12", "12"}}) {
        typeNewBand(first, last, "10");
        save();
        if (table()->IsEditing()) cancel();  // refused by a check: given up
        QApplication::processEvents();
    }
    screenDone = true;
    for (std::thread &t : writers) t.join();

    EXPECT_GT(accepted.load(), 0);
    EXPECT_TRUE(CleanSeries(stored(), largest()));
    // The screen's list, refreshed, is a clean series too.
    grid()->setFocus();
    settle();
    if (table()->ChangeCount() > 0) table()->CancelUpdates();
    // The refresh itself: its button is disabled when the screen's own list is
    // empty, which the race can leave.
    f->sbtVerificarClick();
    settle();
    QVector<StoredBand> shown;
    for (table()->First(); !table()->Eof(); table()->Next())
        shown.append({value(firstName()), value(lastName()), table()->FieldByName(percentName())->AsFloat()});
    EXPECT_TRUE(CleanSeries(shown, largest()));
    EXPECT_EQ(shown.size(), stored().size());
}

// ---------------------------------------------------------------- the list's own price table

// A band typed into an empty list belongs to the price table the list was
// loaded for, even when the price table list has moved on since.
TEST_P(BothLists, ABandTypedIntoAnEmptyListGoesToThePriceTableTheListWasLoadedFor) {
    start({});
    const QString other = addPriceTable("Outra Tabela");
    f->priceTables->reloadKeepingRow(WaitKind::None);
    ASSERT_EQ(f->currentPriceTable(), code);
    ASSERT_EQ(table()->RecordCount(), 0);
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", other));
    grid()->setFocus();
    settle();
    typeNewBand("1", "5", "10");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), QStringList{"00001-00005"});
    EXPECT_TRUE(storedRanges(users, other).isEmpty());
}
