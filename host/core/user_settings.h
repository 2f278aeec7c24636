#pragma once
// The user's settings file (INI): the server to reach, window sizes and
// places, grid column widths (window_memory.h). One file per user, in the
// user's config folder; COT_CONFIG_DIR or SetSettingsFolder() put it
// elsewhere (tests, a shared profile). Qt Core only: cot-report reads it too.

#include <QSettings>
#include <QString>
#include <memory>

// The folder that holds cot-host.ini; empty: the environment or the default.
void SetSettingsFolder(const QString &folder);
QString SettingsFilePath();
std::unique_ptr<QSettings> UserSettings();
