#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace pictomat {

// A <link> element of a page's head, its attributes as the parser decoded them.
struct HtmlLink {
    QString rel;
    QString href;
    QString sizes;
    QString type;
    // The tag begins `<link rel="shortcut icon" href="`, letter case aside:
    // the one way of declaring an icon that every browser has always read.
    bool shortcutIconForm = false;
};

// What a page's head declares, found the way a browser builds the head: only
// the elements that belong there count, and the head ends at the first thing
// that does not (a <header>, a <div>, text), whatever its closing tag says.
struct HtmlHead {
    bool found = false; // the page has a head element, written or implied by its content
    QString baseHref;   // the first <base href>, as written; empty when none
    QVector<HtmlLink> links;
};

// Reads a page's head. The bytes are decoded by a byte-order mark, else the
// charset of the Content-Type header, else the charset a <meta> in the head
// declares, else as strict UTF-8 or, failing that, Mac OS Roman. The work
// stops where the head ends; a single tag longer than 64 KiB ends it too,
// since nothing in such a tag is worth its parsing time.
HtmlHead ParseHtmlHead(const QByteArray& body, const QByteArray& contentType = QByteArray());

} // namespace pictomat
