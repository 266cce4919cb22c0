#pragma once
// Writing a catalogue file "cidsync.upd" in the layout the library reads: an
// 84-byte header with an empty name block, one record per entry and the
// terminating zero length.

#include <cstdint>
#include <string>
#include <vector>

namespace ih::tools {

struct CatalogueItem {
    std::string name; // 8-bit text, "\" between folders
    std::uint32_t stamp = 0;
};

// Why the library's reader would not give these items back as they are:
// an empty name, one longer than a name holds, or two names that differ only
// in ASCII letter case (the reader keeps the later one). Empty when none.
std::vector<std::string> CatalogueProblems(const std::vector<CatalogueItem>& items);

// The file's bytes. `extra` of every record is 0: nothing reads it.
std::string CatalogueBytes(const std::vector<CatalogueItem>& items);

} // namespace ih::tools
