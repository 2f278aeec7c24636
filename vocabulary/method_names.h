#pragma once
// The application server's method names. Callers name a method by its
// constant, so a misspelt name does not compile instead of failing with
// "method not found" at run time.

namespace Method {

inline constexpr char getAcesso[] = "getAcesso";
inline constexpr char getConsulta[] = "getConsulta";
inline constexpr char getIndiceBtn[] = "getIndiceBtn";
inline constexpr char getTbPreco[] = "getTbPreco";
inline constexpr char PrxPrecoProp[] = "PrxPrecoProp";
inline constexpr char SetIncTbPre[] = "SetIncTbPre";
inline constexpr char setTbPrecSegMer[] = "setTbPrecSegMer";
inline constexpr char CopiaTbPreco[] = "CopiaTbPreco";
inline constexpr char GetHistTbPreco[] = "GetHistTbPreco";
inline constexpr char getRelTbPreco[] = "getRelTbPreco";
inline constexpr char getLuSist[] = "getLuSist";
inline constexpr char getLuUsu[] = "getLuUsu";
inline constexpr char getDescSis[] = "getDescSis";
inline constexpr char getDescUsu[] = "getDescUsu";
inline constexpr char setDescSis[] = "setDescSis";
inline constexpr char setDescUsu[] = "setDescUsu";
inline constexpr char getVdQtIniSis[] = "getVdQtIniSis";
inline constexpr char getVdQtIniusu[] = "getVdQtIniusu";
inline constexpr char getVdIntervSis[] = "getVdIntervSis";
inline constexpr char getVdIntervUsu[] = "getVdIntervUsu";
inline constexpr char getVdFinSistEdit[] = "getVdFinSistEdit";
inline constexpr char getVdFinUsuEdit[] = "getVdFinUsuEdit";
inline constexpr char getQtMaxFin[] = "getQtMaxFin";
inline constexpr char getPerOper[] = "getPerOper";
inline constexpr char setPerOper[] = "setPerOper";
inline constexpr char getVdOpTipo[] = "getVdOpTipo";
inline constexpr char GetOperador[] = "GetOperador";
inline constexpr char Insere_OperDesc[] = "Insere_OperDesc";
inline constexpr char GetTipoServico[] = "GetTipoServico";
inline constexpr char SetTipoServico[] = "SetTipoServico";
inline constexpr char GetOperTipoServ[] = "GetOperTipoServ";
inline constexpr char GetTipoServOper[] = "GetTipoServOper";
inline constexpr char SetOperTipoServ[] = "SetOperTipoServ";
inline constexpr char GetMaxOperTipoServ[] = "GetMaxOperTipoServ";
inline constexpr char GetPesqTipoServ[] = "GetPesqTipoServ";
inline constexpr char GetOperadorComTiposServ[] = "GetOperadorComTiposServ";
inline constexpr char GetTipoServicoComOperadores[] = "GetTipoServicoComOperadores";

}  // namespace Method
