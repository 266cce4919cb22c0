#include "update/EngineObjects.h"

#include "update/TerminalServices.h"

#include <memory>
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
    if (!requestEvent_) eventsError_ = ::GetLastError();
    completeEvent_.reset(::CreateEventW(&attributes_, TRUE, FALSE, names_.completeEvent.c_str()));
    if (!completeEvent_ && eventsError_ == ERROR_SUCCESS) eventsError_ = ::GetLastError();
}

namespace {

// The runtime's exit-time destructors were measured not to run when the
// installer frees the library, so the library's entry point ends the
// objects' life itself; the owner's own destructor then finds nothing.
std::unique_ptr<EngineObjects> instance;

} // namespace

EngineObjects& Engine() {
    if (!instance) instance = std::make_unique<EngineObjects>();
    return *instance;
}

void DestroyEngineObjects() noexcept { instance.reset(); }

} // namespace ih::update
