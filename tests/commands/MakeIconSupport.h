#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"
#include "platform/IconProvider.h"
#include "prefs/PreferenceStore.h"
#include "RecordingDesktop.h"
#include "TestEnv.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QVariant>

namespace pictomat::test {

// A private HOME and preference domain, the loaded exporters and a recording
// desktop; outputs go beside the items and nothing opens unless a test asks.
class MakeIconFixture : public TestEnv {
protected:
    void SetUp() override;

    void set(const char* key, const QVariant& value);
    // A file in the work folder, where outputs beside the items land.
    QByteArray out(const QString& name) const { return QFile::encodeName(work() + "/" + name); }
    void select(const QList<QByteArray>& paths);
    // The exporter writing this extension, or for a MIME type; nothing when none.
    std::optional<ExporterInfo> exporterFor(const QString& extension) const;
    std::optional<ExporterInfo> exporterForType(const QString& mimeType) const;
    // Runs a command on the selection; an export with the given exporter.
    void run(CommandId id);
    void runExport(const ExporterInfo& exporter);

    // A picture file holding `image` as PNG.
    QByteArray pictureFile(const QString& name, const QImage& image);
    // A desktop entry whose icon is that picture: an item with a known icon.
    QByteArray itemShowing(const QString& name, const QImage& icon);
    // An .icns file whose every picture is one solid colour.
    QByteArray icnsFile(const QString& name, QColor colour);

    RecordingDesktop desktop;
    prefs::PreferenceStore preferences{preferenceFile()};
    IconProvider icons;
    CommandContext context{desktop, preferences, icons};
    ExporterList exporters;
    SelectedItems selection;
};

QImage SolidImage(int size, QColor colour);
// An opaque square of `colour` in the middle half, fully transparent around it.
QImage TransparentCornersImage(int size, QColor colour);
QByteArray FileBytes(const QByteArray& path);
QStringList FolderEntries(const QString& folder);

// What Pillow makes of an image file: "FORMAT WIDTHxHEIGHT", then for every
// point "x,y=R,G,B,A" (converted to RGBA), space separated. Empty on failure.
QByteArray PillowDescribe(const QByteArray& path, const QList<QPoint>& points = {});
// Pillow's sizes of an .icns file after loading each one, or the error text.
QByteArray PillowIcnsSizes(const QByteArray& path);
// The number of elements icns2png lists, or -1 when it refuses the file.
int Icns2pngElementCount(const QByteArray& path);

} // namespace pictomat::test
