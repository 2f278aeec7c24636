#pragma once
// Module variables of the main screen's unit that its pages share: set when
// the package loads, kept while it stays loaded.

#include <QString>

namespace Cli_cot00300 {
extern bool &boStCriado;  // the main screen exists (single_screen.h)
extern bool boInsGrid;  // a row began by Down or Tab from the last cell
// The key of the row put in edit, to tell it from the others in the checks.
extern QString stVerEditSis;
extern QString stVerEditUsu;
extern QString stVerEditOper;
extern QString stVerEditTipo;
extern qint32 inQtIniAux;  // the first quantity of the band put in edit
}  // namespace Cli_cot00300
