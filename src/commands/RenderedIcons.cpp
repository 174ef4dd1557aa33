#include "commands/RenderedIcons.h"

#include <QFile>

#include <sys/stat.h>

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
        struct stat st { };
        if (::stat(path.constData(), &st) != 0)
            st = {};
        key += '\0' + path + '\0' + QByteArray::number(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec)
               + ':' + QByteArray::number(qint64(st.st_size)) + ':' + QByteArray::number(qint64(st.st_ino));
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
