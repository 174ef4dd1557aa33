#include "commands/CommandSettings.h"

#include "commands/Command.h"
#include "prefs/Preferences.h"

namespace pictomat {

CommandSettings CommandSettings::Read(prefs::PreferenceStore& store, const CommandOptions& options)
{
    namespace key = prefs::key;
    CommandSettings s;
    // Only a boolean true counts: a stored 1 from another tool is not a choice.
    s.folders.useItemsFolder = prefs::GetBooleanPreference(store, key::UseItemsFolder, false);
    s.folders.imageFolderPathname = prefs::GetStringPreference(store, key::ImageFolderPathname);
    // The stored alpha component belongs to the preferences window; drawing
    // takes its alpha from the "alpha" default only.
    float storedAlpha = 1.0f;
    prefs::GetBackgroundColorPreference(store, s.background.red, s.background.green, s.background.blue, storedAlpha);
    s.background.alpha = options.alpha ? *options.alpha : prefs::GetStandardAlphaDefault(store).value_or(1.0f);
    s.iconSize = prefs::GetIconSizePreference(store);
    s.codecQuality = prefs::GetImageQualityPreference(store);
    s.openImageFolder = prefs::GetBooleanPreference(store, key::OpenImageFolderForMe);
    s.openImageFile = prefs::GetBooleanPreference(store, key::OpenImageFileForMe);
    if (options.openImageFolder)
        s.openImageFolder = *options.openImageFolder;
    if (options.openImageFile)
        s.openImageFile = *options.openImageFile;
    if (options.outputFolder) {
        s.folders.useItemsFolder = false;
        s.folders.imageFolderPathname = options.outputFolder;
    }
    s.addCustomIcon = prefs::GetBooleanPreference(store, key::AddCustomIcon);
    s.overwriteFilesBySameName = prefs::GetBooleanPreference(store, key::OverwriteFilesBySameName);
    s.appendIconSize = prefs::GetBooleanPreference(store, key::AppendIconSize);
    s.imageIcns = prefs::GetBooleanPreference(store, key::ImageICNS);
    s.macosShape = options.macosShape.value_or(prefs::GetBooleanPreference(store, key::AppIconsMacOSShape, false));
    return s;
}

} // namespace pictomat
