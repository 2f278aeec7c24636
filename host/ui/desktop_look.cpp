#include "desktop_look.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
// Themes Debian ships, in the order tried; the first installed one wins.
const char *const kThemes[] = {"Adwaita", "breeze", "oxygen", "Tango", "gnome"};

bool themeInstalled(const QString &name) {
    for (const QString &dir : QIcon::themeSearchPaths())
        if (QFileInfo::exists(dir + QLatin1Char('/') + name + QStringLiteral("/index.theme"))) return true;
    return false;
}
}  // namespace

QString FallbackIconTheme() {
    for (const char *t : kThemes)
        if (themeInstalled(QString::fromLatin1(t))) return QString::fromLatin1(t);
    return QStringLiteral("hicolor");
}

void ApplyDesktopLook() {
    // Some platforms (offscreen, a bare X server) give no search paths:
    // the freedesktop ones are added.
    QStringList paths = QIcon::themeSearchPaths();
    QStringList xdg = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                QStandardPaths::LocateDirectory);
    xdg << QStringLiteral("/usr/share/icons");
    for (const QString &dir : xdg)
        if (!paths.contains(dir) && QFileInfo(dir).isDir()) paths << dir;
    if (paths != QIcon::themeSearchPaths()) QIcon::setThemeSearchPaths(paths);
    const QString fallback = FallbackIconTheme();
    // "hicolor" is the icon theme standard's base theme, not a real one: a desktop
    // that names it gives no action icons at all.
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == QLatin1String("hicolor") || !themeInstalled(current)) QIcon::setThemeName(fallback);
    QIcon::setFallbackThemeName(fallback);
    if (qApp) QApplication::setWindowIcon(AppIcon());
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/cot-host-%1.png").arg(size), QSize(size, size));
    return icon;
}

QString HintWithShortcut(const QString &caption, const QKeySequence &shortcut) {
    QString text = caption;
    text.remove(QLatin1Char('&'));
    if (shortcut.isEmpty()) return text;
    return QStringLiteral("%1 (%2)").arg(text, shortcut.toString(QKeySequence::NativeText));
}

void SetActionLook(QAction *action, std::initializer_list<const char *> iconNames) {
    for (const char *name : iconNames) {
        const QString n = QString::fromLatin1(name);
        if (QIcon::hasThemeIcon(n)) {
            action->setIcon(QIcon::fromTheme(n));
            break;
        }
    }
    action->setToolTip(HintWithShortcut(action->text(), action->shortcut()));
}
