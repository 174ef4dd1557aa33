// Renders an SVG to a square PNG at build time, for the hicolor icon sizes,
// with MARGIN transparent pixels around it where a smaller grid's drawing
// fills a larger size (a 22 pixel drawing as the 24 pixel icon).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: render_svg IN.svg SIZE OUT.png [MARGIN]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    const int size = QByteArray(argv[2]).toInt();
    const int margin = argc == 5 ? QByteArray(argv[4]).toInt() : 0;
    if (!svg.isValid() || size <= 0 || margin < 0 || 2 * margin >= size)
        return 1;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter, QRectF(margin, margin, size - 2 * margin, size - 2 * margin));
    painter.end();
    return image.save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
