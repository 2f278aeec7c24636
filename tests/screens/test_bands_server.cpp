// The band lists against what the server answers: its refusals, answers the
// checks must bear, the price table a band belongs to, and several writers
// at once.
#include "bands_fixture.h"

INSTANTIATE_TEST_SUITE_P(Lists, BothLists, ::testing::Bool(), ListName);

// ---------------------------------------------------------------- refusals by the server

TEST_P(BothLists, ABandTheServerRefusesStaysPendingAndGoesAgainWithTheNextSend) {
    start({});
    typeNewBand("3", "8", "10");
    // Meanwhile another user stores a band that this one would overlap.
    putBands({{1, 5, 20}});
    save();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Error);
    EXPECT_EQ(table()->State(), DataSetState::Browse);
    EXPECT_EQ(table()->ChangeCount(), 1);
    EXPECT_EQ(dialogs.waitDepth, 0);
    // What was shown is the server's own word on this change.
    {
        std::unique_ptr<TNetConnection> net(NewConnection(server->port()));
        const RpcReply again = net->Call(setMethod(), {table()->GetDelta()});
        EXPECT_FALSE(again.ok);
        EXPECT_EQ(dialogs.last(), again.errorMessage);
    }
    EXPECT_EQ(storedRanges(), QStringList{"00001-00005"});

    // Corrected, the pending band goes with the next send.
    dialogs.clear();
    goToRow(0);
    Type("6");
    Press(Qt::Key_Tab);
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(table()->ChangeCount(), 0);
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

TEST_P(BothLists, AFailedQuestionIsShownAndHidesTheWaitAnimation) {
    start({{1, 5, 10}});
    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("7");
    server->stop();
    dialogs.clear();
    Press(Qt::Key_Tab);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar ao servidor de aplicação")) << dialogs.last().toStdString();
    EXPECT_EQ(dialogs.waitKinds, QList<int>{6});
    EXPECT_EQ(dialogs.waitDepth, 0);
    EXPECT_EQ(selected(), firstName());
    EXPECT_EQ(table()->State(), DataSetState::Insert);
    cancel();
}

// ---------------------------------------------------------------- answers the checks must bear

TEST_P(BothLists, AnswersThatAreNoNumberRefuseNothing) {
    start({{1, 5, 10}, {6, 8, 12}, {12, 14, 16}});
    ScriptedServer scripted(server->port());
    HostSettings hs = CurrentHostSettings();
    hs.webPort = scripted.port();
    SetHostSettings(hs);
    f->netTbPreProCom->Close();

    const QJsonArray maxFields{QJsonObject{{"name", "FINSIST"}, {"type", "string"}, {"size", 5}},
                               QJsonObject{{"name", "FINUSU"}, {"type", "string"}, {"size", 5}}};
    const QJsonArray intervalFields{QJsonObject{{"name", users ? "INTERVUSU" : "INTERVSIS"}, {"type", "string"}, {"size", 13}}};
    QString largestEnd, enclosing;
    int writtenBack = -1;
    scripted.setScript([&](const QString &method, const QJsonArray &params) -> std::optional<QJsonObject> {
        if (method == "getQtMaxFin") {
            QJsonArray out = params;
            if (writtenBack >= 0) out[1] = writtenBack;
            return Answer(maxFields, {largestEnd, largestEnd}, out);
        }
        if (method.startsWith("getVdInterv") && params.at(0).toString() == "F")
            return Answer(intervalFields, {enclosing}, params);
        return std::nullopt;
    });

    // A lowered start of a stored band, against an empty and a wordy answer.
    for (const QString &answer : {QString(), QString("abc")}) {
        largestEnd = answer;
        dialogs.clear();
        goToRow(1);
        Type("5");
        Press(Qt::Key_Tab);
        EXPECT_TRUE(dialogs.shown.isEmpty()) << answer.toStdString() << ": " << dialogs.last().toStdString();
        EXPECT_EQ(selected(), lastName());
        EXPECT_EQ(value(firstName()), "00005");
        cancel();
    }
    // A new band reaching over a stored one, against answers that are no number.
    for (const QString &answer : {QString(), QString("xyz")}) {
        enclosing = answer;
        dialogs.clear();
        typeNewBand("9", "15", "");
        EXPECT_TRUE(dialogs.shown.isEmpty()) << answer.toStdString() << ": " << dialogs.last().toStdString();
        EXPECT_EQ(selected(), percentName());
        cancel();
    }
    // A start the server writes back is the one the check uses.
    largestEnd = "8";
    writtenBack = 9;
    dialogs.clear();
    goToRow(1);
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{NaoMenor("9")});
    EXPECT_EQ(value(firstName()), "00009");
    EXPECT_EQ(inQtIniAux, 9);
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008", "00012-00014"}));
}

TEST_P(BothLists, UnchangedQuantitiesOfAStoredBandAreNeverRefused) {
    start({{1, 5, 10}, {6, 8, 12}});
    ScriptedServer scripted(server->port());
    HostSettings hs = CurrentHostSettings();
    hs.webPort = scripted.port();
    SetHostSettings(hs);
    f->netTbPreProCom->Close();
    // Whatever is asked, the server names the band 1 to 5 and a largest end of 99.
    const QString first = firstName(), last = lastName();
    scripted.setScript([&](const QString &method, const QJsonArray &params) -> std::optional<QJsonObject> {
        if (method == "getQtMaxFin")
            return Answer({QJsonObject{{"name", "FINSIST"}, {"type", "string"}, {"size", 5}},
                           QJsonObject{{"name", "FINUSU"}, {"type", "string"}, {"size", 5}}},
                          {"00099", "00099"}, params);
        if (method == "getVdFinSistEdit" || method == "getVdFinUsuEdit")
            return Answer({QJsonObject{{"name", first}, {"type", "string"}, {"size", 5}},
                           QJsonObject{{"name", last}, {"type", "string"}, {"size", 5}}},
                          {"00001", "00005"}, params);
        return std::nullopt;
    });

    goToRow(1);
    Type("6");
    Press(Qt::Key_Tab);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    Type("8");
    if (users) Press(Qt::Key_Tab);
    else save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    if (users) save();
    EXPECT_EQ(table()->State(), DataSetState::Browse);

    // Changed, the same answers refuse.
    goToRow(1);
    Press(Qt::Key_Tab);
    Type("9");
    if (users) Press(Qt::Key_Tab);
    else save();
    EXPECT_EQ(dialogs.texts(), QStringList{FinNaoPode("00001 e 00005")});
    cancel();
    goToRow(1);
    Type("7");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.last(), NaoMenor("6"));
    cancel();
    EXPECT_EQ(storedRanges(), (QStringList{"00001-00005", "00006-00008"}));
}

// ---------------------------------------------------------------- which price table a band belongs to

// The list shown can belong to another price table than the one the price
// table list stands on (it is loaded only when its page gets the focus or is
// refreshed). A band edited or added there stays with the list it is in, and
// is checked against that list's bands.
TEST_P(BothLists, BandsStayWithThePriceTableTheirListWasLoadedFor) {
    startServer(false);
    code = addPriceTable("Tabela A");
    const QString other = addPriceTable("Tabela B");
    putBands(users, {{1, 5, 10}}, code);
    putBands(users, {{1, 3, 40}}, other);
    open();
    ASSERT_EQ(table()->FieldByName("CDPRECOPROP")->AsString(), code);
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", other));

    goToRow(0);
    Press(Qt::Key_End);
    Type("11");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();

    Press(Qt::Key_Insert);
    Press(Qt::Key_Home);
    Type("4");
    Press(Qt::Key_Tab);
    EXPECT_EQ(dialogs.texts(), QStringList{IniNaoPode("00001 e 00005")});
    Type("6");
    Press(Qt::Key_Tab);
    Type("7");
    Press(Qt::Key_Tab);
    Type("15");
    save();
    EXPECT_EQ(dialogs.shown.size(), 1) << dialogs.texts().join("|").toStdString();

    const QVector<StoredBand> mine = stored(users, code);
    ASSERT_EQ(mine.size(), 2);
    EXPECT_DOUBLE_EQ(mine[0].percent, 11.0);
    EXPECT_EQ(mine[1].first, "00006");
    const QVector<StoredBand> theirs = stored(users, other);
    ASSERT_EQ(theirs.size(), 1);
    EXPECT_EQ(theirs[0].last, "00003");
    EXPECT_DOUBLE_EQ(theirs[0].percent, 40.0);
}

// ---------------------------------------------------------------- several writers at once

TEST_P(BothLists, WritersRacingOnOnePriceTableNeverLeaveOverlappingBands) {
    start({});
    const int port = server->port();
    const bool usersList = users;
    const QString priceTable = code;
    const int top = largest();
    std::atomic<int> accepted{0}, refused{0};
    std::atomic<bool> go{false}, screenDone{false};
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w) {
        writers.emplace_back([&, w] {
            std::unique_ptr<TNetConnection> net(NewConnection(port));
            std::mt19937 rng(unsigned(w + 1));
            auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
            while (!go) std::this_thread::yield();
            // At least 30 changes each, and on for as long as the screen's user types.
            for (int i = 0; i < 30 || (!screenDone && i < 100000); ++i) {
                // Two screens' worth of work: read the list, change it, send the change.
                TClientTable t("corrida");
                DefineBandFields(t, usersList);
                const RpcReply list = net->Call(usersList ? "getDescUsu" : "getDescSis", {priceTable});
                if (!list.ok) continue;
                t.LoadPacket(PacketCodec::packetFromJson(list.data));
                const int action = t.RecordCount() == 0 ? 0 : pick(0, 2);
                const int first = pick(1, top), last = std::min(top, first + pick(0, 4));
                if (action == 0) {
                    t.Append();
                    t.Fields(0)->SetAsString(priceTable);
                } else {
                    t.SetRecNo(pick(1, t.RecordCount()));
                    if (action == 2) {
                        t.Delete();
                    } else {
                        t.Edit();
                    }
                }
                if (t.IsEditing()) {
                    t.Fields(1)->SetAsString(Qty(first));
                    t.Fields(2)->SetAsString(Qty(last));
                    t.Fields(3)->SetAsFloat(pick(0, 100));
                    t.Post();
                }
                const RpcReply sent = net->Call(usersList ? "setDescUsu" : "setDescSis", {t.GetDelta()});
                (sent.ok ? accepted : refused)++;
            }
        });
    }
    go = true;
    // The screen's user types bands at the same time.
    for (const auto &[first, last] : {std::pair{"2", "3"}, std::pair{"7", "9"}, std::pair{"12", "12"}}) {
        typeNewBand(first, last, "10");
        save();
        if (table()->IsEditing()) cancel();  // refused by a check: given up
        QApplication::processEvents();
    }
    screenDone = true;
    for (std::thread &t : writers) t.join();

    EXPECT_GT(accepted.load(), 0);
    EXPECT_TRUE(CleanSeries(stored(), largest()));
    // The screen's list, refreshed, is a clean series too.
    grid()->setFocus();
    settle();
    if (table()->ChangeCount() > 0) table()->CancelUpdates();
    // The refresh itself: its button is disabled when the screen's own list is
    // empty, which the race can leave.
    f->sbtVerificarClick();
    settle();
    QVector<StoredBand> shown;
    for (table()->First(); !table()->Eof(); table()->Next())
        shown.append({value(firstName()), value(lastName()), table()->FieldByName(percentName())->AsFloat()});
    EXPECT_TRUE(CleanSeries(shown, largest()));
    EXPECT_EQ(shown.size(), stored().size());
}

// ---------------------------------------------------------------- the list's own price table

// A band typed into an empty list belongs to the price table the list was
// loaded for, even when the price table list has moved on since.
TEST_P(BothLists, ABandTypedIntoAnEmptyListGoesToThePriceTableTheListWasLoadedFor) {
    start({});
    const QString other = addPriceTable("Outra Tabela");
    f->priceTables->reloadKeepingRow(WaitKind::None);
    ASSERT_EQ(f->currentPriceTable(), code);
    ASSERT_EQ(table()->RecordCount(), 0);
    ASSERT_TRUE(f->priceTables->cdsTbPreco->Locate("CDPRECOPROP", other));
    grid()->setFocus();
    settle();
    typeNewBand("1", "5", "10");
    save();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(storedRanges(), QStringList{"00001-00005"});
    EXPECT_TRUE(storedRanges(users, other).isEmpty());
}
