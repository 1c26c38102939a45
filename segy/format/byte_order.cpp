#include "byte_order.h"

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
    CopyReversed32(bytes, bytes, count);
}

} // namespace tessara
