#pragma once
// The shared action log: one UTF-16LE file in the temporary folder, appended
// to by every action of every installation, one open-append-close per entry.

#include "frame/LogFormat.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace ih {

inline constexpr std::wstring_view kActionLogFileName = L"Kestro Anti-Virus CustomActions Log.txt";

class ActionLog {
public:
    // Finds the log file for the running account. Never fails: when the
    // temporary folder cannot be determined the path is empty and entries are
    // dropped.
    ActionLog();

    // Formats with wide printf rules ("%s" a wide string, "%d"/"%ld" an
    // integer) and appends the message as one entry.
    template <typename... Arguments>
    void Write(std::wstring_view format, const Arguments&... arguments) const {
        WriteText(FormatLogMessage(format, {LogArgument(arguments)...}));
    }

    // Appends text the caller has formatted already; a percent sign in it is an
    // ordinary character.
    void WriteText(std::wstring_view text) const;

    // ANSI full name of the log file; empty when it could not be determined.
    const std::string& Path() const noexcept { return path_; }

    // The system's text for a Win32 error, as the system gives it (trailing
    // line break included); empty for a code the system does not know.
    static std::wstring SystemErrorText(DWORD code);

private:
    std::string path_;
};

} // namespace ih
