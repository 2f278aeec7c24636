#pragma once
// Edit controls of the screens: a number edit (typed the Brazilian way: the
// full stop between thousands, one decimal comma) and the search button that
// sits beside an edit.

#include "client_table.h"

#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <functional>

class TNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TNumberEdit(QWidget *parent = nullptr);

    int Decimals() const { return m_decimals; }
    void SetDecimals(int decimals);
    double GetNumber() const;  // 0 when empty
    void SetNumber(double value);
    bool IsEmpty() const { return text().trimmed().isEmpty(); }
    // True when the text reads as a number (or is empty); otherwise the
    // message that refuses it ("Use a vírgula para os decimais: 2,5").
    bool IsValid(QString *message = nullptr) const;
    // Refuses a text that is no number: focus back here and the message,
    // through the silent abort.
    void Check();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    void updateValidator();
    int m_decimals = 2;
    bool m_checking = false;
};

class TBtnPesquisa : public QToolButton {
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);

    QPointer<QWidget> Associate;    // the edit the search fills
    QPointer<TDataSource> DataSource;  // the rows searched
    std::function<void()> OnClick;  // through RunGuarded
};
