#include "checks/PdfCheck.h"

#include "checks/PdfObjects.h"

#include <cmath>
#include <unordered_set>
#include <vector>

// poppler walks a page tree by a list it searches at every step, draws an
// image at the size its dictionary states (padding data that ends early),
// and looks at its deadline only between drawing instructions, so one
// instruction or one tree can hold it for a minute. Before it opens a file,
// the way to the first page and what that page draws are looked at here.

namespace pictomat {

namespace {

using pdf::Decoded;
using pdf::Object;
using pdf::Value;

// Page tree nodes looked at before the first page is found: a real file
// needs as many as its tree is deep.
constexpr int kMaxPageTreeNodes = 4096;
// Values held for the way down the page tree (kids and resources): a flat
// tree of 100,000 pages holds as many.
constexpr qint64 kMaxHeldValues = 500'000;
// Forms that draw forms, and the images and forms one page draws.
constexpr int kMaxFormDepth = 32;
constexpr int kMaxXObjects = 4096;
// poppler allocates an entry for every object the trailer counts.
constexpr double kMaxObjects = 8'388'608;
// What one byte of an image's data can stand for through each filter, at
// most: deflate's own limit is 1032 to 1, a JPEG needs a bit for each 8 x 8
// block of each component. Filters that code a blank row in a bit or two
// (CCITT, JBIG2) or a blank block in as little (JPEG 2000) have no bound.
double expansion(const QByteArray& filter)
{
    if (filter == "FlateDecode" || filter == "Fl")
        return 1032;
    if (filter == "LZWDecode" || filter == "LZW")
        return 4096;
    if (filter == "RunLengthDecode" || filter == "RL")
        return 64;
    if (filter == "ASCII85Decode" || filter == "A85")
        return 4;
    if (filter == "ASCIIHexDecode" || filter == "AHx" || filter == "Crypt")
        return 1;
    if (filter == "DCTDecode" || filter == "DCT")
        return 1024 * 4;
    return INFINITY;
}

class Checker : Finding {
public:
    Checker(const ByteSource& file, qint64 maxPixels) : m_document(file), m_maxPixels(maxPixels) { }

    Soundness run(Error* why)
    {
        Soundness verdict = check();
        if (verdict == Soundness::Sound && m_document.overLimit())
            verdict = tooLarge(QStringLiteral("an object on the way to the first page is past the limits"));
        if (verdict != Soundness::Sound)
            SetError(why, m_why);
        return verdict;
    }

private:
    Soundness check()
    {
        if (!m_document.open())
            return Soundness::Sound; // poppler will find no catalog either
        if (const Value* size = m_document.trailer().get("Size"); size && size->number > kMaxObjects)
            return tooLarge(QStringLiteral("the file counts %1 objects").arg(size->number, 0, 'f', 0));
        const std::optional<Value> root = m_document.resolve(*m_document.trailer().get("Root"));
        const Value* pages = root ? root->get("Pages") : nullptr;
        if (!pages || pages->kind != Value::Kind::Reference)
            return Soundness::Sound;
        return firstPage(pages->object);
    }

    // The page tree as poppler walks it to its first page: depth first, a
    // kid that is no dictionary skipped, one that names a node on the way
    // down skipped, and a dictionary of type Page (or without kids) a page.
    // A tree whose top is a page is that one page.
    Soundness firstPage(uint32_t root)
    {
        struct Node {
            uint32_t object;
            std::vector<Value> kids;
            size_t next = 0;
            std::optional<Value> resources; // its own, when it has some
        };
        const std::optional<Object> top = m_document.object(root);
        if (!top || !top->value.isDictionary())
            return Soundness::Sound;
        const Value* type = top->value.get("Type");
        if (type && type->isName("Page") && !top->value.get("Kids"))
            return page(top->value, optional(top->value.get("Resources")));
        std::vector<Node> path;
        qint64 held = 0;
        const auto enter = [&](uint32_t object, const Value& node) -> Soundness {
            if (path.size() >= size_t(kMaxPdfPageTreeDepth))
                return tooLarge(QStringLiteral("the page tree is deeper than %1 levels").arg(kMaxPdfPageTreeDepth));
            std::optional<Value> kids = m_document.resolve(node.get("Kids") ? *node.get("Kids") : Value());
            if (!kids || kids->kind != Value::Kind::Array)
                return Soundness::Damaged; // poppler finds no page here: it is left to say so
            Node entered{object, std::move(kids->items), 0, optional(node.get("Resources"))};
            held += qint64(entered.kids.size()) + (entered.resources ? weight(*entered.resources) : 0);
            if (held > kMaxHeldValues)
                return tooLarge(QStringLiteral("the page tree is too large to follow to its first page"));
            path.push_back(std::move(entered));
            return Soundness::Sound;
        };
        if (const Soundness s = enter(root, top->value); s != Soundness::Sound)
            return s == Soundness::Damaged ? Soundness::Sound : s;
        for (int visited = 0; !path.empty();) {
            Node& node = path.back();
            if (node.next >= node.kids.size()) {
                held -= qint64(node.kids.size()) + (node.resources ? weight(*node.resources) : 0);
                path.pop_back();
                continue;
            }
            const Value kid = node.kids[node.next++];
            if (kid.kind != Value::Kind::Reference)
                return Soundness::Sound;
            if (++visited > kMaxPageTreeNodes)
                return tooLarge(QStringLiteral("the page tree holds more than %1 nodes before its first page")
                                    .arg(kMaxPageTreeNodes));
            bool loop = false;
            for (const Node& above : path)
                loop = loop || above.object == kid.object;
            const std::optional<Object> found = loop ? std::nullopt : m_document.object(kid.object);
            if (m_document.overLimit())
                return Soundness::Sound; // run() says why
            if (!found || !found->value.isDictionary())
                continue;
            const Value* kind = found->value.get("Type");
            if ((kind && kind->isName("Page")) || !found->value.get("Kids")) {
                std::optional<Value> resources = optional(found->value.get("Resources"));
                for (auto above = path.rbegin(); !resources && above != path.rend(); ++above)
                    resources = above->resources;
                return page(found->value, resources);
            }
            if (const Soundness s = enter(kid.object, found->value); s != Soundness::Sound)
                return s == Soundness::Damaged ? Soundness::Sound : s;
        }
        return Soundness::Sound;
    }

    static std::optional<Value> optional(const Value* value) { return value ? std::optional(*value) : std::nullopt; }

    // The values a value holds, itself included.
    static qint64 weight(const Value& value)
    {
        qint64 total = 1;
        for (const Value& item : value.items)
            total += weight(item);
        return total;
    }

    // What the first page draws: its instructions, the images and forms
    // they name, and its annotations' appearances (poppler draws those too).
    Soundness page(const Value& page, const std::optional<Value>& resources)
    {
        if (const Soundness s = contents(page.get("Contents")); s != Soundness::Sound)
            return s;
        if (const Soundness s = xobjects(resources, 0); s != Soundness::Sound)
            return s;
        const std::optional<Value> annotations = resolved(page.get("Annots"));
        if (!annotations || annotations->kind != Value::Kind::Array)
            return Soundness::Sound;
        for (const Value& each : annotations->items) {
            const std::optional<Value> annotation = m_document.resolve(each);
            const std::optional<Value> appearances = annotation ? resolved(annotation->get("AP")) : std::nullopt;
            const Value* normal = appearances ? appearances->get("N") : nullptr;
            if (!normal)
                continue;
            // One appearance, or one for each state: forms by reference.
            std::vector<Value> forms{*normal};
            if (normal->kind != Value::Kind::Reference)
                if (const std::optional<Value> states = m_document.resolve(*normal); states && states->isDictionary())
                    for (size_t i = 1; i < states->items.size(); i += 2)
                        forms.push_back(states->items[i]);
            for (const Value& form : forms)
                if (const Soundness s = xobject(form, 0); s != Soundness::Sound)
                    return s;
            if (m_document.overLimit())
                return Soundness::Sound; // run() says why
        }
        return Soundness::Sound;
    }

    std::optional<Value> resolved(const Value* value) { return value ? m_document.resolve(*value) : std::nullopt; }

    // One content stream, or an array of them (itself perhaps an object).
    Soundness contents(const Value* given)
    {
        std::vector<Value> parts;
        if (given && given->kind == Value::Kind::Reference) {
            const std::optional<Object> named = m_document.object(given->object);
            if (named && named->stream)
                return content(*named);
            if (named && named->value.kind == Value::Kind::Array)
                parts = named->value.items;
        } else if (given && given->kind == Value::Kind::Array) {
            parts = given->items;
        }
        for (const Value& part : parts) {
            const std::optional<Object> stream =
                part.kind == Value::Kind::Reference ? m_document.object(part.object) : std::nullopt;
            if (stream)
                if (const Soundness s = content(*stream); s != Soundness::Sound)
                    return s;
        }
        return Soundness::Sound;
    }

    // Drawing instructions: counted as they inflate, all of the page's together.
    Soundness content(const Object& stream)
    {
        if (!stream.stream)
            return Soundness::Sound;
        qint64 length = 0;
        if (m_document.decode(stream, kMaxPdfContentBytes - m_content, nullptr, &length) == Decoded::OverCap)
            return tooLarge(QStringLiteral("the first page's drawing instructions inflate to more than %1 MiB")
                                .arg(kMaxPdfContentBytes / (1024 * 1024)));
        m_content += length;
        return Soundness::Sound;
    }

    // The images and forms a page (or form) draws by name: each once, and
    // the forms' own instructions and what they draw in turn.
    Soundness xobjects(const std::optional<Value>& given, int depth)
    {
        const std::optional<Value> resources = given ? m_document.resolve(*given) : std::nullopt;
        const std::optional<Value> names = resources ? resolved(resources->get("XObject")) : std::nullopt;
        if (!names || !names->isDictionary())
            return Soundness::Sound;
        for (size_t i = 1; i < names->items.size(); i += 2)
            if (const Soundness s = xobject(names->items[i], depth); s != Soundness::Sound)
                return s;
        return Soundness::Sound;
    }

    Soundness xobject(const Value& ref, int depth)
    {
        if (ref.kind != Value::Kind::Reference || !m_seen.insert(ref.object).second || m_document.overLimit())
            return Soundness::Sound;
        if (m_seen.size() > size_t(kMaxXObjects))
            return tooLarge(QStringLiteral("the first page draws more than %1 images and forms").arg(kMaxXObjects));
        const std::optional<Object> drawn = m_document.object(ref.object);
        if (!drawn || !drawn->stream)
            return Soundness::Sound;
        const std::optional<Value> subtype = resolved(drawn->value.get("Subtype"));
        if (subtype && subtype->isName("Image"))
            return image(*drawn);
        if (!subtype || !subtype->isName("Form"))
            return Soundness::Sound;
        if (depth >= kMaxFormDepth)
            return tooLarge(QStringLiteral("forms draw forms deeper than %1 levels").arg(kMaxFormDepth));
        if (const Soundness s = content(*drawn); s != Soundness::Sound)
            return s;
        return xobjects(optional(drawn->value.get("Resources")), depth + 1);
    }

    double number(const Value& dictionary, const char* key, const char* shortKey, double otherwise)
    {
        const Value* given = dictionary.get(key) ? dictionary.get(key) : dictionary.get(shortKey);
        const std::optional<Value> value = given ? m_document.resolve(*given) : std::nullopt;
        return value && value->kind == Value::Kind::Number ? value->number : otherwise;
    }

    // Components a pixel has in a colour space, at the least.
    int components(const Value* given)
    {
        const std::optional<Value> space = given ? m_document.resolve(*given) : std::nullopt;
        if (!space)
            return 1;
        const Value& name = space->kind == Value::Kind::Array && !space->items.empty() ? space->items.front() : *space;
        if (name.isName("DeviceRGB") || name.isName("RGB") || name.isName("CalRGB") || name.isName("Lab"))
            return 3;
        if (name.isName("DeviceCMYK") || name.isName("CMYK"))
            return 4;
        if (name.isName("DeviceN") && space->items.size() > 1) {
            const std::optional<Value> names = m_document.resolve(space->items[1]);
            return names && names->kind == Value::Kind::Array ? std::max<int>(1, int(names->items.size())) : 1;
        }
        if (name.isName("ICCBased") && space->items.size() > 1 && space->items[1].kind == Value::Kind::Reference) {
            const std::optional<Object> profile = m_document.object(space->items[1].object);
            const Value* n = profile ? profile->value.get("N") : nullptr;
            return n && n->number >= 1 && n->number <= 32 ? int(n->number) : 1;
        }
        return 1;
    }

    // An image: within the picture limits, and with enough data for its
    // size through its filters (poppler pads data that ends early and draws
    // every row it was promised). Its masks are images too.
    Soundness image(const Object& image)
    {
        const double width = number(image.value, "Width", "W", 0);
        const double height = number(image.value, "Height", "H", 0);
        if (!(width >= 1 && height >= 1))
            return Soundness::Sound; // poppler refuses it itself
        if (width * height > double(m_maxPixels))
            return tooLarge(QStringLiteral("the first page draws an image of %1 x %2 pixels")
                                .arg(width, 0, 'f', 0)
                                .arg(height, 0, 'f', 0));
        const Value* mask = image.value.get("ImageMask") ? image.value.get("ImageMask") : image.value.get("IM");
        const bool stencil = mask && mask->kind == Value::Kind::Boolean && mask->number != 0;
        const double bits = stencil ? 1 : std::clamp(number(image.value, "BitsPerComponent", "BPC", 8), 1.0, 16.0);
        const int perPixel =
            stencil ? 1
                    : components(image.value.get("ColorSpace") ? image.value.get("ColorSpace") : image.value.get("CS"));
        const double declared = std::ceil(width * perPixel * bits / 8) * height;
        double most = 1;
        const Value* given = image.value.get("Filter") ? image.value.get("Filter") : image.value.get("F");
        if (const std::optional<Value> filters = given ? m_document.resolve(*given) : std::nullopt) {
            if (filters->kind == Value::Kind::Name)
                most *= expansion(filters->text);
            for (const Value& filter : filters->kind == Value::Kind::Array ? filters->items : std::vector<Value>())
                most *= expansion(filter.text);
        }
        // A little room for streams whose length is off by a row or so.
        if (declared > double(image.dataLength) * most + 65536)
            return tooLarge(QStringLiteral("the first page draws an image of %1 x %2 pixels from %3 bytes")
                                .arg(width, 0, 'f', 0)
                                .arg(height, 0, 'f', 0)
                                .arg(image.dataLength));
        for (const char* key : {"SMask", "Mask"}) {
            const Value* other = image.value.get(key);
            if (!other || other->kind != Value::Kind::Reference || !m_seen.insert(other->object).second)
                continue;
            const std::optional<Object> masking = m_document.object(other->object);
            if (masking && masking->stream)
                if (const Soundness s = this->image(*masking); s != Soundness::Sound)
                    return s;
        }
        return Soundness::Sound;
    }

    pdf::Document m_document;
    const qint64 m_maxPixels;
    qint64 m_content = 0;
    std::unordered_set<uint32_t> m_seen; // images and forms looked at
};

} // namespace

Soundness CheckPdfStructure(const ByteSource& file, qint64 maxImagePixels, Error* why)
{
    return Checker(file, maxImagePixels).run(why);
}

} // namespace pictomat
