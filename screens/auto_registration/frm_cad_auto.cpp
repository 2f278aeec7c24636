// "Cadastramento Automático": the operator mode and list, the three discount
// lines, the checks before confirming and the grant itself (Insere_OperDesc),
// after which the maintenance screen's permission list is loaded again.
#include "frm_cad_auto.h"
#include "single_screen.h"
#include "method_names.h"
#include "discount_types.h"
#include "value_limits.h"

#include "apply_changes.h"
#include "net_connection.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QRadioButton>
#include <QSet>
#include <QToolButton>

namespace Cli_cot00302 {
SingleScreen<TfrmCadAuto> screen;
QPointer<TfrmCadAuto> &frmCadAuto = screen.form;
bool &boStCriado = screen.created;
QString stOperador;
}  // namespace Cli_cot00302

using namespace Cli_cot00302;

namespace {

constexpr int kF9 = VK_F5 + 4;  // opens the operator list from "Lista"

QStringList Catalogue() {
    return {
        QStringLiteral("Manu_Desc|Percentual de desconto para manutenção não pode ser maior que 100%."),
        QStringLiteral("Loca_Desc|Percentual de desconto para locação não pode ser maior que 100%."),
        QStringLiteral("Luso_Desc|Percentual de desconto para licença de uso não pode ser maior que 100%."),
        QStringLiteral("SUCESSO|Operação realizada com sucesso."),
        QStringLiteral("OPERADOR|Operador"),
        QStringLiteral("OPERINF|Operador deve ser informado."),
        QStringLiteral("SUBSTITUI|%s permissão(ões) já cadastrada(s) nesta tabela será(ão) substituída(s) por %v. Deseja continuar?"),
    };
}

TNumberEdit *PercentEdit(const char *name, QWidget *parent) {
    auto *e = new TNumberEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->SetDecimals(2);
    e->setMaximumWidth(90);
    return e;
}

}  // namespace

TfrmCadAuto::TfrmCadAuto(const PriceTableContext &context, TClientTable *permissions, QWidget *parent)
    : TfrmRotiGeral(parent), m_context(context), m_permissions(permissions) {
    setObjectName(QStringLiteral("frmCadAuto"));
    setWindowTitle(QStringLiteral("Cadastramento Automático"));
    lblCodTela->setText(QStringLiteral("COT00302"));
    msgPadrao.SetLines(Catalogue());

    auto *data = new QVBoxLayout(grbDadosRel);
    if (!m_context.priceTable.isEmpty()) {
        auto *table = new QLabel(QStringLiteral("Tabela de Preço: %1 - %2").arg(m_context.priceTable, m_context.priceTableName));
        table->setObjectName(QStringLiteral("lblTabela"));
        data->addWidget(table);
    }

    // Who receives the permissions.
    grbOperador = new QGroupBox(QStringLiteral("Operador"), grbDadosRel);
    grbOperador->setObjectName(QStringLiteral("grbOperador"));
    auto *who = new QHBoxLayout(grbOperador);
    rbtTodos = new QRadioButton(QStringLiteral("Todos"), grbOperador);
    rbtTodos->setObjectName(QStringLiteral("rbtTodos"));
    rbtTodos->setChecked(true);
    rbtLista = new QRadioButton(QStringLiteral("Lista"), grbOperador);
    rbtLista->setObjectName(QStringLiteral("rbtLista"));
    sbtPesqOper = new QToolButton(grbOperador);
    sbtPesqOper->setObjectName(QStringLiteral("sbtPesqOper"));
    sbtPesqOper->setText(QStringLiteral("..."));
    sbtPesqOper->setToolTip(QStringLiteral("Escolher os operadores (F9)"));
    sbtPesqOper->setAutoRaise(true);
    sbtPesqOper->setEnabled(false);
    who->addWidget(rbtTodos);
    who->addWidget(rbtLista);
    who->addWidget(sbtPesqOper);
    who->addStretch(1);
    data->addWidget(grbOperador);

    // One line per discount type: box, label, percentage.
    auto *types = new QGroupBox(grbDadosRel);
    types->setObjectName(QStringLiteral("grbTipos"));
    auto *grid = new QGridLayout(types);
    auto line = [&](int row, QCheckBox *&box, const char *boxName, const QString &caption, QLabel *&label,
                    const char *labelName, TNumberEdit *&edit, const char *editName, bool checked) {
        box = new QCheckBox(caption, types);
        box->setObjectName(QString::fromLatin1(boxName));
        box->setChecked(checked);
        label = new QLabel(QStringLiteral("%Desconto"), types);
        label->setObjectName(QString::fromLatin1(labelName));
        edit = PercentEdit(editName, types);
        label->setBuddy(edit);
        edit->setEnabled(checked);
        label->setEnabled(checked);
        grid->addWidget(box, row, 0);
        grid->addWidget(label, row, 1, Qt::AlignRight);
        grid->addWidget(edit, row, 2);
    };
    line(0, ckbManutencao, "ckbManutencao", DiscountTypes::Maintenance.captionText(), lblManuDesc, "lblManuDesc", nedManuDesc,
         "nedManuDesc", true);
    line(1, ckbLocacao, "ckbLocacao", DiscountTypes::Rental.captionText(), lblLocaDesc, "lblLocaDesc", nedLocaDesc, "nedLocaDesc",
         false);
    line(2, ckbLicUso, "ckbLicUso", DiscountTypes::Licence.captionText(), lblLusoDesc, "lblLusoDesc", nedLusoDesc,
         "nedLusoDesc", false);
    grid->setColumnStretch(0, 1);
    data->addWidget(types);
    data->addStretch(1);

    cdsOperador = new TClientTable(QStringLiteral("cdsOperador"), this);
    cdsOperador->AddField(QStringLiteral("IDMARCADO"), FieldType::String, 1);
    cdsOperador->AddField(QStringLiteral("CDOPERADOR"), FieldType::String, 12, QStringLiteral("Código"));
    cdsOperador->AddField(QStringLiteral("NMOPERADOR"), FieldType::String, 40, QStringLiteral("Nome do Operador"));
    cdsOperador->FieldByName(QStringLiteral("IDMARCADO"))->Visible = false;
    dtsOperador = new TDataSource(cdsOperador, this);

    connect(rbtTodos, &QRadioButton::clicked, this, [this] { RunGuarded([this] { rbtTodosClick(); }); });
    connect(rbtLista, &QRadioButton::clicked, this, [this] { RunGuarded([this] { rbtTodosClick(); }); });
    connect(sbtPesqOper, &QToolButton::clicked, this, [this] { RunGuarded([this] { sbtPesqOperClick(); }); });
    connect(ckbManutencao, &QCheckBox::clicked, this, [this] { RunGuarded([this] { ckbManutencaoClick(); }); });
    connect(ckbLocacao, &QCheckBox::clicked, this, [this] { RunGuarded([this] { ckbLocacaoClick(); }); });
    connect(ckbLicUso, &QCheckBox::clicked, this, [this] { RunGuarded([this] { ckbLicUsoClick(); }); });
    rbtLista->installEventFilter(this);
    resize(420, 260);
}

bool TfrmCadAuto::eventFilter(QObject *watched, QEvent *event) {
    if (watched == rbtLista && event->type() == QEvent::KeyPress) {
        int key = VirtualKey(static_cast<QKeyEvent *>(event));
        if (key == kF9) {
            RunGuarded([this, &key] { rbtListaKeyDown(key); });
            return true;
        }
    }
    return TfrmRotiGeral::eventFilter(watched, event);
}

void TfrmCadAuto::FormClose() {
    TfrmRotiGeral::FormClose();
    Cli_cot00302::screen.closed();
}

// ---------------------------------------------------------------- operators

void TfrmCadAuto::rbtTodosClick() { sbtPesqOper->setEnabled(!rbtTodos->isChecked()); }

void TfrmCadAuto::rbtListaKeyDown(int key) {
    if (key == kF9) sbtPesqOperClick();
}

void TfrmCadAuto::sbtPesqOperClick() {
    {
        WaitAnimation wait(HostApplication::instance().mainWindow(), WaitKind::OverMainWindow);
        cdsOperador->LoadPacket(CheckResultPacket(m_context.net->Call(Method::GetOperador, {})));
    }
    Dialogs().pesquisaLista(dtsOperador, QStringLiteral("CDOPERADOR"), msgPadrao.Msg(QStringLiteral("OPERADOR")), &stOperador);
}

// ---------------------------------------------------------------- discount lines

namespace {
void Follow(QCheckBox *box, QLabel *label, TNumberEdit *edit) {
    edit->setEnabled(box->isChecked());
    label->setEnabled(edit->isEnabled());
}
}  // namespace

void TfrmCadAuto::ckbManutencaoClick() { Follow(ckbManutencao, lblManuDesc, nedManuDesc); }
void TfrmCadAuto::ckbLocacaoClick() { Follow(ckbLocacao, lblLocaDesc, nedLocaDesc); }
void TfrmCadAuto::ckbLicUsoClick() { Follow(ckbLicUso, lblLusoDesc, nedLusoDesc); }

void TfrmCadAuto::checkPercent(TNumberEdit *edit, const char *messageKey) {
    if (!edit->isEnabled()) return;
    edit->Check();
    if (edit->GetNumber() <= Limits::MaxPercent) return;
    edit->setFocus(Qt::OtherFocusReason);
    MensErro(msgPadrao.Msg(QString::fromLatin1(messageKey)), true);
}

void TfrmCadAuto::Vd_PercManu() { checkPercent(nedManuDesc, "Manu_Desc"); }
void TfrmCadAuto::Vd_PercLoca() { checkPercent(nedLocaDesc, "Loca_Desc"); }
void TfrmCadAuto::Vd_PercLuso() { checkPercent(nedLusoDesc, "Luso_Desc"); }

// ---------------------------------------------------------------- confirm

void TfrmCadAuto::sbtConfirmaClick() {
    if (rbtLista->isChecked() && EmptyString(stOperador)) {
        rbtLista->setFocus(Qt::OtherFocusReason);
        MensErro(msgPadrao.Msg(QStringLiteral("OPERINF")), true);
    }
    Vd_PercManu();
    Vd_PercLoca();
    Vd_PercLuso();

    QString manutencao = ckbManutencao->isChecked() ? QStringLiteral("M") : QString();
    QString locacao = ckbLocacao->isChecked() ? QStringLiteral("L") : QString();
    QString licUso = ckbLicUso->isChecked() ? QStringLiteral("U") : QString();
    // "Todos" grants to every active operator whatever list was picked
    // before: the server takes an empty list for all of them.
    QString everyone;
    QString &operators = rbtLista->isChecked() ? stOperador : everyone;
    const int replaced = replacedPermissions(operators);
    if (replaced > 0) {
        QString question = msgPadrao.Msg(QStringLiteral("SUBSTITUI"));
        question.replace(QLatin1String("%s"), QString::number(replaced));
        question.replace(QLatin1String("%v"), grantedValues());
        if (!Confirma(question)) return;
    }
    {
        WaitAnimation wait(HostApplication::instance().mainWindow(), WaitKind::OverMainWindow);
        CheckResultServ(m_context.net->Call(Method::Insere_OperDesc,
                                            {RpcArg::ref(&operators), RpcArg::ref(&manutencao), nedManuDesc->GetNumber(),
                                             m_context.priceTable, RpcArg::ref(&locacao), nedLocaDesc->GetNumber(),
                                             RpcArg::ref(&licUso), nedLusoDesc->GetNumber()}),
                        true, 0);
        const DataPacket granted = CheckResultPacket(m_context.net->Call(Method::getPerOper, {m_context.priceTable}));
        if (m_permissions) m_permissions->LoadPacket(granted);
    }
    msgPadrao.ShowMsg(QStringLiteral("SUCESSO"), MsgType::Information, MsgButton::Ok, 0);
    SetModalResult(mrOk);
}

// What the grant writes, as the user reads it: "Manutenção 0,00 %" for each
// ticked type; an empty percentage is written as zero, so it says so.
QString TfrmCadAuto::grantedValues() const {
    QStringList values;
    const std::tuple<QCheckBox *, TNumberEdit *> lines[] = {
        {ckbManutencao, nedManuDesc}, {ckbLocacao, nedLocaDesc}, {ckbLicUso, nedLusoDesc}};
    for (const auto &[box, edit] : lines)
        if (box->isChecked())
            values << QStringLiteral("%1 %2 %").arg(box->text(), NumberText::format(edit->GetNumber(), QStringLiteral("#,##0.00")));
    if (values.size() < 2) return values.join(QString());
    const QString last = values.takeLast();
    return values.join(QStringLiteral(", ")) + QStringLiteral(" e ") + last;
}

int TfrmCadAuto::replacedPermissions(const QString &operators) {
    // The grant's percentage per ticked type.
    QHash<QString, double> percent;
    if (ckbManutencao->isChecked()) percent.insert(QStringLiteral("M"), nedManuDesc->GetNumber());
    if (ckbLocacao->isChecked()) percent.insert(QStringLiteral("L"), nedLocaDesc->GetNumber());
    if (ckbLicUso->isChecked()) percent.insert(QStringLiteral("U"), nedLusoDesc->GetNumber());
    if (percent.isEmpty()) return 0;
    DataPacket existing, active;
    {
        WaitAnimation wait(HostApplication::instance().mainWindow(), WaitKind::OverMainWindow);
        existing = CheckResultPacket(m_context.net->Call(Method::getPerOper, {m_context.priceTable}));
        // "Todos" reaches the active operators only.
        if (operators.isEmpty()) active = CheckResultPacket(m_context.net->Call(Method::GetOperador, {}));
    }
    QSet<QString> receivers;
    if (operators.isEmpty()) {
        const int code = active.fieldIndex(QStringLiteral("CDOPERADOR"));
        for (const Row &r : active.rows) receivers.insert(r.value(code).toString());
    } else {
        for (const QString &c : operators.split(QLatin1Char(','), Qt::SkipEmptyParts)) receivers.insert(c);
    }
    const int op = existing.fieldIndex(QStringLiteral("CDOPERADOR"));
    const int type = existing.fieldIndex(QStringLiteral("IDTIPODESCOPER"));
    const int value = existing.fieldIndex(QStringLiteral("VRPERCDESCOPER"));
    int count = 0;
    for (const Row &r : existing.rows) {
        const auto grant = percent.constFind(r.value(type).toString());
        if (grant == percent.constEnd() || !receivers.contains(r.value(op).toString())) continue;
        if (r.value(value).isNull() || RoundDec(r.value(value).toDouble(), 2) != RoundDec(*grant, 2)) ++count;
    }
    return count;
}

// ---------------------------------------------------------------- factory and unit life

namespace Cli_cot00302 {

void CriaCadAuto(const PriceTableContext &context, TClientTable *permissions) {
    HostApplication &app = HostApplication::instance();
    app.setScreenCursor(crHourGlass);
    screen.open(context, permissions);
    // The hourglass covers the creation only: the screen is for typing.
    app.setScreenCursor(crDefault);
    screen.showModal();
}

void Initialization() { screen.closed(); }

void Finalization() { stOperador.clear(); }

}  // namespace Cli_cot00302
