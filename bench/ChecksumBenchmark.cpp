// Checksum throughput: the library's kxmaa_buffer against the byte-by-byte
// form written plainly from the description and against zlib's crc32, on the
// same buffer in one run. Besides bytes per second each reports time-stamp
// counter ticks per byte ("tsc/byte"), close to core cycles per byte when the
// core runs at its nominal clock.

#include "crypto/FileChecksum.h"
#include "crypto/Kxa.h"
#include "reference/KxaReference.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
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

// 1 MiB in one call, as a caller of the exported function may give it.
void KxmaaBuffer(benchmark::State& state) {
    MeasureChecksum(state, [](const std::uint8_t* data, std::uint32_t length) {
        KxmaaContext context;
        kxmaa_init(&context, ih::crypto::kFileChecksumKey);
        kxmaa_buffer(&context, data, length);
        return kxmaa_finalise32(&context);
    });
}

// As the file checksum feeds it: 8 KiB per call.
void KxmaaBuffer8KiBCalls(benchmark::State& state) {
    MeasureChecksum(state, [](const std::uint8_t* data, std::uint32_t length) {
        KxmaaContext context;
        kxmaa_init(&context, ih::crypto::kFileChecksumKey);
        for (std::uint32_t offset = 0; offset < length; offset += ih::crypto::kFileChecksumChunk)
            kxmaa_buffer(&context, data + offset, std::min(ih::crypto::kFileChecksumChunk, length - offset));
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
    Measure(state,
            [](const std::uint8_t* data, std::uint32_t length) { return crc32(crc32(0L, Z_NULL, 0), data, length); });
}

} // namespace

BENCHMARK(KxmaaBuffer);
BENCHMARK(KxmaaBuffer8KiBCalls);
BENCHMARK(ByteWiseReference);
BENCHMARK(KxmaaByteAtATime);
BENCHMARK(ZlibCrc32);
