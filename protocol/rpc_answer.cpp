#include "rpc_answer.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <simdjson.h>

namespace {

// The JSON text of a value, as it stands in the answer.
simdjson::error_code rawText(simdjson::ondemand::value value, std::string_view *out) {
    simdjson::ondemand::json_type type;
    if (auto e = value.type().get(type)) return e;
    switch (type) {
    case simdjson::ondemand::json_type::object: {
        simdjson::ondemand::object o;
        if (auto e = value.get_object().get(o)) return e;
        return o.raw_json().get(*out);
    }
    case simdjson::ondemand::json_type::array: {
        simdjson::ondemand::array a;
        if (auto e = value.get_array().get(a)) return e;
        return a.raw_json().get(*out);
    }
    default: *out = value.raw_json_token(); return simdjson::SUCCESS;
    }
}

// Qt's reader for a value that may be a lone scalar.
std::optional<QJsonValue> qtValue(const QByteArray &text) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson("[" + text + "]", &error);
    if (error.error != QJsonParseError::NoError || doc.array().size() != 1) return std::nullopt;
    return doc.array().at(0);
}

// The whole answer through Qt's reader: for what simdjson does not take
// (numbers beyond its range, ...), so no answer is refused that Qt reads.
RpcAnswer readWithQt(const QByteArray &body) {
    RpcAnswer a;
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &perr);
    if (perr.error != QJsonParseError::NoError || !doc.isObject()) return a;
    a.readable = true;
    const QJsonObject o = doc.object();
    if (o.contains(QLatin1String("error"))) {
        const QJsonObject e = o.value(QLatin1String("error")).toObject();
        a.isError = true;
        a.errorCode = e.value(QLatin1String("code")).toInt();
        a.errorMessage = e.value(QLatin1String("message")).toString();
        return a;
    }
    const QJsonObject result = o.value(QLatin1String("result")).toObject();
    a.data = ReplyData(result.value(QLatin1String("data")));
    a.params = result.value(QLatin1String("params")).toArray();
    return a;
}

std::optional<RpcAnswer> readWithSimdjson(const QByteArray &body) {
    thread_local simdjson::ondemand::parser parser;
    const simdjson::padded_string padded(body.constData(), size_t(body.size()));
    simdjson::ondemand::document doc;
    simdjson::ondemand::object root;
    if (parser.iterate(padded).get(doc) || doc.get_object().get(root)) return std::nullopt;
    RpcAnswer a;
    a.readable = true;
    bool sawError = false;
    for (auto field : root) {
        std::string_view key;
        simdjson::ondemand::value value;
        if (field.unescaped_key().get(key) || field.value().get(value)) return std::nullopt;
        if (key == "error") {
            std::string_view text;
            if (rawText(value, &text)) return std::nullopt;
            // Small, and read the way every caller has read it.
            const std::optional<QJsonValue> e = qtValue(QByteArray(text.data(), qsizetype(text.size())));
            if (!e) return std::nullopt;
            sawError = true;
            a.errorCode = e->toObject().value(QLatin1String("code")).toInt();
            a.errorMessage = e->toObject().value(QLatin1String("message")).toString();
        } else if (key == "result") {
            simdjson::ondemand::json_type type;
            if (value.type().get(type)) return std::nullopt;
            if (type != simdjson::ondemand::json_type::object) continue;
            simdjson::ondemand::object result;
            if (value.get_object().get(result)) return std::nullopt;
            for (auto part : result) {
                std::string_view name, text;
                simdjson::ondemand::value v;
                if (part.unescaped_key().get(name) || part.value().get(v)) return std::nullopt;
                if (name == "data") {
                    if (rawText(v, &text)) return std::nullopt;
                    a.data = ReplyData::fromText(QByteArray(text.data(), qsizetype(text.size())));
                } else if (name == "params") {
                    if (rawText(v, &text)) return std::nullopt;
                    const std::optional<QJsonValue> p = qtValue(QByteArray(text.data(), qsizetype(text.size())));
                    if (!p) return std::nullopt;
                    a.params = p->toArray();
                }
            }
        }
    }
    // Something after the answer object: Qt's reader refuses it.
    if (doc.current_location().error() == simdjson::SUCCESS) return std::nullopt;
    a.isError = sawError;
    if (sawError) a.data = ReplyData();
    return a;
}

}  // namespace

ReplyData ReplyData::fromText(QByteArray text) {
    ReplyData d;
    d.m_text = std::move(text);
    return d;
}

QJsonValue ReplyData::value() const {
    if (!m_value) m_value = m_text.isEmpty() ? QJsonValue(QJsonValue::Undefined) : qtValue(m_text).value_or(QJsonValue(QJsonValue::Undefined));
    return *m_value;
}

DataPacket ReplyData::packet() const {
    if (!m_text.isEmpty()) return PacketCodec::decodePacket(m_text);
    return PacketCodec::packetFromJson(value());
}

namespace RpcAnswerReader {

RpcAnswer read(const QByteArray &body) {
    if (std::optional<RpcAnswer> a = readWithSimdjson(body)) return std::move(*a);
    return readWithQt(body);
}

}  // namespace RpcAnswerReader
