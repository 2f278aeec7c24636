#pragma once
// An in-memory table with typed fields, a cursor, an edit buffer and a change
// log: the working copy of rows loaded from the application server. Posting and
// deleting change the rows; delta() gives the pending changes since the last
// merge, in the order made, and mergeChangeLog() accepts them as the base.

#include "packet.h"

#include <QObject>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class TClientTable;
class TField;

enum class DataSetState { Inactive, Browse, Edit, Insert };

using DataSetNotify = std::function<void(TClientTable &)>;
using TBookmark = qint64;  // -1: none

class TField {
public:
    TField(TClientTable *table, const FieldDef &def);

    // Definition and presentation.
    QString FieldName() const { return m_def.name; }
    FieldType DataType() const { return m_def.type; }
    int Size() const { return m_def.size; }
    const FieldDef &definition() const { return m_def; }
    int Index() const;
    TClientTable *DataSet() const { return m_table; }

    QString DisplayLabel;
    QString DisplayFormat;  // floats: "#,##0.00" and the like
    QString EditFormat;     // floats: "0.00"
    QString EditMask;       // QLineEdit input mask for the cell editor
    int Tag = 0;
    bool Visible = true;
    bool ReadOnly = false;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;

    // get-text: (field, displayText) -> text; set-text: (field, text).
    std::function<QString(TField &, bool)> OnGetText;
    std::function<void(TField &, const QString &)> OnSetText;
    // Set by whatever shows the field (the grid) so FocusControl() can select it.
    std::function<void(TField &)> FocusHook;

    // Value of the current row (the edit buffer while editing or inserting).
    QVariant Value() const;
    void SetValue(const QVariant &value);  // EAppError when the table is not editing or the value does not fit
    bool IsNull() const;
    void Clear() { SetValue(QVariant()); }
    QString AsString() const;
    void SetAsString(const QString &s) { SetValue(s); }
    double AsFloat() const;
    void SetAsFloat(double d) { SetValue(d); }
    qint64 AsInteger() const;
    int AsInt() const { return static_cast<int>(AsInteger()); }
    QDateTime AsDateTime() const;
    void SetAsDateTime(const QDateTime &dt) { SetValue(dt); }
    // The value before the edit under way (the stored row); in browse state,
    // the value as last merged.
    QVariant OldValue() const;

    QString DisplayText() const;  // through OnGetText(true) or the display format
    QString Text() const;         // the editing text: OnGetText(false) or the edit format
    void SetText(const QString &text);  // through OnSetText or the default parse
    // The default conversion of typed text, as used when no OnSetText is set.
    void SetTextDefault(const QString &text);
    QString DefaultText(bool display) const;

    void FocusControl();

private:
    friend class TClientTable;
    TClientTable *m_table;
    FieldDef m_def;
    int m_index = -1;
};

class TClientTable : public QObject {
    Q_OBJECT
public:
    explicit TClientTable(const QString &name = QString(), QObject *parent = nullptr);
    ~TClientTable() override;

    QString Name() const { return objectName(); }

    // Persistent fields, defined before the table is opened.
    TField *AddField(const QString &name, FieldType type, int size = 0, const QString &label = QString());
    TField *FieldByName(const QString &name) const;  // EAppError when absent
    TField *FindField(const QString &name) const;
    int FieldCount() const { return int(m_fields.size()); }
    TField *Fields(int i) const { return m_fields[size_t(i)].get(); }
    QVector<FieldDef> fieldDefs() const;

    // Life.
    void CreateDataSet();  // opens empty, from the field definitions
    void Open();
    void Close();
    bool Active() const { return m_state != DataSetState::Inactive; }
    DataSetState State() const { return m_state; }
    bool IsEditing() const { return m_state == DataSetState::Edit || m_state == DataSetState::Insert; }
    bool Modified() const { return m_modified; }

    // Content. LoadPacket replaces rows and change log and puts the cursor on the
    // first row; a bad packet throws PacketError and leaves the table as it was.
    void LoadPacket(const DataPacket &packet) { LoadPacket(DataPacket(packet)); }
    void LoadPacket(DataPacket &&packet);
    void LoadPacketJson(const QJsonValue &json);
    DataPacket Data() const;  // current rows, pending changes included
    Delta GetDelta() const;
    int ChangeCount() const;
    void MergeChangeLog();
    void CancelUpdates();  // back to the rows as last merged
    bool LogChanges = true;
    // The fields the server orders the rows by: a posted row takes its place
    // among the others, as the next reload would show it. Empty: it stays
    // where it was typed.
    QStringList KeyOrder;

    // Editing.
    void Insert();
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode();  // posts a modified row, cancels an untouched one

    // Navigation over the visible (filtered) rows.
    void First();
    void Last();
    void Next();
    void Prior();
    void MoveBy(int distance);
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    bool IsEmpty() const;
    int RecordCount() const;  // visible stored rows
    int RecNo() const;        // 1-based; 0 when empty
    void SetRecNo(int recNo);

    TBookmark GetBookmark() const;
    bool BookmarkValid(TBookmark b) const;
    void GotoBookmark(TBookmark b);
    void FreeBookmark(TBookmark) {}

    bool Locate(const QString &fieldName, const QVariant &value, bool caseInsensitive = false);

    // A filter of the form FIELD = 'value'.
    QString Filter() const { return m_filterText; }
    void SetFilter(const QString &text);  // EAppError for another form
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool on);

    // Events. A before-handler aborts its operation by raising EAbort.
    DataSetNotify BeforeInsert, AfterInsert, BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel,
        BeforeDelete, AfterDelete, BeforeScroll, AfterScroll, AfterOpen;

    // For views: rows as shown, the new row of an insert included.
    int viewRowCount() const;
    int viewCurrentRow() const;  // -1 when none
    QVariant viewValue(int viewRow, int field) const;
    void moveToViewRow(int viewRow);  // runs the scroll events; posts or cancels an edit first

    // Internal: used by TField.
    QVariant currentValue(int field) const;
    QVariant storedValue(int field) const;
    void setCurrentValue(int field, const QVariant &value);

signals:
    void stateChanged();
    void fieldChanged(TField *field);  // a value of the current row changed
    void rowsReset();                  // rows added, removed or replaced
    void currentChanged();             // the cursor moved
    void changeLogMerged();            // pending changes became the base

private:
    struct Record {
        TBookmark id = 0;
        Row values;
        Row base;  // as last merged (inserted rows: empty)
        enum Status { Unchanged, Inserted, Modified } status = Unchanged;
        qint64 seq = 0;  // order of the first pending change
    };
    struct Deleted {
        Row base;
        qint64 seq;
    };

    void requireActive() const;
    void setState(DataSetState s);
    void rebuildView();
    int viewSize() const { return m_filtered ? int(m_view.size()) : int(m_records.size()); }
    int recIndex(int viewRow) const { return m_filtered ? m_view[viewRow] : viewRow; }
    Record &recAt(int viewRow) const { return *m_records[size_t(recIndex(viewRow))]; }
    int viewIndexOfId(TBookmark id) const;
    bool matchesFilter(const Record &r) const;
    int recordIndexAtView(int viewRow) const;
    const Record *currentRecord() const;
    void fire(const DataSetNotify &handler);
    void scrollTo(int viewRow);  // BeforeScroll, move, AfterScroll
    void startInsert(bool append);
    void placeByKey(TBookmark id);  // the posted row to its place in KeyOrder
    Row convertRow(const DataPacket &packet, Row &&src, const QVector<int> &map) const;

    std::vector<std::unique_ptr<TField>> m_fields;
    // Records by pointer: inserting or removing in a large table moves pointers
    // only. Their storage comes in chunks (a loaded packet is one chunk), kept
    // until the table is loaded again or closed.
    std::vector<Record *> m_records;
    std::vector<std::unique_ptr<Record[]>> m_chunks;
    Record *newRecord();
    void dropAllRecords();
    QVector<Deleted> m_deleted;
    QVector<int> m_view;  // with a filter on: indices into m_records, in order
    int m_cur = -1;       // index into m_view
    DataSetState m_state = DataSetState::Inactive;
    Row m_buffer;
    int m_insertAt = -1;  // view position of the new row while inserting
    bool m_modified = false;
    bool m_bof = true, m_eof = true;
    TBookmark m_nextId = 1;
    qint64 m_nextSeq = 1;
    QString m_filterText, m_filterField, m_filterValue;
    bool m_filtered = false;
};

// Points at one client table; re-pointing it and every state change of its
// table are signalled, so tool bars and grids follow the table in use.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(TClientTable *table = nullptr, QObject *parent = nullptr);
    TClientTable *DataSet() const { return m_table; }
    void SetDataSet(TClientTable *table);
    DataSetState State() const { return m_table ? m_table->State() : DataSetState::Inactive; }
    std::function<void(TDataSource &)> OnStateChange;

signals:
    void stateChange();
    void dataSetChanged();  // now points at another table
    void dataChange();      // rows or current row changed

private:
    void notifyState();
    TClientTable *m_table = nullptr;
    QList<QMetaObject::Connection> m_connections;
};
