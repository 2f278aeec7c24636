#include "frm_calc_preco.h"
#include "single_screen.h"
#include "method_names.h"
#include "discount_types.h"
#include "value_limits.h"

#include "desktop_look.h"
#include "dialogs.h"
#include "errors.h"
#include "host_application.h"
#include "net_connection.h"
#include "price_quote.h"
#include "report_catalogue.h"
#include "report_layout.h"
#include "routines.h"

#include <QCheckBox>

#include <algorithm>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace Cli_cot00304 {
SingleScreen<TfrmCalcPreco> screen;
QPointer<TfrmCalcPreco> &frmCalcPreco = screen.form;
bool &boStCriado = screen.created;
}  // namespace Cli_cot00304

using namespace Cli_cot00304;
using namespace PriceSimulation;

namespace {

QString money(double value) { return NumberText::format(value, QStringLiteral("#,##0.00")); }
QString percent(double value) { return NumberText::format(value, QStringLiteral("#,##0.00")) + QStringLiteral(" %"); }

QTableWidget *twoColumnGrid(QWidget *parent, const char *name, const QString &first, const QString &second, int firstWidth) {
    auto *grid = new QTableWidget(0, 2, parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setHorizontalHeaderLabels({first, second});
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setColumnWidth(0, firstWidth);
    return grid;
}

void addLine(QTableWidget *grid, const QString &item, const QString &value, Qt::Alignment valueAlign = Qt::AlignLeft) {
    const int r = grid->rowCount();
    grid->insertRow(r);
    grid->setItem(r, 0, new QTableWidgetItem(item));
    auto *v = new QTableWidgetItem(value);
    v->setTextAlignment(valueAlign | Qt::AlignVCenter);
    grid->setItem(r, 1, v);
}

// What getLuSist / getLuUsu answer for one count, cut from their answer for
// the limit: the bands that start at or below the count, in order. The
// simulation walks exactly those, as the report does. The answer holds each
// band's last count; the server has checked that they leave no gap, so a
// band starts one past the one before it.
DataPacket bandsUpTo(const DataPacket &bands, const char *lastField, int count) {
    DataPacket out;
    out.fields = bands.fields;
    const int last = bands.fieldIndex(QString::fromLatin1(lastField));
    const int code = bands.fieldIndex(QStringLiteral("CDPRECOPROP"));
    int before = 0;  // the last count of the table's band before
    QVariant table;
    for (const Row &r : bands.rows) {
        if (last < 0 || code < 0) break;
        if (r.value(code) != table) before = 0;
        table = r.value(code);
        if (before < count) out.rows.append(r);
        before = r.value(last).toString().trimmed().toInt();
    }
    return out;
}

QString stepsCaption(const char *noun, const AppliedBand &b) {
    return b.from == b.to ? QStringLiteral("%1 %2").arg(QString::fromUtf8(noun)).arg(b.from)
                          : QStringLiteral("%1 %2 a %3").arg(QString::fromUtf8(noun)).arg(b.from).arg(b.to);
}

}  // namespace

TfrmCalcPreco::TfrmCalcPreco(const PriceTableContext &context, QWidget *parent) : TfrmRotiGeral(parent), m_context(context) {
    setObjectName(QStringLiteral("frmCalcPreco"));
    setWindowTitle(QStringLiteral("Calculadora de Preço - %1 %2").arg(context.priceTable, context.priceTableName.trimmed()));
    lblCodTela->setText(QStringLiteral("COT00304"));
    resize(760, 700);
    sbtConfirma->setText(QStringLiteral("C&alcular"));
    sbtConfirma->setToolTip(QStringLiteral("Calcular de novo, lendo a tabela de preço e o índice do mês"));
    SetActionLook(sbtConfirma, {"accessories-calculator", "view-refresh"});
    grbDadosRel->setTitle(QStringLiteral("Proposta"));

    auto *layout = new QGridLayout(grbDadosRel);
    auto *counts = new QGroupBox(grbDadosRel);
    counts->setObjectName(QStringLiteral("gpbNRs"));
    auto *nr = new QGridLayout(counts);
    auto countField = [counts, nr](const char *name, const QString &caption, const QString &value, int maxLength, int row) {
        auto *edit = new QLineEdit(value, counts);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(maxLength);
        edit->setMaximumWidth(70);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        auto *label = new QLabel(caption, counts);
        label->setBuddy(edit);
        nr->addWidget(label, row, 0);
        nr->addWidget(edit, row, 1);
        return edit;
    };
    mskNrSist = countField("mskNrSist", QStringLiteral("Nr. de &Sistemas"), QStringLiteral("1"), 2, 0);
    mskNrUsu = countField("mskNrUsu", QStringLiteral("Nr. de &Usuários"), QStringLiteral("1"), 3, 1);

    auto *types = new QGroupBox(QStringLiteral("Tipo"), grbDadosRel);
    types->setObjectName(QStringLiteral("gpbTipo"));
    auto *tp = new QVBoxLayout(types);
    auto check = [types, tp](const char *name, const QString &caption) {
        auto *c = new QCheckBox(caption, types);
        c->setObjectName(QString::fromLatin1(name));
        c->setChecked(true);
        tp->addWidget(c);
        return c;
    };
    chkTipoLU = check("chkTipoLU", DiscountTypes::Licence.captionText());
    chkTipoManut = check("chkTipoManut", DiscountTypes::Maintenance.captionText());
    chkTipoLoc = check("chkTipoLoc", DiscountTypes::Rental.captionText());

    auto *modes = new QGroupBox(QStringLiteral("Modo/Local Processamento"), grbDadosRel);
    modes->setObjectName(QStringLiteral("grbModoLocal"));
    auto *ml = new QVBoxLayout(modes);
    auto radio = [modes, ml](const char *name, const QString &caption) {
        auto *r = new QRadioButton(caption, modes);
        r->setObjectName(QString::fromLatin1(name));
        ml->addWidget(r);
        return r;
    };
    rbtMatrMatr = radio("rbtMatrMatr", modeCaption(LocationMode::HeadHead));
    rbtFiliFili = radio("rbtFiliFili", modeCaption(LocationMode::BranchBranch));
    rbtFiliMatr = radio("rbtFiliMatr", modeCaption(LocationMode::BranchHead));
    rbtMatrMatr->setChecked(true);

    lblMensagem = new QLabel(grbDadosRel);
    lblMensagem->setObjectName(QStringLiteral("lblMensagem"));
    lblMensagem->setWordWrap(true);
    lblMensagem->setStyleSheet(QStringLiteral("color: #a00000;"));
    grdPrecos = twoColumnGrid(grbDadosRel, "grdPrecos", QStringLiteral("Tipo"), QStringLiteral("Preço"), 200);
    grdPrecos->setMaximumHeight(110);
    grdDetalhe = twoColumnGrid(grbDadosRel, "grdDetalhe", QStringLiteral("Como foi calculado"), QStringLiteral("Valor"), 260);

    layout->addWidget(counts, 0, 0);
    layout->addWidget(types, 0, 1);
    layout->addWidget(modes, 0, 2);
    layout->addWidget(lblMensagem, 1, 0, 1, 3);
    layout->addWidget(grdPrecos, 2, 0, 1, 3);
    layout->addWidget(grdDetalhe, 3, 0, 1, 3);
    layout->setRowStretch(3, 1);
    QWidget::setTabOrder(mskNrSist, mskNrUsu);
    QWidget::setTabOrder(mskNrUsu, chkTipoLU);
    QWidget::setTabOrder(chkTipoLU, chkTipoManut);
    QWidget::setTabOrder(chkTipoManut, chkTipoLoc);
    QWidget::setTabOrder(chkTipoLoc, rbtMatrMatr);

    tmrCalculo = new QTimer(this);
    tmrCalculo->setSingleShot(true);
    tmrCalculo->setInterval(250);
    connect(tmrCalculo, &QTimer::timeout, this, [this] { RunGuarded([this] { calculate(); }); });
    auto later = [this] { inputChanged(); };
    for (QLineEdit *e : {mskNrSist, mskNrUsu}) connect(e, &QLineEdit::textChanged, this, later);
    for (QAbstractButton *b : std::initializer_list<QAbstractButton *>{chkTipoLU, chkTipoManut, chkTipoLoc, rbtMatrMatr, rbtFiliFili, rbtFiliMatr})
        connect(b, &QAbstractButton::toggled, this, later);
}

void TfrmCalcPreco::FormActivate() {
    TfrmRotiGeral::FormActivate();
    mskNrSist->setFocus();
    mskNrSist->selectAll();
    calculate(true);
}

void TfrmCalcPreco::sbtConfirmaClick() { calculate(true); }

void TfrmCalcPreco::inputChanged() {
    if (m_reading && m_reading->whole) RunGuarded([this] { calculate(); });
    else tmrCalculo->start();
}

// The index and the bands in one batch. Bands that do not reach the limits
// (a gap, or a last band below 20 systems or 150 users) are refused whole by
// the server, as the report would be; then each count is asked for itself.
void TfrmCalcPreco::read() {
    m_reading.reset();
    const QString table = m_context.priceTable;
    const QVector<RpcReply> replies = m_context.net->CallBatch({{Method::getIndiceBtn, {}},
                                                                {Method::getLuSist, {table, QString::number(Limits::MaxSystems)}},
                                                                {Method::getLuUsu, {table, QString::number(Limits::MaxUsers)}}});
    Reading r;
    r.changesSent = TNetConnection::ChangesSent();
    r.index = CheckResultPacket(replies[0], false);
    r.whole = replies[1].ok && replies[2].ok;
    if (r.whole) {
        r.systems = CheckResultPacket(replies[1], false);
        r.users = CheckResultPacket(replies[2], false);
    }
    m_reading = std::move(r);
}

QString TfrmCalcPreco::readInputs(Parameters &p) const {
    auto count = [](QLineEdit *edit, int limit, const char *emptyKey, const char *lowKey, const char *highKey, int *out) {
        const QString text = edit->text().trimmed();
        if (text.isEmpty()) return ReportCatalogue::text(QString::fromLatin1(emptyKey));
        *out = text.toInt();
        if (*out <= 0) return ReportCatalogue::text(QString::fromLatin1(lowKey));
        if (*out > limit) return ReportCatalogue::text(QString::fromLatin1(highKey));
        return QString();
    };
    QString why = count(mskNrSist, Limits::MaxSystems, "NUM_SIST_INF", "SIST_MAIOR", "NUMSIST_ACIMA_LMT", &p.systems);
    if (why.isEmpty()) why = count(mskNrUsu, Limits::MaxUsers, "NUM_USU_INF", "USU_MAIOR", "NUMUSU_ACIMA_LMT", &p.users);
    if (!why.isEmpty()) return why;
    p.types.clear();
    if (chkTipoLU->isChecked()) p.types.append(PriceType::Licence);
    if (chkTipoManut->isChecked()) p.types.append(PriceType::Maintenance);
    if (chkTipoLoc->isChecked()) p.types.append(PriceType::Rental);
    if (p.types.isEmpty()) return ReportCatalogue::text(QStringLiteral("SEL_TIPO"));
    p.mode = rbtFiliFili->isChecked()   ? LocationMode::BranchBranch
             : rbtFiliMatr->isChecked() ? LocationMode::BranchHead
                                        : LocationMode::HeadHead;
    return QString();
}

void TfrmCalcPreco::calculate(bool readAgain) {
    tmrCalculo->stop();
    Parameters p;
    const QString why = readInputs(p);
    if (!why.isEmpty()) return showReason(why);
    if (!m_context.net) return showReason(QStringLiteral("A tela de preços e descontos foi fechada: não há conexão com o servidor de aplicação."));
    // A refusal is shown in place of the price, not in a dialog: the user is typing.
    try {
        // A price shown is never older than a change this desktop saved.
        if (readAgain || !m_reading || m_reading->changesSent != TNetConnection::ChangesSent()) {
            WaitAnimation wait(this, WaitKind::OverScreen);
            read();
        }
        const DataPacket &index = m_reading->index;
        const int col = index.fieldIndex(QStringLiteral("VRINDICE"));
        if (index.rows.isEmpty() || col < 0) return showReason(ReportCatalogue::text(QStringLiteral("MES_N_CAD")));
        const QVariant value = index.rows.first().value(col);
        if (value.isNull())
            return showReason(QStringLiteral("O índice do mês vigente está cadastrado sem valor; o preço não pode ser calculado."));
        p.index = value.toDouble();
        if (m_reading->whole)
            return showQuote(quote(bandsUpTo(m_reading->systems, "QTFINSISTEMAS", p.systems), bandsUpTo(m_reading->users, "QTFINUSUARIOS", p.users), p));
        WaitAnimation wait(this, WaitKind::OverScreen);
        const QString table = m_context.priceTable;
        const QVector<RpcReply> bands = m_context.net->CallBatch(
            {{Method::getLuSist, {table, QString::number(p.systems)}}, {Method::getLuUsu, {table, QString::number(p.users)}}});
        const DataPacket systems = CheckResultPacket(bands[0], false);
        const DataPacket users = CheckResultPacket(bands[1], false);
        showQuote(quote(systems, users, p));
    } catch (const EServerError &e) {
        showReason(e.message());
    } catch (const EAppError &e) {
        showReason(e.message());
    }
}

void TfrmCalcPreco::showReason(const QString &message) {
    lblMensagem->setText(message);
    grdPrecos->setRowCount(0);
    grdDetalhe->setRowCount(0);
}

void TfrmCalcPreco::showQuote(const Quote &q) {
    lblMensagem->clear();
    grdPrecos->setRowCount(0);
    grdDetalhe->setRowCount(0);
    bool maintenance = false, rental = false;
    for (const CellPrice &c : q.prices) {
        addLine(grdPrecos, c.type, ReportLayout::cellText(c.value), Qt::AlignRight);  // the report's cents
        maintenance |= c.type == typeCaption(PriceType::Maintenance);
        rental |= c.type == typeCaption(PriceType::Rental);
    }
    addLine(grdDetalhe, QStringLiteral("Tabela de preço"), QStringLiteral("%1 - %2").arg(q.code, q.name.trimmed()));
    addLine(grdDetalhe, QStringLiteral("Preço unitário"), money(q.unitPrice));
    if (maintenance || rental)
        addLine(grdDetalhe, QStringLiteral("Manutenção anual"),
                QStringLiteral("%1 (%2 do preço unitário)").arg(money(q.maintenance), percent(q.maintenancePercent)));
    if (rental)
        addLine(grdDetalhe, QStringLiteral("Parcela da locação"),
                QStringLiteral("%1 (preço unitário ÷ %2 meses)").arg(money(q.rentalShare), NumberText::format(q.rentalMonths)));
    for (const AppliedBand &b : q.systemBands)
        addLine(grdDetalhe, stepsCaption("Faixa por sistemas:", b), QStringLiteral("desconto de %1").arg(percent(b.percent)));
    for (const AppliedBand &b : q.userBands)
        addLine(grdDetalhe, stepsCaption("Faixa por usuários:", b), QStringLiteral("desconto de %1").arg(percent(b.percent)));
    const QString mode = rbtFiliFili->isChecked() ? rbtFiliFili->text() : rbtFiliMatr->isChecked() ? rbtFiliMatr->text() : rbtMatrMatr->text();
    addLine(grdDetalhe, QStringLiteral("Fator de filial (%1)").arg(mode),
            QStringLiteral("%1 (desconto de %2)").arg(NumberText::format(q.branchFactor), percent(q.branchDiscount)));
    addLine(grdDetalhe, QStringLiteral("Índice do mês"), NumberText::format(q.index));
    // How the parts make each price, with the figures: enough to rebuild it by hand.
    addLine(grdDetalhe, QStringLiteral("Como se combinam"),
            QStringLiteral("preço = (1º sistema com 1º usuário + sistemas a mais + usuários a mais [+ parcela da locação]) "
                           "× fator de filial × índice. 1º sistema com 1º usuário (V1) = base × (1 − (desconto do 1º usuário "
                           "+ desconto do 1º sistema) ÷ 100), base = preço unitário (licença) ou manutenção anual; "
                           "cada sistema a mais = V1 × (1 − (desconto da sua faixa + desconto do 1º usuário) ÷ 100); "
                           "cada usuário a mais = V1 × (1 − desconto da sua faixa ÷ 100)."));
    for (PriceType type : {PriceType::Licence, PriceType::Maintenance, PriceType::Rental}) {
        const QString caption = typeCaption(type);
        if (std::none_of(q.prices.begin(), q.prices.end(), [&](const CellPrice &c) { return c.type == caption; })) continue;
        const Combination c = combine(q, type);
        const QString rental = type == PriceType::Rental ? QStringLiteral("parcela %1 + ").arg(money(c.rental)) : QString();
        addLine(grdDetalhe, caption,
                QStringLiteral("(%1V1 %2 + sistemas %3 + usuários %4) × %5 × %6 = %7")
                    .arg(rental, money(c.first), money(c.systems), money(c.users), NumberText::format(q.branchFactor, QStringLiteral("0.0000")),
                         NumberText::format(q.index, QStringLiteral("0.0000")), ReportLayout::cellText(c.price)));
    }
}

void TfrmCalcPreco::FormClose() {
    TfrmRotiGeral::FormClose();
    Cli_cot00304::screen.closed();
}

namespace Cli_cot00304 {

void CriaCalcPreco(const PriceTableContext &context) {
    if (context.priceTable.isEmpty()) return;
    screen.open(context);
    screen.showModal();
}

void Initialization() { screen.closed(); }
void Finalization() {}

}  // namespace Cli_cot00304
