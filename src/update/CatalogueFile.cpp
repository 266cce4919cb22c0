#include "update/CatalogueFile.h"

#include "frame/Handles.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <vector>

namespace ih::update {

namespace {

// Reads the file through one buffer, so a catalogue of many small records
// costs few system calls. A failed read ends the data, which the parser
// reports as a short read.
class FileCatalogueSource final : public CatalogueSource {
public:
    explicit FileCatalogueSource(HANDLE file) : file_(file), buffer_(64 * 1024) {}

    std::size_t Read(void* destination, std::size_t count) override {
        auto* out = static_cast<char*>(destination);
        std::size_t copied = 0;
        while (copied < count) {
            if (position_ == filled_ && !Refill()) break;
            const std::size_t taken = std::min(count - copied, filled_ - position_);
            std::copy_n(buffer_.data() + position_, taken, out + copied);
            position_ += taken;
            copied += taken;
        }
        return copied;
    }

private:
    bool Refill() {
        DWORD read = 0;
        if (ended_ || !::ReadFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &read, nullptr) ||
            read == 0) {
            ended_ = true;
            return false;
        }
        position_ = 0;
        filled_ = read;
        return true;
    }

    HANDLE file_;
    std::vector<char> buffer_;
    std::size_t position_ = 0;
    std::size_t filled_ = 0;
    bool ended_ = false;
};

} // namespace

std::int32_t ParseCatalogue(const wchar_t* path, CatalogueList& list) {
    if (!path) return kCatalogueNoPath;
    const UniqueFileHandle file(
        ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return kCatalogueCannotOpen;
    try {
        FileCatalogueSource source(file.get());
        return ParseCatalogueFrom(source, list);
    } catch (const std::bad_alloc&) {
        list.Clear();
        return kCatalogueOutOfMemory;
    }
}

} // namespace ih::update
