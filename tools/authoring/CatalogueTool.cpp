// ih-catalogue: builds, dumps and compares catalogue files "cidsync.upd" with
// the library's own reader, comparison and file checksum.

#include "CatalogueWriter.h"
#include "Output.h"
#include "Platform.h"
#include "update/Catalogue.h"
#include "update/SystemLeadByte.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace ih::tools;
using namespace ih::update;

constexpr std::string_view kUsage =
    "usage: ih-catalogue build OUTPUT FOLDER       every file below FOLDER, named by its path there\n"
    "       ih-catalogue build OUTPUT --list LIST  the files LIST names, one a line: FILE or NAME<tab>FILE\n"
    "       ih-catalogue dump CATALOGUE            the entries, in the order the library reads them\n"
    "       ih-catalogue compare INSTALLED UPDATE  what ReadCatalog decides, and why\n"
    "A CATALOGUE, INSTALLED or UPDATE that is a folder means the cidsync.upd in it.\n";

int Usage() {
    std::fputs(kUsage.data(), stderr);
    return 2;
}

void Complain(const std::string& text) {
    std::fflush(stdout); // keeps the lines in order where both streams go to one place
    std::fprintf(stderr, "ih-catalogue: %s\n", text.c_str());
}

void PrintLine(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

// A relative path as a catalogue name: its parts joined by "\".
std::optional<std::string> NameOf(const fs::path& relative) {
    std::optional<std::string> name = TextFromPath(relative.lexically_normal());
    if (name) std::replace(name->begin(), name->end(), '/', '\\');
    return name;
}

class Collector {
public:
    void Add(const fs::path& file, std::string name) {
        FileChecksum checksum = ChecksumFile(file);
        if (!checksum.value) {
            problems_.push_back(ShownPath(file) + ": " + checksum.error);
            return;
        }
        items_.push_back({std::move(name), *checksum.value});
    }
    void Problem(std::string text) { problems_.push_back(std::move(text)); }

    std::vector<CatalogueItem>& Items() { return items_; }
    std::vector<std::string>& Problems() { return problems_; }

private:
    std::vector<CatalogueItem> items_;
    std::vector<std::string> problems_;
};

void CollectFolder(const fs::path& folder, const fs::path& output, Collector& collector) {
    if (!fs::is_directory(folder)) {
        collector.Problem(ShownPath(folder) + ": not a folder");
        return;
    }
    const bool outputExists = fs::exists(output);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        // A catalogue rebuilt in place does not list its earlier self.
        if (outputExists && fs::equivalent(entry.path(), output)) continue;
        const fs::path relative = entry.path().lexically_relative(folder);
        std::optional<std::string> name = NameOf(relative);
        if (!name) {
            collector.Problem(ShownPath(relative) + ": the name cannot be written in the ANSI code page");
            continue;
        }
        collector.Add(entry.path(), std::move(*name));
    }
    // The walk's order is the file system's; a sorted catalogue is the same on every machine.
    std::sort(collector.Items().begin(), collector.Items().end(),
              [](const CatalogueItem& a, const CatalogueItem& b) { return a.name < b.name; });
}

void CollectList(std::istream& lines, const fs::path& base, Collector& collector) {
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        const std::size_t tab = line.find('\t');
        const fs::path file = PathFromText(tab == std::string::npos ? line : line.substr(tab + 1));
        const fs::path located = file.is_absolute() ? file : base / file;
        if (tab != std::string::npos) {
            collector.Add(located, line.substr(0, tab));
            continue;
        }
        const fs::path relative = file.lexically_normal();
        std::optional<std::string> name = NameOf(relative);
        if (file.is_absolute() || relative.empty() || *relative.begin() == ".." || !name) {
            collector.Problem("line " + std::to_string(number) + ": give this file its name, as NAME<tab>FILE");
            continue;
        }
        collector.Add(located, std::move(*name));
    }
}

int Build(const std::vector<std::string>& arguments) {
    if (arguments.size() != 2 && !(arguments.size() == 3 && arguments[1] == "--list")) return Usage();
    const fs::path output = PathFromText(arguments[0]);
    Collector collector;
    if (arguments.size() == 2) {
        CollectFolder(PathFromText(arguments[1]), output, collector);
    } else if (arguments[2] == "-") {
        CollectList(std::cin, fs::path(), collector);
    } else {
        const fs::path list = PathFromText(arguments[2]);
        std::ifstream lines(list, std::ios::binary);
        if (!lines) {
            Complain(ShownPath(list) + ": cannot be read");
            return 1;
        }
        CollectList(lines, list.parent_path(), collector);
    }

    std::vector<std::string>& problems = collector.Problems();
    const std::vector<std::string> naming = CatalogueProblems(collector.Items());
    problems.insert(problems.end(), naming.begin(), naming.end());
    if (!problems.empty()) {
        for (const std::string& problem : problems) Complain(Printable(problem));
        Complain("nothing written");
        return 1;
    }

    const std::string bytes = CatalogueBytes(collector.Items());
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        Complain(ShownPath(output) + ": cannot be written");
        return 1;
    }
    for (const CatalogueItem& item : collector.Items()) {
        if (item.stamp == 0)
            Complain("warning: " + Printable(item.name) +
                     ": its checksum is 0, and ReadCatalog never compares an entry stamped 0");
    }
    const std::size_t count = collector.Items().size();
    std::printf("%s: %zu %s\n", ShownPath(output).c_str(), count, count == 1 ? "entry" : "entries");
    return 0;
}

fs::path CatalogueAt(const std::string& argument) {
    const fs::path path = PathFromText(argument);
    return fs::is_directory(path) ? path / "cidsync.upd" : path;
}

std::string ParseFailure(std::int32_t result) {
    switch (result) {
    case kCatalogueCannotOpen: return "cannot be opened (" + Hex32(static_cast<std::uint32_t>(result)) + ")";
    case kCatalogueOutOfMemory: return "too large to read (" + Hex32(static_cast<std::uint32_t>(result)) + ")";
    default: return "is not a catalogue the library reads (" + Hex32(static_cast<std::uint32_t>(result)) + ")";
    }
}

int Dump(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1) return Usage();
    const fs::path path = CatalogueAt(arguments[0]);
    CatalogueList list;
    const std::int32_t result = ReadCatalogueFile(path, list);
    if (result != kCatalogueRead) {
        Complain(ShownPath(path) + ": " + ParseFailure(result));
        return 1;
    }
    PrintLine(Padded("origin", 12) + Padded("stamp", 12) + Padded("extra", 12) + "name");
    for (const CatalogueEntry& entry : list) {
        PrintLine(Padded(entry.fromNameBlock ? "name-block" : "record", 12) + Padded(Hex32(entry.stamp), 12) +
                  Padded(Hex32(entry.extra), 12) + Printable(entry.name));
    }
    return 0;
}

std::string Why(const CatalogueDifference& difference) {
    switch (difference.change) {
    case CatalogueChange::Removed: return "not compared";
    case CatalogueChange::Unstamped: return "stamp 0, not compared";
    default:
        return std::string(difference.engineFile ? "engine file" : "not an engine file") +
               (difference.driverFile ? ", driver" : "");
    }
}

std::string ChangeWord(CatalogueChange change) {
    switch (change) {
    case CatalogueChange::Added: return "added";
    case CatalogueChange::Changed: return "changed";
    case CatalogueChange::Removed: return "removed";
    default: return "ignored";
    }
}

std::string StampOf(const CatalogueEntry* entry) { return entry ? Hex32(entry->stamp) : "-"; }

// Names joined for a verdict line; a long list ends in a count.
std::string Names(const std::vector<std::string>& names) {
    constexpr std::size_t kShown = 5;
    std::string joined;
    for (std::size_t i = 0; i < names.size() && i < kShown; ++i) joined += (i ? ", " : "") + Printable(names[i]);
    if (names.size() > kShown) joined += " and " + std::to_string(names.size() - kShown) + " more";
    return joined;
}

int Compare(const std::vector<std::string>& arguments) {
    if (arguments.size() != 2) return Usage();
    // In ReadCatalog's order: without an installed catalogue the update's is not read.
    const fs::path paths[2] = {CatalogueAt(arguments[0]), CatalogueAt(arguments[1])};
    const char* const roles[2] = {"installed", "update"};
    CatalogueList lists[2];
    for (int i = 0; i < 2; ++i) {
        const std::wstring_view fullUpdate = FullUpdateReason(ReadCatalogueFile(paths[i], lists[i]));
        if (fullUpdate.empty()) continue;
        // ReadCatalog's log line, which is ASCII.
        std::printf("%s catalogue %s: %s\n", roles[i], ShownPath(paths[i]).c_str(),
                    std::string(fullUpdate.begin(), fullUpdate.end()).c_str());
        PrintLine("QMXIONLY not set: full update");
        PrintLine("UPDATEDRIVERS not set: full update");
        return 0;
    }

    bool driversChanged = false;
    std::vector<CatalogueDifference> differences;
    const bool engineOnly = CompareCatalogues(lists[0], lists[1], kControlDriverName, kFilterDriverName, driversChanged,
                                              SystemLeadByte, &differences);
    std::vector<std::string> notEngine, changedDrivers, newDrivers;
    std::size_t counted = 0;
    if (!differences.empty())
        PrintLine(Padded("change", 9) + Padded("installed", 12) + Padded("update", 12) + Padded("why", 28) + "name");
    for (const CatalogueDifference& difference : differences) {
        const CatalogueEntry& named = difference.source ? *difference.source : *difference.installed;
        PrintLine(Padded(ChangeWord(difference.change), 9) + Padded(StampOf(difference.installed), 12) +
                  Padded(StampOf(difference.source), 12) + Padded(Why(difference), 28) + Printable(named.name));
        if (difference.change != CatalogueChange::Added && difference.change != CatalogueChange::Changed) continue;
        ++counted;
        if (!difference.engineFile) notEngine.push_back(named.name);
        if (difference.driverFile)
            (difference.change == CatalogueChange::Changed ? changedDrivers : newDrivers).push_back(named.name);
    }

    if (engineOnly) {
        std::printf("QMXIONLY = \"1\": every added or changed entry is an engine file (%zu of them)\n", counted);
    } else {
        PrintLine("QMXIONLY not set: not engine files: " + Names(notEngine));
    }
    if (driversChanged) {
        PrintLine("UPDATEDRIVERS not set: driver files changed: " + Names(changedDrivers));
    } else if (!newDrivers.empty()) {
        PrintLine("UPDATEDRIVERS = \"0\": no driver file changed (added ones do not count: " + Names(newDrivers) + ")");
    } else {
        PrintLine("UPDATEDRIVERS = \"0\": no driver file changed");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    try {
        if (command == "build") return Build(arguments);
        if (command == "dump") return Dump(arguments);
        if (command == "compare") return Compare(arguments);
    } catch (const std::exception& error) {
        Complain(error.what());
        return 1;
    }
    return Usage();
}
