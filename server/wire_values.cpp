#include "wire_values.h"

#include "rpc_error.h"
#include "write_path.h"

#include <packet.h>

#include <QLocale>
#include <cmath>

namespace {

QString textProblem(const QString &what) {
    return QStringLiteral("%1 contém texto inválido (caractere nulo ou fora do padrão Unicode). Corrija o texto e envie novamente.").arg(what);
}

QString numberProblem(const QString &what) {
    return QStringLiteral("%1 tem um número inteiro grande demais para ser transmitido com exatidão (o limite é 9007199254740992).")
        .arg(what);
}

void checkValue(const QVariant &v, const QString &what) {
    if (!v.isValid() || v.isNull()) return;
    switch (v.typeId()) {
    case QMetaType::QString:
        if (!WireValues::validText(v.toString())) invalidParams(textProblem(what));
        break;
    case QMetaType::Double:
        if (!WireValues::exactNumber(v.toDouble())) invalidParams(numberProblem(what));
        break;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
        if (!WireValues::exactNumber(double(v.toLongLong()))) invalidParams(numberProblem(what));
        break;
    default: break;
    }
}

}  // namespace

namespace WireValues {

bool validText(const QString &text) {
    const qsizetype n = text.size();
    const QChar *c = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = c[i].unicode();
        if (u == 0) return false;
        if (u < 0xD800 || u > 0xDFFF) continue;
        if (u >= 0xDC00 || i + 1 >= n || !c[i + 1].isLowSurrogate()) return false;  // a lone half of a pair
        ++i;
    }
    return true;
}

bool exactNumber(double value) {
    // Every double from 2^53 up is whole, and may stand for a neighbour that lost its last digit.
    return !std::isfinite(value) || std::fabs(value) < MaxExactWhole;
}

void checkArguments(const QJsonArray &params, const QString &method) {
    for (int i = 0; i < params.size(); ++i) {
        const QJsonValue v = params.at(i);
        const QString what = QStringLiteral("O argumento %1 do método %2").arg(i + 1).arg(method);
        if (v.isString() && !validText(v.toString())) invalidParams(textProblem(what));
        if (v.isDouble() && !exactNumber(v.toDouble())) invalidParams(numberProblem(what));
    }
}

void checkDelta(const Delta &delta, int argument, const QString &method) {
    if (delta.changes.size() > WritePath::MaxChangesPerCall)
        refuse(QStringLiteral("O pacote de alterações (argumento %1 do método %2) traz %3 alterações; o limite é %4 por chamada. Nada foi "
                              "gravado: envie as alterações em partes menores.")
                   .arg(argument)
                   .arg(method)
                   .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(qint64(delta.changes.size())))
                   .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(WritePath::MaxChangesPerCall)));
    for (const DeltaChange &c : delta.changes)
        for (const Row *row : {&c.oldValues, &c.newValues})
            for (int f = 0; f < row->size(); ++f)
                checkValue(row->at(f), QStringLiteral("O campo %1 (argumento %2 do método %3)")
                                           .arg(f < delta.fields.size() ? delta.fields[f].name : QString::number(f + 1))
                                           .arg(argument)
                                           .arg(method));
}

void checkStored(const QVariant &value, const QString &field) {
    const int type = value.typeId();
    const bool huge = type == QMetaType::Double ? !exactNumber(value.toDouble())
                      : (type == QMetaType::LongLong || type == QMetaType::ULongLong) && std::fabs(double(value.toLongLong())) >= MaxExactWhole;
    if (huge)
        refuse(QStringLiteral("O campo %1 guarda um número inteiro grande demais para ser transmitido com exatidão (o limite é "
                              "9007199254740992). Corrija o registro no banco de dados.")
                   .arg(field));
}

}  // namespace WireValues
