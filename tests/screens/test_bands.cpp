// The discount band lists by number of systems and by number of users, typed
// into their real grids against a real application server: the key filter,
// what leaving a column checks, the steps before a band is posted and the
// sending of every posted or deleted band (test_bands_server.cpp: what the
// server answers, and other clients writing at the same time).
#include "bands_fixture.h"

INSTANTIATE_TEST_SUITE_P(Lists, BothLists, ::testing::Bool(), ListName);

// ---------------------------------------------------------------- key filter

TEST_P(BothLists, KeyFilterLetsOnlyDigitsIntoQuantitiesAndOneSeparatorIntoThePercentage) {
    start({});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("a-,+");
    EXPECT_FALSE(grid()->EditorMode()) << "a dropped key opened the cell";
    Type("7x.");
    EXPECT_EQ(editorText(), "7");
    Press(Qt::Key_Backspace);
    EXPECT_EQ(editorText(), "");
    // No more digits than the quantity holds.
    Type("123456");
    EXPECT_EQ(editorText(), "12345");
    Press(Qt::Key_Home);
    Press(Qt::Key_End, Qt::ShiftModifier);
    Type("12");
    EXPECT_EQ(editorText(), "12");
    Press(Qt::Key_Tab);
    EXPECT_EQ(value(firstName()), "00012");
    Type("-3");
    EXPECT_EQ(editorText(), "3");
    Press(Qt::Key_Tab);
    ASSERT_EQ(selected(), percentName());
    Type(",");
    EXPECT_FALSE(grid()->EditorMode()) << "a number began with the comma";
    Type("12,5");
    EXPECT_EQ(editorText(), "12,5");
    Type(",.+-a");
    EXPECT_EQ(editorText(), "12,5");
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Backspace);
    // The keypad's decimal key types the comma; a full stop after it is dropped.
    Press(Qt::Key_Period, Qt::KeypadModifier);
    Type("7.,");
    EXPECT_EQ(editorText(), "12,7");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    cancel();
}

// The percentage typed the Brazilian way, as the server stores it.
TEST_P(BothLists, APercentageTypedTheBrazilianWayIsStoredAsRead) {
    struct Case {
        const char *typed, *first, *last;
        const char *message;  // refused with it, nothing stored
        double stored;
    } const cases[] = {{"2.5", "1", "3", "Use a vírgula para os decimais: 2,5", 0},
                       {"2,5", "1", "3", nullptr, 2.5},
                       {"12,5.", "4", "6", nullptr, 12.5}};
    start({});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs.clear();
        typeNewBand(c.first, c.last, c.typed);
        save();
        EXPECT_EQ(dialogs.texts(), c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{});
        if (c.message) cancel();
        QString found;
        for (const StoredBand &band : stored(users, code))
            if (band.first.toInt() == QString(c.first).toInt()) found = QString::number(band.percent);
        EXPECT_EQ(found, c.message ? QString() : QString::number(c.stored));
    }
}

// ---------------------------------------------------------------- required values and limits

TEST_P(BothLists, FirstQuantityZeroIsRefused) {
    start({});
    typeNewBand("0", "3", "10");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtIniMaior});
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_TRUE(stored().isEmpty());
    // Corrected, the same row goes.
    Type("1");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(storedRanges(), QStringList{"00001-00003"});
}

TEST_P(BothLists, LargestLastQuantityPassesAndOneMoreIsRefused) {
    start({});
    const QString tooLarge = users ? kQtFinUsuMaior : kQtFinSisMaior;
    typeNewBand("1", QString::number(largest() + 1), "10");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{tooLarge});
    EXPECT_EQ(selected(), lastName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_TRUE(stored().isEmpty());
    Type(QString::number(largest()));
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(storedRanges(), QStringList{"00001-" + Qty(largest())});
}

TEST_P(BothLists, HundredPercentPassesAndMoreIsRefused) {
    start({});
    typeNewBand("1", "2", "100,01");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kVrDescMaior});
    EXPECT_EQ(selected(), percentName());
    EXPECT_TRUE(stored().isEmpty());
    retype("100");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    const QVector<StoredBand> bands = stored();
    ASSERT_EQ(bands.size(), 1);
    EXPECT_DOUBLE_EQ(bands[0].percent, 100.0);
}

TEST_P(BothLists, MissingValuesAreReportedOneAtATimeInOrder) {
    start({});
    const QString firstMissing = users ? "Favor informar o intervalo inicial de desconto por Usuários"
                                       : "Favor Informar o intervalo Inicial de desconto por Sistemas";
    const QString lastMissing = users ? "Favor informar o intervalo final de desconto por Usuários"
                                      : "Favor informar o intervalo final de desconto por Sistemas";
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Tab);
    Type("10");
    save();
    EXPECT_EQ(dialogs.last(), firstMissing);
    EXPECT_EQ(selected(), firstName());
    Type("2");
    save();
    EXPECT_EQ(dialogs.last(), lastMissing);
    EXPECT_EQ(selected(), lastName());
    Type("4");
    Press(Qt::Key_Tab);
    Press(Qt::Key_Delete);  // no effect outside an editor
    Press(Qt::Key_F2);
    QLineEdit *editor = qobject_cast<QLineEdit *>(grid()->InplaceEditor());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    Press(Qt::Key_Backspace);
    save();
    EXPECT_EQ(dialogs.last(), kVrDescInf);
    EXPECT_EQ(selected(), percentName());
    EXPECT_EQ(dialogs.shown.size(), 3);
    EXPECT_TRUE(stored().isEmpty());
}

TEST_P(BothLists, WhenSeveralItemsFailOnlyTheFirstIsReported) {
    start({});
    typeNewBand("0", "999", "150");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtIniMaior});
    Type("1");
    save();
    EXPECT_EQ(dialogs.texts(), (QStringList{kQtIniMaior, users ? kQtFinUsuMaior : kQtFinSisMaior}));
    Type("9");
    save();
    EXPECT_EQ(dialogs.last(), kVrDescMaior);
    EXPECT_TRUE(stored().isEmpty());
}

// ---------------------------------------------------------------- a new band against the stored ones

TEST_P(BothLists, NewBandStartingInsideAStoredBandIsRefusedOnLeavingDe) {
    start({{1, 5, 10}});
    for (const char *start : {"3", "1", "5"}) {
        dialogs.clear();
        Press(Qt::Key_Insert);
        Press(Qt::Key_Home);
        Type(start);
        Press(Qt::Key_Tab);
        EXPECT_EQ(dialogs.texts(), QStringList{IniNaoPode("00001 e 00005")}) << start;
        EXPECT_EQ(selected(), firstName()) << "the cursor left the refused column";
        EXPECT_EQ(table()->State(), DataSetState::Insert);
        cancel();
    }
    // Just past the band it is free.
    dialogs.clear();
    typeNewBand("6", "6", "1");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    cancel();
    EXPECT_EQ(storedRanges(), QStringList{"00001-00005"});
}

TEST_P(BothLists, NewBandEndingInsideAStoredBandIsRefusedOnLeavingAte) {
    start({{6, 8, 10}});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("2");
    Press(Qt::Key_Tab);
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoPode("00006 e 00008")});
    EXPECT_EQ(selected(), lastName());
    EXPECT_EQ(value(lastName()), "00007");
    cancel();
    EXPECT_EQ(storedRanges(), QStringList{"00006-00008"});
}

TEST_P(BothLists, NewBandEnclosingAStoredBandIsRefused) {
    start({{3, 5, 10}});
    typeNewBand("1", "8", "");
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoMaior("00003")});
    EXPECT_EQ(selected(), lastName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    // Posted from "Até" it is refused again, and not sent.
    save();
    EXPECT_EQ(dialogs.texts(), (QStringList{FinNaoMaior("00003"), FinNaoMaior("00003")}));
    // Ending below the stored band it passes.
    dialogs.clear();
    retype("2");
    Press(Qt::Key_Tab);
    Type("4");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00002", "00003-00005"}));
}

TEST_P(BothLists, NewBandAboveTheOneItWouldEncloseIsAccepted) {
    start({{1, 5, 10}});
    typeNewBand("6", "9", "12");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00009"}));
}

TEST_P(BothLists, RepeatedStartWrittenMeanwhileIsRefusedWhenPostedFromAnotherColumn) {
    start({});
    typeNewBand("1", "3", "10");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    // Another user stores a band starting at 1 while this one is typed.
    putBands({{1, 5, 20}});
    ASSERT_EQ(selected(), percentName());
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtIniCad});
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(storedRanges(), QStringList{"00001-00005"});
}

TEST_P(BothLists, GapBetweenBandsIsAccepted) {
    start({{1, 5, 10}});
    typeNewBand("10", "15", "20");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00010-00015"}));
}

TEST_P(BothLists, QuantitiesArePaddedAndABandOfOneQuantityIsAccepted) {
    start({});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(value(firstName()), "00007");
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(value(lastName()), "00007");
    Type("5");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    const QVector<StoredBand> bands = stored();
    ASSERT_EQ(bands.size(), 1);
    EXPECT_EQ(bands[0].first, "00007");
    EXPECT_EQ(bands[0].last, "00007");
    EXPECT_EQ(table()->FieldByName("CDPRECOPROP")->AsString(), code);
}

TEST_P(BothLists, PostedFromDeTheQuantitiesAreStillPadded) {
    start({});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Tab);
    Type("5");
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    Type("9");
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    Type("8");
    ASSERT_EQ(selected(), firstName());
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), QStringList{"00008-00009"});
}

TEST_P(BothLists, LastBelowFirstIsRefusedWithTheCursorInAte) {
    start({});
    typeNewBand("5", "3", "10");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtFinMaior});
    EXPECT_EQ(selected(), lastName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    EXPECT_TRUE(stored().isEmpty());
    Type("5");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(storedRanges(), QStringList{"00005-00005"});
}

// ---------------------------------------------------------------- editing stored bands

TEST_P(BothLists, EditingOnlyThePercentagePasses) {
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Press(Qt::Key_End);
    Type("13,5");
    EXPECT_EQ(table()->State(), DataSetState::Edit);
    EXPECT_EQ(inQtIniAux, 6);
    EXPECT_EQ(users ? stVerEditUsu : stVerEditSis, "00006");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(table()->ChangeCount(), 0);
    const QVector<StoredBand> bands = stored();
    ASSERT_EQ(bands.size(), 2);
    EXPECT_DOUBLE_EQ(bands[1].percent, 13.5);
    EXPECT_EQ(bands[1].first, "00006");
}

TEST_P(BothLists, EditedStartMovedOntoAnotherBandsStartIsRefusedAsRepeated) {
    start({{1, 5, 10}, {9, 12, 12}});
    goToRow(0);
    Type("9");
    Press(Qt::Key_Tab);  // no band ends below 1: passes here
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    Press(Qt::Key_Tab);
    ASSERT_EQ(selected(), percentName());
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kQtIniCad});
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Edit);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00009-00012"}));
}

TEST_P(BothLists, LoweringAnEditedStartIntoTheBandBelowSetsItBack) {
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Type("5");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{NaoMenor("6")});
    EXPECT_EQ(value(firstName()), "00006");
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Edit);
    // Raising it passes.
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(selected(), lastName());
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00007-00008"}));
}

// Shifting a band moves both its quantities in one edit: the band being
// edited still starts at its stored quantity and is no overlap of its own.
TEST_P(BothLists, ShiftingAStoredBandInOneEditIsCheckedAgainstTheOtherBandsOnly) {
    start({{1, 5, 10}, {6, 8, 12}, {10, 12, 14}});
    goToRow(1);
    Type("7");
    Press(Qt::Key_Tab);
    Type("9");
    if (users) Press(Qt::Key_Tab);  // the users list checks it on leaving "Até"
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00007-00009", "00010-00012"}));

    // Shifted into the band above it is refused.
    goToRow(1);
    Type("8");
    Press(Qt::Key_Tab);
    Type("11");
    if (users) Press(Qt::Key_Tab);
    else save();
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoMaior("00010")});
    EXPECT_EQ(selected(), lastName());
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00007-00009", "00010-00012"}));
}

TEST_P(BothLists, AnEditedLastReachingIntoTheBandBelowIsRefusedWithThatBand) {
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("3");
    if (users) Press(Qt::Key_Tab);
    else save();
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoPode("00001 e 00005")});
    EXPECT_EQ(selected(), lastName());
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

TEST_P(BothLists, AnUnchangedLastIsNeverRefused) {
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("8");
    Press(Qt::Key_Tab);
    Type("20");
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    ASSERT_EQ(stored().size(), 2);
    EXPECT_DOUBLE_EQ(stored()[1].percent, 20.0);
}

// ---------------------------------------------------------------- where the two lists differ

TEST_F(BandsTest, AnEditedSystemsStartIsCheckedAgainAtPostingAUsersStartIsNot) {
    startServer(false);
    code = addPriceTable("Tabela de Faixas");
    putBands(false, {{1, 5, 10}, {6, 8, 12}});
    putBands(true, {{1, 5, 10}, {6, 8, 12}});

    users = false;
    open();
    goToRow(1);
    Type("5");
    save();  // the cursor still in "De"
    EXPECT_EQ(dialogs.texts(), QStringList{NaoMenor("6")});
    EXPECT_EQ(value(firstName()), "00006");
    EXPECT_EQ(table()->ChangeCount(), 0);
    cancel();

    users = true;
    showList();
    goToRow(1);
    Type("5");
    save();
    // Not checked on the screen: the server refuses the overlap itself, says
    // why, and the band stays pending.
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_NE(dialogs.last(), NaoMenor("6"));
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Error);
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(table()->ChangeCount(), 1);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

TEST_F(BandsTest, AnEditedUsersLastIsCheckedOnLeavingAteASystemsLastAtPosting) {
    startServer(false);
    code = addPriceTable("Tabela de Faixas");
    putBands(false, {{1, 5, 10}, {6, 8, 12}, {10, 12, 14}});
    putBands(true, {{1, 5, 10}, {6, 8, 12}, {10, 12, 14}});

    users = true;
    open();
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("11");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoMaior("00010")});
    EXPECT_EQ(selected(), lastName());
    cancel();

    users = false;
    showList();
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("11");
    Press(Qt::Key_Tab);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(selected(), percentName());
    EXPECT_EQ(value(lastName()), "00011");
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoMaior("00010")});
    cancel();
    EXPECT_EQ(storedRanges(false, code), (QStringList{"00001-00005", "00006-00008", "00010-00012"}));
    EXPECT_EQ(storedRanges(true, code), (QStringList{"00001-00005", "00006-00008", "00010-00012"}));
}

// A refusal puts the cursor on its field and nothing else runs: moving the
// cursor there is not the user leaving the column the cursor was in.
TEST_F(BandsTest, PuttingTheCursorOnARefusedFieldRunsNoColumnCheck) {
    users = true;
    start({{1, 5, 10}, {6, 8, 12}});
    goToRow(1);
    Press(Qt::Key_End);
    Press(Qt::Key_F2);
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(selected(), firstName());
    Type("5");
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kVrDescInf});
    EXPECT_EQ(selected(), percentName());
    EXPECT_EQ(value(firstName()), "5");  // as typed: the check of "De" did not run
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

TEST_P(BothLists, SendingAfterPostShowsTheWaitAnimationOnTheUsersListOnly) {
    start({{1, 5, 10}});
    // Another user adds a band: posting sends without reloading the list.
    putBands({{10, 12, 30}});
    typeNewBand("6", "8", "20");
    dialogs.clear();
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(dialogs.waitKinds.count(1), users ? 1 : 0);
    EXPECT_TRUE(dialogs.waitKinds.contains(6));  // the checks' questions
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(table()->RecordCount(), 2);
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008", "00010-00012"}));
}

// ---------------------------------------------------------------- deleting

TEST_P(BothLists, DeletingABandSendsItAndReloadsTheList) {
    start({{1, 5, 10}, {6, 8, 12}});
    putBands({{10, 12, 30}});
    goToRow(0);
    dialogs.clear();
    Press(Qt::Key_Delete, Qt::ControlModifier);
    settle();
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown[0].text, "Confirma exclusão?");
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.last().toStdString();
    EXPECT_EQ(dialogs.waitKinds.value(0), 1);  // the send
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(storedRanges(), (QStringList{"00006-00008", "00010-00012"}));
    // The reload brought the other user's band.
    EXPECT_EQ(table()->RecordCount(), 2);
    EXPECT_EQ(table()->ChangeCount(), 0);
    table()->First();
    EXPECT_EQ(value(firstName()), "00006");
    table()->Last();
    EXPECT_EQ(value(firstName()), "00010");
}

TEST_P(BothLists, ADeleteTheServerRefusesIsShownAndNotFollowedByTheReload) {
    start({{1, 5, 10}, {6, 8, 12}});
    // Another user removes the band first.
    {
        std::unique_ptr<TNetConnection> net(NewConnection(server->port()));
        TClientTable t("outro");
        DefineBandFields(t, users);
        t.LoadPacket(CheckResultPacket(net->Call(getMethod(), {code})));
        t.First();
        t.Delete();
        ASSERT_TRUE(net->Call(setMethod(), {t.GetDelta()}).ok);
    }
    goToRow(0);
    dialogs.clear();
    Press(Qt::Key_Delete, Qt::ControlModifier);
    settle();
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].type, MsgType::Error);
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(dialogs.waitHidden, dialogs.waitShown);
    EXPECT_EQ(dialogs.waitShown, 1) << "the list was reloaded after a refused delete";
    EXPECT_EQ(table()->RecordCount(), 1);
    EXPECT_EQ(table()->ChangeCount(), 1);
    // The refresh discards what the server would not take.
    Trigger(f->sbtVerificar);
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(table()->RecordCount(), 1);
    EXPECT_EQ(storedRanges(), QStringList{"00006-00008"});
}
