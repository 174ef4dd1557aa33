// Writes the seed corpus for fuzz_weblocation: web locations as the writers
// people use make them, so that mutations start from each form.

#include "SeedWriter.h"

int main(int argc, char** argv)
{
    using namespace pictomat::test;
    plist_t binary = plist_new_dict();
    plist_dict_set_item(binary, "URL", plist_new_string("https://example.org/"));
    return WriteSeeds(
        argc, argv,
        {{"xml.webloc",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
          "1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n"
          "\t<key>URL</key>\n\t<string>https://example.org/</string>\n</dict>\n</plist>\n"},
         {"binary.webloc", BinaryPlistFrom(binary)},
         {"chromium.desktop",
          "[Desktop Entry]\nEncoding=UTF-8\nName=Example\nType=Link\n"
          "URL=https://example.org/\nIcon=text-html\n"},
         {"dolphin.desktop",
          "[Desktop Entry]\nIcon=text-html\nName=Site\nType=Link\n"
          "URL[$e]=https://example.org/\n\n[X-KDE]\nIcon=other\n"},
         {"windows.url",
          "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n"
          "[InternetShortcut]\r\nIDList=\r\nURL=https://example.org/\r\n"}});
}
