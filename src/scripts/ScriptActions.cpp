#include "scripts/ScriptActions.h"

#include "frame/ActionData.h"
#include "frame/ActionLog.h"
#include "frame/Fields.h"
#include "frame/Paths.h"
#include "scripts/ScriptList.h"
#include "scripts/ScriptRunner.h"

#include <string>
#include <vector>

namespace ih::scripts {

namespace {

// What makes the four stages differ.
struct Stage {
    std::wstring_view property;
    std::wstring_view firstKey;
    ActionDataMessages messages;
    UINT unreadableResult;
};

UINT RunStage(MSIHANDLE installation, const Stage& stage) {
    const ActionLog log;
    const ActionData data = ReadActionData(installation, log, stage.property, stage.messages);
    if (data.outcome == ActionData::Outcome::Unreadable) return stage.unreadableResult;
    if (data.outcome == ActionData::Outcome::Empty) return ERROR_INSTALL_FAILURE;

    std::int32_t position = 0;
    const std::wstring installPath = NextField(data.value, kFieldDelimiters, position);
    const std::wstring scriptPath = NextField(data.value, kFieldDelimiters, position);
    const std::wstring version = NextField(data.value, kFieldDelimiters, position);

    // Without a script folder the file name alone would name "\QMX.CFG" at the
    // root of the current drive, which ordinary users may be able to create
    // while this stage runs as Local System: no folder, no scripts.
    if (scriptPath.empty()) return ERROR_SUCCESS;

    std::vector<std::wstring> lines;
    ReadScriptList(JoinPath(scriptPath, kConfigFileName), kScriptsSection, stage.firstKey, lines);
    for (const std::wstring& line : lines) {
        if (!RunScript(line, installPath, scriptPath, version)) return ERROR_INSTALL_FAILURE;
    }
    return ERROR_SUCCESS;
}

} // namespace

UINT RunBeforeScripts(MSIHANDLE installation) {
    return RunStage(installation, {L"RunPreLaunchScript",
                                   L"BeforeScript",
                                   {L"Error getting RunPreLaunchScript property in RunBeforeScripts",
                                    L"Empty string returned from GetProperty inside RunBeforeScripts. Fatal error"},
                                   ERROR_SUCCESS});
}

UINT RunPreLaunchScripts(MSIHANDLE installation) {
    return RunStage(installation, {kCustomActionData,
                                   L"PreLaunchScript",
                                   {L"Error getting CFGPath property in RunPreLaunchScripts",
                                    L"Empty string returned from GetProperty inside RunPreLaunchScripts. Fatal error"},
                                   ERROR_SUCCESS});
}

UINT RunAfterScripts(MSIHANDLE installation) {
    return RunStage(installation, {kCustomActionData,
                                   L"AfterScript",
                                   {L"Error getting CFGPath property in RunAfterScripts",
                                    L"Empty string returned from GetProperty inside RunAfterScripts. Fatal error"},
                                   ERROR_SUCCESS});
}

UINT RunErrorScripts(MSIHANDLE installation) {
    return RunStage(installation,
                    {kCustomActionData,
                     L"ErrorScript",
                     {L"Error getting CFGPath property in RunErrorScripts",
                      L"Empty string returned from GetProperty inside RunErrorScripts. Unable to run error script"},
                     ERROR_INSTALL_FAILURE});
}

} // namespace ih::scripts
