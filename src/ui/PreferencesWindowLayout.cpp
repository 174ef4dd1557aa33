#include "ui/PreferencesWindow.h"

#include "prefs/Preferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <cstdio>
#include <string_view>

// How the preferences window looks: one row per control, grouped the way a
// user thinks about them.

namespace pictomat {

namespace {

namespace key = prefs::key;

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
};

// Every control of the window, in the order it shows them. A boolean key is
// a check box named after its key, stored the moment it is clicked; the other
// keys have controls of their own (PictomatPref::addControl). The colour's
// row stands for all four of its components. MakeAsSubmenu has no row: the
// menu does not nest its commands (it is on by default, and nesting would
// push every command one level deeper), so a box for it would do nothing.
constexpr ControlRow kControls[] = {
    {key::IncludeMakeIcons, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Make Icon for File and for Media"),
     Group::Menu},
    {key::IncludeMakeWindowsIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Make Windows Icon for Media"),
     Group::Menu},
    {key::IncludeMakeLinuxIconSet, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Make Linux Icon Set for Media"),
     Group::Menu},
    {key::IncludeMakeAppIcons, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Make App Icons for Media"), Group::Menu},
    {key::IncludeCopyIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Copy Icon for File"), Group::Menu},
    {key::IncludeClipToIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Add Custom Icon from Clipboard"),
     Group::Menu},
    {key::IncludeAddCustomIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Add Custom Icon to Media"), Group::Menu},
    {key::IncludeRemoveCustomIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Remove Custom Icon"), Group::Menu},
    {key::IncludeWebIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Add Shortcut Icon"), Group::Menu},
    {key::IncludeChangeIconSizes, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Icon Sizes"), Group::Menu},

    {key::UseItemsFolder, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Save next to each selected item"),
     Group::Output},
    {key::ImageFolderPathname, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Otherwise save in this folder:"),
     Group::Output},
    {key::OpenImageFolderForMe, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Show the output folder"), Group::Output},
    {key::OpenImageFileForMe, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Open each output file"), Group::Output},
    {key::OverwriteFilesBySameName, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Replace files with the same name"),
     Group::Output},
    {key::AppendIconSize, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Add the icon size to image file names"),
     Group::Output},
    {key::AddCustomIcon, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Give image files their own picture as icon"),
     Group::Output},
    {key::ImageICNS, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Draw .icns files from the icon they hold"),
     Group::Output},
    {key::AppIconsMacOSShape, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Shape macOS app icons on Apple's grid"),
     Group::Output},

    {key::IconSize, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Icon size:"), Group::Image},
    {key::ImageQuality, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Quality:"), Group::Image},
    {key::BackgroundColorRedComponent, QT_TRANSLATE_NOOP("pictomat::PictomatPref", "Background:"), Group::Image},
};

// The combo box starts at the declared default quality, so an absent key shows it.
int DeclaredQualityIndex()
{
    const prefs::KeyInfo* info = prefs::FindKey(QString::fromLatin1(key::ImageQuality));
    return info != nullptr && info->defaultValue.isValid() ? info->defaultValue.toInt() : 4;
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

void PictomatPref::addControl(const char* name, const QString& label, QFormLayout* group)
{
    const prefs::KeyInfo* info = prefs::FindKey(QString::fromLatin1(name));
    if (info != nullptr && info->kind == prefs::Kind::Boolean) {
        group->addRow(addCheckBox(name, label));
        return;
    }
    QWidget* parent = m_window.get();
    const std::string_view key(name);
    if (key == key::IconSize) {
        createIconSizeControls(parent);
        auto* row = new QHBoxLayout;
        row->addWidget(m_iconSizeSlider, 1);
        row->addWidget(m_iconSizeEdit);
        row->addWidget(new QLabel(tr("pixels"), parent));
        group->addRow(label, row);
    } else if (key == key::ImageQuality) {
        m_imageQualityComboBox = new QComboBox(parent);
        m_imageQualityComboBox->setObjectName(QStringLiteral("imageQualityComboBox"));
        m_imageQualityComboBox->addItems(
            {tr("Minimum"), tr("Low"), tr("Normal"), tr("High"), tr("Maximum"), tr("Lossless")});
        m_imageQualityComboBox->setCurrentIndex(DeclaredQualityIndex());
        connect(m_imageQualityComboBox, &QComboBox::activated, this, &PictomatPref::imageQualityChanged);
        auto* row = new QHBoxLayout;
        row->addWidget(m_imageQualityComboBox);
        row->addStretch(1);
        group->addRow(label, row);
    } else if (key == key::BackgroundColorRedComponent) {
        m_backgroundColorButton = new ColorButton(parent);
        m_backgroundColorButton->setObjectName(QStringLiteral("backgroundColorButton"));
        connect(m_backgroundColorButton, &QPushButton::clicked, this, &PictomatPref::backgroundColorButtonClicked);
        m_hexValueEdit = new QLineEdit(parent);
        m_hexValueEdit->setObjectName(QStringLiteral("hexValueEdit"));
        m_hexValueEdit->setReadOnly(true);
        m_hexValueEdit->setFixedWidth(m_hexValueEdit->fontMetrics().horizontalAdvance(QStringLiteral("#DDDDDDD")) + 16);
        auto* row = new QHBoxLayout;
        row->addWidget(m_backgroundColorButton);
        row->addWidget(m_hexValueEdit);
        row->addStretch(1);
        group->addRow(label, row);
    } else if (key == key::ImageFolderPathname) {
        m_imageFolderLabel = new PathLabel(parent);
        m_imageFolderLabel->setObjectName(QStringLiteral("imageFolderLabel"));
        m_imageFolderLabel->setMinimumWidth(260);
        m_chooseImageFolderButton = new QPushButton(tr("Choose..."), parent);
        m_chooseImageFolderButton->setObjectName(QStringLiteral("chooseImageFolderButton"));
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
    m_window->setWindowTitle(QStringLiteral("Pictomat Preferences"));

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
    for (const ControlRow& row : kControls)
        addControl(row.key, tr(row.label), forms[int(row.group)]);
}

// ------------------------------------------------------------------ the verb

int RunPreferencesWindow(int argc, char** argv, prefs::PreferenceStore& store)
{
    std::unique_ptr<QApplication> ownApplication;
    if (QCoreApplication::instance() == nullptr)
        ownApplication = std::make_unique<QApplication>(argc, argv);
    else if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fputs("pictomat: the preferences window needs a graphical session\n", stderr);
        return 1;
    }
    PictomatPref controller(store);
    QEventLoop loop;
    CloseWatcher watcher(&loop);
    controller.window()->installEventFilter(&watcher);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    controller.showWindow();
    loop.exec();
    return 0;
}

} // namespace pictomat
