#include "frame/ActionData.h"

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

} // namespace ih
