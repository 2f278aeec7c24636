#include "dialogs.h"

#include "errors.h"

#include <QDebug>

namespace {

class LogDialogs final : public IDialogService {
public:
    int showMessage(const QString &text, MsgType, int buttons) override {
        qWarning().noquote() << text;
        if (buttons & MsgButton::Ok) return MsgButton::Ok;
        if (buttons & MsgButton::Yes) return MsgButton::Yes;
        return MsgButton::Cancel;
    }
    bool pesquisar(TDataSource *, const QString &) override { return false; }
    bool pesquisaLista(TDataSource *, const QString &, const QString &, QString *) override { return false; }
    void showWait(QObject *, int) override {}
    void hideWait() override {}
};

LogDialogs g_logDialogs;
IDialogService *g_service = nullptr;

}  // namespace

IDialogService &Dialogs() { return g_service ? *g_service : g_logDialogs; }

void SetDialogs(IDialogService *service) { g_service = service; }

void MensErro(const QString &text, bool abort) {
    Dialogs().showMessage(text, MsgType::Error, MsgButton::Ok);
    if (abort) Abort();
}

bool Confirma(const QString &text) {
    return Dialogs().showMessage(text, MsgType::Confirmation, MsgButton::Yes | MsgButton::No) == MsgButton::Yes;
}

int ConfirmaOuCancela(const QString &text) {
    const int answer =
        Dialogs().showMessage(text, MsgType::Confirmation, MsgButton::Yes | MsgButton::No | MsgButton::Cancel);
    return answer == MsgButton::Yes || answer == MsgButton::No ? answer : int(MsgButton::Cancel);
}

void ActiveShowAvi(QObject *over, int kind) { Dialogs().showWait(over, kind); }
void DeactiveShowAvi() { Dialogs().hideWait(); }
