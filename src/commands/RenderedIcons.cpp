#include "commands/RenderedIcons.h"

#include "files/FileIO.h"

#include <QFile>

namespace pictomat {

namespace {
qint64 costOf(const RenderedIcon& rendered)
{
    qint64 bytes = rendered.encoded.size();
    for (const icns::IconFamily::Element& element : rendered.family.elements())
        bytes += element.data.size() + 16;
    return bytes + 256;
}
} // namespace

RenderedIcons::RenderedIcons(CommandContext& context, qint64 budgetBytes)
    : m_context(context), m_budget(budgetBytes) { }

QByteArray RenderedIcons::keyFor(const IconProvider::Icon& icon, const BackgroundColor& background)
{
    // An icon made from a QIcon alone has no files to tell it by.
    if (icon.files.isEmpty())
        return {};
    QByteArray key = icon.name.toUtf8();
    for (const IconFile& file : icon.files) {
        const QByteArray path = QFile::encodeName(file.path);
        key += '\0' + path + '\0' + FileVersion(path);
    }
    for (float component : {background.red, background.green, background.blue, background.alpha})
        key += '\0' + QByteArray::number(double(component), 'g', 9);
    return key;
}

const RenderedIcon& RenderedIcons::get(const IconProvider::Icon& icon, const BackgroundColor& background,
                                       const std::function<RenderedIcon()>& render)
{
    const QByteArray key = keyFor(icon, background);
    if (!key.isEmpty()) {
        const auto found = m_kept.constFind(key);
        if (found != m_kept.cend())
            return *found;
    }
    RenderedIcon rendered = render();
    if (m_context.iconRendered)
        m_context.iconRendered(icon.source);
    const qint64 cost = costOf(rendered);
    if (key.isEmpty() || cost > m_budget) {
        m_uncached = std::move(rendered);
        return m_uncached;
    }
    while (m_bytes + cost > m_budget && !m_order.isEmpty()) {
        m_bytes -= costOf(m_kept.value(m_order.first()));
        m_kept.remove(m_order.takeFirst());
    }
    m_bytes += cost;
    m_order.append(key);
    return *m_kept.insert(key, std::move(rendered));
}

} // namespace pictomat
