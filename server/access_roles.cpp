#include "access_roles.h"

#include <QStringList>

namespace AccessRoles {

namespace {

struct RoleName {
    Role role;
    const char *name;
};
constexpr RoleName kRoles[] = {
    {Role::Consulta, "consulta"}, {Role::Precos, "precos"}, {Role::Descontos, "descontos"}, {Role::Administrador, "administrador"}};

// What a right covers, as the refusal says it.
QString subject(Right right) {
    switch (right) {
    case Right::Read: return QStringLiteral("consultar os dados");
    case Right::Prices: return QStringLiteral("alterar tabelas de preço, faixas de desconto, tipos de serviço e segmentos de mercado");
    case Right::Discounts: return QStringLiteral("alterar os descontos que os operadores podem conceder");
    }
    return QString();
}

}  // namespace

QString name(Role role) {
    for (const RoleName &r : kRoles)
        if (r.role == role) return QString::fromLatin1(r.name);
    return QString();
}

std::optional<Role> parse(const QString &text) {
    for (const RoleName &r : kRoles)
        if (text == QLatin1String(r.name)) return r.role;
    return std::nullopt;
}

QString namesForHelp() {
    QStringList names;
    for (const RoleName &r : kRoles) names << QString::fromLatin1(r.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" ou ") + last;
}

bool allows(Role role, Right right) {
    switch (right) {
    case Right::Read: return true;
    case Right::Prices: return role == Role::Precos || role == Role::Administrador;
    case Right::Discounts: return role == Role::Descontos || role == Role::Administrador;
    }
    return false;
}

QString refusal(const QString &person, Role role, Right right) {
    return QStringLiteral("Operação não permitida: o papel \"%1\" de %2 não permite %3. Peça ao administrador do servidor um papel "
                          "com essa permissão.")
        .arg(name(role), person, subject(right));
}

}  // namespace AccessRoles
