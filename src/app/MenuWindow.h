#pragma once

#include <QWidget>

class QMenu;

namespace pictomat {

// The menu where a popup cannot be placed at the pointer (a Wayland session:
// a program the user is not working in has no pointer position and no input
// to anchor a popup to). A small window holds the menu itself: the
// compositor places it (sway floats a window of fixed size, GNOME centres
// it), it takes the focus, and it goes as a menu goes: when an item is
// chosen, on Escape, or when the user turns to another window.
class MenuWindow : public QWidget {
    Q_OBJECT
public:
    MenuWindow();

    // The menu to lay out; its items act as in any menu.
    QMenu& menu() { return *m_menu; }
    // Shows the window at the menu's size, raised and focused.
    void present();

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QMenu* m_menu;
};

} // namespace pictomat
