#include "segy_headers.h"

#include "byte_order.h"

#include <cstring>

namespace tessara
{
namespace
{

// Reverses `count` words of the given type starting at `bytes`. Works through
// memcpy so that it never depends on the alignment of the record.
template <typename Word> void ReverseWords(unsigned char* bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        Word w;
        std::memcpy(&w, bytes + i * sizeof(Word), sizeof(Word));
        w = Swap(w);
        std::memcpy(bytes + i * sizeof(Word), &w, sizeof(Word));
    }
}

} // namespace

void SwapFileHeader(SegyTapeHeaderType& header)
{
    auto* bytes = reinterpret_cast<unsigned char*>(&header);
    ReverseWords<std::uint32_t>(bytes + 3200, 3);
    ReverseWords<std::uint16_t>(bytes + 3212, 194);
}

void SwapHeader(SegyHeaderType& header)
{
    auto* b = reinterpret_cast<unsigned char*>(&header);
    ReverseWords<std::uint32_t>(b + 0, 7);
    ReverseWords<std::uint16_t>(b + 28, 4);
    ReverseWords<std::uint32_t>(b + 36, 8);
    ReverseWords<std::uint16_t>(b + 68, 2);
    ReverseWords<std::uint32_t>(b + 72, 4);
    ReverseWords<std::uint16_t>(b + 88, 46);
    ReverseWords<std::uint16_t>(b + 182, 3);
}

bool IsBigEndianFileHeader(const unsigned char* fileHeader3600)
{
    const auto code = static_cast<std::int16_t>(fileHeader3600[3224] | (fileHeader3600[3225] << 8));
    return !(code >= 1 && code <= 8);
}

} // namespace tessara
