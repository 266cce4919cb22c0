#include "crypto/FileChecksum.h"

#include "frame/Handles.h"

#include <windows.h>

namespace ih::crypto {

namespace {

class FileChecksumSource final : public ChecksumSource {
public:
    explicit FileChecksumSource(HANDLE file) noexcept : file_(file) {}

    bool Read(std::uint8_t* chunk, std::uint32_t capacity, std::uint32_t& read) override {
        DWORD got = 0;
        if (!::ReadFile(file_, chunk, capacity, &got, nullptr)) {
            error_ = ::GetLastError();
            return false;
        }
        read = got;
        return true;
    }

    DWORD Error() const noexcept { return error_; }

private:
    HANDLE file_;
    DWORD error_ = ERROR_SUCCESS;
};

} // namespace

bool ComputeFileChecksum(const wchar_t* fileName, std::uint32_t* checksum, std::uint32_t* errorCode) {
    const auto fail = [errorCode](DWORD code) {
        if (errorCode) *errorCode = code;
        return false;
    };
    if (!fileName) return fail(ERROR_INVALID_DATA);

    const UniqueFileHandle file(
        ::CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return fail(::GetLastError());

    FileChecksumSource source(file.get());
    const std::optional<std::uint32_t> value = ChecksumChunks(source);
    if (!value) return fail(source.Error());
    if (checksum) *checksum = *value;
    return true;
}

} // namespace ih::crypto
