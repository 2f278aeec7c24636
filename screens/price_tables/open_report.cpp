// The report screen opened on the main screen's connection: here, beside the
// main screen, so the report's folder needs nothing of this one.
#include "frm_tb_pre_pro_com.h"

#include "errors.h"
#include "price_report/cli_cot00301.h"

namespace Cli_cot00301 {

void CriaRelTbPreco() {
    // The report has no connection of its own: it borrows the main screen's.
    TfrmTbPreProCom *main = Cli_cot00300::frmTbPreProCom.data();
    if (!main) throw EAppError(QStringLiteral("O relatório de tabela de preço só pode ser aberto pela tela de preços e descontos."));
    CriaRelTbPreco(main->netTbPreProCom);
}

}  // namespace Cli_cot00301
