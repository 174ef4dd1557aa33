// Writes the seed corpus for fuzz_weblocation: web locations as the writers
// people use make them, so that mutations start from each form.

#include <QByteArray>
#include <QFile>

#include <plist/plist.h>

#include <cstdio>

namespace {

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray binaryWebloc()
{
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "URL", plist_new_string("https://example.org/"));
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &raw, &length);
    QByteArray bytes(raw, qsizetype(length));
    plist_to_bin_free(raw);
    plist_free(root);
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: fuzz_weblocation_seeds DIR\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool ok =
        write(dir + "/xml.webloc",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n"
              "\t<key>URL</key>\n\t<string>https://example.org/</string>\n</dict>\n</plist>\n")
        && write(dir + "/binary.webloc", binaryWebloc())
        && write(dir + "/chromium.desktop", "[Desktop Entry]\nEncoding=UTF-8\nName=Example\nType=Link\n"
                                            "URL=https://example.org/\nIcon=text-html\n")
        && write(dir + "/dolphin.desktop", "[Desktop Entry]\nIcon=text-html\nName=Site\nType=Link\n"
                                           "URL[$e]=https://example.org/\n\n[X-KDE]\nIcon=other\n")
        && write(dir + "/windows.url", "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n"
                                       "[InternetShortcut]\r\nIDList=\r\nURL=https://example.org/\r\n");
    return ok ? 0 : 1;
}
