#include "scripts/ScriptRecord.h"

#include "crypto/FileChecksum.h"
#include "frame/Registry.h"
#include "scripts/CommandLine.h"

#include <windows.h>

#include <optional>
#include <string>

namespace ih::scripts {

namespace {

struct Program {
    std::wstring path;
    std::wstring name;
};

std::optional<Program> ProgramOf(std::wstring_view command) {
    Program program;
    if (!SplitCommandLine(command, program.path, program.name)) return std::nullopt;
    return program;
}

std::optional<DWORD> ChecksumOf(const Program& program) {
    std::uint32_t checksum = 0;
    if (!crypto::ComputeFileChecksum(program.path.c_str(), &checksum, nullptr)) return std::nullopt;
    return checksum;
}

} // namespace

bool CheckScriptRecord(std::wstring_view command, bool& matches) {
    matches = false;
    const std::optional<Program> program = ProgramOf(command);
    if (!program) return false;
    const std::optional<DWORD> checksum = ChecksumOf(*program);
    if (!checksum) return false;

    RegistryKey records;
    if (OpenRegistryKey(records, HKEY_LOCAL_MACHINE, kScriptRecordKey, KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
        // A value of another type or size counts as absent.
        DWORD stored = 0;
        matches = ReadRegistryDword(records.get(), program->name, stored) == ERROR_SUCCESS && stored == *checksum;
    }
    return true;
}

bool RecordScript(std::wstring_view command) {
    const std::optional<Program> program = ProgramOf(command);
    if (!program) return false;
    RegistryKey records;
    if (CreateRegistryKey(records, HKEY_LOCAL_MACHINE, kScriptRecordKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return false;
    const std::optional<DWORD> checksum = ChecksumOf(*program);
    if (!checksum) return false;
    return WriteRegistryDword(records.get(), program->name, *checksum) == ERROR_SUCCESS;
}

} // namespace ih::scripts
