#pragma once
// The product's component manager, a COM object of the product's service, and
// the update-state interface of its "SystemInformation" component. Only the
// identifiers, the method positions and the sign of the results are fixed
// between the installer and the service.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <optional>

namespace ih::notify {

// {D2B7A809-15DC-40B4-A1E1-C61EA97191DB}
inline constexpr CLSID kComponentManagerClass = {
    0xD2B7A809, 0x15DC, 0x40B4, {0xA1, 0xE1, 0xC6, 0x1E, 0xA9, 0x71, 0x91, 0xDB}};
// {D532DA59-962F-49CD-85C2-04042798F154}
inline constexpr IID kComponentManagerInterface = {
    0xD532DA59, 0x962F, 0x49CD, {0x85, 0xC2, 0x04, 0x04, 0x27, 0x98, 0xF1, 0x54}};
// {198104D0-7688-4231-8830-1F1ABD719B0E}
inline constexpr IID kUpdateStateInterface = {
    0x198104D0, 0x7688, 0x4231, {0x88, 0x30, 0x1F, 0x1A, 0xBD, 0x71, 0x9B, 0x0E}};

// Entries 3 to 7 of the manager's table are the service's own business; the
// installer calls entry 8 only.
struct IComponentManager : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Entry3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Entry4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Entry5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Entry6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Entry7() = 0;
    virtual HRESULT STDMETHODCALLTYPE LookUpComponent(BSTR name, IUnknown** component) = 0; // entry 8
};

// Entries 3 to 6 are not called by the installer.
struct IUpdateState : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Entry3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Entry4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Entry5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Entry6() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUpdateState(LONG state) = 0;    // entry 7
    virtual HRESULT STDMETHODCALLTYPE InitialInstallationComplete() = 0; // entry 8
};

inline constexpr LONG kUpdateNotInProgress = 0;
inline constexpr LONG kUpdateInProgress = 1;
inline constexpr LONG kUpdateFailed = 2;

// What the service is told.
enum class UpdateNotice { Begun, Finished, Failed, InstallationComplete };

// The step of the notice that failed.
enum class NoticeStep { Create, LookUp, Interface, StateCall };

struct NoticeOutcome {
    std::optional<NoticeStep> failed; // nothing: the service was told
    bool proxySecurityFailed = false; // the notice went on without impersonation
    HRESULT result = S_OK;            // the failed step's result
};

// Tells the "SystemInformation" component of the component manager. The
// caller has initialised COM on this thread; every reference taken is
// released before this returns.
NoticeOutcome SendUpdateNotice(UpdateNotice notice);

} // namespace ih::notify
