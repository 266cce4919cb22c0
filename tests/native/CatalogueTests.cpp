#include "CatalogueBuilder.h"
#include "ParsedCatalogue.h"
#include "update/Catalogue.h"
#include "update/MultibyteText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace ih::update;
using ih::test::CatalogueBuilder;

bool SingleByte(unsigned char) { return false; }

// Shift-JIS (code page 932): lead bytes 0x81-0x9F and 0xE0-0xFC; trail bytes
// include ASCII letters, so byte-wise upper-casing would change a character.
bool ShiftJisLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

using Item = ih::test::ParsedItem;
using Parsed = ih::test::ParsedCatalogue;

Parsed Parse(std::string_view bytes) { return ih::test::ParseCatalogueBytes(bytes); }

TEST(CatalogueParse, ReadsNameBlockThenRecordsInOrder) {
    const std::string bytes = CatalogueBuilder({"first", "", "SECOND"})
                                  .Entry("Program Files\\QMXI.dll", 7, 100)
                                  .Entry(std::string(520, 'n'), 0xFFFFFFFF, 1)
                                  .Bytes() +
                              "anything after the end is never read";
    const Parsed parsed = Parse(bytes);
    EXPECT_EQ(parsed.result, kCatalogueRead);
    EXPECT_EQ(parsed.items, (std::vector<Item>{{1, "first", 0, 0},
                                               {1, "", 0, 0},
                                               {1, "SECOND", 0, 0},
                                               {0, "Program Files\\QMXI.dll", 100, 7},
                                               {0, std::string(520, 'n'), 1, 0xFFFFFFFF}}));
    EXPECT_EQ(Parse(CatalogueBuilder().Bytes()).items.size(), 0u) << "empty name block and one zero length";
    EXPECT_EQ(Parse(CatalogueBuilder().Bytes()).result, kCatalogueRead);
}

TEST(CatalogueParse, NameEndsAtItsFirstZeroByte) {
    const std::string name = std::string("A.VDB") + '\0' + "padding";
    const Parsed parsed = Parse(CatalogueBuilder().Value(8 + 13).Value(2).Value(3).Raw(name + '\0').Bytes());
    EXPECT_EQ(parsed.result, kCatalogueRead);
    EXPECT_EQ(parsed.items, (std::vector<Item>{{0, "A.VDB", 2, 3}}));
}

TEST(CatalogueParse, LaterNameReplacesAnEarlierOneDifferingInCase) {
    const Parsed parsed = Parse(CatalogueBuilder({"x.vdb", "Other"})
                                    .Entry("X.VDB", 1)
                                    .Entry("A", 2)
                                    .Entry("x.vdb", 3)
                                    .Entry("other", 4)
                                    .Bytes());
    EXPECT_EQ(parsed.result, kCatalogueRead);
    EXPECT_EQ(parsed.items, (std::vector<Item>{{0, "A", 0, 2}, {0, "x.vdb", 0, 3}, {0, "other", 0, 4}}));
}

TEST(CatalogueList, KeepsOrderAndUniquenessAcrossManyReplacements) {
    CatalogueList list;
    const auto name = [](int i, bool upper) {
        return std::string(upper ? "DATA\\PART" : "data\\part") + std::to_string(i);
    };
    for (int i = 0; i < 10000; ++i) list.Append({0, name(i, false), 0, static_cast<std::uint32_t>(i)});
    for (int i = 0; i < 10000; i += 2) list.Append({0, name(i, true), 1, static_cast<std::uint32_t>(i)});
    EXPECT_EQ(list.size(), 10000u);
    std::vector<std::string> order;
    for (const CatalogueEntry& entry : list) order.push_back(entry.name);
    ASSERT_EQ(order.size(), 10000u);
    EXPECT_EQ(order[0], name(1, false)) << "replaced items leave their place";
    EXPECT_EQ(order[4999], name(9999, false));
    EXPECT_EQ(order[5000], name(0, true)) << "replacements come last, in the order they were added";
    EXPECT_EQ(order[9999], name(9998, true));
    ASSERT_NE(list.FindExact(name(4, true)), nullptr);
    EXPECT_EQ(list.FindExact(name(4, true))->extra, 1u);
    EXPECT_EQ(list.FindExact(name(4, false)), nullptr) << "finding is exact; the replaced spelling is gone";
    EXPECT_EQ(list.FindExact(name(5, true)), nullptr);
    EXPECT_NE(list.FindExact(name(5, false)), nullptr);
    EXPECT_EQ(list.FindExact("data\\part10000"), nullptr);
    list.Clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
    EXPECT_EQ(list.FindExact(name(5, false)), nullptr);
}

TEST(CatalogueParse, MalformedFormsAreRejectedWithAnEmptyList) {
    const std::string good = CatalogueBuilder({"n"}).Entry("QMXI.dll", 1).Bytes();
    std::string byte40 = good;
    byte40[40] = 1;
    struct Case {
        const char* what;
        std::string bytes;
    } const cases[] = {
        {"empty file", ""},
        {"short header", good.substr(0, 83)},
        {"header length 83", CatalogueBuilder({}, 83).Bytes()},
        {"header length 85", CatalogueBuilder({}, 85).Bytes()},
        {"byte 40 not zero", byte40},
        {"ends after the name block", CatalogueBuilder({"a", "b"}).Unterminated()},
        {"name block cut short", CatalogueBuilder({"abcdef"}).Unterminated().substr(0, 88)},
        {"name-block string runs past the block", CatalogueBuilder({}).Raw("abc").Bytes().replace(82, 1, "\x03")},
        {"name-block string longer than 520", CatalogueBuilder({std::string(521, 'b')}).Bytes()},
        {"ends inside the records", good.substr(0, good.size() - 1)},
        {"ends inside a length", good.substr(0, good.size() - 2)},
        {"record cut in its name", CatalogueBuilder().Entry("QMXI.dll", 1).Unterminated().substr(0, 84 + 12 + 3)},
        {"record of length 8: no name", CatalogueBuilder().Value(8).Value(1).Value(2).Bytes()},
        {"record shorter than 8", CatalogueBuilder().Value(4).Value(1).Value(2).Bytes()},
        {"record name part over 521 bytes", CatalogueBuilder().Entry(std::string(521, 'r'), 1).Bytes()},
        {"record name of 521 bytes with no zero",
         CatalogueBuilder().Value(8 + 521).Value(1).Value(2).Raw(std::string(521, 'r')).Bytes()},
        {"record name with no zero", CatalogueBuilder().Value(8 + 3).Value(1).Value(2).Raw("abc").Bytes()},
        {"huge record length", CatalogueBuilder().Value(0xFFFFFFFF).Value(1).Value(2).Raw("abc").Bytes()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Parsed parsed = Parse(c.bytes);
        EXPECT_EQ(parsed.result, kCatalogueMalformed);
        EXPECT_TRUE(parsed.items.empty());
    }
}

// Runs the comparison the way the action does, with an extra shared list of
// unchanged files in both catalogues.
struct Decision {
    bool engineOnly;
    bool driversChanged;
    bool operator==(const Decision&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Decision& d) {
    return out << "{engineOnly " << d.engineOnly << ", driversChanged " << d.driversChanged << "}";
}

Decision Compare(const CatalogueBuilder& installed, const CatalogueBuilder& update,
                 LeadBytePredicate isLead = SingleByte) {
    CatalogueList installedList, updateList;
    const std::string installedBytes = installed.Bytes(), updateBytes = update.Bytes();
    MemoryCatalogueSource a(installedBytes), b(updateBytes);
    EXPECT_EQ(ParseCatalogueFrom(a, installedList), kCatalogueRead);
    EXPECT_EQ(ParseCatalogueFrom(b, updateList), kCatalogueRead);
    bool driversChanged = false;
    const bool engineOnly =
        CompareCatalogues(installedList, updateList, kControlDriverName, kFilterDriverName, driversChanged, isLead);

    // The per-entry report comes from the same pass: asking for it changes
    // nothing, and it accounts for both decisions.
    bool reportedDriversChanged = false;
    std::vector<CatalogueDifference> differences;
    EXPECT_EQ(CompareCatalogues(installedList, updateList, kControlDriverName, kFilterDriverName,
                                reportedDriversChanged, isLead, &differences),
              engineOnly);
    EXPECT_EQ(reportedDriversChanged, driversChanged);
    bool anyNotEngine = false, anyChangedDriver = false;
    for (const CatalogueDifference& d : differences) {
        const bool counts = d.change == CatalogueChange::Added || d.change == CatalogueChange::Changed;
        if (counts && !d.engineFile) anyNotEngine = true;
        if (d.change == CatalogueChange::Changed && d.driverFile) anyChangedDriver = true;
    }
    EXPECT_EQ(anyNotEngine, !engineOnly);
    EXPECT_EQ(anyChangedDriver, driversChanged);
    return {engineOnly, driversChanged};
}

CatalogueBuilder Installed() {
    return std::move(CatalogueBuilder({"Kestro"})
                         .Entry("QMX.exe", 10)
                         .Entry("Drivers\\QMXONACCESSCONTROL.SYS", 11)
                         .Entry("Drivers\\QMXONACCESSFILTER.SYS", 12)
                         .Entry("QMXI.dll", 13)
                         .Entry("A.IDE", 4));
}

TEST(CatalogueCompare, DecidesEngineOnlyAndDriverChanges) {
    struct Case {
        const char* what;
        CatalogueBuilder installed;
        CatalogueBuilder update;
        Decision expected;
    } const cases[] = {
        {"nothing changed", Installed(), Installed(), {true, false}},
        {"empty update", Installed(), CatalogueBuilder(), {true, false}},
        {"engine data stamp changed", Installed(), Installed().Entry("A.IDE", 5), {true, false}},
        {"engine library in any case", Installed(), Installed().Entry("qmxi.DLL", 14), {true, false}},
        {"new engine data files",
         Installed(),
         Installed().Entry("x.vdb", 1).Entry("VDL.DAT", 1).Entry("zorl.dll", 1).Entry("kmtq.DLL", 1),
         {true, false}},
        {"name case differs: a new file, still engine",
         CatalogueBuilder().Entry("a.ide", 4),
         CatalogueBuilder().Entry("A.IDE", 5),
         {true, false}},
        {"program changed", Installed(), Installed().Entry("QMX.exe", 99), {false, false}},
        {"new program file", Installed(), Installed().Entry("New.exe", 1), {false, false}},
        {"control driver changed", Installed(), Installed().Entry("Drivers\\QMXONACCESSCONTROL.SYS", 1), {false, true}},
        {"filter driver changed, lower case path",
         CatalogueBuilder().Entry("c:\\drivers\\qmxonaccessfilter.sys", 1),
         CatalogueBuilder().Entry("c:\\drivers\\qmxonaccessfilter.sys", 2),
         {false, true}},
        {"new driver file never counts as a driver change",
         Installed(),
         Installed().Entry("QMXONACCESSFILTER.SYS", 1),
         {false, false}},
        {"stamp 0 is ignored whatever the name",
         Installed(),
         Installed().Entry("QMX.exe", 0).Entry("Drivers\\QMXONACCESSCONTROL.SYS", 0).Entry("New.exe", 0),
         {true, false}},
        {"name-block items have stamp 0",
         CatalogueBuilder(),
         CatalogueBuilder({"QMX.exe", "QMXONACCESSFILTER.SYS"}),
         {true, false}},
        {"installed files missing from the update play no part",
         Installed().Entry("Gone.exe", 1),
         Installed(),
         {true, false}},
        {"driver and engine changed",
         Installed(),
         Installed().Entry("QMXI.dll", 1).Entry("Drivers\\QMXONACCESSCONTROL.SYS", 1),
         {false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Compare(c.installed, c.update), c.expected);
    }
}

TEST(CatalogueCompare, ReportsEachDifferenceWithItsReason) {
    const std::string installedBytes = CatalogueBuilder({"Kestro"})
                                           .Entry("QMXI.dll", 13)
                                           .Entry("Drivers\\QMXONACCESSCONTROL.SYS", 11)
                                           .Entry("a.ide", 4)
                                           .Entry("QMX.exe", 10)
                                           .Entry("Gone.exe", 3)
                                           .Bytes();
    const std::string updateBytes = CatalogueBuilder({"Kestro"})
                                        .Entry("QMXI.dll", 14)
                                        .Entry("Drivers\\QMXONACCESSCONTROL.SYS", 12)
                                        .Entry("A.IDE", 4)
                                        .Entry("QMX.exe", 10)
                                        .Entry("QMXONACCESSFILTER.SYS", 1)
                                        .Entry("Unstamped.exe", 0)
                                        .Bytes();
    CatalogueList installed, update;
    MemoryCatalogueSource a(installedBytes), b(updateBytes);
    ASSERT_EQ(ParseCatalogueFrom(a, installed), kCatalogueRead);
    ASSERT_EQ(ParseCatalogueFrom(b, update), kCatalogueRead);
    bool driversChanged = false;
    std::vector<CatalogueDifference> differences;
    EXPECT_FALSE(CompareCatalogues(installed, update, kControlDriverName, kFilterDriverName, driversChanged, SingleByte,
                                   &differences));
    EXPECT_TRUE(driversChanged);

    struct Expected {
        CatalogueChange change;
        const char* installedName; // null when there is no installed item
        const char* updateName;    // null when removed
        bool engineFile, driverFile;
    } const expected[] = {
        {CatalogueChange::Changed, "QMXI.dll", "QMXI.dll", true, false},
        {CatalogueChange::Changed, "Drivers\\QMXONACCESSCONTROL.SYS", "Drivers\\QMXONACCESSCONTROL.SYS", false, true},
        {CatalogueChange::Added, nullptr, "A.IDE", true, false}, // letter case counts
        {CatalogueChange::Added, nullptr, "QMXONACCESSFILTER.SYS", false, true},
        {CatalogueChange::Unstamped, nullptr, "Unstamped.exe", false, false},
        {CatalogueChange::Removed, "a.ide", nullptr, false, false},
        {CatalogueChange::Removed, "Gone.exe", nullptr, false, false},
    };
    ASSERT_EQ(differences.size(), std::size(expected)) << "unchanged QMX.exe and the name-block item are not listed";
    for (std::size_t i = 0; i < differences.size(); ++i) {
        SCOPED_TRACE(i);
        const CatalogueDifference& d = differences[i];
        EXPECT_EQ(d.change, expected[i].change);
        if (expected[i].installedName) {
            ASSERT_NE(d.installed, nullptr);
            EXPECT_EQ(d.installed, installed.FindExact(expected[i].installedName)) << "points into the installed list";
        } else {
            EXPECT_EQ(d.installed, nullptr);
        }
        if (expected[i].updateName) {
            ASSERT_NE(d.source, nullptr);
            EXPECT_EQ(d.source, update.FindExact(expected[i].updateName)) << "points into the update's list";
        } else {
            EXPECT_EQ(d.source, nullptr);
        }
        EXPECT_EQ(d.engineFile, expected[i].engineFile);
        EXPECT_EQ(d.driverFile, expected[i].driverFile);
    }
}

TEST(CatalogueCompare, FullUpdateReasonsAreReadCatalogsLogLines) {
    EXPECT_EQ(FullUpdateReason(kCatalogueRead), L"");
    EXPECT_EQ(FullUpdateReason(kCatalogueCannotOpen), L"No catalog file was found - doing a full update");
    for (const std::int32_t code : {kCatalogueMalformed, kCatalogueOutOfMemory, kCatalogueNoPath})
        EXPECT_EQ(FullUpdateReason(code), L"Error parsing catalogue file - doing a full update") << code;
}

TEST(CatalogueCompare, EngineFileMarksInAnyCase) {
    struct Case {
        std::string_view name;
        bool engine;
    } const cases[] = {
        {"QMXI.dll", true},      {"qmxi.DLL", true},
        {"bin\\ZORL.dll", true}, {"KmTq.Dll", true},
        {"VDL.DAT", true},       {"daily.vdb", true},
        {"A.IDE", true},         {"x.ide.bak", true},
        {"QMXI.dl", false},      {"QMX.exe", false},
        {"VDLDAT", false},       {"", false},
        {"ide", false},          {"QMXONACCESSFILTER.SYS", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsEngineFile(c.name, SingleByte), c.engine) << c.name;
}

TEST(MultibyteText, UpperCasingLeavesDoubleByteCharactersAlone) {
    struct Case {
        std::string text, singleByte, shiftJis;
    } const cases[] = {
        {"qmxi.dll", "QMXI.DLL", "QMXI.DLL"},
        // 0x82 0x61 is one character in Shift-JIS; its trail byte is 'a'.
        {"\x82"
         "a.ide",
         "\x82"
         "A.IDE",
         "\x82"
         "a.IDE"},
        {"x\x82", "X\x82", "X\x82"}, // a lead byte at the end stands alone
        {"\xE0"
         "bc",
         "\xE0"
         "BC",
         "\xE0"
         "bC"},
        {"\x82", "\x82", "\x82"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UpperCaseMultibyte(c.text, SingleByte), c.singleByte);
        EXPECT_EQ(UpperCaseMultibyte(c.text, ShiftJisLeadByte), c.shiftJis);
    }
}

TEST(MultibyteText, MatchesStartOnlyAtCharacterBoundaries) {
    // "\x81Q" is one Shift-JIS character: QMXI.DLL after it starts on a trail byte.
    EXPECT_TRUE(ContainsMultibyte("\x81QMXI.DLL", "QMXI.DLL", SingleByte));
    EXPECT_FALSE(ContainsMultibyte("\x81QMXI.DLL", "QMXI.DLL", ShiftJisLeadByte));
    EXPECT_TRUE(ContainsMultibyte("\x81QQMXI.DLL", "QMXI.DLL", ShiftJisLeadByte));
    EXPECT_TRUE(ContainsMultibyte("\x81\x82"
                                  ".VDB",
                                  ".VDB", ShiftJisLeadByte));
    EXPECT_FALSE(ContainsMultibyte(".VD", ".VDB", ShiftJisLeadByte));
    EXPECT_TRUE(ContainsMultibyte("abc", "", ShiftJisLeadByte));

    EXPECT_FALSE(IsEngineFile("\x81qmxi.dll", ShiftJisLeadByte)) << "the q is part of a double-byte character";
    EXPECT_TRUE(IsEngineFile("\x81qmxi.dll", SingleByte));
    EXPECT_TRUE(IsEngineFile("\x93\xFA"
                             "data.vdb",
                             ShiftJisLeadByte));

    // A driver name hidden behind a lead byte is not a driver change in that code page.
    const CatalogueBuilder installed = CatalogueBuilder().Entry("\x81qmxonaccesscontrol.sys", 1);
    const CatalogueBuilder update = CatalogueBuilder().Entry("\x81qmxonaccesscontrol.sys", 2);
    EXPECT_EQ(Compare(installed, update, ShiftJisLeadByte), (Decision{false, false}));
    EXPECT_EQ(Compare(installed, update, SingleByte), (Decision{false, true}))
        << "in a single-byte page the upper-cased name holds the driver name from its second byte";
}

} // namespace
