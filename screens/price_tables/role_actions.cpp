// The role's part of the enabling rule. A person whose role may not store a
// list sees it read-only: no Incluir, Alterar, Excluir or Gravar, no typing
// into its grid; "Copiar" and "Cadastramento Automático" follow their own
// methods. Each action turned off for the role says why in its tool tip.

#include "frm_tb_pre_pro_com.h"
#include "method_names.h"

#include "screen_page.h"

#include <QAction>

void TfrmTbPreProCom::applyRole(TScreenPage *page, QWidget *sheet, ToolActions &a) {
    if (!access.known()) return;
    QString store;
    TClientTable *table = page->currentTable(sheet);
    for (const SavedList &list : page->savedLists())
        if (list.table == table) store = list.method;
    const bool mayStore = store.isEmpty() || access.may(store);
    const bool mayCopy = access.may(Method::CopiaTbPreco), mayGrant = access.may(Method::Insere_OperDesc);
    if (!mayStore) {
        a.incluir = a.alterar = a.excluir = false;
        sbtGravar->setEnabled(false);
    }
    a.copiar = a.copiar && mayCopy;
    a.cadAuto = a.cadAuto && mayGrant;
    if (TDBGrid *grid = page->currentGrid(sheet)) grid->SetReadOnly(!mayStore);

    const std::pair<QAction *, bool> actions[] = {{sbtIncluir, mayStore}, {sbtAlterar, mayStore}, {sbtExcluir, mayStore},
                                                  {sbtGravar, mayStore},  {sbtCopiar, mayCopy},   {mnuCopiar, mayCopy},
                                                  {sbtCadAuto, mayGrant}, {mnuCadAuto, mayGrant}};
    for (const auto &[action, allowed] : actions) {
        if (!action) continue;
        if (!m_ownTips.contains(action)) m_ownTips.insert(action, action->toolTip());
        action->setToolTip(allowed ? m_ownTips.value(action) : access.whyNot());
    }
}
