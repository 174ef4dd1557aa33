#include "image/Exporters.h"

#include "RecordingDesktop.h"

#include <QImageWriter>

#include <gtest/gtest.h>

namespace pictomat {
namespace {

constexpr uint32_t code(const char (&c)[5])
{
    return (uint32_t(uint8_t(c[0])) << 24) | (uint32_t(uint8_t(c[1])) << 16) | (uint32_t(uint8_t(c[2])) << 8)
           | uint32_t(uint8_t(c[3]));
}

TEST(Exporters, OneEntryPerWritableMimeTypeWithItsCodeAndExtension)
{
    test::RecordingDesktop desktop;
    const ExporterList list = LoadExporterList(desktop.standardOutputWriter());
    QStringList listed;
    for (const ExporterInfo& info : list)
        listed.append(info.mimeString);
    QStringList mimes;
    for (const QByteArray& m : QImageWriter::supportedMimeTypes())
        mimes.append(QString::fromLatin1(m));
    EXPECT_EQ(listed, mimes); // the layer's order, one entry per MIME type

    const struct {
        const char* mime;
        const char (&type)[5];
        const char* description;
        const char* extension;
    } expected[] = {
        {"image/png", "PNGf", "PNG", "png"},    {"image/jpeg", "JPEG", "JPEG", "jpg"},
        {"image/tiff", "TIFF", "TIFF", "tif"},  {"image/bmp", "BMPf", "BMP", "bmp"},
        {"image/webp", "WEBP", "WebP", "webp"},
    };
    for (const auto& e : expected) {
        const qsizetype i = listed.indexOf(QLatin1String(e.mime));
        ASSERT_GE(i, 0) << e.mime;
        const ExporterInfo& info = list[i];
        EXPECT_STREQ(info.typeChars, e.type);
        EXPECT_EQ(info.typeString, QLatin1String(e.type));
        EXPECT_EQ(info.fileType, code(e.type)) << e.mime;
        EXPECT_EQ(info.descriptionString, QLatin1String(e.description));
        EXPECT_EQ(info.extensionString, QLatin1String(e.extension));
        EXPECT_TRUE(QImageWriter::supportedImageFormats().contains(info.writerFormat)) << e.mime;
    }
}

TEST(Exporters, EachLoadWritesTheConsoleLinesExactlyAndNothingWhenEmpty)
{
    test::RecordingDesktop desktop;
    const qsizetype n = LoadExporterList(desktop.standardOutputWriter()).size();
    const QByteArray once = "Pictomat: Loading " + QByteArray::number(n) + " Quicktime exporters" + QByteArray(n, '.')
                            + "\nPictomat: Quicktime exporters successfully loaded.\n";
    EXPECT_EQ(desktop.standardOutput, once);
    uint32_t type = 0;
    EXPECT_TRUE(FindExporterTypeForExtension(desktop.standardOutputWriter(), "png", &type)); // a lookup reloads
    EXPECT_EQ(desktop.standardOutput, once + once);

    // An image layer that writes nothing lists nothing and says nothing.
    GraphicsLayer empty;
    empty.writerMimeTypes = [] { return QList<QByteArray>(); };
    test::RecordingDesktop quiet;
    EXPECT_TRUE(LoadExporterList(quiet.standardOutputWriter(), empty).isEmpty());
    type = 7;
    EXPECT_FALSE(FindExporterTypeForExtension(quiet.standardOutputWriter(), "png", &type, nullptr, empty));
    EXPECT_EQ(type, 7u);
    EXPECT_TRUE(quiet.standardOutput.isEmpty());
}

TEST(Exporters, ExtensionLookupIgnoresCaseAndTheLastMatchWins)
{
    test::RecordingDesktop desktop;
    uint32_t type = 0;
    ExporterInfo info;
    ASSERT_TRUE(FindExporterTypeForExtension(desktop.standardOutputWriter(), "PnG", &type, &info));
    EXPECT_EQ(type, code("PNGf"));
    EXPECT_EQ(info.mimeString, "image/png");
    EXPECT_TRUE(FindExporterTypeForExtension(desktop.standardOutputWriter(), "TIF", &type));
    EXPECT_EQ(type, code("TIFF"));
    EXPECT_FALSE(FindExporterTypeForExtension(desktop.standardOutputWriter(), "nosuchformat", &type));
    EXPECT_FALSE(FindExporterTypeForExtension(desktop.standardOutputWriter(), "", &type));

    ExporterList twins(3);
    const char* extensions[] = {"png", "jpg", "PNG"};
    for (int i = 0; i < 3; ++i) {
        twins[i].extensionString = extensions[i];
        twins[i].fileType = uint32_t(i + 1);
    }
    EXPECT_EQ(MatchExporterExtension(twins, "Png")->fileType, 3u);
    EXPECT_EQ(MatchExporterExtension(twins, "JPG")->fileType, 2u);
}

} // namespace
} // namespace pictomat
