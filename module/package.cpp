// Package entry points: the information table, the units' initialization and
// finalization (run once, guarded by a counter) and the host's way in.
#include "package.h"

#include "auto_registration/frm_cad_auto.h"
#include "price_calculator/frm_calc_preco.h"
#include "price_history/frm_historico.h"
#include "price_report/cli_cot00301.h"
#include "price_tables/frm_tb_pre_pro_com.h"

namespace {

const char *const kRequires[] = {"_qvx", "_rtl", "_qr", "_lib", "_ger", "_frm", "_db", "_vcl"};
const char *const kUnits[] = {"Pkg_cot00300", "Cli_cot00302", "Cli_cot00300", "Cli_cot00301", "Cli_cot00303", "Cli_cot00304"};
const PackageInfo kInfo = {"Pkg_cot00300", kRequires, int(std::size(kRequires)), kUnits, int(std::size(kUnits))};

int g_initCount = 0;

}  // namespace

const PackageInfo *GetPackageInfoTable() { return &kInfo; }

void Initialize() {
    if (g_initCount++ > 0) return;
    Cli_cot00302::Initialization();
    Cli_cot00300::Initialization();
    Cli_cot00301::Initialization();
    Cli_cot00303::Initialization();
    Cli_cot00304::Initialization();
}

void Finalize() {
    if (g_initCount == 0 || --g_initCount > 0) return;
    Cli_cot00300::Finalization();
    Cli_cot00302::Finalization();
    Cli_cot00301::Finalization();
    Cli_cot00303::Finalization();
    Cli_cot00304::Finalization();
}

void IniProc() { Cli_cot00300::CriaTbPreProCom(); }
