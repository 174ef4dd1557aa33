// "pictomat appicons" from a shell, as an app's build script uses it: every
// platform's set read back by that platform's tools or the nearest Debian
// has (Pillow, icotool, gtk-update-icon-cache, xmllint against the adaptive
// icon's element names, Python's json), and the macOS shape measured against
// a superellipse computed here.

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

namespace pictomat::test {
namespace {

class AppIcons : public TestEnv {
protected:
    QString at(const QString& name) const { return work() + "/" + name; }
    QString save(const QString& name, const QImage& image)
    {
        QDir().mkpath(work());
        EXPECT_TRUE(image.save(at(name))) << name.toStdString();
        return at(name);
    }
    QString write(const QString& name, const QByteArray& bytes)
    {
        QDir().mkpath(work());
        QFile file(at(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return at(name);
    }
};

QImage solid(int size, QColor colour)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

const char kLogo[] = R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100" viewBox="0 0 100 100">
<circle cx="50" cy="50" r="45" fill="rgb(200,40,90)"/></svg>
)svg";

// Every file of every set, where each platform's tools look for it, read
// back by them.
const char kEverySetChecks[] = R"py(
import json, os, re, subprocess, sys
from PIL import Image
out, svg = sys.argv[1], sys.argv[2]
bg = (0x33, 0x66, 0x99)
art = (200, 40, 90)
problems = []
def check(ok, what):
    if not ok:
        problems.append(what)
def near(a, b, slack=8):
    return all(abs(x - y) <= slack for x, y in zip(a, b))
def size_of(path):
    return Image.open(os.path.join(out, path)).size

# macOS: the .iconset's pictures at their names' sizes, the same pictures in
# the .icns as Pillow reads it.
sizes = {}
for name in os.listdir(out + '/macos/App-Logo.iconset'):
    m = re.fullmatch(r'icon_(\d+)x\1(@2x)?\.png', name)
    check(m, 'iconset name ' + name)
    edge = int(m.group(1)) * (2 if m.group(2) else 1)
    check(size_of('macos/App-Logo.iconset/' + name) == (edge, edge), name)
    sizes[edge] = name
check(sorted(sizes) == [16, 32, 64, 128, 256, 512, 1024], 'iconset sizes %s' % sorted(sizes))
icns = Image.open(out + '/macos/App-Logo.icns')
check({(16, 16, 1), (32, 32, 1), (512, 512, 2)} <= set(icns.info['sizes']), 'icns sizes %s' % icns.info['sizes'])
icns.size = (512, 512, 2)
icns.load()
check(list(icns.convert('RGBA').getdata()) ==
      list(Image.open(out + '/macos/App-Logo.iconset/icon_512x512@2x.png').convert('RGBA').getdata()),
      'the .icns and the .iconset differ')

# Windows: icotool lists the ten sizes in 32 bits.
listing = subprocess.run(['icotool', '-l', out + '/windows/App-Logo.ico'], capture_output=True, text=True).stdout
check(re.findall(r'--width=(\d+) --height=\d+ --bit-depth=32', listing) ==
      ['16', '20', '24', '32', '40', '48', '64', '96', '128', '256'], 'ico: ' + listing)

# Linux: GTK takes the folder as a theme.
check(subprocess.run(['gtk-update-icon-cache', '-f', '-t', out + '/linux/hicolor'],
                     capture_output=True).returncode == 0, 'gtk-update-icon-cache')
for edge in (16, 22, 24, 32, 48, 64, 96, 128, 256, 512):
    check(size_of('linux/hicolor/%dx%d/apps/App-Logo.png' % (edge, edge)) == (edge, edge), 'hicolor %d' % edge)
check(open(out + '/linux/hicolor/scalable/apps/App-Logo.svg', 'rb').read() == open(svg, 'rb').read(), 'scalable')

# iOS: Contents.json as Xcode reads it, and pictures without alpha.
ios = out + '/ios/AppIcon.appiconset/'
check(subprocess.run([sys.executable, '-m', 'json.tool', ios + 'Contents.json'],
                     capture_output=True).returncode == 0, 'json.tool')
contents = json.load(open(ios + 'Contents.json'))
check(contents['info'] == {'author': 'xcode', 'version': 1}, 'info')
images = contents['images']
check([i.get('appearances') for i in images] ==
      [None, [{'appearance': 'luminosity', 'value': 'dark'}], [{'appearance': 'luminosity', 'value': 'tinted'}]],
      'appearances %s' % images)
for image in images:
    check(image['idiom'] == 'universal' and image['platform'] == 'ios' and image['size'] == '1024x1024', image)
    im = Image.open(ios + image['filename'])
    check(im.mode == 'RGB' and im.size == (1024, 1024), '%s %s %s' % (image['filename'], im.mode, im.size))
main = Image.open(ios + 'AppIcon.png')
check(main.getpixel((0, 0)) == bg and near(main.getpixel((512, 512)), art), 'AppIcon.png colours')
tinted = Image.open(ios + 'AppIcon-tinted.png')
check(all(r == g == b for r, g, b in tinted.getdata()), 'the tinted picture is grey')
check(Image.open(ios + 'AppIcon-dark.png').getpixel((0, 0)) == (0, 0, 0), 'the dark picture stands on black')

# Android: the adaptive icon's elements by their schema, every resource it
# names, the art in the safe zone, the themed layer its silhouette.
res = out + '/android/res/'
schema = os.path.join(os.path.dirname(out), 'adaptive-icon.rng')
open(schema, 'w').write('''<element name="adaptive-icon" xmlns="http://relaxng.org/ns/structure/1.0">
  <interleave>
    <element name="background"><attribute name="drawable" ns="http://schemas.android.com/apk/res/android"/></element>
    <element name="foreground"><attribute name="drawable" ns="http://schemas.android.com/apk/res/android"/></element>
    <element name="monochrome"><attribute name="drawable" ns="http://schemas.android.com/apk/res/android"/></element>
  </interleave>
</element>''')
lint = subprocess.run(['xmllint', '--noout', '--relaxng', schema, res + 'mipmap-anydpi-v26/ic_launcher.xml',
                       res + 'mipmap-anydpi-v26/ic_launcher_round.xml', res + 'values/ic_launcher_background.xml'],
                      capture_output=True, text=True)
check('ic_launcher.xml validates' in lint.stderr and 'ic_launcher_round.xml validates' in lint.stderr, lint.stderr)
check('ic_launcher_background.xml fails to validate' in lint.stderr, 'values is no adaptive icon')
import xml.etree.ElementTree as ET
A = '{http://schemas.android.com/apk/res/android}drawable'
colours = {c.get('name'): c.text for c in ET.parse(res + 'values/ic_launcher_background.xml').getroot()}
densities = {'mdpi': 1, 'hdpi': 1.5, 'xhdpi': 2, 'xxhdpi': 3, 'xxxhdpi': 4}
for layer in ET.parse(res + 'mipmap-anydpi-v26/ic_launcher.xml').getroot():
    kind, name = layer.get(A)[1:].split('/')
    if kind == 'color':
        check(colours.get(name) == '#336699', 'colour %s' % colours)
    else:
        for d in densities:
            check(os.path.exists('%smipmap-%s/%s.png' % (res, d, name)), '%s at %s' % (name, d))
for d, s in densities.items():
    folder = res + 'mipmap-' + d + '/'
    fg = Image.open(folder + 'ic_launcher_foreground.png').convert('RGBA')
    mono = Image.open(folder + 'ic_launcher_monochrome.png').convert('RGBA')
    check(fg.size == mono.size == (int(108 * s), int(108 * s)), 'layer size at ' + d)
    box = fg.getchannel('A').getbbox()
    check(box[0] >= int(21 * s) and box[1] >= int(21 * s) and box[2] <= int(87 * s) + 1 and box[3] <= int(87 * s) + 1,
          'foreground %s outside the safe zone at %s' % (box, d))
    check(list(mono.getchannel('A').getdata()) == list(fg.getchannel('A').getdata()), 'silhouette at ' + d)
    check(all(p[:3] == (255, 255, 255) for p in mono.getdata() if p[3]), 'monochrome is white at ' + d)
    legacy = Image.open(folder + 'ic_launcher.png').convert('RGBA')
    round_ = Image.open(folder + 'ic_launcher_round.png').convert('RGBA')
    edge = int(48 * s)
    check(legacy.size == round_.size == (edge, edge), 'legacy size at ' + d)
    check(legacy.getpixel((0, 0)) == bg + (255,) and round_.getpixel((0, 0))[3] == 0, 'legacy corners at ' + d)
    check(near(round_.getpixel((edge // 2, edge // 2)), art + (255,)), 'round middle at ' + d)

# The web: the favicon's sizes, the manifest's icons as named, the maskable
# one's art in the middle 80 %.
web = out + '/web/'
check(Image.open(web + 'favicon.ico').info['sizes'] == {(16, 16), (32, 32), (48, 48)}, 'favicon sizes')
check(open(web + 'icon.svg', 'rb').read() == open(svg, 'rb').read(), 'icon.svg')
touch = Image.open(web + 'apple-touch-icon.png')
check(touch.mode == 'RGB' and touch.size == (180, 180) and touch.getpixel((0, 0)) == bg, 'apple-touch-icon')
manifest = json.load(open(web + 'manifest.webmanifest'))
purposes = []
for icon in manifest['icons']:
    purposes.append(icon.get('purpose', 'any'))
    if icon['type'] == 'image/svg+xml':
        check(icon['sizes'] == 'any' and icon['src'] == 'icon.svg', icon)
        continue
    im = Image.open(web + icon['src'])
    check(icon['type'] == 'image/png' and icon['sizes'] == '%dx%d' % im.size, icon)
check(sorted(purposes) == ['any', 'any', 'any', 'maskable'], purposes)
maskable = Image.open(web + 'icon-maskable-512.png')
check(maskable.mode == 'RGB', 'maskable has alpha')
diff = [(i % 512, i // 512) for i, p in enumerate(maskable.getdata()) if not near(p, bg, 2)]
xs, ys = [p[0] for p in diff], [p[1] for p in diff]
check(min(xs) >= 51 and max(xs) <= 461 and min(ys) >= 51 and max(ys) <= 461, 'maskable art %s' % ((min(xs), min(ys), max(xs), max(ys)),))
for p in problems:
    print(p)
)py";

TEST_F(AppIcons, EverySetIsWhatItsPlatformsToolsRead)
{
    const QString svg = write("App Logo.svg", kLogo);
    const QString dark = save("dark.png", solid(64, QColor(250, 250, 250)));
    const QString tinted = save("tinted.png", solid(64, QColor(255, 0, 0)));
    ProcessResult r =
        RunPictomat({"appicons", "--background", "#336699", "--dark", dark, "--tinted", tinted, svg, at("out")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    // Every file written is named on standard output, and nothing else is there.
    QStringList written = QString::fromLocal8Bit(r.out).split('\n', Qt::SkipEmptyParts);
    written.replaceInStrings(at("out") + "/", "");
    EXPECT_EQ(written.size(), 11 + 1 + 11 + 4 + 3 + 5 * 4 + 7) << r.out.constData();
    r = RunPython(kEverySetChecks, {at("out"), svg}, 120000);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "") << r.out.constData();

    // Made again, nothing that exists is replaced without --force.
    const QString ico = at("out/windows/App-Logo.ico");
    QFile::remove(ico);
    write("out/windows/App-Logo.ico", "mine");
    r = RunPictomat({"appicons", "--platforms", "windows", svg, at("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("App-Logo.ico: already exists; not replaced (--force replaces it)"))
        << r.err.constData();
    r = RunPictomat({"appicons", "--platforms", "windows", "--force", svg, at("out")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_NE(QFileInfo(ico).size(), 4);
}

TEST_F(AppIcons, PlatformsAndNamesAreAsAskedAndWordsThatNameNothingAreRefused)
{
    const QString png = save("app.png", solid(1024, QColor(20, 140, 60)));
    ProcessResult r = RunPictomat({"appicons", "--platforms", "web,ios", "--name", "org.example.App", png, at("out")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QDir(at("out")).entryList(QDir::Dirs | QDir::NoDotAndDotDot), (QStringList{"ios", "web"}));
    // A bitmap source has no drawing to ship: the manifest names what is there.
    EXPECT_FALSE(QFileInfo::exists(at("out/web/icon.svg")));
    QFile manifest(at("out/web/manifest.webmanifest"));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    EXPECT_FALSE(manifest.readAll().contains("svg"));
    // Without --dark and --tinted their slots stay, empty, as Xcode leaves them.
    r = RunPython(R"(
import json, sys
images = json.load(open(sys.argv[1]))['images']
print([sorted(i) for i in images])
)",
                  {at("out/ios/AppIcon.appiconset/Contents.json")});
    EXPECT_EQ(r.out.trimmed(),
              "[['filename', 'idiom', 'platform', 'size'], ['appearances', 'idiom', 'platform', "
              "'size'], ['appearances', 'idiom', 'platform', 'size']]")
        << r.err.constData();
    r = RunPictomat({"appicons", "--platforms", "macos", "--name", "org.example.App", png, at("mac")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(QFileInfo::exists(at("mac/macos/org.example.App.icns")));
    // Without --macos-shape the picture is the icon, corner to corner.
    EXPECT_EQ(QImage(at("mac/macos/org.example.App.iconset/icon_512x512@2x.png")).pixelColor(0, 0),
              QColor(20, 140, 60));

    for (const QStringList& words :
         {QStringList{"--platforms", "macos,windoze"}, QStringList{"--background", "not-a-colour"},
          QStringList{"--name", "a b"}, QStringList{"--bogus"}, QStringList{"a-third-operand"}}) {
        r = RunPictomat(QStringList{"appicons"} + words + QStringList{png, at("bad")});
        EXPECT_EQ(r.exitCode, 2) << words.join(' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(at("bad"))) << words.join(' ').toStdString();
    }
    r = RunPictomat({"appicons", write("notes.txt", "plain words"), at("bad")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(at("bad")));
}

// The body's coverage of each pixel, from a superellipse of exponent 5 on
// 824 of 1024, computed here its own way: exactly across each of 64 strips
// of a row, where our code samples points.
const char kShapeChecks[] = R"py(
import sys
from PIL import Image
problems = []
for m, name in ((1024, 'icon_512x512@2x.png'), (256, 'icon_256x256.png'), (16, 'icon_16x16.png')):
    ours = Image.open(sys.argv[1] + '/' + name).convert('RGBA')
    half, c, strips = m * 824 / 1024 / 2, m / 2, 64
    worst, total, area = 0.0, 0.0, 0.0
    for y in range(m):
        spans = []
        for k in range(strips):
            v = (y + (k + 0.5) / strips - c) / half
            if abs(v) < 1:
                reach = half * (1 - abs(v) ** 5) ** 0.2
                spans.append((c - reach, c + reach))
        if not spans:
            for x in range(m):
                r, g, b, a = ours.getpixel((x, y))
                worst = max(worst, r * a / 65025)
            continue
        inner = (max(s[0] for s in spans), min(s[1] for s in spans))
        for x in range(m):
            if inner[0] <= x and x + 1 <= inner[1]:
                want = len(spans) / strips
            else:
                want = sum(max(0.0, min(x + 1, hi) - max(x, lo)) for lo, hi in spans) / strips
            r, g, b, a = ours.getpixel((x, y))
            got = r * a / 65025
            worst = max(worst, abs(got - want))
            total += got
            area += want
    if worst > 0.04 or abs(total - area) > 0.001 * area + 1:
        problems.append('%d: worst pixel off by %.3f, area %.1f for %.1f' % (m, worst, total, area))
big = Image.open(sys.argv[1] + '/icon_512x512@2x.png').convert('RGBA')
# The shadow is cast below the body, none above it.
below, above = big.getpixel((512, 928)), big.getpixel((512, 96))
if not (below[3] > 0 and below[0] == 0 and above[3] == 0):
    problems.append('shadow: below %s above %s' % (below, above))
for p in problems:
    print(p)
)py";

TEST_F(AppIcons, MacShapeIsTheSuperellipseOnApplesGridOverItsShadow)
{
    const QString red = save("red.png", solid(1024, QColor(255, 0, 0)));
    ProcessResult r = RunPictomat({"appicons", "--platforms", "macos", "--macos-shape", red, at("out")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    r = RunPython(kShapeChecks, {at("out/macos/red.iconset")}, 240000);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "") << r.out.constData();
}

} // namespace
} // namespace pictomat::test
