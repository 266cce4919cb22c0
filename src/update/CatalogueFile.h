#pragma once
// Reading a catalogue file from disk.

#include "update/Catalogue.h"

#include <cstdint>

namespace ih::update {

// Parses the file at `path` into the empty `list`: kCatalogueNoPath for a
// null path, kCatalogueCannotOpen when the file cannot be opened for reading
// while other writers are denied, else as ParseCatalogueFrom.
std::int32_t ParseCatalogue(const wchar_t* path, CatalogueList& list);

} // namespace ih::update
