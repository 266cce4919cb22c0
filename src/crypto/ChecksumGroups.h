#pragma once
// The checksum's inner loop, open to the benchmark so that it can measure the
// plain rounds and the per-key tables on the same input in one run.

#include "crypto/KeyedTables.h"
#include "crypto/Kxa.h"

#include <cstdint>

namespace ih::crypto {

// Adds `length` bytes as kxmaa_buffer does; whole groups go through `tables`
// when given, else through the plain rounds.
void AddToChecksum(KxmaaContext& context, const std::uint8_t* data, std::uint32_t length,
                   const KeyedTables* tables) noexcept;

} // namespace ih::crypto
