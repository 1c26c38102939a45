// Every sample word of every format the reader decodes, through the decoding
// and encoding the writer uses, against the rule of which words may be copied
// as they are. This is the proof behind copying samples without converting
// them: for every word the rule lets through, the long way gives back the word
// itself, in both byte orders of the input, on the block paths and on the
// word-by-word paths of the codec; the copy refuses a run exactly when it
// holds a word the rule refuses; and the long way applied to its own output
// changes nothing, so a later pass may copy what an earlier one encoded.
//
// The counts of refused words, of refused words that would in fact survive,
// and of words that really change, class by class, are worked by hand from the
// IBM and IEEE layouts (see the table at the end).
//
// About a minute of two cores for the 32-bit formats: registered under its own
// ctest label and configuration, outside the everyday suite.
#include "segy/format/sample_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tessara
{
namespace
{

// Whole-block calls: a multiple of the codec's 64-word blocks, so that every
// word goes through the block paths.
constexpr std::int64_t kChunk = 1 << 14;
// Word-by-word calls: counts below one block, none of them a divisor of the
// chunk, so that the runs start at every offset of a block.
constexpr std::array<std::int64_t, 6> kShortCounts = {63, 1, 37, 62, 5, 50};
constexpr int kThreads = 2;
constexpr std::size_t kMaxFaults = 8;

// The classes a refused word falls in; each format names its own.
constexpr int kMaxClasses = 5;
struct FormatSweep {
    int code;
    const char* name;
    int (*classify)(std::uint32_t word);
    std::array<const char*, kMaxClasses> classNames;
    // Hand-worked: refused words per class, and of them those that survive.
    std::array<std::uint64_t, kMaxClasses> refused;
    std::array<std::uint64_t, kMaxClasses> surviving;
};
std::ostream& operator<<(std::ostream& os, const FormatSweep& f)
{
    return os << f.name;
}

struct Tally {
    std::array<std::uint64_t, kMaxClasses> refused{};
    std::array<std::uint64_t, kMaxClasses> surviving{};
    std::uint64_t words = 0;
    std::uint64_t outputsRefused = 0; // refused words whose encoding is refused too
    std::uint64_t runsCopied = 0;
    std::uint64_t runsRefused = 0;
    std::vector<std::string> faults;

    void Fault(const std::string& what)
    {
        if (faults.size() < kMaxFaults)
            faults.push_back(what);
    }
    void Add(const Tally& t)
    {
        for (int k = 0; k < kMaxClasses; ++k) {
            refused[static_cast<std::size_t>(k)] += t.refused[static_cast<std::size_t>(k)];
            surviving[static_cast<std::size_t>(k)] += t.surviving[static_cast<std::size_t>(k)];
        }
        words += t.words;
        outputsRefused += t.outputsRefused;
        runsCopied += t.runsCopied;
        runsRefused += t.runsRefused;
        for (const std::string& f : t.faults)
            Fault(f);
    }
};

std::string Hex(std::uint32_t w)
{
    std::ostringstream os;
    os << "0x" << std::hex << std::uppercase << w;
    return os.str();
}

constexpr bool kHostLittleEndian = std::endian::native == std::endian::little;

std::uint32_t LoadBigEndian(const unsigned char* p, int width)
{
    if (width == 4) {
        std::uint32_t w;
        std::memcpy(&w, p, 4);
        return kHostLittleEndian ? __builtin_bswap32(w) : w;
    }
    return width == 2 ? (std::uint32_t{p[0]} << 8) | p[1] : p[0];
}

// One thread's buffers for a chunk of consecutive words.
struct ChunkBuffers {
    std::vector<unsigned char> host, reversed, reference, other, copy;
    std::vector<double> values;
    std::vector<std::uint32_t> refusedBefore; // refused words before each index
    explicit ChunkBuffers(int width)
        : host(static_cast<std::size_t>(kChunk * width)), reversed(host.size()),
          reference(host.size()), other(host.size()), copy(host.size()),
          values(static_cast<std::size_t>(kChunk)),
          refusedBefore(static_cast<std::size_t>(kChunk + 1))
    {
    }
};

// The long way, in calls of `count` samples (0: the whole run in one call).
void RoundTrip(int code,
               const unsigned char* raw,
               std::int64_t n,
               bool swapBytes,
               std::int64_t count,
               ChunkBuffers& b,
               unsigned char* out)
{
    const int width = ReaderBytesPerSample(code);
    std::size_t next = 0;
    for (std::int64_t at = 0; at < n;) {
        std::int64_t m = count;
        if (m == 0) {
            m = n;
        } else if (m < 0) {
            m = kShortCounts[next];
            next = (next + 1) % kShortCounts.size();
        }
        m = std::min(m, n - at);
        if (!DecodeSamples(code, raw + at * width, m, swapBytes, b.values.data()))
            return;
        EncodeSamplesBigEndian(code, b.values.data(), m, out + at * width);
        at += m;
    }
}

// The copy in calls of whole chunks (`shortRuns` false) or of short runs,
// checked run by run against the rule and the long way.
void CheckCopies(int code,
                 const unsigned char* raw,
                 std::int64_t n,
                 bool swapBytes,
                 bool shortRuns,
                 std::uint32_t base,
                 ChunkBuffers& b,
                 Tally& t)
{
    const int width = ReaderBytesPerSample(code);
    std::size_t next = 0;
    for (std::int64_t at = 0; at < n;) {
        std::int64_t m = n;
        if (shortRuns) {
            m = std::min(kShortCounts[next], n - at);
            next = (next + 1) % kShortCounts.size();
        }
        const bool allPass = b.refusedBefore[static_cast<std::size_t>(at + m)] ==
                             b.refusedBefore[static_cast<std::size_t>(at)];
        const bool copied =
            PassSamplesThrough(code, raw + at * width, m, swapBytes, b.copy.data() + at * width);
        if (copied != allPass) {
            t.Fault(std::string(copied ? "copied" : "refused") + " the run of " +
                    std::to_string(m) + " words from " +
                    Hex(base + static_cast<std::uint32_t>(at)) +
                    (swapBytes ? " (reversed)" : " (host order)"));
        } else if (copied && std::memcmp(b.copy.data() + at * width,
                                         b.reference.data() + at * width,
                                         static_cast<std::size_t>(m * width)) != 0) {
            t.Fault("copy differs from the long way in the run from " +
                    Hex(base + static_cast<std::uint32_t>(at)));
        }
        ++(copied ? t.runsCopied : t.runsRefused);
        at += m;
    }
}

// The file bytes of `n` consecutive words from `base`: in host order (read
// without reversal) and reversed (read with it).
template <typename Word> void FillWords(std::uint32_t base, std::int64_t n, ChunkBuffers& b)
{
    constexpr auto size = static_cast<std::int64_t>(sizeof(Word));
    unsigned char* const host = b.host.data();
    unsigned char* const reversed = b.reversed.data();
    for (std::int64_t i = 0; i < n; ++i) {
        const auto w = static_cast<Word>(base + static_cast<std::uint32_t>(i));
        std::memcpy(host + i * size, &w, sizeof w);
    }
    for (std::int64_t i = 0; i < n; ++i) {
        auto r = static_cast<Word>(base + static_cast<std::uint32_t>(i));
        if constexpr (sizeof(Word) == 4)
            r = __builtin_bswap32(r);
        else if constexpr (sizeof(Word) == 2)
            r = __builtin_bswap16(r);
        std::memcpy(reversed + i * size, &r, sizeof r);
    }
}

// Reads `raw` the long way into b.other and reports where it first differs
// from b.reference.
void ExpectSameAsReference(int code,
                           const unsigned char* raw,
                           std::int64_t n,
                           bool swapBytes,
                           std::int64_t count,
                           std::uint32_t base,
                           const char* what,
                           ChunkBuffers& b,
                           Tally& t)
{
    const int width = ReaderBytesPerSample(code);
    RoundTrip(code, raw, n, swapBytes, count, b, b.other.data());
    if (std::memcmp(b.other.data(), b.reference.data(), static_cast<std::size_t>(n * width)) == 0)
        return;
    std::int64_t i = 0;
    while (std::memcmp(b.other.data() + i * width,
                       b.reference.data() + i * width,
                       static_cast<std::size_t>(width)) == 0)
        ++i;
    t.Fault(std::string(what) + " differs at " + Hex(base + static_cast<std::uint32_t>(i)));
}

// A word the rule refuses, or one that changes the long way.
[[gnu::noinline]] void
CheckUnusualWord(const FormatSweep& f, std::uint32_t w, std::uint32_t back, bool passes, Tally& t)
{
    if (passes) {
        t.Fault("the rule passes " + Hex(w) + " but it comes back as " + Hex(back));
        return;
    }
    const auto k = static_cast<std::size_t>(f.classify(w));
    ++t.refused[k];
    if (back == w)
        ++t.surviving[k];
    else if (!SamplePassesThrough(f.code, back))
        ++t.outputsRefused;
}

// Every word of the chunk against the rule and what the long way gave back;
// fills b.refusedBefore and returns how many words changed.
template <int width>
std::uint64_t
CheckWordsOf(const FormatSweep& f, std::uint32_t base, std::int64_t n, ChunkBuffers& b, Tally& t)
{
    const unsigned char* const reference = b.reference.data();
    std::uint32_t* const refusedBefore = b.refusedBefore.data();
    std::uint32_t refused = 0;
    std::uint64_t changed = 0;
    refusedBefore[0] = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const std::uint32_t w = base + static_cast<std::uint32_t>(i);
        const std::uint32_t back = LoadBigEndian(reference + i * width, width);
        const bool passes = SamplePassesThrough(f.code, w);
        refused += passes ? 0 : 1;
        refusedBefore[i + 1] = refused;
        changed += back != w ? 1 : 0;
        if (!passes || back != w)
            CheckUnusualWord(f, w, back, passes, t);
    }
    return changed;
}

std::uint64_t
CheckWords(const FormatSweep& f, std::uint32_t base, std::int64_t n, ChunkBuffers& b, Tally& t)
{
    switch (ReaderBytesPerSample(f.code)) {
    case 4:
        return CheckWordsOf<4>(f, base, n, b, t);
    case 2:
        return CheckWordsOf<2>(f, base, n, b, t);
    default:
        return CheckWordsOf<1>(f, base, n, b, t);
    }
}

void SweepChunk(
    const FormatSweep& f, std::uint64_t index, std::int64_t n, ChunkBuffers& b, Tally& t)
{
    const int code = f.code;
    const int width = ReaderBytesPerSample(code);
    const auto base = static_cast<std::uint32_t>(index * static_cast<std::uint64_t>(n));
    if (width == 4)
        FillWords<std::uint32_t>(base, n, b);
    else if (width == 2)
        FillWords<std::uint16_t>(base, n, b);
    else
        FillWords<std::uint8_t>(base, n, b);

    // Every word is read once in whole blocks and once word by word, in
    // opposite byte orders that alternate from chunk to chunk; both reads
    // must write the same bytes.
    const bool blocksReversed = index % 2 == 1;
    const unsigned char* blockRaw = blocksReversed ? b.reversed.data() : b.host.data();
    const unsigned char* wordRaw = blocksReversed ? b.host.data() : b.reversed.data();
    RoundTrip(code, blockRaw, n, blocksReversed, 0, b, b.reference.data());
    ExpectSameAsReference(code, wordRaw, n, !blocksReversed, -1, base, "word by word", b, t);

    const std::uint64_t changed = CheckWords(f, base, n, b, t);
    t.words += static_cast<std::uint64_t>(n);

    // The long way applied to its own big-endian output changes nothing more
    // (trivially so where it gave back every word unchanged).
    if (changed != 0)
        ExpectSameAsReference(
            code, b.reference.data(), n, kHostLittleEndian, 0, base, "applied twice", b, t);

    CheckCopies(code, blockRaw, n, blocksReversed, false, base, b, t);
    CheckCopies(code, wordRaw, n, !blocksReversed, true, base, b, t);
}

Tally Sweep(const FormatSweep& f)
{
    const int width = ReaderBytesPerSample(f.code);
    const std::uint64_t total = std::uint64_t{1} << (8 * width);
    const std::uint64_t chunk = std::min<std::uint64_t>(total, kChunk);
    const std::uint64_t chunks = total / chunk;
    std::array<Tally, kThreads> tallies;
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k) {
        threads.emplace_back([&, k] {
            ChunkBuffers buffers(width);
            // Interleaved, so that both threads meet every kind of word.
            for (std::uint64_t c = static_cast<std::uint64_t>(k); c < chunks; c += kThreads)
                SweepChunk(f,
                           c,
                           static_cast<std::int64_t>(chunk),
                           buffers,
                           tallies[static_cast<std::size_t>(k)]);
        });
    }
    for (std::thread& th : threads)
        th.join();
    Tally all;
    for (const Tally& t : tallies)
        all.Add(t);
    return all;
}

class EveryWord : public ::testing::TestWithParam<FormatSweep>
{
};

TEST_P(EveryWord, PassesThroughExactlyWhereTheRuleSays)
{
    const FormatSweep& f = GetParam();
    const auto start = std::chrono::steady_clock::now();
    const Tally t = Sweep(f);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::uint64_t refused = 0;
    std::uint64_t surviving = 0;
    std::cout << f.name << ": " << t.words << " words in " << seconds << " s; " << t.runsCopied
              << " runs copied, " << t.runsRefused << " refused; " << t.outputsRefused
              << " refused words encode to a word the rule refuses\n";
    for (std::size_t k = 0; k < kMaxClasses && f.classNames[k] != nullptr; ++k) {
        std::cout << "  refused, " << f.classNames[k] << ": " << t.refused[k] << ", of which "
                  << t.surviving[k] << " survive\n";
        refused += t.refused[k];
        surviving += t.surviving[k];
    }
    std::cout << "  refused in all: " << refused << ", of which " << surviving << " survive\n";

    EXPECT_EQ(t.words, std::uint64_t{1} << (8 * ReaderBytesPerSample(f.code)));
    for (const std::string& fault : t.faults)
        ADD_FAILURE() << fault;
    for (std::size_t k = 0; k < kMaxClasses; ++k) {
        const char* name = f.classNames[k] != nullptr ? f.classNames[k] : "unclassified";
        EXPECT_EQ(t.refused[k], f.refused[k]) << name;
        EXPECT_EQ(t.surviving[k], f.surviving[k]) << name;
    }
}

// IBM words: sign, 7-bit exponent byte e (value 16^(e - 64)), 24-bit fraction.
int IbmClass(std::uint32_t w)
{
    const std::uint32_t e = (w >> 24) & 0x7Fu;
    const std::uint32_t fraction = w & 0x00FFFFFFu;
    if (fraction == 0)
        return 0;
    if (fraction < 0x00100000u)
        return 1;
    if (e >= 97)
        return 2;
    if (e <= 33)
        return 3;
    return 4;
}

int IeeeClass(std::uint32_t w)
{
    const bool nan = (w & 0x7F800000u) == 0x7F800000u && (w & 0x007FFFFFu) != 0;
    return nan && (w & 0x00400000u) == 0 ? 0 : 1;
}

int NoClass(std::uint32_t)
{
    return 0;
}

// Hand-worked counts. Per sign, there are 2^20 - 1 fractions with a zero
// leading hex digit and 15 x 2^20 normalised ones.
//
// IBM. Refused:
//   zero fraction, exponent byte not 0: 2 x 127; decodes to zero.
//   not normalised: 2 x 128 x (2^20 - 1); comes back normalised.
//   exponent byte 97 and up (2^128 and beyond): 2 x 31 x 15 x 2^20; clamped.
//   exponent byte 33 and down: 2 x 34 x 15 x 2^20. The value F x 2^(4e - 280)
//     (F the 24-bit fraction) survives when it is a multiple of the smallest
//     denormal single, 2^-149, i.e. F a multiple of 2^(131 - 4e): all of byte
//     33 (2 x 15 x 2^20 = 31457280) and, per sign, 15 x 2^17 + 15 x 2^13 +
//     15 x 2^9 + 15 x 2^5 + 15 x 2 + 1 (the fraction 0x800000 at byte 27)
//     = 2097151 of bytes 32 to 27.
// IEEE. Refused: signalling NaNs, 2 x (2^22 - 1), which come back quiet.
const FormatSweep kFormats[] = {
    {1,
     "IBM",
     IbmClass,
     {"zero fraction with an exponent",
      "not normalised",
      "beyond the single range",
      "below the normal single range",
      "other"},
     {254, 268435200, 975175680, 1069547520, 0},
     {0, 0, 0, 31457280 + 2 * 2097151, 0}},
    {5, "IEEE", IeeeClass, {"signalling NaN", "other"}, {8388606, 0}, {0, 0}},
    {2, "int32", NoClass, {"any"}, {0}, {0}},
    {3, "int16", NoClass, {"any"}, {0}, {0}},
    {8, "int8", NoClass, {"any"}, {0}, {0}},
};

INSTANTIATE_TEST_SUITE_P(Formats,
                         EveryWord,
                         ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<FormatSweep>& p) {
                             return std::string(p.param.name);
                         });

} // namespace
} // namespace tessara
