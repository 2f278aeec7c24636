// cot-host: the desktop host application with its price table module.
#include "host_application.h"
#include "host_shell.h"
#include "qt_translations.h"
#include "widget_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    QElapsedTimer clock;
    clock.start();
    // The usage needs no display: a server console or a package check asks it.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "-h") != 0) continue;
        QCoreApplication core(argc, argv);
        ShellOptions options;
        QString usage;
        ParseShellOptions(core.arguments(), &options, &usage);
        std::printf("%s\n", qPrintable(usage));
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("cot"));
    QApplication::setApplicationName(QStringLiteral("cot-host"));
    LoadQtTranslations(app);

    ShellOptions options;
    QString message;
    if (!ParseShellOptions(app.arguments(), &options, &message)) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return message.startsWith(QLatin1String("Uso:")) ? 0 : 2;
    }

    WidgetDialogs dialogs;
    SetDialogs(&dialogs);
    HostShell shell(options);
    shell.setAskRetry([](const QString &text) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("COT — Proposta Comercial"), text);
        QPushButton *retry = box.addButton(QStringLiteral("Tentar novamente"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Sair"), QMessageBox::RejectRole);
        box.setDefaultButton(retry);
        box.exec();
        return box.clickedButton() == retry;
    });
    shell.setAskTrust([](const QString &address, const QString &fingerprint) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("COT — Certificado do servidor"),
                        QStringLiteral("Primeiro contato com o servidor %1.\n\n"
                                       "O certificado que ele apresenta não é garantido por nenhuma autoridade conhecida "
                                       "deste computador. Impressão digital SHA-256:\n\n%2\n\n"
                                       "É a mesma impressão digital que o administrador do servidor lhe informou? "
                                       "Aceita, ela fica registrada e um certificado diferente será recusado.")
                            .arg(address, fingerprint));
        QPushButton *accept = box.addButton(QStringLiteral("Sim, é a mesma"), QMessageBox::AcceptRole);
        QPushButton *refuse = box.addButton(QStringLiteral("Não, sair"), QMessageBox::RejectRole);
        box.setDefaultButton(refuse);
        box.exec();
        return box.clickedButton() == accept;
    });
    QString error;
    if (!shell.start(&error)) {
        if (!error.isEmpty()) QMessageBox::critical(nullptr, QStringLiteral("COT — Proposta Comercial"), error);
        return 1;
    }
    QMainWindow *window = HostApplication::instance().mainWindow();
    window->show();
    if (options.openModule) shell.openPriceTables();
    if (options.measureStartup) {
        QTimer::singleShot(0, [&] {
            std::printf("startup_ms=%lld\ndados=%s\n", static_cast<long long>(clock.elapsed()), qPrintable(shell.dataLocation()));
            std::fflush(stdout);
            QApplication::quit();
        });
    }
    const int rc = QApplication::exec();
    SetDialogs(nullptr);
    return rc;
}
