// ih-catalogue and ih-checksum run as programs on small fixtures; what they
// write and print is checked against the library's own catalogue parser,
// comparison and checksum family.

#include "CatalogueBuilder.h"
#include "ParsedCatalogue.h"
#include "crypto/ChunkedChecksum.h"
#include "crypto/Kxa.h"
#include "update/Catalogue.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace ih::update;
using ih::test::CatalogueBuilder;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "ih-tools-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
        path_ = pattern;
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path operator/(const fs::path& name) const { return path_ / name; }
    const fs::path& Path() const noexcept { return path_; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

struct Ran {
    int status;
    std::string out, err;
};

// Runs the tool named by the environment variable with `arguments`, giving it
// `input` on standard input, and collects what it prints.
Ran RunTool(const char* tool, const std::vector<std::string>& arguments, std::string_view input = {}) {
    const char* program = std::getenv(tool);
    if (!program) throw std::runtime_error(std::string(tool) + " does not name the tool");
    const TempFolder streams;
    WriteFile(streams / "in", input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (streams / "in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (streams / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (streams / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error(std::string(program) + " did not start");
    int status = 0;
    ::waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(streams / "out"), ReadFile(streams / "err")};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The library's file checksum of these bytes, through its own family.
std::uint32_t LibraryChecksum(std::string_view content) {
    KxmaaContext context;
    kxmaa_init(&context, ih::crypto::kFileChecksumKey);
    kxmaa_buffer(&context, reinterpret_cast<const std::uint8_t*>(content.data()),
                 static_cast<std::uint32_t>(content.size()));
    return kxmaa_finalise32(&context);
}

constexpr std::string_view kFox = "The quick brown fox jumps over the lazy dog";
constexpr std::uint32_t kFoxChecksum = 0xE02A2972; // the library's known answer

using Item = ih::test::ParsedItem;

// The file as the library's parser reads it.
std::vector<Item> ParsedByTheLibrary(const fs::path& path) {
    const ih::test::ParsedCatalogue parsed = ih::test::ParseCatalogueBytes(ReadFile(path));
    EXPECT_EQ(parsed.result, kCatalogueRead) << path;
    return parsed.items;
}

TEST(CatalogueTool, BuildsFromAFolderWhatTheLibraryReadsBack) {
    const TempFolder folder;
    const std::string large(3 * 8192 + 5, 'z');
    WriteFile(folder / "QMX.exe", "program");
    WriteFile(folder / "QMXI.dll", large);
    WriteFile(folder / "Drivers/QMXONACCESSCONTROL.SYS", "driver");
    WriteFile(folder / "Data/daily.vdb", kFox);
    WriteFile(folder / "empty.txt", "");
    const std::vector<Item> expected = {
        {0, "Data\\daily.vdb", 0, kFoxChecksum},
        {0, "Drivers\\QMXONACCESSCONTROL.SYS", 0, LibraryChecksum("driver")},
        {0, "QMX.exe", 0, LibraryChecksum("program")},
        {0, "QMXI.dll", 0, LibraryChecksum(large)},
        {0, "empty.txt", 0, 0},
    };

    // Built into the folder it lists, twice: the second build must not list
    // the first one's catalogue.
    const fs::path output = folder / "cidsync.upd";
    for (int build = 0; build < 2; ++build) {
        SCOPED_TRACE(build);
        const Ran ran = RunTool("IH_CATALOGUE_TOOL", {"build", output.string(), folder.Path().string()});
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ParsedByTheLibrary(output), expected);
        EXPECT_EQ(ran.out, output.string() + ": 5 entries\n");
        EXPECT_NE(ran.err.find("warning: empty.txt: its checksum is 0"), std::string::npos) << ran.err;
    }
}

TEST(CatalogueTool, BuildsFromAListInItsOrder) {
    const TempFolder folder;
    WriteFile(folder / "kit/QMXI.dll", "engine");
    WriteFile(folder / "kit/bin/QMX.exe", "program");
    WriteFile(folder / "kit/data/daily.vdb", kFox);
    WriteFile(folder / "elsewhere.txt", "far away");
    const std::string list = "# the engine first\r\n"
                             "QMXI.dll\r\n"
                             "Program Files\\Kestro\\QMX.exe\tbin/QMX.exe\n"
                             "\n"
                             "./data/daily.vdb\n"
                             "c:\\far.txt\t" +
                             (folder / "elsewhere.txt").string() + "\n";
    WriteFile(folder / "kit/files.txt", list);
    const std::vector<Item> expected = {
        {0, "QMXI.dll", 0, LibraryChecksum("engine")},
        {0, "Program Files\\Kestro\\QMX.exe", 0, LibraryChecksum("program")},
        {0, "data\\daily.vdb", 0, kFoxChecksum},
        {0, "c:\\far.txt", 0, LibraryChecksum("far away")},
    };
    const fs::path output = folder / "out.upd";
    const Ran ran =
        RunTool("IH_CATALOGUE_TOOL", {"build", output.string(), "--list", (folder / "kit/files.txt").string()});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, "");
    EXPECT_EQ(ParsedByTheLibrary(output), expected) << "relative files are found from the list's folder";

    // From standard input, files are found from the current folder: absolute ones here.
    const Ran piped = RunTool("IH_CATALOGUE_TOOL", {"build", output.string(), "--list", "-"},
                              "QMX.exe\t" + (folder / "kit/bin/QMX.exe").string() + "\n");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(ParsedByTheLibrary(output), (std::vector<Item>{{0, "QMX.exe", 0, LibraryChecksum("program")}}));
}

TEST(CatalogueTool, WritesNothingTheReaderWouldNotGiveBack) {
    const TempFolder folder;
    WriteFile(folder / "x", "x");
    const std::string x = (folder / "x").string();
    struct Case {
        const char* what;
        std::string list;
        std::string complaint;
    } const cases[] = {
        {"names that differ only in case", "A.IDE\t" + x + "\na.ide\t" + x + "\n",
         "a.ide: differs from A.IDE only in letter case"},
        {"a missing file", "gone.txt\n", "gone.txt: No such file or directory"},
        {"a name longer than a name holds", std::string(521, 'n') + "\t" + x + "\n", "longer than 520 bytes"},
        {"an absolute file without a name", x + "\n", "line 1: give this file its name"},
        {"a file outside the list's folder without a name", "../x\n", "line 1: give this file its name"},
        {"an empty name", "\t" + x + "\n", "an entry has an empty name"},
    };
    const fs::path output = folder / "cidsync.upd";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(folder / "list/files.txt", c.list);
        const Ran ran =
            RunTool("IH_CATALOGUE_TOOL", {"build", output.string(), "--list", (folder / "list/files.txt").string()});
        EXPECT_EQ(ran.status, 1);
        EXPECT_NE(ran.err.find(c.complaint), std::string::npos) << ran.err;
        EXPECT_NE(ran.err.find("nothing written"), std::string::npos) << ran.err;
        EXPECT_FALSE(fs::exists(output));
    }
    const Ran noFolder = RunTool("IH_CATALOGUE_TOOL", {"build", output.string(), (folder / "none").string()});
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_NE(noFolder.err.find("none: not a folder"), std::string::npos) << noFolder.err;
    EXPECT_EQ(RunTool("IH_CATALOGUE_TOOL", {"build", output.string()}).status, 2) << "usage";
    EXPECT_FALSE(fs::exists(output));
}

TEST(CatalogueTool, DumpsTheEntriesAsTheLibraryReadsThem) {
    const TempFolder folder;
    WriteFile(folder / "cidsync.upd", CatalogueBuilder({"Kestro"})
                                          .Entry("QMX.exe", 10, 7)
                                          .Entry("X.VDB", 1)
                                          .Entry("bad\x01name", 2)
                                          .Entry("x.vdb", 0xFFFFFFFF)
                                          .Bytes());
    // The later x.vdb replaces X.VDB at the end of the list, as in the library.
    const std::string expected = "origin      stamp       extra       name\n"
                                 "name-block  0x00000000  0x00000000  Kestro\n"
                                 "record      0x0000000A  0x00000007  QMX.exe\n"
                                 "record      0x00000002  0x00000000  bad\\x01name\n"
                                 "record      0xFFFFFFFF  0x00000000  x.vdb\n";
    for (const fs::path& argument : {folder / "cidsync.upd", folder.Path()}) {
        const Ran ran = RunTool("IH_CATALOGUE_TOOL", {"dump", argument.string()});
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ran.out, expected) << argument;
    }
    EXPECT_EQ(Lines(expected).size() - 1, ParsedByTheLibrary(folder / "cidsync.upd").size());

    struct Case {
        const char* what;
        std::string bytes;
        std::string complaint;
    } const cases[] = {
        {"header length 85", CatalogueBuilder({}, 85).Entry("QMX.exe", 1).Bytes(),
         "is not a catalogue the library reads (0x80004005)"},
        {"no terminating zero length", CatalogueBuilder().Entry("QMX.exe", 1).Unterminated(),
         "is not a catalogue the library reads (0x80004005)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(folder / "bad.upd", c.bytes);
        const Ran ran = RunTool("IH_CATALOGUE_TOOL", {"dump", (folder / "bad.upd").string()});
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.err, "ih-catalogue: " + (folder / "bad.upd").string() + ": " + c.complaint + "\n");
    }
    const Ran missing = RunTool("IH_CATALOGUE_TOOL", {"dump", (folder / "none.upd").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.upd: cannot be opened (0x80070006)"), std::string::npos) << missing.err;
}

Ran Compare(const TempFolder& folder, const CatalogueBuilder& installed, const CatalogueBuilder& update) {
    WriteFile(folder / "installed/cidsync.upd", installed.Bytes());
    WriteFile(folder / "update/cidsync.upd", update.Bytes());
    return RunTool("IH_CATALOGUE_TOOL",
                   {"compare", (folder / "installed").string(), (folder / "update/cidsync.upd").string()});
}

TEST(CatalogueTool, CompareListsEachDifferenceAndWhy) {
    const TempFolder folder;
    const Ran ran = Compare(folder,
                            CatalogueBuilder({"Kestro"})
                                .Entry("QMXI.dll", 13)
                                .Entry("Drivers\\QMXONACCESSCONTROL.SYS", 11)
                                .Entry("a.ide", 4)
                                .Entry("QMX.exe", 10)
                                .Entry("Gone.exe", 3),
                            CatalogueBuilder({"Kestro"})
                                .Entry("QMXI.dll", 14)
                                .Entry("Drivers\\QMXONACCESSCONTROL.SYS", 12)
                                .Entry("A.IDE", 4)
                                .Entry("QMX.exe", 10)
                                .Entry("QMXONACCESSFILTER.SYS", 1)
                                .Entry("Unstamped.exe", 0));
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "change   installed   update      why                         name\n"
                       "changed  0x0000000D  0x0000000E  engine file                 QMXI.dll\n"
                       "changed  0x0000000B  0x0000000C  not an engine file, driver  Drivers\\QMXONACCESSCONTROL.SYS\n"
                       "added    -           0x00000004  engine file                 A.IDE\n"
                       "added    -           0x00000001  not an engine file, driver  QMXONACCESSFILTER.SYS\n"
                       "ignored  -           0x00000000  stamp 0, not compared       Unstamped.exe\n"
                       "removed  0x00000004  -           not compared                a.ide\n"
                       "removed  0x00000003  -           not compared                Gone.exe\n"
                       "QMXIONLY not set: not engine files: Drivers\\QMXONACCESSCONTROL.SYS, QMXONACCESSFILTER.SYS\n"
                       "UPDATEDRIVERS not set: driver files changed: Drivers\\QMXONACCESSCONTROL.SYS\n");
}

TEST(CatalogueTool, CompareVerdictIsTheLibrarysDecision) {
    const auto installed = [] {
        return std::move(CatalogueBuilder({"Kestro"})
                             .Entry("QMX.exe", 10)
                             .Entry("Drivers\\QMXONACCESSCONTROL.SYS", 11)
                             .Entry("QMXI.dll", 13)
                             .Entry("daily.vdb", 14));
    };
    CatalogueBuilder manyPrograms = installed();
    for (int i = 0; i < 7; ++i) manyPrograms.Entry("tool" + std::to_string(i) + ".exe", 1);
    struct Case {
        const char* what;
        CatalogueBuilder installed, update;
        std::string engineOnly, updateDrivers; // the two verdict lines
    } const cases[] = {
        {"engine library and data", installed(),
         installed().Entry("QMXI.dll", 20).Entry("daily.vdb", 21).Entry("new.vdb", 1),
         "QMXIONLY = \"1\": every added or changed entry is an engine file (3 of them)",
         "UPDATEDRIVERS = \"0\": no driver file changed"},
        {"empty update", installed(), CatalogueBuilder(),
         "QMXIONLY = \"1\": every added or changed entry is an engine file (0 of them)",
         "UPDATEDRIVERS = \"0\": no driver file changed"},
        {"a new driver file is no driver change", installed(), installed().Entry("QMXONACCESSFILTER.SYS", 1),
         "QMXIONLY not set: not engine files: QMXONACCESSFILTER.SYS",
         "UPDATEDRIVERS = \"0\": no driver file changed (added ones do not count: QMXONACCESSFILTER.SYS)"},
        {"a driver changed, named in lower case", CatalogueBuilder().Entry("c:\\drivers\\qmxonaccesscontrol.sys", 1),
         CatalogueBuilder().Entry("c:\\drivers\\qmxonaccesscontrol.sys", 2),
         "QMXIONLY not set: not engine files: c:\\drivers\\qmxonaccesscontrol.sys",
         "UPDATEDRIVERS not set: driver files changed: c:\\drivers\\qmxonaccesscontrol.sys"},
        {"many programs", installed(), manyPrograms,
         "QMXIONLY not set: not engine files: tool0.exe, tool1.exe, tool2.exe, tool3.exe, tool4.exe and 2 more",
         "UPDATEDRIVERS = \"0\": no driver file changed"},
    };
    const TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Ran ran = Compare(folder, c.installed, c.update);
        EXPECT_EQ(ran.status, 0) << ran.err;
        const std::vector<std::string> lines = Lines(ran.out);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], c.engineOnly);
        EXPECT_EQ(lines.back(), c.updateDrivers);

        // The same pair through the library's parser and comparison.
        CatalogueList a, b;
        const std::string installedBytes = c.installed.Bytes(), updateBytes = c.update.Bytes();
        MemoryCatalogueSource installedSource(installedBytes), updateSource(updateBytes);
        ASSERT_EQ(ParseCatalogueFrom(installedSource, a), kCatalogueRead);
        ASSERT_EQ(ParseCatalogueFrom(updateSource, b), kCatalogueRead);
        bool driversChanged = false;
        const bool engineOnly = CompareCatalogues(a, b, kControlDriverName, kFilterDriverName, driversChanged,
                                                  [](unsigned char) { return false; });
        EXPECT_EQ(c.engineOnly.starts_with("QMXIONLY = \"1\""), engineOnly);
        EXPECT_EQ(c.updateDrivers.starts_with("UPDATEDRIVERS = \"0\""), !driversChanged);
    }
}

TEST(CatalogueTool, CompareWithoutAReadableCatalogueIsAFullUpdate) {
    const TempFolder folder;
    const std::string good = CatalogueBuilder().Entry("QMX.exe", 1).Bytes();
    const std::string bad = CatalogueBuilder({}, 83).Bytes();
    struct Case {
        const char* what;
        const char* installed; // null: no file
        const char* update;
        std::string firstLine;
    } const cases[] = {
        {"no installed catalogue", nullptr, "good",
         "installed catalogue " + (folder / "installed/cidsync.upd").string() +
             ": No catalog file was found - doing a full update"},
        {"no installed catalogue: the update's is not read", nullptr, "bad",
         "installed catalogue " + (folder / "installed/cidsync.upd").string() +
             ": No catalog file was found - doing a full update"},
        {"malformed installed catalogue", "bad", "good",
         "installed catalogue " + (folder / "installed/cidsync.upd").string() +
             ": Error parsing catalogue file - doing a full update"},
        {"no update catalogue", "good", nullptr,
         "update catalogue " + (folder / "update/cidsync.upd").string() +
             ": No catalog file was found - doing a full update"},
        {"malformed update catalogue", "good", "bad",
         "update catalogue " + (folder / "update/cidsync.upd").string() +
             ": Error parsing catalogue file - doing a full update"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder / "installed");
        fs::remove_all(folder / "update");
        fs::create_directories(folder / "installed");
        fs::create_directories(folder / "update");
        const auto place = [&](const char* which, const char* role) {
            if (which) WriteFile(folder / role / "cidsync.upd", std::string_view(which) == "good" ? good : bad);
        };
        place(c.installed, "installed");
        place(c.update, "update");
        const Ran ran =
            RunTool("IH_CATALOGUE_TOOL", {"compare", (folder / "installed").string(), (folder / "update").string()});
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ran.out, c.firstLine + "\nQMXIONLY not set: full update\nUPDATEDRIVERS not set: full update\n");
    }
}

TEST(ChecksumTool, PrintsTheLibrarysFileChecksumOfEachFile) {
    const TempFolder folder;
    std::string large;
    for (int i = 0; i < 3 * 8192 + 5; ++i) large.push_back(static_cast<char>(i * 7 + (i >> 9)));
    struct File {
        const char* name;
        std::string content;
    } const files[] = {
        {"empty.cmd", ""}, {"fox.txt", std::string(kFox)}, {"nine.bat", "abcdefghi"}, {"large.exe", large}};
    std::vector<std::string> arguments;
    for (const File& file : files) {
        WriteFile(folder / file.name, file.content);
        arguments.push_back((folder / file.name).string());
    }
    // A file that cannot be read is reported; the others are still printed.
    arguments.insert(arguments.begin() + 2, (folder / "missing.bat").string());

    const Ran ran = RunTool("IH_CHECKSUM_TOOL", arguments);
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "ih-checksum: " + arguments[2] + ": No such file or directory\n");
    const std::vector<std::string> lines = Lines(ran.out);
    ASSERT_EQ(lines.size(), std::size(files));
    for (std::size_t i = 0; i < std::size(files); ++i) {
        char expected[11];
        std::snprintf(expected, sizeof expected, "0x%08X", LibraryChecksum(files[i].content));
        EXPECT_EQ(lines[i], std::string(expected) + "  " + (folder / files[i].name).string());
    }
    EXPECT_EQ(lines[0].substr(0, 10), "0x00000000") << "an empty file";
    EXPECT_EQ(lines[1].substr(0, 10), "0xE02A2972") << "the library's known answer";

    EXPECT_EQ(RunTool("IH_CHECKSUM_TOOL", {}).status, 2) << "usage";
    const Ran folderGiven = RunTool("IH_CHECKSUM_TOOL", {folder.Path().string()});
    EXPECT_EQ(folderGiven.status, 1);
    EXPECT_EQ(folderGiven.out, "");
}

} // namespace
