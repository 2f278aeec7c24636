#include "client_table.h"

#include "errors.h"
#include "routines.h"

#include <QRegularExpression>
#include <algorithm>

// ---------------------------------------------------------------- TField

TField::TField(TClientTable *table, const FieldDef &def) : m_table(table), m_def(def) {
    DisplayLabel = def.name;
    if (def.type == FieldType::Float || def.type == FieldType::Integer) Alignment = Qt::AlignRight | Qt::AlignVCenter;
}

int TField::Index() const { return m_index; }

QVariant TField::Value() const { return m_table->currentValue(m_index); }

bool TField::IsNull() const {
    const QVariant v = Value();
    return !v.isValid() || v.isNull();
}

void TField::SetValue(const QVariant &value) {
    if (!m_table->IsEditing())
        throw EAppError(QStringLiteral("A tabela %1 não está em edição ou inclusão.").arg(m_table->Name()));
    QVariant v;
    if (!PacketCodec::coerce(value, m_def, &v))
        throw EAppError(QStringLiteral("Valor inválido para o campo %1.").arg(DisplayLabel));
    if (m_def.type == FieldType::String && m_def.size > 0 && v.isValid() && v.toString().size() > m_def.size)
        v = v.toString().left(m_def.size);
    m_table->setCurrentValue(m_index, v);
}

QString TField::AsString() const {
    const QVariant v = Value();
    if (!v.isValid() || v.isNull()) return QString();
    if (m_def.type == FieldType::DateTime) return DateText::format(v.toDateTime());
    if (m_def.type == FieldType::Float) return NumberText::format(v.toDouble());
    return v.toString();
}

double TField::AsFloat() const { return Value().toDouble(); }
qint64 TField::AsInteger() const {
    const QVariant v = Value();
    if (m_def.type == FieldType::String) return v.toString().trimmed().toLongLong();
    return v.toLongLong();
}
QDateTime TField::AsDateTime() const { return Value().toDateTime(); }

QVariant TField::OldValue() const { return m_table->storedValue(m_index); }

QString TField::DefaultText(bool display) const {
    const QVariant v = Value();
    if (!v.isValid() || v.isNull()) return QString();
    switch (m_def.type) {
    case FieldType::Float: {
        QString pattern = display ? DisplayFormat : EditFormat;
        return NumberText::format(v.toDouble(), pattern);
    }
    case FieldType::Integer: return QString::number(v.toLongLong());
    case FieldType::DateTime: return DateText::format(v.toDateTime());
    case FieldType::String: return v.toString();
    }
    return QString();
}

QString TField::DisplayText() const { return OnGetText ? OnGetText(const_cast<TField &>(*this), true) : DefaultText(true); }
QString TField::Text() const { return OnGetText ? OnGetText(const_cast<TField &>(*this), false) : DefaultText(false); }

void TField::SetText(const QString &text) {
    if (OnSetText) OnSetText(*this, text);
    else SetTextDefault(text);
}

void TField::SetTextDefault(const QString &text) {
    switch (m_def.type) {
    case FieldType::Float:
    case FieldType::Integer: {
        if (EmptyString(text)) { Clear(); return; }
        double d = 0;
        if (!NumberText::commaForm(text).isEmpty()) throw EAppError(NumberText::commaFormMessage(text));
        if (!NumberText::parse(text, &d) || (m_def.type == FieldType::Integer && d != qint64(d)))
            throw EAppError(QStringLiteral("\"%1\" não é um valor numérico válido.").arg(text.trimmed()));
        // A cell keeps what it shows: typed decimals beyond the field's
        // format would reach the database, the trail and the prices unseen.
        if (const int shown = NumberText::decimals(DisplayFormat); shown >= 0) d = RoundDec(d, shown);
        SetValue(d);
        return;
    }
    case FieldType::DateTime: {
        QString digitsOnly = text;
        digitsOnly.remove(QRegularExpression(QStringLiteral("[^0-9]")));
        if (digitsOnly.isEmpty()) { Clear(); return; }
        QDateTime dt;
        if (!DateText::parse(text, &dt)) throw EAppError(QStringLiteral("\"%1\" não é uma data válida.").arg(text.trimmed()));
        SetValue(dt);
        return;
    }
    case FieldType::String:
        SetValue(text);
        return;
    }
}

void TField::FocusControl() {
    if (FocusHook) FocusHook(*this);
}

// ---------------------------------------------------------------- TClientTable

TClientTable::TClientTable(const QString &name, QObject *parent) : QObject(parent) { setObjectName(name); }

TClientTable::~TClientTable() = default;

TField *TClientTable::AddField(const QString &name, FieldType type, int size, const QString &label) {
    if (Active()) throw EAppError(QStringLiteral("Não é possível definir campos com a tabela %1 aberta.").arg(Name()));
    auto f = std::make_unique<TField>(this, FieldDef{name, type, size});
    f->m_index = int(m_fields.size());
    if (!label.isEmpty()) f->DisplayLabel = label;
    m_fields.push_back(std::move(f));
    return m_fields.back().get();
}

TField *TClientTable::FindField(const QString &name) const {
    for (const auto &f : m_fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f.get();
    return nullptr;
}

TField *TClientTable::FieldByName(const QString &name) const {
    TField *f = FindField(name);
    if (!f) throw EAppError(QStringLiteral("Campo %1 não encontrado na tabela %2.").arg(name, Name()));
    return f;
}

QVector<FieldDef> TClientTable::fieldDefs() const {
    QVector<FieldDef> defs;
    for (const auto &f : m_fields) defs.append(f->definition());
    return defs;
}

void TClientTable::requireActive() const {
    if (!Active()) throw EAppError(QStringLiteral("A tabela %1 não está aberta.").arg(Name()));
}

void TClientTable::setState(DataSetState s) {
    if (m_state == s) return;
    m_state = s;
    emit stateChanged();
}

void TClientTable::fire(const DataSetNotify &handler) {
    if (handler) handler(*this);
}

TClientTable::Record *TClientTable::newRecord() {
    m_chunks.push_back(std::make_unique<Record[]>(1));
    return &m_chunks.back()[0];
}

void TClientTable::dropAllRecords() {
    m_records.clear();
    m_chunks.clear();
    m_deleted.clear();
}

void TClientTable::CreateDataSet() {
    if (m_fields.empty()) throw EAppError(QStringLiteral("A tabela %1 não tem campos definidos.").arg(Name()));
    dropAllRecords();
    m_deleted.clear();
    m_buffer.clear();
    m_nextId = 1;
    rebuildView();
    m_cur = -1;
    m_bof = m_eof = true;
    m_state = DataSetState::Browse;
    emit rowsReset();
    emit stateChanged();
    emit currentChanged();
    fire(AfterOpen);
}

void TClientTable::Open() {
    if (Active()) return;
    CreateDataSet();
}

void TClientTable::Close() {
    if (!Active()) return;
    dropAllRecords();
    m_deleted.clear();
    m_view.clear();
    m_buffer.clear();
    m_cur = -1;
    m_bof = m_eof = true;
    m_modified = false;
    m_state = DataSetState::Inactive;
    emit rowsReset();
    emit stateChanged();
    emit currentChanged();
}

Row TClientTable::convertRow(const DataPacket &packet, Row &&src, const QVector<int> &map) const {
    Row out(int(m_fields.size()));
    for (int i = 0; i < out.size(); ++i) {
        const int from = map[i];
        if (from < 0) continue;
        QVariant &v = src[from];
        const FieldDef &def = m_fields[size_t(i)]->definition();
        if (!v.isValid()) continue;
        if (packet.fields[from].type == def.type) {
            out[i] = std::move(v);
        } else if (!PacketCodec::coerce(v, def, &out[i])) {
            throw PacketError(QStringLiteral("Pacote de dados inválido: o campo %1 tem um valor incompatível com o tipo da tabela %2.")
                                  .arg(def.name, Name()));
        }
    }
    return out;
}

void TClientTable::LoadPacket(DataPacket &&packet) {
    // Build everything first so that a bad packet leaves the table untouched.
    const bool createFields = m_fields.empty();
    QVector<int> map;
    bool identity = true;
    if (!createFields) {
        for (const auto &f : m_fields) {
            const int from = packet.fieldIndex(f->FieldName());
            map.append(from);
            if (from != map.size() - 1 || packet.fields[from].type != f->DataType()) identity = false;
        }
        if (packet.fields.size() != int(m_fields.size())) identity = false;
    }
    for (const Row &r : packet.rows)
        if (r.size() != packet.fields.size())
            throw PacketError(QStringLiteral("Pacote de dados inválido: uma linha não tem um valor por campo."));
    const size_t n = size_t(packet.rows.size());
    std::unique_ptr<Record[]> chunk(n ? new Record[n] : nullptr);
    std::vector<Record *> records;
    records.reserve(n);
    TBookmark id = 1;
    for (size_t i = 0; i < n; ++i) {
        Record *rec = &chunk[i];
        Row &r = packet.rows[int(i)];
        rec->id = id++;
        rec->values = (createFields || identity) ? std::move(r) : convertRow(packet, std::move(r), map);
        rec->base = rec->values;
        records.push_back(rec);
    }
    if (createFields) {
        for (const FieldDef &def : packet.fields) {
            auto f = std::make_unique<TField>(this, def);
            f->m_index = int(m_fields.size());
            m_fields.push_back(std::move(f));
        }
    }
    dropAllRecords();
    m_records = std::move(records);
    if (chunk) m_chunks.push_back(std::move(chunk));
    m_buffer.clear();
    m_modified = false;
    m_nextId = id;
    rebuildView();
    m_cur = viewSize() == 0 ? -1 : 0;
    m_bof = true;
    m_eof = viewSize() == 0;
    m_state = DataSetState::Browse;
    emit rowsReset();
    emit stateChanged();
    emit currentChanged();
    fire(AfterOpen);
    fire(AfterScroll);
}

void TClientTable::LoadPacketJson(const QJsonValue &json) { LoadPacket(PacketCodec::packetFromJson(json)); }

DataPacket TClientTable::Data() const {
    DataPacket p;
    p.fields = fieldDefs();
    p.rows.reserve(int(m_records.size()));
    for (const auto &r : m_records) p.rows.append(r->values);
    return p;
}

Delta TClientTable::GetDelta() const {
    struct Item { qint64 seq; DeltaChange change; };
    QVector<Item> items;
    for (const auto &r : m_records) {
        if (r->status == Record::Inserted) items.append({r->seq, {DeltaChange::Insert, {}, r->values}});
        else if (r->status == Record::Modified) items.append({r->seq, {DeltaChange::Update, r->base, r->values}});
    }
    for (const Deleted &d : m_deleted) items.append({d.seq, {DeltaChange::Delete, d.base, {}}});
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.seq < b.seq; });
    Delta delta;
    delta.fields = fieldDefs();
    delta.changes.reserve(items.size());
    for (Item &i : items) delta.changes.append(std::move(i.change));
    return delta;
}

int TClientTable::ChangeCount() const {
    int n = int(m_deleted.size());
    for (const auto &r : m_records)
        if (r->status != Record::Unchanged) ++n;
    return n;
}

void TClientTable::MergeChangeLog() {
    for (auto &r : m_records) {
        if (r->status == Record::Unchanged) continue;
        r->base = r->values;
        r->status = Record::Unchanged;
        r->seq = 0;
    }
    m_deleted.clear();
    emit changeLogMerged();
}

void TClientTable::CancelUpdates() {
    if (IsEditing()) Cancel();
    std::vector<Record *> kept;
    for (Record *r : m_records) {
        if (r->status == Record::Inserted) {
            r->values = r->base = Row();
            continue;
        }
        r->values = r->base;
        r->status = Record::Unchanged;
        kept.push_back(r);
    }
    for (const Deleted &d : m_deleted) {
        Record *r = newRecord();
        r->id = m_nextId++;
        r->values = r->base = d.base;
        kept.push_back(r);
    }
    m_records = std::move(kept);
    m_deleted.clear();
    rebuildView();
    m_cur = viewSize() == 0 ? -1 : 0;
    emit rowsReset();
    emit currentChanged();
}

// ---------------------------------------------------------------- editing

void TClientTable::startInsert(bool append) {
    requireActive();
    CheckBrowseMode();
    fire(BeforeInsert);
    m_buffer = Row(int(m_fields.size()));
    m_insertAt = append ? viewSize() : (m_cur < 0 ? 0 : m_cur);
    m_modified = false;
    m_eof = m_bof = false;
    emit rowsReset();
    setState(DataSetState::Insert);
    emit currentChanged();
    fire(AfterInsert);
}

void TClientTable::Insert() { startInsert(false); }
void TClientTable::Append() { startInsert(true); }

void TClientTable::Edit() {
    requireActive();
    if (IsEditing()) return;
    if (IsEmpty()) { Insert(); return; }
    fire(BeforeEdit);
    m_buffer = currentRecord()->values;
    m_modified = false;
    setState(DataSetState::Edit);
    fire(AfterEdit);
}

int TClientTable::viewIndexOfId(TBookmark id) const {
    const int n = viewSize();
    // The row sought is usually the current one or next to it.
    if (m_cur >= 0 && m_cur < n && recAt(m_cur).id == id) return m_cur;
    for (int i = 0; i < n; ++i)
        if (recAt(i).id == id) return i;
    return -1;
}

void TClientTable::Post() {
    if (!IsEditing()) return;
    fire(BeforePost);
    TBookmark id;
    if (m_state == DataSetState::Insert) {
        Record *rec = newRecord();
        rec->id = id = m_nextId++;
        rec->values = m_buffer;
        if (LogChanges) {
            rec->status = Record::Inserted;
            rec->seq = m_nextSeq++;
        } else {
            rec->base = rec->values;
        }
        int at;
        if (m_insertAt < viewSize()) at = recIndex(m_insertAt);
        else at = viewSize() == 0 ? int(m_records.size()) : recIndex(viewSize() - 1) + 1;
        m_records.insert(m_records.begin() + at, rec);
        if (m_filtered) rebuildView();
        m_cur = m_filtered ? viewIndexOfId(id) : at;
        if (m_cur < 0) m_cur = viewSize() == 0 ? -1 : std::min(m_insertAt, viewSize() - 1);
    } else {
        Record &rec = recAt(m_cur);
        id = rec.id;
        if (rec.values != m_buffer) {
            rec.values = m_buffer;
            if (!LogChanges) {
                if (rec.status == Record::Unchanged) rec.base = rec.values;
            } else if (rec.status == Record::Unchanged) {
                rec.status = Record::Modified;
                rec.seq = m_nextSeq++;
            } else if (rec.status == Record::Modified && rec.values == rec.base) {
                rec.status = Record::Unchanged;
                rec.seq = 0;
            }
        }
        if (m_filtered) {
            rebuildView();
            const int found = viewIndexOfId(id);
            m_cur = found >= 0 ? found : (viewSize() == 0 ? -1 : std::min(m_cur, viewSize() - 1));
        }
    }
    const bool wasInsert = m_state == DataSetState::Insert;
    const int placedAt = m_cur;
    if (!KeyOrder.isEmpty()) placeByKey(id);
    m_buffer.clear();
    m_insertAt = -1;
    m_modified = false;
    m_bof = m_eof = viewSize() == 0;
    if (wasInsert || m_filtered || m_cur != placedAt) emit rowsReset();
    setState(DataSetState::Browse);
    emit currentChanged();
    fire(AfterPost);
}

namespace {
// Key values compare as the server's ORDER BY would: numbers as numbers,
// codes of digits (padded or not) by their value, other text as text.
int compareKey(const QVariant &a, const QVariant &b) {
    if (a.isNull() || b.isNull()) return int(b.isNull()) - int(a.isNull());
    bool na = false, nb = false;
    const double x = a.toString().trimmed().toDouble(&na), y = b.toString().trimmed().toDouble(&nb);
    if (na && nb) return x < y ? -1 : x > y ? 1 : 0;
    return QString::compare(a.toString(), b.toString());
}
}  // namespace

void TClientTable::placeByKey(TBookmark id) {
    QVector<int> columns;
    for (const QString &name : KeyOrder)
        if (const TField *f = FindField(name)) columns << f->Index();
    const auto it = std::find_if(m_records.begin(), m_records.end(), [id](const Record *r) { return r->id == id; });
    if (columns.isEmpty() || it == m_records.end()) return;
    Record *moved = *it;
    m_records.erase(it);
    auto before = [&](const Record *r) {
        for (int c : columns)
            if (const int order = compareKey(moved->values.value(c), r->values.value(c))) return order < 0;
        return false;
    };
    const auto at = std::find_if(m_records.begin(), m_records.end(), before);
    m_records.insert(at, moved);
    if (m_filtered) rebuildView();
    if (const int found = viewIndexOfId(id); found >= 0) m_cur = found;
}

void TClientTable::Cancel() {
    if (!IsEditing()) return;
    fire(BeforeCancel);
    const bool wasInsert = m_state == DataSetState::Insert;
    m_buffer.clear();
    m_insertAt = -1;
    m_modified = false;
    m_bof = m_eof = viewSize() == 0;
    if (wasInsert) emit rowsReset();
    setState(DataSetState::Browse);
    emit currentChanged();
    fire(AfterCancel);
}

void TClientTable::CheckBrowseMode() {
    if (!IsEditing()) return;
    if (m_modified) Post();
    else Cancel();
}

void TClientTable::Delete() {
    requireActive();
    if (m_state == DataSetState::Insert) { Cancel(); return; }
    if (IsEmpty()) throw EAppError(QStringLiteral("Não há registro para excluir."));
    fire(BeforeDelete);
    fire(BeforeScroll);
    const int idx = recIndex(m_cur);
    const Record &rec = *m_records[size_t(idx)];
    if (LogChanges && rec.status != Record::Inserted) m_deleted.append({rec.base, m_nextSeq++});
    m_records[size_t(idx)]->values = m_records[size_t(idx)]->base = Row();  // its storage waits for the next load
    m_records.erase(m_records.begin() + idx);
    m_buffer.clear();
    m_modified = false;
    if (m_filtered) rebuildView();
    if (m_cur >= viewSize()) m_cur = viewSize() - 1;
    m_bof = m_eof = viewSize() == 0;
    emit rowsReset();
    m_state = DataSetState::Browse;
    emit stateChanged();
    emit currentChanged();
    fire(AfterDelete);
    fire(AfterScroll);
}

// ---------------------------------------------------------------- navigation

bool TClientTable::IsEmpty() const { return viewSize() == 0 && m_state != DataSetState::Insert; }
int TClientTable::RecordCount() const { return viewSize(); }
int TClientTable::RecNo() const {
    if (m_state == DataSetState::Insert) return m_insertAt + 1;
    return m_cur + 1;
}

void TClientTable::scrollTo(int viewRow) {
    if (viewSize() == 0) return;
    viewRow = std::clamp(viewRow, 0, viewSize() - 1);
    if (viewRow == m_cur) return;
    fire(BeforeScroll);
    m_cur = viewRow;
    emit currentChanged();
    fire(AfterScroll);
}

void TClientTable::First() {
    requireActive();
    CheckBrowseMode();
    scrollTo(0);
    m_bof = true;
    m_eof = viewSize() == 0;
}

void TClientTable::Last() {
    requireActive();
    CheckBrowseMode();
    scrollTo(viewSize() - 1);
    m_eof = true;
    m_bof = viewSize() == 0;
}

void TClientTable::MoveBy(int distance) {
    requireActive();
    CheckBrowseMode();
    if (viewSize() == 0) { m_bof = m_eof = true; return; }
    const int target = m_cur + distance;
    const bool bof = target < 0, eof = target >= viewSize();
    scrollTo(target);
    m_bof = bof;
    m_eof = eof;
}

void TClientTable::Next() { MoveBy(1); }
void TClientTable::Prior() { MoveBy(-1); }

void TClientTable::SetRecNo(int recNo) {
    requireActive();
    CheckBrowseMode();
    scrollTo(recNo - 1);
    m_bof = m_cur == 0;
    m_eof = viewSize() == 0;
}

TBookmark TClientTable::GetBookmark() const {
    const Record *r = currentRecord();
    return r && m_state != DataSetState::Insert ? r->id : -1;
}

bool TClientTable::BookmarkValid(TBookmark b) const { return viewIndexOfId(b) >= 0; }

void TClientTable::GotoBookmark(TBookmark b) {
    requireActive();
    CheckBrowseMode();
    const int i = viewIndexOfId(b);
    if (i < 0) throw EAppError(QStringLiteral("Registro não encontrado na tabela %1.").arg(Name()));
    scrollTo(i);
    m_bof = m_eof = false;
}

bool TClientTable::Locate(const QString &fieldName, const QVariant &value, bool caseInsensitive) {
    requireActive();
    TField *f = FieldByName(fieldName);
    CheckBrowseMode();
    QVariant target;
    const bool textual = f->DataType() == FieldType::String;
    if (!textual && !PacketCodec::coerce(value, f->definition(), &target)) return false;
    const QString text = value.toString();
    const int n = viewSize();
    for (int i = 0; i < n; ++i) {
        const QVariant &v = recAt(i).values[f->Index()];
        const bool hit = textual ? (v.isValid() && v.toString().compare(text, caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0)
                                 : (v.isValid() && v == target);
        if (hit) {
            scrollTo(i);
            m_bof = m_eof = false;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- filter

void TClientTable::SetFilter(const QString &text) {
    static const QRegularExpression re(QStringLiteral("^\\s*(\\w+)\\s*=\\s*'((?:[^']|'')*)'\\s*$"));
    if (text.trimmed().isEmpty()) {
        m_filterText.clear();
        m_filterField.clear();
    } else {
        const QRegularExpressionMatch m = re.match(text);
        if (!m.hasMatch()) throw EAppError(QStringLiteral("Filtro inválido: %1").arg(text));
        m_filterText = text;
        m_filterField = m.captured(1);
        m_filterValue = m.captured(2).replace(QStringLiteral("''"), QStringLiteral("'"));
    }
    if (m_filtered) SetFiltered(true);
}

void TClientTable::SetFiltered(bool on) {
    if (on && !m_filterField.isEmpty()) FieldByName(m_filterField);  // the field must exist
    if (Active()) CheckBrowseMode();
    m_filtered = on && !m_filterField.isEmpty();
    rebuildView();
    m_cur = viewSize() == 0 ? -1 : 0;
    m_bof = true;
    m_eof = viewSize() == 0;
    emit rowsReset();
    emit currentChanged();
}

bool TClientTable::matchesFilter(const Record &r) const {
    const TField *f = FindField(m_filterField);
    if (!f) return true;
    const QVariant &v = r.values[f->Index()];
    return (v.isValid() ? v.toString() : QString()) == m_filterValue;
}

void TClientTable::rebuildView() {
    m_view.clear();
    if (!m_filtered) return;
    for (int i = 0; i < int(m_records.size()); ++i)
        if (matchesFilter(*m_records[size_t(i)])) m_view.append(i);
}

// ---------------------------------------------------------------- values and views

const TClientTable::Record *TClientTable::currentRecord() const {
    if (m_cur < 0 || m_cur >= viewSize()) return nullptr;
    return &recAt(m_cur);
}

QVariant TClientTable::currentValue(int field) const {
    if (IsEditing()) return field < m_buffer.size() ? m_buffer[field] : QVariant();
    const Record *r = currentRecord();
    return r ? r->values[field] : QVariant();
}

QVariant TClientTable::storedValue(int field) const {
    if (m_state == DataSetState::Insert) return QVariant();
    const Record *r = currentRecord();
    if (!r) return QVariant();
    if (m_state == DataSetState::Edit) return r->values[field];
    return r->base.isEmpty() ? QVariant() : r->base[field];
}

void TClientTable::setCurrentValue(int field, const QVariant &value) {
    if (m_buffer[field] == value && m_buffer[field].isValid() == value.isValid()) return;
    m_buffer[field] = value;
    m_modified = true;
    emit fieldChanged(m_fields[size_t(field)].get());
}

int TClientTable::viewRowCount() const { return viewSize() + (m_state == DataSetState::Insert ? 1 : 0); }

int TClientTable::viewCurrentRow() const { return m_state == DataSetState::Insert ? m_insertAt : m_cur; }

int TClientTable::recordIndexAtView(int viewRow) const {
    if (m_state == DataSetState::Insert && viewRow > m_insertAt) --viewRow;
    if (viewRow < 0 || viewRow >= viewSize()) return -1;
    return recIndex(viewRow);
}

QVariant TClientTable::viewValue(int viewRow, int field) const {
    if (m_state == DataSetState::Insert && viewRow == m_insertAt) return m_buffer.value(field);
    if (m_state == DataSetState::Edit && viewRow == m_cur) return m_buffer.value(field);
    const int idx = recordIndexAtView(viewRow);
    return idx < 0 ? QVariant() : m_records[size_t(idx)]->values.value(field);
}

void TClientTable::moveToViewRow(int viewRow) {
    if (m_state == DataSetState::Insert && viewRow == m_insertAt) return;
    const int idx = recordIndexAtView(viewRow);
    if (idx < 0) return;
    const TBookmark id = m_records[size_t(idx)]->id;
    CheckBrowseMode();
    const int i = viewIndexOfId(id);
    if (i >= 0) {
        scrollTo(i);
        m_bof = m_eof = false;
    }
}

// ---------------------------------------------------------------- TDataSource

TDataSource::TDataSource(TClientTable *table, QObject *parent) : QObject(parent) { SetDataSet(table); }

void TDataSource::SetDataSet(TClientTable *table) {
    if (table == m_table && !m_connections.isEmpty()) return;
    for (const auto &c : m_connections) disconnect(c);
    m_connections.clear();
    m_table = table;
    if (m_table) {
        m_connections << connect(m_table, &TClientTable::stateChanged, this, &TDataSource::notifyState);
        m_connections << connect(m_table, &TClientTable::rowsReset, this, &TDataSource::dataChange);
        m_connections << connect(m_table, &TClientTable::currentChanged, this, &TDataSource::dataChange);
        m_connections << connect(m_table, &TClientTable::changeLogMerged, this, &TDataSource::dataChange);
        m_connections << connect(m_table, &TClientTable::fieldChanged, this, [this](TField *) { emit dataChange(); });
        m_connections << connect(m_table, &QObject::destroyed, this, [this] {
            m_table = nullptr;
            m_connections.clear();
        });
    }
    emit dataSetChanged();
    notifyState();
}

void TDataSource::notifyState() {
    emit stateChange();
    if (OnStateChange) OnStateChange(*this);
}
