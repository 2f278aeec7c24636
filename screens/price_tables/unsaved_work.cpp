// What closing the maintenance screen would lose: the row being typed in the
// current grid, and changes of the saved lists that the server refused (they
// stay pending in their client table until sent again or refreshed away).
#include "frm_tb_pre_pro_com.h"

namespace {
bool pending(const TClientTable *t) { return t->Active() && t->ChangeCount() > 0; }
}  // namespace

bool TfrmTbPreProCom::HasUnsavedWork() const {
    return TfrmPadraoGrid::HasUnsavedWork() || pending(cdsTbPreco) || pending(cdsDescSist) || pending(cdsDescUsu);
}

void TfrmTbPreProCom::SaveUnsavedWork() {
    // The post sends its own list; what is still pending goes again through
    // each list's sending routine. A refusal stops here: the screen stays open.
    TfrmPadraoGrid::SaveUnsavedWork();
    if (pending(cdsTbPreco)) cdsTbPrecoAfterPost();
    if (pending(cdsDescSist)) cdsDescSistAfterPost();
    if (pending(cdsDescUsu)) cdsDescUsuAfterPost();
}

void TfrmTbPreProCom::DiscardUnsavedWork() {
    TfrmPadraoGrid::DiscardUnsavedWork();
    for (TClientTable *t : {cdsTbPreco, cdsDescSist, cdsDescUsu})
        if (pending(t)) t->CancelUpdates();
}
