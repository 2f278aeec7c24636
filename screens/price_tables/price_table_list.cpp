#include "price_table_list.h"

#include "module_state.h"
#include "page_host.h"
#include "price_tables.h"

#include <QLabel>

namespace {
const QString kNotRead = QStringLiteral(" (não foi possível ler do servidor; \"Verificar\" lê de novo)");
}  // namespace

TPriceTableList::TPriceTableList(TPageHost &frame, TClientTable *t, TDBGrid *g, const QString &method,
                                 const char *sheetName, const QString &caption)
    : table(t), grid(g), loadMethod(method), f(frame) {
    lblTabela = new QLabel;
    lblTabela->setObjectName(QStringLiteral("lblTabela"));
    QFont bold = lblTabela->font();
    bold.setBold(true);
    lblTabela->setFont(bold);
    sheet = GridSheet(sheetName, caption, grid, lblTabela);
}

void TPriceTableList::shown() {
    // The bottom bar names the price table only on the price table list; here
    // the sheet's own line does.
    f.showNameOf(nullptr);
    f.actOn(table);
    if (grid->isVisible() && grid->isEnabled()) grid->setFocus(Qt::OtherFocusReason);
    if (!m_read.holds(table, f.currentPriceTable())) load(WaitKind::OverScreen);
}

void TPriceTableList::load(WaitKind wait) {
    const QString code = f.currentPriceTable();
    try {
        f.loadTable(table, loadMethod, {code}, wait);
        m_read.read(code);
    } catch (...) {
        // The line above the grid says whose rows these are, and that they
        // are not the ones asked for.
        const QString shown = table->Active() ? lblTabela->text() : QStringLiteral("Lista não lida");
        if (!shown.contains(kNotRead)) lblTabela->setText(shown + kNotRead);
        throw;
    }
    m_loadedFor = code;
    const QString name = f.currentPriceTableName();
    lblTabela->setText(code.isEmpty() ? QStringLiteral("Nenhuma tabela de preço selecionada")
                                      : QStringLiteral("Tabela de Preço: %1 - %2").arg(code, name));
}

void TPriceTableList::enable(bool browse, ToolActions &a) const {
    a.incluir = browse;
    a.alterar = a.excluir = a.procurar = a.verificar = a.imprimir = browse && HasRows(table);
    a.siblingTabs = browse;
    a.otherPages = browse;
}
