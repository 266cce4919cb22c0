#include "notify/UpdateNotices.h"

#include "frame/ActionLog.h"
#include "frame/Handles.h"
#include "notify/ComponentManager.h"
#include "notify/UpdateStateValue.h"
#include "notify/WindowsSecurityCenter.h"

#include <string_view>

namespace ih::notify {

namespace {

// The values of "UpdateState".
constexpr DWORD kStateIdle = 0;
constexpr DWORD kStateUpdating = 1;
constexpr DWORD kStateAdministrativeUpdateDone = 2;

struct NoticeMessages {
    std::wstring_view create;
    std::wstring_view lookUp;
    std::wstring_view noInterface;
    std::wstring_view call;
};

constexpr std::wstring_view kCreateEnd =
    L"Unable to create an instance of ComponentManager - SystemInformation cannot be informed of end of update";
constexpr std::wstring_view kLookUpEnd =
    L"Unable to get SystemInformation from ComponentManager - SystemInformation cannot be informed of end of update";
constexpr std::wstring_view kInterfaceEnd =
    L"Unable to get IUpdateState interface - SystemInformation cannot be informed of end of update";

constexpr NoticeMessages kBeginMessages = {
    L"Unable to create an instance of ComponentManager - SystemInformation will not be informed of the update",
    L"Unable to get SystemInformation from ComponentManager - SystemInformation will not be informed of the update",
    L"Unable to get IUpdateState interface - SystemInformation will not be informed of the update",
    L"Error returned from IUpdateState::SetUpdateState(UPDATE_IN_PROGRESS)"};
constexpr NoticeMessages kFinishedMessages = {
    kCreateEnd, kLookUpEnd, kInterfaceEnd, L"Error returned from IUpdateState::SetUpdateState(UPDATE_NOT_IN_PROGRESS)"};
constexpr NoticeMessages kFailedMessages = {kCreateEnd, kLookUpEnd, kInterfaceEnd,
                                            L"Error returned from IUpdateState::SetUpdateState(UPDATE_FAILED)"};
constexpr NoticeMessages kCompleteMessages = {kCreateEnd, kLookUpEnd, kInterfaceEnd,
                                              L"Error returned from IUpdateState::InitialInstallationComplete()"};

// The common notice, logged. Each action holds its own COM apartment for the
// length of the call, so COM is uninitialised on every path, after every
// reference is gone (and a host thread's other apartment is left alone).
void Notify(const ActionLog& log, UpdateNotice notice, const NoticeMessages& messages) {
    const NoticeOutcome outcome = SendUpdateNotice(notice);
    if (outcome.proxySecurityFailed)
        log.WriteText(L"Error returned from CoSetProxyBlanket - will be unable to impersonate inside the service");
    if (!outcome.failed) return;
    switch (*outcome.failed) {
    case NoticeStep::Create: log.WriteText(messages.create); break;
    case NoticeStep::LookUp: log.WriteText(messages.lookUp); break;
    case NoticeStep::Interface: log.WriteText(messages.noInterface); break;
    case NoticeStep::StateCall: log.WriteText(messages.call); break;
    }
}

} // namespace

UINT SetUpdateBegin(MSIHANDLE /*installation*/) {
    const ActionLog log;
    WriteUpdateStateValue(kStateUpdating, UpdateStatusSubkey::MustExist);
    const ComApartment com;
    Notify(log, UpdateNotice::Begun, kBeginMessages);
    return ERROR_SUCCESS;
}

UINT SetUpdateFinished(MSIHANDLE /*installation*/) {
    const ComApartment com;
    const ActionLog log;
    Notify(log, UpdateNotice::Finished, kFinishedMessages);
    return ERROR_SUCCESS;
}

UINT SetUpdateFailed(MSIHANDLE /*installation*/) {
    const ComApartment com;
    const ActionLog log;
    WriteUpdateStateValue(kStateIdle, UpdateStatusSubkey::MustExist);
    const HRESULT result = CWindowsSecurityCenter().SetOnAccessEnabled(false);
    if (FAILED(result)) log.Write(L"Error returned from CWindowsSecurityCenter::SetOnAccessEnabled() was: %d", result);
    Notify(log, UpdateNotice::Failed, kFailedMessages);
    return ERROR_SUCCESS;
}

UINT SetInstallationComplete(MSIHANDLE /*installation*/) {
    const ComApartment com;
    const ActionLog log;
    Notify(log, UpdateNotice::InstallationComplete, kCompleteMessages);
    return ERROR_SUCCESS;
}

UINT SetQMXAdminUpdateBegin(MSIHANDLE /*installation*/) {
    WriteUpdateStateValue(kStateUpdating, UpdateStatusSubkey::CreateIfMissing);
    return ERROR_SUCCESS;
}

UINT SetQMXAdminUpdateComplete(MSIHANDLE /*installation*/) {
    WriteUpdateStateValue(kStateAdministrativeUpdateDone, UpdateStatusSubkey::MustExist);
    return ERROR_SUCCESS;
}

} // namespace ih::notify
