#include "web/HtmlHead.h"

#include "files/MacRoman.h"
#include "files/SharedLibrary.h"
#include "web/WebLibraries.h"

#include <QStringDecoder>

#include <libxml/HTMLparser.h>

#include <memory>
#include <optional>

namespace pictomat {

namespace {

constexpr qsizetype kFeedBytes = 16 * 1024;
// libxml2 checks a tag's attributes against each other, which takes time
// growing with the square of their number; a tag this long is given up.
constexpr qsizetype kLongestTag = 64 * 1024;
// Elements nest this deep inside a head only on pages made to be slow.
constexpr int kDeepestInHead = 64;
const char kShortcutIconForm[] = "<link rel=\"shortcut icon\" href=\"";

QByteArray Latin(const xmlChar* text)
{
    return QByteArray(reinterpret_cast<const char*>(text));
}

QString Text(const xmlChar* text)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(text));
}

// Elements a browser keeps in the head; any other start tag begins the body.
bool BelongsInHead(const QByteArray& tag)
{
    static const QByteArrayList kHeadElements{"base",     "basefont", "bgsound", "link",     "meta", "noframes",
                                              "noscript", "script",   "style",   "template", "title"};
    return kHeadElements.contains(tag);
}

// The value after "charset=" in a Content-Type header or a meta content
// attribute, unquoted; empty when there is none.
QByteArray CharsetParameter(const QByteArray& value)
{
    const QByteArray lower = value.toLower();
    qsizetype at = 0;
    while ((at = lower.indexOf("charset", at)) >= 0) {
        qsizetype i = at + 7;
        while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t'))
            ++i;
        if (i >= lower.size() || lower[i] != '=') {
            at = i;
            continue;
        }
        ++i;
        while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t'))
            ++i;
        if (i < lower.size() && (lower[i] == '"' || lower[i] == '\'')) {
            const qsizetype close = lower.indexOf(lower[i], i + 1);
            return close < 0 ? QByteArray() : lower.mid(i + 1, close - i - 1).trimmed();
        }
        qsizetype end = i;
        while (end < lower.size() && lower[end] != ';' && lower[end] != ' ' && lower[end] != '\t')
            ++end;
        return lower.mid(i, end - i);
    }
    return QByteArray();
}

// The decoder for a declared charset, with the labels browsers treat as
// another encoding mapped first; nothing for a label no decoder knows.
std::optional<QStringDecoder> DecoderFor(QByteArray label, bool fromMeta)
{
    label = label.trimmed().toLower();
    static const QByteArrayList kWindows1252{"iso-8859-1", "iso8859-1",    "iso_8859-1",    "latin1", "l1",
                                             "ascii",      "us-ascii",     "cp1252",        "cp819",  "ibm819",
                                             "x-cp1252",   "windows-1252", "x-user-defined"};
    if (label.isEmpty())
        return std::nullopt;
    if (kWindows1252.contains(label))
        label = "windows-1252";
    else if (label == "gb2312" || label == "x-gbk" || label == "chinese")
        label = "gbk";
    // A page read far enough to find its meta is not UTF-16, whatever it says.
    if (fromMeta && label.startsWith("utf-16"))
        label = "utf-8";
    QStringDecoder decoder(label.constData());
    if (!decoder.isValid())
        return std::nullopt;
    return decoder;
}

// libxml2 is opened with the first page read.
struct XmlLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_XML2_FUNCTIONS)
};

struct Scan {
    const XmlLibrary* lib = nullptr;
    htmlParserCtxtPtr context = nullptr;
    enum { BeforeHead, InHead, AfterHead, Done } state = BeforeHead;
    int depth = 0; // elements open inside a head element
    HtmlHead head;
    QByteArray charset;
};

void Finish(Scan& scan)
{
    scan.state = Scan::Done;
    scan.lib->xmlStopParser(scan.context);
}

const xmlChar* Attribute(const xmlChar** attributes, const char* name)
{
    for (const xmlChar** a = attributes; a && a[0]; a += 2) {
        if (Latin(a[0]) == name)
            return a[1] ? a[1] : reinterpret_cast<const xmlChar*>("");
    }
    return nullptr;
}

// The parser stands at the end of the start tag it reports; its text begins
// at the last "<link" before that point.
bool WrittenInShortcutIconForm(const Scan& scan)
{
    const xmlParserInputPtr input = scan.context->input;
    if (!input || !input->base || !input->cur)
        return false;
    const char* begin = reinterpret_cast<const char*>(input->base);
    const char* end = reinterpret_cast<const char*>(input->cur);
    const qsizetype formLength = qsizetype(sizeof kShortcutIconForm) - 1;
    for (const char* p = end - 5; p >= begin && end - p <= kLongestTag; --p) {
        if (*p == '<' && qstrnicmp(p + 1, "link", 4) == 0)
            return end - p >= formLength && qstrnicmp(p, kShortcutIconForm, formLength) == 0;
    }
    return false;
}

void Record(Scan& scan, const QByteArray& tag, const xmlChar** attributes)
{
    if (tag == "link") {
        const auto value = [&](const char* name) {
            const xmlChar* v = Attribute(attributes, name);
            return v ? Text(v) : QString();
        };
        scan.head.links.append(
            {value("rel"), value("href"), value("sizes"), value("type"), WrittenInShortcutIconForm(scan)});
    } else if (tag == "base" && scan.head.baseHref.isEmpty()) {
        if (const xmlChar* href = Attribute(attributes, "href"))
            scan.head.baseHref = Text(href);
    } else if (tag == "meta" && scan.charset.isEmpty()) {
        if (const xmlChar* charset = Attribute(attributes, "charset")) {
            scan.charset = Latin(charset);
        } else {
            const xmlChar* equiv = Attribute(attributes, "http-equiv");
            const xmlChar* content = Attribute(attributes, "content");
            if (equiv && content && Latin(equiv).trimmed().toLower() == "content-type")
                scan.charset = CharsetParameter(Latin(content));
        }
    }
}

void OnStart(void* data, const xmlChar* name, const xmlChar** attributes)
{
    Scan& scan = *static_cast<Scan*>(data);
    const QByteArray tag = Latin(name);
    if (scan.state == Scan::Done)
        return;
    if (scan.state == Scan::BeforeHead) {
        if (tag == "head") {
            scan.state = Scan::InHead;
            scan.head.found = true;
        } else if (tag != "html") {
            Finish(scan); // the parser began a body: this page has no head
        }
        return;
    }
    if (scan.depth > 0) {
        // Inside a title, script, noscript or template: not the head's own.
        if (++scan.depth > kDeepestInHead)
            Finish(scan);
        return;
    }
    if (!BelongsInHead(tag))
        return Finish(scan);
    ++scan.depth;
    Record(scan, tag, attributes);
}

void OnEnd(void* data, const xmlChar* name)
{
    Scan& scan = *static_cast<Scan*>(data);
    if (scan.state == Scan::Done)
        return;
    if (scan.depth > 0)
        --scan.depth;
    else if (scan.state == Scan::InHead && Latin(name) == "head")
        scan.state = Scan::AfterHead; // head elements may still follow until the body begins
}

void OnText(void* data, const xmlChar* text, int length)
{
    Scan& scan = *static_cast<Scan*>(data);
    if (scan.state == Scan::Done || scan.state == Scan::BeforeHead || scan.depth > 0)
        return;
    for (int i = 0; i < length; ++i) {
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\n' && text[i] != '\r' && text[i] != '\f')
            return Finish(scan);
    }
}

struct ContextDeleter {
    const XmlLibrary* lib;
    void operator()(htmlParserCtxt* context) const { lib->htmlFreeParserCtxt(context); }
};

// Nothing found, too, when libxml2 cannot be opened.
Scan ScanHead(const QByteArray& utf8)
{
    Scan scan;
    scan.lib = LoadLibrary<XmlLibrary>(PICTOMAT_LIBRARY_XML2);
    if (!scan.lib)
        return scan;
    const XmlLibrary& lib = *scan.lib;
    htmlSAXHandler handler{};
    handler.startElement = OnStart;
    handler.endElement = OnEnd;
    handler.characters = OnText;
    handler.ignorableWhitespace = OnText;
    const std::unique_ptr<htmlParserCtxt, ContextDeleter> context(
        lib.htmlCreatePushParserCtxt(&handler, &scan, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8), {&lib});
    if (!context)
        return scan;
    scan.context = context.get();
    lib.htmlCtxtUseOptions(context.get(), HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING
                                              | HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC);
    for (qsizetype offset = 0; offset < utf8.size(); offset += kFeedBytes) {
        const qsizetype length = std::min(kFeedBytes, utf8.size() - offset);
        lib.htmlParseChunk(context.get(), utf8.constData() + offset, int(length), 0);
        if (scan.state == Scan::Done)
            return scan;
        const xmlParserInputPtr input = context->input;
        if (input && input->cur && input->end - input->cur > kLongestTag && input->cur[0] == '<'
            && ((input->cur[1] | 0x20) >= 'a' && (input->cur[1] | 0x20) <= 'z'))
            return scan; // waiting for the end of a tag too long to be worth parsing
    }
    lib.htmlParseChunk(context.get(), nullptr, 0, 1);
    return scan;
}

// Strict UTF-8 first; Mac OS Roman decodes any bytes, so a page always has text.
QString DecodeUndeclared(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return decodeMacRoman(bytes);
}

} // namespace

HtmlHead ParseHtmlHead(const QByteArray& body, const QByteArray& contentType)
{
    std::optional<QStringDecoder> decoder;
    if (body.startsWith("\xEF\xBB\xBF")) {
        decoder.emplace(QStringDecoder::Utf8);
    } else if (body.startsWith("\xFE\xFF")) {
        decoder.emplace(QStringDecoder::Utf16BE);
    } else if (body.startsWith("\xFF\xFE")) {
        decoder.emplace(QStringDecoder::Utf16LE);
    }
    if (!decoder)
        decoder = DecoderFor(CharsetParameter(contentType), false);
    if (!decoder) {
        // A first look with every byte standing for itself finds a meta
        // charset wherever the page's own encoding agrees with ASCII.
        const Scan look = ScanHead(QString::fromLatin1(body).toUtf8());
        decoder = DecoderFor(look.charset, true);
    }
    const QString text = decoder ? decoder->decode(body) : DecodeUndeclared(body);
    return ScanHead(text.toUtf8()).head;
}

} // namespace pictomat
