#pragma once
// The screen "Calculadora de Preço": the price of exactly N systems and U
// users on the current price table, for each ticked type and location mode,
// answered as the numbers are typed, with how it was reached. It prices
// through the report's simulation on the bands the server gives the report,
// so each price equals the report's cell for those counts. Modal over the
// main screen and on its connection.

#include "price_table_context.h"
#include "forms.h"

#include "packet.h"

#include <QPointer>
#include <optional>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTableWidget;
class QTimer;
namespace PriceSimulation {
struct Parameters;
struct Quote;
}  // namespace PriceSimulation

class TfrmCalcPreco : public TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmCalcPreco(const PriceTableContext &context, QWidget *parent = nullptr);

    QLineEdit *mskNrSist = nullptr, *mskNrUsu = nullptr;
    QCheckBox *chkTipoLU = nullptr, *chkTipoManut = nullptr, *chkTipoLoc = nullptr;
    QRadioButton *rbtMatrMatr = nullptr, *rbtFiliFili = nullptr, *rbtFiliMatr = nullptr;
    // Why there is no price (a check's message, the server's refusal); empty with one.
    QLabel *lblMensagem = nullptr;
    QTableWidget *grdPrecos = nullptr;   // "Tipo", "Preço": one line per ticked type
    QTableWidget *grdDetalhe = nullptr;  // "Item", "Valor": how the prices were reached
    // A change waits for this before the server is asked, so a number being
    // typed is asked once. Only when the bands could not be read whole at
    // opening: otherwise each change is priced at once, here.
    QTimer *tmrCalculo = nullptr;

    void FormActivate() override;
    void FormClose() override;
    // "Calcular" (the routine's confirm button): reads the bands and the
    // index again and prices the inputs.
    void sbtConfirmaClick() override;
    // Prices what the inputs say and shows it, or why not; reads first when
    // asked, or when nothing was read yet or this desktop has saved a change
    // since.
    void calculate(bool readAgain = false);

private:
    // What the server said at the last read, in one round trip: the month's
    // index and the price table's bands up to the limits of the counts.
    struct Reading {
        DataPacket index;
        DataPacket systems, users;
        bool whole = false;  // the bands reach the limits: any count is priced here
        quint64 changesSent = 0;  // this desktop's changes at the time
    };
    void read();
    void inputChanged();

    // The inputs as the simulation takes them, or the check's message.
    QString readInputs(PriceSimulation::Parameters &p) const;
    void showQuote(const PriceSimulation::Quote &q);
    void showReason(const QString &message);

    PriceTableContext m_context;
    std::optional<Reading> m_reading;
};

// Module variables of the calculator's unit.
namespace Cli_cot00304 {
extern QPointer<TfrmCalcPreco> &frmCalcPreco;
extern bool &boStCriado;

// Opens the screen modally over the main screen, for its current price table.
void CriaCalcPreco(const PriceTableContext &context);
void Initialization();
void Finalization();
}  // namespace Cli_cot00304
