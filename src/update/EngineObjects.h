#pragma once
// The library-wide engine objects: the only state that outlives one action.
// They are built on first use, inside an action rather than while the loader
// holds its lock, and stay until the library is unloaded, when their handles
// are closed.

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

    // The update mutex while one engine replacement holds it; empty otherwise.
    UniqueHandle updateMutex;

private:
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    EngineNames names_;
    UniqueHandle requestEvent_;
    UniqueHandle completeEvent_;
};

// This library's instance, built on first call. Throws std::runtime_error when
// the security descriptor cannot be built.
EngineObjects& Engine();

} // namespace ih::update
