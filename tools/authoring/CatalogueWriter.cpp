#include "CatalogueWriter.h"

#include "update/Catalogue.h"

#include <unordered_map>

namespace ih::tools {

namespace {

std::string Folded(std::string name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

void Append16(std::string& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>(value >> 8));
}

void Append32(std::string& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
}

} // namespace

std::vector<std::string> CatalogueProblems(const std::vector<CatalogueItem>& items) {
    std::vector<std::string> problems;
    std::unordered_map<std::string, const std::string*> seen;
    for (const CatalogueItem& item : items) {
        if (item.name.empty()) {
            problems.emplace_back("an entry has an empty name");
            continue;
        }
        if (item.name.find('\0') != std::string::npos) {
            problems.push_back(item.name.substr(0, item.name.find('\0')) + ": the name holds a zero byte");
            continue;
        }
        if (item.name.size() > update::kCatalogueNameLimit) {
            problems.push_back(item.name + ": the name is longer than " + std::to_string(update::kCatalogueNameLimit) +
                               " bytes");
            continue;
        }
        const auto [earlier, added] = seen.emplace(Folded(item.name), &item.name);
        if (!added) problems.push_back(item.name + ": differs from " + *earlier->second + " only in letter case");
    }
    return problems;
}

std::string CatalogueBytes(const std::vector<CatalogueItem>& items) {
    // Bytes 0-79 mean nothing to the reader (byte 40 must be 0): zeros.
    std::string bytes(80, '\0');
    Append16(bytes, static_cast<std::uint16_t>(update::kCatalogueHeaderLength));
    Append16(bytes, 0); // no name block
    for (const CatalogueItem& item : items) {
        Append32(bytes, static_cast<std::uint32_t>(8 + item.name.size() + 1));
        Append32(bytes, 0);
        Append32(bytes, item.stamp);
        bytes += item.name;
        bytes.push_back('\0');
    }
    Append32(bytes, 0);
    return bytes;
}

} // namespace ih::tools
