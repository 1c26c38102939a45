// Sample words copied without converting them: hand-picked words of every
// class against the rule and against decoding and encoding. What each word
// becomes the long way is worked by hand from the IBM and IEEE layouts; the
// exhaustive proof over every word is segy_passthrough_sweep.
#include "segy/format/sample_codec.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <vector>

namespace tessara
{
namespace
{

struct PassCase {
    int code;
    std::uint32_t word; // host order; the low 16 or 8 bits for codes 3 and 8
    bool passes;        // whether the rule lets it through
    std::uint32_t back; // what decoding and encoding make of it
    const char* what;
};
std::ostream& operator<<(std::ostream& os, const PassCase& c)
{
    return os << "format " << c.code << ", " << c.what;
}

// A word that passes in every format, to fill the runs around the one tested.
std::uint32_t Filler(int code)
{
    return code == 1 ? 0xC1200000u : code == 5 ? 0x40400000u : 5u; // -2.0, 3.0, 5
}

// The file bytes of `words`, most significant byte first or last.
std::vector<unsigned char>
FileBytes(int code, const std::vector<std::uint32_t>& words, bool bigEndian)
{
    const int width = ReaderBytesPerSample(code);
    std::vector<unsigned char> raw;
    for (std::uint32_t w : words) {
        for (int b = 0; b < width; ++b) {
            const int shift = 8 * (bigEndian ? width - 1 - b : b);
            raw.push_back(static_cast<unsigned char>(w >> shift));
        }
    }
    return raw;
}

std::uint32_t BigEndianWordAt(const std::vector<unsigned char>& bytes, int width, std::size_t at)
{
    std::uint32_t w = 0;
    for (int b = 0; b < width; ++b)
        w = (w << 8) | bytes[at * static_cast<std::size_t>(width) + static_cast<std::size_t>(b)];
    return w;
}

// Reading reverses the bytes when the file's order is not the host's.
bool SwapFor(bool bigEndian)
{
    return bigEndian == (std::endian::native == std::endian::little);
}

class PassThroughWord : public ::testing::TestWithParam<PassCase>
{
};

// Alone, and at the start, inside, at the edges of the 64-word blocks and in
// the tail of a longer run, in both byte orders.
TEST_P(PassThroughWord, FollowsTheRuleAndDecodingAndEncoding)
{
    const PassCase& c = GetParam();
    EXPECT_EQ(SamplePassesThrough(c.code, c.word), c.passes);
    const int width = ReaderBytesPerSample(c.code);
    for (bool bigEndian : {true, false}) {
        for (std::size_t count : {1u, 130u}) {
            for (std::size_t at : {0u, 37u, 63u, 64u, 127u, 129u}) {
                if (at >= count)
                    continue;
                SCOPED_TRACE(::testing::Message() << (bigEndian ? "big" : "little")
                                                  << "-endian, at " << at << " of " << count);
                std::vector<std::uint32_t> words(count, Filler(c.code));
                words[at] = c.word;
                const std::vector<unsigned char> raw = FileBytes(c.code, words, bigEndian);
                const auto n = static_cast<std::int64_t>(count);
                const bool swap = SwapFor(bigEndian);

                std::vector<double> values(count);
                ASSERT_TRUE(DecodeSamples(c.code, raw.data(), n, swap, values.data()));
                std::vector<unsigned char> reference(raw.size());
                EncodeSamplesBigEndian(c.code, values.data(), n, reference.data());
                EXPECT_EQ(BigEndianWordAt(reference, width, at), c.back);

                std::vector<unsigned char> copy(raw.size());
                EXPECT_EQ(PassSamplesThrough(c.code, raw.data(), n, swap, copy.data()), c.passes);
                if (c.passes) {
                    EXPECT_EQ(copy, reference);
                    EXPECT_EQ(copy, FileBytes(c.code, words, true));
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ieee,
    PassThroughWord,
    ::testing::Values(
        PassCase{5, 0x7F800001, false, 0x7FC00001, "signalling NaN, smallest payload"},
        PassCase{5, 0xFFBFFFFF, false, 0xFFFFFFFF, "negative signalling NaN, largest payload"},
        PassCase{5, 0x7FC00000, true, 0x7FC00000, "quiet NaN"},
        PassCase{5, 0xFFC00001, true, 0xFFC00001, "negative quiet NaN with a payload"},
        PassCase{5, 0x7F800000, true, 0x7F800000, "infinity"},
        PassCase{5, 0xFF800000, true, 0xFF800000, "negative infinity"},
        PassCase{5, 0x80000000, true, 0x80000000, "negative zero"},
        PassCase{5, 0x00000001, true, 0x00000001, "smallest denormal"},
        PassCase{5, 0x807FFFFF, true, 0x807FFFFF, "largest negative denormal"},
        PassCase{5, 0x7F7FFFFF, true, 0x7F7FFFFF, "largest single"}));

// IBM: sign, exponent byte e (16^(e - 64)), 24-bit fraction F; the value is
// F x 2^(4e - 280), a normal single from 2^-126 (0x21400000) to below 2^128.
INSTANTIATE_TEST_SUITE_P(
    Ibm,
    PassThroughWord,
    ::testing::Values(
        PassCase{1, 0x00000000, true, 0x00000000, "zero"},
        PassCase{1, 0x80000000, true, 0x80000000, "negative zero"},
        PassCase{1, 0x41000000, false, 0x00000000, "zero fraction with an exponent"},
        PassCase{1, 0xC1000000, false, 0x80000000, "negative zero fraction with an exponent"},
        PassCase{1, 0x41100000, true, 0x41100000, "one"},
        PassCase{1, 0xC276A000, true, 0xC276A000, "minus 118.625"},
        PassCase{1, 0x42010000, false, 0x41100000, "one, not normalised"},
        PassCase{1, 0x40080000, false, 0x3F800000, "1/32, not normalised"},
        PassCase{1, 0x22100000, true, 0x22100000, "2^-124, lowest exponent the rule passes"},
        PassCase{1, 0x21400000, false, 0x21400000, "2^-126, survives though refused"},
        PassCase{1, 0x21100000, false, 0x21100000, "2^-128, exact denormal single"},
        PassCase{1, 0x20FFFFFF, false, 0x20FFFFF8, "denormal single, low bits cut"},
        PassCase{1, 0x9B800000, false, 0x9B800000, "minus the smallest denormal single"},
        PassCase{1, 0x1B100000, false, 0x00000000, "2^-152, flushed to zero"},
        PassCase{1, 0x60FFFFFF, true, 0x60FFFFFF, "largest value inside the single range"},
        PassCase{1, 0x61100000, false, 0x60C00000, "2^128, clamped"},
        PassCase{1, 0x7FFFFFFF, false, 0x60FFFFFF, "largest IBM"},
        PassCase{1, 0xFFFFFFFF, false, 0xE0FFFFFF, "most negative IBM"}));

INSTANTIATE_TEST_SUITE_P(
    Integers,
    PassThroughWord,
    ::testing::Values(PassCase{2, 0x80000000, true, 0x80000000, "most negative int32"},
                      PassCase{2, 0x7FFFFFFF, true, 0x7FFFFFFF, "largest int32"},
                      PassCase{3, 0x8000, true, 0x8000, "most negative int16"},
                      PassCase{3, 0x7FFF, true, 0x7FFF, "largest int16"},
                      PassCase{8, 0x80, true, 0x80, "most negative int8"},
                      PassCase{8, 0xFF, true, 0xFF, "minus one, int8"}));

TEST(PassThrough, UnreadableFormatsAreRefusedAndEmptyRunsCopyNothing)
{
    const unsigned char raw[4] = {0x41, 0x10, 0x00, 0x00};
    unsigned char out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    for (int code : {0, 4, 6, 7, 9}) {
        EXPECT_FALSE(SamplePassesThrough(code, 0x41100000));
        EXPECT_FALSE(PassSamplesThrough(code, raw, 1, false, out)) << "format " << code;
    }
    for (int code : {1, 2, 3, 5, 8})
        EXPECT_TRUE(PassSamplesThrough(code, raw, 0, true, out)) << "format " << code;
    EXPECT_EQ(out[0], 0xAA);
}

} // namespace
} // namespace tessara
