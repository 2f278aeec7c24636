// The data-aware grid's columns: which field each shows, and for a pick list
// with codes, the caption shown for a stored code and the code stored for a
// chosen or typed caption.
#include "db_grid.h"

#include "dialogs.h"

// ---------------------------------------------------------------- columns

TField *TColumn::Field() const {
    if (!m_grid || !m_grid->m_table || FieldName.isEmpty()) return nullptr;
    return m_grid->m_table->FindField(FieldName);
}

TColumn &TDBGridColumns::Add() {
    auto c = std::make_unique<TColumn>();
    c->m_grid = m_grid;
    c->m_index = int(m_items.size());
    m_items.push_back(std::move(c));
    if (m_grid) {
        m_grid->m_defaultColumns = false;
        m_grid->LayoutChanged();
    }
    return *m_items.back();
}

void TDBGridColumns::Clear() {
    m_items.clear();
    if (m_grid) {
        m_grid->m_defaultColumns = false;
        m_grid->LayoutChanged();
    }
}

QString TColumn::CaptionOf(const QString &code) const {
    const int i = PickCodes.indexOf(code.trimmed());
    return i >= 0 && i < PickList.size() ? PickList[i] : QString();
}

bool TColumn::CodeOf(const QString &text, QString *code) const {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        *code = QString();
        return true;
    }
    for (int i = 0; i < PickList.size() && i < PickCodes.size(); ++i)
        if (PickList[i].compare(t, Qt::CaseInsensitive) == 0 || PickCodes[i].compare(t, Qt::CaseInsensitive) == 0) {
            *code = PickCodes[i];
            return true;
        }
    return false;
}

int TDBGridColumns::IndexOfField(const QString &fieldName) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->FieldName.compare(fieldName, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

// A pick list with codes stores the code of the caption chosen or typed; a
// text that names no item is refused and the field keeps its value.
void TDBGrid::setFieldText(TField *f, const QString &text) {
    const TColumn *c = m_col >= 0 && m_col < Columns.Count() ? &Columns[m_col] : nullptr;
    if (!c || !c->HasCodes() || c->Field() != f) {
        f->SetText(text);
        return;
    }
    QString code;
    if (!c->CodeOf(text, &code))
        MensErro(QStringLiteral("\"%1\" não é uma opção de \"%2\". Escolha uma destas: %3.")
                     .arg(text.trimmed(), c->Title.isEmpty() ? f->DisplayLabel : c->Title, c->PickList.join(QStringLiteral(", "))),
                 true);
    f->SetText(code);
}

QString TDBGrid::fieldEditText(TField *f) const {
    const TColumn *c = m_col >= 0 && m_col < Columns.Count() ? &Columns[m_col] : nullptr;
    if (c && c->HasCodes() && c->Field() == f) return c->CaptionOf(f->Text());
    return f->Text();
}

