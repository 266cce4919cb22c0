#pragma once
// Builds catalogue files byte by byte for the tests, the fuzzer's seeds and
// the benchmarks: an 84-byte header, the name block, entry records and the
// terminating zero length, each part open to being bent out of shape.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace ih::test {

class CatalogueBuilder {
public:
    // Header with the name block's length; the block's strings follow it.
    explicit CatalogueBuilder(std::initializer_list<std::string_view> nameBlock = {}, std::uint16_t headerLength = 84,
                              std::uint8_t byte40 = 0) {
        std::string block;
        for (const std::string_view name : nameBlock) {
            block.append(name);
            block.push_back('\0');
        }
        bytes_.assign(84, 'h'); // bytes nobody examines
        bytes_[40] = static_cast<char>(byte40);
        Put16(80, headerLength);
        Put16(82, static_cast<std::uint16_t>(block.size()));
        bytes_ += block;
    }

    // One record: length 8 + name + terminator, extra, stamp, name.
    CatalogueBuilder& Entry(std::string_view name, std::uint32_t stamp, std::uint32_t extra = 0) {
        Append32(static_cast<std::uint32_t>(8 + name.size() + 1));
        Append32(extra);
        Append32(stamp);
        bytes_.append(name);
        bytes_.push_back('\0');
        return *this;
    }
    CatalogueBuilder& Raw(std::string_view bytes) {
        bytes_.append(bytes);
        return *this;
    }
    CatalogueBuilder& Value(std::uint32_t value) {
        Append32(value);
        return *this;
    }
    // The bytes so far, without a terminating zero length.
    const std::string& Unterminated() const noexcept { return bytes_; }
    // The bytes with the terminating zero length.
    std::string Bytes() const { return bytes_ + std::string(4, '\0'); }

private:
    void Put16(std::size_t offset, std::uint16_t value) {
        bytes_[offset] = static_cast<char>(value & 0xFF);
        bytes_[offset + 1] = static_cast<char>(value >> 8);
    }
    void Append32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    std::string bytes_;
};

} // namespace ih::test
