// The first page of a PDF as a drawing, through poppler. Built as a module of
// its own (pictomat-pdf.so) that the reading layer loads with the first PDF.

#include "read/Drawing.h"
#include "read/Log.h"
#include "read/PdfModule.h"

#include <QIODevice>
#include <QVariant>

#include <poppler-qt6.h>

#include <cmath>
#include <memory>

namespace pictomat {

namespace {

// Damaged files are ordinary input here: what poppler says of them is for
// the log, never the terminal.
void popplerMessage(const QString& message, const QVariant&)
{
    qCDebug(lcRead).noquote() << "poppler:" << message;
}

// Asked between drawing operations: once the budget is spent poppler stops drawing.
bool pastDeadline(const QVariant& budget)
{
    return static_cast<const DrawingBudget*>(budget.value<void*>())->spent();
}

class PdfDrawing : public Drawing {
public:
    PdfDrawing(std::unique_ptr<QIODevice> owned, std::unique_ptr<Poppler::Document> document,
               std::unique_ptr<Poppler::Page> page, QSizeF points, DrawingBudget budget)
        : m_owned(std::move(owned)), m_document(std::move(document)), m_page(std::move(page)), m_points(points),
          m_budget(budget)
    {
    }

    // Points are 1/72 inch; the desktop counts 96 pixels to the inch.
    QSizeF naturalSize() const override { return m_points * (96.0 / 72.0); }

    QImage draw(QSize size) override
    {
        if (!mayDraw(size, m_budget))
            return {};
        m_budget.start();
        // The resolution at which the page is exactly `size`, each way.
        const double xres = 72.0 * size.width() / m_points.width();
        const double yres = 72.0 * size.height() / m_points.height();
        QImage out =
            m_page->renderToImage(xres, yres, 0, 0, size.width(), size.height(), Poppler::Page::Rotate0, nullptr,
                                  nullptr, pastDeadline, QVariant::fromValue(static_cast<void*>(&m_budget)));
        const bool late = m_budget.spent();
        m_budget.stop();
        if (late) {
            m_status = PictureStatus::TooCostly;
            return {};
        }
        if (out.isNull()) {
            m_status = PictureStatus::Damaged;
            return {};
        }
        // A rectangle past the page's edge is filled with transparent pixels.
        if (out.size() != size)
            out = out.copy(0, 0, size.width(), size.height());
        return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }

private:
    std::unique_ptr<QIODevice> m_owned; // destroyed last: poppler reads from it until then
    std::unique_ptr<Poppler::Document> m_document;
    std::unique_ptr<Poppler::Page> m_page;
    QSizeF m_points;
    DrawingBudget m_budget;
};

Drawing* fail(PictureStatus* status, PictureStatus why)
{
    *status = why;
    return nullptr;
}

} // namespace

} // namespace pictomat

pictomat::Drawing* pictomat_open_pdf(QIODevice* device, QIODevice* owned, pictomat::DrawingBudget budget,
                                     pictomat::PictureStatus* status)
{
    using namespace pictomat;
    std::unique_ptr<QIODevice> holder(owned);
    static const bool quieted = (Poppler::setDebugErrorFunction(popplerMessage, QVariant()), true);
    (void)quieted;
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(device);
    // A document locked by a password cannot be drawn without it.
    if (!document || document->isLocked() || document->numPages() < 1)
        return fail(status, PictureStatus::Damaged);
    document->setRenderBackend(Poppler::Document::SplashBackend);
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    // The page's own transparency, not composed over white paper.
    document->setRenderHint(Poppler::Document::IgnorePaperColor);
    std::unique_ptr<Poppler::Page> page = document->page(0);
    budget.stop();
    if (!page)
        return fail(status, PictureStatus::Damaged);
    const QSizeF points = page->pageSizeF();
    if (!(points.width() >= 1 && points.height() >= 1) || !std::isfinite(points.width())
        || !std::isfinite(points.height()) || points.width() > 1e6 || points.height() > 1e6)
        return fail(status, PictureStatus::Damaged);
    *status = PictureStatus::Decoded;
    return new PdfDrawing(std::move(holder), std::move(document), std::move(page), points, budget);
}
