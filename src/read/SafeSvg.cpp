#include "read/SafeSvg.h"

#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace pictomat {

namespace {

constexpr int kDeepestNesting = 256;

// Elements dropped with all they hold: they run code or draw other documents.
bool IsForeign(QStringView name)
{
    static const QStringList kDropped{QStringLiteral("script"), QStringLiteral("foreignObject"),
                                      QStringLiteral("iframe"), QStringLiteral("audio"),
                                      QStringLiteral("video"),  QStringLiteral("handler")};
    return kDropped.contains(name);
}

// A picture embedded as base64 data whose bytes are what its type says, so
// that no SVG (with references of its own) hides behind an image type.
bool IsEmbeddedRaster(QStringView href)
{
    const qsizetype comma = href.indexOf(QLatin1Char(','));
    if (comma < 0)
        return false;
    const QString header = href.left(comma).toString().toLower().remove(QLatin1Char(' '));
    if (!header.startsWith(QLatin1String("data:image/")) || !header.endsWith(QLatin1String(";base64")))
        return false;
    const QByteArray bytes = QByteArray::fromBase64(href.mid(comma + 1).toLatin1());
    return bytes.startsWith("\x89PNG\r\n\x1a\n") || bytes.startsWith("\xFF\xD8\xFF") || bytes.startsWith("GIF8")
           || (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP");
}

QStringView Href(const QXmlStreamAttributes& attributes)
{
    for (const QXmlStreamAttribute& a : attributes) {
        if (a.name() == QLatin1String("href"))
            return a.value();
    }
    return {};
}

} // namespace

std::optional<QByteArray> SelfContainedSvg(const QByteArray& svg)
{
    QXmlStreamReader reader(svg);
    QByteArray out;
    QXmlStreamWriter writer(&out);
    int depth = 0;
    int dropping = 0; // depth inside a dropped element
    bool sawRoot = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (++depth > kDeepestNesting)
                return std::nullopt;
            if (!sawRoot && reader.name() != QLatin1String("svg"))
                return std::nullopt;
            sawRoot = true;
            const QXmlStreamAttributes attributes = reader.attributes();
            const QStringView href = Href(attributes);
            if (dropping > 0 || IsForeign(reader.name())
                || (reader.name() == QLatin1String("image") && !IsEmbeddedRaster(href))) {
                ++dropping;
                break;
            }
            writer.writeStartElement(reader.qualifiedName().toString());
            for (const QXmlStreamNamespaceDeclaration& ns : reader.namespaceDeclarations()) {
                writer.writeAttribute(ns.prefix().isEmpty() ? QStringLiteral("xmlns")
                                                            : QStringLiteral("xmlns:") + ns.prefix().toString(),
                                      ns.namespaceUri().toString());
            }
            for (const QXmlStreamAttribute& a : attributes) {
                // Only references into this document itself stay.
                const bool reference = a.name() == QLatin1String("href") || a.name() == QLatin1String("src");
                if (reference && !a.value().startsWith(QLatin1Char('#')) && reader.name() != QLatin1String("image"))
                    continue;
                writer.writeAttribute(a.qualifiedName().toString(), a.value().toString());
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            if (dropping > 0)
                --dropping;
            else
                writer.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (dropping == 0 && depth > 0) {
                if (reader.isCDATA())
                    writer.writeCDATA(reader.text().toString());
                else
                    writer.writeCharacters(reader.text().toString());
            }
            break;
        default:
            // The document type (and its entities), processing instructions such
            // as style sheets, unresolved entity references and comments go.
            break;
        }
    }
    if (reader.hasError() || !sawRoot)
        return std::nullopt;
    return out;
}

} // namespace pictomat
