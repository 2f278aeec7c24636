#include "frm_historico.h"
#include "single_screen.h"
#include "method_names.h"
#include "columns.h"
#include "discount_types.h"

#include "desktop_look.h"
#include "dialogs.h"
#include "errors.h"
#include "host_application.h"
#include "net_connection.h"
#include "routines.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Cli_cot00303 {
SingleScreen<TfrmHistorico> screen;
QPointer<TfrmHistorico> &frmHistorico = screen.form;
bool &boStCriado = screen.created;
}  // namespace Cli_cot00303

using namespace Cli_cot00303;

namespace {

// The grid's columns, in the order of the answer's fields they show.
struct Column {
    const char *field;
    const char *caption;
    int width;
};
constexpr Column kColumns[] = {{"DTALTERACAO", "Data e Hora", 140}, {"NMUSUARIO", "Usuário", 120},
                               {"DSCHAVE", "Registro", 400},        {"IDOPERACAO", "Operação", 80},
                               {"NMCAMPO", "Campo", 170},           {"DSANTES", "Antes", 140},
                               {"DSDEPOIS", "Depois", 140}};

// The copy of a price table writes every field of the new table, its bands
// and its permissions, and one line naming the table it came from.
const QString kCopyMethod = Method::CopiaTbPreco;
const QString kOriginField = QStringLiteral("ORIGEM");
const QString kClosed = QStringLiteral("▸ "), kOpen = QStringLiteral("▾ ");

QString operationCaption(const QString &code) {
    if (code == QLatin1String("I")) return QStringLiteral("Inclusão");
    if (code == QLatin1String("E")) return QStringLiteral("Exclusão");
    return QStringLiteral("Alteração");
}

QString count(const QString &stored) {
    bool ok = false;
    const int n = stored.trimmed().toInt(&ok);
    return ok ? QString::number(n) : stored;
}

}  // namespace

TfrmHistorico::TfrmHistorico(const PriceTableContext &context, QWidget *parent) : TfrmRotiGeral(parent), m_context(context) {
    setObjectName(QStringLiteral("frmHistorico"));
    setWindowTitle(QStringLiteral("Histórico da Tabela de Preço"));
    lblCodTela->setText(QStringLiteral("COT00303"));
    resize(1220, 520);
    sbtConfirma->setText(QStringLiteral("&Atualizar"));
    sbtConfirma->setToolTip(QStringLiteral("Ler o histórico novamente"));
    SetActionLook(sbtConfirma, {"view-refresh"});

    grbDadosRel->setTitle(QStringLiteral("Alterações registradas"));
    auto *layout = new QVBoxLayout(grbDadosRel);
    lblResumo = new QLabel(grbDadosRel);
    lblResumo->setObjectName(QStringLiteral("lblResumo"));
    layout->addWidget(lblResumo);
    grdHistorico = new QTableWidget(0, int(std::size(kColumns)), grbDadosRel);
    grdHistorico->setObjectName(QStringLiteral("grdHistorico"));
    grdHistorico->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHistorico->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdHistorico->verticalHeader()->hide();
    grdHistorico->setWordWrap(false);
    grdHistorico->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < grdHistorico->columnCount(); ++c) {
        grdHistorico->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(kColumns[c].caption)));
        grdHistorico->setColumnWidth(c, kColumns[c].width);
    }
    layout->addWidget(grdHistorico, 1);
    // A copy's line opens to its fields and closes again.
    connect(grdHistorico, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { toggleCopy(row); });
    grdHistorico->installEventFilter(this);
    connect(grdHistorico, &QTableWidget::cellClicked, this, [this](int row, int column) {
        if (column == 2) toggleCopy(row);
    });
}

bool TfrmHistorico::eventFilter(QObject *watched, QEvent *event) {
    // Enter, Space, + and - open and close a copy's line, as in a tree.
    if (watched == grdHistorico && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const int row = grdHistorico->currentRow();
        if (m_copyChildren.contains(row) &&
            (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space || key == Qt::Key_Plus || key == Qt::Key_Minus)) {
            toggleCopy(row);
            return true;
        }
    }
    return TfrmRotiGeral::eventFilter(watched, event);
}

void TfrmHistorico::toggleCopy(int row) {
    const int children = m_copyChildren.value(row);
    if (children == 0) return;
    QTableWidgetItem *record = grdHistorico->item(row, 2);
    const bool open = record->text().startsWith(kClosed);
    record->setText((open ? kOpen : kClosed) + record->text().mid(kClosed.size()));
    for (int r = row + 1; r <= row + children; ++r) grdHistorico->setRowHidden(r, !open);
}

void TfrmHistorico::FormActivate() {
    TfrmRotiGeral::FormActivate();
    load();
}

void TfrmHistorico::sbtConfirmaClick() { load(); }

void TfrmHistorico::load() {
    if (!m_context.net) throw EAppError(QStringLiteral("A tela de preços e descontos foi fechada: não há conexão com o servidor de aplicação."));
    lblResumo->setText(QStringLiteral("Tabela de preço %1 - %2").arg(m_context.priceTable, m_context.priceTableName.trimmed()));
    DataPacket packet;
    {
        WaitAnimation wait(this, WaitKind::OverScreen);
        packet = CheckResultPacket(m_context.net->Call(Method::GetHistTbPreco, {m_context.priceTable}));
    }
    int col[std::size(kColumns)];
    for (size_t c = 0; c < std::size(kColumns); ++c) {
        col[c] = packet.fieldIndex(QString::fromLatin1(kColumns[c].field));
        if (col[c] < 0) throw EAppError(QStringLiteral("A resposta do servidor com o histórico não traz o campo %1.").arg(kColumns[c].field));
    }
    const int tableCol = packet.fieldIndex(QStringLiteral("NMTABELA"));
    const int methodCol = packet.fieldIndex(QStringLiteral("NMMETODO"));
    const int operatorCol = packet.fieldIndex(QStringLiteral("NMOPERADOR"));
    auto value = [&](const Row &row, int c) { return c < 0 ? QString() : row.value(c).toString(); };
    auto addRow = [this](const QStringList &cells, bool hidden) {
        const int r = grdHistorico->rowCount();
        grdHistorico->insertRow(r);
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setToolTip(cells[c]);
            grdHistorico->setItem(r, c, item);
        }
        grdHistorico->setRowHidden(r, hidden);
        return r;
    };
    auto when = [&](const Row &row) { return row.value(col[0]).toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")); };
    auto fieldCells = [&](const Row &row) {
        auto text = [&](int c) { return row.value(col[c]).toString(); };
        const QString field = text(4);
        return QStringList{when(row), text(1), recordLabel(value(row, tableCol), text(2), value(row, operatorCol)),
                           operationCaption(text(3)), fieldLabel(field), valueText(field, text(5)), valueText(field, text(6))};
    };
    grdHistorico->setRowCount(0);
    m_copyChildren.clear();
    int fields = 0, copies = 0;
    for (int r = 0; r < packet.rows.size();) {
        const Row &row = packet.rows[r];
        if (value(row, methodCol) != kCopyMethod) {
            addRow(fieldCells(row), false);
            ++fields;
            ++r;
            continue;
        }
        // One copy: the rows of that call (same moment, same person) become
        // one line, open to its fields on request.
        int end = r;
        QString origin;
        while (end < packet.rows.size() && value(packet.rows[end], methodCol) == kCopyMethod &&
               packet.rows[end].value(col[0]) == row.value(col[0]) && packet.rows[end].value(col[1]) == row.value(col[1])) {
            if (packet.rows[end].value(col[4]).toString() == kOriginField) origin = packet.rows[end].value(col[6]).toString();
            ++end;
        }
        const int parent = addRow({when(row), row.value(col[1]).toString(),
                                   kClosed + (origin.isEmpty() ? QStringLiteral("Cópia de outra tabela de preço")
                                                               : QStringLiteral("Cópia da tabela %1").arg(origin)),
                                   QStringLiteral("Cópia"), QString(), QString(), QString()},
                                  false);
        int children = 0;
        for (int i = r; i < end; ++i) {
            const QString field = packet.rows[i].value(col[4]).toString();
            if (field == kOriginField || field == QLatin1String("CDPRECOPROP")) continue;
            addRow(fieldCells(packet.rows[i]), true);
            ++children;
        }
        grdHistorico->item(parent, 4)->setText(QStringLiteral("%1 campos (Enter abre)").arg(children));
        m_copyChildren.insert(parent, children);
        ++copies;
        r = end;
    }
    const QString changed = fields == 1 ? QStringLiteral("1 campo alterado") : QStringLiteral("%1 campos alterados").arg(fields);
    lblResumo->setText(lblResumo->text() + QStringLiteral(": ") +
                       (fields + copies == 0 ? QStringLiteral("nenhuma alteração registrada.")
                        : copies == 0        ? changed + QLatin1Char('.')
                        : fields == 0        ? QStringLiteral("cópia de outra tabela.")
                                             : QStringLiteral("cópia de outra tabela e %1.").arg(changed)));
    const int n = grdHistorico->rowCount();
    if (n > 0) grdHistorico->selectRow(0);
    grdHistorico->setFocus();
}

QString TfrmHistorico::recordLabel(const QString &table, const QString &key, const QString &operatorName) {
    const QStringList parts = key.split(QLatin1Char('|'));
    if (table == Vocabulary::PriceTable.tableName()) return QStringLiteral("Tabela de preço");
    if (table == Vocabulary::SystemBands.tableName()) return QStringLiteral("Faixa por sistemas a partir de %1").arg(count(parts.value(1)));
    if (table == Vocabulary::UserBands.tableName()) return QStringLiteral("Faixa por usuários a partir de %1").arg(count(parts.value(1)));
    if (table == Vocabulary::OperatorPermissions.tableName())
        return QStringLiteral("Permissão do operador %1 (%2)")
            .arg(operatorName.isEmpty() ? parts.value(1) : operatorName, DiscountTypes::caption(parts.value(2)));
    return QStringLiteral("%1 %2").arg(table, key);
}

// A field of the price table or of a record that hangs from it, as the
// grids declare it.
static const Vocabulary::Column *declared(const QString &field) {
    for (const Vocabulary::Table *t : Vocabulary::PriceTableFamily)
        if (const Vocabulary::Column *c = t->find(field)) return c;
    return nullptr;
}

QString TfrmHistorico::fieldLabel(const QString &field) {
    if (field == kOriginField) return QStringLiteral("Copiada de");
    const Vocabulary::Column *c = declared(field);
    return c ? c->title() : field;
}

QString TfrmHistorico::valueText(const QString &field, const QString &stored) {
    const Vocabulary::Column *c = declared(field);
    if (stored.isEmpty() || !c) return stored;
    if (c->type == FieldType::DateTime) {
        const QDateTime when = QDateTime::fromString(stored, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return when.isValid() ? DateText::format(when) : stored;
    }
    if (field == QLatin1String("IDTIPODESCOPER")) return DiscountTypes::caption(stored);
    if (!c->isNumber()) return stored;
    if (c->type == FieldType::String) return count(stored);  // a count kept as digits
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (!ok) return stored;
    // As the grids show it, more decimals only when the value has them.
    if (c->decimals == 0 && value == double(qint64(value))) return NumberText::format(value, QStringLiteral("0"));
    return RoundDec(value, 2) == value ? NumberText::format(value, QStringLiteral("#,##0.00")) : NumberText::format(value);
}

void TfrmHistorico::FormClose() {
    TfrmRotiGeral::FormClose();
    Cli_cot00303::screen.closed();
}

namespace Cli_cot00303 {

void CriaHistorico(const PriceTableContext &context) {
    if (context.priceTable.isEmpty()) return;
    screen.open(context);
    screen.showModal();
}

void Initialization() { screen.closed(); }
void Finalization() {}

}  // namespace Cli_cot00303
