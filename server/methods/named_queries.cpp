// The desktop's look-ups outside the remote methods, run here by name: the
// desktop sends the query's name and its parameters by name, typed; the
// text of each query stays on the server, which is all a desktop needs to
// reach (it holds neither the database's address nor its credentials).

#include "method_names.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"
#include "rpc_error.h"

#include <QJsonObject>

namespace {

using Packets::text;

struct Param {
    QString name;
    int size;  // a text of at most this many characters
};

struct NamedQuery {
    QString name;
    QVector<Param> params;  // bound in this order
    QVector<FieldDef> fields;
    QString sql;
};

const QVector<NamedQuery> &queries() {
    static const QVector<NamedQuery> q{
        // One active operator, or all of them with P_TCDOPERADOR = 'T'.
        {QStringLiteral("Operador"),
         {{QStringLiteral("P_CDOPERADOR"), 12}, {QStringLiteral("P_TCDOPERADOR"), 1}},
         {text("CDOPERADOR", 12), text("NMOPERADOR", 40)},
         QStringLiteral("SELECT CDOPERADOR, NMOPERADOR FROM OPERADOR WHERE (? = CDOPERADOR OR ? = 'T') AND IDOPERATIVO = 'A'"
                        " ORDER BY CDOPERADOR")},
    };
    return q;
}

void getConsulta(CallContext &ctx) {
    const QString name = ctx.text(0);
    const NamedQuery *query = nullptr;
    for (const NamedQuery &q : queries())
        if (q.name == name) query = &q;
    if (!query) invalidParams(QStringLiteral("A consulta \"%1\" não existe no servidor.").arg(name.left(60)));
    const QJsonObject given = ctx.params.at(1).toObject();
    for (auto it = given.begin(); it != given.end(); ++it)
        if (std::none_of(query->params.begin(), query->params.end(), [&](const Param &p) { return p.name == it.key(); }))
            invalidParams(QStringLiteral("A consulta \"%1\" não tem o parâmetro %2.").arg(name, it.key().left(60)));
    QVariantList binds;
    for (const Param &p : query->params) {
        const QJsonValue v = given.value(p.name);
        if (v.isNull() || v.isUndefined()) {
            binds << QVariant(QMetaType(QMetaType::QString));
            continue;
        }
        if (!v.isString() || v.toString().size() > p.size)
            invalidParams(QStringLiteral("O parâmetro %1 da consulta \"%2\" deve ser um texto de até %3 caracteres.")
                              .arg(p.name, name)
                              .arg(p.size));
        binds << v.toString();
    }
    ctx.data = Packets::select(ctx.db, query->fields, query->sql, binds);
}

}  // namespace

void Methods::registerNamedQueries(MethodRegistry &registry) {
    registry.add(Right::Read, {Method::getConsulta, {ArgKind::Text, ArgKind::Object}, TxMode::None, getConsulta, {}, Answer::Packet});
}
