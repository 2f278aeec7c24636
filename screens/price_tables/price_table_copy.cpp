// "Copiar": a new price table made on the server from the current one, with
// its bands and its operators' permissions, in one transaction.
#include "price_tables.h"
#include "method_names.h"

#include "dialogs.h"
#include "errors.h"
#include "module_state.h"
#include "page_host.h"
#include "net_connection.h"
#include "routines.h"

namespace {

constexpr int kNameSize = 50;  // NMPRECOPROP

QString copiedMessage(const QString &code, const QString &name, int leftOut, bool permissionsCopied) {
    if (!permissionsCopied)
        return QStringLiteral("Tabela de preço %1 - %2 criada com as faixas de desconto da tabela copiada.\nAs permissões dos operadores não "
                              "foram copiadas: o seu papel não permite concedê-las.")
            .arg(code, name);
    QString text = QStringLiteral("Tabela de preço %1 - %2 criada com as faixas de desconto e as permissões da tabela copiada.").arg(code, name);
    if (leftOut == 1)
        text += QStringLiteral("\n1 permissão de operador inativo não foi copiada.");
    else if (leftOut > 1)
        text += QStringLiteral("\n%1 permissões de operadores inativos não foram copiadas.").arg(leftOut);
    return text;
}

}  // namespace

void TPriceTablesPage::copyCurrent() {
    if (!HasRows(cdsTbPreco) || cdsTbPreco->State() != DataSetState::Browse || cdsTbPreco->ChangeCount() > 0) return;
    const QString source = currentCode();
    QString name = QStringLiteral("Cópia de %1").arg(currentName().trimmed()).left(kNameSize);
    for (;;) {
        if (!Dialogs().askText(QStringLiteral("Copiar Tabela de Preço"),
                               QStringLiteral("Nome da nova tabela de preço (cópia de %1):").arg(source), &name, kNameSize))
            return;
        name = name.trimmed();
        if (!name.isEmpty()) break;
        Dialogs().showMessage(QStringLiteral("Informe o nome da nova tabela de preço."), MsgType::Warning, MsgButton::Ok);
    }

    // The source as shown, renamed: the server refuses the copy when the
    // stored table is no longer what the user saw.
    TClientTable shown;
    DataPacket row;
    row.fields = cdsTbPreco->fieldDefs();
    Row values;
    for (int i = 0; i < cdsTbPreco->FieldCount(); ++i) values << cdsTbPreco->Fields(i)->Value();
    row.rows << values;
    shown.LoadPacket(row);
    shown.Edit();
    shown.FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(name);
    shown.Post();

    QJsonValue answer;
    {
        WaitAnimation wait(f.screen(), WaitKind::OverScreen);
        answer = CheckResultServ(f.connection().Call(Method::CopiaTbPreco, {shown.GetDelta()}));
    }
    const DataPacket copied = PacketCodec::packetFromJson(answer);
    const QString code = copied.rows.value(0).value(0).toString();
    const int leftOut = copied.rows.value(0).value(1).toInt();
    const int permissionsFlag = copied.fieldIndex(QStringLiteral("IDPERMCOP"));
    const bool permissionsCopied = permissionsFlag < 0 || copied.rows.value(0).value(permissionsFlag).toString() != QLatin1String("N");
    f.loadTable(cdsTbPreco, Method::getTbPreco, {}, WaitKind::OverScreen);
    cdsTbPreco->Locate(QStringLiteral("CDPRECOPROP"), code);
    Dialogs().showMessage(copiedMessage(code, name, leftOut, permissionsCopied), MsgType::Information, MsgButton::Ok);
}
