#pragma once
// Who may change what. Each person has one role; each remote method declares
// the one right it needs (beside its own declaration, see MethodRegistry::add),
// and the dispatcher refuses a call whose person's role lacks it before any
// SQL runs.
//
//   consulta       every read, the report, the calculator, the history
//   precos         also price tables, bands, copies, service types, segments
//   descontos      also operator permissions, the automatic registration and
//                  operator discounts per service type
//   administrador  everything
//
// The key file's person and the embedded server's person are administrators,
// and so are the keys made before roles existed.

#include <QString>
#include <optional>

enum class Role { Consulta, Precos, Descontos, Administrador };

enum class Right {
    Read,       // reads that hand out nothing
    Prices,     // price tables (and their new codes), bands, copies, service types, market segments
    Discounts,  // what each operator may grant (and the numbers of new service discounts)
};

namespace AccessRoles {

QString name(Role role);                            // "consulta", ...
std::optional<Role> parse(const QString &name);     // exact, lower case
QString namesForHelp();                             // "consulta, precos, descontos ou administrador"
bool allows(Role role, Right right);
// The refusal's sentence: names the person, the role and what it does not allow.
QString refusal(const QString &person, Role role, Right right);

}  // namespace AccessRoles

// The person a call is made for, as the key that made it names them.
struct Caller {
    QString person;
    Role role = Role::Administrador;
};
