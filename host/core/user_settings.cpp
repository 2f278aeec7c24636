#include "user_settings.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString g_folder;
}  // namespace

void SetSettingsFolder(const QString &folder) { g_folder = folder; }

QString SettingsFilePath() {
    QString folder = g_folder;
    if (folder.isEmpty()) folder = qEnvironmentVariable("COT_CONFIG_DIR");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/cot");
    return QDir(folder).filePath(QStringLiteral("cot-host.ini"));
}

std::unique_ptr<QSettings> UserSettings() {
    return std::make_unique<QSettings>(SettingsFilePath(), QSettings::IniFormat);
}
