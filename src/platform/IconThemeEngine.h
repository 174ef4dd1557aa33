#pragma once

#include "platform/IconProvider.h"

#include <QIcon>
#include <QImage>
#include <QHash>
#include <QVector>

#include <memory>

namespace pictomat {

// Draws one of the pictures of an icon into a transparent size x size image
// (premultiplied ARGB): the bitmap made for that size, else the scalable
// drawing at the exact size, else the nearest larger bitmap scaled down, else
// the largest smaller one scaled up smoothly. Null when none can be read or
// what was read draws nothing (not one pixel that is not transparent).
QImage RenderIconFiles(const QVector<IconFile>& files, int size);

// The same for one icon at several sizes: each file is read and parsed once
// (pictures decoded at no more than the largest size asked for), not once
// per size.
class IconFileRenderer {
public:
    IconFileRenderer(QVector<IconFile> files, int largestSize);
    ~IconFileRenderer();
    IconFileRenderer(const IconFileRenderer&) = delete;
    IconFileRenderer& operator=(const IconFileRenderer&) = delete;
    QImage render(int size);
    // Whether a size came out empty because a drawing of the icon took
    // longer than the drawing budget: the icon is then refused as a whole.
    bool refusedForCost() const { return m_refusedForCost; }

private:
    struct Loaded;
    Loaded* load(const IconFile& file);
    QVector<IconFile> m_files;
    int m_largestSize;
    QHash<QString, std::shared_ptr<Loaded>> m_loaded;
    bool m_refusedForCost = false;
};
// Draws a picture into the middle of a transparent image, aspect kept.
void DrawFitted(QImage& out, const QImage& picture);

// A QIcon over the same pictures that reads them only when a size is asked
// for, so that finding an icon costs no decoding and needs no GUI.
QIcon MakeFileSetIcon(const QVector<IconFile>& files);

} // namespace pictomat
