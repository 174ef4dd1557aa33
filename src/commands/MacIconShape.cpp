#include "commands/MacIconShape.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace pictomat {

namespace {

// |u|^5 + |v|^5: under 1 inside the body, in units of half its side.
double level(double u, double v)
{
    u = std::fabs(u);
    v = std::fabs(v);
    const double u2 = u * u, v2 = v * v;
    return u2 * u2 * u + v2 * v2 * v;
}

// The shadow of Apple's template on its 1024 grid.
constexpr double kShadowDown = 10;
constexpr double kShadowSigma = 5; // a 10 px blur
constexpr double kShadowOpacity = 0.3;

// The mask blurred by a Gaussian of `sigma` pixels, rows then columns, in place.
void blur(std::vector<float>& plane, int m, double sigma)
{
    const int radius = int(std::ceil(3 * sigma));
    std::vector<float> weights(size_t(2 * radius + 1));
    float sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += weights[size_t(i + radius)] = float(std::exp(-0.5 * i * i / (sigma * sigma)));
    for (float& w : weights)
        w /= sum;
    std::vector<float> line(static_cast<size_t>(m));
    for (int pass = 0; pass < 2; ++pass) {
        const size_t step = pass == 0 ? 1 : size_t(m), next = pass == 0 ? size_t(m) : 1;
        for (int k = 0; k < m; ++k) {
            float* at = plane.data() + size_t(k) * next;
            for (int i = 0; i < m; ++i) {
                float value = 0;
                for (int j = std::max(0, i - radius); j <= std::min(m - 1, i + radius); ++j)
                    value += weights[size_t(j - i + radius)] * at[size_t(j) * step];
                line[size_t(i)] = value;
            }
            for (int i = 0; i < m; ++i)
                at[size_t(i) * step] = line[size_t(i)];
        }
    }
}

} // namespace

double MacIconBody(int m)
{
    return m * 824.0 / 1024.0;
}

int MacIconArtEdge(int m)
{
    // As many whole pixels on each side: the art stays centred on the body.
    return m - 2 * int(std::floor((m - MacIconBody(m)) / 2 + 1e-9));
}

QImage MacIconMask(int m, double down)
{
    QImage mask(m, m, QImage::Format_Alpha8);
    if (mask.isNull())
        return mask;
    const double half = MacIconBody(m) / 2, cx = m / 2.0, cy = m / 2.0 + down;
    // The body's measure (|u|^5 + |v|^5)^(1/5) is a norm no larger than the
    // distance itself, so a pixel whose centre is further than its own
    // half-diagonal from the edge lies wholly on one side.
    const double margin = 0.75 / half;
    const double inner = std::pow(std::max(0.0, 1 - margin), 5), outer = std::pow(1 + margin, 5);
    constexpr int kSamples = 16;
    for (int y = 0; y < m; ++y) {
        uchar* row = mask.scanLine(y);
        for (int x = 0; x < m; ++x) {
            const double at = level((x + 0.5 - cx) / half, (y + 0.5 - cy) / half);
            if (at <= inner || at >= outer) {
                row[x] = at <= inner ? 255 : 0;
                continue;
            }
            int inside = 0;
            for (int j = 0; j < kSamples; ++j)
                for (int i = 0; i < kSamples; ++i)
                    inside +=
                        level((x + (i + 0.5) / kSamples - cx) / half, (y + (j + 0.5) / kSamples - cy) / half) <= 1;
            row[x] = uchar((inside * 255 + kSamples * kSamples / 2) / (kSamples * kSamples));
        }
    }
    return mask;
}

QImage MacShapedIcon(const QImage& art, int m, const QColor& background)
{
    QImage body(m, m, QImage::Format_ARGB32_Premultiplied);
    QImage out(m, m, QImage::Format_ARGB32_Premultiplied);
    const QImage mask = MacIconMask(m);
    const QImage shadowMask = MacIconMask(m, kShadowDown * m / 1024);
    if (body.isNull() || out.isNull() || mask.isNull() || shadowMask.isNull())
        return {};
    body.fill(background);
    {
        QPainter painter(&body);
        painter.drawImage(QPoint((m - art.width()) / 2, (m - art.height()) / 2), art);
    }
    std::vector<float> shadow(size_t(m) * size_t(m));
    for (int y = 0; y < m; ++y)
        for (int x = 0; x < m; ++x)
            shadow[size_t(y) * size_t(m) + size_t(x)] = shadowMask.constScanLine(y)[x] / 255.0f;
    const double sigma = kShadowSigma * m / 1024;
    // Under a quarter of a pixel the blur changes nothing that shows.
    if (sigma >= 0.25)
        blur(shadow, m, sigma);
    for (int y = 0; y < m; ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(body.constScanLine(y));
        const uchar* cover = mask.constScanLine(y);
        QRgb* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < m; ++x) {
            // The body clipped to its shape, over the shadow (black, so only alpha).
            const int c = cover[x];
            const int r = (qRed(from[x]) * c + 127) / 255, g = (qGreen(from[x]) * c + 127) / 255,
                      b = (qBlue(from[x]) * c + 127) / 255, a = (qAlpha(from[x]) * c + 127) / 255;
            const int cast = int(
                std::lround(kShadowOpacity * 255 * std::clamp(shadow[size_t(y) * size_t(m) + size_t(x)], 0.0f, 1.0f)));
            to[x] = qRgba(r, g, b, a + (cast * (255 - a) + 127) / 255);
        }
    }
    return out;
}

} // namespace pictomat
