// Byte reversal of single values and of arrays in place.
#pragma once

#include <cstdint>
#include <cstring>

namespace tessara
{

[[nodiscard]] inline std::uint16_t Swap(std::uint16_t v)
{
    return __builtin_bswap16(v);
}
[[nodiscard]] inline std::int16_t Swap(std::int16_t v)
{
    return static_cast<std::int16_t>(__builtin_bswap16(static_cast<std::uint16_t>(v)));
}
[[nodiscard]] inline std::int32_t Swap(std::int32_t v)
{
    return static_cast<std::int32_t>(__builtin_bswap32(static_cast<std::uint32_t>(v)));
}
[[nodiscard]] inline std::uint32_t Swap(std::uint32_t v)
{
    return __builtin_bswap32(v);
}
/// A float is reversed as its 32-bit pattern, never through a numeric conversion,
/// so NaN payloads and denormals survive.
[[nodiscard]] inline float Swap(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    bits = __builtin_bswap32(bits);
    std::memcpy(&v, &bits, 4);
    return v;
}

/// Reverses the bytes of every element in place. A count of 0 or less does nothing.
void SwapN(std::int16_t* array, std::int64_t count);
void SwapN(std::uint16_t* array, std::int64_t count);
void SwapN(std::int32_t* array, std::int64_t count);
void SwapN(std::uint32_t* array, std::int64_t count);
void SwapN(float* array, std::int64_t count);

/// Raw-byte versions for unaligned buffers: `count` 16- or 32-bit words.
void SwapBytes16(void* bytes, std::int64_t count);
void SwapBytes32(void* bytes, std::int64_t count);

} // namespace tessara
