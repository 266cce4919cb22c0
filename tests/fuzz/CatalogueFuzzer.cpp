// libFuzzer target for the catalogue parser: any bytes must parse or be
// rejected without touching memory outside what was allocated (ASan), and a
// parsed list must keep its promises.

#include "update/Catalogue.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

using namespace ih::update;

bool SingleByte(unsigned char) { return false; }
bool ShiftJisLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

void Require(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MemoryCatalogueSource source(bytes);
    CatalogueList list;
    const std::int32_t result = ParseCatalogueFrom(source, list);
    Require(result == kCatalogueRead || result == kCatalogueMalformed);
    if (result != kCatalogueRead) {
        Require(list.empty());
        return 0;
    }
    std::unordered_set<std::string> folded;
    for (const CatalogueEntry& entry : list) {
        Require(entry.name.size() <= kCatalogueNameLimit);
        Require(entry.name.find('\0') == std::string::npos);
        Require(entry.fromNameBlock == 0 || (entry.extra == 0 && entry.stamp == 0));
        std::string key = entry.name;
        for (char& c : key) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        Require(folded.insert(key).second); // unique ignoring ASCII case
        Require(list.FindExact(entry.name) == &entry);
        IsEngineFile(entry.name, ShiftJisLeadByte);
    }
    // Against itself nothing changed; against an empty installation every
    // stamped item is new, which never counts as a driver change.
    // The per-entry report agrees with the decision it comes with.
    for (const LeadBytePredicate isLead : {SingleByte, ShiftJisLeadByte}) {
        bool driversChanged = false;
        std::vector<CatalogueDifference> differences;
        Require(
            CompareCatalogues(list, list, kControlDriverName, kFilterDriverName, driversChanged, isLead, &differences));
        Require(!driversChanged && differences.empty());
        const CatalogueList none;
        const bool engineOnly =
            CompareCatalogues(none, list, kControlDriverName, kFilterDriverName, driversChanged, isLead, &differences);
        Require(!driversChanged);
        bool anyNotEngine = false;
        for (const CatalogueDifference& d : differences) {
            Require(d.installed == nullptr && d.source != nullptr);
            Require(d.change == (d.source->stamp == 0 ? CatalogueChange::Unstamped : CatalogueChange::Added));
            if (d.change == CatalogueChange::Added) {
                Require(d.engineFile == IsEngineFile(d.source->name, isLead));
                anyNotEngine = anyNotEngine || !d.engineFile;
            }
        }
        Require(differences.size() == list.size() && anyNotEngine == !engineOnly);
    }
    return 0;
}
