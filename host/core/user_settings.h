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

// The certificate a person accepted for a server ("HOST:PORT"), by its
// SHA-256 fingerprint; empty when none was.
QString PinnedCertificate(const QString &address);
void PinCertificate(const QString &address, const QString &fingerprint);

// A key kept in a file (--token-file), so it stays out of the process list:
// the file's text without surrounding blanks. False with a Portuguese reason.
bool ReadTokenFile(const QString &path, QString *token, QString *error);
