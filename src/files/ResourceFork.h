#pragma once

#include "files/FileRef.h"

#include <QByteArray>
#include <QVector>

#include <cstdint>
#include <optional>

namespace pictomat {

// Classic resource forks, as files copied from another desktop keep them on
// Linux: in the AppleDouble file "._NAME" beside the item (entry 2), or in the
// extended attribute "user.com.apple.ResourceFork" or
// "user.org.netatalk.ResourceFork". Every offset and length read from a fork is
// checked against the bytes that hold it: a malformed fork is refused, never
// read past.
namespace ResourceFork {

// A four-character resource type in host order: 'url ' is 0x75726C20.
constexpr uint32_t fourCharCode(const char (&code)[5])
{
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) | (uint32_t(uint8_t(code[2])) << 8)
           | uint32_t(uint8_t(code[3]));
}
constexpr uint32_t kUrlType = fourCharCode("url ");

// Resource forks cannot address more than this; larger holders are not read.
constexpr qsizetype kMaxForkBytes = 32 * 1024 * 1024;

// The resource fork inside an AppleDouble file's bytes: its first entry with
// id 2, when that entry lies inside the file and is not empty.
std::optional<QByteArray> forkFromAppleDouble(const QByteArray& appleDouble);

// The item's resource fork from the first of its holders that has one.
// Nothing when no holder has a non-empty fork.
std::optional<QByteArray> readResourceFork(const FileRef& item);

// The resource map of one fork, checked when it is opened.
class ResourceMap {
public:
    // Nothing when the header, the map, its type list or a reference list
    // does not fit in the fork.
    static std::optional<ResourceMap> open(QByteArray fork);

    // How many resources of the type this map holds (its first entry for the
    // type counts, as the system's own lookup does).
    int count1Resources(uint32_t type) const;
    // The data of the type's index-th resource, counted from 1. Nothing when
    // the index is out of range or the data does not lie inside the fork's
    // data area; an empty array for a resource of length 0.
    std::optional<QByteArray> get1IndResource(uint32_t type, int index) const;

private:
    struct TypeEntry {
        uint32_t type = 0;
        int count = 0;
        qsizetype referenceList = 0; // offset in the fork
    };
    ResourceMap() = default;
    const TypeEntry* findType(uint32_t type) const;

    QByteArray m_fork;
    qsizetype m_dataOffset = 0;
    qsizetype m_dataLength = 0;
    QVector<TypeEntry> m_types;
};

} // namespace ResourceFork

} // namespace pictomat
