#pragma once
// The boundary of every exported action: nothing thrown inside an action
// crosses into the installer. An escaped error becomes the action's failure
// result, with one log entry naming the action.

#include "frame/ActionLog.h"

#include <windows.h>

#include <new>

namespace ih {

void LogUnexpectedError(const wchar_t* action, const wchar_t* what) noexcept;

template <typename Body>
UINT GuardAction(const wchar_t* action, UINT failureResult, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        LogUnexpectedError(action, L"out of memory");
    } catch (...) {
        LogUnexpectedError(action, L"unexpected internal error");
    }
    return failureResult;
}

} // namespace ih
