#include "Platform.h"

#include "crypto/ChunkedChecksum.h"
#include "frame/UniqueResource.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ih::tools {

namespace {

struct StdioFileTraits {
    using Type = std::FILE*;
    static constexpr Type Invalid() noexcept { return nullptr; }
    static void Close(Type file) noexcept { std::fclose(file); }
};
using StdioFile = UniqueResource<StdioFileTraits>;

class StdioCatalogueSource final : public update::CatalogueSource {
public:
    explicit StdioCatalogueSource(std::FILE* file) noexcept : file_(file) {}
    std::size_t Read(void* buffer, std::size_t count) override { return std::fread(buffer, 1, count, file_); }

private:
    std::FILE* file_;
};

class StdioChecksumSource final : public crypto::ChecksumSource {
public:
    explicit StdioChecksumSource(std::FILE* file) noexcept : file_(file) {}

    bool Read(std::uint8_t* chunk, std::uint32_t capacity, std::uint32_t& read) override {
        read = static_cast<std::uint32_t>(std::fread(chunk, 1, capacity, file_));
        if (std::ferror(file_)) {
            error_ = errno;
            return false;
        }
        return true;
    }

    int Error() const noexcept { return error_; }

private:
    std::FILE* file_;
    int error_ = 0;
};

StdioFile OpenForReading(const std::filesystem::path& path) { return StdioFile(std::fopen(path.c_str(), "rb")); }

} // namespace

std::filesystem::path PathFromText(std::string_view text) { return std::filesystem::path(std::string(text)); }

std::optional<std::string> TextFromPath(const std::filesystem::path& path) { return path.string(); }

std::string ShownPath(const std::filesystem::path& path) { return path.string(); }

std::int32_t ReadCatalogueFile(const std::filesystem::path& path, update::CatalogueList& list) {
    const StdioFile file = OpenForReading(path);
    if (!file) return update::kCatalogueCannotOpen;
    StdioCatalogueSource source(file.get());
    return update::ParseCatalogueFrom(source, list);
}

FileChecksum ChecksumFile(const std::filesystem::path& path) {
    const StdioFile file = OpenForReading(path);
    if (!file) return {std::nullopt, std::strerror(errno)};
    StdioChecksumSource source(file.get());
    const std::optional<std::uint32_t> value = crypto::ChecksumChunks(source);
    if (!value) return {std::nullopt, std::strerror(source.Error())};
    return {value, {}};
}

} // namespace ih::tools
