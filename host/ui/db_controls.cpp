#include "db_controls.h"

#include "ui_dispatch.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>

// ---------------------------------------------------------------- TDBText

TDBText::TDBText(QWidget *parent) : QLabel(parent) {}

void TDBText::SetDataSource(TDataSource *source) {
    disconnect(m_changed);
    disconnect(m_repointed);
    m_source = source;
    if (source) {
        m_changed = connect(source, &TDataSource::dataChange, this, &TDBText::refresh);
        m_repointed = connect(source, &TDataSource::dataSetChanged, this, &TDBText::refresh);
    }
    refresh();
}

void TDBText::SetDataField(const QString &fieldName) {
    m_field = fieldName;
    refresh();
}

void TDBText::refresh() {
    QString text;
    TClientTable *t = m_source ? m_source->DataSet() : nullptr;
    if (t && t->Active() && !m_field.isEmpty()) {
        if (TField *f = t->FindField(m_field)) {
            try {
                text = f->DisplayText();
            } catch (...) {
                text.clear();
            }
        }
    }
    setText(text);
}

// ---------------------------------------------------------------- TDBNavigator

TDBNavigator::TDBNavigator(QWidget *parent) : QWidget(parent) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    auto make = [this, layout](const QString &name, const QString &text, const QString &hint, void (TDBNavigator::*slot)()) {
        auto *b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, slot);
        layout->addWidget(b);
        return b;
    };
    btnFirst = make(QStringLiteral("btnPrimeiro"), QStringLiteral("|<"), QStringLiteral("Primeiro registro"), &TDBNavigator::First);
    btnPrior = make(QStringLiteral("btnAnterior"), QStringLiteral("<"), QStringLiteral("Registro anterior"), &TDBNavigator::Prior);
    btnNext = make(QStringLiteral("btnProximo"), QStringLiteral(">"), QStringLiteral("Próximo registro"), &TDBNavigator::Next);
    btnLast = make(QStringLiteral("btnUltimo"), QStringLiteral(">|"), QStringLiteral("Último registro"), &TDBNavigator::Last);
    updateButtons();
}

void TDBNavigator::SetDataSource(TDataSource *source) {
    disconnect(m_changed);
    disconnect(m_state);
    disconnect(m_repointed);
    m_source = source;
    if (source) {
        m_changed = connect(source, &TDataSource::dataChange, this, &TDBNavigator::updateButtons);
        m_state = connect(source, &TDataSource::stateChange, this, &TDBNavigator::updateButtons);
        m_repointed = connect(source, &TDataSource::dataSetChanged, this, &TDBNavigator::updateButtons);
    }
    updateButtons();
}

void TDBNavigator::First() {
    if (TClientTable *t = m_source ? m_source->DataSet() : nullptr) RunGuarded([t] { t->First(); });
    updateButtons();
}
void TDBNavigator::Prior() {
    if (TClientTable *t = m_source ? m_source->DataSet() : nullptr) RunGuarded([t] { t->Prior(); });
    updateButtons();
}
void TDBNavigator::Next() {
    if (TClientTable *t = m_source ? m_source->DataSet() : nullptr) RunGuarded([t] { t->Next(); });
    updateButtons();
}
void TDBNavigator::Last() {
    if (TClientTable *t = m_source ? m_source->DataSet() : nullptr) RunGuarded([t] { t->Last(); });
    updateButtons();
}

void TDBNavigator::changeEvent(QEvent *e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) updateButtons();
}

void TDBNavigator::updateButtons() {
    TClientTable *t = m_source ? m_source->DataSet() : nullptr;
    const bool usable = isEnabled() && t && t->Active() && !t->IsEmpty();
    const int row = usable ? t->viewCurrentRow() : -1;
    const int count = usable ? t->viewRowCount() : 0;
    btnFirst->setEnabled(usable && row > 0);
    btnPrior->setEnabled(usable && row > 0);
    btnNext->setEnabled(usable && row < count - 1);
    btnLast->setEnabled(usable && row < count - 1);
}
