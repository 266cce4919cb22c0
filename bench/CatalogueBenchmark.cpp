// Parsing two generated catalogues and comparing them, for 2 000, 20 000 and
// 200 000 entries: the work must grow linearly with the entry count.

#include "CatalogueBuilder.h"
#include "update/Catalogue.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace ih::update;

bool SingleByte(unsigned char) { return false; }

struct Pair {
    std::string installed, update;
};

// Realistic names; the update changes every 100th stamp, adds one new file
// per 1 000 and repeats a few names in another case (the duplicate check).
Pair Generate(int entries) {
    ih::test::CatalogueBuilder installed({"Kestro", "Kestro Anti-Virus"}), update({"Kestro", "Kestro Anti-Virus"});
    for (int i = 0; i < entries; ++i) {
        const std::string name = "Program Files\\Kestro\\Kestro Anti-Virus\\Data\\signatures\\part" +
                                 std::to_string(i) +
                                 (i % 3 == 0   ? ".vdb"
                                  : i % 3 == 1 ? ".IDE"
                                               : ".exe");
        installed.Entry(name, 1000 + static_cast<std::uint32_t>(i));
        update.Entry(name, 1000 + static_cast<std::uint32_t>(i) + (i % 100 == 0 ? 1 : 0));
        if (i % 1000 == 0) update.Entry(name + ".new", 1);
        if (i % 500 == 0)
            update.Entry(
                "program files\\kestro\\kestro anti-virus\\data\\signatures\\part" + std::to_string(i) + ".VDB", 7);
    }
    return {installed.Bytes(), update.Bytes()};
}

void ParseAndCompare(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    const Pair pair = Generate(entries);
    for (auto _ : state) {
        CatalogueList installed, update;
        MemoryCatalogueSource a(pair.installed), b(pair.update);
        if (ParseCatalogueFrom(a, installed) != kCatalogueRead || ParseCatalogueFrom(b, update) != kCatalogueRead) {
            state.SkipWithError("generated catalogue did not parse");
            break;
        }
        bool driversChanged = false;
        benchmark::DoNotOptimize(
            CompareCatalogues(installed, update, kControlDriverName, kFilterDriverName, driversChanged, SingleByte));
    }
    state.SetComplexityN(entries);
    state.counters["entries"] = entries;
}

} // namespace

BENCHMARK(ParseAndCompare)
    ->Arg(2000)
    ->Arg(20000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
