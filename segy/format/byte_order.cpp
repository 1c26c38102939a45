#include "byte_order.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessara
{

void SwapN(std::int16_t* a, std::int64_t count)
{
    SwapBytes16(a, count);
}
void SwapN(std::uint16_t* a, std::int64_t count)
{
    SwapBytes16(a, count);
}
void SwapN(std::int32_t* a, std::int64_t count)
{
    SwapBytes32(a, count);
}
void SwapN(std::uint32_t* a, std::int64_t count)
{
    SwapBytes32(a, count);
}
void SwapN(float* a, std::int64_t count)
{
    SwapBytes32(a, count);
}

void SwapBytes16(void* bytes, std::int64_t count)
{
    auto* p = static_cast<unsigned char*>(bytes);
    for (std::int64_t i = 0; i < count; ++i) {
        std::uint16_t v;
        std::memcpy(&v, p + 2 * i, 2);
        v = __builtin_bswap16(v);
        std::memcpy(p + 2 * i, &v, 2);
    }
}

void SwapBytes32(void* bytes, std::int64_t count)
{
    auto* p = static_cast<unsigned char*>(bytes);
    std::int64_t i = 0;
#if defined(__SSE2__)
    // Compilers turn the loop below into one scalar bswap per word; SSE2
    // reverses four words at a time: the bytes of each 16-bit half, then the
    // halves.
    for (; i + 4 <= count; i += 4) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * i));
        x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
        x = _mm_shufflelo_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
        x = _mm_shufflehi_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * i), x);
    }
#endif
    for (; i < count; ++i) {
        std::uint32_t v;
        std::memcpy(&v, p + 4 * i, 4);
        v = __builtin_bswap32(v);
        std::memcpy(p + 4 * i, &v, 4);
    }
}

} // namespace tessara
