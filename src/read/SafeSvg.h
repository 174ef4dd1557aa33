#pragma once

#include <QByteArray>

#include <optional>

namespace pictomat {

// An SVG picture from the web rewritten so that drawing it reads nothing but
// itself: references to other files and addresses (an <image> of a local
// picture, a <use> of another document, a style sheet instruction, external
// entities) are dropped, as are scripts and foreign content; pictures embedded
// as PNG, JPEG, GIF or WebP data stay. Nothing when the bytes are not
// well-formed XML or nest deeper than any icon needs.
std::optional<QByteArray> SelfContainedSvg(const QByteArray& svg);

} // namespace pictomat
