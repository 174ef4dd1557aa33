#pragma once

#include "platform/IconProvider.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>

namespace pictomat {

// The groups and keys of an INI-style file (.desktop, .directory, index.theme,
// kdeglobals, settings.ini): group -> key -> value, the first of duplicates
// kept. Values have the desktop-entry escapes (\s \n \t \r \\) undone.
using IniGroups = QHash<QString, QHash<QString, QString>>;
std::optional<IniGroups> ReadIniFile(const QString& path);
std::optional<IniGroups> ReadIniFile(const QByteArray& path);

// The icon-theme folders the desktop looks in, most important first:
// ~/.icons, $XDG_DATA_HOME/icons, each of $XDG_DATA_DIRS + /icons.
QStringList IconThemeSearchPaths();

// The icon theme the desktop's file managers show: the one the user chose,
// else the desktop's own default, in the order the running desktop favours:
// KDE's kdeglobals (Breeze by default; so for Dolphin outside any desktop),
// LXQt's lxqt.conf, GNOME's GSettings key (Adwaita by default), the theme an
// XSettings manager publishes (XFCE, MATE), MATE's GSettings key, XFCE's
// xfconf store, GTK's settings.ini. The GSettings objects it reads are made
// at the first look and kept as long as this: making one subscribes to change
// notices on the session bus, too much to repeat for every icon.
class DesktopIconTheme {
public:
    DesktopIconTheme();
    ~DesktopIconTheme();
    DesktopIconTheme(const DesktopIconTheme&) = delete;
    DesktopIconTheme& operator=(const DesktopIconTheme&) = delete;

    QString detect() const;

private:
    struct Settings;
    std::unique_ptr<Settings> m_settings;
};

// Net/IconThemeName as the XSettings manager of the X display publishes it;
// empty when none runs.
QString XSettingsIconTheme();

// The themes that the freedesktop icon-theme rules describe, resolved once: the user's theme,
// its Inherits chain, Adwaita, hicolor, then the unthemed pixmaps and the
// icons bundled with Pictomat.
class IconThemeSet {
public:
    IconThemeSet(const QString& userTheme, const QStringList& searchPaths, const QString& bundledDir);

    struct Found {
        QString name;            // the icon name that matched
        QVector<IconFile> files; // every size of it in the theme that had it
    };
    // The first theme (in chain order) that has any of the names; within one
    // theme the earlier name wins.
    std::optional<Found> lookup(const QStringList& names) const;

    QStringList chain() const;

private:
    struct Dir {
        QString subdir;
        int pixelSize = 0;
        bool scalable = false;
    };
    // Every icon of a theme by name, from listing its folders; rebuilt when a
    // folder's modification time says something was installed or removed.
    struct Listing {
        qint64 checkedAt = -1;
        QVector<qint64> stamps;
        QHash<QString, QVector<IconFile>> byName;
    };
    struct Theme {
        QString name;
        QStringList inherits;
        QVector<Dir> dirs;
        mutable Listing listing;
    };
    std::optional<Theme> loadTheme(const QString& name) const;
    void addWithParents(const QString& name, int depth);
    QStringList rootsOf(const QString& themeName) const;
    QVector<qint64> stampsOf(const Theme& theme, const QStringList& roots) const;
    const Listing& listingOf(const Theme& theme) const;

    QStringList m_searchPaths;
    QVector<Theme> m_chain;
    QStringList m_flatDirs; // unthemed folders: /usr/share/pixmaps, bundled icons
};

} // namespace pictomat
