#pragma once

#include <QColor>
#include <QObject>
#include <QPushButton>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSlider;
class QWidget;

namespace pictomat {

// The default output folder's path, supplied by the output layer (which sits
// above the preferences), created on demand; nothing when it cannot be had.
using DefaultFolderProvider = std::function<std::optional<QString>()>;

// Asks the user for an image folder; nothing when the user cancels.
using FolderChooser = std::function<std::optional<QString>(QWidget* parent)>;
// Asks the user for a colour, starting from the current one; nothing on cancel.
using ColorChooser = std::function<std::optional<QColor>(QWidget* parent, const QColor& current)>;

// The standard choosers: a folder dialog starting in the home folder, and the
// colour dialog with its alpha channel.
FolderChooser StandardFolderChooser();
ColorChooser StandardColorChooser();

// The stored background colour as "#RRGGBB", each component clamped to 0..1
// and truncated to 0..255; unset components count as 1.0. Nothing when a
// component is not a number at all (NaN).
std::optional<QString> FormatBackgroundColorHex();

// A button that shows a colour swatch; the colour well of the window.
class ColorWell : public QPushButton {
    Q_OBJECT
public:
    explicit ColorWell(QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);

private:
    QColor m_color;
};

// The icon-size controls and their two actions.
class PictomatLitePref : public QObject {
    Q_OBJECT
public:
    explicit PictomatLitePref(QObject* parent = nullptr);
    ~PictomatLitePref() override;

public Q_SLOTS:
    // End of editing in the size field: the typed number clamped to 16..512,
    // shown and stored.
    void iconSizeTextDidEndEdit();
    // The slider moved: the field follows and the value is stored.
    void iconSizeChanged();
    // Fills the icon-size controls from the store.
    virtual void initControls();

protected:
    // Connects the size field's end-of-editing, then fills the controls.
    void awakeFromNib();
    // Builds the two icon-size controls (owned by whatever widget they are
    // placed in).
    void createIconSizeControls(QWidget* parent);

    QLineEdit* m_iconSizeTextField = nullptr;
    QSlider* m_iconSizeSlider = nullptr;
};

// The whole preferences window: every setting, each stored and synchronised
// the moment its control changes.
class PictomatPref : public PictomatLitePref {
    Q_OBJECT
public:
    explicit PictomatPref(DefaultFolderProvider defaultFolder,
                          FolderChooser folderChooser = StandardFolderChooser(),
                          ColorChooser colorChooser = StandardColorChooser(),
                          QObject* parent = nullptr);
    ~PictomatPref() override;

    QWidget* window() const { return m_window.get(); }
    // Shows the window and brings it to the front.
    void showWindow();

public Q_SLOTS:
    void initControls() override;

    void colorChanged();
    void imageQualityChanged();
    void openImageFolderButtonClicked();
    void openImageFileButtonClicked();
    void addCustomIconButtonClicked();
    void useItemsFolderButtonClicked();
    void chooseImageFolderButtonClicked();
    void makeAsSubmenuButtonClicked();
    void overwriteFilesBySameNameButtonClicked();
    void imageICNSButtonClicked();
    void appendIconSizeButtonClicked();
    void includeMakeIconsButtonClicked();
    void includeCopyIconButtonClicked();
    void includeAddCustomIconButtonClicked();
    void includeRemoveCustomIconButtonClicked();
    void includeClipToIconButtonClicked();
    void includeWebIconButtonClicked();
    void includeChangeIconSizesButtonClicked();

    // Sets the colour well from the store; leaves it alone unless all four
    // components are stored.
    void SetBackgroundColorPreference();
    // Writes the colour well's colour to the store.
    void SaveBackgroundColorPreference();

private Q_SLOTS:
    // The well was clicked: ask for a colour and take it when one is chosen.
    void backgroundColorButtonClicked();

private:
    void buildWindow();
    QCheckBox* addCheckBox(const char* objectName, const QString& title, void (PictomatPref::*action)());
    void storeCheckBox(QCheckBox* box, const char* key);
    void showHexValue();

    DefaultFolderProvider m_defaultFolder;
    FolderChooser m_folderChooser;
    ColorChooser m_colorChooser;

    std::unique_ptr<QWidget> m_window;
    ColorWell* m_backgroundColorButton = nullptr;
    QLineEdit* m_hexValueTextField = nullptr;
    QComboBox* m_imageQualityPopUpButton = nullptr;
    QCheckBox* m_useItemsFolderButton = nullptr;
    QPushButton* m_chooseImageFolderButton = nullptr;
    QLineEdit* m_imageFolderPathnameTextField = nullptr;
    QCheckBox* m_openImageFolderForMeButton = nullptr;
    QCheckBox* m_openImageFileForMeButton = nullptr;
    QCheckBox* m_makeAsSubmenuButton = nullptr;
    QCheckBox* m_overwriteFilesBySameNameButton = nullptr;
    QCheckBox* m_includeMakeIconsButton = nullptr;
    QCheckBox* m_includeCopyIconButton = nullptr;
    QCheckBox* m_appendIconSizeButton = nullptr;
    QCheckBox* m_includeAddCustomIconButton = nullptr;
    QCheckBox* m_includeRemoveCustomIconButton = nullptr;
    QCheckBox* m_includeClipToIconButton = nullptr;
    QCheckBox* m_includeWebIconButton = nullptr;
    QCheckBox* m_includeChangeIconSizesButton = nullptr;
    QCheckBox* m_imageICNSButton = nullptr;
    QCheckBox* m_addCustomIconButton = nullptr;
};

// "pictomat preferences": shows the window and runs the event loop until the
// window is closed. Makes the application object when there is none yet.
int RunPreferencesWindow(int argc, char** argv, DefaultFolderProvider defaultFolder);

} // namespace pictomat
