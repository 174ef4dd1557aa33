#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>

namespace pictomat {

// One image format the image layer can write.
struct ExporterInfo {
    uint32_t fileType = 0;  // four-character code, host order ('PNGf')
    char typeChars[5] = {}; // the code as text, big-endian character order
    QString typeString;
    QString descriptionString; // "PNG", "JPEG", ...
    QString extensionString;   // preferred extension, no dot
    QString mimeString;        // "image/png"
    QByteArray writerFormat;   // the QImageWriter format name
};

using ExporterList = QVector<ExporterInfo>;

// The image layer as the exporters see it: whether it loads, and the MIME
// types it writes in its own order. The defaults ask Qt's image plugins;
// tests hand in a layer that fails or writes nothing.
struct GraphicsLayer {
    std::function<bool()> load;
    std::function<QList<QByteArray>()> writerMimeTypes;
    GraphicsLayer();
};

// Where the list's diagnostic lines go: the desktop's standard output, which
// only the layers above know.
using DiagnosticOutput = std::function<void(const QByteArray& text)>;

// The list as the image layer offers it now: one exporter per MIME type, in
// the layer's order. Writes the two standard-output lines and the dots.
ExporterList LoadExporterList(const DiagnosticOutput& output, const GraphicsLayer& layer = GraphicsLayer());
// Reloads the list, then matches the extension ignoring case; the last match wins.
bool FindExporterTypeForExtension(const DiagnosticOutput& output, const QString& extension, uint32_t* fileType,
                                  ExporterInfo* info = nullptr, const GraphicsLayer& layer = GraphicsLayer());
// The matching rule of FindExporterTypeForExtension on a given list, without
// reloading: the last entry whose extension matches ignoring case, or null.
const ExporterInfo* MatchExporterExtension(const ExporterList& list, const QString& extension);

// Whether the graphics layer could be loaded (the image plugins are usable).
bool LoadGraphicsLayer(const GraphicsLayer& layer = GraphicsLayer());

} // namespace pictomat
