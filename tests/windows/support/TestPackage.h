#pragma once
// A real installation handle in a few lines: a package database made for the
// test (Property table and summary information), opened with MsiOpenPackageW.

#include "frame/Handles.h"
#include "support/TestFolder.h"

#include <windows.h>
#include <msi.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ih::test {

using PropertyList = std::initializer_list<std::pair<std::wstring_view, std::wstring_view>>;

class TestPackage {
public:
    explicit TestPackage(PropertyList properties = {});

    MSIHANDLE Handle() const noexcept { return package_.get(); }
    void SetProperty(std::wstring_view name, std::wstring_view value) const;
    std::wstring Property(std::wstring_view name) const;

private:
    TestFolder folder_;
    UniqueMsiHandle database_;
    UniqueMsiHandle package_;
};

// A package whose CustomActionData holds `data`, as the installer gives it to
// a deferred action.
TestPackage PackageWithActionData(std::wstring_view data);

// One message the installer was asked to show.
struct PostedMessage {
    INSTALLMESSAGE type;
    int number;
    std::wstring fields[3]; // fields 2 to 4
    bool isNull[3];
};

// Receives the installer's messages through an external UI record handler for
// the scope.
class MessageRecorder {
public:
    MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    ~MessageRecorder();
    const std::vector<PostedMessage>& Messages() const noexcept { return messages_; }

private:
    static int WINAPI Handler(void* context, UINT type, MSIHANDLE record);
    std::vector<PostedMessage> messages_;
    INSTALLUI_HANDLER_RECORD previous_ = nullptr;
};

} // namespace ih::test
