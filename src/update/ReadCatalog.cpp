#include "update/ReadCatalog.h"

#include "frame/ActionLog.h"
#include "frame/Installer.h"
#include "frame/Paths.h"
#include "update/Catalogue.h"
#include "update/CatalogueFile.h"
#include "update/SystemLeadByte.h"

#include <string>

namespace ih::update {

namespace {

// False, after logging why, when the catalogue cannot serve the comparison.
bool Parsed(const ActionLog& log, const std::wstring& folder, CatalogueList& list) {
    const std::int32_t result = ParseCatalogue(JoinPath(folder, kCatalogueFileName).c_str(), list);
    const std::wstring_view fullUpdate = FullUpdateReason(result);
    if (fullUpdate.empty()) return true;
    log.WriteText(fullUpdate);
    return false;
}

} // namespace

UINT ReadCatalog(MSIHANDLE installation) {
    const ActionLog log;
    std::wstring installFolder;
    if (GetInstallerProperty(installation, installFolder, L"INSTALLDIR") != ERROR_SUCCESS) {
        log.WriteText(L"Error getting INSTALLDIR inside ReadCatalog custom action");
        return ERROR_INSTALL_FAILURE;
    }
    if (installFolder.size() < 2) {
        log.WriteText(L"Error getting ReadCatalog custom action data - unable to determine INSTALLDIR");
        return ERROR_INSTALL_FAILURE;
    }
    CatalogueList installed;
    if (!Parsed(log, installFolder, installed)) return ERROR_SUCCESS;

    std::wstring sourceFolder;
    if (GetInstallerProperty(installation, sourceFolder, L"SOURCEDIR") != ERROR_SUCCESS || sourceFolder.size() < 2) {
        log.WriteText(L"Error getting SOURCEDIR property inside ReadCatalog custom action");
        return ERROR_INSTALL_FAILURE;
    }
    CatalogueList update;
    if (!Parsed(log, sourceFolder, update)) return ERROR_SUCCESS;

    bool driversChanged = false;
    const bool engineOnly =
        CompareCatalogues(installed, update, kControlDriverName, kFilterDriverName, driversChanged, SystemLeadByte);
    // Two separate decisions: the drivers can stay whenever neither driver
    // file changed, even when more than the engine did. Failures to set a
    // property are not reported; their absence means a full update.
    if (engineOnly) SetInstallerProperty(installation, L"QMXIONLY", L"1");
    if (!driversChanged) SetInstallerProperty(installation, L"UPDATEDRIVERS", L"0");
    return ERROR_SUCCESS;
}

} // namespace ih::update
