// main() for test programs that drive widgets: one QApplication, offscreen.
#include "qt_translations.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    // Window sizes and column widths a test leaves behind stay in a folder of
    // its own, away from the user's settings and from the other test programs.
    QTemporaryDir settings;
    if (qEnvironmentVariableIsEmpty("COT_CONFIG_DIR")) qputenv("COT_CONFIG_DIR", settings.path().toUtf8());
    QApplication app(argc, argv);
    LoadQtTranslations(app);  // Qt's own dialogs in Portuguese, as in the program
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
