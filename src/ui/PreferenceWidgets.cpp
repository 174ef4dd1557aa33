#include "ui/PreferenceWidgets.h"

#include <QCoreApplication>
#include <QColorDialog>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QPainter>
#include <QPixmap>
#include <QStringList>

#include <algorithm>

namespace pictomat {

FolderChooser StandardFolderChooser()
{
    return [](QWidget* parent) -> std::optional<QString> {
        QFileDialog dialog(parent, QCoreApplication::translate("PreferencesWindow", "Choose an Image Folder"),
                           QDir::homePath());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        dialog.setOption(QFileDialog::ReadOnly, false); // creating folders is allowed
        dialog.setLabelText(QFileDialog::Accept, QCoreApplication::translate("PreferencesWindow", "Choose"));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty() || chosen.first().isEmpty())
            return std::nullopt;
        return chosen.first();
    };
}

ColorChooser StandardColorChooser()
{
    return [](QWidget* parent, const QColor& current) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(
            current, parent, QCoreApplication::translate("PreferencesWindow", "Background Color"),
            QColorDialog::ShowAlphaChannel);
        if (!chosen.isValid())
            return std::nullopt;
        return chosen;
    };
}

// ---------------------------------------------------------------- ColorButton

ColorButton::ColorButton(QWidget* parent) : QPushButton(parent)
{
    setColor(Qt::white);
}

void ColorButton::setColor(const QColor& color)
{
    m_color = color;
    const QSize swatch(48, 18);
    QPixmap pixmap(swatch);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    for (int y = 0; y < swatch.height(); y += 6)
        for (int x = 0; x < swatch.width(); x += 6)
            if (((x + y) / 6) % 2 == 1)
                painter.fillRect(x, y, 6, 6, QColor(0xCC, 0xCC, 0xCC));
    painter.fillRect(pixmap.rect(), color);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    painter.end();
    setIcon(QIcon(pixmap));
    setIconSize(swatch);
    setToolTip(color.name(QColor::HexArgb).toUpper());
}

// ------------------------------------------------------------------ PathLabel

PathLabel::PathLabel(QWidget* parent) : QLabel(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    // The layout gives the width; the text follows it, never the other way.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void PathLabel::setPath(const QString& path)
{
    m_path = path;
    setToolTip(path);
    elide();
}

void PathLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void PathLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        elide();
}

void PathLabel::elide()
{
    // A framed label indents its text by half an "x" unless told otherwise.
    const int inset = indent() >= 0      ? indent()
                      : frameWidth() > 0 ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2
                                         : 0;
    const int room = contentsRect().width() - 2 * (margin() + inset);
    setText(fontMetrics().elidedText(m_path, Qt::ElideMiddle, std::max(room, 0)));
}

} // namespace pictomat
