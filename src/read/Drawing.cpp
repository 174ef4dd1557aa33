#include "read/Drawing.h"

#include "checks/PdfCheck.h"
#include "files/FileIO.h"
#include "files/SharedLibrary.h"
#include "read/ReaderLibraries.h"
#include "read/SafeSvg.h"
#include "read/PdfModule.h"
#include "read/PictureStreams.h"
#include "read/Source.h"
#include "resample/Reducer.h"

#include <QFile>

#include <cairo.h>
#include <gio/gio.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace pictomat {

namespace {

// librsvg and cairo are opened with the first drawing, not at every start
// of the program: together they bring in a dozen libraries that pictures,
// movies and icon files never need.
struct RsvgLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_RSVG_FUNCTIONS)
};
struct CairoLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_CAIRO_FUNCTIONS)
};
struct DrawingLibrary : RsvgLibrary, CairoLibrary { };

const DrawingLibrary* drawingLibrary()
{
    static const std::unique_ptr<const DrawingLibrary> library = []() -> std::unique_ptr<const DrawingLibrary> {
        const RsvgLibrary* rsvg = LoadLibrary<RsvgLibrary>(PICTOMAT_LIBRARY_RSVG);
        const CairoLibrary* cairo = rsvg ? LoadLibrary<CairoLibrary>(PICTOMAT_LIBRARY_CAIRO) : nullptr;
        if (!rsvg || !cairo)
            return nullptr;
        return std::make_unique<const DrawingLibrary>(DrawingLibrary{*rsvg, *cairo});
    }();
    return library.get();
}

struct GObjectUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};

// A pixel size for a length in the drawing's own units, at the desktop's 96 dots per inch.
double pixels(const RsvgLength& length, double reference)
{
    switch (length.unit) {
    case RSVG_UNIT_PX: return length.length;
    case RSVG_UNIT_PERCENT: return length.length * reference;
    case RSVG_UNIT_IN: return length.length * 96;
    case RSVG_UNIT_CM: return length.length * 96 / 2.54;
    case RSVG_UNIT_MM: return length.length * 96 / 25.4;
    case RSVG_UNIT_PT: return length.length * 96 / 72;
    case RSVG_UNIT_PC: return length.length * 96 / 6;
    default: return length.length * 16; // em and ex, at the usual 16 px font
    }
}

// Drawing is stopped once the budget is spent: every operation that reaches
// the picture passes this check, and a finished surface makes librsvg give
// up at its next operation, however many elements are left.
struct Watch {
    const DrawingLibrary* lib;
    const DrawingBudget& budget;
    bool late = false;
};

void checkDeadline(cairo_surface_t* observer, cairo_surface_t*, void* data)
{
    auto* watch = static_cast<Watch*>(data);
    if (!watch->late && watch->budget.spent()) {
        watch->late = true;
        watch->lib->cairo_surface_finish(observer);
    }
}

class SvgDrawing : public Drawing {
public:
    SvgDrawing(const DrawingLibrary* lib, RsvgHandle* handle, const DrawingBudget& budget)
        : m_lib(lib), m_handle(handle), m_budget(budget)
    {
        gdouble w = 0, h = 0;
        if (m_lib->rsvg_handle_get_intrinsic_size_in_pixels(m_handle.get(), &w, &h) && w > 0 && h > 0) {
            m_natural = QSizeF(w, h);
            return;
        }
        gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
        RsvgLength width{}, height{};
        RsvgRectangle viewBox{};
        m_lib->rsvg_handle_get_intrinsic_dimensions(m_handle.get(), &hasWidth, &width, &hasHeight, &height, &hasViewBox,
                                                    &viewBox);
        if (hasViewBox && viewBox.width > 0 && viewBox.height > 0) {
            m_natural = QSizeF(viewBox.width, viewBox.height);
            // Relative sizes are of the box the drawing is shown in: only the aspect counts.
            if (hasWidth && hasHeight && width.unit != RSVG_UNIT_PERCENT && height.unit != RSVG_UNIT_PERCENT)
                m_natural = QSizeF(pixels(width, viewBox.width), pixels(height, viewBox.height));
        } else {
            m_natural = QSizeF(100, 100); // nothing says: drawn into a square
        }
    }

    QSizeF naturalSize() const override { return m_natural; }

    QImage draw(QSize size) override { return render(size, QRectF(QPointF(0, 0), QSizeF(size))); }
    QImage drawAt(QSize canvas, QRectF where) override { return render(canvas, where); }

private:
    QImage render(QSize size, QRectF where)
    {
        if (!mayDraw(size, m_budget))
            return {};
        QImage out(size, QImage::Format_ARGB32_Premultiplied);
        if (out.isNull()) {
            m_status = PictureStatus::TooLarge;
            return {};
        }
        out.fill(Qt::transparent);
        // Cairo's ARGB32 is premultiplied, in native byte order: the same pixels as Qt's.
        cairo_surface_t* surface = m_lib->cairo_image_surface_create_for_data(
            out.bits(), CAIRO_FORMAT_ARGB32, out.width(), out.height(), int(out.bytesPerLine()));
        cairo_surface_t* observer = m_lib->cairo_surface_create_observer(surface, CAIRO_SURFACE_OBSERVER_NORMAL);
        Watch watch{m_lib, m_budget};
        m_budget.start();
        m_lib->cairo_surface_observer_add_fill_callback(observer, checkDeadline, &watch);
        m_lib->cairo_surface_observer_add_stroke_callback(observer, checkDeadline, &watch);
        m_lib->cairo_surface_observer_add_paint_callback(observer, checkDeadline, &watch);
        m_lib->cairo_surface_observer_add_mask_callback(observer, checkDeadline, &watch);
        m_lib->cairo_surface_observer_add_glyphs_callback(observer, checkDeadline, &watch);
        cairo_t* cr = m_lib->cairo_create(observer);
        const RsvgRectangle viewport{where.x(), where.y(), where.width(), where.height()};
        GError* error = nullptr;
        const bool drawn = m_lib->rsvg_handle_render_document(m_handle.get(), cr, &viewport, &error);
        m_budget.stop();
        if (error)
            g_error_free(error);
        m_lib->cairo_destroy(cr);
        m_lib->cairo_surface_destroy(observer);
        m_lib->cairo_surface_flush(surface);
        m_lib->cairo_surface_destroy(surface);
        if (watch.late) {
            m_status = PictureStatus::TooCostly;
            return {};
        }
        if (!drawn) {
            m_status = PictureStatus::Damaged;
            return {};
        }
        return out;
    }

    const DrawingLibrary* m_lib;
    std::unique_ptr<RsvgHandle, GObjectUnref> m_handle;
    DrawingBudget m_budget;
    QSizeF m_natural;
};

std::unique_ptr<Drawing> fail(PictureStatus* status, PictureStatus why)
{
    if (status)
        *status = why;
    return nullptr;
}

// PDF pages are drawn by poppler in a module of ours (PdfModule.h).
struct PdfModule {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_PDF_FUNCTIONS)
};

bool isPdf(QIODevice& device)
{
    return device.peek(5) == "%PDF-";
}

std::unique_ptr<Drawing> openSvg(const QByteArray& bytes, DrawingLinks links, const QByteArray& ownFile,
                                 PictureStatus* status, DrawingBudget budget);

std::unique_ptr<Drawing> openDrawing(QIODevice& device, std::unique_ptr<QIODevice> owned, DrawingLinks links,
                                     const QByteArray& ownFile, PictureStatus* status)
{
    DrawingBudget budget;
    budget.start();
    if (!isPdf(device)) {
        if (device.size() > kMaxSvgDocumentBytes)
            return fail(status, PictureStatus::TooLarge);
        return openSvg(device.readAll(), links, ownFile, status, budget);
    }
    if (device.size() > kMaxPdfFileBytes)
        return fail(status, PictureStatus::TooLarge);
    // poppler cannot be stopped once it reads: the way to the first page is looked at first.
    if (const PictureStatus checked = CheckStructure(
            device, "PDF",
            [](const ByteSource& bytes, Error* why) { return CheckPdfStructure(bytes, kMaxWholePicturePixels, why); });
        checked != PictureStatus::Decoded)
        return fail(status, checked);
    const PdfModule* pdf = LoadModule<PdfModule>(PICTOMAT_MODULE_PDF);
    if (!pdf)
        return fail(status, PictureStatus::NotAPicture);
    PictureStatus why = PictureStatus::Damaged;
    std::unique_ptr<Drawing> drawing(pdf->pictomat_open_pdf(&device, owned.release(), budget, &why));
    return drawing ? std::move(drawing) : fail(status, why);
}

std::unique_ptr<Drawing> openSvg(const QByteArray& bytes, DrawingLinks links, const QByteArray& ownFile,
                                 PictureStatus* status, DrawingBudget budget)
{
    std::optional<QByteArray> document = SvgDocument(bytes);
    if (!document)
        return fail(status, PictureStatus::TooLarge);
    if (!document->contains("<svg"))
        return fail(status, PictureStatus::NotAPicture);
    // A drawing from elsewhere (a web site, the clipboard) is drawn from
    // what it holds itself: its references to anything else are taken out
    // before librsvg sees it.
    if (links == DrawingLinks::None) {
        document = SelfContainedSvg(*document);
        if (!document)
            return fail(status, PictureStatus::Damaged);
    }
    const DrawingLibrary* lib = drawingLibrary();
    if (!lib)
        return fail(status, PictureStatus::NotAPicture);
    // The stream keeps the document alive as long as librsvg reads it.
    auto* held = new QByteArray(*document);
    GBytes* bytesOfDocument = g_bytes_new_with_free_func(
        held->constData(), gsize(held->size()), [](gpointer p) { delete static_cast<QByteArray*>(p); }, held);
    const std::unique_ptr<GInputStream, GObjectUnref> stream(g_memory_input_stream_new_from_bytes(bytesOfDocument));
    g_bytes_unref(bytesOfDocument);
    // librsvg's own rule for a drawing with a base file: linked pictures only
    // from that file's folder and below. Without one it loads nothing at all.
    std::unique_ptr<GFile, GObjectUnref> base;
    if (links == DrawingLinks::OwnFolder && !ownFile.isEmpty())
        base.reset(g_file_new_for_path(ownFile.constData()));
    GError* error = nullptr;
    RsvgHandle* handle =
        lib->rsvg_handle_new_from_stream_sync(stream.get(), base.get(), RSVG_HANDLE_FLAGS_NONE, nullptr, &error);
    budget.stop();
    if (error)
        g_error_free(error);
    if (!handle)
        return fail(status, PictureStatus::Damaged);
    auto drawing = std::make_unique<SvgDrawing>(lib, handle, budget);
    const QSizeF natural = drawing->naturalSize();
    if (!(natural.width() > 0 && natural.height() > 0) || !std::isfinite(natural.width())
        || !std::isfinite(natural.height()))
        return fail(status, PictureStatus::Damaged);
    if (status)
        *status = PictureStatus::Decoded;
    return drawing;
}

} // namespace

std::unique_ptr<Drawing> OpenDrawing(const QByteArray& bytes, DrawingLinks links, const QByteArray& ownFile,
                                     PictureStatus* status)
{
    DrawingBudget budget;
    budget.start();
    return openSvg(bytes, links, ownFile, status, budget);
}

std::unique_ptr<Drawing> OpenDrawingDevice(QIODevice& device, DrawingLinks links, const QByteArray& ownFile,
                                           PictureStatus* status)
{
    return openDrawing(device, nullptr, links, ownFile, status);
}

std::unique_ptr<Drawing> OpenDrawingFile(const QByteArray& path, PictureStatus* status)
{
    return OpenDrawingSource(PictureSource::open(FileRef(path)), status);
}

std::unique_ptr<Drawing> OpenDrawingSource(PictureSource source, PictureStatus* status)
{
    if (!source.isOpen())
        return fail(status, PictureStatus::NotAPicture);
    const QByteArray path = source.path();
    std::unique_ptr<QIODevice> device = source.takeDevice();
    QIODevice& opened = *device;
    return openDrawing(opened, std::move(device), DrawingLinks::OwnFolder, path, status);
}

QImage DrawIntoBox(Drawing& drawing, QSize box)
{
    if (box.isEmpty())
        return {};
    const QSizeF natural = drawing.naturalSize();
    const QSize size = natural.scaled(QSizeF(box), Qt::KeepAspectRatio).toSize().expandedTo(QSize(1, 1));
    return PlacedInBox(drawing.draw(size), box);
}

void PreloadDrawingLibraries()
{
    drawingLibrary();
    LoadModule<PdfModule>(PICTOMAT_MODULE_PDF);
}

} // namespace pictomat
