// The history of one price table: every change of its record, its bands and
// its permissions, newest first, field by field (see audit_trail.h).

#include "audit_trail.h"
#include "codes.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"

void Methods::registerHistory(MethodRegistry &registry) {
    registry.add(Right::Read, {QStringLiteral("GetHistTbPreco"), {ArgKind::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString code = Codes::priceTableArg(ctx.text(0));
                      Packets::Builder answer({{QStringLiteral("DTALTERACAO"), FieldType::DateTime},
                                               {QStringLiteral("NMUSUARIO"), FieldType::String, 60},
                                               {QStringLiteral("NMTABELA"), FieldType::String, 30},
                                               {QStringLiteral("DSCHAVE"), FieldType::String, 200},
                                               {QStringLiteral("IDOPERACAO"), FieldType::String, 1},
                                               {QStringLiteral("NMCAMPO"), FieldType::String, 30},
                                               {QStringLiteral("DSANTES"), FieldType::String, 100},
                                               {QStringLiteral("DSDEPOIS"), FieldType::String, 100}});
                      for (const AuditTrail::Entry &e : AuditTrail::read(ctx.db, code))
                          answer.addRow({e.when, e.user, e.table, e.key, QString(e.operation), e.field,
                                         e.before.isEmpty() ? QVariant() : QVariant(e.before), e.after.isEmpty() ? QVariant() : QVariant(e.after)});
                      ctx.data = answer.toJson();
                  }});
}
