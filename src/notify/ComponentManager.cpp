#include "notify/ComponentManager.h"

#include "frame/Handles.h"

namespace ih::notify {

namespace {

// In-process server and handler, local and remote server.
constexpr DWORD kComponentManagerContext = 0x17;
constexpr wchar_t kSystemInformation[] = L"SystemInformation";

NoticeOutcome Failed(NoticeStep step, HRESULT result, bool proxySecurityFailed = false) {
    return {step, proxySecurityFailed, result};
}

HRESULT CallState(IUpdateState& updateState, UpdateNotice notice) {
    switch (notice) {
    case UpdateNotice::Begun: return updateState.SetUpdateState(kUpdateInProgress);
    case UpdateNotice::Finished: return updateState.SetUpdateState(kUpdateNotInProgress);
    case UpdateNotice::Failed: return updateState.SetUpdateState(kUpdateFailed);
    case UpdateNotice::InstallationComplete: return updateState.InitialInstallationComplete();
    }
    return E_INVALIDARG;
}

} // namespace

NoticeOutcome SendUpdateNotice(UpdateNotice notice) {
    ComPtr<IComponentManager> manager;
    HRESULT result = ::CoCreateInstance(kComponentManagerClass, nullptr, kComponentManagerContext,
                                        kComponentManagerInterface, manager.put_void());
    if (FAILED(result)) return Failed(NoticeStep::Create, result);
    if (!manager) return Failed(NoticeStep::Create, E_POINTER);

    ComPtr<IUnknown> component;
    {
        const UniqueBstr name = MakeBstr(kSystemInformation);
        if (!name) return Failed(NoticeStep::LookUp, E_OUTOFMEMORY);
        result = manager->LookUpComponent(name.get(), component.put());
    }
    if (FAILED(result)) return Failed(NoticeStep::LookUp, result);
    if (!component) return Failed(NoticeStep::LookUp, E_POINTER);

    ComPtr<IUpdateState> updateState;
    result = component->QueryInterface(kUpdateStateInterface, updateState.put_void());
    if (FAILED(result) || !updateState) return Failed(NoticeStep::Interface, FAILED(result) ? result : E_NOINTERFACE);

    // The service impersonates the installer when it handles the call.
    const bool proxySecurityFailed =
        FAILED(::CoSetProxyBlanket(updateState.get(), RPC_C_AUTHN_DEFAULT, RPC_C_AUTHZ_DEFAULT, nullptr,
                                   RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE));

    result = CallState(*updateState.get(), notice);
    if (FAILED(result)) return Failed(NoticeStep::StateCall, result, proxySecurityFailed);
    return {std::nullopt, proxySecurityFailed, result};
}

} // namespace ih::notify
