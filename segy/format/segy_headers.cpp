#include "segy_headers.h"

#include "byte_order.h"

#include <cstring>

namespace tessara
{
namespace
{

// Reverses `count` words of the given type starting at `bytes`. Works through
// memcpy so that it never depends on the alignment of the record.
template <typename Word> void ReverseWords(unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
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

namespace
{

/// `count` words of `width` bytes starting at `offset`, each reversed alone.
struct WordGroup {
    std::size_t offset;
    std::size_t width;
    std::size_t count;
};

// SwapHeader's groups; bytes 180-181 and 188-239 are not among them.
constexpr WordGroup kTraceHeaderGroups[] = {
    {0, 4, 7}, {28, 2, 4}, {36, 4, 8}, {68, 2, 2}, {72, 4, 4}, {88, 2, 46}, {182, 2, 3}};

// The standard's revision-1 fields at 188-239 (see SwapHeaderTail).
constexpr WordGroup kTailGroups[] = {{188, 4, 3},
                                     {200, 2, 2},
                                     {204, 4, 1},
                                     {208, 2, 5},
                                     {218, 4, 1},
                                     {222, 2, 1},
                                     {224, 4, 1},
                                     {228, 2, 2},
                                     {232, 4, 2}};

template <std::size_t N> void ReverseGroups(SegyHeaderType& header, const WordGroup (&groups)[N])
{
    auto* b = reinterpret_cast<unsigned char*>(&header);
    for (const WordGroup& g : groups) {
        if (g.width == 4)
            ReverseWords<std::uint32_t>(b + g.offset, g.count);
        else
            ReverseWords<std::uint16_t>(b + g.offset, g.count);
    }
}

} // namespace

void SwapHeader(SegyHeaderType& header)
{
    ReverseGroups(header, kTraceHeaderGroups);
}

void SwapHeaderTail(SegyHeaderType& header)
{
    ReverseGroups(header, kTailGroups);
}

bool SegyRevisionAtLeast1(const SegyTapeHeaderType& header)
{
    const unsigned major = header.binRevision >> 8;
    return header.binRevision == 1 || header.binRevision == 2 || major == 1 || major == 2;
}

bool IsBigEndianFileHeader(const unsigned char* fileHeader3600)
{
    const auto code = static_cast<std::int16_t>(fileHeader3600[3224] | (fileHeader3600[3225] << 8));
    return !(code >= 1 && code <= 8);
}

} // namespace tessara
