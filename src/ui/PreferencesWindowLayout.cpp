#include "ui/PreferencesWindow.h"

#include "files/Paths.h"
#include "prefs/Preferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QFormLayout>
#include <QGuiApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QSlider>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

// How the preferences window looks: one row per control, grouped the way a
// user thinks about them.

namespace pictomat {

namespace {

namespace key = prefs::key;

// The desktop file that taskbars, Alt-Tab and the GNOME top bar tie the
// window to, and take its name and icon from.
constexpr char kDesktopFileName[] = "com.corvane.Pictomat";

enum class Group { Menu, Output, Image };

struct GroupRow {
    Group group;
    const char* title;
    const char* intro; // a line above the group's controls, or none
};

constexpr GroupRow kGroups[] = {
    {Group::Menu, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Menu"),
     QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Offer these commands:")},
    {Group::Output, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Output"), nullptr},
    {Group::Image, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Image"), nullptr},
};
static_assert(kGroups[int(Group::Menu)].group == Group::Menu && kGroups[int(Group::Output)].group == Group::Output
                  && kGroups[int(Group::Image)].group == Group::Image,
              "kGroups is indexed by Group");

struct ControlRow {
    const char* key;
    const char* label;
    Group group;
    const char* tip; // what the setting does, where its label does not say it all; or none
};

// Every control of the window, in the order it shows them. A boolean key is
// a check box named after its key, stored the moment it is clicked; the other
// keys have controls of their own (PictomatPref::addControl). The colour's
// row stands for all four of its components. MakeAsSubmenu has no row: the
// menu does not nest its commands (it is on by default, and nesting would
// push every command one level deeper), so a box for it would do nothing.
// Each label has its own access key (the letter after "&"), none twice in the
// window, "pixels" (x), "Hex:" (h) and "Choose..." (o) included.
constexpr ControlRow kControls[] = {
    {key::IncludeMakeIcons, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "&Make Icon for File and for Media"),
     Group::Menu, nullptr},
    {key::IncludeMakeWindowsIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Make &Windows Icon for Media"),
     Group::Menu, nullptr},
    {key::IncludeMakeLinuxIconSet, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Make &Linux Icon Set for Media"),
     Group::Menu, nullptr},
    {key::IncludeMakeAppIcons, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Make &App Icons for Media"), Group::Menu,
     nullptr},
    {key::IncludeCopyIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "&Copy Icon for File"), Group::Menu, nullptr},
    {key::IncludeClipToIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Add Custom Icon from Clip&board"),
     Group::Menu, nullptr},
    {key::IncludeAddCustomIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Add C&ustom Icon to Media"), Group::Menu,
     nullptr},
    {key::IncludeRemoveCustomIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Remo&ve Custom Icon"), Group::Menu,
     nullptr},
    {key::IncludeWebIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Add Shor&tcut Icon"), Group::Menu, nullptr},
    {key::IncludeChangeIconSizes, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Icon Si&zes"), Group::Menu,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Offers the icon sizes to choose from in the menu.")},

    {key::UseItemsFolder, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "&Save next to each selected item"),
     Group::Output,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref",
                       "Each new file goes into the folder that holds the item it was made from.")},
    {key::ImageFolderPathname, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Otherwise save in this folder:"),
     Group::Output,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref",
                       "Chooses the folder that new files go into when they are not saved next to their items.")},
    {key::OpenImageFolderForMe, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Show the output &folder"), Group::Output,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Opens the folder that received the new files in the file manager.")},
    {key::OpenImageFileForMe, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Open &each output file"), Group::Output,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref",
                       "Opens each new file in the application that opens its kind of file.")},
    {key::OverwriteFilesBySameName, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Re&place files with the same name"),
     Group::Output,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref",
                       "When this is off, a file that is already there is kept and the new one is not written.")},
    {key::AppendIconSize, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Add the icon size to image file &names"),
     Group::Output,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref",
                       "Adds the icon size in pixels to the name of each image file that is made.")},
    {key::AddCustomIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "&Give image files their own picture as icon"),
     Group::Output,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref",
                       "The file manager then shows each new image file with its own picture.")},
    {key::ImageICNS, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "&Draw .icns files from the icon they hold"),
     Group::Output,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref",
                       "An image made from an .icns file shows the icon stored in it, not the file's own icon.")},
    {key::AppIconsMacOSShape, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Shape macOS app icons on Apple's g&rid"),
     Group::Output,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref",
                       "The macOS icon of app icons is inset, rounded and shadowed as Apple's own app icons are.")},

    {key::IconSize, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "&Icon size:"), Group::Image,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref", "The size in pixels of the icons and images that are made.")},
    {key::ImageQuality, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "&Quality:"), Group::Image,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref",
                       "Lower quality makes smaller image files that keep less of the picture.")},
    {key::BackgroundColorRedComponent, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Bac&kground:"), Group::Image,
     QT_TRANSLATE_NOOP("pictomat::PictomatPref", "The color that icons are drawn over; click to choose another.")},
};

// The combo box starts at the declared default quality, so an absent key shows it.
int DeclaredQualityIndex()
{
    const prefs::KeyInfo* info = prefs::FindKey(QString::fromLatin1(key::ImageQuality));
    return info != nullptr && info->defaultValue.isValid() ? info->defaultValue.toInt() : 4;
}

// What a screen reader says for a control: its name (where the label beside
// it is not its buddy, or it has none), and what it does; the tool tip says
// the same to the pointer.
void Describe(QWidget* control, const QString& name, const QString& tip, const QString& description)
{
    if (!name.isEmpty())
        control->setAccessibleName(name);
    if (!tip.isEmpty())
        control->setToolTip(tip);
    control->setAccessibleDescription(description);
}

// A label whose access key moves the focus to `control`.
QLabel* Buddy(const QString& text, QWidget* control)
{
    auto* label = new QLabel(text, control->parentWidget());
    label->setBuddy(control);
    return label;
}

// Ties an X11 window to the desktop file by name, where the window manager
// looks for it: GNOME Shell reads the GTK application id, KDE its own
// property (Qt gives the desktop file name to Wayland compositors itself).
void NameDesktopFile(QWidget* window, const QByteArray& desktopFileName)
{
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr)
        return;
    const auto atom = [connection](const char* name) -> xcb_atom_t {
        const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return found;
    };
    const xcb_atom_t utf8 = atom("UTF8_STRING");
    const auto id = static_cast<xcb_window_t>(window->winId());
    for (const char* property : {"_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE"}) {
        const xcb_atom_t name = atom(property);
        if (name != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, name, utf8, 8, uint32_t(desktopFileName.size()),
                                desktopFileName.constData());
    }
    xcb_flush(connection);
}

// Ends a local event loop when the window it watches is closed.
class CloseWatcher : public QObject {
public:
    explicit CloseWatcher(QEventLoop* loop) : m_loop(loop) { }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            m_loop->quit();
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop* m_loop;
};

} // namespace

QCheckBox* PictomatPref::addCheckBox(const char* name, const QString& label)
{
    auto* box = new QCheckBox(label, m_window.get());
    box->setObjectName(QString::fromLatin1(name));
    // clicked, not toggled: only the user's changes are stored, never the
    // filling in of the window.
    connect(box, &QCheckBox::clicked, this, [this, box, name] { checkBoxClicked(box, name); });
    m_checkBoxes.append({box, name});
    return box;
}

void PictomatPref::addControl(const char* name, const QString& label, const QString& tip, QFormLayout* group)
{
    const prefs::KeyInfo* info = prefs::FindKey(QString::fromLatin1(name));
    if (info != nullptr && info->kind == prefs::Kind::Boolean) {
        QCheckBox* box = addCheckBox(name, label);
        if (!tip.isEmpty())
            Describe(box, QString(), tip, tip);
        else if (group == m_menuForm)
            // The group's intro says what the boxes do; a screen reader,
            // which reads one box at a time, says it with each.
            Describe(box, QString(), QString(), tr("Offers this command in the Pictomat menu."));
        group->addRow(box);
        return;
    }
    QWidget* parent = m_window.get();
    const std::string_view key(name);
    if (key == key::IconSize) {
        createIconSizeControls(parent);
        Describe(m_iconSizeSlider, tr("Icon size"), tip, tip);
        Describe(m_iconSizeEdit, tr("Icon size in pixels"), tr("Type a size from 16 to 1024 pixels."),
                 tr("Type a size from 16 to 1024 pixels."));
        auto* row = new QHBoxLayout;
        row->addWidget(m_iconSizeSlider, 1);
        row->addWidget(m_iconSizeEdit);
        row->addWidget(Buddy(tr("pi&xels"), m_iconSizeEdit));
        group->addRow(Buddy(label, m_iconSizeSlider), row);
    } else if (key == key::ImageQuality) {
        m_imageQualityComboBox = new QComboBox(parent);
        m_imageQualityComboBox->setObjectName(QStringLiteral("imageQualityComboBox"));
        m_imageQualityComboBox->addItems(
            {tr("Minimum"), tr("Low"), tr("Normal"), tr("High"), tr("Maximum"), tr("Lossless")});
        m_imageQualityComboBox->setCurrentIndex(DeclaredQualityIndex());
        Describe(m_imageQualityComboBox, tr("Quality"), tip, tip);
        connect(m_imageQualityComboBox, &QComboBox::activated, this, &PictomatPref::imageQualityChanged);
        auto* row = new QHBoxLayout;
        row->addWidget(m_imageQualityComboBox);
        row->addStretch(1);
        group->addRow(Buddy(label, m_imageQualityComboBox), row);
    } else if (key == key::BackgroundColorRedComponent) {
        m_backgroundColorButton = new ColorButton(parent);
        m_backgroundColorButton->setObjectName(QStringLiteral("backgroundColorButton"));
        // The button's tool tip is the colour itself; what the button is for
        // is its description.
        Describe(m_backgroundColorButton, tr("Background color"), QString(), tip);
        connect(m_backgroundColorButton, &QPushButton::clicked, this, &PictomatPref::backgroundColorButtonClicked);
        m_hexValueEdit = new QLineEdit(parent);
        m_hexValueEdit->setObjectName(QStringLiteral("hexValueEdit"));
        m_hexValueEdit->setReadOnly(true);
        m_hexValueEdit->setFixedWidth(m_hexValueEdit->fontMetrics().horizontalAdvance(QStringLiteral("#DDDDDDD")) + 16);
        Describe(m_hexValueEdit, tr("Background color in hexadecimal"),
                 tr("The background color as red, green and blue in hexadecimal, ready to copy."),
                 tr("The background color as red, green and blue in hexadecimal, ready to copy."));
        auto* row = new QHBoxLayout;
        row->addWidget(m_backgroundColorButton);
        row->addWidget(Buddy(tr("&Hex:"), m_hexValueEdit));
        row->addWidget(m_hexValueEdit);
        row->addStretch(1);
        group->addRow(Buddy(label, m_backgroundColorButton), row);
    } else if (key == key::ImageFolderPathname) {
        m_imageFolderLabel = new PathLabel(parent);
        m_imageFolderLabel->setObjectName(QStringLiteral("imageFolderLabel"));
        m_imageFolderLabel->setMinimumWidth(260);
        m_chooseImageFolderButton = new QPushButton(tr("Ch&oose..."), parent);
        m_chooseImageFolderButton->setObjectName(QStringLiteral("chooseImageFolderButton"));
        Describe(m_chooseImageFolderButton, tr("Choose the image folder"), tip, tip);
        connect(m_chooseImageFolderButton, &QPushButton::clicked, this, &PictomatPref::chooseImageFolderButtonClicked);
        auto* row = new QHBoxLayout;
        row->addWidget(m_imageFolderLabel, 1);
        row->addWidget(m_chooseImageFolderButton);
        group->addRow(new QLabel(label, parent));
        group->addRow(row);
    }
}

void PictomatPref::buildWindow()
{
    m_window = std::make_unique<QWidget>(nullptr, Qt::Window);
    m_window->setObjectName(QStringLiteral("preferencesWindow"));
    m_window->setWindowTitle(tr("Pictomat Preferences"));
    m_window->setWindowIcon(ApplicationIcon());
    NameDesktopFile(m_window.get(), kDesktopFileName);

    // A window without buttons of its own closes the way dialogs do.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, m_window.get());
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, m_window.get(), &QWidget::close);
    }

    auto* layout = new QGridLayout(m_window.get());
    QFormLayout* forms[std::size(kGroups)] = {};
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        auto* box = new QGroupBox(tr(kGroups[i].title), m_window.get());
        forms[i] = new QFormLayout(box);
        if (kGroups[i].intro != nullptr)
            forms[i]->addRow(new QLabel(tr(kGroups[i].intro), box));
        // The menu and the output side by side, the image below both.
        if (kGroups[i].group == Group::Image)
            layout->addWidget(box, 1, 0, 1, 2);
        else
            layout->addWidget(box, 0, int(i));
    }
    m_menuForm = forms[int(Group::Menu)];
    for (const ControlRow& row : kControls)
        addControl(row.key, tr(row.label), row.tip != nullptr ? tr(row.tip) : QString(), forms[int(row.group)]);
}

QIcon ApplicationIcon()
{
    const QString name = QString::fromLatin1(kDesktopFileName);
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return QIcon(DataDirectory() + QStringLiteral("/icons/pictomat.svg"));
}

// ------------------------------------------------------------------ the verb

int RunPreferencesWindow(int argc, char** argv, prefs::PreferenceStore& store,
                         const std::function<void(PictomatPref&)>& opened)
{
    std::unique_ptr<QApplication> ownApplication;
    if (QCoreApplication::instance() == nullptr)
        ownApplication = std::make_unique<QApplication>(argc, argv);
    else if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fputs("pictomat: the preferences window needs a graphical session\n", stderr);
        return 1;
    }
    // Taskbars, Alt-Tab and the GNOME top bar tie the window to the desktop
    // file by this name, and take its icon from there.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    QApplication::setWindowIcon(ApplicationIcon());
    PictomatPref controller(store);
    QEventLoop loop;
    CloseWatcher watcher(&loop);
    controller.window()->installEventFilter(&watcher);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    controller.showWindow();
    if (opened)
        opened(controller);
    loop.exec();
    return 0;
}

} // namespace pictomat
