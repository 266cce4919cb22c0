#pragma once
// SetDriverProperty: the immediate action that chooses the driver set for the
// machine and publishes it in "DRIVERVERSION" (and "UPDATEDRIVERS" = "2" when
// the set has no readable catalogue).

#include "frame/ActionLog.h"

#include <windows.h>
#include <msi.h>

#include <string>

namespace ih::services {

// What the choice depends on. The action reads it from the machine; tests
// give their own to reach the version branches.
struct DriverPlatform {
    std::wstring architecture;       // %PROCESSOR_ARCHITECTURE% as expanded
    std::wstring nativeArchitecture; // PROCESSOR_ARCHITEW6432 of a 32-bit process on a 64-bit machine, else empty
    bool xpOrLater = true;
};

DriverPlatform MachineDriverPlatform();

UINT SetDriverProperty(MSIHANDLE installation);
UINT SetDriverPropertyOn(MSIHANDLE installation, const ActionLog& log, const DriverPlatform& platform);

} // namespace ih::services
