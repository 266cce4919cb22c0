#pragma once
// A catalogue's bytes as the library's parser reads them, as plain values
// that tests compare and print.

#include "update/Catalogue.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace ih::test {

struct ParsedItem {
    std::uint32_t fromNameBlock;
    std::string name;
    std::uint32_t extra, stamp;
    bool operator==(const ParsedItem&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const ParsedItem& item) {
    return out << "{" << item.fromNameBlock << ", \"" << item.name << "\", " << item.extra << ", " << item.stamp << "}";
}

struct ParsedCatalogue {
    std::int32_t result;
    std::vector<ParsedItem> items;
};

inline ParsedCatalogue ParseCatalogueBytes(std::string_view bytes) {
    update::MemoryCatalogueSource source(bytes);
    update::CatalogueList list;
    ParsedCatalogue parsed{update::ParseCatalogueFrom(source, list), {}};
    for (const update::CatalogueEntry& e : list) parsed.items.push_back({e.fromNameBlock, e.name, e.extra, e.stamp});
    return parsed;
}

} // namespace ih::test
