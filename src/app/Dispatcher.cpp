#include "app/Dispatcher.h"

#include "commands/ClipboardCommands.h"
#include "commands/CommandIds.h"
#include "commands/CommandServices.h"
#include "commands/ItemOperations.h"
#include "commands/MakeIconLoop.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "commands/ShortcutIconCommand.h"

namespace pictomat {

namespace {
bool isIconSizeTag(int tag)
{
    return tag >= kCommandIconSize16 && tag <= kCommandIconSize512;
}

void storeIconSize(int tag)
{
    static constexpr int kSizes[] = {16, 32, 48, 64, 128, 256, 512};
    prefs::PreferenceStore& store = prefs::PreferenceStore::shared();
    store.setValue(QString::fromLatin1(prefs::key::IconSize), QVariant::fromValue(qint64(kSizes[tag - kCommandIconSize16])));
    store.synchronize();
}
} // namespace

void Dispatcher::handleMenuItem(int tag)
{
    CommandContext& c = m_context;
    if (tag == kCommandGoToFolder)
        OpenOutputFolder(c, c.currentItem);
    if (!c.selectedItems.hasSelection())
        return;

    const int exporterCount = int(c.exporterList.size());
    const bool makeIcon = tag == kCommandMakeIconForFile || tag == kCommandMakeIconForMedia ||
                          tag == kCommandAddCustomIconToMedia || (tag >= 1 && tag <= exporterCount);
    if (makeIcon) {
        const bool frame = tag != kCommandAddCustomIconToMedia;
        // The folder that opens is the one this command's first output lands in.
        if (frame && prefs::GetBooleanPreference(prefs::key::OpenImageFolderForMe))
            OpenOutputFolder(c, c.selectedItems.items->value(0));
        RunMakeIconLoop(c, tag);
        if (frame && prefs::GetBooleanPreference(prefs::key::OpenImageFolderForMe))
            RevealLastOutputFile(c);
        return;
    }
    switch (tag) {
    case kCommandCopyIconForFile:
        CopyIconForFile(c);
        return;
    case kCommandAddCustomIconFromClipboard:
        AddCustomIconFromClipboard(c);
        return;
    case kCommandAddShortcutIcon:
        AddShortcutIcons(c);
        return;
    case kCommandRemoveCustomIcon:
        for (qint32 i = 0; i < c.selectedItems.count && i < c.selectedItems.items->size(); ++i)
            RemoveCustomIcon(c, c.selectedItems.items->at(i));
        return;
    default:
        if (isIconSizeTag(tag))
            storeIconSize(tag);
        return;
    }
}

} // namespace pictomat
