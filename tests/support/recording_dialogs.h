#pragma once
// A dialogs service for tests: records every message, answers with scripted
// buttons and picks, and counts the wait animation.

#include "dialogs.h"

#include <QStringList>
#include <functional>

class RecordingDialogs : public IDialogService {
public:
    struct Shown {
        QString text;
        MsgType type;
        int buttons = 0;  // the buttons offered (MsgButton flags)
    };

    RecordingDialogs() { SetDialogs(this); }
    ~RecordingDialogs() override { SetDialogs(nullptr); }

    int showMessage(const QString &text, MsgType type, int buttons) override {
        shown.append({text, type, buttons});
        if (type == MsgType::Confirmation) return answers.isEmpty() ? confirmAnswer : answers.takeFirst();
        return (buttons & MsgButton::Ok) ? int(MsgButton::Ok) : confirmAnswer;
    }
    bool pesquisar(TDataSource *source, const QString &titleAndEmpty) override {
        searchTitles.append(titleAndEmpty);
        return onPesquisar ? onPesquisar(source) : false;
    }
    bool pesquisaLista(TDataSource *source, const QString &keyField, const QString &title, QString *selection) override {
        searchTitles.append(title);
        return onPesquisaLista ? onPesquisaLista(source, keyField, selection) : false;
    }
    bool askText(const QString &caption, const QString &, QString *text, int maxLength) override {
        askedTexts.append({caption, *text, maxLength});
        if (textAnswers.isEmpty()) return false;
        *text = textAnswers.takeFirst();
        return true;
    }
    void showWait(QObject *, int kind) override {
        ++waitShown;
        ++waitDepth;
        waitKinds.append(kind);
    }
    void hideWait() override {
        ++waitHidden;
        --waitDepth;
    }

    QStringList texts() const {
        QStringList out;
        for (const Shown &s : shown) out.append(s.text);
        return out;
    }
    QString last() const { return shown.isEmpty() ? QString() : shown.last().text; }
    void clear() {
        shown.clear();
        searchTitles.clear();
        waitKinds.clear();
        waitShown = waitHidden = waitDepth = 0;
    }

    QList<Shown> shown;
    QStringList searchTitles;
    QList<int> waitKinds;
    int waitShown = 0, waitHidden = 0, waitDepth = 0;
    int confirmAnswer = MsgButton::Yes;
    QList<int> answers;  // answers to the next questions, in order; then confirmAnswer
    struct Asked {
        QString caption, proposed;
        int maxLength;
    };
    QList<Asked> askedTexts;
    QStringList textAnswers;  // typed into the next prompts, in order; then cancel
    std::function<bool(TDataSource *)> onPesquisar;
    std::function<bool(TDataSource *, const QString &, QString *)> onPesquisaLista;
};
