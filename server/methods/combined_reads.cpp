// A list and the detail of one of its rows in one answer, for the pages whose
// second read needs a key from the first: the service types with the
// operators of one type, the operators with the service types of one. Over
// a slow link that is one round trip where there were two in a row. The
// parts are the methods the screens called one after the other (they stay
// for other callers), read in one transaction so both see one state.
//
// The answer: {"lista": packet, "chave": the key the detail is of,
// "detalhe": packet}. The key argument names the row whose detail is wanted;
// empty: the list's first row (none when the list is empty).

#include "method_names.h"
#include "methods.h"
#include "packet_writer.h"
#include "rpc_dispatcher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using Run = std::function<void(CallContext &)>;

// The value of `field` in the first row of a packet given as JSON text.
QString firstRowValue(const QByteArray &packet, const QString &field) {
    const QJsonObject p = QJsonDocument::fromJson(packet).object();
    const QJsonArray fields = p.value(QLatin1String("fields")).toArray();
    const QJsonArray rows = p.value(QLatin1String("rows")).toArray();
    if (rows.isEmpty()) return QString();
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].toObject().value(QLatin1String("name")).toString() == field) return rows[0].toArray().at(i).toString();
    return QString();
}

Run listWithDetail(const QString &listMethod, Run list, const QString &keyField, const QString &detailMethod, Run detail) {
    return [=](CallContext &ctx) {
        CallContext whole(ctx.db, listMethod, {}, {});
        whole.observer = ctx.observer;
        whole.user = ctx.user;
        list(whole);
        QString key = ctx.text(0).trimmed();
        if (key.isEmpty()) key = firstRowValue(whole.data, keyField);
        CallContext one(ctx.db, detailMethod, QJsonArray{key}, {});
        one.observer = ctx.observer;
        one.user = ctx.user;
        one.role = ctx.role;
        detail(one);
        QByteArray out = "{\"lista\":" + whole.data + ",\"chave\":";
        JsonText::appendString(out, key);
        out += ",\"detalhe\":" + one.data + "}";
        ctx.data = std::move(out);
    };
}

// Declares `name` from two methods already in the registry.
void combine(MethodRegistry &registry, const QString &name, const QString &listMethod, const QString &keyField,
             const QString &detailMethod) {
    const MethodDef *list = registry.find(listMethod);
    const MethodDef *detail = registry.find(detailMethod);
    Q_ASSERT(list && detail && list->args.isEmpty() && detail->args.size() == 1);
    MethodDef def{name, {ArgKind::Text}, TxMode::Read, listWithDetail(listMethod, list->run, keyField, detailMethod, detail->run)};
    def.answer = Answer::ListWithDetail;
    // Whoever may call both parts may call the two at once.
    registry.add(list->right == Right::Read ? detail->right : list->right, std::move(def));
}

}  // namespace

void Methods::registerCombinedReads(MethodRegistry &registry) {
    // "Dados por Tipo de Serviço": the service types, and who may discount the first (or the given) one.
    combine(registry, Method::GetTipoServicoComOperadores, Method::GetTipoServico, QStringLiteral("CDTIPOSERV"),
            Method::GetOperTipoServ);
    // "Dados por Operador": the active operators, and the service types of the first (or the given) one.
    combine(registry, Method::GetOperadorComTiposServ, Method::GetOperador, QStringLiteral("CDOPERADOR"),
            Method::GetTipoServOper);
}
