#pragma once

// Binary property lists built byte by byte, as no writer would make them:
// structures that cost libplist without bound (deep nesting, an object
// referred to twice at every level, an object holding itself).

#include <QByteArray>
#include <QList>

#include <cstdint>

namespace pictomat::test {

// The file for these objects (each one's bytes, references 3 bytes wide),
// the last object being the root.
inline QByteArray BinaryPlistOf(const QList<QByteArray>& objects)
{
    QByteArray file = "bplist00";
    QList<quint32> offsets;
    for (const QByteArray& object : objects) {
        offsets.append(quint32(file.size()));
        file += object;
    }
    const quint64 table = quint64(file.size());
    for (const quint32 offset : offsets)
        for (int shift = 24; shift >= 0; shift -= 8)
            file += char(offset >> shift);
    file += QByteArray(6, '\0');
    file += char(4); // offset size
    file += char(3); // reference size
    for (const quint64 n : {quint64(objects.size()), quint64(objects.size() - 1), table})
        for (int shift = 56; shift >= 0; shift -= 8)
            file += char(n >> shift);
    return file;
}

inline QByteArray PlistReference(quint32 index)
{
    return QByteArray(1, char(index >> 16)) + char(index >> 8) + char(index);
}

// An array object of up to 14 references.
inline QByteArray PlistArray(const QList<quint32>& refs)
{
    QByteArray object(1, char(0xA0 | refs.size()));
    for (const quint32 ref : refs)
        object += PlistReference(ref);
    return object;
}

// {"A": object 0} as the root after `objects`.
inline QByteArray UnderKeyA(QList<QByteArray> objects)
{
    const quint32 key = quint32(objects.size());
    objects.append(
        "\x51"
        "A");
    objects.append(QByteArray("\xD1") + PlistReference(key) + PlistReference(0));
    return BinaryPlistOf(objects);
}

// `depth` arrays, each holding the next (100,000 make about 800 KB).
inline QByteArray NestedArraysPlist(int depth)
{
    QList<QByteArray> objects;
    for (int i = 0; i < depth; ++i)
        objects.append(PlistArray({quint32(i + 1)}));
    objects.append(PlistArray({}));
    return UnderKeyA(objects);
}

// `levels` arrays, each naming the next one twice: a few hundred bytes that
// unfold into 2^levels values.
inline QByteArray DoublingArraysPlist(int levels)
{
    QList<QByteArray> objects;
    for (int i = 0; i < levels; ++i)
        objects.append(PlistArray({quint32(i + 1), quint32(i + 1)}));
    objects.append("\x09"); // true
    return UnderKeyA(objects);
}

// An array that holds itself.
inline QByteArray SelfHoldingArrayPlist()
{
    return UnderKeyA({PlistArray({0})});
}

} // namespace pictomat::test
