#include "commands/CommandSettings.h"

#include "commands/Command.h"
#include "prefs/Preferences.h"

namespace pictomat {

CommandSettings CommandSettings::Read(const CommandOptions& options)
{
    namespace key = prefs::key;
    CommandSettings s;
    // Only a boolean true counts: a stored 1 from another tool is not a choice.
    s.folders.useItemsFolder = prefs::GetBooleanPreference(key::UseItemsFolder, false);
    s.folders.imageFolderPathname = prefs::GetStringPreference(key::ImageFolderPathname);
    // The stored alpha component belongs to the preferences window; drawing
    // takes its alpha from the "alpha" default only.
    float storedAlpha = 1.0f;
    prefs::GetBackgroundColorPreference(s.background.red, s.background.green, s.background.blue, storedAlpha);
    s.background.alpha = options.alpha ? *options.alpha : prefs::GetStandardAlphaDefault().value_or(1.0f);
    s.iconSize = prefs::GetIconSizePreference();
    s.codecQuality = prefs::GetImageQualityPreference();
    s.openImageFolder = prefs::GetBooleanPreference(key::OpenImageFolderForMe);
    s.openImageFile = prefs::GetBooleanPreference(key::OpenImageFileForMe);
    s.addCustomIcon = prefs::GetBooleanPreference(key::AddCustomIcon);
    s.overwriteFilesBySameName = prefs::GetBooleanPreference(key::OverwriteFilesBySameName);
    s.appendIconSize = prefs::GetBooleanPreference(key::AppendIconSize);
    s.imageIcns = prefs::GetBooleanPreference(key::ImageICNS);
    return s;
}

} // namespace pictomat
