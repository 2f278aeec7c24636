#pragma once
// The screen "Cadastramento Automático": grants discount permissions of one
// price table in a single action, to every active operator or to a picked
// list, for any of the three discount types, each with its own percentage.
// It is modal over the maintenance screen and has no connection of its own:
// it works through the connection and on the price table it was given.

#include "client_table.h"
#include "forms.h"
#include "price_table_context.h"

#include <QPointer>

class QCheckBox;
class QRadioButton;
class QToolButton;

class TfrmCadAuto : public TfrmRotiGeral {
    Q_OBJECT
public:
    // permissions: the maintenance screen's list that shows the new grants.
    TfrmCadAuto(const PriceTableContext &context, TClientTable *permissions, QWidget *parent = nullptr);

    QGroupBox *grbOperador = nullptr;
    QRadioButton *rbtTodos = nullptr;
    QRadioButton *rbtLista = nullptr;
    QToolButton *sbtPesqOper = nullptr;
    QCheckBox *ckbManutencao = nullptr, *ckbLocacao = nullptr, *ckbLicUso = nullptr;
    QLabel *lblManuDesc = nullptr, *lblLocaDesc = nullptr, *lblLusoDesc = nullptr;
    TNumberEdit *nedManuDesc = nullptr, *nedLocaDesc = nullptr, *nedLusoDesc = nullptr;
    TClientTable *cdsOperador = nullptr;
    TDataSource *dtsOperador = nullptr;

    void FormClose() override;
    void sbtConfirmaClick() override;
    void rbtTodosClick();
    void rbtListaKeyDown(int key);
    void sbtPesqOperClick();
    void ckbManutencaoClick();
    void ckbLocacaoClick();
    void ckbLicUsoClick();
    void Vd_PercManu();
    void Vd_PercLoca();
    void Vd_PercLuso();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A line's percentage check: enabled and above 100 refuses on its edit.
    void checkPercent(TNumberEdit *edit, const char *messageKey);
    // How many permissions already on the price table the grant would change.
    int replacedPermissions(const QString &operators);
    // The percentages the grant writes, by type: "Manutenção 0,00 %".
    QString grantedValues() const;

    PriceTableContext m_context;
    QPointer<TClientTable> m_permissions;
};

// Module variables of the automatic registration screen's unit.
namespace Cli_cot00302 {
extern QPointer<TfrmCadAuto> &frmCadAuto;
extern bool &boStCriado;
// The operator codes last picked in the list (option "Lista"); kept across
// openings of the screen.
extern QString stOperador;

// Opens the screen modally over the maintenance screen.
void CriaCadAuto(const PriceTableContext &context, TClientTable *permissions);
void Initialization();
void Finalization();
}  // namespace Cli_cot00302
