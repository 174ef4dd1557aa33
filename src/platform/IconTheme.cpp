#include "platform/IconTheme.h"

#include "files/FileIO.h"

#include "files/Paths.h"
#include "read/PictureFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <memory>

namespace pictomat {

namespace {

QString homeDir()
{
    const QString home = qEnvironmentVariable("HOME");
    return home.isEmpty() ? QDir::homePath() : home;
}

QString unescapeDesktopValue(const QString& value)
{
    if (!value.contains('\\'))
        return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default:
            out += '\\';
            out += next;
            break;
        }
    }
    return out;
}

const char* const kExtensions[] = {".png", ".svg", ".svgz", ".xpm"};

bool isScalableFile(const QString& path)
{
    return path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)
           || path.endsWith(QLatin1String(".svgz"), Qt::CaseInsensitive);
}

} // namespace

std::optional<IniGroups> ReadIniFile(const QString& path)
{
    return ReadIniFile(QFile::encodeName(path));
}

std::optional<IniGroups> ReadIniFile(const QByteArray& path)
{
    // Only plain files, and not without end: a FIFO or a device named like a
    // settings file must not block or exhaust us.
    constexpr qint64 kLargestIniFile = 4 * 1024 * 1024;
    const std::optional<QByteArray> contents = ReadRegularFile(path, kLargestIniFile);
    if (!contents)
        return std::nullopt;
    const QByteArray& text = *contents;
    IniGroups groups;
    QString group;
    for (const QByteArray& raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        QHash<QString, QString>& keys = groups[group];
        if (!keys.contains(key))
            keys.insert(key, unescapeDesktopValue(line.mid(eq + 1).trimmed()));
    }
    return groups;
}

QStringList IconThemeSearchPaths()
{
    QStringList paths;
    paths << homeDir() + QStringLiteral("/.icons");
    paths << XdgDataHome() + QStringLiteral("/icons");
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dataDirs.split(':', Qt::SkipEmptyParts)) {
        if (dir.startsWith('/'))
            paths << QDir::cleanPath(dir) + QStringLiteral("/icons");
    }
    paths.removeDuplicates();
    return paths;
}

IconThemeSet::IconThemeSet(const QString& userTheme, const QStringList& searchPaths, const QString& bundledDir)
    : m_searchPaths(searchPaths)
{
    if (!userTheme.isEmpty())
        addWithParents(userTheme, 0);
    addWithParents(QStringLiteral("Adwaita"), 0);
    addWithParents(QStringLiteral("hicolor"), 0);
    // hicolor is the last theme of every chain, whatever the themes inherit.
    for (qsizetype i = 0; i < m_chain.size(); ++i) {
        if (m_chain[i].name == QLatin1String("hicolor") && i + 1 < m_chain.size()) {
            m_chain.append(m_chain.takeAt(i));
            break;
        }
    }
    // Unthemed icons of older applications, then our own.
    m_flatDirs << QStringLiteral("/usr/share/pixmaps");
    if (!bundledDir.isEmpty())
        m_flatDirs << bundledDir;
}

QStringList IconThemeSet::chain() const
{
    QStringList names;
    for (const Theme& t : m_chain)
        names << t.name;
    return names;
}

void IconThemeSet::addWithParents(const QString& name, int depth)
{
    // Themes that inherit in a circle, or absurdly deep, stop here.
    if (depth > 16 || name.isEmpty() || name.contains('/') || name == QLatin1String("..") || name == QLatin1String("."))
        return;
    for (const Theme& t : m_chain) {
        if (t.name == name)
            return;
    }
    std::optional<Theme> theme = loadTheme(name);
    if (!theme)
        return;
    const QStringList parents = theme->inherits;
    m_chain.append(std::move(*theme));
    for (const QString& parent : parents)
        addWithParents(parent.trimmed(), depth + 1);
}

std::optional<IconThemeSet::Theme> IconThemeSet::loadTheme(const QString& name) const
{
    Theme theme;
    theme.name = name;
    std::optional<IniGroups> index;
    for (const QString& root : rootsOf(name)) {
        index = ReadIniFile(root + QStringLiteral("/index.theme"));
        if (index)
            break;
    }
    if (!index)
        return std::nullopt;
    const QHash<QString, QString> head = index->value(QStringLiteral("Icon Theme"));
    theme.inherits = head.value(QStringLiteral("Inherits")).split(',', Qt::SkipEmptyParts);
    QStringList subdirs = head.value(QStringLiteral("Directories")).split(',', Qt::SkipEmptyParts);
    subdirs += head.value(QStringLiteral("ScaledDirectories")).split(',', Qt::SkipEmptyParts);
    QSet<QString> seen;
    for (QString subdir : subdirs) {
        subdir = subdir.trimmed();
        if (subdir.isEmpty() || seen.contains(subdir) || subdir.contains(QLatin1String("..")))
            continue;
        seen.insert(subdir);
        const QHash<QString, QString> keys = index->value(subdir);
        bool sizeOk = false;
        const int size = keys.value(QStringLiteral("Size")).toInt(&sizeOk);
        if (!sizeOk || size <= 0)
            continue;
        bool scaleOk = false;
        int scale = keys.value(QStringLiteral("Scale")).toInt(&scaleOk);
        if (!scaleOk || scale <= 0)
            scale = 1;
        Dir dir;
        dir.subdir = subdir;
        dir.pixelSize = size * scale;
        dir.scalable = keys.value(QStringLiteral("Type")).compare(QLatin1String("Scalable"), Qt::CaseInsensitive) == 0;
        theme.dirs.append(dir);
    }
    return theme;
}

QStringList IconThemeSet::rootsOf(const QString& themeName) const
{
    // Looked up every time: an application installed while we run puts its
    // icons into a theme folder that may not have existed at start.
    QStringList roots;
    for (const QString& base : m_searchPaths) {
        const QString root = base + '/' + themeName;
        if (QFileInfo(root).isDir())
            roots << root;
    }
    return roots;
}

QVector<qint64> IconThemeSet::stampsOf(const Theme& theme, const QStringList& roots) const
{
    QVector<qint64> stamps;
    for (const QString& root : roots) {
        stamps << qHash(root);
        for (const Dir& dir : theme.dirs) {
            struct stat st;
            const QByteArray path = QFile::encodeName(root + '/' + dir.subdir);
            stamps << (::stat(path.constData(), &st) == 0 ? qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec
                                                          : -1);
        }
    }
    return stamps;
}

const IconThemeSet::Listing& IconThemeSet::listingOf(const Theme& theme) const
{
    // Checked at most this often, as desktops do: icons installed while we
    // run show up soon, without a scan of the theme at every lookup.
    constexpr qint64 kRecheckMs = 3000;
    Listing& listing = theme.listing;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (listing.checkedAt >= 0 && now - listing.checkedAt < kRecheckMs && now >= listing.checkedAt)
        return listing;
    const QStringList roots = rootsOf(theme.name);
    QVector<qint64> stamps = stampsOf(theme, roots);
    listing.checkedAt = now;
    if (stamps == listing.stamps && !listing.stamps.isEmpty())
        return listing;
    listing.stamps = std::move(stamps);
    listing.byName.clear();
    for (const Dir& dir : theme.dirs) {
        // name -> (extension rank, path); a folder of the same theme in a more
        // important search path hides the same folder further down.
        QHash<QString, QPair<int, QString>> inDir;
        for (const QString& root : roots) {
            const QString folder = root + '/' + dir.subdir;
            QDir qdir(folder);
            const QStringList entries = qdir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
            for (const QString& entry : entries) {
                for (int rank = 0; rank < int(std::size(kExtensions)); ++rank) {
                    const QLatin1String ext(kExtensions[rank]);
                    if (!entry.endsWith(ext))
                        continue;
                    const QString name = entry.left(entry.size() - ext.size());
                    auto it = inDir.find(name);
                    if (it == inDir.end())
                        inDir.insert(name, {rank + 100 * int(roots.indexOf(root)), folder + '/' + entry});
                    else if (rank + 100 * int(roots.indexOf(root)) < it->first)
                        *it = {rank + 100 * int(roots.indexOf(root)), folder + '/' + entry};
                    break;
                }
            }
        }
        for (auto it = inDir.cbegin(); it != inDir.cend(); ++it) {
            IconFile f;
            f.path = it->second;
            f.size = dir.pixelSize;
            f.scalable = isScalableFile(f.path);
            listing.byName[it.key()].append(f);
        }
    }
    return listing;
}

std::optional<IconThemeSet::Found> IconThemeSet::lookup(const QStringList& names) const
{
    QStringList usable;
    for (const QString& name : names) {
        if (!name.isEmpty() && !name.contains('/') && !name.startsWith('.'))
            usable << name;
    }
    for (const Theme& theme : m_chain) {
        const Listing& listing = listingOf(theme);
        for (const QString& name : usable) {
            const auto it = listing.byName.constFind(name);
            if (it != listing.byName.cend() && !it->isEmpty())
                return Found{name, *it};
        }
    }
    for (const QString& dir : m_flatDirs) {
        for (const QString& name : usable) {
            for (const char* ext : kExtensions) {
                const QString path = dir + '/' + name + QLatin1String(ext);
                if (!QFileInfo(path).isFile())
                    continue;
                IconFile f;
                f.path = path;
                f.scalable = isScalableFile(path);
                // A loose picture's size is whatever it holds.
                const QSize size = PictureFileSize(QFile::encodeName(path));
                f.size = size.isValid() ? qMax(size.width(), size.height()) : 0;
                return Found{name, {f}};
            }
        }
    }
    return std::nullopt;
}

} // namespace pictomat
