#include "cleanup/ScheduledScans.h"

#include "cleanup/WorkItemData.h"

#include <string>

namespace ih::cleanup {

namespace {

// {148BD52A-A2AB-11CE-B11F-00AA00530503}, {148BD527-...}, {148BD524-...}
constexpr CLSID kTaskSchedulerClass = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr IID kTaskSchedulerInterface = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr IID kTaskInterface = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

// In-process server and handler, local and remote server.
constexpr DWORD kSchedulerContext = 0x17;

bool IsProductWorkItem(ITaskScheduler& scheduler, const std::wstring& name) {
    ComPtr<ITask> task;
    if (FAILED(scheduler.Activate(name.c_str(), kTaskInterface, reinterpret_cast<IUnknown**>(task.put()))) || !task)
        return false;
    WORD count = 0;
    BYTE* bytes = nullptr;
    const HRESULT result = task->GetWorkItemData(&count, &bytes);
    const UniqueCoTaskMemory data(bytes);
    return SUCCEEDED(result) && IsProductWorkItemData(bytes, count);
}

} // namespace

HRESULT CreateTaskScheduler(ComPtr<ITaskScheduler>& scheduler) {
    return ::CoCreateInstance(kTaskSchedulerClass, nullptr, kSchedulerContext, kTaskSchedulerInterface,
                              scheduler.put_void());
}

unsigned DeleteProductWorkItems(ITaskScheduler& scheduler, IEnumWorkItems& items) {
    unsigned deleted = 0;
    for (;;) {
        LPWSTR* names = nullptr;
        ULONG fetched = 0;
        const HRESULT result = items.Next(1, &names, &fetched);
        const UniqueCoTaskMemory list(names);
        const UniqueCoTaskMemory enumerated(names && fetched == 1 ? names[0] : nullptr);
        if (result != S_OK || fetched != 1 || !enumerated) break;
        const std::wstring name(WorkItemName(static_cast<const wchar_t*>(enumerated.get())));
        if (IsProductWorkItem(scheduler, name) && SUCCEEDED(scheduler.Delete(name.c_str()))) ++deleted;
    }
    return deleted;
}

} // namespace ih::cleanup
