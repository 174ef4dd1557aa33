#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"
#include "files/FileRef.h"
#include "files/OutputDirectory.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>
#include <QVector>

#include <optional>

namespace pictomat {

// An app's icons for every platform it ships to, from one picture, drawing
// or PDF, each set laid out as its build tool takes it:
//   macos/NAME.icns and macos/NAME.iconset/      (Xcode, electron-builder, tauri)
//   windows/NAME.ico
//   linux/hicolor/SIZExSIZE/apps/NAME.png ...    (and scalable/apps/NAME.svg)
//   ios/AppIcon.appiconset/                      (Xcode's single 1024 px icon)
//   android/res/                                 (adaptive icon and legacy mipmaps)
//   web/                                         (favicon, touch icon, manifest icons)
enum class AppPlatform { MacOS, Windows, Linux, IOS, Android, Web };

struct AppIconRequest {
    QList<AppPlatform> platforms = {AppPlatform::MacOS, AppPlatform::IOS,     AppPlatform::Windows,
                                    AppPlatform::Linux, AppPlatform::Android, AppPlatform::Web};
    bool macosShape = false;       // the macOS icon on Apple's grid (MacIconShape.h)
    QColor background = Qt::white; // opaque: what shows through where a platform allows no transparency
    QByteArray name = "icon";      // of the macOS, Windows and Linux files
    // Further pictures, when given: the iOS dark and tinted appearances and
    // Android's monochrome layer (else the source's silhouette).
    FileRef dark, tinted, monochrome;
};

// A comma-separated list of macos, windows, linux, ios, android and web;
// nothing, and why, when a word names none of them or none is named.
std::optional<QList<AppPlatform>> ParseAppPlatforms(const QByteArray& list, QString* error);

// Every file of the request's sets, each path under the output folder.
// Nothing, and why, when the source or one of the further pictures is none
// or does not draw.
std::optional<QVector<OutputDirectory::File>> AppIconFiles(const FileRef& source, const AppIconRequest& request,
                                                           QString* why);

// "Make App Icons for Media": the sets of every platform in ITEM-app-icons/.
void MakeAppIconsForMedia(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);

} // namespace pictomat
