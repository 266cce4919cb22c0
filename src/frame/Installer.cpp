#include "frame/Installer.h"

#include "frame/Handles.h"

#include <msiquery.h>

namespace ih {

UINT GetInstallerProperty(MSIHANDLE installation, std::wstring& value, std::wstring_view name) {
    const std::wstring propertyName(name);
    wchar_t empty[1] = {L'\0'};
    DWORD count = 0;
    if (::MsiGetPropertyW(installation, propertyName.c_str(), empty, &count) != ERROR_MORE_DATA)
        return ERROR_INSTALL_FAILURE;

    std::wstring buffer(static_cast<std::size_t>(count) + 1, L'\0');
    DWORD capacity = count + 1;
    if (::MsiGetPropertyW(installation, propertyName.c_str(), buffer.data(), &capacity) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    buffer.resize(capacity < count ? capacity : count);
    value = std::move(buffer);
    return ERROR_SUCCESS;
}

HRESULT PostInstallerMessage(MSIHANDLE installation, int messageNumber, bool asWarning, const wchar_t* text2,
                             const wchar_t* text3, const wchar_t* text4) {
    UniqueMsiHandle record(::MsiCreateRecord(4));
    if (!record) return E_UNEXPECTED;
    if (::MsiRecordSetInteger(record.get(), 1, messageNumber) != ERROR_SUCCESS) return E_UNEXPECTED;
    const wchar_t* texts[] = {text2, text3, text4};
    for (unsigned field = 2; field <= 4; ++field) {
        const wchar_t* text = texts[field - 2];
        if (text && ::MsiRecordSetStringW(record.get(), field, text) != ERROR_SUCCESS) return E_UNEXPECTED;
    }
    const INSTALLMESSAGE type = asWarning ? INSTALLMESSAGE_WARNING : INSTALLMESSAGE_ERROR;
    ::MsiProcessMessage(installation, type, record.get());
    return S_OK;
}

} // namespace ih

namespace ih {

UINT SetInstallerProperty(MSIHANDLE installation, std::wstring_view name, std::wstring_view value) {
    const std::wstring propertyName(name), propertyValue(value);
    return ::MsiSetPropertyW(installation, propertyName.c_str(), propertyValue.c_str());
}

} // namespace ih
