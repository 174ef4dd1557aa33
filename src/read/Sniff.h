#pragma once

#include <QByteArray>

namespace pictomat {

// How many first bytes of a file tell what it holds.
inline constexpr qsizetype kSniffBytes = 1024;

// What a file's bytes hold, as the readers tell it: the one place a file's
// kind is decided, by its first bytes and only then by its name.
enum class Content {
    IconFamily, // an .icns file: its own elements are kept, never redrawn
    Picture,    // a bitmap a decoder of ours or Qt's takes
    Drawing,    // SVG, SVGZ or PDF, drawn at the size wanted
    Unknown,    // none of these by its head: perhaps a movie, which FFmpeg tells
};

struct Sniffed {
    Content content = Content::Unknown;
    QByteArray format; // the Qt format name of a picture or drawing
};

Sniffed SniffContent(const QByteArray& head, const QByteArray& name = {});

// The Qt format name of a picture, by its first bytes and only then by the
// name's extension (for formats without a signature, such as TGA); empty when
// it is none. SVG and PDF count as pictures; .icns icon families do not.
QByteArray SniffPictureFormat(const QByteArray& head, const QByteArray& name = {});

bool IsHeifFormat(const QByteArray& format);
bool IsDrawingFormat(const QByteArray& format);

} // namespace pictomat
