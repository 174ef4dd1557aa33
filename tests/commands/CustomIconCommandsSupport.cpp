#include "CustomIconCommandsSupport.h"

#include "files/FileRef.h"
#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <glib.h>

#include <cstdlib>

namespace pictomat::test {

bool WritePillowPictures(const QString& folder)
{
    const ProcessResult r = RunPython(
        "import sys\n"
        "from PIL import Image\n"
        "a = Image.new('RGBA', (48, 32), (0, 0, 0, 0))\n"
        "a.paste((255, 0, 0, 255), (0, 0, 24, 32))\n"
        "a.save(sys.argv[1] + '/left-red.png')\n"
        "b = Image.new('RGB', (30, 20), (0, 0, 255))\n"
        "b.paste((0, 200, 0), (0, 0, 15, 10))\n"
        "b.paste((250, 250, 0), (15, 10, 30, 20))\n"
        "b.save(sys.argv[1] + '/quadrants.bmp')\n",
        {folder});
    if (r.exitCode != 0)
        ADD_FAILURE() << "Pillow could not write the pictures: " << r.err.toStdString();
    return r.exitCode == 0;
}

QByteArray PillowCompare(const QByteArray& png, const QByteArray& reference)
{
    const ProcessResult r = RunPython(
        "import sys\n"
        "from PIL import Image\n"
        "a, b = Image.open(sys.argv[1]), Image.open(sys.argv[2])\n"
        "if a.size != b.size: print(a.format, 'size', a.size, b.size)\n"
        "elif list(a.convert('RGBA').getdata()) != list(b.convert('RGBA').getdata()):\n"
        "    print(a.format, 'pixels differ')\n"
        "else: print(a.format, 'same')\n",
        {QFile::decodeName(png), QFile::decodeName(reference)});
    return r.exitCode == 0 ? r.out.trimmed() : "Pillow failed: " + r.err;
}

} // namespace pictomat::test
