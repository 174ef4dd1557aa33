#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QVector>

#include <optional>

namespace pictomat {

// The one way a picture is made smaller (or, rarely, larger) anywhere in the
// program: whole-factor box averaging down to no less than sixteen times the
// target (decoders shrink on load to no less than twice it),
// then a Lanczos filter (three lobes) on premultiplied pixels, the source's
// edges mapped exactly onto the target's, so nothing shifts or grows.
// Premultiplied ARGB32 out; null for an empty size or source.
QImage ReducePicture(const QImage& picture, QSize size);

// One picture reduced to many sizes, as an icon family needs: the box
// averages are made once, each half the one before, and every size is
// filtered from the smallest of them that is still sixteen times as large.
class PictureReducer {
public:
    explicit PictureReducer(const QImage& picture);
    QImage reduced(QSize size);
    // The same written straight into a premultiplied ARGB32 picture at `at`.
    bool reduceInto(QImage& target, QPoint at, QSize size);
    // The picture fitted inside `box`, aspect kept (of `natural` when given:
    // the picture's own size before it was shrunk on load), centred in a
    // transparent image of the box's size.
    QImage fitted(QSize box, QSize natural = {});
    QSize sourceSize() const { return m_source; }
    // Frees the averages no size up to `largest` is made from any more.
    void onlyNeed(QSize largest);
    // Makes every average these sizes are filtered from now, so that two
    // threads may then ask for sizes at once (each on one core).
    void prepare(const QList<QSize>& sizes);

private:
    int levelFor(QSize size);
    bool m_prepared = false;
    QSize m_source;
    QVector<QImage> m_levels; // level k is the source averaged in 2^k x 2^k boxes (null once freed)
};

// The picture placed at `at` (centred when not given) in a transparent
// premultiplied ARGB32 image of the box's size; the picture itself when it
// is that size already.
QImage PlacedInBox(const QImage& picture, QSize box, std::optional<QPoint> at = std::nullopt);

// The picture reduced to fit inside `box` (aspect kept), centred in a
// transparent image of the box's size. Premultiplied ARGB32.
QImage ReduceIntoBox(const QImage& picture, QSize box);

} // namespace pictomat
