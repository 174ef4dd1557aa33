#include "ui/PreferencesWindow.h"

#include "prefs/Preferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSlider>
#include <QVBoxLayout>

#include <cstdio>

// How the preferences window looks: its controls, grouped the way a user
// thinks about them, and the dialogs it opens.

namespace pictomat {

namespace {

// The pop-up starts at the declared default quality, so an absent key shows it.
int DeclaredQualityIndex()
{
    const prefs::KeyInfo* info = prefs::FindKey(QString::fromLatin1(prefs::key::ImageQuality));
    return info != nullptr && info->defaultValue.isValid() ? info->defaultValue.toInt() : 4;
}

// Ends a local event loop when the window it watches is closed.
class CloseWatcher : public QObject {
public:
    explicit CloseWatcher(QEventLoop* loop) : m_loop(loop) {}
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

FolderChooser StandardFolderChooser()
{
    return [](QWidget* parent) -> std::optional<QString> {
        QFileDialog dialog(parent, QStringLiteral("Choose an Image Folder"), QDir::homePath());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        dialog.setOption(QFileDialog::ReadOnly, false);  // creating folders is allowed
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Choose"));
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
        const QColor chosen = QColorDialog::getColor(current, parent, QStringLiteral("Background Color"),
                                                     QColorDialog::ShowAlphaChannel);
        if (!chosen.isValid())
            return std::nullopt;
        return chosen;
    };
}

// ---------------------------------------------------------------- ColorWell

ColorWell::ColorWell(QWidget* parent) : QPushButton(parent)
{
    setColor(Qt::white);
}

void ColorWell::setColor(const QColor& color)
{
    m_color = color;
    const QSize swatch(48, 18);
    QPixmap pixmap(swatch);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    // A checkerboard under the colour shows how transparent it is.
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

QCheckBox* PictomatPref::addCheckBox(const char* objectName, const QString& title, void (PictomatPref::*action)())
{
    auto* box = new QCheckBox(title, m_window.get());
    box->setObjectName(QString::fromLatin1(objectName));
    // clicked, not toggled: only the user's changes are stored, never the
    // filling in of the window.
    connect(box, &QCheckBox::clicked, this, action);
    return box;
}

void PictomatPref::buildWindow()
{
    m_window = std::make_unique<QWidget>(nullptr, Qt::Window);
    m_window->setObjectName(QStringLiteral("preferencesWindow"));
    m_window->setWindowTitle(QStringLiteral("Pictomat Preferences"));

    // Menu contents: which commands the menu offers, and how.
    m_includeMakeIconsButton = addCheckBox("includeMakeIconsButton", tr("Make Icon for File and for Media"),
                                           &PictomatPref::includeMakeIconsButtonClicked);
    m_includeCopyIconButton = addCheckBox("includeCopyIconButton", tr("Copy Icon for File"),
                                          &PictomatPref::includeCopyIconButtonClicked);
    m_includeClipToIconButton = addCheckBox("includeClipToIconButton", tr("Add Custom Icon from Clipboard"),
                                            &PictomatPref::includeClipToIconButtonClicked);
    m_includeAddCustomIconButton = addCheckBox("includeAddCustomIconButton", tr("Add Custom Icon to Media"),
                                               &PictomatPref::includeAddCustomIconButtonClicked);
    m_includeRemoveCustomIconButton = addCheckBox("includeRemoveCustomIconButton", tr("Remove Custom Icon"),
                                                  &PictomatPref::includeRemoveCustomIconButtonClicked);
    m_includeWebIconButton = addCheckBox("includeWebIconButton", tr("Add Shortcut Icon"),
                                         &PictomatPref::includeWebIconButtonClicked);
    m_includeChangeIconSizesButton = addCheckBox("includeChangeIconSizesButton", tr("Icon Sizes"),
                                                 &PictomatPref::includeChangeIconSizesButtonClicked);
    m_makeAsSubmenuButton = addCheckBox("makeAsSubmenuButton", tr("Put the commands in a submenu"),
                                        &PictomatPref::makeAsSubmenuButtonClicked);
    auto* menuBox = new QGroupBox(tr("Menu"), m_window.get());
    auto* menuLayout = new QVBoxLayout(menuBox);
    menuLayout->addWidget(new QLabel(tr("Offer these commands:"), menuBox));
    for (QCheckBox* box : {m_includeMakeIconsButton, m_includeCopyIconButton, m_includeClipToIconButton,
                           m_includeAddCustomIconButton, m_includeRemoveCustomIconButton, m_includeWebIconButton,
                           m_includeChangeIconSizesButton})
        menuLayout->addWidget(box);
    menuLayout->addSpacing(8);
    menuLayout->addWidget(m_makeAsSubmenuButton);
    menuLayout->addStretch(1);

    // Output: where files go and what happens to them afterwards.
    m_useItemsFolderButton = addCheckBox("useItemsFolderButton", tr("Save next to each selected item"),
                                         &PictomatPref::useItemsFolderButtonClicked);
    m_imageFolderPathnameTextField = new QLineEdit(m_window.get());
    m_imageFolderPathnameTextField->setObjectName(QStringLiteral("imageFolderPathnameTextField"));
    m_imageFolderPathnameTextField->setReadOnly(true);  // only the chooser changes the folder
    m_imageFolderPathnameTextField->setMinimumWidth(260);
    m_chooseImageFolderButton = new QPushButton(tr("Choose..."), m_window.get());
    m_chooseImageFolderButton->setObjectName(QStringLiteral("chooseImageFolderButton"));
    connect(m_chooseImageFolderButton, &QPushButton::clicked, this, &PictomatPref::chooseImageFolderButtonClicked);
    m_openImageFolderForMeButton = addCheckBox("openImageFolderForMeButton", tr("Show the output folder"),
                                               &PictomatPref::openImageFolderButtonClicked);
    m_openImageFileForMeButton = addCheckBox("openImageFileForMeButton", tr("Open each output file"),
                                             &PictomatPref::openImageFileButtonClicked);
    m_overwriteFilesBySameNameButton = addCheckBox("overwriteFilesBySameNameButton",
                                                   tr("Replace files with the same name"),
                                                   &PictomatPref::overwriteFilesBySameNameButtonClicked);
    m_appendIconSizeButton = addCheckBox("appendIconSizeButton", tr("Add the icon size to image file names"),
                                         &PictomatPref::appendIconSizeButtonClicked);
    m_addCustomIconButton = addCheckBox("addCustomIconButton", tr("Give image files their own picture as icon"),
                                        &PictomatPref::addCustomIconButtonClicked);
    m_imageICNSButton = addCheckBox("imageICNSButton", tr("Draw .icns files from the icon they hold"),
                                    &PictomatPref::imageICNSButtonClicked);
    auto* outputBox = new QGroupBox(tr("Output"), m_window.get());
    auto* outputLayout = new QVBoxLayout(outputBox);
    outputLayout->addWidget(m_useItemsFolderButton);
    outputLayout->addWidget(new QLabel(tr("Otherwise save in this folder:"), outputBox));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_imageFolderPathnameTextField, 1);
    folderRow->addWidget(m_chooseImageFolderButton);
    outputLayout->addLayout(folderRow);
    outputLayout->addSpacing(8);
    for (QCheckBox* box : {m_openImageFolderForMeButton, m_openImageFileForMeButton,
                           m_overwriteFilesBySameNameButton, m_appendIconSizeButton, m_addCustomIconButton,
                           m_imageICNSButton})
        outputLayout->addWidget(box);
    outputLayout->addStretch(1);

    // Image: how icons are drawn and encoded.
    createIconSizeControls(m_window.get());
    m_imageQualityPopUpButton = new QComboBox(m_window.get());
    m_imageQualityPopUpButton->setObjectName(QStringLiteral("imageQualityPopUpButton"));
    m_imageQualityPopUpButton->addItems(
        {tr("Minimum"), tr("Low"), tr("Normal"), tr("High"), tr("Maximum"), tr("Lossless")});
    m_imageQualityPopUpButton->setCurrentIndex(DeclaredQualityIndex());
    connect(m_imageQualityPopUpButton, &QComboBox::activated, this, &PictomatPref::imageQualityChanged);
    m_backgroundColorButton = new ColorWell(m_window.get());
    m_backgroundColorButton->setObjectName(QStringLiteral("backgroundColorButton"));
    connect(m_backgroundColorButton, &QPushButton::clicked, this, &PictomatPref::backgroundColorButtonClicked);
    m_hexValueTextField = new QLineEdit(m_window.get());
    m_hexValueTextField->setObjectName(QStringLiteral("hexValueTextField"));
    m_hexValueTextField->setReadOnly(true);
    m_hexValueTextField->setFixedWidth(m_hexValueTextField->fontMetrics().horizontalAdvance(QStringLiteral("#DDDDDDD"))
                                       + 16);
    auto* imageBox = new QGroupBox(tr("Image"), m_window.get());
    auto* imageLayout = new QGridLayout(imageBox);
    imageLayout->addWidget(new QLabel(tr("Icon size:"), imageBox), 0, 0);
    imageLayout->addWidget(m_iconSizeSlider, 0, 1);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_iconSizeTextField);
    sizeRow->addWidget(new QLabel(tr("pixels"), imageBox));
    imageLayout->addLayout(sizeRow, 0, 2);
    imageLayout->addWidget(new QLabel(tr("Quality:"), imageBox), 1, 0);
    imageLayout->addWidget(m_imageQualityPopUpButton, 1, 1, 1, 2, Qt::AlignLeft);
    imageLayout->addWidget(new QLabel(tr("Background:"), imageBox), 2, 0);
    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(m_backgroundColorButton);
    colorRow->addWidget(m_hexValueTextField);
    colorRow->addStretch(1);
    imageLayout->addLayout(colorRow, 2, 1, 1, 2);
    imageLayout->setColumnStretch(1, 1);

    auto* layout = new QGridLayout(m_window.get());
    layout->addWidget(menuBox, 0, 0);
    layout->addWidget(outputBox, 0, 1);
    layout->addWidget(imageBox, 1, 0, 1, 2);
}

// ------------------------------------------------------------------ the verb

int RunPreferencesWindow(int argc, char** argv, DefaultFolderProvider defaultFolder)
{
    std::unique_ptr<QApplication> ownApplication;
    if (QCoreApplication::instance() == nullptr)
        ownApplication = std::make_unique<QApplication>(argc, argv);
    else if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fputs("pictomat: the preferences window needs a graphical session\n", stderr);
        return 1;
    }
    PictomatPref controller(std::move(defaultFolder));
    QEventLoop loop;
    CloseWatcher watcher(&loop);
    controller.window()->installEventFilter(&watcher);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    controller.showWindow();
    loop.exec();
    return 0;
}

} // namespace pictomat

