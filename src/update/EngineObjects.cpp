#include "update/EngineObjects.h"

#include "update/TerminalServices.h"

#include <stdexcept>

namespace ih::update {

EngineObjects::EngineObjects() {
    if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE))
        throw std::runtime_error("the engine objects' security descriptor cannot be built");
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = TRUE;
    names_ = MakeEngineNames(TerminalServicesPresent(SystemTerminalServicesFacts()));
    // Manual reset, not signalled; an event a client made first is opened.
    requestEvent_.reset(::CreateEventW(&attributes_, TRUE, FALSE, names_.requestEvent.c_str()));
    completeEvent_.reset(::CreateEventW(&attributes_, TRUE, FALSE, names_.completeEvent.c_str()));
}

namespace {

// Not a static object: the runtime's exit-time destructors were measured not
// to run when the installer frees the library, so the library's entry point
// ends the objects' life itself.
EngineObjects* instance = nullptr;

} // namespace

EngineObjects& Engine() {
    if (!instance) instance = new EngineObjects();
    return *instance;
}

void DestroyEngineObjects() noexcept {
    delete instance;
    instance = nullptr;
}

} // namespace ih::update
