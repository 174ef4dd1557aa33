#pragma once

#include "ui/PreferenceWidgets.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
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
    // End of editing in the size field: the typed number clamped to 16..512,
    // shown, stored, and the slider moved to it.
    void iconSizeEditingFinished();
    // The slider moved: the field follows and the value is stored.
    void iconSizeChanged();
    // Fills the icon-size controls from the store.
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
// the moment its control changes. The controls are made from one table of
// (key, label, group) rows; each check box is named after its key.
class PictomatPref : public PictomatLitePref {
    Q_OBJECT
public:
    explicit PictomatPref(prefs::PreferenceStore& store, FolderChooser folderChooser = StandardFolderChooser(),
                          ColorChooser colorChooser = StandardColorChooser(), QObject* parent = nullptr);
    ~PictomatPref() override;

    QWidget* window() const { return m_window.get(); }
    // Shows the window and brings it to the front.
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
    void addControl(const char* key, const QString& label, QFormLayout* group);
    QCheckBox* addCheckBox(const char* key, const QString& label);
    void checkBoxClicked(QCheckBox* box, const char* key);
    void enableImageFolderControls(bool enabled);
    void showHexValue();

    FolderChooser m_folderChooser;
    ColorChooser m_colorChooser;

    std::unique_ptr<QWidget> m_window;
    QVector<std::pair<QCheckBox*, const char*>> m_checkBoxes;
    ColorButton* m_backgroundColorButton = nullptr;
    QLineEdit* m_hexValueEdit = nullptr;
    QComboBox* m_imageQualityComboBox = nullptr;
    QPushButton* m_chooseImageFolderButton = nullptr;
    PathLabel* m_imageFolderLabel = nullptr;
};

// "pictomat preferences": shows the window and runs the event loop until the
// window is closed. Makes the application object when there is none yet.
int RunPreferencesWindow(int argc, char** argv, prefs::PreferenceStore& store);

} // namespace pictomat
