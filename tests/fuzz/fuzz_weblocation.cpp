// Feeds arbitrary bytes to the web-location readers of a file's data fork
// (property lists, desktop links, .url files) and, where they hold a desktop
// link, to the editing of its Icon line: the edit must leave a link whose
// Icon is the new value, and taking the key out again must leave none.

#include "commands/WebLocationFile.h"
#include "platform/DesktopEntryText.h"
#include "platform/DesktopLinkIcon.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

using namespace pictomat;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const WebLocation location = WebLocationFromData(bytes);
    if ((location.kind == WebLocation::Kind::Address) == location.address.isEmpty())
        std::abort();
    if (!DesktopLinkIcon::IsDesktopLink(bytes))
        return 0;
    const QByteArray group("Desktop Entry");
    const QByteArray icon("/icons/a b\\c.png");
    const std::optional<QByteArray> edited = DesktopEntryText::WithValue(bytes, group, "Icon", icon);
    if (!edited || !DesktopLinkIcon::IsDesktopLink(*edited) || DesktopEntryText::Value(*edited, group, "Icon") != icon)
        std::abort();
    const std::optional<QByteArray> without = DesktopEntryText::WithoutKey(*edited, group, "Icon");
    if (!without || DesktopEntryText::Value(*without, group, "Icon"))
        std::abort();
    return 0;
}
