#include "app/MenuWindow.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>

namespace pictomat {

MenuWindow::MenuWindow() : QWidget(nullptr, Qt::Dialog)
{
    setWindowTitle(QStringLiteral("Pictomat"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_menu = new QMenu(this);
    // The menu is drawn inside this window, not as a popup of its own.
    m_menu->setWindowFlags(Qt::Widget);
    layout->addWidget(m_menu);
    // A chosen item or Escape closes the menu, and the window with it; a
    // chosen command runs once the window is gone. A menu drawn inside a
    // window is no popup, so a click on an item does not hide it: the
    // window goes when any of its items (or a submenu's) is chosen.
    connect(m_menu, &QMenu::aboutToHide, this, [this] { QTimer::singleShot(0, this, &QWidget::hide); });
    connect(m_menu, &QMenu::triggered, this, [this] { QTimer::singleShot(0, this, &QWidget::hide); });
}

void MenuWindow::present()
{
    // A menu hides itself when an item is chosen; shown again here.
    m_menu->show();
    m_menu->adjustSize();
    // A window of fixed size floats where the compositor tiles the others.
    setFixedSize(m_menu->sizeHint());
    show();
    raise();
    activateWindow();
    m_menu->setFocus();
}

void MenuWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || isActiveWindow() || !isVisible())
        return;
    // Turning to another window closes it; a submenu of its own opening
    // does not (its popup takes the activation for a moment).
    QTimer::singleShot(0, this, [this] {
        if (!isActiveWindow() && !QApplication::activePopupWidget())
            hide();
    });
}

void MenuWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace pictomat
