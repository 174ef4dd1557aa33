#pragma once

#include "web/HtmlHead.h"

#include <QByteArray>
#include <QImage>
#include <QUrl>
#include <QVector>

namespace pictomat {

// The addresses to try for a site's icon, best first, as a browser finds
// them. A link written `<link rel="shortcut icon" href="...">` comes first,
// as it always has; then the declared icons (rel "icon" among its words, or
// "apple-touch-icon"): SVG pictures (sizes "any" or type image/svg+xml), then
// by their largest declared size, an apple-touch-icon without sizes counting
// as 180, ties kept in document order; last the page origin's /favicon.ico.
// References resolve against the head's <base href> and the address the page
// was finally served from; only http and https addresses are kept.
QVector<QUrl> SiteIconAddresses(const HtmlHead& head, const QUrl& pageAddress);

// The picture in downloaded bytes, in any format the image layer decodes: the
// largest image of an icon file with several, an SVG drawn without its
// external references at the largest size a custom icon keeps. A null image
// when the bytes hold no picture.
QImage DecodeShortcutIconPicture(const QByteArray& bytes);

} // namespace pictomat
