#pragma once
// The data-aware grid's cell drawing (the screen's own drawing over the
// default one) and its in-place cell editor: a text box, a drop-down for a
// pick list, an ellipsis button.

#include "db_grid.h"
#include "ui_dispatch.h"

#include <QComboBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>

// ---------------------------------------------------------------- cell drawing

class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!m_grid->OnDrawColumnCell || index.column() >= m_grid->Columns.Count()) return;
        const int saved = m_grid->m_drawRow;
        m_grid->m_drawRow = index.row();
        painter->save();
        try {
            m_grid->OnDrawColumnCell(painter, option.rect, index.column(), m_grid->Columns[index.column()], option.state);
        } catch (...) {
            // No dialog from inside a paint: it would paint again and fail again.
            const QString text = ExceptionMessage(std::current_exception());
            if (!text.isEmpty()) qWarning().noquote() << "Erro ao desenhar a célula:" << text;
        }
        painter->restore();
        m_grid->m_drawRow = saved;
    }

private:
    TDBGrid *m_grid;
};

// ---------------------------------------------------------------- cell editor

class TGridCellEditor : public QWidget {
public:
    TGridCellEditor(QWidget *parent, const QStringList &pickList, bool ellipsis, const QString &mask, Qt::Alignment alignment)
        : QWidget(parent) {
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        if (!pickList.isEmpty()) {
            combo = new QComboBox(this);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->addItems(pickList);
            combo->setCurrentIndex(-1);
            combo->setFrame(false);
            line = combo->lineEdit();
            line->setCompleter(nullptr);
            layout->addWidget(combo);
        } else {
            line = new QLineEdit(this);
            line->setFrame(false);
            layout->addWidget(line);
        }
        if (!mask.isEmpty()) line->setInputMask(mask);
        line->setAlignment(alignment);
        if (ellipsis) {
            button = new QToolButton(this);
            button->setText(QStringLiteral("..."));
            button->setFocusPolicy(Qt::NoFocus);
            button->setToolTip(QStringLiteral("Pesquisar"));
            layout->addWidget(button);
        }
        setFocusProxy(line);
        setAutoFillBackground(true);
    }
    void setText(const QString &text) {
        if (combo) combo->setEditText(text);
        else line->setText(text);
    }
    QString text() const { return line->text(); }
    // The widget that receives the keys: an editable combo keeps the focus
    // itself and hands the typing on to its line edit.
    QWidget *keyTarget() const { return combo ? static_cast<QWidget *>(combo) : line; }
    bool cursorAtLeft() const {
        if (line->hasSelectedText()) return line->selectionStart() == 0 && line->selectedText().size() == line->text().size();
        return line->cursorPosition() == 0;
    }
    bool cursorAtRight() const {
        if (line->hasSelectedText())
            return line->selectedText().size() == line->text().size() ||
                   line->selectionEnd() >= line->displayText().size();
        return line->cursorPosition() >= line->displayText().size();
    }

    QLineEdit *line = nullptr;
    QComboBox *combo = nullptr;
    QToolButton *button = nullptr;
};

