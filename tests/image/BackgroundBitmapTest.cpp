#include "image/BackgroundBitmap.h"
#include "platform/ItemIcon.h"

#include "ImageTestSupport.h"
#include "TestEnv.h"

#include <QPainter>
#include <QSet>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace pictomat {
namespace {

class BackgroundBitmap : public test::TestEnv {
protected:
    // Every pixel of the buffer, bytes in memory order (R, G, B, A).
    static void expectEveryPixel(const QImage& bitmap, std::array<int, 4> rgba, int tolerance = 0)
    {
        const uchar* bits = bitmap.constBits();
        for (qsizetype i = 0; i < qsizetype(bitmap.width()) * bitmap.height() * 4; ++i) {
            if (std::abs(int(bits[i]) - rgba[i % 4]) > tolerance) {
                ADD_FAILURE() << "byte " << i << " is " << int(bits[i]) << ", expected " << rgba[i % 4];
                return;
            }
        }
    }

    IconProvider::Icon halfRedIcon()
    {
        QImage picture(64, 64, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        QPainter(&picture).fillRect(32, 0, 32, 64, Qt::red);
        IconProvider::Icon icon;
        icon.source = work() + "/half.png";
        EXPECT_TRUE(picture.save(icon.source));
        icon.files.append(IconFile{icon.source, 64, false});
        return icon;
    }
};

TEST_F(BackgroundBitmap, IsTightPremultipliedRgbaFilledWithTheColour)
{
    for (QSize size : {QSize(128, 128), QSize(3, 5)}) {
        const std::optional<QImage> bitmap = CreateBackgroundBitmap(size.width(), size.height(), {});
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->format(), QImage::Format_RGBA8888_Premultiplied);
        EXPECT_EQ(bitmap->size(), size);
        EXPECT_EQ(bitmap->bytesPerLine(), size.width() * 4);
        expectEveryPixel(*bitmap, {255, 255, 255, 255}); // the default: opaque white
    }
    std::optional<QImage> bitmap = CreateBackgroundBitmap(16, 24, {0.0f, 0.0f, 1.0f, 1.0f});
    ASSERT_TRUE(bitmap);
    expectEveryPixel(*bitmap, {0, 0, 255, 255});

    // Components a hand-edited file holds out of range are brought into it.
    bitmap = CreateBackgroundBitmap(4, 4, {7.0f, -3.0f, 1.0f, std::nanf("")});
    ASSERT_TRUE(bitmap);
    expectEveryPixel(*bitmap, {255, 0, 255, 255});

    // Transparent, and premultiplied over white.
    bitmap = CreateBackgroundBitmap(16, 16, {0.2f, 1.0f, 1.0f, 0.0f});
    ASSERT_TRUE(bitmap);
    expectEveryPixel(*bitmap, {0, 0, 0, 0});
    bitmap = CreateBackgroundBitmap(16, 16, {1.0f, 1.0f, 1.0f, 0.5f});
    ASSERT_TRUE(bitmap);
    expectEveryPixel(*bitmap, {128, 128, 128, 128}, 1);
}

TEST_F(BackgroundBitmap, SizesThatCannotBeHadGiveNothing)
{
    for (auto [w, h] :
         {std::pair{0, 16}, {16, 0}, {-1, 16}, {16, -128}, {100000, 100000}, {INT32_MAX, INT32_MAX}, {INT32_MAX, 1}})
        EXPECT_FALSE(CreateBackgroundBitmap(w, h, {})) << w << "x" << h;
}

TEST_F(BackgroundBitmap, IconIsCompositedOverTheWholeSquare)
{
    const IconProvider::Icon icon = halfRedIcon();
    for (int size : {32, 128}) { // drawn down and scaled up
        std::optional<QImage> bitmap = CreateBackgroundBitmap(size, size, {0.0f, 0.0f, 1.0f, 1.0f});
        ASSERT_TRUE(bitmap);
        ASSERT_TRUE(DrawIconIntoBitmap(*bitmap, icon));
        const int q = size / 4;
        EXPECT_TRUE(test::Near(bitmap->pixel(q, q), Qt::blue, 2)) << size; // the background shows through
        EXPECT_TRUE(test::Near(bitmap->pixel(3 * q, q), Qt::red, 2)) << size;
        EXPECT_TRUE(test::Near(bitmap->pixel(size - 1, size - 1), Qt::red, 2)) << size;
    }
    std::optional<QImage> bitmap = CreateBackgroundBitmap(16, 16, {});
    EXPECT_FALSE(DrawIconIntoBitmap(*bitmap, IconProvider::Icon()));
}

TEST_F(BackgroundBitmap, ItemIconFamilyHoldsEverySize)
{
    const icns::IconFamily family = IconFamilyForItemIcon(halfRedIcon());
    QSet<int> sizes;
    for (const icns::IconFamily::Image& image : family.images()) {
        sizes.insert(image.pixelSize);
        const int e = image.image.width();
        EXPECT_EQ(e, image.pixelSize);
        EXPECT_EQ(qAlpha(image.image.pixel(e / 4, e / 2)), 0) << e;
        EXPECT_TRUE(test::Near(image.image.pixel(3 * e / 4, e / 2), Qt::red, 2)) << e;
    }
    EXPECT_EQ(sizes, (QSet<int>{16, 32, 64, 128, 256, 512, 1024}));
    EXPECT_TRUE(IconFamilyForItemIcon(IconProvider::Icon()).isEmpty());
}

} // namespace
} // namespace pictomat
