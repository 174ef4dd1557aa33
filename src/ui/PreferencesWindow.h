#pragma once

#include "ui/PreferenceWidgets.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QTimer;
class QFormLayout;
class QLineEdit;
class QSlider;
class QWidget;

namespace pictomat {

namespace prefs {
class PreferenceStore;
}

// The stored background colour as "#RRGGBB", each component clamped to 0..1
// and truncated to 0..255; unset components count as 1.0. Nothing when a
// component is not a number at all (NaN).
std::optional<QString> FormatBackgroundColorHex(prefs::PreferenceStore& store);

// The icon-size controls and their two actions, on the settings of `store`.
class PictomatLitePref : public QObject {
    Q_OBJECT
public:
    explicit PictomatLitePref(prefs::PreferenceStore& store, QObject* parent = nullptr);
    ~PictomatLitePref() override;

public Q_SLOTS:
    // End of editing in the size field: the typed number clamped to 16..1024
    // (what "pictomat run set-icon-size" takes), shown, stored, and the slider
    // moved to it.
    void iconSizeEditingFinished();
    // The slider moved: the field follows and the value is stored.
    void iconSizeChanged();
    // Fills the icon-size controls from the store; a size the user is still
    // typing or dragging is left alone.
    virtual void initControls();

protected:
    // Connects the size field's end of editing, then fills the controls.
    void bindControls();
    // Builds the two icon-size controls (owned by whatever widget they are
    // placed in).
    void createIconSizeControls(QWidget* parent);

    prefs::PreferenceStore& m_store;
    QLineEdit* m_iconSizeEdit = nullptr;
    QSlider* m_iconSizeSlider = nullptr;
};

// The whole preferences window: every setting, each stored and synchronised
// the moment its control changes, and each change made elsewhere (the tray
// menu's icon sizes, "pictomat defaults write") shown as soon as the file
// changes. The controls are made from one table of (key, label, group) rows;
// each check box is named after its key. Escape and Ctrl+W close the window.
class PictomatPref : public PictomatLitePref {
    Q_OBJECT
public:
    explicit PictomatPref(prefs::PreferenceStore& store, FolderChooser folderChooser = StandardFolderChooser(),
                          ColorChooser colorChooser = StandardColorChooser(), QObject* parent = nullptr);
    ~PictomatPref() override;

    QWidget* window() const { return m_window.get(); }
    // Shows the window, filled in afresh, and brings it to the front (out of
    // its minimised state too): every opening raises this one window.
    void showWindow();

public Q_SLOTS:
    void initControls() override;

    void colorChanged();
    void imageQualityChanged();
    void chooseImageFolderButtonClicked();

    // Sets the colour button from the store: the colour icons are drawn
    // over, with the stored alpha, opaque when none is stored.
    void SetBackgroundColorPreference();
    // Writes the colour button's colour to the store.
    void SaveBackgroundColorPreference();

private Q_SLOTS:
    // The colour button was clicked: ask for a colour and take it when one
    // is chosen.
    void backgroundColorButtonClicked();

private:
    void buildWindow();
    // Makes the control of one table row and places it in its group.
    void addControl(const char* key, const QString& label, const QString& tip, QFormLayout* group);
    QCheckBox* addCheckBox(const char* key, const QString& label);
    void checkBoxClicked(QCheckBox* box, const char* key);
    void enableImageFolderControls(bool enabled);
    void showHexValue();
    // Follows the preference file (replaced on every write, so its folder is
    // watched too) and fills the controls in again once a burst of changes
    // is over.
    void watchStore();

    FolderChooser m_folderChooser;
    ColorChooser m_colorChooser;

    std::unique_ptr<QWidget> m_window;
    QVector<std::pair<QCheckBox*, const char*>> m_checkBoxes;
    QFormLayout* m_menuForm = nullptr;
    ColorButton* m_backgroundColorButton = nullptr;
    QLineEdit* m_hexValueEdit = nullptr;
    QComboBox* m_imageQualityComboBox = nullptr;
    QPushButton* m_chooseImageFolderButton = nullptr;
    PathLabel* m_imageFolderLabel = nullptr;
    std::unique_ptr<QFileSystemWatcher> m_storeWatcher;
    QTimer* m_refreshTimer = nullptr;
};

// The program's icon: the installed one by its icon name, else the picture in
// the data folder.
QIcon ApplicationIcon();

// "pictomat preferences": shows the window and runs the event loop until the
// window is closed. Makes the application object when there is none yet, and
// ties its windows to the desktop file. `opened` hears of the window once it
// is shown, so that a later opening can raise it instead of making another.
int RunPreferencesWindow(int argc, char** argv, prefs::PreferenceStore& store,
                         const std::function<void(PictomatPref&)>& opened = {});

} // namespace pictomat
