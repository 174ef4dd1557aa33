#include "platform/IconThemeEngine.h"

#include "files/FileIO.h"
#include "read/Drawing.h"
#include "read/PictureFile.h"
#include "resample/Reducer.h"
#include "worker/ReadingWorker.h"

#include <QApplication>
#include <QIconEngine>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QHash>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <mutex>

namespace pictomat {

namespace {

// The pictures to try for one edge length: the exact bitmap, then the
// drawing, then the nearest larger bitmap, then smaller ones scaled up.
QVector<IconFile> candidatesFor(QVector<IconFile> files, int size)
{
    auto rank = [size](const IconFile& f) -> std::pair<int, int> {
        if (!f.scalable && f.size == size)
            return {0, 0};
        if (f.scalable)
            return {1, 0};
        if (f.size > size)
            return {2, f.size};
        return {3, -f.size};
    };
    std::stable_sort(files.begin(), files.end(),
                     [&](const IconFile& a, const IconFile& b) { return rank(a) < rank(b); });
    return files;
}

// A user's picture shown as an icon (the tray menu's first item among
// others) gets less time than a command's own file, and one that could not
// be read is not read again until it changes: no picture holds the tray
// twice.
constexpr std::chrono::milliseconds kShownPictureDeadline{3000};

PictureResult readUsersPicture(const QByteArray& path, int maxEdge)
{
    static std::mutex mutex;
    static QHash<QByteArray, PictureStatus> failed;
    const QByteArray version = path + '\0' + FileVersion(path);
    PictureResult result;
    {
        const std::lock_guard lock(mutex);
        const auto known = failed.constFind(version);
        if (known != failed.cend()) {
            result.status = *known;
            return result;
        }
    }
    result = ReadPictureInWorker(FileRef(path), maxEdge, kShownPictureDeadline);
    if (!result.ok()) {
        const std::lock_guard lock(mutex);
        if (failed.size() >= 1024)
            failed.clear();
        failed.insert(version, result.status);
    }
    return result;
}

} // namespace

void DrawFitted(QImage& out, const QImage& picture)
{
    QPainter painter(&out);
    painter.drawImage(QPoint(0, 0), ReduceIntoBox(picture, out.size()));
}

// A file of the icon as read: a drawing (drawn afresh at each size) or a
// picture shrunk on load for the largest size (reduced to each size);
// neither when it could not be read.
struct IconFileRenderer::Loaded {
    std::unique_ptr<Drawing> drawing;
    std::unique_ptr<PictureReducer> picture;
    QSize natural;
};

IconFileRenderer::IconFileRenderer(QVector<IconFile> files, int largestSize)
    : m_files(std::move(files)), m_largestSize(largestSize)
{
}

IconFileRenderer::~IconFileRenderer() = default;

IconFileRenderer::Loaded* IconFileRenderer::load(const IconFile& file)
{
    auto it = m_loaded.constFind(file.path);
    if (it != m_loaded.cend())
        return it->get();
    auto loaded = std::make_shared<Loaded>();
    const QByteArray path = QFile::encodeName(file.path);
    if (file.untrusted) {
        // A user's drawing is drawn by the worker at each size (render);
        // a user's picture is decoded there once, for the largest.
        if (!file.scalable) {
            PictureResult picture = readUsersPicture(path, std::max(m_largestSize, 1));
            if (picture.ok()) {
                loaded->picture = std::make_unique<PictureReducer>(picture.decoded.picture);
                loaded->natural = picture.decoded.natural;
            }
        }
    } else if (file.scalable) {
        // Drawn as the desktop draws theme icons, within the drawing limits;
        // pictures it links to come from its own folder only.
        loaded->drawing = OpenDrawingFile(path);
    } else {
        PictureResult picture =
            ReadPictureFile(FileRef(path), FitWithin(std::max(m_largestSize, 1)), PictureFit::ShrunkOnLoad);
        if (picture.ok()) {
            loaded->picture = std::make_unique<PictureReducer>(picture.decoded.picture);
            loaded->natural = picture.decoded.natural;
        }
    }
    m_loaded.insert(file.path, loaded);
    return loaded.get();
}

namespace {

bool drawsSomething(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) != 0)
                return true;
        }
    }
    return false;
}

} // namespace

QImage IconFileRenderer::render(int size)
{
    if (size <= 0 || m_files.isEmpty())
        return {};
    bool tooCostly = false;
    for (const IconFile& file : candidatesFor(m_files, size)) {
        if (file.untrusted && file.scalable) {
            const PictureResult drawn = readUsersPicture(QFile::encodeName(file.path), size);
            if (drawn.ok() && drawsSomething(drawn.decoded.picture))
                return ReduceIntoBox(drawn.decoded.picture, QSize(size, size));
            tooCostly = tooCostly || drawn.status == PictureStatus::TooCostly;
            continue;
        }
        Loaded* loaded = load(file);
        if (!loaded->drawing && !loaded->picture)
            continue;
        const QImage out = loaded->drawing ? DrawIntoBox(*loaded->drawing, QSize(size, size))
                                           : loaded->picture->fitted(QSize(size, size), loaded->natural);
        if (!out.isNull() && drawsSomething(out))
            return out;
        tooCostly = tooCostly || (loaded->drawing && loaded->drawing->status() == PictureStatus::TooCostly);
    }
    m_refusedForCost = m_refusedForCost || tooCostly;
    return {};
}

namespace {

// Sizes are drawn on request from the same pictures render() uses, so the
// menu shows what the commands write.
class FileSetIconEngine : public QIconEngine {
public:
    explicit FileSetIconEngine(QVector<IconFile> files) : m_files(std::move(files)) { }

    QIconEngine* clone() const override { return new FileSetIconEngine(m_files); }
    QString key() const override { return QStringLiteral("pictomat-files"); }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int edge = qMin(size.width(), size.height());
        return edge > 0 ? QSize(edge, edge) : QSize();
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const IconFile& f : m_files) {
            if (f.size > 0 && !sizes.contains(QSize(f.size, f.size)))
                sizes << QSize(f.size, f.size);
        }
        return sizes;
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        const int edge = qMin(size.width(), size.height());
        if (edge <= 0)
            return {};
        QPixmap pm = QPixmap::fromImage(RenderIconFiles(m_files, edge));
        // Disabled and selected looks come from the style, as for any icon.
        if (!pm.isNull() && mode != QIcon::Normal) {
            if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
                QStyleOption option;
                option.palette = QApplication::palette();
                const QPixmap styled = app->style()->generatedIconPixmap(mode, pm, &option);
                if (!styled.isNull())
                    pm = styled;
            }
        }
        return pm;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QSize pixels = (QSizeF(rect.size()) * ratio).toSize();
        QPixmap pm = pixmap(pixels, mode, state);
        if (pm.isNull())
            return;
        pm.setDevicePixelRatio(ratio);
        const QSizeF shown = QSizeF(pm.size()) / ratio;
        const QPointF at(rect.x() + (rect.width() - shown.width()) / 2,
                         rect.y() + (rect.height() - shown.height()) / 2);
        painter->drawPixmap(at, pm);
    }

    bool isNull() override { return m_files.isEmpty(); }

private:
    QVector<IconFile> m_files;
};

} // namespace

QImage RenderIconFiles(const QVector<IconFile>& files, int size)
{
    return IconFileRenderer(files, size).render(size);
}

QIcon MakeFileSetIcon(const QVector<IconFile>& files)
{
    if (files.isEmpty())
        return {};
    return QIcon(new FileSetIconEngine(files));
}

} // namespace pictomat
