// What closing the maintenance screen would lose: the row being typed in the
// current grid, and changes of the saved lists that the server refused (they
// stay pending in their client table until sent again or refreshed away).
#include "bands.h"
#include "frm_tb_pre_pro_com.h"
#include "permissions.h"
#include "price_tables.h"
#include "service_types.h"

namespace {
bool pending(const TClientTable *t) { return t->Active() && t->ChangeCount() > 0; }
}  // namespace

QList<SavedList> TfrmTbPreProCom::savedLists() const {
    QList<SavedList> lists;
    for (TScreenPage *page : std::initializer_list<TScreenPage *>{priceTables, bands, permissions, serviceTypes})
        if (page) lists += page->savedLists();
    return lists;
}

int TfrmTbPreProCom::pendingOnScreen() const {
    int count = 0;
    for (const SavedList &list : savedLists())
        if (pending(list.table)) count += list.table->ChangeCount();
    return count;
}

bool TfrmTbPreProCom::HasUnsavedWork() const {
    if (TfrmPadraoGrid::HasUnsavedWork()) return true;
    for (const SavedList &list : savedLists())
        if (pending(list.table)) return true;
    return false;
}

void TfrmTbPreProCom::SaveUnsavedWork() {
    // The post sends its own list; what is still pending goes again through
    // each list's sending routine. A refusal stops here: the screen stays open.
    TfrmPadraoGrid::SaveUnsavedWork();
    for (const SavedList &list : savedLists())
        if (pending(list.table)) list.send();
}

void TfrmTbPreProCom::DiscardUnsavedWork() {
    TfrmPadraoGrid::DiscardUnsavedWork();
    for (const SavedList &list : savedLists())
        if (pending(list.table)) list.table->CancelUpdates();
}
