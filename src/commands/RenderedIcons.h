#pragma once

#include "commands/CommandContext.h"
#include "icns/IconFamily.h"
#include "image/BackgroundBitmap.h"
#include "platform/IconProvider.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <functional>

namespace pictomat {

// What a command made from one icon: an icon family, or an encoded picture;
// or why it could not.
struct RenderedIcon {
    enum class Status { Made, NoBitmap, DrawsNothing, EncoderFailed };
    Status status = Status::Made;
    icns::IconFamily family;
    QByteArray encoded;
    QString error; // for the log, when the encoder failed
    bool made() const { return status == Status::Made; }
};

// The icons one command rendered, kept for every later item that shows the
// same icon: a thousand files of ten kinds are ten renders, not a thousand.
// An icon is the same when it comes from the same files with the same
// modification times, drawn over the same background. What is kept is held
// under a byte budget; past it the oldest goes.
class RenderedIcons {
public:
    explicit RenderedIcons(CommandContext& context, qint64 budgetBytes = 64LL * 1024 * 1024);

    const RenderedIcon& get(const IconProvider::Icon& icon, const BackgroundColor& background,
                            const std::function<RenderedIcon()>& render);

private:
    static QByteArray keyFor(const IconProvider::Icon& icon, const BackgroundColor& background);
    CommandContext& m_context;
    qint64 m_budget;
    qint64 m_bytes = 0;
    QHash<QByteArray, RenderedIcon> m_kept;
    QList<QByteArray> m_order; // oldest first
    RenderedIcon m_uncached;
};

} // namespace pictomat
