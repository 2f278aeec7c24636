#include "cli_cot00301.h"

#include "errors.h"
#include "frm_rel_tb_preco.h"
#include "host_application.h"
#include "single_screen.h"
#include "report_cot003.h"

namespace Cli_cot00301 {

SingleScreen<TfrmRelTbPreco> screen;
QPointer<TfrmRelTbPreco> &frmRelTbPreco = screen.form;
bool &boIdCriado = screen.created;
QString stCDPRECOPROP;
qint32 inSist = 0, inUsu = 0;
qint32 inMostraQtSis = 0, inMostraQtUsu = 0;
double doVrPrecoUnit = 0, doResult = 0, doPercent = 0;
QVector<double> arGravaResultSis, arGravaResultUsu;

void CriaRelTbPreco(TNetConnection *connection) {
    HostApplication &app = HostApplication::instance();
    app.setScreenCursor(crHourGlass);
    screen.open(connection)->ShowModal();
    app.setScreenCursor(crDefault);
}

void Initialization() {
    screen.closed();
    ReportDefinitions::add(Cot003::Code, [](const DataPacket &rows, const QMap<QString, QString> &params) {
        return Cot003::build(rows, Cot003::fromParams(params));
    });
}

void Finalization() {
    stCDPRECOPROP.clear();
    arGravaResultSis.clear();
    arGravaResultSis.squeeze();
    arGravaResultUsu.clear();
    arGravaResultUsu.squeeze();
}

}  // namespace Cli_cot00301
