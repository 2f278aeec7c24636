// The history of one price table: every change of its record, its bands and
// its permissions, newest first, field by field (see audit_trail.h).

#include "audit_trail.h"
#include "codes.h"
#include "db_session.h"
#include "method_names.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"

#include <QHash>

void Methods::registerHistory(MethodRegistry &registry) {
    registry.add(Right::Read, {Method::GetHistTbPreco, {ArgKind::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString code = Codes::priceTableArg(ctx.text(0));
                      Packets::Builder answer({{QStringLiteral("DTALTERACAO"), FieldType::DateTime},
                                               {QStringLiteral("NMUSUARIO"), FieldType::String, 60},
                                               {QStringLiteral("NMTABELA"), FieldType::String, 30},
                                               {QStringLiteral("DSCHAVE"), FieldType::String, 200},
                                               {QStringLiteral("IDOPERACAO"), FieldType::String, 1},
                                               {QStringLiteral("NMCAMPO"), FieldType::String, 30},
                                               {QStringLiteral("DSANTES"), FieldType::String, 100},
                                               {QStringLiteral("DSDEPOIS"), FieldType::String, 100},
                                               {QStringLiteral("NMMETODO"), FieldType::String, 60},
                                               {QStringLiteral("NMOPERADOR"), FieldType::String, 40}});
                      // Permissions are read by the operator's name, active or not.
                      QHash<QString, QString> operatorNames;
                      Query names(ctx.db, QStringLiteral("SELECT CDOPERADOR, NMOPERADOR FROM OPERADOR"));
                      names.exec();
                      while (names.next()) operatorNames.insert(names.value(0).toString().trimmed(), names.value(1).toString().trimmed());
                      for (const AuditTrail::Entry &e : AuditTrail::read(ctx.db, code)) {
                          const QString op = e.table == QLatin1String("PRECOPROPOPER") ? e.key.section(QLatin1Char('|'), 1, 1).trimmed() : QString();
                          answer.addRow({e.when, e.user, e.table, e.key, QString(e.operation), e.field,
                                         e.before.isEmpty() ? QVariant() : QVariant(e.before), e.after.isEmpty() ? QVariant() : QVariant(e.after),
                                         e.method, operatorNames.contains(op) ? QVariant(operatorNames.value(op)) : QVariant()});
                      }
                      ctx.data = answer.toJson();
                  }});
}
