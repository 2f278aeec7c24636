#include "frm_rel_tb_preco.h"
#include "method_names.h"
#include "discount_types.h"

#include "cli_cot00301.h"
#include "price_simulation.h"
#include "report_catalogue.h"
#include "report_cot003.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

using namespace Cli_cot00301;

namespace {


FieldDef num(const char *n) { return {QString::fromLatin1(n), FieldType::Float, 0}; }
FieldDef str(const char *n, int size) { return {QString::fromLatin1(n), FieldType::String, size}; }

void define(TClientTable *t, const QVector<FieldDef> &fields) {
    for (const FieldDef &f : fields) t->AddField(f.name, f.type, f.size);
    t->LogChanges = false;
    t->CreateDataSet();
}

}  // namespace

TfrmRelTbPreco::TfrmRelTbPreco(TNetConnection *connection, QWidget *parent) : TfrmDadosGerRel(parent), m_net(connection) {
    setObjectName(QStringLiteral("frmRelTbPreco"));
    SetCaption(QStringLiteral("Relatório de Tabela de Preço - Proposta Comercial"));
    lblCodTela->setText(QStringLiteral("COT00301"));
    lblCodRel->setText(QStringLiteral("COT003"));
    msgPadrao.SetLines(ReportCatalogue::lines());
    defineTables();
    buildControls();
    dtsRelatorio = dtsAux;
    resize(680, 360);
}

void TfrmRelTbPreco::defineTables() {
    cdsTbPreco = new TClientTable(QStringLiteral("cdsTbPreco"), this);
    cdsTbPreco->AddField(QStringLiteral("IDMARCADO"), FieldType::String, 1);
    cdsTbPreco->AddField(QStringLiteral("CDPRECOPROP"), FieldType::String, 10, QStringLiteral("Código"));
    cdsTbPreco->AddField(QStringLiteral("NMPRECOPROP"), FieldType::String, 50, QStringLiteral("Nome"));
    cdsTbPreco->LogChanges = false;
    cdsTbPreco->CreateDataSet();
    dtsTbPreco = new TDataSource(cdsTbPreco, this);
    dtsTbPreco->setObjectName(QStringLiteral("dtsTbPreco"));

    cdsIndiceBtn = new TClientTable(QStringLiteral("cdsIndiceBtn"), this);
    define(cdsIndiceBtn, {num("VRINDICE")});
    cdsLuSist = new TClientTable(QStringLiteral("cdsLuSist"), this);
    define(cdsLuSist, {num("VRPERCMANUTANO"), num("NRMESPRAZOLOCA"), str("NMPRECOPROP", 50), num("VRPRECOUNITSIST"), num("VRPERCDESCSIST"),
                       str("QTFINSISTEMAS", 5), str("CDPRECOPROP", 10), num("VRPEDESFILIMATR"), num("VRPEDESFILIFILI")});
    cdsLuUsu = new TClientTable(QStringLiteral("cdsLuUsu"), this);
    define(cdsLuUsu, {str("NMPRECOPROP", 50), num("VRPRECOUNITSIST"), num("VRPERCDESCUSU"), str("QTFINUSUARIOS", 5), str("CDPRECOPROP", 10),
                      num("VRPERCMANUTANO"), num("NRMESPRAZOLOCA")});
    cdsAux = new TClientTable(QStringLiteral("cdsAux"), this);
    define(cdsAux, PriceSimulation::auxFields());
    dtsAux = new TDataSource(cdsAux, this);
    dtsAux->setObjectName(QStringLiteral("dtsAux"));
}

void TfrmRelTbPreco::buildControls() {
    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    auto *grid = new QGridLayout(grbDadosRel);

    gpbTbPreco = static_cast<QGroupBox *>(named(new QGroupBox(QStringLiteral("Tabela de Preço"), grbDadosRel), "gpbTbPreco"));
    auto *tb = new QHBoxLayout(gpbTbPreco);
    rbtTbPrecoTodos = static_cast<QRadioButton *>(named(new QRadioButton(QStringLiteral("Todos"), gpbTbPreco), "rbtTbPrecoTodos"));
    rbtTbPrecoLista = static_cast<QRadioButton *>(named(new QRadioButton(QStringLiteral("Lista"), gpbTbPreco), "rbtTbPrecoLista"));
    btpTbPreco = static_cast<TBtnPesquisa *>(named(new TBtnPesquisa(gpbTbPreco), "btpTbPreco"));
    btpTbPreco->setToolTip(QStringLiteral("Pesquisar"));
    btpTbPreco->Associate = rbtTbPrecoLista;
    btpTbPreco->DataSource = dtsTbPreco;
    btpTbPreco->OnClick = [this] { btpTbPrecoClick(); };
    btpTbPreco->setEnabled(false);
    rbtTbPrecoTodos->setChecked(true);
    tb->addWidget(rbtTbPrecoTodos);
    tb->addWidget(rbtTbPrecoLista);
    tb->addWidget(btpTbPreco);
    tb->addStretch(1);
    // The tables picked under "Lista", so the choice can be seen before the report.
    lblTbPrecoLista = static_cast<QLabel *>(named(new QLabel(grbDadosRel), "lblTbPrecoLista"));
    lblTbPrecoLista->setWordWrap(true);
    connect(rbtTbPrecoTodos, &QRadioButton::clicked, this, [this] { RunGuarded([this] { rbtTbPrecoTodosClick(); }); });
    connect(rbtTbPrecoLista, &QRadioButton::clicked, this, [this] { RunGuarded([this] { rbtTbPrecoListaClick(); }); });

    gpbTipo = static_cast<QGroupBox *>(named(new QGroupBox(QStringLiteral("Tipo"), grbDadosRel), "gpbTipo"));
    auto *tp = new QVBoxLayout(gpbTipo);
    chkTipoLU = static_cast<QCheckBox *>(named(new QCheckBox(DiscountTypes::Licence.captionText(), gpbTipo), "chkTipoLU"));
    chkTipoManut = static_cast<QCheckBox *>(named(new QCheckBox(DiscountTypes::Maintenance.captionText(), gpbTipo), "chkTipoManut"));
    chkTipoLoc = static_cast<QCheckBox *>(named(new QCheckBox(DiscountTypes::Rental.captionText(), gpbTipo), "chkTipoLoc"));
    // Shown in the order the Tab key walks them.
    tp->addWidget(chkTipoManut);
    tp->addWidget(chkTipoLoc);
    tp->addWidget(chkTipoLU);

    gpbNRs = static_cast<QGroupBox *>(named(new QGroupBox(grbDadosRel), "gpbNRs"));
    auto *nr = new QGridLayout(gpbNRs);
    lblNrSist = static_cast<QLabel *>(named(new QLabel(QStringLiteral("Nr. de Sistemas"), gpbNRs), "lblNrSist"));
    lblNrUsu = static_cast<QLabel *>(named(new QLabel(QStringLiteral("Nr. de Usuários"), gpbNRs), "lblNrUsu"));
    mskNrSist = static_cast<QLineEdit *>(named(new QLineEdit(QString::number(MaxSist), gpbNRs), "mskNrSist"));
    mskNrUsu = static_cast<QLineEdit *>(named(new QLineEdit(QString::number(MaxUsu), gpbNRs), "mskNrUsu"));
    lblNrSist->setBuddy(mskNrSist);
    lblNrUsu->setBuddy(mskNrUsu);
    for (QLineEdit *e : {mskNrSist, mskNrUsu}) {
        e->setMaximumWidth(70);
        e->installEventFilter(this);
    }
    nr->addWidget(lblNrSist, 0, 0);
    nr->addWidget(mskNrSist, 0, 1);
    nr->addWidget(lblNrUsu, 1, 0);
    nr->addWidget(mskNrUsu, 1, 1);

    grbModoLocal = static_cast<QGroupBox *>(named(new QGroupBox(QStringLiteral("Modo/Local Processamento"), grbDadosRel), "grbModoLocal"));
    auto *ml = new QVBoxLayout(grbModoLocal);
    rbtMatrMatr = static_cast<QRadioButton *>(named(new QRadioButton(QStringLiteral("Matriz/Matriz"), grbModoLocal), "rbtMatrMatr"));
    rbtFiliFili = static_cast<QRadioButton *>(named(new QRadioButton(QStringLiteral("Filial/Filial"), grbModoLocal), "rbtFiliFili"));
    rbtFiliMatr = static_cast<QRadioButton *>(named(new QRadioButton(QStringLiteral("Filial/Matriz"), grbModoLocal), "rbtFiliMatr"));
    rbtMatrMatr->setChecked(true);
    ml->addWidget(rbtMatrMatr);
    ml->addWidget(rbtFiliFili);
    ml->addWidget(rbtFiliMatr);

    grid->addWidget(gpbTbPreco, 0, 0);
    grid->addWidget(gpbTipo, 1, 0);
    grid->addWidget(gpbNRs, 0, 1);
    grid->addWidget(grbModoLocal, 1, 1);
    grid->addWidget(lblTbPrecoLista, 2, 0, 1, 2);

    // The groups in their order; inside "Tipo" licence of use comes last.
    QWidget::setTabOrder(rbtTbPrecoTodos, rbtTbPrecoLista);
    QWidget::setTabOrder(rbtTbPrecoLista, btpTbPreco);
    QWidget::setTabOrder(btpTbPreco, chkTipoManut);
    QWidget::setTabOrder(chkTipoManut, chkTipoLoc);
    QWidget::setTabOrder(chkTipoLoc, chkTipoLU);
    QWidget::setTabOrder(chkTipoLU, mskNrSist);
    QWidget::setTabOrder(mskNrSist, mskNrUsu);
    QWidget::setTabOrder(mskNrUsu, rbtMatrMatr);
    QWidget::setTabOrder(rbtMatrMatr, rbtFiliFili);
    QWidget::setTabOrder(rbtFiliFili, rbtFiliMatr);
}

// ------------------------------------------------------------------ selection of tables

void TfrmRelTbPreco::FormActivate() {
    TfrmDadosGerRel::FormActivate();
    // The first choice takes the focus where it can be seen.
    QRadioButton *first = rbtTbPrecoLista->isChecked() ? rbtTbPrecoLista : rbtTbPrecoTodos;
    // As the Tab key gives it: the style draws the focus frame only once the
    // window has seen a keyboard focus change.
    window()->setAttribute(Qt::WA_KeyboardFocusChange);
    first->setFocus(Qt::TabFocusReason);
}

void TfrmRelTbPreco::showChosenTables() {
    if (!rbtTbPrecoLista->isChecked() || stCDPRECOPROP.isEmpty() || stCDPRECOPROP == QLatin1String("T")) {
        lblTbPrecoLista->clear();
        return;
    }
    QStringList chosen;
    for (const QString &code : stCDPRECOPROP.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString name;
        const DataPacket rows = cdsTbPreco->Data();
        const int c = rows.fieldIndex(QStringLiteral("CDPRECOPROP")), n = rows.fieldIndex(QStringLiteral("NMPRECOPROP"));
        for (const Row &r : rows.rows)
            if (r.value(c).toString() == code) name = r.value(n).toString().trimmed();
        chosen << (name.isEmpty() ? code : QStringLiteral("%1 - %2").arg(code, name));
    }
    lblTbPrecoLista->setText(QStringLiteral("Tabelas escolhidas: %1").arg(chosen.join(QStringLiteral("; "))));
}

void TfrmRelTbPreco::rbtTbPrecoTodosClick() {
    btpTbPreco->setEnabled(false);
    stCDPRECOPROP.clear();
    showChosenTables();
}

void TfrmRelTbPreco::rbtTbPrecoListaClick() {
    btpTbPreco->setEnabled(true);
    if (stCDPRECOPROP == QLatin1String("T")) stCDPRECOPROP.clear();  // a chosen list stays
    showChosenTables();
}

void TfrmRelTbPreco::btpTbPrecoClick() {
    load(cdsTbPreco, Method::getRelTbPreco, {QString(), QStringLiteral("T")});
    const QString text = msgPadrao.Msg(QStringLiteral("TB_PRECO")) + QLatin1Char('|') + msgPadrao.Msg(QStringLiteral("TB_N_CAD_OU"));
    PesquisaLista(dtsTbPreco, QStringLiteral("CDPRECOPROP"), text, false, stCDPRECOPROP);
    showChosenTables();
}

void TfrmRelTbPreco::load(TClientTable *table, const QString &method, const QVector<RpcArg> &args) {
    if (!m_net) throw EAppError(QStringLiteral("A tela de preços e descontos foi fechada: não há conexão com o servidor de aplicação."));
    DataPacket packet;
    if (m_prefetched.contains(method)) {
        const RpcReply reply = m_prefetched.take(method);
        for (int i = 0; i < args.size() && i < reply.params.size(); ++i) args[i].writeBack(reply.params.at(i));
        packet = CheckResultPacket(reply);
    } else {
        WaitAnimation wait(HostApplication::instance().mainWindow(), WaitKind::OverMainWindow);
        packet = CheckResultPacket(m_net->Call(method, args));
    }
    table->LoadPacket(std::move(packet));
}

void TfrmRelTbPreco::prefetchReads() {
    m_prefetched.clear();
    if (!m_net || (rbtTbPrecoLista->isChecked() && stCDPRECOPROP.isEmpty())) return;  // the checks refuse first
    const QString selection = stCDPRECOPROP.isEmpty() ? QStringLiteral("T") : stCDPRECOPROP;
    QVector<RpcCall> calls;
    if (!rbtTbPrecoLista->isChecked()) calls.append({Method::getRelTbPreco, {QString(), QStringLiteral("T")}});
    calls.append(RpcCall{Method::getIndiceBtn, {}});
    calls.append({Method::getLuSist, {selection, mskNrSist->text()}});
    calls.append({Method::getLuUsu, {selection, mskNrUsu->text()}});
    QVector<RpcReply> replies;
    {
        WaitAnimation wait(HostApplication::instance().mainWindow(), WaitKind::OverMainWindow);
        replies = m_net->CallBatch(calls);
    }
    for (int i = 0; i < calls.size(); ++i) m_prefetched.insert(calls[i].method, replies[i]);
}

// ------------------------------------------------------------------ key filters

void TfrmRelTbPreco::mskNrSistKeyPress(QChar &key) {
    if (key != QChar(8) && !(key >= QLatin1Char('0') && key <= QLatin1Char('9'))) key = QChar(0);
}

void TfrmRelTbPreco::mskNrUsuKeyPress(QChar &key) { mskNrSistKeyPress(key); }

void TfrmRelTbPreco::mskNrSistKeyDown(int &key) {
    if (key != VK_BACK && !(key >= VK_NUMPAD0 && key <= VK_NUMPAD0 + 9)) key = 0;
}

bool TfrmRelTbPreco::eventFilter(QObject *watched, QEvent *event) {
    if ((watched == mskNrSist || watched == mskNrUsu) && event->type() == QEvent::KeyPress) {
        auto *e = static_cast<QKeyEvent *>(event);
        if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Cut) ||
            e->matches(QKeySequence::SelectAll))
            return false;
        // Tab and Shift+Tab leave the count fields as they leave every field.
        if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) return false;
        const QString text = e->text();
        QChar ch = e->key() == Qt::Key_Backspace ? QChar(8) : (text.size() == 1 ? text[0] : QChar(0));
        const bool printable = ch == QChar(8) || (!ch.isNull() && ch.isPrint());
        if (watched == mskNrSist) {
            // The key-down filter lets through backspace and the keypad digits
            // only; main-keyboard digits still come through the character filter.
            int vk = VirtualKey(e);
            mskNrSistKeyDown(vk);
            if (vk != 0) return false;
            if (!printable) return true;
            mskNrSistKeyPress(ch);
            return ch.isNull();
        }
        if (!printable) return false;  // editing keys work in the users field
        mskNrUsuKeyPress(ch);
        return ch.isNull();
    }
    return TfrmDadosGerRel::eventFilter(watched, event);
}

// ------------------------------------------------------------------ validation chain

int TfrmRelTbPreco::checkCount(QLineEdit *edit, bool show, int limit, const char *emptyKey, const char *lowKey, const char *highKey) {
    auto fail = [this, edit](const QString &text) {
        edit->clear();
        MensErro(text, true);
    };
    const QString text = edit->text();
    if (EmptyString(text)) {
        if (show) fail(msgPadrao.Msg(QString::fromLatin1(emptyKey)));
        Abort();
    }
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok) fail(QStringLiteral("\"%1\" não é um número inteiro válido.").arg(text.trimmed()));
    if (value <= 0) fail(msgPadrao.Msg(QString::fromLatin1(lowKey)));
    if (value > limit) fail(msgPadrao.Msg(QString::fromLatin1(highKey)));
    return value;
}

void TfrmRelTbPreco::vd_LimiteSist(bool show) {
    inSist = 0;
    inSist = checkCount(mskNrSist, show, MaxSist, "NUM_SIST_INF", "SIST_MAIOR", "NUMSIST_ACIMA_LMT");
}

void TfrmRelTbPreco::vd_LimiteUsu(bool show) {
    inUsu = 0;
    inUsu = checkCount(mskNrUsu, show, MaxUsu, "NUM_USU_INF", "USU_MAIOR", "NUMUSU_ACIMA_LMT");
}

void TfrmRelTbPreco::vd_CheckTipo(bool show) {
    if (chkTipoLU->isChecked() || chkTipoManut->isChecked() || chkTipoLoc->isChecked()) return;
    gpbTipo->setFocus();
    if (show) MensErro(msgPadrao.Msg(QStringLiteral("SEL_TIPO")), true);
    Abort();
}

void TfrmRelTbPreco::vd_TbPreco(bool show) {
    auto fail = [this, show](const char *key) {
        gpbTbPreco->setFocus();
        if (show) MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
        Abort();
    };
    if (rbtTbPrecoLista->isChecked()) {
        if (stCDPRECOPROP.isEmpty()) fail("TBPRECO_SEL");
        return;
    }
    try {
        load(cdsTbPreco, Method::getRelTbPreco, {QString(), QStringLiteral("T")});
    } catch (...) {
        gpbTbPreco->setFocus();
        throw;
    }
    if (cdsTbPreco->IsEmpty()) fail("TB_N_CAD_OU");
}

void TfrmRelTbPreco::vd_IndiceMes() {
    load(cdsIndiceBtn, Method::getIndiceBtn, {});
    if (cdsIndiceBtn->IsEmpty()) MensErro(msgPadrao.Msg(QStringLiteral("MES_N_CAD")), true);
}

void TfrmRelTbPreco::runChecks() {
    vd_LimiteSist(true);
    vd_LimiteUsu(true);
    vd_CheckTipo(true);
    vd_TbPreco(true);
    vd_IndiceMes();
}

// ------------------------------------------------------------------ report actions

QString TfrmRelTbPreco::modeCaption() const {
    if (rbtFiliFili->isChecked()) return rbtFiliFili->text();
    if (rbtFiliMatr->isChecked()) return rbtFiliMatr->text();
    return rbtMatrMatr->text();
}

void TfrmRelTbPreco::buildReport() {
    using namespace PriceSimulation;
    // The local checks refuse before anything is read; then one round trip
    // brings every answer the remaining checks and the build use.
    vd_LimiteSist(true);
    vd_LimiteUsu(true);
    vd_CheckTipo(true);
    prefetchReads();
    struct Forget {
        QHash<QString, RpcReply> &answers;
        ~Forget() { answers.clear(); }  // a refusal leaves nothing for the next build
    } forget{m_prefetched};
    runChecks();
    inMostraQtSis = mskNrSist->text().trimmed().toInt();
    inMostraQtUsu = mskNrUsu->text().trimmed().toInt();
    if (stCDPRECOPROP.isEmpty()) stCDPRECOPROP = QStringLiteral("T");
    load(cdsLuSist, Method::getLuSist, {RpcArg::ref(&stCDPRECOPROP), mskNrSist->text()});
    load(cdsLuUsu, Method::getLuUsu, {RpcArg::ref(&stCDPRECOPROP), mskNrUsu->text()});

    Parameters p;
    p.systems = inMostraQtSis;
    p.users = inMostraQtUsu;
    if (chkTipoLU->isChecked()) p.types.append(PriceType::Licence);
    if (chkTipoManut->isChecked()) p.types.append(PriceType::Maintenance);
    if (chkTipoLoc->isChecked()) p.types.append(PriceType::Rental);
    p.mode = rbtFiliFili->isChecked() ? LocationMode::BranchBranch : rbtFiliMatr->isChecked() ? LocationMode::BranchHead : LocationMode::HeadHead;
    TField *index = cdsIndiceBtn->FieldByName(QStringLiteral("VRINDICE"));
    if (index->IsNull()) throw EAppError(QStringLiteral("O índice do mês vigente está cadastrado sem valor; o relatório não pode ser calculado."));
    p.index = index->AsFloat();

    // Built whole before the report table changes: a refusal keeps the last report.
    const Result result = simulate(cdsLuSist->Data(), cdsLuUsu->Data(), p);
    arGravaResultSis = result.working.bySystem;
    arGravaResultUsu = result.working.byUser;
    doVrPrecoUnit = result.working.unitPrice;
    doResult = result.working.result;
    doPercent = result.working.percent;
    cdsAux->Close();
    cdsAux->CreateDataSet();
    cdsAux->LoadPacket(toAuxPacket(result.rows));

    Cot003::Header h;
    h.tables = stCDPRECOPROP == QLatin1String("T") ? QStringLiteral("Todas") : QString(stCDPRECOPROP).replace(QLatin1Char(','), QStringLiteral(", "));
    QStringList types;
    for (PriceType t : {PriceType::Licence, PriceType::Maintenance, PriceType::Rental})
        if (p.types.contains(t)) types.append(typeCaption(t));
    h.types = types.join(QStringLiteral(", "));
    h.mode = modeCaption();
    h.index = throughText(p.index);
    ReportParams = Cot003::toParams(h);
    TfrmDadosGerRel::buildReport();
}

void TfrmRelTbPreco::FormClose() {
    if (rbtTbPrecoLista->isChecked()) {
        rbtTbPrecoTodos->setChecked(true);
        stCDPRECOPROP.clear();
    }
    TfrmDadosGerRel::FormClose();
    boIdCriado = false;
}
