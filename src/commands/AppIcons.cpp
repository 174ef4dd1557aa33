#include "commands/AppIcons.h"

#include "commands/CommandServices.h"
#include "commands/FailureCause.h"
#include "commands/ItemOperations.h"
#include "commands/Log.h"
#include "commands/MacIconShape.h"
#include "commands/MakeIconLoop.h"
#include "commands/PlatformIcons.h"
#include "icns/Contents.h"
#include "icns/IconFamily.h"
#include "icns/Png.h"
#include "output/OutputFolder.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <thread>

namespace pictomat {

namespace {

constexpr const char* kPlatformNames[] = {"macos", "windows", "linux", "ios", "android", "web"};
constexpr AppPlatform kPlatforms[] = {AppPlatform::MacOS, AppPlatform::Windows, AppPlatform::Linux,
                                      AppPlatform::IOS,   AppPlatform::Android, AppPlatform::Web};

constexpr int kMacSizes[] = {16, 32, 48, 64, 128, 256, 512, 1024};
constexpr int kAppStoreEdge = 1024;

// Android's densities. An adaptive icon's layers are 108 dp, of which a
// launcher's mask always shows the middle 66 dp (the art goes there); a
// legacy icon is 48 dp, the 72 dp a mask shows of the layers shrunk into it.
struct Density {
    const char* name;
    double scale;
    int layer() const { return int(108 * scale); }
    int layerArt() const { return int(66 * scale); }
    int legacy() const { return int(48 * scale); }
    int legacyArt() const { return int(44 * scale); }
};
constexpr Density kDensities[] = {{"mdpi", 1}, {"hdpi", 1.5}, {"xhdpi", 2}, {"xxhdpi", 3}, {"xxxhdpi", 4}};

// The web's icons: a browser tab's favicon sizes, the touch icon iOS takes
// from a page, the manifest's icons, and a maskable one whose art keeps to
// the middle 80 %, where a mask of any shape leaves it whole.
constexpr int kFaviconSizes[] = {16, 32, 48};
constexpr int kTouchIconEdge = 180;
constexpr int kManifestSizes[] = {192, 512};
constexpr int kMaskableEdge = 512;
constexpr int kMaskableArt = 410;

bool wants(const AppIconRequest& request, AppPlatform platform)
{
    return request.platforms.contains(platform);
}

// Every edge the source is drawn at for the request's sets.
QList<int> sourceEdges(const AppIconRequest& request)
{
    QSet<int> edges;
    if (wants(request, AppPlatform::MacOS))
        for (int m : kMacSizes)
            edges.insert(request.macosShape ? MacIconArtEdge(m) : m);
    if (wants(request, AppPlatform::Windows))
        for (int m : kWindowsIconSizes)
            edges.insert(m);
    if (wants(request, AppPlatform::Linux))
        for (int m : kLinuxIconSetSizes)
            edges.insert(m);
    if (wants(request, AppPlatform::IOS))
        edges.insert(kAppStoreEdge);
    if (wants(request, AppPlatform::Android))
        for (const Density& d : kDensities)
            edges.unite({d.layerArt(), d.legacyArt()});
    if (wants(request, AppPlatform::Web)) {
        for (int m : kFaviconSizes)
            edges.insert(m);
        for (int m : kManifestSizes)
            edges.insert(m);
        edges.unite({kTouchIconEdge, kMaskableArt});
    }
    QList<int> sorted(edges.begin(), edges.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

// `art` centred on an `edge` square of `fill` (transparent when not given).
QImage onSquare(const QImage& art, int edge, const QColor& fill = Qt::transparent)
{
    QImage out(edge, edge, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    out.fill(fill);
    QPainter painter(&out);
    painter.drawImage(QPoint((edge - art.width()) / 2, (edge - art.height()) / 2), art);
    return out;
}

// An opaque picture without an alpha channel at all, as the App Store
// takes it: transparency laid over the background.
QImage opaqueOn(const QImage& art, const QColor& background)
{
    return onSquare(art, art.width(), background).convertToFormat(QImage::Format_RGB32);
}

// The picture's shape in white: what a themed launcher tints.
QImage silhouette(const QImage& art)
{
    QImage out = art.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            row[x] = qRgba(255, 255, 255, qAlpha(row[x]));
    }
    return out;
}

// An opaque picture in grey, which iOS tints.
QImage greyed(const QImage& opaque)
{
    QImage out = opaque.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            row[x] = qRgb(qGray(row[x]), qGray(row[x]), qGray(row[x]));
    }
    return out;
}

// The square clipped to the circle it holds, each edge pixel sampled 4 x 4.
QImage inCircle(const QImage& square)
{
    QImage out = square.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const double r = out.width() / 2.0;
    for (int y = 0; y < out.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            int inside = 0;
            for (int j = 0; j < 4; ++j)
                for (int i = 0; i < 4; ++i)
                    inside += std::hypot(x + (i + 0.5) / 4 - r, y + (j + 0.5) / 4 - r) <= r;
            if (inside < 16) {
                const QRgb p = row[x];
                row[x] = qRgba(qRed(p) * inside / 16, qGreen(p) * inside / 16, qBlue(p) * inside / 16,
                               qAlpha(p) * inside / 16);
            }
        }
    }
    return out;
}

// PNG of a picture with transparency, by the icon codec's fast encoder.
QByteArray pngOf(const QImage& picture)
{
    return icns::codec::EncodePng(picture);
}

// PNG of an opaque picture, without an alpha channel.
QByteArray rgbPngOf(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // zlib's fastest level: the opaque pictures (iOS, the web's touch and
    // maskable icons) in a third of the time, their files half as large again.
    writer.setQuality(80);
    return writer.write(picture.convertToFormat(QImage::Format_RGB32)) ? bytes : QByteArray();
}

QString hexColour(const QColor& colour)
{
    return colour.name(QColor::HexRgb).toUpper();
}

// The pictures of the files the request names besides the source, each at
// the edges given; nothing, and why, when one gives none: `failed`, a text
// marked for "Cause" that names the picture's file and its reason.
std::optional<QMap<int, QImage>> extraPictures(const FileRef& file, const QList<int>& edges, const char* failed,
                                               QString* why)
{
    QString reason;
    std::optional<QMap<int, QImage>> pictures = MediaPicturesAt(file, edges, &reason);
    if (!pictures && why)
        *why = QCoreApplication::translate("Cause", failed)
                   .arg(file.displayPath(), reason.isEmpty() ? cause::ofPicture(PictureStatus::NotAPicture) : reason);
    return pictures;
}

struct Sets {
    const AppIconRequest& request;
    const QMap<int, QImage>& art;
    QVector<OutputDirectory::File> files;
    bool complete = true;

    void add(const QByteArray& path, const QByteArray& bytes)
    {
        complete = complete && !bytes.isEmpty();
        files.append({path, bytes});
    }

    void macos()
    {
        QMap<int, QImage> rows;
        for (int m : kMacSizes)
            rows.insert(m, request.macosShape ? MacShapedIcon(art.value(MacIconArtEdge(m)), m, request.background)
                                              : art.value(m));
        // Each PNG is made once, for the icon file and the .iconset alike.
        QMap<int, QByteArray> pngs;
        for (auto it = rows.cbegin(); it != rows.cend(); ++it)
            if (icns::IconFamily::hasPngSlot(it.key()) || it.key() == 16)
                pngs.insert(it.key(), pngOf(it.value()));
        icns::IconFamily::WriteOptions options;
        options.legacy48 = true;
        options.legacy128 = true;
        QMap<int, QByteArray> slotPngs = pngs;
        slotPngs.remove(16);
        add("macos/" + request.name + ".icns", icns::IconFamily::fromImages(rows, options, slotPngs).toIcns());
        for (const icns::IconsetSlot& slot : icns::IconsetSlots())
            add("macos/" + request.name + ".iconset/" + slot.name, pngs.value(slot.pixels()));
    }

    void windows()
    {
        QMap<int, QImage> pictures;
        for (int m : kWindowsIconSizes)
            pictures.insert(m, art.value(m));
        add("windows/" + request.name + ".ico", IcoFromPictures(pictures));
    }

    void hicolor(const std::optional<QByteArray>& svg)
    {
        QMap<int, QImage> pictures;
        for (int m : kLinuxIconSetSizes)
            pictures.insert(m, art.value(m));
        const QVector<OutputDirectory::File> set = LinuxIconSetFiles(pictures, request.name, svg);
        complete = complete && !set.isEmpty();
        for (const OutputDirectory::File& file : set)
            files.append({"linux/hicolor/" + file.path, file.bytes});
    }

    void ios(const std::optional<QImage>& dark, const std::optional<QImage>& tinted)
    {
        const QByteArray folder = "ios/AppIcon.appiconset/";
        add(folder + "AppIcon.png", rgbPngOf(opaqueOn(art.value(kAppStoreEdge), request.background)));
        // The dark and tinted appearances stand on black, as iOS shows them;
        // the tinted one in grey, which iOS colours.
        if (dark)
            add(folder + "AppIcon-dark.png", rgbPngOf(opaqueOn(*dark, Qt::black)));
        if (tinted)
            add(folder + "AppIcon-tinted.png", rgbPngOf(greyed(opaqueOn(*tinted, Qt::black))));
        add(folder + "Contents.json", iosContents(bool(dark), bool(tinted)));
    }

    // As Xcode 16 writes a single-size app icon: the universal 1024 px
    // picture and the slots of its dark and tinted appearances, each named
    // when it has a picture.
    static QByteArray iosContents(bool dark, bool tinted)
    {
        auto image = [](const char* appearance, const char* file) {
            QByteArray entry = "    {\n";
            if (appearance)
                entry += QByteArray(
                             "      \"appearances\" : [\n        {\n          \"appearance\" : \"luminosity\",\n"
                             "          \"value\" : \"")
                         + appearance + "\"\n        }\n      ],\n";
            if (file)
                entry += QByteArray("      \"filename\" : \"") + file + "\",\n";
            entry +=
                "      \"idiom\" : \"universal\",\n      \"platform\" : \"ios\",\n"
                "      \"size\" : \"1024x1024\"\n    }";
            return entry;
        };
        return "{\n  \"images\" : [\n" + image(nullptr, "AppIcon.png") + ",\n"
               + image("dark", dark ? "AppIcon-dark.png" : nullptr) + ",\n"
               + image("tinted", tinted ? "AppIcon-tinted.png" : nullptr)
               + "\n  ],\n  \"info\" : {\n    \"author\" : \"xcode\",\n    \"version\" : 1\n  }\n}\n";
    }

    void android(const std::optional<QMap<int, QImage>>& monochrome)
    {
        const QByteArray res = "android/res/";
        const QByteArray adaptive =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<adaptive-icon xmlns:android=\"http://schemas.android.com/apk/res/android\">\n"
            "    <background android:drawable=\"@color/ic_launcher_background\"/>\n"
            "    <foreground android:drawable=\"@mipmap/ic_launcher_foreground\"/>\n"
            "    <monochrome android:drawable=\"@mipmap/ic_launcher_monochrome\"/>\n"
            "</adaptive-icon>\n";
        add(res + "mipmap-anydpi-v26/ic_launcher.xml", adaptive);
        add(res + "mipmap-anydpi-v26/ic_launcher_round.xml", adaptive);
        add(res + "values/ic_launcher_background.xml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<resources>\n    <color name=\"ic_launcher_background\">"
                + hexColour(request.background).toLatin1() + "</color>\n</resources>\n");
        for (const Density& d : kDensities) {
            const QByteArray folder = res + "mipmap-" + d.name + "/";
            const QImage layerArt = art.value(d.layerArt());
            add(folder + "ic_launcher_foreground.png", pngOf(onSquare(layerArt, d.layer())));
            const QImage mono = monochrome ? monochrome->value(d.layerArt()) : silhouette(layerArt);
            add(folder + "ic_launcher_monochrome.png", pngOf(onSquare(mono, d.layer())));
            const QImage legacy = onSquare(art.value(d.legacyArt()), d.legacy(), request.background);
            add(folder + "ic_launcher.png", pngOf(legacy));
            add(folder + "ic_launcher_round.png", pngOf(inCircle(legacy)));
        }
    }

    void web(const std::optional<QByteArray>& svg)
    {
        QMap<int, QImage> favicon;
        for (int m : kFaviconSizes)
            favicon.insert(m, art.value(m));
        add("web/favicon.ico", IcoFromPictures(favicon));
        if (svg)
            add("web/icon.svg", *svg);
        add("web/apple-touch-icon.png", rgbPngOf(opaqueOn(art.value(kTouchIconEdge), request.background)));
        QByteArray icons;
        for (int m : kManifestSizes) {
            const QByteArray name = "icon-" + QByteArray::number(m) + ".png";
            add("web/" + name, pngOf(art.value(m)));
            icons += "    {\"src\": \"" + name + "\", \"sizes\": \"" + QByteArray::number(m) + 'x'
                     + QByteArray::number(m) + "\", \"type\": \"image/png\"},\n";
        }
        add("web/icon-maskable-512.png",
            rgbPngOf(onSquare(art.value(kMaskableArt), kMaskableEdge, request.background)));
        icons +=
            "    {\"src\": \"icon-maskable-512.png\", \"sizes\": \"512x512\", \"type\": \"image/png\", "
            "\"purpose\": \"maskable\"}";
        if (svg)
            icons += ",\n    {\"src\": \"icon.svg\", \"sizes\": \"any\", \"type\": \"image/svg+xml\"}";
        add("web/manifest.webmanifest", "{\n  \"icons\": [\n" + icons + "\n  ]\n}\n");
    }
};

QByteArray appIconsOutputName(const QByteArray& itemName, const CommandRequest&, const CommandSettings&)
{
    return itemName + "-app-icons";
}

void fillAppIcons(CommandContext& context, const CommandRequest& command, const CommandSettings& settings,
                  const MakeIconItem& job)
{
    AppIconRequest request;
    QString unused;
    if (command.options.platforms)
        request.platforms = ParseAppPlatforms(*command.options.platforms, &unused).value_or(request.platforms);
    request.macosShape = settings.macosShape;
    // Opaque, and white for what no colour is (a component stored by hand as NaN).
    auto unit = [](float v) { return std::isnan(v) ? 1.0f : std::clamp(v, 0.0f, 1.0f); };
    request.background = QColor::fromRgbF(unit(settings.background.red), unit(settings.background.green),
                                          unit(settings.background.blue));
    request.name = IconThemeName(job.item.name());
    QString why;
    const std::optional<QVector<OutputDirectory::File>> files =
        job.item.exists() ? AppIconFiles(job.item, request, &why) : std::nullopt;
    if (!files) {
        ShowItemAlert(context,
                      QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The icon could not be obtained from the file.")),
                      job.item.exists() ? why : MissingItemCause(context));
        return;
    }
    if (WriteOutput(context, job.output, OutputDirectory::partsOf(*files)))
        NotifyFinderOfChange(job.output.target());
}

} // namespace

std::optional<QList<AppPlatform>> ParseAppPlatforms(const QByteArray& list, QString* error)
{
    QList<AppPlatform> platforms;
    for (const QByteArray& word : list.split(',')) {
        const QByteArray name = word.trimmed().toLower();
        const auto at = std::find_if(std::begin(kPlatformNames), std::end(kPlatformNames),
                                     [&name](const char* known) { return name == known; });
        if (at == std::end(kPlatformNames)) {
            *error = QCoreApplication::translate("CommandLine",
                                                 "\"%1\" is no platform (macos, windows, linux, ios, android, web)")
                         .arg(QString::fromUtf8(name));
            return std::nullopt;
        }
        const AppPlatform platform = kPlatforms[at - std::begin(kPlatformNames)];
        if (!platforms.contains(platform))
            platforms.append(platform);
    }
    return platforms;
}

std::optional<QVector<OutputDirectory::File>> AppIconFiles(const FileRef& source, const AppIconRequest& request,
                                                           QString* why)
{
    const QList<int> edges = sourceEdges(request);
    QString reason;
    const std::optional<QMap<int, QImage>> art = MediaPicturesAt(source, edges, &reason);
    if (!art) {
        if (why)
            *why = reason.isEmpty() ? cause::ofPicture(PictureStatus::NotAPicture) : reason;
        return std::nullopt;
    }
    std::optional<QImage> dark, tinted;
    std::optional<QMap<int, QImage>> monochrome;
    if (wants(request, AppPlatform::IOS) && !request.dark.isEmpty()) {
        const std::optional<QMap<int, QImage>> pictures =
            extraPictures(request.dark, {kAppStoreEdge}, QT_TRANSLATE_NOOP("Cause", "the dark picture %1: %2"), why);
        if (!pictures)
            return std::nullopt;
        dark = pictures->value(kAppStoreEdge);
    }
    if (wants(request, AppPlatform::IOS) && !request.tinted.isEmpty()) {
        const std::optional<QMap<int, QImage>> pictures = extraPictures(
            request.tinted, {kAppStoreEdge}, QT_TRANSLATE_NOOP("Cause", "the tinted picture %1: %2"), why);
        if (!pictures)
            return std::nullopt;
        tinted = pictures->value(kAppStoreEdge);
    }
    if (wants(request, AppPlatform::Android) && !request.monochrome.isEmpty()) {
        QList<int> layerEdges;
        for (const Density& d : kDensities)
            layerEdges.append(d.layerArt());
        monochrome = extraPictures(request.monochrome, layerEdges,
                                   QT_TRANSLATE_NOOP("Cause", "the monochrome picture %1: %2"), why);
        if (!monochrome)
            return std::nullopt;
    }
    const std::optional<QByteArray> svg =
        wants(request, AppPlatform::Linux) || wants(request, AppPlatform::Web) ? SvgSourceOf(source) : std::nullopt;
    Sets sets{request, *art, {}};
    // The order of the platforms as named: each set's files together.
    for (AppPlatform platform : request.platforms) {
        switch (platform) {
        case AppPlatform::MacOS: sets.macos(); break;
        case AppPlatform::Windows: sets.windows(); break;
        case AppPlatform::Linux: sets.hicolor(svg); break;
        case AppPlatform::IOS: sets.ios(dark, tinted); break;
        case AppPlatform::Android: sets.android(monochrome); break;
        case AppPlatform::Web: sets.web(svg); break;
        }
    }
    if (!sets.complete) {
        if (why)
            *why = QStringLiteral(QT_TRANSLATE_NOOP("Cause", "the pictures could not be encoded"));
        return std::nullopt;
    }
    return sets.files;
}

void MakeAppIconsForMedia(CommandContext& context, const CommandRequest& request, const CommandSettings& settings)
{
    RunMakeIconLoop(context, request, settings, MakeIconWork{&appIconsOutputName, &fillAppIcons, false, true});
}

} // namespace pictomat
