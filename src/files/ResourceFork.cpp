#include "files/ResourceFork.h"

#include "files/FileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace pictomat::ResourceFork {

namespace {

// Big-endian readers that refuse to read outside the bytes.
bool readU16(const QByteArray& bytes, qint64 at, uint32_t* value)
{
    if (at < 0 || at + 2 > bytes.size())
        return false;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData()) + at;
    *value = (uint32_t(p[0]) << 8) | p[1];
    return true;
}

bool readU24(const QByteArray& bytes, qint64 at, uint32_t* value)
{
    if (at < 0 || at + 3 > bytes.size())
        return false;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData()) + at;
    *value = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    return true;
}

bool readU32(const QByteArray& bytes, qint64 at, uint32_t* value)
{
    if (at < 0 || at + 4 > bytes.size())
        return false;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData()) + at;
    *value = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    return true;
}

// Whether [offset, offset + length) lies inside [0, size). 64-bit sums cannot
// overflow for 32-bit fields.
bool fits(qint64 offset, qint64 length, qint64 size)
{
    return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
}

constexpr uint32_t kAppleDoubleMagic = 0x00051607;
constexpr uint32_t kAppleDoubleResourceForkEntry = 2;
constexpr qint64 kAppleDoubleHeaderBytes = 26; // magic, version, filler, entry count
constexpr qint64 kAppleDoubleEntryBytes = 12;  // id, offset, length

constexpr qint64 kForkHeaderBytes = 16;
constexpr qint64 kMapTypeListOffsetField = 24; // after the header copy, next map, ref number, attributes
constexpr qint64 kMapMinimumBytes = 28;
constexpr qint64 kTypeEntryBytes = 8;
constexpr qint64 kReferenceBytes = 12;

std::optional<QByteArray> readAttribute(const QByteArray& path, const char* name, qint64 cap)
{
    // The size may change between the two calls; one retry covers a writer.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ssize_t size = ::getxattr(path.constData(), name, nullptr, 0);
        if (size <= 0 || size > cap)
            return std::nullopt;
        QByteArray value(qsizetype(size), Qt::Uninitialized);
        const ssize_t got = ::getxattr(path.constData(), name, value.data(), size_t(size));
        if (got >= 0) {
            value.truncate(got);
            return value;
        }
        if (errno != ERANGE)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> forkFromAppleDouble(const QByteArray& appleDouble)
{
    uint32_t magic = 0;
    uint32_t entryCount = 0;
    if (!readU32(appleDouble, 0, &magic) || magic != kAppleDoubleMagic || !readU16(appleDouble, 24, &entryCount))
        return std::nullopt;
    for (uint32_t i = 0; i < entryCount; ++i) {
        const qint64 at = kAppleDoubleHeaderBytes + qint64(i) * kAppleDoubleEntryBytes;
        uint32_t id = 0, offset = 0, length = 0;
        if (!readU32(appleDouble, at, &id) || !readU32(appleDouble, at + 4, &offset)
            || !readU32(appleDouble, at + 8, &length))
            return std::nullopt;
        if (id != kAppleDoubleResourceForkEntry)
            continue;
        if (length == 0 || !fits(offset, length, appleDouble.size()))
            return std::nullopt;
        return appleDouble.mid(qsizetype(offset), qsizetype(length));
    }
    return std::nullopt;
}

std::optional<QByteArray> readResourceFork(const FileRef& item)
{
    if (item.isEmpty() || item.name().isEmpty())
        return std::nullopt;
    const FileRef sidecar = item.parent().child("._" + item.name());
    if (const auto file = ReadRegularFile(sidecar.path(), kMaxForkBytes + 64 * 1024)) {
        if (auto fork = forkFromAppleDouble(*file))
            return fork;
    }
    for (const char* name : {"user.com.apple.ResourceFork", "user.org.netatalk.ResourceFork"}) {
        if (auto fork = readAttribute(item.path(), name, kMaxForkBytes))
            return fork;
    }
    return std::nullopt;
}

std::optional<ResourceMap> ResourceMap::open(QByteArray fork)
{
    if (fork.size() > kMaxForkBytes)
        return std::nullopt;
    uint32_t dataOffset = 0, mapOffset = 0, dataLength = 0, mapLength = 0;
    if (!readU32(fork, 0, &dataOffset) || !readU32(fork, 4, &mapOffset) || !readU32(fork, 8, &dataLength)
        || !readU32(fork, 12, &mapLength))
        return std::nullopt;
    const qint64 size = fork.size();
    if (!fits(dataOffset, dataLength, size) || !fits(mapOffset, mapLength, size) || mapLength < kMapMinimumBytes
        || mapOffset < kForkHeaderBytes)
        return std::nullopt;

    // Everything the map names must lie inside the map.
    const QByteArray map = fork.mid(mapOffset, mapLength);
    uint32_t typeListOffset = 0, typesMinusOne = 0;
    if (!readU16(map, kMapTypeListOffsetField, &typeListOffset) || !readU16(map, typeListOffset, &typesMinusOne))
        return std::nullopt;
    // The count is stored less one, so an empty list holds 0xFFFF.
    const int typeCount = typesMinusOne == 0xFFFF ? 0 : int(typesMinusOne) + 1;
    if (!fits(qint64(typeListOffset) + 2, qint64(typeCount) * kTypeEntryBytes, map.size()))
        return std::nullopt;

    ResourceMap result;
    result.m_types.reserve(typeCount);
    for (int i = 0; i < typeCount; ++i) {
        const qint64 at = qint64(typeListOffset) + 2 + qint64(i) * kTypeEntryBytes;
        TypeEntry entry;
        uint32_t countMinusOne = 0, referenceOffset = 0;
        if (!readU32(map, at, &entry.type) || !readU16(map, at + 4, &countMinusOne)
            || !readU16(map, at + 6, &referenceOffset))
            return std::nullopt;
        entry.count = int(countMinusOne) + 1;
        const qint64 list = qint64(typeListOffset) + referenceOffset;
        if (!fits(list, qint64(entry.count) * kReferenceBytes, map.size()))
            return std::nullopt;
        entry.referenceList = qint64(mapOffset) + list;
        result.m_types.append(entry);
    }
    result.m_fork = std::move(fork);
    result.m_dataOffset = dataOffset;
    result.m_dataLength = dataLength;
    return result;
}

const ResourceMap::TypeEntry* ResourceMap::findType(uint32_t type) const
{
    for (const TypeEntry& entry : m_types) {
        if (entry.type == type)
            return &entry;
    }
    return nullptr;
}

int ResourceMap::count1Resources(uint32_t type) const
{
    const TypeEntry* entry = findType(type);
    return entry ? entry->count : 0;
}

std::optional<QByteArray> ResourceMap::get1IndResource(uint32_t type, int index) const
{
    const TypeEntry* entry = findType(type);
    if (!entry || index < 1 || index > entry->count)
        return std::nullopt;
    const qint64 reference = entry->referenceList + qint64(index - 1) * kReferenceBytes;
    // id (2), name offset (2), attributes (1), data offset (3), handle (4)
    uint32_t offsetInData = 0;
    if (!readU24(m_fork, reference + 5, &offsetInData))
        return std::nullopt;
    uint32_t length = 0;
    if (!fits(offsetInData, 4, m_dataLength) || !readU32(m_fork, m_dataOffset + offsetInData, &length)
        || !fits(qint64(offsetInData) + 4, length, m_dataLength))
        return std::nullopt;
    return m_fork.mid(m_dataOffset + offsetInData + 4, qsizetype(length));
}

} // namespace pictomat::ResourceFork
