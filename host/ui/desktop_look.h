#pragma once
// The program's look on a Linux desktop: tool bar and menu icons from the
// freedesktop icon theme by their standard names, the program's own icon,
// and hints that name the shortcut ("Incluir (Ctrl+I)").

#include <QIcon>
#include <QKeySequence>
#include <QString>
#include <initializer_list>

class QAction;

// Picks an icon theme when the desktop gives none (a bare X session, a
// window manager without settings) and sets the program's icon. Safe to
// call more than once.
void ApplyDesktopLook();
// The name of the theme used when the desktop gives none.
QString FallbackIconTheme();
// The program's own icon (main window, screens, desktop entry).
QIcon AppIcon();
// The hint of an action: its caption without the accelerator mark, and its
// first shortcut in brackets when it has one.
QString HintWithShortcut(const QString &caption, const QKeySequence &shortcut);
// Gives the action the theme icon of the first of these standard names the
// theme has (none: the action keeps its text alone) and the hint above.
void SetActionLook(QAction *action, std::initializer_list<const char *> iconNames);
