#pragma once
// Small data-aware controls: a label showing one field of the current row and
// a record navigator (first, prior, next, last).

#include "client_table.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>

class QToolButton;

class TDBText : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(QWidget *parent = nullptr);
    void SetDataSource(TDataSource *source);
    TDataSource *DataSource() const { return m_source; }
    void SetDataField(const QString &fieldName);  // "" leaves the label empty
    QString DataField() const { return m_field; }
    void refresh();

private:
    QPointer<TDataSource> m_source;
    QString m_field;
    QMetaObject::Connection m_changed, m_repointed;
};

class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget *parent = nullptr);
    void SetDataSource(TDataSource *source);
    TDataSource *DataSource() const { return m_source; }

    QToolButton *btnFirst = nullptr;
    QToolButton *btnPrior = nullptr;
    QToolButton *btnNext = nullptr;
    QToolButton *btnLast = nullptr;

    void First();
    void Prior();
    void Next();
    void Last();

protected:
    void changeEvent(QEvent *e) override;

private:
    void updateButtons();
    QPointer<TDataSource> m_source;
    QMetaObject::Connection m_changed, m_state, m_repointed;
};
