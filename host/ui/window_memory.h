#pragma once
// What the program remembers between runs about its windows, in the user's
// settings file (user_settings.h).

class QMainWindow;
class TForm;

namespace WindowMemory {
// The main window as the user left it; maximised the first time.
void restoreMainWindow(QMainWindow *window);
void saveMainWindow(const QMainWindow *window);
// A screen's window (MDI child or modal) and the column widths of its grids,
// under the screen's code.
void restoreForm(TForm *form);
void saveForm(const TForm *form);
}  // namespace WindowMemory
