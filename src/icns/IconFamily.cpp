#include "icns/IconFamily.h"

#include "icns/IcnsCodec.h"

#include <algorithm>
#include <limits>

namespace pictomat::icns {

using namespace codec;

namespace {
constexpr OSType kIcns = MakeOSType("icns");
constexpr OSType kToc = MakeOSType("TOC ");
} // namespace

QString OSTypeToString(OSType type)
{
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uchar c = uchar(type >> shift);
        if (c < 0x20 || c > 0x7E)
            return QStringLiteral("0x") + QString::number(type, 16).rightJustified(8, QLatin1Char('0')).toUpper();
        s.append(QLatin1Char(char(c)));
    }
    return s;
}

void IconFamily::setElement(OSType type, const QByteArray& data)
{
    const auto found = m_index.constFind(type);
    if (found != m_index.cend()) {
        m_elements[*found].data = data;
        return;
    }
    m_index.insert(type, m_elements.size());
    m_elements.append(Element{type, data});
}

std::optional<QByteArray> IconFamily::element(OSType type) const
{
    if (const QByteArray* data = elementData(type))
        return *data;
    return std::nullopt;
}

const QByteArray* IconFamily::elementData(OSType type) const
{
    const auto found = m_index.constFind(type);
    return found == m_index.cend() ? nullptr : &m_elements[*found].data;
}

void IconFamily::removeElement(OSType type)
{
    if (m_elements.removeIf([type](const Element& e) { return e.type == type; }) > 0)
        reindex();
}

void IconFamily::reindex()
{
    m_index.clear();
    m_index.reserve(m_elements.size());
    for (qsizetype i = 0; i < m_elements.size(); ++i)
        m_index.insert(m_elements[i].type, i);
}

QVector<IconFamily::Image> IconFamily::images() const
{
    QVector<Image> result;
    forEachImage([&result](const Image& image) { result.append(image); });
    return result;
}

void IconFamily::forEachImage(const std::function<void(const Image&)>& visit) const
{
    for (const Element& e : m_elements) {
        const std::optional<Description> d = Describe(e);
        if (!d)
            continue;
        QImage image = Decode(*this, e);
        if (!image.isNull())
            visit(Image{e.type, image.width(), d->scale, std::move(image)});
    }
}

QImage IconFamily::bestImage(int pixelSize) const
{
    struct Candidate {
        const Element* element;
        Description description;
    };
    QVector<Candidate> candidates;
    for (const Element& e : m_elements)
        if (const std::optional<Description> d = Describe(e))
            candidates.append(Candidate{&e, *d});
    // Smallest edge at least the one asked for, else the largest; among equal
    // edges the deepest colours first, then 1x before 2x, then element order.
    auto edge = [](const Candidate& c) { return qMax(c.description.width, c.description.height); };
    std::stable_sort(candidates.begin(), candidates.end(), [&](const Candidate& a, const Candidate& b) {
        const int ea = edge(a), eb = edge(b);
        const bool bigA = ea >= pixelSize, bigB = eb >= pixelSize;
        if (bigA != bigB)
            return bigA;
        if (ea != eb)
            return bigA ? ea < eb : ea > eb;
        if (a.description.depth != b.description.depth)
            return a.description.depth > b.description.depth;
        return a.description.scale < b.description.scale;
    });
    for (const Candidate& c : candidates) {
        QImage image = Decode(*this, *c.element);
        if (!image.isNull())
            return image;
    }
    return {};
}

IconFamily::IcnsPieces IconFamily::toIcnsPieces() const
{
    QVector<const Element*> written;
    quint64 total = 8;
    for (const Element& e : m_elements) {
        if (e.type == kToc)
            continue;
        written.append(&e);
        total += 8 + quint64(e.data.size()) + 8; // the element and its TOC entry
    }
    total += written.isEmpty() ? 0 : 8;
    IcnsPieces file;
    if (total > std::numeric_limits<quint32>::max())
        return file;
    // Every head first, so that the views into them stay where they point.
    QByteArray& heads = file.heads;
    heads.reserve(16 + 16 * written.size());
    heads.append("icns", 4);
    AppendU32(&heads, quint32(total));
    if (!written.isEmpty()) {
        heads.append("TOC ", 4);
        AppendU32(&heads, quint32(8 + 8 * written.size()));
        for (const Element* e : written) {
            AppendU32(&heads, e->type);
            AppendU32(&heads, quint32(8 + e->data.size()));
        }
    }
    const qsizetype fileHead = heads.size();
    for (const Element* e : written) {
        AppendU32(&heads, e->type);
        AppendU32(&heads, quint32(8 + e->data.size()));
    }
    file.pieces.append(QByteArrayView(heads.constData(), fileHead));
    for (qsizetype i = 0; i < written.size(); ++i) {
        file.pieces.append(QByteArrayView(heads.constData() + fileHead + 8 * i, 8));
        file.pieces.append(QByteArrayView(written[i]->data));
    }
    return file;
}

QByteArray IconFamily::toIcns() const
{
    const IcnsPieces file = toIcnsPieces();
    qsizetype total = 0;
    for (const QByteArrayView& piece : file.pieces)
        total += piece.size();
    QByteArray out;
    out.reserve(total);
    for (const QByteArrayView& piece : file.pieces)
        out.append(piece);
    return out;
}

std::optional<IconFamily> IconFamily::fromIcns(const QByteArray& bytes, QString* error, bool* cut)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
    };
    if (cut)
        *cut = false;
    const auto lost = [cut] {
        if (cut)
            *cut = true;
    };
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    if (bytes.size() < 8 || ReadU32(p) != kIcns) {
        fail(QStringLiteral("not an icns file"));
        return std::nullopt;
    }
    const quint64 declared = ReadU32(p + 4);
    if (declared > quint64(bytes.size())) {
        fail(QStringLiteral("the file is shorter than its header says"));
        lost();
    } else if (declared < quint64(bytes.size())) {
        fail(QStringLiteral("bytes follow the end that the header declares"));
    }
    const qsizetype end = qsizetype(qMin<quint64>(declared, quint64(bytes.size())));
    IconFamily family;
    qsizetype at = 8;
    qsizetype count = 0;
    while (end - at >= 8) {
        const OSType type = ReadU32(p + at);
        const quint32 length = ReadU32(p + at + 4);
        if (length < 8 || qsizetype(length) > end - at) {
            fail(QStringLiteral("element '%1' at offset %2 has a bad length (%3)")
                     .arg(OSTypeToString(type))
                     .arg(at)
                     .arg(length));
            lost();
            break;
        }
        // The TOC is rebuilt on writing; it says nothing the elements do not,
        // and does not count, so that a family at the cap can be rewritten.
        if (type != kToc) {
            // Refused whole rather than cut short: a family read in part
            // would pass for the file's icon.
            if (++count > kMaxElements) {
                fail(QStringLiteral("more than %1 elements; no icon family holds that many").arg(kMaxElements));
                return std::nullopt;
            }
            family.setElement(type, bytes.mid(at + 8, qsizetype(length) - 8));
        }
        at += qsizetype(length);
    }
    if (at < end && end - at < 8)
        fail(QStringLiteral("%1 stray bytes at the end").arg(end - at));
    if (family.isEmpty()) {
        fail(QStringLiteral("no icon element could be read"));
        return std::nullopt;
    }
    return family;
}

} // namespace pictomat::icns
