// What the person of the calling key may do: the desktop asks once when it
// connects, shows the person and the role, and turns off what the role does
// not allow (the server still refuses such calls on its own).

#include "access_roles.h"
#include "method_names.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"

#include <algorithm>

void Methods::registerAccess(MethodRegistry &registry) {
    // One row per method the person may call, each with the person and role.
    registry.add(Right::Read, {Method::getAcesso, {}, TxMode::None, [&registry](CallContext &ctx) {
                                   Packets::Builder answer({{QStringLiteral("NMUSUARIO"), FieldType::String, 60},
                                                            {QStringLiteral("NMPAPEL"), FieldType::String, 20},
                                                            {QStringLiteral("NMMETODO"), FieldType::String, 60}});
                                   QStringList names = registry.names();
                                   std::sort(names.begin(), names.end());
                                   const QString role = AccessRoles::name(ctx.role);
                                   for (const QString &name : std::as_const(names))
                                       if (ctx.may(registry.find(name)->right)) answer.addRow({ctx.user, role, name});
                                   ctx.data = answer.toJson();
                               }});
}
