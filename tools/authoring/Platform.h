#pragma once
// What the authoring tools need from the system they run on. On Windows each
// call goes through the library's own code (its catalogue reader, its file
// checksum, the system's ANSI code page); on Linux through the C library and
// the library's portable cores, so both builds print the same values.
//
// Text the tools read and print (list files, catalogue names, paths) is in
// the code page of catalogue names: the ANSI code page on Windows, the bytes
// as they are on Linux.

#include "update/Catalogue.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ih::tools {

std::filesystem::path PathFromText(std::string_view text);
// The path in that code page; nothing when it holds a character the code page lacks.
std::optional<std::string> TextFromPath(const std::filesystem::path& path);
// The path for messages: characters the code page lacks become "?".
std::string ShownPath(const std::filesystem::path& path);

// Parses a catalogue file as ReadCatalog reads it: kCatalogueCannotOpen when
// it cannot be opened, else as ParseCatalogueFrom.
std::int32_t ReadCatalogueFile(const std::filesystem::path& path, update::CatalogueList& list);

struct FileChecksum {
    std::optional<std::uint32_t> value; // nothing when the file could not be read
    std::string error;                  // why, in the system's words
};
// The file checksum with which the script runner records a script program.
FileChecksum ChecksumFile(const std::filesystem::path& path);

} // namespace ih::tools
