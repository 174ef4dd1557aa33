#include "icns/Contents.h"

#include "icns/IcnsCodec.h"

#include <QFile>

#include <algorithm>
#include <array>

namespace pictomat::icns {

using namespace codec;

namespace {

constexpr std::array<IconsetSlot, 10> kSlots = {{
    {"icon_16x16.png", 16, 1, MakeOSType("is32"), MakeOSType("s8mk")},
    {"icon_16x16@2x.png", 16, 2, MakeOSType("ic11"), 0},
    {"icon_32x32.png", 32, 1, MakeOSType("il32"), MakeOSType("l8mk")},
    {"icon_32x32@2x.png", 32, 2, MakeOSType("ic12"), 0},
    {"icon_128x128.png", 128, 1, MakeOSType("ic07"), 0},
    {"icon_128x128@2x.png", 128, 2, MakeOSType("ic13"), 0},
    {"icon_256x256.png", 256, 1, MakeOSType("ic08"), 0},
    {"icon_256x256@2x.png", 256, 2, MakeOSType("ic14"), 0},
    {"icon_512x512.png", 512, 1, MakeOSType("ic09"), 0},
    {"icon_512x512@2x.png", 512, 2, MakeOSType("ic10"), 0},
}};

constexpr char kIconSizes[] = "16, 32, 64, 128, 256, 512 or 1024";

// A file checked and decoded, with the slot its name gives, if any.
struct Picture {
    const NamedPng* file;
    int edge;
    QImage image; // ARGB32, for the pictures of 32 pixels or fewer
    const IconsetSlot* named;
};

QString nameOf(const NamedPng& file)
{
    return QFile::decodeName(file.name);
}

std::optional<Picture> checked(const NamedPng& file, bool byNameOnly, QString* why)
{
    const std::optional<QSize> size = IsPng(file.png) ? PngSize(file.png) : std::nullopt;
    if (!size) {
        *why = QStringLiteral("not a PNG picture");
        return std::nullopt;
    }
    const int edge = size->width();
    if (size->width() != size->height()) {
        *why = QStringLiteral("%1x%2 pixels; icon pictures are square").arg(size->width()).arg(size->height());
        return std::nullopt;
    }
    const IconsetSlot* slot = FindIconsetSlot(file.name.mid(file.name.lastIndexOf('/') + 1));
    if (slot && slot->pixels() != edge) {
        *why = QStringLiteral("%1x%1 pixels, but its name asks for %2x%2").arg(edge).arg(slot->pixels());
        return std::nullopt;
    }
    if (!slot && byNameOnly) {
        *why = QStringLiteral("not an iconset name (icon_16x16.png ... icon_512x512@2x.png)");
        return std::nullopt;
    }
    const bool anySlot =
        std::any_of(kSlots.begin(), kSlots.end(), [edge](const IconsetSlot& s) { return s.pixels() == edge; });
    if (!anySlot) {
        *why = QStringLiteral("%1x%1 pixels is not an icon size (%2)").arg(edge).arg(QLatin1String(kIconSizes));
        return std::nullopt;
    }
    // Checked even where the bytes are kept, so that a damaged file is
    // refused here rather than shown broken later; only the small pictures
    // that become RGB + mask need their pixels.
    QImage image;
    if (edge <= 32)
        image = DecodePng(file.png);
    if (edge <= 32 ? image.size() != *size : !PngIsWhole(file.png)) {
        *why = QStringLiteral("the PNG picture cannot be decoded");
        return std::nullopt;
    }
    return Picture{&file, edge, std::move(image), slot};
}

} // namespace

std::span<const IconsetSlot> IconsetSlots()
{
    return kSlots;
}

const IconsetSlot* FindIconsetSlot(const QByteArray& name)
{
    for (const IconsetSlot& slot : kSlots)
        if (name == slot.name)
            return &slot;
    return nullptr;
}

std::optional<IconFamily> FamilyFromPngs(const QVector<NamedPng>& files, bool byNameOnly, QString* error)
{
    auto fail = [error](const QString& message) -> std::optional<IconFamily> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    if (files.isEmpty())
        return fail(QStringLiteral("no pictures given"));
    std::array<std::optional<Picture>, kSlots.size()> named, bySize;
    for (const NamedPng& file : files) {
        QString why;
        std::optional<Picture> picture = checked(file, byNameOnly, &why);
        if (!picture)
            return fail(QStringLiteral("%1: %2").arg(nameOf(file), why));
        for (size_t i = 0; i < kSlots.size(); ++i) {
            const IconsetSlot& slot = kSlots[i];
            if (picture->named ? picture->named != &slot : slot.pixels() != picture->edge)
                continue;
            std::optional<Picture>& place = picture->named ? named[i] : bySize[i];
            if (place)
                return fail(QStringLiteral("%1 and %2 both give %3")
                                .arg(nameOf(*place->file), nameOf(file), QLatin1String(slot.name)));
            place = picture;
        }
    }
    IconFamily family;
    for (size_t i = 0; i < kSlots.size(); ++i) {
        const std::optional<Picture>& picture = named[i] ? named[i] : bySize[i];
        if (!picture)
            continue;
        const IconsetSlot& slot = kSlots[i];
        if (slot.mask != 0) {
            family.setElement(slot.type, RgbPayload(picture->image, false));
            family.setElement(slot.mask, MaskPayload(picture->image));
        } else {
            family.setElement(slot.type, picture->file->png);
        }
    }
    return family;
}

QVector<NamedPng> IconsetPictures(const IconFamily& family, QStringList* skipped)
{
    // Chosen by what the elements declare, so that only the pictures saved
    // are decoded.
    struct Candidate {
        const IconFamily::Element* element;
        int rank;
    };
    std::array<QVector<Candidate>, kSlots.size()> candidates;
    for (const IconFamily::Element& e : family.elements()) {
        const std::optional<Description> d = Describe(e);
        if (!d)
            continue;
        bool fits = false;
        for (size_t i = 0; i < kSlots.size(); ++i) {
            const IconsetSlot& slot = kSlots[i];
            if (d->width != slot.pixels() || d->height != slot.pixels() || d->scale != slot.scale)
                continue;
            fits = true;
            // The name's own element first, then the deepest colours.
            candidates[i].append(Candidate{&e, e.type == slot.type ? 1000 : d->depth});
        }
        if (!fits && skipped)
            skipped->append(QStringLiteral("%1 (%2x%3%4)")
                                .arg(OSTypeToString(e.type))
                                .arg(d->width)
                                .arg(d->height)
                                .arg(d->scale > 1 ? QStringLiteral(" @%1x").arg(d->scale) : QString()));
    }
    QVector<NamedPng> pictures;
    for (size_t i = 0; i < kSlots.size(); ++i) {
        const IconsetSlot& slot = kSlots[i];
        std::stable_sort(candidates[i].begin(), candidates[i].end(),
                         [](const Candidate& a, const Candidate& b) { return a.rank > b.rank; });
        for (const Candidate& c : candidates[i]) {
            QImage image = Decode(family, *c.element);
            if (image.size() != QSize(slot.pixels(), slot.pixels()))
                continue;
            pictures.append(NamedPng{slot.name, PngOf(family, {c.element->type, slot.pixels(), slot.scale, image})});
            break;
        }
    }
    return pictures;
}

} // namespace pictomat::icns
