#pragma once
// The error the security descriptor model raises: an HRESULT-form code.
// E_INVALIDARG for a bad argument, the platform's error for a failed call;
// memory exhaustion is std::bad_alloc, as everywhere in the library.

#include <cstdint>
#include <stdexcept>

namespace ih::security {

inline constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057u);    // E_INVALIDARG
inline constexpr std::int32_t kUnspecifiedFailure = static_cast<std::int32_t>(0x80004005u); // E_FAIL

class SecurityError : public std::runtime_error {
public:
    SecurityError(std::int32_t code, const char* what) : std::runtime_error(what), code_(code) {}
    std::int32_t Code() const noexcept { return code_; }

private:
    std::int32_t code_;
};

} // namespace ih::security
