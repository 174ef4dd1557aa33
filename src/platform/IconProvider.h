#pragma once

#include "files/FileRef.h"
#include "image/BackgroundBitmap.h"

#include <QIcon>
#include <QImage>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>

namespace pictomat {

class DesktopIconTheme;
class IconThemeSet;

// One picture of an icon: a bitmap of a given edge length, or a scalable
// drawing (whose size is only its nominal one).
struct IconFile {
    QString path;
    int size = 0;
    bool scalable = false;
    // A file of the user's (a custom icon's picture, a launcher's own
    // picture), not of an installed theme: read in the reading worker.
    bool untrusted = false;
};

// The icon the file manager shows for a file or folder: its custom icon, a
// .desktop file's Icon, a special folder's icon, the MIME type's icon then its
// generic icon, else application-x-generic; looked up in the user's icon
// theme, then Adwaita, then hicolor, then the icons bundled with Pictomat.
// It does not depend on the Qt platform plugin: the theme search paths and the
// theme name are found here. The application makes one and hands it down,
// with what it learnt of the themes; a test or a second caller makes its own.
class IconProvider {
public:
    // A resolved icon: either a picture file (custom icon) or a themed icon.
    struct Icon {
        QString source;          // the file the icon was loaded from (best size), for diagnostics
        QIcon icon;              // every size the theme offers, scalable ones included
        QString name;            // the theme icon name it was found under; empty for a picture file
        QVector<IconFile> files; // every picture behind it, which render() chooses from
        bool isNull() const { return icon.isNull() && files.isEmpty(); }
    };

    // The largest edge an icon is drawn at. Beyond it an icon is no longer an
    // icon but a memory exhaustion: a few bitmaps of this size stay well
    // under a gigabyte.
    static constexpr int kLargestRenderEdge = kMaxBitmapEdge;

    // Nothing for the empty reference or a missing item.
    std::optional<Icon> iconFor(const FileRef& item) const;

    // The icon rendered to exactly size x size pixels (premultiplied ARGB),
    // scaled up when the theme has nothing that large and scalable icons drawn
    // at the exact size. Null image when the item has no icon, size <= 0 or
    // past kLargestRenderEdge, or the icon draws nothing.
    static QImage render(const Icon& icon, int size);
    // The same at several sizes, reading the icon's files once; sizes that
    // draw nothing are left out.
    static QMap<int, QImage> render(const Icon& icon, const QList<int>& sizes);

    // Whether the item has an icon to show, found without reading the
    // icon theme: true for every item that exists, as long as the generic
    // icon we ship is there (else the full lookup decides).
    bool hasIcon(const FileRef& item) const;

    // The icon names tried for an item, most specific first (for tests).
    QStringList iconNamesFor(const FileRef& item) const;

    // The user's icon theme name as the desktop configures it.
    QString userThemeName() const;
    // Re-reads the theme settings and search paths (tests change HOME).
    void reset();

    IconProvider();
    ~IconProvider();
    IconProvider(const IconProvider&) = delete;
    IconProvider& operator=(const IconProvider&) = delete;

private:
    void setUp() const;
    std::unique_ptr<DesktopIconTheme> m_desktopTheme;
    mutable bool m_ready = false;
    mutable std::unique_ptr<IconThemeSet> m_themes;
    mutable QString m_themeName;
    mutable qint64 m_themeCheckedAt = 0;
};

} // namespace pictomat
