// Checksum throughput: the library's kxmaa_buffer against the byte-by-byte
// form written plainly from the description and against zlib's crc32, on the
// same buffer in one run. Besides bytes per second each reports time-stamp
// counter ticks per byte ("tsc/byte"), close to core cycles per byte when the
// core runs at its nominal clock.

#include "crypto/ChecksumGroups.h"
#include "crypto/FileChecksum.h"
#include "crypto/Kxa.h"
#include "reference/KxaReference.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
static std::uint64_t Ticks() { return __rdtsc(); }
#else
static std::uint64_t Ticks() { return 0; }
#endif

namespace {

const std::vector<std::uint8_t>& Data() {
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> bytes(1 << 20);
        std::mt19937 random(1);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        return bytes;
    }();
    return data;
}

template <typename Body>
void Measure(benchmark::State& state, Body body) {
    const auto& data = Data();
    const std::uint64_t start = Ticks();
    for (auto _ : state) benchmark::DoNotOptimize(body(data.data(), static_cast<std::uint32_t>(data.size())));
    const double bytes = static_cast<double>(state.iterations()) * static_cast<double>(data.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["tsc/byte"] = static_cast<double>(Ticks() - start) / bytes;
}

std::uint32_t ReferenceChecksum(const std::uint8_t* data, std::uint32_t length) {
    ih::reference::Checksum context;
    ih::reference::Init(context, ih::crypto::kFileChecksumKey);
    for (std::uint32_t i = 0; i < length; ++i) ih::reference::AddByte(context, data[i]);
    return ih::reference::Finalise32(context);
}

// A checksum path is timed only once it has given the byte-wise form's value.
template <typename Body>
void MeasureChecksum(benchmark::State& state, Body body) {
    const auto& data = Data();
    const auto length = static_cast<std::uint32_t>(data.size());
    if (body(data.data(), length) != ReferenceChecksum(data.data(), length)) {
        state.SkipWithError("the checksum differs from the byte-wise form's");
        return;
    }
    Measure(state, body);
}

// The per-key tables against the plain rounds on the same input. The file
// checksum feeds 8 KiB per call: with tables built for each call (what a
// threshold at or below 8 KiB would do), and, as the most the tables could
// give that path, built once for the whole file.
enum class Tables { None, EachCall, OncePerFile };

void FileChunks8KiB(benchmark::State& state, Tables tables) {
    MeasureChecksum(state, [tables](const std::uint8_t* data, std::uint32_t length) {
        KxmaaContext context;
        kxmaa_init(&context, ih::crypto::kFileChecksumKey);
        std::optional<ih::crypto::KeyedTables> once;
        if (tables == Tables::OncePerFile) once.emplace(context.cipher);
        for (std::uint32_t offset = 0; offset < length; offset += ih::crypto::kFileChecksumChunk) {
            const std::uint32_t chunk = std::min(ih::crypto::kFileChecksumChunk, length - offset);
            if (tables == Tables::EachCall) {
                const ih::crypto::KeyedTables built(context.cipher);
                ih::crypto::AddToChecksum(context, data + offset, chunk, &built);
            } else {
                ih::crypto::AddToChecksum(context, data + offset, chunk, once ? &*once : nullptr);
            }
        }
        return kxmaa_finalise32(&context);
    });
}

// 1 MiB in one call, as a caller of the exported kxmaa_buffer may give it.
void Buffer1MiB(benchmark::State& state, Tables tables) {
    MeasureChecksum(state, [tables](const std::uint8_t* data, std::uint32_t length) {
        KxmaaContext context;
        kxmaa_init(&context, ih::crypto::kFileChecksumKey);
        std::optional<ih::crypto::KeyedTables> built;
        if (tables != Tables::None) built.emplace(context.cipher);
        ih::crypto::AddToChecksum(context, data, length, built ? &*built : nullptr);
        return kxmaa_finalise32(&context);
    });
}

// The exported function as shipped, which picks its path by length.
void KxmaaBuffer(benchmark::State& state) {
    MeasureChecksum(state, [](const std::uint8_t* data, std::uint32_t length) {
        KxmaaContext context;
        kxmaa_init(&context, ih::crypto::kFileChecksumKey);
        kxmaa_buffer(&context, data, length);
        return kxmaa_finalise32(&context);
    });
}

void ByteWiseReference(benchmark::State& state) { Measure(state, ReferenceChecksum); }

void KxmaaByteAtATime(benchmark::State& state) {
    MeasureChecksum(state, [](const std::uint8_t* data, std::uint32_t length) {
        KxmaaContext context;
        kxmaa_init(&context, ih::crypto::kFileChecksumKey);
        for (std::uint32_t i = 0; i < length; ++i) kxmaa_byte(&context, data[i]);
        return kxmaa_finalise32(&context);
    });
}

void ZlibCrc32(benchmark::State& state) {
    Measure(state, [](const std::uint8_t* data, std::uint32_t length) {
        return crc32(crc32(0L, Z_NULL, 0), data, length);
    });
}

} // namespace

BENCHMARK_CAPTURE(FileChunks8KiB, plain, Tables::None);
BENCHMARK_CAPTURE(FileChunks8KiB, tables_each_call, Tables::EachCall);
BENCHMARK_CAPTURE(FileChunks8KiB, tables_once, Tables::OncePerFile);
BENCHMARK_CAPTURE(Buffer1MiB, plain, Tables::None);
BENCHMARK_CAPTURE(Buffer1MiB, tables, Tables::EachCall);
BENCHMARK(KxmaaBuffer);
BENCHMARK(ByteWiseReference);
BENCHMARK(KxmaaByteAtATime);
BENCHMARK(ZlibCrc32);
