#pragma once
// The product's scheduled scans in the platform's Task Scheduler 1.0.

#include "frame/Handles.h"

#include <mstask.h>

namespace ih::cleanup {

// Creates the task scheduler object; COM must be initialised on this thread.
HRESULT CreateTaskScheduler(ComPtr<ITaskScheduler>& scheduler);

// Takes the work items of `items` one at a time until the enumeration ends or
// fails, and deletes through `scheduler` each one whose data names the product
// (WorkItemData.h); every other work item is left alone. Returns how many were
// deleted.
unsigned DeleteProductWorkItems(ITaskScheduler& scheduler, IEnumWorkItems& items);

} // namespace ih::cleanup
