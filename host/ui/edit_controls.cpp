#include "edit_controls.h"

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
    const QString pattern = m_decimals > 0 ? QStringLiteral("^\\d{0,15}(,\\d{0,%1})?$").arg(m_decimals)
                                           : QStringLiteral("^\\d{0,15}$");
    setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), this));
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
    // The full stop of the numeric keypad types the decimal comma.
    if (e->text() == QLatin1String(".")) {
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
