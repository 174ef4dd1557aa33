// How long the head reader takes on pages made to be slow, each as large as
// the page cap, next to a plain page of the same size.

#include "web/HtmlHead.h"

#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr qsizetype kPageCap = 4 * 1024 * 1024;

QByteArray Fill(QByteArray page, const std::function<QByteArray(int)>& unit, const QByteArray& tail = {})
{
    for (int i = 0; page.size() < kPageCap - tail.size(); ++i)
        page += unit(i);
    return page + tail;
}

} // namespace

int main()
{
    const QByteArray icon = "<link rel=icon href=/late.png>";
    const struct {
        const char* name;
        QByteArray page;
    } pages[] = {
        {"plain page, long body", Fill("<html><head><title>x</title>" + icon + "</head><body>",
                                       [](int) { return QByteArray("<p>text</p>\n"); })},
        {"nested divs", Fill("<html><head>" + icon, [](int) { return QByteArray("<div>"); })},
        {"nested templates in the head", Fill(
                                             "<html><head>", [](int) { return QByteArray("<template>"); }, icon)},
        {"one tag, many attributes",
         Fill(
             "<html><head>" + icon + "<meta", [](int i) { return " a" + QByteArray::number(i) + "=1"; }, ">" + icon)},
        {"long script in the head",
         Fill(
             "<html><head><script>", [](int) { return QByteArray("x = 1; "); }, "</script>" + icon)},
        {"long comment in the head", Fill(
                                         "<html><head><!--", [](int) { return QByteArray("- - "); }, "-->" + icon)},
        {"unfinished formatting",
         Fill("<html><head>" + icon + "</head><body>", [](int) { return QByteArray("<b><i><a>"); })},
    };
    for (const auto& [name, page] : pages) {
        QElapsedTimer clock;
        clock.start();
        const pictomat::HtmlHead head = pictomat::ParseHtmlHead(page);
        std::printf("%-32s %6lld ms  %lld links\n", name, clock.elapsed(), qint64(head.links.size()));
    }
    return 0;
}
