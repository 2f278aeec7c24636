#include "client_table.h"
#include "errors.h"
#include "table_model.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

// A band table as the screens use it: code, first, last, percentage.
class ClientTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.AddField("CDPRECOPROP", FieldType::String, 10);
        t.AddField("QTINI", FieldType::String, 5, "De");
        t.AddField("QTFIN", FieldType::String, 5, "Até");
        TField *pct = t.AddField("VRPERC", FieldType::Float, 0, "%Desconto");
        pct->DisplayFormat = "#,##0.00";
        pct->EditFormat = "0.00";
        DataPacket p;
        p.fields = t.fieldDefs();
        p.rows = {{QString("0000000001"), QString("00001"), QString("00005"), 0.0},
                  {QString("0000000001"), QString("00006"), QString("00010"), 5.0},
                  {QString("0000000001"), QString("00011"), QString("00020"), 10.0}};
        t.LoadPacket(p);
    }

    void append(const QString &ini, const QString &fin, double pct) {
        t.Append();
        t.FieldByName("CDPRECOPROP")->SetAsString("0000000001");
        t.FieldByName("QTINI")->SetAsString(ini);
        t.FieldByName("QTFIN")->SetAsString(fin);
        t.FieldByName("VRPERC")->SetAsFloat(pct);
        t.Post();
    }

    void editPct(double pct) {
        t.Edit();
        t.FieldByName("VRPERC")->SetAsFloat(pct);
        t.Post();
    }

    QStringList column(const QString &field) {
        QStringList out;
        const DataPacket d = t.Data();
        const int i = d.fieldIndex(field);
        for (const Row &r : d.rows) out << r[i].toString();
        return out;
    }

    TClientTable t{"cdsBands"};
};

}  // namespace

TEST_F(ClientTableTest, LoadPutsTheCursorOnTheFirstRowWithNoPendingChange) {
    EXPECT_EQ(t.State(), DataSetState::Browse);
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(t.FieldByName("QTINI")->AsString(), "00001");
    EXPECT_EQ(t.ChangeCount(), 0);
    EXPECT_TRUE(t.Bof());
    EXPECT_FALSE(t.Eof());
}

TEST_F(ClientTableTest, InsertThenEditIsOneInsertWithTheLatestValues) {
    append("00021", "00021", 1.0);
    t.Edit();
    t.FieldByName("VRPERC")->SetAsFloat(2.0);
    t.Post();
    const Delta d = t.GetDelta();
    ASSERT_EQ(d.changes.size(), 1);
    EXPECT_EQ(d.changes[0].op, DeltaChange::Insert);
    EXPECT_DOUBLE_EQ(d.changes[0].newValues[3].toDouble(), 2.0);
    EXPECT_EQ(t.ChangeCount(), 1);
}

TEST_F(ClientTableTest, EditTwiceIsOneUpdateWhoseOldIsTheMergedRow) {
    t.Next();
    editPct(6.0);
    editPct(7.0);
    const Delta d = t.GetDelta();
    ASSERT_EQ(d.changes.size(), 1);
    EXPECT_EQ(d.changes[0].op, DeltaChange::Update);
    EXPECT_DOUBLE_EQ(d.changes[0].oldValues[3].toDouble(), 5.0);
    EXPECT_DOUBLE_EQ(d.changes[0].newValues[3].toDouble(), 7.0);
}

TEST_F(ClientTableTest, EditBackToTheMergedValuesLeavesNoChange) {
    editPct(3.0);
    EXPECT_EQ(t.ChangeCount(), 1);
    editPct(0.0);
    EXPECT_EQ(t.ChangeCount(), 0);
    // An edit that changes nothing logs nothing.
    t.Edit();
    t.Post();
    EXPECT_EQ(t.ChangeCount(), 0);
}

TEST_F(ClientTableTest, InsertThenDeleteIsNoChange) {
    append("00021", "00021", 1.0);
    ASSERT_EQ(t.FieldByName("QTINI")->AsString(), "00021");
    t.Delete();
    EXPECT_EQ(t.ChangeCount(), 0);
    EXPECT_TRUE(t.GetDelta().isEmpty());
    EXPECT_EQ(t.RecordCount(), 3);
}

TEST_F(ClientTableTest, EditThenDeleteIsOneDeleteOfTheMergedValues) {
    t.Last();
    editPct(50.0);
    t.Delete();
    const Delta d = t.GetDelta();
    ASSERT_EQ(d.changes.size(), 1);
    EXPECT_EQ(d.changes[0].op, DeltaChange::Delete);
    EXPECT_EQ(d.changes[0].oldValues[1].toString(), "00011");
    EXPECT_DOUBLE_EQ(d.changes[0].oldValues[3].toDouble(), 10.0);
}

TEST_F(ClientTableTest, DeltaKeepsTheOrderTheChangesWereMade) {
    t.Last();
    t.Delete();                  // 1: delete 00011
    append("00011", "00015", 1);  // 2: insert 00011
    t.First();
    editPct(1.0);                 // 3: update 00001
    const Delta d = t.GetDelta();
    ASSERT_EQ(d.changes.size(), 3);
    EXPECT_EQ(d.changes[0].op, DeltaChange::Delete);
    EXPECT_EQ(d.changes[1].op, DeltaChange::Insert);
    EXPECT_EQ(d.changes[2].op, DeltaChange::Update);
    EXPECT_EQ(t.ChangeCount(), 3);
}

TEST_F(ClientTableTest, MergeMakesThePendingChangesTheBase) {
    editPct(1.0);
    append("00021", "00021", 1.0);
    t.MergeChangeLog();
    EXPECT_EQ(t.ChangeCount(), 0);
    t.First();
    editPct(2.0);
    const Delta d = t.GetDelta();
    ASSERT_EQ(d.changes.size(), 1);
    EXPECT_DOUBLE_EQ(d.changes[0].oldValues[3].toDouble(), 1.0);
}

TEST_F(ClientTableTest, WithLogChangesOffNothingIsPending) {
    t.LogChanges = false;
    editPct(9.0);
    append("00021", "00021", 1.0);
    t.Delete();
    EXPECT_EQ(t.ChangeCount(), 0);
    EXPECT_EQ(t.RecordCount(), 3);
    t.First();
    EXPECT_DOUBLE_EQ(t.FieldByName("VRPERC")->AsFloat(), 9.0);
}

TEST_F(ClientTableTest, CancelUpdatesRestoresTheMergedRows) {
    editPct(9.0);
    t.Last();
    t.Delete();
    append("00030", "00031", 1.0);
    t.CancelUpdates();
    EXPECT_EQ(t.ChangeCount(), 0);
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_TRUE(t.Locate("QTINI", "00011"));
    EXPECT_FALSE(t.Locate("QTINI", "00030"));
}

TEST_F(ClientTableTest, EachBeforeHandlerAbortLeavesTheTableAsItWas) {
    auto refuse = [](TClientTable &) { Abort(); };
    const DataPacket before = t.Data();

    t.BeforeInsert = refuse;
    EXPECT_THROW(t.Insert(), EAbort);
    EXPECT_THROW(t.Append(), EAbort);
    EXPECT_EQ(t.State(), DataSetState::Browse);
    t.BeforeInsert = nullptr;

    t.BeforeEdit = refuse;
    EXPECT_THROW(t.Edit(), EAbort);
    EXPECT_EQ(t.State(), DataSetState::Browse);
    t.BeforeEdit = nullptr;

    t.BeforePost = refuse;
    t.Edit();
    t.FieldByName("VRPERC")->SetAsFloat(99.0);
    EXPECT_THROW(t.Post(), EAbort);
    EXPECT_EQ(t.State(), DataSetState::Edit);  // the row stays in edit with what was typed
    EXPECT_DOUBLE_EQ(t.FieldByName("VRPERC")->AsFloat(), 99.0);
    t.BeforePost = nullptr;

    t.BeforeCancel = refuse;
    EXPECT_THROW(t.Cancel(), EAbort);
    EXPECT_EQ(t.State(), DataSetState::Edit);
    t.BeforeCancel = nullptr;
    t.Cancel();

    t.BeforeDelete = refuse;
    EXPECT_THROW(t.Delete(), EAbort);
    t.BeforeDelete = nullptr;

    t.BeforeScroll = refuse;
    EXPECT_THROW(t.Next(), EAbort);
    EXPECT_EQ(t.RecNo(), 1);
    t.BeforeScroll = nullptr;

    EXPECT_EQ(t.ChangeCount(), 0);
    EXPECT_EQ(t.Data().rows, before.rows);
}

TEST_F(ClientTableTest, EventsFireInOrder) {
    QStringList log;
    auto rec = [&log](const char *name) { return [&log, name](TClientTable &) { log << name; }; };
    t.BeforeInsert = rec("BeforeInsert");
    t.AfterInsert = rec("AfterInsert");
    t.BeforeEdit = rec("BeforeEdit");
    t.AfterEdit = rec("AfterEdit");
    t.BeforePost = rec("BeforePost");
    t.AfterPost = rec("AfterPost");
    t.BeforeCancel = rec("BeforeCancel");
    t.AfterCancel = rec("AfterCancel");
    t.BeforeDelete = rec("BeforeDelete");
    t.AfterDelete = rec("AfterDelete");
    t.BeforeScroll = rec("BeforeScroll");
    t.AfterScroll = rec("AfterScroll");
    t.AfterOpen = rec("AfterOpen");

    t.Insert();
    t.FieldByName("QTINI")->SetAsString("00030");
    t.Post();
    t.Edit();
    t.Cancel();
    t.Next();
    t.Delete();
    t.LoadPacket(t.Data());
    EXPECT_EQ(log, QStringList({"BeforeInsert", "AfterInsert", "BeforePost", "AfterPost", "BeforeEdit", "AfterEdit",
                                "BeforeCancel", "AfterCancel", "BeforeScroll", "AfterScroll", "BeforeDelete",
                                "BeforeScroll", "AfterDelete", "AfterScroll", "AfterOpen", "AfterScroll"}));
}

TEST_F(ClientTableTest, InsertPlacesTheNewRowBeforeTheCurrentOneAppendAtTheEnd) {
    t.Next();
    t.Insert();
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_EQ(t.viewRowCount(), 4);
    t.FieldByName("QTINI")->SetAsString("00099");
    t.Post();
    EXPECT_EQ(column("QTINI"), QStringList({"00001", "00099", "00006", "00011"}));
    append("00100", "00100", 0);
    EXPECT_EQ(t.RecNo(), 5);
    EXPECT_EQ(column("QTINI").last(), "00100");
}

TEST_F(ClientTableTest, NavigationSetsBofAndEof) {
    t.Last();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.RecNo(), 3);
    t.Next();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.RecNo(), 3);
    t.Prior();
    EXPECT_FALSE(t.Eof());
    EXPECT_EQ(t.RecNo(), 2);
    t.First();
    EXPECT_TRUE(t.Bof());
    int visited = 0;
    for (t.First(); !t.Eof(); t.Next()) ++visited;
    EXPECT_EQ(visited, 3);
}

TEST_F(ClientTableTest, MovingAwayPostsAModifiedRowAndCancelsAnUntouchedOne) {
    t.Edit();
    t.FieldByName("VRPERC")->SetAsFloat(1.5);
    t.Next();
    EXPECT_EQ(t.State(), DataSetState::Browse);
    EXPECT_EQ(t.ChangeCount(), 1);
    t.Append();
    t.First();
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(t.ChangeCount(), 1);
}

TEST_F(ClientTableTest, EditOnAnEmptyTableStartsAnInsert) {
    t.LoadPacket(DataPacket{t.fieldDefs(), {}});
    EXPECT_TRUE(t.IsEmpty());
    t.Edit();
    EXPECT_EQ(t.State(), DataSetState::Insert);
    EXPECT_FALSE(t.IsEmpty());
    t.Cancel();
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_THROW(t.Delete(), EAppError);
}

TEST_F(ClientTableTest, LocateFilterAndBookmarks) {
    EXPECT_TRUE(t.Locate("QTINI", "00011"));
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_FALSE(t.Locate("QTINI", "00012"));
    EXPECT_EQ(t.RecNo(), 3);  // a miss leaves the cursor
    EXPECT_TRUE(t.Locate("VRPERC", 5.0));
    EXPECT_EQ(t.RecNo(), 2);

    const TBookmark mark = t.GetBookmark();
    t.Last();
    t.GotoBookmark(mark);
    EXPECT_EQ(t.FieldByName("QTINI")->AsString(), "00006");

    t.SetFilter("QTFIN = '00020'");
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.FieldByName("QTINI")->AsString(), "00011");
    EXPECT_FALSE(t.BookmarkValid(mark));
    EXPECT_FALSE(t.Locate("QTINI", "00001"));
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_THROW(t.SetFilter("QTINI > 3"), EAppError);
}

TEST_F(ClientTableTest, LocateCanIgnoreCase) {
    TClientTable ops("ops");
    ops.AddField("CDOPERADOR", FieldType::String, 12);
    ops.CreateDataSet();
    ops.Append();
    ops.FieldByName("CDOPERADOR")->SetAsString("000000000Ana");
    ops.Post();
    EXPECT_FALSE(ops.Locate("CDOPERADOR", "000000000ANA", false));
    EXPECT_TRUE(ops.Locate("CDOPERADOR", "000000000ANA", true));
    ops.SetFilter("CDOPERADOR = '000000000Ana'");
    ops.SetFiltered(true);
    EXPECT_EQ(ops.RecordCount(), 1);
}

TEST_F(ClientTableTest, DataIncludesPendingChangesAndLoadsIntoAnotherTable) {
    append("00021", "00021", 1.0);
    TClientTable snapshot("snap");
    snapshot.LoadPacket(t.Data());
    EXPECT_EQ(snapshot.RecordCount(), 4);
    EXPECT_EQ(snapshot.FieldCount(), 4);  // fields made from the packet
    EXPECT_TRUE(snapshot.Locate("QTINI", "00021"));
}

TEST_F(ClientTableTest, LoadingBindsPersistentFieldsByName) {
    DataPacket p;
    p.fields = {{"VRPERC", FieldType::Float, 0}, {"QTINI", FieldType::String, 5}, {"EXTRA", FieldType::String, 3}};
    p.rows = {{7.5, QString("00003"), QString("x")}};
    t.LoadPacket(p);
    EXPECT_EQ(t.FieldCount(), 4);
    EXPECT_EQ(t.FieldByName("QTINI")->AsString(), "00003");
    EXPECT_DOUBLE_EQ(t.FieldByName("VRPERC")->AsFloat(), 7.5);
    EXPECT_TRUE(t.FieldByName("QTFIN")->IsNull());  // absent from the packet
    EXPECT_EQ(t.FindField("EXTRA"), nullptr);
}

TEST_F(ClientTableTest, ABadPacketLeavesTheTableAsItWas) {
    editPct(4.0);
    DataPacket bad;
    bad.fields = {{"VRPERC", FieldType::String, 5}};
    bad.rows = {{QString("abc")}};
    EXPECT_THROW(t.LoadPacket(bad), PacketError);
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(t.ChangeCount(), 1);
    EXPECT_THROW(t.LoadPacketJson(QJsonValue("nonsense")), PacketError);
    EXPECT_EQ(t.ChangeCount(), 1);
}

TEST_F(ClientTableTest, FieldTextUsesFormatsAndHandlers) {
    t.Last();
    TField *pct = t.FieldByName("VRPERC");
    EXPECT_EQ(pct->DisplayText(), "10,00");
    EXPECT_EQ(pct->Text(), "10,00");
    t.Edit();
    pct->SetText("1.234,5");
    EXPECT_DOUBLE_EQ(pct->AsFloat(), 1234.5);
    EXPECT_EQ(pct->DisplayText(), "1.234,50");
    EXPECT_EQ(pct->Text(), "1234,50");
    EXPECT_THROW(pct->SetText("doze"), EAppError);
    EXPECT_DOUBLE_EQ(pct->AsFloat(), 1234.5);
    pct->SetText("");
    EXPECT_TRUE(pct->IsNull());
    EXPECT_DOUBLE_EQ(pct->OldValue().toDouble(), 10.0);  // the stored row before this edit

    TField *ini = t.FieldByName("QTINI");
    ini->OnGetText = [](TField &f, bool) { return QStringLiteral("<%1>").arg(f.Value().toString()); };
    ini->OnSetText = [](TField &f, const QString &text) { f.SetValue(text.trimmed()); };
    ini->SetText("  00012 ");
    EXPECT_EQ(ini->Text(), "<00012>");
    ini->SetText("1234567");  // longer than the field: cut to its size
    EXPECT_EQ(ini->AsString(), "12345");
    t.Cancel();
    EXPECT_THROW(pct->SetAsFloat(1.0), EAppError);  // not editing
}

TEST_F(ClientTableTest, DateFieldsTakeTypedDates) {
    TClientTable prices("prices");
    TField *dt = prices.AddField("DTINI", FieldType::DateTime);
    prices.CreateDataSet();
    prices.Append();
    dt->SetText("31/12/2026");
    EXPECT_EQ(dt->AsDateTime().date(), QDate(2026, 12, 31));
    EXPECT_EQ(dt->DisplayText(), "31/12/2026");
    EXPECT_THROW(dt->SetText("31/02/2026"), EAppError);
    EXPECT_EQ(dt->AsDateTime().date(), QDate(2026, 12, 31));
    dt->SetText("  /  /    ");
    EXPECT_TRUE(dt->IsNull());
}

TEST_F(ClientTableTest, DataSourceSignalsStateChangesAndRepointing) {
    TDataSource ds(&t);
    int calls = 0;
    ds.OnStateChange = [&calls](TDataSource &) { ++calls; };
    QSignalSpy repointed(&ds, &TDataSource::dataSetChanged);
    t.Edit();
    t.Cancel();
    EXPECT_EQ(calls, 2);
    TClientTable other("other");
    other.AddField("A", FieldType::String, 1);
    other.CreateDataSet();
    ds.SetDataSet(&other);
    EXPECT_EQ(repointed.count(), 1);
    EXPECT_EQ(calls, 3);  // a change of table counts as a state change
    t.Edit();             // the old table no longer reaches the source
    EXPECT_EQ(calls, 3);
    t.Cancel();
}

TEST_F(ClientTableTest, ModelShowsRowsFormattedAndTheNewRow) {
    TClientTableModel model(&t);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "De");
    EXPECT_EQ(model.data(model.index(2, 3)).toString(), "10,00");
    t.Append();
    EXPECT_EQ(model.rowCount(), 4);
    t.FieldByName("VRPERC")->SetAsFloat(12.5);
    EXPECT_EQ(model.data(model.index(3, 3)).toString(), "12,50");
    t.Cancel();
    EXPECT_EQ(model.rowCount(), 3);
}

namespace {

// With a key order a posted row (new, or with a changed key) takes its place,
// as a reload would show it, the cursor with it; without one it stays put.
TEST_F(ClientTableTest, APostedRowTakesItsPlaceInTheKeyOrder) {
    auto firsts = [this] {
        QStringList out;
        for (int r = 0; r < t.viewRowCount(); ++r) out << t.viewValue(r, 1).toString();
        return out;
    };
    const DataPacket loaded = t.Data();
    for (bool ordered : {false, true}) {
        t.LoadPacket(loaded);
        t.KeyOrder = ordered ? QStringList{"QTINI"} : QStringList{};
        t.SetRecNo(2);
        t.Insert();
        t.FieldByName("QTINI")->SetAsString("00021");
        t.Post();
        EXPECT_EQ(firsts(), ordered ? QStringList({"00001", "00006", "00011", "00021"}) : QStringList({"00001", "00021", "00006", "00011"}));
        EXPECT_EQ(t.FieldByName("QTINI")->AsString(), "00021");
    }
    t.First();
    t.Edit();
    t.FieldByName("QTINI")->SetAsString("15");  // digits compare by value
    t.Post();
    EXPECT_EQ(firsts(), (QStringList{"00006", "00011", "15", "00021"}));
}

}  // namespace
