#include "frame/ActionData.h"

#include "frame/Fields.h"
#include "frame/Installer.h"

namespace ih {

ActionData ReadActionData(MSIHANDLE installation, const ActionLog& log, std::wstring_view name,
                          const ActionDataMessages& messages) {
    ActionData data;
    if (GetInstallerProperty(installation, data.value, name) != ERROR_SUCCESS) {
        log.WriteText(messages.unreadable);
        data.outcome = ActionData::Outcome::Unreadable;
    } else if (data.value.empty()) {
        log.WriteText(messages.empty);
        data.outcome = ActionData::Outcome::Empty;
    } else {
        data.outcome = ActionData::Outcome::Read;
    }
    return data;
}

bool ReadFolderPair(MSIHANDLE installation, const ActionLog& log, const FolderPairMessages& messages,
                    FolderPair& folders) {
    const ActionData data = ReadActionData(installation, log, kCustomActionData, messages.data);
    if (!data.Ok()) return false;
    if (!SplitFolderPair(data.value, folders.installFolder, folders.sourceFolder)) {
        log.WriteText(messages.missingField);
        return false;
    }
    return true;
}

} // namespace ih
