#pragma once
// The library-wide engine objects: the only state that outlives one action.
// They are built on first use, inside an action rather than while the loader
// holds its lock, and stay until the library is unloaded: the library's entry
// point destroys them when the installer frees it.

#include "frame/Handles.h"
#include "update/EngineNames.h"

#include <windows.h>

namespace ih::update {

class EngineObjects {
public:
    EngineObjects();
    EngineObjects(const EngineObjects&) = delete;
    EngineObjects& operator=(const EngineObjects&) = delete;

    // For every object created here: a present but null access list (every
    // account has full access, as the clients expect whatever account they
    // run under) and inheritable handles.
    SECURITY_ATTRIBUTES* Attributes() noexcept { return &attributes_; }
    const EngineNames& Names() const noexcept { return names_; }
    HANDLE RequestEvent() const noexcept { return requestEvent_.get(); }
    HANDLE CompleteEvent() const noexcept { return completeEvent_.get(); }
    // 0 when both events exist; else the error of the first that could not be made.
    DWORD EventsError() const noexcept { return eventsError_; }

    // The update mutex while one engine replacement holds it; empty otherwise.
    UniqueHandle updateMutex;

private:
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    EngineNames names_;
    UniqueHandle requestEvent_;
    UniqueHandle completeEvent_;
    DWORD eventsError_ = ERROR_SUCCESS;
};

// This library's instance, built on first call (by the actions' thread; the
// installer runs one action at a time). Throws std::runtime_error when the
// security descriptor cannot be built, std::bad_alloc without memory.
EngineObjects& Engine();

// Closes the engine objects' handles and forgets them; the next Engine() builds
// them afresh. Called when the library is unloaded.
void DestroyEngineObjects() noexcept;

} // namespace ih::update
