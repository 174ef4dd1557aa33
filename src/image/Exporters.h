#pragma once

#include "platform/Desktop.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>

namespace pictomat {

// One image format the image layer can write.
struct ExporterInfo {
    uint32_t fileType = 0;    // four-character code, host order ('PNGf')
    char typeChars[5] = {};   // the code as text, big-endian character order
    QString typeString;
    QString descriptionString;  // "PNG", "JPEG", ...
    QString extensionString;    // preferred extension, no dot
    QString mimeString;         // "image/png"
    QByteArray writerFormat;    // the QImageWriter format name
};

using ExporterList = QVector<ExporterInfo>;

// The list as the image layer offers it now: one exporter per MIME type, in
// the layer's order. Writes the two standard-output lines and the dots.
ExporterList LoadExporterList(Desktop& desktop);
// Reloads the list, then matches the extension ignoring case; the last match wins.
bool FindExporterTypeForExtension(Desktop& desktop, const QString& extension, uint32_t* fileType,
                                  ExporterInfo* info = nullptr);
// The matching rule of FindExporterTypeForExtension on a given list, without
// reloading: the last entry whose extension matches ignoring case, or null.
const ExporterInfo* MatchExporterExtension(const ExporterList& list, const QString& extension);

// Whether the graphics layer could be loaded (Qt's image plugins are usable).
// Tests make it fail with PICTOMAT_FAIL_GRAPHICS=1.
bool LoadGraphicsLayer();

} // namespace pictomat
