#pragma once
// The report screen's unit: its factory and the variables the screen and the
// price simulation share, one set for the process.

#include <QPointer>
#include <QString>
#include <QVector>

class TfrmRelTbPreco;
class TNetConnection;

namespace Cli_cot00301 {
extern QPointer<TfrmRelTbPreco> &frmRelTbPreco;
extern bool &boIdCriado;
extern QString stCDPRECOPROP;  // empty, "T" (all tables) or the list dialog's selection
extern qint32 inSist, inUsu;   // the counts as the validations last read them
extern qint32 inMostraQtSis, inMostraQtUsu;  // the counts the report build uses
extern double doVrPrecoUnit, doResult, doPercent;
extern QVector<double> arGravaResultSis, arGravaResultUsu;

// Opens the report screen, modal over the main screen, on the main screen's
// connection. The variant with a connection is the factory proper; the other
// lives with the main screen (price_tables/open_report.cpp), which this
// folder does not see.
void CriaRelTbPreco();
void CriaRelTbPreco(TNetConnection *connection);
void Initialization();
void Finalization();
}  // namespace Cli_cot00301
