#include "image/MediaIcons.h"

#include "files/FileIO.h"
#include "files/FileRef.h"
#include "icns/Contents.h"
#include "icns/Png.h"
#include "read/Drawing.h"
#include "read/Source.h"
#include "resample/Reducer.h"
#include "resample/RowReducer.h"

#include <QFile>
#include <QPainter>

#include <algorithm>
#include <deque>
#include <memory>
#include <thread>

namespace pictomat {

bool HoldsIconFamily(const QByteArray& path)
{
    return PictureSource::open(FileRef(path)).content() == Content::IconFamily;
}

// The largest edge's fitted rectangle; the decoder keeps twice that where it can.
PictureTarget IconFitTarget(int largestEdge)
{
    return [largestEdge](QSize natural) {
        const Rect16 largest = FitRectInSquare(natural.width(), natural.height(), int16_t(largestEdge));
        return QSize(std::max(largest.width(), 1), std::max(largest.height(), 1));
    };
}

std::optional<DecodedPicture> DecodeImageForIcon(const QByteArray& path, PictureStatus* status, int largestEdge)
{
    PictureResult result = ReadPictureFile(FileRef(path), IconFitTarget(largestEdge), PictureFit::ShrunkOnLoad);
    if (status)
        *status = result.status;
    if (!result.ok())
        return std::nullopt;
    return std::move(result.decoded);
}

namespace {

void tell(PictureStatus* status, PictureStatus value)
{
    if (status)
        *status = value;
}

// A family cut short is damaged, not a smaller icon.
std::optional<icns::IconFamily> familyFromIcns(PictureSource& file, PictureStatus* status)
{
    if (file.size() > icns::kMaxIcnsFileSize) {
        tell(status, PictureStatus::TooLarge);
        return std::nullopt;
    }
    bool cut = false;
    std::optional<icns::IconFamily> family = icns::IconFamily::fromIcns(file.device().readAll(), nullptr, &cut);
    if (!family || family->isEmpty() || cut) {
        tell(status, PictureStatus::Damaged);
        return std::nullopt;
    }
    tell(status, PictureStatus::Decoded);
    return family;
}

QList<int> sortedEdges(const QList<int>& edges)
{
    QList<int> sorted;
    for (int m : edges.isEmpty() ? QList<int>(std::begin(kIconFamilySizes), std::end(kIconFamilySizes)) : edges)
        if (m > 0 && m <= kLargestDrawnEdge && !sorted.contains(m))
            sorted.append(m);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

// Where a drawing goes in an m x m square: fitted and centred as the fitting
// rule puts a picture, its edges where they fall rather than on whole
// pixels (as the reducer maps a bitmap's edges), so a drawing 512.4 x 512
// fills the square instead of leaving a clear row under it.
QRectF placedDrawing(QSizeF natural, int m)
{
    const QSizeF fitted = natural.scaled(m, m, Qt::KeepAspectRatio);
    return QRectF(QPointF((m - fitted.width()) / 2, (m - fitted.height()) / 2), fitted);
}

// Every square of a picture made while its rows are decoded, each as
// MediaSource::row makes it from the whole picture. The squares of
// `compressed` are compressed as PNG while their rows come, and only their
// PNG is kept: each row is made in one row of memory instead of a square of
// its own, the largest of which would be most of the memory a run takes.
class SquaresFromRows : public PictureRowSink {
public:
    SquaresFromRows(const QList<int>& edges, const QList<int>& compressed)
        : m_edges(edges), m_compressed(compressed) { }
    bool start(QSize size, QSize natural) override
    {
        QVector<RowReducer::Target> targets;
        m_squares.reserve(size_t(m_edges.size()));
        for (int m : m_edges) {
            const Rect16 r = FitRectInSquare(natural.width(), natural.height(), int16_t(m));
            if (r.width() <= 0 || r.height() <= 0)
                return false;
            RowReducer::Target target{nullptr, QPoint(r.left, r.top), QSize(r.width(), r.height())};
            if (m_compressed.contains(m)) {
                m_squares.emplace_back();
                m_writers.push_back({m, r.top + r.height(), std::make_unique<icns::codec::PngWriter>(m, m),
                                     std::vector<QRgb>(size_t(m), 0)});
                Writer& writer = m_writers.back();
                for (int y = 0; y < r.top; ++y)
                    writer.png->addRow(writer.row.data(), true);
                target.rowAt = [&writer, left = int(r.left)](int) { return writer.row.data() + left; };
                target.rowDone = [&writer](int) { writer.png->addRow(writer.row.data(), true); };
            } else {
                m_squares.emplace_back(m, m, QImage::Format_ARGB32_Premultiplied);
                QImage& square = m_squares.back();
                if (square.isNull())
                    return false;
                square.fill(Qt::transparent);
                target.image = &square;
            }
            targets.append(std::move(target));
        }
        m_reducer = std::make_unique<RowReducer>(size, targets);
        return m_reducer->valid();
    }
    void take(const QRgb* row) override { m_reducer->addRow(row); }
    // The squares not compressed by their edge, and the PNG bytes of those
    // that were; nothing when a row was missing.
    std::optional<QMap<int, QImage>> finish(QMap<int, QByteArray>* pngs)
    {
        if (!m_reducer || !m_reducer->finish())
            return std::nullopt;
        for (Writer& writer : m_writers) {
            std::fill(writer.row.begin(), writer.row.end(), 0);
            for (int y = writer.below; y < writer.edge; ++y)
                writer.png->addRow(writer.row.data(), true);
            const QByteArray png = writer.png->finish();
            if (png.isEmpty())
                return std::nullopt;
            pngs->insert(writer.edge, png);
        }
        QMap<int, QImage> squares;
        for (size_t i = 0; i < m_squares.size(); ++i)
            if (!m_squares[i].isNull())
                squares.insert(m_edges[qsizetype(i)], std::move(m_squares[i]));
        return squares;
    }

private:
    struct Writer {
        int edge;
        int below; // the first row under the picture
        std::unique_ptr<icns::codec::PngWriter> png;
        std::vector<QRgb> row; // the row being made, transparent beside the picture
    };
    QList<int> m_edges, m_compressed;
    std::vector<QImage> m_squares; // reserved: the reducer writes through pointers to them
    std::deque<Writer> m_writers;  // the reducer's row callbacks hold references
    std::unique_ptr<RowReducer> m_reducer;
};

// The media's picture as a source of rows: a drawing, drawn afresh at each
// size, or a bitmap shrunk on load, reduced to each size (while it was
// decoded, where its decoder streams).
struct MediaSource {
    std::unique_ptr<Drawing> drawing;
    std::unique_ptr<PictureReducer> reducer;
    bool streamed = false;
    QMap<int, QImage> streamedRows; // of the sizes not compressed while the rows came
    QMap<int, QByteArray> pngs;     // made while the rows came
    QSize natural;
    PictureStatus status = PictureStatus::NotAPicture;

    bool valid() const { return (drawing || reducer || streamed) && !natural.isEmpty(); }
    // Whether row(m) can make the square; only the PNG of some streamed sizes is kept.
    bool hasRow(int m) const { return !streamed || streamedRows.contains(m); }
    QImage row(int m)
    {
        if (streamed)
            return streamedRows.value(m);
        if (drawing) {
            QImage drawn = drawing->drawAt(QSize(m, m), placedDrawing(drawing->naturalSize(), m));
            if (drawn.isNull())
                status = drawing->status();
            return drawn;
        }
        const Rect16 r = FitRectInSquare(natural.width(), natural.height(), int16_t(m));
        QImage square(m, m, QImage::Format_ARGB32_Premultiplied);
        if (square.isNull() || r.width() <= 0 || r.height() <= 0)
            return {};
        square.fill(Qt::transparent);
        if (!reducer->reduceInto(square, QPoint(r.left, r.top), QSize(r.width(), r.height())))
            return {};
        return square;
    }
};

MediaSource bitmapSource(QImage picture, QSize natural)
{
    MediaSource source;
    source.status = picture.isNull() ? PictureStatus::Damaged : PictureStatus::Decoded;
    if (!picture.isNull()) {
        source.reducer = std::make_unique<PictureReducer>(picture);
        source.natural = natural;
    }
    return source;
}

// `edges` sorted, as sortedEdges gives them; the squares of `compressed`
// are compressed as PNG while they are made, where the picture streams.
MediaSource openMediaSource(PictureSource file, const QList<int>& edges, const QList<int>& compressed = {})
{
    const int largestEdge = edges.isEmpty() ? kLargestIconRow : edges.last();
    MediaSource source;
    switch (file.content()) {
    case Content::IconFamily: return source;
    case Content::Drawing:
        source.drawing = OpenDrawingSource(std::move(file), &source.status);
        if (source.drawing)
            source.natural = source.drawing->naturalSize()
                                 .scaled(kLargestDrawnEdge, kLargestDrawnEdge, Qt::KeepAspectRatio)
                                 .toSize()
                                 .expandedTo(QSize(1, 1));
        return source;
    case Content::Picture: {
        SquaresFromRows squares(edges, compressed);
        PictureResult result = ReadPicture(file, IconFitTarget(largestEdge), PictureFit::ShrunkOnLoad, &squares);
        source.status = result.status;
        if (!result.ok())
            return source;
        if (!result.streamed)
            return bitmapSource(std::move(result.decoded.picture), result.decoded.natural);
        std::optional<QMap<int, QImage>> rows = squares.finish(&source.pngs);
        if (!rows) {
            source.status = PictureStatus::Damaged;
            return source;
        }
        source.streamed = true;
        source.streamedRows = std::move(*rows);
        source.natural = result.decoded.natural;
        return source;
    }
    case Content::Unknown: break;
    }
    std::optional<MoviePoster> poster = ReadMoviePoster(file, IconFitTarget(2 * largestEdge));
    if (poster)
        return bitmapSource(std::move(poster->frame), poster->displaySize);
    return source;
}

icns::IconFamily::WriteOptions familyOptions()
{
    icns::IconFamily::WriteOptions options;
    options.legacy48 = true;
    options.legacy128 = true;
    return options;
}

// Every row of the family. With two cores the largest row, which costs
// about as much to draw and compress as all the others together, is made on
// a second thread meanwhile; its elements come last in a family anyway, so
// the result is the same as in one go. Nothing when a row cannot be drawn.
std::optional<icns::IconFamily> familyFromSource(MediaSource& source)
{
    if (!source.valid())
        return std::nullopt;
    const bool parallel = std::thread::hardware_concurrency() >= 2 && !source.drawing;
    if (parallel && source.reducer) {
        // The averages both threads filter from are made first; then neither changes the reducer.
        QList<QSize> sizes;
        for (int m : kIconFamilySizes) {
            const Rect16 r = FitRectInSquare(source.natural.width(), source.natural.height(), int16_t(m));
            sizes.append(QSize(std::max(r.width(), 1), std::max(r.height(), 1)));
        }
        source.reducer->prepare(sizes);
    }
    // The largest row whose PNG is not made yet costs about as much to
    // draw and compress as all the others together: it is made on a second
    // core while this one makes the rest.
    int apart = 0;
    for (auto m = std::rbegin(kIconFamilySizes); parallel && m != std::rend(kIconFamilySizes) && !apart; ++m)
        if (icns::IconFamily::hasPngSlot(*m) && !source.pngs.contains(*m))
            apart = *m;
    QImage apartRow;
    QByteArray apartPng;
    std::thread worker;
    if (apart)
        worker = std::thread([&] {
            apartRow = source.row(apart);
            if (!apartRow.isNull())
                apartPng = icns::codec::EncodePng(apartRow);
        });
    QMap<int, QImage> rows;
    QMap<int, QByteArray> pngs = source.pngs;
    bool complete = true;
    for (int m : kIconFamilySizes) {
        if (m == apart || !source.hasRow(m))
            continue;
        QImage row = source.row(m);
        if (row.isNull()) {
            complete = false;
            break;
        }
        if (icns::IconFamily::hasPngSlot(m) && !pngs.contains(m))
            pngs.insert(m, icns::codec::EncodePng(row));
        rows.insert(m, std::move(row));
    }
    if (worker.joinable())
        worker.join();
    if (!complete || (apart && apartPng.isEmpty()))
        return std::nullopt;
    if (apart) {
        rows.insert(apart, apartRow);
        pngs.insert(apart, apartPng);
    }
    return icns::IconFamily::fromImages(rows, familyOptions(), pngs);
}

} // namespace

std::optional<QMap<int, QImage>> RenderMediaIconSizes(const QByteArray& path, const QList<int>& edges,
                                                      PictureStatus* status)
{
    return RenderMediaIconSizes(PictureSource::open(FileRef(path)), edges, status);
}

std::optional<QMap<int, QImage>> RenderMediaIconSizes(PictureSource file, const QList<int>& edges,
                                                      PictureStatus* status)
{
    const QList<int> sizes = sortedEdges(edges);
    if (!file.isOpen()) {
        if (status)
            *status = PictureStatus::NotAPicture;
        return std::nullopt;
    }
    if (file.content() == Content::IconFamily) {
        const std::optional<icns::IconFamily> family = familyFromIcns(file, status);
        if (!family)
            return std::nullopt;
        return IconFamilySizes(*family, sizes, status);
    }
    MediaSource source = openMediaSource(std::move(file), sizes);
    auto fail = [&](PictureStatus why) -> std::optional<QMap<int, QImage>> {
        if (status)
            *status = why == PictureStatus::Decoded ? PictureStatus::Damaged : why;
        return std::nullopt;
    };
    if (!source.valid())
        return fail(source.status);
    QMap<int, QImage> rows;
    for (int m : sizes) {
        QImage row = source.row(m);
        if (row.isNull())
            return fail(source.status);
        rows.insert(m, std::move(row));
    }
    if (status)
        *status = PictureStatus::Decoded;
    return rows;
}

std::optional<QMap<int, QImage>> IconFamilySizes(const icns::IconFamily& family, const QList<int>& edges,
                                                 PictureStatus* status)
{
    QMap<int, QImage> squares;
    for (int m : edges) {
        const QImage best = family.bestImage(m);
        if (best.isNull()) {
            tell(status, PictureStatus::Damaged);
            return std::nullopt;
        }
        squares.insert(m, ReduceIntoBox(best, QSize(m, m)));
    }
    tell(status, PictureStatus::Decoded);
    return squares;
}

PictureResult ReadAnyPicture(PictureSource file, int maxEdge)
{
    PictureResult result;
    switch (file.content()) {
    case Content::Picture:
    case Content::Drawing: return ReadPicture(file, FitWithin(maxEdge), PictureFit::Exact);
    case Content::IconFamily: {
        const std::optional<icns::IconFamily> family = familyFromIcns(file, &result.status);
        QImage best = family ? family->bestImage(maxEdge) : QImage();
        if (family && best.isNull())
            result.status = PictureStatus::Damaged;
        if (best.isNull())
            return result;
        const QSize natural = best.size();
        const QSize want = FitWithin(maxEdge)(natural);
        result.decoded.picture = want == natural ? std::move(best) : ReducePicture(best, want);
        result.decoded.natural = natural;
        result.status = result.decoded.picture.isNull() ? PictureStatus::TooLarge : PictureStatus::Decoded;
        return result;
    }
    case Content::Unknown: break;
    }
    if (!file.isOpen())
        return result;
    if (std::optional<MoviePoster> poster = ReadMoviePoster(file, FitWithin(maxEdge))) {
        result.status = PictureStatus::Decoded;
        result.decoded.picture = std::move(poster->frame);
        result.decoded.natural = poster->displaySize;
    }
    return result;
}

QMap<int, QImage> RenderIconRows(const QImage& source, QSize natural, const QList<int>& edges)
{
    QMap<int, QImage> rows;
    if (source.isNull() || natural.isEmpty())
        return rows;
    MediaSource media = bitmapSource(source, natural);
    for (int m : sortedEdges(edges)) {
        QImage row = media.row(m);
        if (!row.isNull())
            rows.insert(m, std::move(row));
    }
    return rows;
}

icns::IconFamily IconFamilyFromRows(const QMap<int, QImage>& rows)
{
    return icns::IconFamily::fromImages(rows, familyOptions());
}

namespace {

// A source that opened but made no family failed while it was decoded.
std::optional<icns::IconFamily> familyOrWhy(MediaSource& source, PictureStatus* status)
{
    std::optional<icns::IconFamily> family = familyFromSource(source);
    if (family)
        tell(status, PictureStatus::Decoded);
    else
        tell(status, source.status == PictureStatus::Decoded ? PictureStatus::Damaged : source.status);
    return family;
}

std::optional<icns::IconFamily> familyFromImage(PictureSource file, PictureStatus* status)
{
    tell(status, PictureStatus::NotAPicture);
    if (file.content() != Content::Picture && file.content() != Content::Drawing)
        return std::nullopt;
    MediaSource source = openMediaSource(std::move(file), sortedEdges({}), {kLargestIconRow, kLargestIconRow / 2});
    return familyOrWhy(source, status);
}

std::optional<icns::IconFamily> familyFromMoviePoster(const PictureSource& file, PictureStatus* status)
{
    tell(status, PictureStatus::NotAPicture);
    std::optional<MoviePoster> poster = ReadMoviePoster(file, IconFitTarget(2 * kLargestIconRow));
    if (!poster)
        return std::nullopt;
    MediaSource source = bitmapSource(std::move(poster->frame), poster->displaySize);
    return familyOrWhy(source, status);
}

} // namespace

std::optional<icns::IconFamily> IconFamilyFromImage(const QByteArray& path, PictureStatus* status)
{
    return familyFromImage(PictureSource::open(FileRef(path)), status);
}

std::optional<icns::IconFamily> IconFamilyFromMoviePoster(const QByteArray& path, PictureStatus* status)
{
    return familyFromMoviePoster(PictureSource::open(FileRef(path)), status);
}

std::optional<icns::IconFamily> IconFamilyFromIconsetFolder(const QByteArray& path, QString* error)
{
    auto fail = [error](const QString& message) -> std::optional<icns::IconFamily> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    const FileRef folder = FileRef::fromLocalPath(path);
    if (!folder.isDirectory())
        return fail(QStringLiteral("not a folder"));
    // Only the standard names are read, so nothing else the folder holds
    // (notes, sources, a larger master picture) can get in.
    QVector<icns::NamedPng> files;
    for (const icns::IconsetSlot& slot : icns::IconsetSlots()) {
        const FileRef file = folder.child(slot.name);
        if (!file.exists())
            continue;
        Error why;
        const std::optional<QByteArray> bytes = ReadRegularFile(file.path(), icns::kMaxIcnsFileSize, &why);
        if (!bytes)
            return fail(QStringLiteral("%1: cannot read: %2").arg(QLatin1String(slot.name), why.message));
        files.append(icns::NamedPng{slot.name, *bytes});
    }
    if (files.isEmpty())
        return fail(QStringLiteral("no picture named as in an iconset (icon_16x16.png ... icon_512x512@2x.png)"));
    return icns::FamilyFromPngs(files, true, error);
}

std::optional<icns::IconFamily> IconFamilyFromMedia(const QByteArray& path, PictureStatus* status)
{
    return IconFamilyFromMedia(PictureSource::open(FileRef(path)), status);
}

std::optional<icns::IconFamily> IconFamilyFromMedia(PictureSource file, PictureStatus* status)
{
    switch (file.content()) {
    case Content::IconFamily: return familyFromIcns(file, status);
    case Content::Picture:
    case Content::Drawing: return familyFromImage(std::move(file), status);
    case Content::Unknown: break;
    }
    return familyFromMoviePoster(file, status);
}

} // namespace pictomat
