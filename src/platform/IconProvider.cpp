#include "platform/IconProvider.h"

#include "files/FileIO.h"
#include "files/GObjectPtr.h"
#include "files/Paths.h"
#include "read/Drawing.h"
#include "read/PictureFile.h"
#include "platform/IconTheme.h"
#include "platform/IconThemeEngine.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeDatabase>

#include <gio/gio.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace pictomat {

namespace {

// One step of the icon search: a picture file, or theme names tried together.
struct Tier {
    QByteArray picture;
    QStringList names;
};

struct CustomIconMetadata {
    QByteArray picture; // metadata::custom-icon
    QString name;       // metadata::custom-icon-name
};

// What the file manager recorded for the item. Without a session bus or the
// GVfs metadata store the query simply has no metadata, which means "none".
CustomIconMetadata customIconMetadata(const FileRef& item)
{
    CustomIconMetadata result;
    GObjectPtr<GFile> file(g_file_new_for_path(item.c_path()));
    GError* error = nullptr;
    GObjectPtr<GFileInfo> info(g_file_query_info(file.get(), "metadata::custom-icon,metadata::custom-icon-name",
                                                 G_FILE_QUERY_INFO_NONE, nullptr, &error));
    if (!info) {
        g_clear_error(&error);
        return result;
    }
    if (const char* value = g_file_info_get_attribute_string(info.get(), "metadata::custom-icon"))
        result.picture = QByteArray(value);
    if (const char* value = g_file_info_get_attribute_string(info.get(), "metadata::custom-icon-name"))
        result.name = QString::fromUtf8(value);
    return result;
}

// A picture reference as file managers store it: a file:// URI, an absolute
// path, or a path relative to the item's folder.
QByteArray picturePath(const QByteArray& value, const FileRef& item)
{
    if (value.startsWith("file:"))
        return FileRef::fromUri(value).path();
    if (value.startsWith('/'))
        return value;
    if (value.contains("://"))
        return {};
    return item.parent().child(value).path();
}

// Icon= of a desktop entry: an absolute picture path or a theme name, which
// old entries still write with an extension.
Tier tierFromIconKey(const QString& value, const FileRef& item)
{
    Tier tier;
    if (value.isEmpty())
        return tier;
    if (value.startsWith('/') || value.startsWith(QLatin1String("file:"))) {
        tier.picture = picturePath(QFile::encodeName(value), item);
        return tier;
    }
    QString name = value;
    for (const char* ext : {".png", ".svg", ".svgz", ".xpm"}) {
        if (name.endsWith(QLatin1String(ext), Qt::CaseInsensitive)) {
            name.chop(qstrlen(ext));
            break;
        }
    }
    tier.names << name;
    return tier;
}

QString desktopEntryIcon(const QByteArray& path)
{
    const std::optional<IniGroups> ini = ReadIniFile(path);
    if (!ini)
        return {};
    return ini->value(QStringLiteral("Desktop Entry")).value(QStringLiteral("Icon")).trimmed();
}

QByteArray canonical(const QByteArray& path)
{
    if (path.isEmpty())
        return {};
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return {};
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

QByteArray unquoteUserDir(QByteArray value, const QByteArray& home)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.mid(1, value.size() - 2);
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size())
            ++i;
        out += value[i];
    }
    if (out.startsWith("$HOME"))
        out = home + out.mid(5);
    return out;
}

// Home and the XDG user folders carry their own icons, as in the file manager.
QString specialFolderIcon(const QByteArray& itemCanonical)
{
    const QByteArray home = qgetenv("HOME");
    const QByteArray homeCanonical = canonical(home);
    if (!homeCanonical.isEmpty() && itemCanonical == homeCanonical)
        return QStringLiteral("user-home");
    QFile dirs(XdgConfigHome() + QStringLiteral("/user-dirs.dirs"));
    if (!QFileInfo(dirs).isFile() || !dirs.open(QIODevice::ReadOnly))
        return {};
    static const QList<QPair<QByteArray, QString>> kinds = {
        {"DESKTOP", QStringLiteral("user-desktop")},       {"DOCUMENTS", QStringLiteral("folder-documents")},
        {"DOWNLOAD", QStringLiteral("folder-download")},   {"MUSIC", QStringLiteral("folder-music")},
        {"PICTURES", QStringLiteral("folder-pictures")},   {"PUBLICSHARE", QStringLiteral("folder-publicshare")},
        {"TEMPLATES", QStringLiteral("folder-templates")}, {"VIDEOS", QStringLiteral("folder-videos")},
    };
    for (const QByteArray& raw : dirs.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith("XDG_"))
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0 || !line.left(eq).endsWith("_DIR"))
            continue;
        const QByteArray kind = line.mid(4, eq - 4 - 4);
        const QByteArray dir = canonical(unquoteUserDir(line.mid(eq + 1), home));
        // A user folder set to home itself means "not used".
        if (dir.isEmpty() || dir == homeCanonical || dir != itemCanonical)
            continue;
        for (const auto& [key, icon] : kinds) {
            if (key == kind)
                return icon;
        }
    }
    return {};
}

QMimeType mimeTypeOf(const FileRef& item, const struct stat& st)
{
    QMimeDatabase db;
    const QString name = QFile::decodeName(item.name());
    if (S_ISDIR(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/directory"));
    if (S_ISLNK(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/symlink"));
    if (S_ISFIFO(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/fifo"));
    if (S_ISSOCK(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/socket"));
    if (S_ISCHR(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/chardevice"));
    if (S_ISBLK(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/blockdevice"));
    // Sniff through our own descriptor so that names that are not valid UTF-8
    // still reach their contents; never block on what is not a plain file.
    if (const std::unique_ptr<QFile> file = OpenFileForReading(item))
        return db.mimeTypeForFileNameAndData(name, file.get());
    return db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
}

// The steps of the search for an existing item, most specific first.
QVector<Tier> tiersFor(const FileRef& item, const struct stat& st)
{
    QVector<Tier> tiers;
    const CustomIconMetadata custom = customIconMetadata(item);
    if (!custom.picture.isEmpty())
        tiers.append(Tier{picturePath(custom.picture, item), {}});
    if (!custom.name.isEmpty())
        tiers.append(Tier{{}, {custom.name}});
    const bool isDir = S_ISDIR(st.st_mode);
    if (isDir) {
        const FileRef entry = item.child(".directory");
        if (entry.isRegularFile())
            tiers.append(tierFromIconKey(desktopEntryIcon(entry.path()), item));
    } else if (S_ISREG(st.st_mode) && item.name().endsWith(".desktop")) {
        tiers.append(tierFromIconKey(desktopEntryIcon(item.path()), item));
    }
    if (isDir) {
        Tier folders;
        const QString special = specialFolderIcon(canonical(item.path()));
        if (!special.isEmpty())
            folders.names << special;
        folders.names << QStringLiteral("folder");
        tiers.append(folders);
    }
    const QMimeType mime = mimeTypeOf(item, st);
    Tier byType;
    if (mime.isValid()) {
        byType.names << mime.iconName();
        if (!byType.names.contains(mime.genericIconName()))
            byType.names << mime.genericIconName();
    }
    tiers.append(byType);
    tiers.append(Tier{{}, {QStringLiteral("application-x-generic")}});
    tiers.removeIf([](const Tier& t) { return t.picture.isEmpty() && t.names.isEmpty(); });
    return tiers;
}

std::optional<IconProvider::Icon> pictureIcon(const QByteArray& path)
{
    // Only a plain file with contents that is a picture by its bytes: a FIFO
    // would block the reader, and files under /proc claim to be empty while
    // some never end.
    const std::unique_ptr<QFile> device = OpenFileForReading(FileRef(path));
    if (!device || device->size() <= 0)
        return std::nullopt;
    const QByteArray format = SniffPictureFormat(device->peek(1024), path);
    if (format.isEmpty())
        return std::nullopt;
    const QString file = QFile::decodeName(path);
    IconProvider::Icon icon;
    icon.source = file;
    IconFile f;
    f.path = file;
    f.scalable = IsDrawingFormat(format); // an SVG or a PDF page, drawn at each size
    // Its size is not read here: even a header goes to a decoder, and only
    // the worker decodes what a user's file holds.
    f.untrusted = true;
    icon.files.append(f);
    icon.icon = MakeFileSetIcon(icon.files);
    return icon;
}

IconProvider::Icon themedIcon(const IconThemeSet::Found& found)
{
    IconProvider::Icon icon;
    icon.name = found.name;
    icon.files = found.files;
    const IconFile* best = nullptr;
    for (const IconFile& f : found.files) {
        if (!best || (f.scalable && !best->scalable) || (f.scalable == best->scalable && f.size > best->size))
            best = &f;
    }
    icon.source = best ? best->path : QString();
    icon.icon = MakeFileSetIcon(icon.files);
    return icon;
}

} // namespace

IconProvider::IconProvider() : m_desktopTheme(std::make_unique<DesktopIconTheme>()) { }
IconProvider::~IconProvider() = default;

QString IconProvider::userThemeName() const
{
    return m_desktopTheme->detect();
}

void IconProvider::reset()
{
    m_ready = false;
    m_themes.reset();
    m_themeName.clear();
}

void IconProvider::setUp() const
{
    // The desktop's theme can change while we run, so it is asked again, but
    // not for every item of a long selection; the rest stays until reset().
    constexpr qint64 kRecheckMs = 1000;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_ready && now >= m_themeCheckedAt && now - m_themeCheckedAt < kRecheckMs)
        return;
    const QString theme = userThemeName();
    m_themeCheckedAt = now;
    if (m_ready && theme == m_themeName)
        return;
    const QStringList paths = IconThemeSearchPaths();
    m_themes = std::make_unique<IconThemeSet>(theme, paths, DataDirectory() + QStringLiteral("/icons"));
    m_themeName = theme;
    // Menus and other widgets that ask QIcon for theme icons find the same
    // theme, whatever the Qt platform plugin would have guessed.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(theme);
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    }
    m_ready = true;
}

QStringList IconProvider::iconNamesFor(const FileRef& item) const
{
    struct stat st;
    if (item.isEmpty() || ::lstat(item.c_path(), &st) != 0)
        return {};
    // Links show the icon of what they point at; a dangling one its own.
    struct stat target;
    if (S_ISLNK(st.st_mode) && ::stat(item.c_path(), &target) == 0)
        st = target;
    QStringList names;
    for (const Tier& tier : tiersFor(item, st))
        names += tier.names;
    names.removeDuplicates();
    return names;
}

std::optional<IconProvider::Icon> IconProvider::iconFor(const FileRef& item) const
{
    struct stat st;
    if (item.isEmpty() || ::lstat(item.c_path(), &st) != 0)
        return std::nullopt;
    struct stat target;
    if (S_ISLNK(st.st_mode) && ::stat(item.c_path(), &target) == 0)
        st = target;
    setUp();
    for (const Tier& tier : tiersFor(item, st)) {
        if (!tier.picture.isEmpty()) {
            if (std::optional<Icon> icon = pictureIcon(tier.picture))
                return icon;
            continue;
        }
        if (std::optional<IconThemeSet::Found> found = m_themes->lookup(tier.names))
            return themedIcon(*found);
    }
    return std::nullopt;
}

QImage IconProvider::render(const Icon& icon, int size)
{
    if (size <= 0 || size > kLargestRenderEdge || icon.isNull())
        return {};
    if (!icon.files.isEmpty())
        return RenderIconFiles(icon.files, size);
    // An icon made elsewhere from a QIcon alone; its pixmaps need the GUI.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    QSize best;
    for (const QSize& s : icon.icon.availableSizes()) {
        if (!best.isValid() || (best.width() < size && s.width() > best.width())
            || (s.width() >= size && s.width() < best.width()))
            best = s;
    }
    const QImage picture = icon.icon.pixmap(best.isValid() ? best : QSize(size, size)).toImage();
    QImage out(size, size, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull() || out.isNull())
        return {};
    out.fill(Qt::transparent);
    DrawFitted(out, picture.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    return out;
}

QMap<int, QImage> IconProvider::render(const Icon& icon, const QList<int>& sizes)
{
    QMap<int, QImage> pictures;
    int largest = 0;
    for (int size : sizes) {
        if (size > 0 && size <= kLargestRenderEdge)
            largest = std::max(largest, size);
    }
    if (largest == 0 || icon.isNull())
        return pictures;
    if (icon.files.isEmpty()) {
        for (int size : sizes) {
            QImage picture = render(icon, size);
            if (!picture.isNull())
                pictures.insert(size, picture);
        }
        return pictures;
    }
    IconFileRenderer renderer(icon.files, largest);
    for (int size : sizes) {
        if (size <= 0 || size > kLargestRenderEdge)
            continue;
        QImage picture = renderer.render(size);
        if (!picture.isNull())
            pictures.insert(size, picture);
    }
    if (renderer.refusedForCost())
        return {};
    return pictures;
}

bool IconProvider::hasIcon(const FileRef& item) const
{
    struct stat st;
    if (item.isEmpty() || ::lstat(item.c_path(), &st) != 0)
        return false;
    // Every item that exists ends at the generic icon, which we ship.
    const QByteArray generic = QFile::encodeName(DataDirectory() + QStringLiteral("/icons/application-x-generic.svg"));
    struct stat shipped;
    if (::stat(generic.constData(), &shipped) == 0 && S_ISREG(shipped.st_mode))
        return true;
    return iconFor(item).has_value();
}

} // namespace pictomat
