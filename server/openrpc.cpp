#include "openrpc.h"

#include <rpc_codes.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

QJsonObject ref(const char *schema) { return {{"$ref", QStringLiteral("#/components/schemas/%1").arg(QLatin1String(schema))}}; }

QJsonObject argSchema(ArgKind kind) {
    switch (kind) {
    case ArgKind::Text: return {{"type", "string"}};
    case ArgKind::Count:
        return {{"oneOf", QJsonArray{QJsonObject{{"type", "integer"}}, QJsonObject{{"type", "string"}, {"pattern", "^ *-?[0-9]{1,15} *$"}}}}};
    case ArgKind::Number: return {{"type", "number"}};
    case ArgKind::NumberOrNull: return {{"type", QJsonArray{"number", "null"}}};
    case ArgKind::Delta: return ref("Delta");
    case ArgKind::DeltaOrNull: return {{"oneOf", QJsonArray{ref("Delta"), QJsonObject{{"type", "null"}}}}};
    case ArgKind::Object: return {{"type", "object"}};
    }
    return {};
}

QString kindName(ArgKind kind) {
    switch (kind) {
    case ArgKind::Text: return QStringLiteral("texto");
    case ArgKind::Count: return QStringLiteral("número inteiro (número ou texto)");
    case ArgKind::Number: return QStringLiteral("número");
    case ArgKind::NumberOrNull: return QStringLiteral("número ou nulo");
    case ArgKind::Delta: return QStringLiteral("pacote de alterações");
    case ArgKind::DeltaOrNull: return QStringLiteral("pacote de alterações ou nulo");
    case ArgKind::Object: return QStringLiteral("objeto com valores por nome");
    }
    return QString();
}

Answer answerOf(const MethodDef &m) {
    if (m.answer != Answer::ByName) return m.answer;
    return m.name.startsWith(QLatin1String("get"), Qt::CaseInsensitive) ? Answer::Packet : Answer::Nothing;
}

QJsonObject dataSchema(Answer a) {
    switch (a) {
    case Answer::Packet: return ref("DataPacket");
    case Answer::Text: return {{"type", "string"}};
    case Answer::ListWithDetail:
        return {{"type", "object"},
                {"required", QJsonArray{"lista", "chave", "detalhe"}},
                {"properties", QJsonObject{{"lista", ref("DataPacket")}, {"chave", QJsonObject{{"type", "string"}}}, {"detalhe", ref("DataPacket")}}}};
    case Answer::Nothing:
    case Answer::ByName: break;
    }
    return {{"type", "null"}};
}

struct ErrorDef {
    int code;
    const char *name;
    const char *message;
};
const ErrorDef kErrors[] = {
    {RpcCode::ParseError, "ParseError", "JSON ilegível"},
    {RpcCode::InvalidRequest, "InvalidRequest", "não é uma requisição JSON-RPC 2.0"},
    {RpcCode::MethodNotFound, "MethodNotFound", "método desconhecido"},
    {RpcCode::InvalidParams, "InvalidParams", "número ou tipo de argumentos errado, ou valor inválido"},
    {RpcCode::Refused, "Refused", "recusado por uma regra de negócio"},
    {RpcCode::Conflict, "Conflict", "outro usuário alterou ou excluiu o registro: atualize e envie de novo"},
    {RpcCode::Storage, "Storage", "falha do banco de dados; nada foi gravado"},
    {RpcCode::OutcomeUnknown, "OutcomeUnknown", "a conexão com o banco caiu depois do pedido de gravação; verifique antes de repetir"},
    {RpcCode::NotAllowed, "NotAllowed", "o papel da pessoa da chave não permite o método"},
};

QJsonObject components() {
    const QJsonObject value{{"type", QJsonArray{"string", "number", "null"}}};
    const QJsonObject field{{"type", "object"},
                            {"required", QJsonArray{"name", "type"}},
                            {"properties", QJsonObject{{"name", QJsonObject{{"type", "string"}}},
                                                       {"type", QJsonObject{{"enum", QJsonArray{"string", "float", "integer", "datetime"}}}},
                                                       {"size", QJsonObject{{"type", "integer"}}}}}};
    const QJsonObject row{{"type", "array"}, {"items", value}};
    const QJsonObject packet{{"type", "object"},
                             {"required", QJsonArray{"fields", "rows"}},
                             {"properties", QJsonObject{{"fields", QJsonObject{{"type", "array"}, {"items", field}}},
                                                        {"rows", QJsonObject{{"type", "array"}, {"items", row}}}}}};
    const QJsonObject change{{"type", "object"},
                             {"required", QJsonArray{"op"}},
                             {"properties", QJsonObject{{"op", QJsonObject{{"enum", QJsonArray{"insert", "update", "delete"}}}},
                                                        {"old", row},
                                                        {"new", row}}}};
    const QJsonObject delta{{"type", "object"},
                            {"required", QJsonArray{"fields", "changes"}},
                            {"properties", QJsonObject{{"fields", QJsonObject{{"type", "array"}, {"items", field}}},
                                                       {"changes", QJsonObject{{"type", "array"}, {"items", change}}}}}};
    QJsonObject errors;
    for (const ErrorDef &e : kErrors) errors.insert(QLatin1String(e.name), QJsonObject{{"code", e.code}, {"message", QString::fromUtf8(e.message)}});
    return {{"schemas", QJsonObject{{"DataPacket", packet}, {"Delta", delta}}}, {"errors", errors}};
}

}  // namespace

namespace OpenRpc {

QByteArray document(const MethodRegistry &registry, const QString &serverUrl) {
    QStringList names = registry.names();
    std::sort(names.begin(), names.end());
    QJsonArray errorRefs;
    for (const ErrorDef &e : kErrors) errorRefs.append(QJsonObject{{"$ref", QStringLiteral("#/components/errors/%1").arg(QLatin1String(e.name))}});
    QJsonArray methods;
    for (const QString &name : names) {
        const MethodDef &m = *registry.find(name);
        QJsonArray params;
        for (int i = 0; i < m.args.size(); ++i) {
            const bool byRef = m.byReference.contains(i);
            params.append(QJsonObject{{"name", QStringLiteral("arg%1").arg(i + 1)},
                                      {"required", true},
                                      {"description", kindName(m.args[i]) + (byRef ? QStringLiteral(", por referência") : QString())},
                                      {"schema", argSchema(m.args[i])},
                                      {"x-by-reference", byRef}});
        }
        const QJsonObject result{{"type", "object"},
                                 {"required", QJsonArray{"data", "params"}},
                                 {"properties", QJsonObject{{"data", dataSchema(answerOf(m))},
                                                            {"params", QJsonObject{{"type", "array"},
                                                                                   {"description", "valor final de cada argumento, na ordem"}}}}}};
        methods.append(QJsonObject{{"name", name},
                                   {"paramStructure", "by-position"},
                                   {"params", params},
                                   {"result", QJsonObject{{"name", "result"}, {"schema", result}}},
                                   {"errors", errorRefs},
                                   {"x-transaction", m.tx == TxMode::Write ? "write" : m.tx == TxMode::Read ? "read" : "single-statement"}});
    }
    const QJsonObject doc{
        {"openrpc", "1.2.6"},
        {"info", QJsonObject{{"title", "Cot00300.rdmTbPreProCom"},
                             {"version", "1"},
                             {"description", "Módulo de dados remoto das tabelas de preço: JSON-RPC 2.0 sobre HTTP, um POST por chamada. "
                                             "Veja docs/protocol.md."}}},
        {"servers", QJsonArray{QJsonObject{{"name", "cot-server"}, {"url", serverUrl}}}},
        {"methods", methods},
        {"components", components()},
    };
    return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

}  // namespace OpenRpc
