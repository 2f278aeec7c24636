#pragma once
// The user's settings file (INI): the server to reach, window sizes and
// places, grid column widths. One file per user, in the user's config folder;
// COT_CONFIG_DIR or SetSettingsFolder() put it elsewhere (tests, a shared
// profile).

#include <QSettings>
#include <QString>
#include <memory>

class QMainWindow;
class QWidget;
class TForm;

// The folder that holds cot-host.ini; empty: the environment or the default.
void SetSettingsFolder(const QString &folder);
QString SettingsFilePath();
std::unique_ptr<QSettings> UserSettings();

// What the program remembers between runs about its windows.
namespace WindowMemory {
// The main window as the user left it; maximised the first time.
void restoreMainWindow(QMainWindow *window);
void saveMainWindow(const QMainWindow *window);
// A screen's window (MDI child or modal) and the column widths of its grids,
// under the screen's code.
void restoreForm(TForm *form);
void saveForm(const TForm *form);
}  // namespace WindowMemory
