#include "output/StringUtils.h"

namespace pictomat {

namespace {
// The path buffer holds 4098 bytes, its terminating zero included.
constexpr qsizetype kPathBufferBytes = 4098;
} // namespace

std::optional<QString> stringWithFSRef(const FileRef* item)
{
    if (!item || item->isEmpty())
        return std::nullopt;
    const QByteArray& path = item->path();
    if (path.size() + 1 > kPathBufferBytes)
        return std::nullopt;
    // Text made from bytes that are not UTF-8 would name another file; such
    // an item has no text path, and file-system calls take its FileRef.
    if (!path.isValidUtf8())
        return std::nullopt;
    return QString::fromUtf8(path);
}

std::optional<QString> extractBetweenPattern(const QString& text, const QString& start, const QString& end)
{
    // An empty pattern is never found (indexOf would report it at the start).
    if (start.isEmpty() || end.isEmpty())
        return std::nullopt;
    const qsizetype startAt = text.indexOf(start, 0, Qt::CaseInsensitive);
    if (startAt < 0)
        return std::nullopt;
    const qsizetype cutBegin = startAt + start.size();
    const qsizetype endAt = text.indexOf(end, cutBegin, Qt::CaseInsensitive);
    if (endAt < 0)
        return std::nullopt;
    // mid() of an empty range is an empty, non-null string: a success.
    QString piece = text.mid(cutBegin, endAt - cutBegin);
    if (piece.isNull())
        piece = QLatin1String("");
    return piece;
}

} // namespace pictomat
