// Byte reversal of single values and of arrays in place.
#pragma once

#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

/// Copies `count` 32-bit words from `from` to `to`, reversing the bytes of
/// each; the two may be the same buffer, but must not overlap otherwise.
/// Inline so that the whole-trace conversions keep it inside their loops.
inline void CopyReversed32(const void* from, void* to, std::int64_t count)
{
    const auto* src = static_cast<const unsigned char*>(from);
    auto* dst = static_cast<unsigned char*>(to);
    std::int64_t i = 0;
#if defined(__SSE2__)
    // Compilers turn the loop below into one scalar bswap per word unless
    // SSSE3 is on; SSE2 reverses four words at a time: the bytes of each
    // 16-bit half, then the halves.
    const std::int64_t groups = count > 0 ? count / 4 : 0;
    for (std::int64_t g = 0; g < groups; ++g) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16 * g));
        x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
        x = _mm_shufflelo_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
        x = _mm_shufflehi_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16 * g), x);
    }
    i = 4 * groups;
#endif
    for (; i < count; ++i) {
        std::uint32_t v;
        std::memcpy(&v, src + 4 * i, 4);
        v = __builtin_bswap32(v);
        std::memcpy(dst + 4 * i, &v, 4);
    }
}

/// The same for `count` 16-bit words.
inline void CopyReversed16(const void* from, void* to, std::int64_t count)
{
    const auto* src = static_cast<const unsigned char*>(from);
    auto* dst = static_cast<unsigned char*>(to);
    std::int64_t i = 0;
#if defined(__SSE2__)
    const std::int64_t groups = count > 0 ? count / 8 : 0;
    for (std::int64_t g = 0; g < groups; ++g) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16 * g));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16 * g),
                         _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8)));
    }
    i = 8 * groups;
#endif
    for (; i < count; ++i) {
        const unsigned char b0 = src[2 * i];
        const unsigned char b1 = src[2 * i + 1];
        dst[2 * i] = b1;
        dst[2 * i + 1] = b0;
    }
}

} // namespace tessara
