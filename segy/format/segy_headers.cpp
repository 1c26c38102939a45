#include "segy_headers.h"

#include "byte_order.h"

#include <array>
#include <cstring>
#include <span>

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#endif

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

constexpr std::size_t kHeaderBytes = sizeof(SegyHeaderType);
constexpr std::size_t kShuffleBlock = 16; // bytes a byte shuffle reorders at once

// Whether no word of the groups straddles a 16-byte block, so that one byte
// shuffle per block reverses them all.
template <std::size_t N> constexpr bool WordsStayInBlocks(const WordGroup (&groups)[N])
{
    for (const WordGroup& g : groups) {
        for (std::size_t k = 0; k < g.count; ++k) {
            const std::size_t first = g.offset + k * g.width;
            if (first / kShuffleBlock != (first + g.width - 1) / kShuffleBlock)
                return false;
        }
    }
    return true;
}

using HeaderShuffle = std::array<unsigned char, kHeaderBytes>;

// For each byte of a header, the byte of its 16-byte block that lands there
// when the groups are reversed; bytes outside every group take themselves.
template <std::size_t N> constexpr HeaderShuffle ShuffleOf(const WordGroup (&groups)[N])
{
    HeaderShuffle from{};
    for (std::size_t i = 0; i < kHeaderBytes; ++i)
        from[i] = static_cast<unsigned char>(i % kShuffleBlock);
    for (const WordGroup& g : groups) {
        for (std::size_t k = 0; k < g.count; ++k) {
            const std::size_t word = g.offset + k * g.width;
            for (std::size_t j = 0; j < g.width; ++j)
                from[word + j] =
                    static_cast<unsigned char>((word + g.width - 1 - j) % kShuffleBlock);
        }
    }
    return from;
}

static_assert(kHeaderBytes % kShuffleBlock == 0);
static_assert(WordsStayInBlocks(kTraceHeaderGroups) && WordsStayInBlocks(kTailGroups));

alignas(32) constexpr HeaderShuffle kTraceHeaderShuffle = ShuffleOf(kTraceHeaderGroups);
alignas(32) constexpr HeaderShuffle kTailShuffle = ShuffleOf(kTailGroups);

void ReverseGroupsOneByOne(unsigned char* b, std::span<const WordGroup> groups)
{
    for (const WordGroup& g : groups) {
        if (g.width == 4)
            ReverseWords<std::uint32_t>(b + g.offset, g.count);
        else
            ReverseWords<std::uint16_t>(b + g.offset, g.count);
    }
}

// Reverses the groups of a header, given both as groups and as the byte
// shuffle they make. Headers are reversed on every trace read from and
// written to a big-endian file, which on short traces makes this a fair share
// of a job: the AVX2 version does the header in eight shuffles, written out
// since at -O2 (the packaged build) the compiler leaves the word loops scalar.
// An AVX2 shuffle reorders each 16-byte half on its own, so the per-block
// shuffle serves both halves. The baseline keeps the word loops.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target("default"))) void
ReverseGroups(unsigned char* b, std::span<const WordGroup> groups, const HeaderShuffle& /*shuffle*/)
{
    ReverseGroupsOneByOne(b, groups);
}

__attribute__((target("avx2"))) void
ReverseGroups(unsigned char* b, std::span<const WordGroup> /*groups*/, const HeaderShuffle& shuffle)
{
    std::size_t i = 0;
    for (; i + 32 <= kHeaderBytes; i += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        const __m256i order = _mm256_load_si256(reinterpret_cast<const __m256i*>(&shuffle[i]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(b + i), _mm256_shuffle_epi8(x, order));
    }
    for (; i < kHeaderBytes; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i order = _mm_load_si128(reinterpret_cast<const __m128i*>(&shuffle[i]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b + i), _mm_shuffle_epi8(x, order));
    }
}
#else
void ReverseGroups(unsigned char* b, std::span<const WordGroup> groups, const HeaderShuffle&)
{
    ReverseGroupsOneByOne(b, groups);
}
#endif

} // namespace

void SwapHeader(SegyHeaderType& header)
{
    ReverseGroups(
        reinterpret_cast<unsigned char*>(&header), kTraceHeaderGroups, kTraceHeaderShuffle);
}

void SwapHeaderTail(SegyHeaderType& header)
{
    ReverseGroups(reinterpret_cast<unsigned char*>(&header), kTailGroups, kTailShuffle);
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
