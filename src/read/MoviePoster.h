#pragma once

#include "read/PictureFile.h"
#include "read/Source.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

namespace pictomat {

// Twice the largest icon row: the detail the reducer smooths away.
inline constexpr int kPosterEdge = 2048;

// A movie's poster frame converted to RGBA at the size `target` gives for its
// display size (never larger), and its display size (sample aspect ratio and
// rotation applied).
struct MoviePoster {
    QImage frame;
    QSize displaySize;
    double time = 0; // seconds into the movie of the frame taken
};
std::optional<MoviePoster> ReadMoviePoster(const QByteArray& path,
                                           const PictureTarget& target = FitWithin(kPosterEdge));
// The same from a file already opened (by its descriptor; not from bytes).
std::optional<MoviePoster> ReadMoviePoster(const PictureSource& source, const PictureTarget& target);

// The poster time a QuickTime or MPEG-4 file records in its movie header, in
// seconds; nothing when the file has no readable movie header. Zero means the
// first frame.
std::optional<double> ReadQuickTimePosterTime(const QByteArray& path);

} // namespace pictomat
