#include "ui/PreferencesWindow.h"

#include "ui/Log.h"
#include "output/OutputFolder.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "prefs/StoredValue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pictomat {

using prefs::PreferenceStore;
namespace key = prefs::key;

namespace {

constexpr int kMinIconSize = 16;
// The largest size "pictomat run set-icon-size" and the menu's sizes take.
constexpr int kMaxIconSize = 1024;
// Changes to the preference file come in bursts (a rewrite is a new file
// moved over the old one); the controls are filled in once it is over.
constexpr int kRefreshDelayMs = 50;
constexpr int kFallbackIconSize = 128;
// A path handed to the file system holds at most 1023 bytes and its terminator.
constexpr qsizetype kMaxPathBytes = 1023;

// The window has no place for messages; a change that cannot be kept is at
// least logged instead of passing silently.
bool Write(PreferenceStore& store, const char* name, const QVariant& value)
{
    if (store.setValue(QString::fromLatin1(name), value))
        return true;
    qCWarning(lcUi, "Pictomat: cannot store %s: %s", name, qUtf8Printable(store.lastError()));
    return false;
}

void Synchronize(PreferenceStore& store)
{
    if (!store.synchronize())
        qCWarning(lcUi, "Pictomat: cannot save the preferences: %s", qUtf8Printable(store.lastError()));
}

// The leading integer of what was typed, the way a number field reads it:
// blanks, an optional sign, digits; no digits read as 0. Long digit runs
// saturate instead of wrapping, so a huge number clamps to the largest size.
qlonglong LeadingInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    qlonglong number = 0;
    constexpr qlonglong kCeiling = 1'000'000'000;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i)
        number = std::min(kCeiling, number * 10 + (text.at(i).unicode() - u'0'));
    return negative ? -number : number;
}

bool IsExistingFolder(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.isEmpty() || bytes.size() >= kMaxPathBytes || bytes.contains('\0'))
        return false;
    struct stat info { };
    return ::stat(bytes.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::optional<QString> FormatBackgroundColorHex(PreferenceStore& store)
{
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
    float alpha = 1.0f;
    prefs::GetBackgroundColorPreference(store, red, green, blue, alpha);
    int digits[3] = {0, 0, 0};
    const float components[3] = {red, green, blue};
    for (int i = 0; i < 3; ++i) {
        if (std::isnan(components[i]))
            return std::nullopt;
        // Out-of-range components are clamped so each still gives two digits.
        const float product = std::clamp(components[i], 0.0f, 1.0f) * 255.0f;
        digits[i] = static_cast<int>(std::trunc(product));
    }
    return QString::asprintf("#%02X%02X%02X", digits[0], digits[1], digits[2]);
}

// ---------------------------------------------------------- PictomatLitePref

PictomatLitePref::PictomatLitePref(PreferenceStore& store, QObject* parent) : QObject(parent), m_store(store) { }

PictomatLitePref::~PictomatLitePref() = default;

void PictomatLitePref::createIconSizeControls(QWidget* parent)
{
    m_iconSizeSlider = new QSlider(Qt::Horizontal, parent);
    m_iconSizeSlider->setObjectName(QStringLiteral("iconSizeSlider"));
    m_iconSizeSlider->setRange(kMinIconSize, kMaxIconSize);
    m_iconSizeSlider->setSingleStep(1);
    m_iconSizeSlider->setPageStep(kMinIconSize);
    m_iconSizeSlider->setValue(kFallbackIconSize);
    // Store only where the slider comes to rest; while it is dragged the field
    // alone follows it.
    m_iconSizeSlider->setTracking(false);

    m_iconSizeEdit = new QLineEdit(parent);
    m_iconSizeEdit->setObjectName(QStringLiteral("iconSizeEdit"));
    m_iconSizeEdit->setAlignment(Qt::AlignRight);
    m_iconSizeEdit->setText(QString::number(kFallbackIconSize));
    m_iconSizeEdit->setFixedWidth(m_iconSizeEdit->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);

    connect(m_iconSizeSlider, &QSlider::valueChanged, this, &PictomatLitePref::iconSizeChanged);
    connect(m_iconSizeSlider, &QSlider::sliderMoved, m_iconSizeEdit,
            [edit = m_iconSizeEdit](int value) { edit->setText(QString::number(value)); });
}

void PictomatLitePref::bindControls()
{
    connect(m_iconSizeEdit, &QLineEdit::editingFinished, this, &PictomatLitePref::iconSizeEditingFinished);
    initControls();
}

void PictomatLitePref::initControls()
{
    // The window may open long after start-up: the getter takes what other
    // processes wrote since this process last looked. A size beyond the
    // slider is shown as stored in the field, with the slider at its end.
    const int16_t size = prefs::GetIconSizePreference(m_store);
    // What the user is typing or dragging wins over a change from elsewhere;
    // it is stored when they are done.
    if (m_iconSizeSlider->isSliderDown() || (m_iconSizeEdit->hasFocus() && m_iconSizeEdit->isModified()))
        return;
    const QSignalBlocker blocker(m_iconSizeSlider); // filling in is not a change
    m_iconSizeSlider->setValue(size);
    m_iconSizeEdit->setText(QString::number(size));
}

void PictomatLitePref::iconSizeEditingFinished()
{
    const qlonglong typed = LeadingInteger(m_iconSizeEdit->text());
    const auto size = static_cast<int16_t>(std::clamp<qlonglong>(typed, kMinIconSize, kMaxIconSize));
    // The field always shows what was stored, also for "300 px" or "0300",
    // and the slider stands at it, so that its next step starts from there.
    m_iconSizeEdit->setText(QString::number(size));
    {
        const QSignalBlocker blocker(m_iconSizeSlider);
        m_iconSizeSlider->setValue(size);
    }
    Write(m_store, key::IconSize, QVariant::fromValue<qlonglong>(size));
    Synchronize(m_store);
}

void PictomatLitePref::iconSizeChanged()
{
    const auto size = static_cast<int16_t>(m_iconSizeSlider->value());
    m_iconSizeEdit->setText(QString::number(size));
    Write(m_store, key::IconSize, QVariant::fromValue<qlonglong>(size));
    Synchronize(m_store);
}

// -------------------------------------------------------------- PictomatPref

PictomatPref::PictomatPref(PreferenceStore& store, FolderChooser folderChooser, ColorChooser colorChooser,
                           QObject* parent)
    : PictomatLitePref(store, parent), m_folderChooser(std::move(folderChooser)),
      m_colorChooser(std::move(colorChooser))
{
    buildWindow();
    bindControls();
    watchStore();
}

PictomatPref::~PictomatPref() = default;

void PictomatPref::watchStore()
{
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(kRefreshDelayMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &PictomatPref::initControls);

    const QString file = m_store.filePath();
    m_storeWatcher = std::make_unique<QFileSystemWatcher>();
    QDir().mkpath(QFileInfo(file).absolutePath());
    m_storeWatcher->addPath(QFileInfo(file).absolutePath());
    if (QFileInfo::exists(file))
        m_storeWatcher->addPath(file);
    const auto changed = [this, file] {
        // A file replaced by a rename is no longer watched; the new one is.
        if (QFileInfo::exists(file) && !m_storeWatcher->files().contains(file))
            m_storeWatcher->addPath(file);
        m_refreshTimer->start();
    };
    connect(m_storeWatcher.get(), &QFileSystemWatcher::fileChanged, this, changed);
    connect(m_storeWatcher.get(), &QFileSystemWatcher::directoryChanged, this, changed);
}

void PictomatPref::showWindow()
{
    if (!m_window->isVisible())
        initControls();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void PictomatPref::initControls()
{
    PictomatLitePref::initControls();

    for (const auto& [box, name] : m_checkBoxes)
        box->setChecked(prefs::GetBooleanPreference(m_store, name));

    // The image folder matters only while output does not go beside each item.
    enableImageFolderControls(!prefs::GetBooleanPreference(m_store, key::UseItemsFolder));

    // An index outside the items keeps the current one.
    const std::optional<int16_t> quality = prefs::ExactInt16(m_store.copyValue(QString::fromLatin1(key::ImageQuality)));
    if (quality && *quality >= 0 && *quality < m_imageQualityComboBox->count())
        m_imageQualityComboBox->setCurrentIndex(*quality);

    // A folder that no longer exists is replaced for display only; the stored
    // key stays as the user left it.
    const std::optional<QString> folder = prefs::GetStringPreference(m_store, key::ImageFolderPathname);
    FileRef fallback;
    if (folder && IsExistingFolder(*folder))
        m_imageFolderLabel->setPath(*folder);
    else if (FindOrCreateDefaultOutputFolder(&fallback))
        m_imageFolderLabel->setPath(QFile::decodeName(fallback.path()));

    SetBackgroundColorPreference();
    showHexValue();
}

void PictomatPref::showHexValue()
{
    if (const std::optional<QString> hex = FormatBackgroundColorHex(m_store))
        m_hexValueEdit->setText(*hex);
}

void PictomatPref::SetBackgroundColorPreference()
{
    // The colour icons are drawn over, so that the button, the hex text and
    // the icons agree; the alpha is the window's own.
    float components[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    prefs::GetBackgroundColorPreference(m_store, components[0], components[1], components[2], components[3]);
    components[3] =
        prefs::NumberAsFloat(m_store.copyValue(QString::fromLatin1(key::BackgroundColorAlphaComponent))).value_or(1.0f);
    for (float& component : components) {
        if (std::isnan(component))
            return; // no colour at all: the button stays as it is
        component = std::clamp(component, 0.0f, 1.0f);
    }
    m_backgroundColorButton->setColor(QColor::fromRgbF(components[0], components[1], components[2], components[3]));
}

void PictomatPref::SaveBackgroundColorPreference()
{
    const QColor color = m_backgroundColorButton->color().toRgb();
    if (!color.isValid())
        return;
    const std::pair<const char*, float> components[] = {
        {key::BackgroundColorRedComponent, color.redF()},
        {key::BackgroundColorGreenComponent, color.greenF()},
        {key::BackgroundColorBlueComponent, color.blueF()},
        {key::BackgroundColorAlphaComponent, color.alphaF()},
    };
    for (const auto& [name, value] : components)
        Write(m_store, name, QVariant(static_cast<double>(value)));
    Synchronize(m_store);
}

void PictomatPref::backgroundColorButtonClicked()
{
    if (!m_colorChooser)
        return;
    const std::optional<QColor> chosen = m_colorChooser(m_window.get(), m_backgroundColorButton->color());
    if (!chosen || !chosen->isValid())
        return;
    m_backgroundColorButton->setColor(*chosen);
    colorChanged();
}

void PictomatPref::colorChanged()
{
    SaveBackgroundColorPreference();
    showHexValue();
}

void PictomatPref::imageQualityChanged()
{
    const int index = m_imageQualityComboBox->currentIndex();
    if (index < 0)
        return; // no item selected: nothing to store
    Write(m_store, key::ImageQuality, QVariant::fromValue<qlonglong>(index));
    Synchronize(m_store);
}

void PictomatPref::checkBoxClicked(QCheckBox* box, const char* name)
{
    const bool on = box->checkState() != Qt::Unchecked;
    Write(m_store, name, QVariant(on));
    if (QLatin1String(name) == QLatin1String(key::UseItemsFolder))
        enableImageFolderControls(!on);
    Synchronize(m_store);
}

void PictomatPref::enableImageFolderControls(bool enabled)
{
    m_chooseImageFolderButton->setEnabled(enabled);
    m_imageFolderLabel->setEnabled(enabled);
}

void PictomatPref::chooseImageFolderButtonClicked()
{
    if (!m_folderChooser)
        return;
    const std::optional<QString> chosen = m_folderChooser(m_window.get());
    if (!chosen || chosen->isEmpty())
        return;
    // A name the store cannot hold is not shown as if it were kept.
    if (!Write(m_store, key::ImageFolderPathname, QVariant(*chosen)))
        return;
    m_imageFolderLabel->setPath(*chosen);
    Synchronize(m_store);
}

} // namespace pictomat
