#pragma once

#include "read/PictureFile.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>

#include <QPainter>
#include <QRectF>

#include <chrono>
#include <memory>

#include <time.h>

class QIODevice;

namespace pictomat {

// The processor time one drawing may take, parsing and every size drawn from
// it together; past it the drawing is refused rather than holding the command.
inline constexpr std::chrono::milliseconds kDrawingBudget{4500};

// What a drawing has spent of kDrawingBudget: the processor time of this
// process (the drawing libraries' own helper threads included) while it is
// parsed or drawn, never the time on the clock, so that a machine busy with
// other programs refuses nothing an idle one draws.
class DrawingBudget {
public:
    // A stretch of drawing begins.
    void start() { m_from = now(); }
    // Whether what was spent before and in this stretch is past the budget.
    bool spent() const { return m_used + (now() - m_from) > kDrawingBudget; }
    // The stretch ends; its time counts from now on.
    void stop() { m_used += now() - m_from; }

private:
    static std::chrono::nanoseconds now()
    {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    }
    std::chrono::nanoseconds m_used{0};
    std::chrono::nanoseconds m_from{0};
};
// A drawing has no size of its own to keep: where a size must be named, it
// counts as this large (the largest bitmap the program makes).
inline constexpr int kLargestDrawnEdge = 4096;

// A picture drawn afresh at every size it is asked for, never scaled from
// another size: SVG and SVGZ (drawn by librsvg, as the desktop draws them)
// and the first page of a PDF (drawn by poppler). Another vector kind joins
// by opening its own Drawing in OpenDrawingDevice.
class Drawing {
public:
    virtual ~Drawing() = default;
    // Its own size in pixels; the aspect it is drawn at.
    virtual QSizeF naturalSize() const = 0;
    // The whole drawing fitted into an image of exactly `size` (pass the
    // drawing's own aspect to fill it), premultiplied ARGB32. Null when it
    // fails or its time is spent; status() then says which, and every later
    // call gives null too.
    virtual QImage draw(QSize size) = 0;
    // The drawing fitted into `where`, in a transparent canvas: its edges
    // fall where they are, between pixels too, as a bitmap's reduced edges
    // do. Here, for a drawing that cannot: at whole pixels. (Inline: the PDF
    // module has no more of this library than its header.)
    virtual QImage drawAt(QSize canvas, QRectF where)
    {
        const QImage drawn = draw(where.size().toSize());
        if (drawn.isNull() || drawn.size() == canvas)
            return drawn;
        QImage out(canvas, QImage::Format_ARGB32_Premultiplied);
        if (out.isNull())
            return out;
        out.fill(Qt::transparent);
        QPainter(&out).drawImage(where.topLeft().toPoint(), drawn);
        return out;
    }
    PictureStatus status() const { return m_status; }

protected:
    // Whether drawing at `size` may begin: not after a failure, and not past
    // the budget (which is then recorded as the drawing's status).
    bool mayDraw(QSize size, const DrawingBudget& budget)
    {
        if (size.isEmpty() || m_status != PictureStatus::Decoded)
            return false;
        if (budget.spent()) {
            m_status = PictureStatus::TooCostly;
            return false;
        }
        return true;
    }
    PictureStatus m_status = PictureStatus::Decoded;
};

// Where a drawing may take the pictures it links to.
enum class DrawingLinks {
    None,      // nothing outside its own bytes (from the web, the clipboard)
    OwnFolder, // its own folder and below: never an absolute path elsewhere, never ".." out of it
};

// A drawing from its bytes (SVG text or gzip-compressed SVGZ, within the
// document limits). `ownFile` is the file it came from, for OwnFolder.
// Nothing when the bytes are no drawing we can open; *status says why.
std::unique_ptr<Drawing> OpenDrawing(const QByteArray& bytes, DrawingLinks links, const QByteArray& ownFile = {},
                                     PictureStatus* status = nullptr);
// A drawing read from a device that outlives it, by its contents: an SVG
// document read whole, within the document limits, or a PDF (at most
// kMaxPdfFileBytes) whose first page is read from the device as needed. A
// PDF is drawn from its own bytes alone, whatever `links` says.
std::unique_ptr<Drawing> OpenDrawingDevice(QIODevice& device, DrawingLinks links, const QByteArray& ownFile = {},
                                           PictureStatus* status = nullptr);
// The same from a file (read through OpenFileForReading), linking within its folder.
std::unique_ptr<Drawing> OpenDrawingFile(const QByteArray& path, PictureStatus* status = nullptr);
// The same from a file already opened (bytes link nothing).
std::unique_ptr<Drawing> OpenDrawingSource(PictureSource source, PictureStatus* status = nullptr);

// The drawing at `size` aspect kept, centred in a transparent box.
QImage DrawIntoBox(Drawing& drawing, QSize box);

} // namespace pictomat
