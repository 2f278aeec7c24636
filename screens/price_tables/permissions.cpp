#include "permissions.h"

#include "frm_tb_pre_pro_com.h"

TPermissionsPage::TPermissionsPage(TfrmTbPreProCom &frame) : TScreenPage(frame) {
    const ColumnSpecs columns = {
        WithEllipsis(TextColumn("CDOPERADOR", 12, "Operador", 207, 0)),
        PlainField("NMOPERADOR", FieldType::String, 40, "Nome Operador"),
        HiddenField("CDPRECOPROP", FieldType::String, 10),
        // The type is stored as its code; the list shows the catalogue's captions.
        PickColumn("IDTIPODESCOPER", 1, "Tipo", 150, 1,
                   {{f.msgPadrao.Msg(QStringLiteral("Locacao")), QStringLiteral("L")},
                    {f.msgPadrao.Msg(QStringLiteral("Manutencao")), QStringLiteral("M")},
                    {f.msgPadrao.Msg(QStringLiteral("Licenca_de_Uso")), QStringLiteral("U")}}),
        NumberColumn("VRPERCDESCOPER", "%Desconto", 169, 2, NumberFormat::Shown),
    };
    cdsPerOper = new TClientTable(QStringLiteral("cdsPerOper"), this);
    DefineFields(cdsPerOper, columns);
    dtsPerOper = new TDataSource(cdsPerOper, this);
    dbgPerOper = MakeGrid("dbgPerOper", dtsPerOper, columns, true);
    dbgPerOper->SetReadOnly(true);
    m_list = std::make_unique<TPriceTableList>(f, cdsPerOper, dbgPerOper, QStringLiteral("getPerOper"), "tshPermOper",
                                               QStringLiteral("Permissão por Operador"));
    tshPermOper = m_list->sheet;

    cdsVdOpTipo = new TClientTable(QStringLiteral("cdsVdOpTipo"), this);
    cdsVdOpTipo->AddField(QStringLiteral("CDOPERADOR"), FieldType::String, 12);
    cdsVdOpTipo->AddField(QStringLiteral("CDPRECOPROP"), FieldType::String, 10);
    cdsVdOpTipo->AddField(QStringLiteral("IDTIPODESCOPER"), FieldType::String, 1);
}

TPermissionsPage::~TPermissionsPage() = default;

void TPermissionsPage::shown(QWidget *) { m_list->shown(); }

void TPermissionsPage::refresh(QWidget *) {
    f.dtsPadrao->SetDataSet(cdsPerOper);
    m_list->load(WaitKind::OverMainWindow);
}

void TPermissionsPage::enable(QWidget *, bool browse, ToolActions &a) const {
    m_list->enable(browse, a);
    // Nothing is written from this list yet: it offers no change.
    a.incluir = a.alterar = a.excluir = false;
    a.cadAuto = browse;
}
