#include "ui/PreferencesWindow.h"

#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace pictomat {

using prefs::PreferenceStore;
namespace key = prefs::key;

namespace {

constexpr int kMinIconSize = 16;
constexpr int kMaxIconSize = 512;
constexpr int kFallbackIconSize = 128;
// A path handed to the file system holds at most 1023 bytes and its terminator.
constexpr qsizetype kMaxPathBytes = 1023;

PreferenceStore& Store()
{
    return PreferenceStore::shared();
}

// The window has no place for messages; a change that cannot be kept is at
// least reported on standard error instead of passing silently.
bool Write(const char* name, const QVariant& value)
{
    if (Store().setValue(QString::fromLatin1(name), value))
        return true;
    qWarning("Pictomat: cannot store %s: %s", name, qPrintable(Store().lastError()));
    return false;
}

void Synchronize()
{
    if (!Store().synchronize())
        qWarning("Pictomat: cannot save the preferences: %s", qPrintable(Store().lastError()));
}

bool IsNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// A stored number that is exactly a 16-bit integer; a fraction or a value out
// of range is not one.
std::optional<int16_t> ReadInt16(const QVariant& value)
{
    if (!IsNumber(value))
        return std::nullopt;
    double number = 0;
    if (value.typeId() == QMetaType::ULongLong) {
        const qulonglong u = value.toULongLong();
        if (u > static_cast<qulonglong>(std::numeric_limits<int16_t>::max()))
            return std::nullopt;
        number = static_cast<double>(u);
    } else if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
        number = value.toDouble();
    } else {
        const qlonglong i = value.toLongLong();
        if (i < std::numeric_limits<int16_t>::min() || i > std::numeric_limits<int16_t>::max())
            return std::nullopt;
        number = static_cast<double>(i);
    }
    if (!std::isfinite(number) || number != std::trunc(number)
        || number < std::numeric_limits<int16_t>::min() || number > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int16_t>(number);
}

// Any kind of stored number as a 32-bit float; anything else counts as unset.
std::optional<float> ReadFloat(const QVariant& value)
{
    if (!IsNumber(value))
        return std::nullopt;
    return static_cast<float>(value.toDouble());
}

bool DeclaredBooleanDefault(const char* name)
{
    const prefs::KeyInfo* info = prefs::FindKey(QString::fromLatin1(name));
    return info != nullptr && info->defaultValue.toBool();
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
    struct stat info {};
    return ::stat(bytes.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::optional<QString> FormatBackgroundColorHex()
{
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
    float alpha = 1.0f;
    prefs::GetBackgroundColorPreference(red, green, blue, alpha);
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

PictomatLitePref::PictomatLitePref(QObject* parent) : QObject(parent) {}

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

    m_iconSizeTextField = new QLineEdit(parent);
    m_iconSizeTextField->setObjectName(QStringLiteral("iconSizeTextField"));
    m_iconSizeTextField->setAlignment(Qt::AlignRight);
    m_iconSizeTextField->setText(QString::number(kFallbackIconSize));
    m_iconSizeTextField->setFixedWidth(m_iconSizeTextField->fontMetrics().horizontalAdvance(QStringLiteral("00000"))
                                       + 16);

    connect(m_iconSizeSlider, &QSlider::valueChanged, this, &PictomatLitePref::iconSizeChanged);
    connect(m_iconSizeSlider, &QSlider::sliderMoved, m_iconSizeTextField,
            [field = m_iconSizeTextField](int value) { field->setText(QString::number(value)); });
}

void PictomatLitePref::awakeFromNib()
{
    connect(m_iconSizeTextField, &QLineEdit::editingFinished, this, &PictomatLitePref::iconSizeTextDidEndEdit);
    initControls();
}

void PictomatLitePref::initControls()
{
    // The window may open long after start-up: take what other processes
    // wrote since this process last looked.
    Synchronize();
    const QVariant value = Store().copyValue(QString::fromLatin1(key::IconSize));
    const QSignalBlocker blocker(m_iconSizeSlider);  // filling in is not a change
    if (!value.isValid() || !IsNumber(value)) {
        m_iconSizeSlider->setValue(kFallbackIconSize);
        m_iconSizeTextField->setText(QString::number(kFallbackIconSize));
        return;
    }
    const std::optional<int16_t> size = ReadInt16(value);
    if (size && m_iconSizeSlider->isEnabled()) {
        m_iconSizeSlider->setValue(*size);
        m_iconSizeTextField->setText(QString::number(*size));
    }
}

void PictomatLitePref::iconSizeTextDidEndEdit()
{
    const qlonglong typed = LeadingInteger(m_iconSizeTextField->text());
    const auto size = static_cast<int16_t>(std::clamp<qlonglong>(typed, kMinIconSize, kMaxIconSize));
    // The field always shows what was stored, also for "300 px" or "0300".
    m_iconSizeTextField->setText(QString::number(size));
    Write(key::IconSize, QVariant::fromValue<qlonglong>(size));
    Synchronize();
}

void PictomatLitePref::iconSizeChanged()
{
    const auto size = static_cast<int16_t>(m_iconSizeSlider->value());
    m_iconSizeTextField->setText(QString::number(size));
    Write(key::IconSize, QVariant::fromValue<qlonglong>(size));
    Synchronize();
}

// -------------------------------------------------------------- PictomatPref

PictomatPref::PictomatPref(DefaultFolderProvider defaultFolder, FolderChooser folderChooser,
                           ColorChooser colorChooser, QObject* parent)
    : PictomatLitePref(parent),
      m_defaultFolder(std::move(defaultFolder)),
      m_folderChooser(std::move(folderChooser)),
      m_colorChooser(std::move(colorChooser))
{
    buildWindow();
    awakeFromNib();
}

PictomatPref::~PictomatPref() = default;

void PictomatPref::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void PictomatPref::initControls()
{
    PictomatLitePref::initControls();

    const std::pair<QCheckBox*, const char*> boxes[] = {
        {m_openImageFolderForMeButton, key::OpenImageFolderForMe},
        {m_openImageFileForMeButton, key::OpenImageFileForMe},
        {m_useItemsFolderButton, key::UseItemsFolder},
        {m_addCustomIconButton, key::AddCustomIcon},
        {m_makeAsSubmenuButton, key::MakeAsSubmenu},
        {m_overwriteFilesBySameNameButton, key::OverwriteFilesBySameName},
        {m_imageICNSButton, key::ImageICNS},
        {m_appendIconSizeButton, key::AppendIconSize},
        {m_includeMakeIconsButton, key::IncludeMakeIcons},
        {m_includeCopyIconButton, key::IncludeCopyIcon},
        {m_includeAddCustomIconButton, key::IncludeAddCustomIcon},
        {m_includeRemoveCustomIconButton, key::IncludeRemoveCustomIcon},
        {m_includeClipToIconButton, key::IncludeClipToIcon},
        {m_includeWebIconButton, key::IncludeWebIcon},
        {m_includeChangeIconSizesButton, key::IncludeChangeIconSizes},
    };
    for (const auto& [box, name] : boxes) {
        const QVariant value = Store().copyValue(QString::fromLatin1(name));
        const bool on = value.typeId() == QMetaType::Bool ? value.toBool() : DeclaredBooleanDefault(name);
        box->setChecked(on);
    }

    // The image folder matters only while output does not go beside each item.
    const QVariant useItemsFolder = Store().copyValue(QString::fromLatin1(key::UseItemsFolder));
    const bool folderUsed = useItemsFolder.typeId() != QMetaType::Bool || !useItemsFolder.toBool();
    m_chooseImageFolderButton->setEnabled(folderUsed);
    m_imageFolderPathnameTextField->setEnabled(folderUsed);

    // An index outside the pop-up's items keeps the current item.
    const std::optional<int16_t> quality = ReadInt16(Store().copyValue(QString::fromLatin1(key::ImageQuality)));
    if (quality && m_imageQualityPopUpButton->isEnabled() && *quality >= 0
        && *quality < m_imageQualityPopUpButton->count())
        m_imageQualityPopUpButton->setCurrentIndex(*quality);

    // A folder that no longer exists is replaced for display only; the stored
    // key stays as the user left it.
    const QVariant folder = Store().copyValue(QString::fromLatin1(key::ImageFolderPathname));
    if (folder.typeId() == QMetaType::QString && IsExistingFolder(folder.toString())) {
        m_imageFolderPathnameTextField->setText(folder.toString());
    } else if (m_defaultFolder) {
        if (const std::optional<QString> fallback = m_defaultFolder())
            m_imageFolderPathnameTextField->setText(*fallback);
    }

    SetBackgroundColorPreference();
    showHexValue();
}

void PictomatPref::showHexValue()
{
    if (const std::optional<QString> hex = FormatBackgroundColorHex())
        m_hexValueTextField->setText(*hex);
}

void PictomatPref::SetBackgroundColorPreference()
{
    Synchronize();
    const char* names[] = {key::BackgroundColorRedComponent, key::BackgroundColorGreenComponent,
                           key::BackgroundColorBlueComponent, key::BackgroundColorAlphaComponent};
    float components[4] = {};
    for (int i = 0; i < 4; ++i) {
        const std::optional<float> component = ReadFloat(Store().copyValue(QString::fromLatin1(names[i])));
        if (!component || std::isnan(*component))
            return;  // an incomplete colour leaves the well as it is
        components[i] = std::clamp(*component, 0.0f, 1.0f);
    }
    const QColor color = QColor::fromRgbF(components[0], components[1], components[2], components[3]);
    if (color.isValid())
        m_backgroundColorButton->setColor(color);
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
        Write(name, QVariant(static_cast<double>(value)));
    Synchronize();
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
    const int index = m_imageQualityPopUpButton->currentIndex();
    if (index < 0)
        return;  // no item selected: nothing to store
    Write(key::ImageQuality, QVariant::fromValue<qlonglong>(index));
    Synchronize();
}

void PictomatPref::storeCheckBox(QCheckBox* box, const char* name)
{
    Write(name, QVariant(box->checkState() != Qt::Unchecked));
    Synchronize();
}

void PictomatPref::useItemsFolderButtonClicked()
{
    const bool on = m_useItemsFolderButton->checkState() != Qt::Unchecked;
    Write(key::UseItemsFolder, QVariant(on));
    m_chooseImageFolderButton->setEnabled(!on);
    m_imageFolderPathnameTextField->setEnabled(!on);
    Synchronize();
}

void PictomatPref::chooseImageFolderButtonClicked()
{
    if (!m_folderChooser)
        return;
    const std::optional<QString> chosen = m_folderChooser(m_window.get());
    if (!chosen || chosen->isEmpty())
        return;
    // A name the store cannot hold is not shown as if it were kept.
    if (!Write(key::ImageFolderPathname, QVariant(*chosen)))
        return;
    m_imageFolderPathnameTextField->setText(*chosen);
    Synchronize();
}

void PictomatPref::openImageFolderButtonClicked() { storeCheckBox(m_openImageFolderForMeButton, key::OpenImageFolderForMe); }
void PictomatPref::openImageFileButtonClicked() { storeCheckBox(m_openImageFileForMeButton, key::OpenImageFileForMe); }
void PictomatPref::addCustomIconButtonClicked() { storeCheckBox(m_addCustomIconButton, key::AddCustomIcon); }
void PictomatPref::makeAsSubmenuButtonClicked() { storeCheckBox(m_makeAsSubmenuButton, key::MakeAsSubmenu); }
void PictomatPref::overwriteFilesBySameNameButtonClicked()
{
    storeCheckBox(m_overwriteFilesBySameNameButton, key::OverwriteFilesBySameName);
}
void PictomatPref::imageICNSButtonClicked() { storeCheckBox(m_imageICNSButton, key::ImageICNS); }
void PictomatPref::appendIconSizeButtonClicked() { storeCheckBox(m_appendIconSizeButton, key::AppendIconSize); }
void PictomatPref::includeMakeIconsButtonClicked() { storeCheckBox(m_includeMakeIconsButton, key::IncludeMakeIcons); }
void PictomatPref::includeCopyIconButtonClicked() { storeCheckBox(m_includeCopyIconButton, key::IncludeCopyIcon); }
void PictomatPref::includeAddCustomIconButtonClicked()
{
    storeCheckBox(m_includeAddCustomIconButton, key::IncludeAddCustomIcon);
}
void PictomatPref::includeRemoveCustomIconButtonClicked()
{
    storeCheckBox(m_includeRemoveCustomIconButton, key::IncludeRemoveCustomIcon);
}
void PictomatPref::includeClipToIconButtonClicked() { storeCheckBox(m_includeClipToIconButton, key::IncludeClipToIcon); }
void PictomatPref::includeWebIconButtonClicked() { storeCheckBox(m_includeWebIconButton, key::IncludeWebIcon); }
void PictomatPref::includeChangeIconSizesButtonClicked()
{
    storeCheckBox(m_includeChangeIconSizesButton, key::IncludeChangeIconSizes);
}

} // namespace pictomat
