#include "platform/IconThemeEngine.h"

#include <QApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

#include <algorithm>

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
    std::stable_sort(files.begin(), files.end(), [&](const IconFile& a, const IconFile& b) { return rank(a) < rank(b); });
    return files;
}

} // namespace

void DrawFitted(QImage& out, const QImage& picture)
{
    const QSize target = picture.size().scaled(out.size(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const QImage scaled = picture.size() == target
        ? picture
        : picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&out);
    painter.drawImage(QPoint((out.width() - target.width()) / 2, (out.height() - target.height()) / 2), scaled);
}

namespace {

bool drawFile(QImage& out, const IconFile& file)
{
    if (file.scalable) {
        QSvgRenderer svg(file.path);
        if (!svg.isValid())
            return false;
        svg.setAspectRatioMode(Qt::KeepAspectRatio);
        QPainter painter(&out);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter, QRectF(0, 0, out.width(), out.height()));
        return true;
    }
    QImageReader reader(file.path);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull())
        return false;
    DrawFitted(out, picture.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    return true;
}

// Sizes are drawn on request from the same pictures render() uses, so the
// menu shows what the commands write.
class FileSetIconEngine : public QIconEngine {
public:
    explicit FileSetIconEngine(QVector<IconFile> files) : m_files(std::move(files)) {}

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
        const QPointF at(rect.x() + (rect.width() - shown.width()) / 2, rect.y() + (rect.height() - shown.height()) / 2);
        painter->drawPixmap(at, pm);
    }

    bool isNull() override { return m_files.isEmpty(); }

private:
    QVector<IconFile> m_files;
};

} // namespace

QImage RenderIconFiles(const QVector<IconFile>& files, int size)
{
    if (size <= 0 || files.isEmpty())
        return {};
    for (const IconFile& file : candidatesFor(files, size)) {
        QImage out(size, size, QImage::Format_ARGB32_Premultiplied);
        if (out.isNull())
            return {};
        out.fill(Qt::transparent);
        if (drawFile(out, file))
            return out;
    }
    return {};
}

QIcon MakeFileSetIcon(const QVector<IconFile>& files)
{
    if (files.isEmpty())
        return {};
    return QIcon(new FileSetIconEngine(files));
}

} // namespace pictomat
