#include "support/TestPackage.h"

#include <msiquery.h>

#include <stdexcept>

namespace ih::test {

namespace {

void Check(UINT result, const char* what) {
    if (result != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed with " + std::to_string(result));
}

void Execute(MSIHANDLE database, const wchar_t* query, MSIHANDLE parameters = 0) {
    PMSIHANDLE view;
    Check(::MsiDatabaseOpenViewW(database, query, &view), "MsiDatabaseOpenViewW");
    Check(::MsiViewExecute(view, parameters), "MsiViewExecute");
    ::MsiViewClose(view);
}

void WriteSummary(MSIHANDLE database) {
    PMSIHANDLE summary;
    Check(::MsiGetSummaryInformationW(database, nullptr, 5, &summary), "MsiGetSummaryInformationW");
    Check(::MsiSummaryInfoSetPropertyW(summary, PIDSI_TEMPLATE, VT_LPSTR, 0, nullptr, L"Intel;1033"), "template");
    Check(::MsiSummaryInfoSetPropertyW(summary, PIDSI_REVNUMBER, VT_LPSTR, 0, nullptr,
                                       L"{6E2F1C3A-5B7D-4E0A-9C1B-2D3E4F5A6B7C}"),
          "revision");
    Check(::MsiSummaryInfoSetPropertyW(summary, PIDSI_PAGECOUNT, VT_I4, 200, nullptr, nullptr), "page count");
    Check(::MsiSummaryInfoSetPropertyW(summary, PIDSI_WORDCOUNT, VT_I4, 0, nullptr, nullptr), "word count");
    Check(::MsiSummaryInfoPersist(summary), "MsiSummaryInfoPersist");
}

} // namespace

TestPackage::TestPackage(PropertyList properties) {
    const std::wstring path = folder_ / L"test.msi";
    Check(::MsiOpenDatabaseW(path.c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_CREATE), database_.put()),
          "MsiOpenDatabaseW");
    Execute(database_.get(),
            L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` CHAR(0) NOT NULL PRIMARY KEY `Property`)");
    for (const auto& [name, value] : properties) {
        if (value.empty()) continue; // an empty value is an undefined property
        UniqueMsiHandle row(::MsiCreateRecord(2));
        Check(::MsiRecordSetStringW(row.get(), 1, std::wstring(name).c_str()), "MsiRecordSetStringW");
        Check(::MsiRecordSetStringW(row.get(), 2, std::wstring(value).c_str()), "MsiRecordSetStringW");
        Execute(database_.get(), L"INSERT INTO `Property` (`Property`, `Value`) VALUES (?, ?)", row.get());
    }
    WriteSummary(database_.get());
    Check(::MsiDatabaseCommit(database_.get()), "MsiDatabaseCommit");

    const std::wstring reference = L"#" + std::to_wstring(database_.get());
    Check(::MsiOpenPackageW(reference.c_str(), package_.put()), "MsiOpenPackageW");
}

void TestPackage::SetProperty(std::wstring_view name, std::wstring_view value) const {
    Check(::MsiSetPropertyW(package_.get(), std::wstring(name).c_str(), std::wstring(value).c_str()),
          "MsiSetPropertyW");
}

std::wstring TestPackage::Property(std::wstring_view name) const {
    std::wstring value(4096, L'\0');
    DWORD count = static_cast<DWORD>(value.size());
    Check(::MsiGetPropertyW(package_.get(), std::wstring(name).c_str(), value.data(), &count), "MsiGetPropertyW");
    value.resize(count);
    return value;
}

TestPackage PackageWithActionData(std::wstring_view data) { return TestPackage({{L"CustomActionData", data}}); }

MessageRecorder::MessageRecorder() {
    ::MsiSetExternalUIRecord(&MessageRecorder::Handler,
                             INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING | INSTALLLOGMODE_USER, this, &previous_);
}

MessageRecorder::~MessageRecorder() { ::MsiSetExternalUIRecord(previous_, 0, nullptr, nullptr); }

int WINAPI MessageRecorder::Handler(void* context, UINT type, MSIHANDLE record) {
    const auto kind = static_cast<INSTALLMESSAGE>(type & 0xFF000000u);
    if (kind != INSTALLMESSAGE_ERROR && kind != INSTALLMESSAGE_WARNING && kind != INSTALLMESSAGE_USER) return 0;
    PostedMessage message{kind, ::MsiRecordGetInteger(record, 1), {}, {}};
    for (unsigned field = 2; field <= 4; ++field) {
        message.isNull[field - 2] = ::MsiRecordIsNull(record, field) != FALSE;
        wchar_t text[1024] = {};
        DWORD count = 1024;
        if (::MsiRecordGetStringW(record, field, text, &count) == ERROR_SUCCESS) message.fields[field - 2] = text;
    }
    static_cast<MessageRecorder*>(context)->messages_.push_back(std::move(message));
    return IDOK;
}

} // namespace ih::test
