#pragma once

#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace pictomat {

// Asks the user for an image folder; nothing when the user cancels.
using FolderChooser = std::function<std::optional<QString>(QWidget* parent)>;
// Asks the user for a colour, starting from the current one; nothing on cancel.
using ColorChooser = std::function<std::optional<QColor>(QWidget* parent, const QColor& current)>;

// The standard choosers: a folder dialog starting in the home folder, and the
// colour dialog with its alpha channel.
FolderChooser StandardFolderChooser();
ColorChooser StandardColorChooser();

// A button that shows a colour swatch over a checkerboard, so that a
// transparent colour looks transparent.
class ColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit ColorButton(QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);

private:
    QColor m_color;
};

// A path that fits its space: when it is too long, the middle gives way, so
// that both where it starts and the folder it ends in stay in view. The whole
// path is the tool tip.
class PathLabel : public QLabel {
    Q_OBJECT
public:
    explicit PathLabel(QWidget* parent = nullptr);
    QString path() const { return m_path; }
    void setPath(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();

    QString m_path;
};

} // namespace pictomat
