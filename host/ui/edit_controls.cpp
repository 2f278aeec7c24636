#include "edit_controls.h"

#include "dialogs.h"
#include "routines.h"
#include "ui_dispatch.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

TNumberEdit::TNumberEdit(QWidget *parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    updateValidator();
}

void TNumberEdit::SetDecimals(int decimals) {
    m_decimals = std::max(0, decimals);
    updateValidator();
}

void TNumberEdit::updateValidator() {
    // Digits with single full stops between them, then the decimals; whether
    // the full stops part groups of three is judged on leaving.
    const QString whole = QStringLiteral("(\\d+(\\.\\d+)*\\.?)?");
    const QString pattern = m_decimals > 0 ? QStringLiteral("^%1(,\\d{0,%2})?$").arg(whole).arg(m_decimals)
                                           : QStringLiteral("^%1$").arg(whole);
    setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), this));
    setMaxLength(20);
}

bool TNumberEdit::IsValid(QString *message) const {
    if (IsEmpty()) return true;
    double d = 0;
    if (NumberText::parse(text(), &d)) return true;
    if (message)
        *message = NumberText::commaForm(text()).isEmpty()
                       ? QStringLiteral("\"%1\" não é um valor numérico válido.").arg(text().trimmed())
                       : NumberText::commaFormMessage(text());
    return false;
}

void TNumberEdit::Check() {
    QString message;
    if (IsValid(&message)) return;
    setFocus(Qt::OtherFocusReason);
    selectAll();
    MensErro(message, true);
}

void TNumberEdit::focusOutEvent(QFocusEvent *e) {
    QLineEdit::focusOutEvent(e);
    // Leaving by the keyboard or the mouse refuses a text that is no number;
    // a message box or another window taking the focus does not.
    const Qt::FocusReason r = e->reason();
    if (m_checking || (r != Qt::TabFocusReason && r != Qt::BacktabFocusReason && r != Qt::MouseFocusReason)) return;
    if (IsValid()) return;
    m_checking = true;
    RunGuarded([this] { Check(); });
    m_checking = false;
}

double TNumberEdit::GetNumber() const {
    double d = 0;
    if (!NumberText::parse(text(), &d)) return 0;
    return d;
}

void TNumberEdit::SetNumber(double value) {
    const QString pattern = m_decimals > 0 ? QStringLiteral("0.") + QString(m_decimals, QLatin1Char('0')) : QStringLiteral("0");
    setText(NumberText::format(value, pattern));
}

void TNumberEdit::keyPressEvent(QKeyEvent *e) {
    // The decimal key of the numeric keypad types the decimal comma.
    if (e->text() == QLatin1String(".") && (e->modifiers() & Qt::KeypadModifier)) {
        QKeyEvent comma(e->type(), Qt::Key_Comma, e->modifiers(), QStringLiteral(","), e->isAutoRepeat(), ushort(e->count()));
        QLineEdit::keyPressEvent(&comma);
        e->setAccepted(comma.isAccepted());
        return;
    }
    QLineEdit::keyPressEvent(e);
}

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : QToolButton(parent) {
    setText(QStringLiteral("..."));
    setToolTip(QStringLiteral("Pesquisar"));
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QToolButton::clicked, this, [this] {
        if (OnClick) RunGuarded(OnClick);
    });
}
