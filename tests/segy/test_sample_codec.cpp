// Sample encodings, byte reversal and the EBCDIC text header. Expected bit
// patterns are worked by hand from the IBM and IEEE layouts, never taken from
// the code under test.
#include "segy/format/byte_order.h"
#include "segy/format/sample_codec.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace tessara
{
namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct WordCase {
    std::uint32_t from;
    std::uint32_t to;
    const char* what;
};
std::ostream& operator<<(std::ostream& os, const WordCase& c)
{
    return os << c.what;
}

class IbmToIeee : public ::testing::TestWithParam<WordCase>
{
};
class IeeeToIbm : public ::testing::TestWithParam<WordCase>
{
};

using Converter = void (*)(std::uint32_t*, const std::uint32_t*, std::int64_t);

// Whole traces are converted in blocks; a word must convert the same alone
// and anywhere in a block of regular words, in place as the reader does it.
void ExpectOnBothPaths(Converter convert, const WordCase& c, std::uint32_t filler)
{
    std::uint32_t alone = c.from;
    convert(&alone, &alone, 1);
    EXPECT_EQ(alone, c.to) << "alone";
    std::uint32_t fillerAlone = filler;
    convert(&fillerAlone, &fillerAlone, 1);
    for (std::size_t at : {0u, 37u, 127u, 129u}) {
        std::vector<std::uint32_t> words(130, filler);
        words[at] = c.from;
        convert(words.data(), words.data(), static_cast<std::int64_t>(words.size()));
        EXPECT_EQ(words[at], c.to) << "at " << at << " of 130";
        EXPECT_EQ(words[at ^ 1], fillerAlone) << "neighbour of " << at;
    }
}

TEST_P(IbmToIeee, GivesTheHandWorkedPattern)
{
    ExpectOnBothPaths(ibm2ieee, GetParam(), 0xC1200000); // filler -2.0
}

TEST_P(IeeeToIbm, GivesTheHandWorkedPattern)
{
    ExpectOnBothPaths(ieee2ibm, GetParam(), 0x40400000); // filler 3.0
}

INSTANTIATE_TEST_SUITE_P(
    Edges,
    IbmToIeee,
    ::testing::Values(WordCase{0x00000000, 0x00000000, "zero"},
                      WordCase{0x80000000, 0x80000000, "negative zero"},
                      WordCase{0x7F000000, 0x00000000, "zero fraction, largest exponent"},
                      WordCase{0xC5000000, 0x80000000, "zero fraction keeps the sign"},
                      WordCase{0x41100000, 0x3F800000, "one"},
                      WordCase{0xC276A000, 0xC2ED4000, "minus 118.625"},
                      WordCase{0x42010000, 0x3F800000, "unnormalised one"},
                      WordCase{0x7FFFFFFF, 0x7F7FFFFF, "largest IBM gives largest single"},
                      WordCase{0xFFFFFFFF, 0xFF7FFFFF, "most negative IBM"},
                      WordCase{0x7F100000, 0x7F400000, "overflow stays finite"},
                      WordCase{0x60FFFFFF, 0x7F7FFFFF, "largest IBM inside the single range"},
                      WordCase{0x61100000, 0x7F400000, "2^128, just past the single range"},
                      WordCase{0x21400000, 0x00800000, "smallest normal single"},
                      WordCase{0x21200000, 0x00400000, "2^-127 becomes denormal"},
                      WordCase{0x20FFFFFF, 0x001FFFFF, "denormal rounds toward zero"},
                      WordCase{0x1C100000, 0x00000002, "second-smallest denormal"},
                      WordCase{0x1B800000, 0x00000001, "smallest denormal"},
                      WordCase{0x1B400000, 0x00000000, "half the smallest denormal"},
                      WordCase{0x9B100000, 0x80000000, "underflow keeps the sign"}));

INSTANTIATE_TEST_SUITE_P(
    Edges,
    IeeeToIbm,
    ::testing::Values(WordCase{0x00000000, 0x00000000, "zero"},
                      WordCase{0x80000000, 0x80000000, "negative zero"},
                      WordCase{0x3F800000, 0x41100000, "one"},
                      WordCase{0xC2ED4000, 0xC276A000, "minus 118.625"},
                      WordCase{0x3F800001, 0x41100000, "lost bits round toward zero"},
                      WordCase{0x7F7FFFFF, 0x60FFFFFF, "largest single"},
                      WordCase{0x7F800000, 0x7FFFFFFF, "infinity"},
                      WordCase{0xFF800000, 0xFFFFFFFF, "negative infinity"},
                      WordCase{0x7FC00000, 0x7FFFFFFF, "NaN"},
                      WordCase{0xFFA00001, 0xFFFFFFFF, "negative signalling NaN"},
                      WordCase{0x00800000, 0x21400000, "smallest normal"},
                      WordCase{0x00400000, 0x21200000, "denormal 2^-127"},
                      WordCase{0x00000001, 0x1B800000, "smallest denormal"}));

std::vector<std::uint32_t> RandomWords(std::size_t count, std::uint32_t seed)
{
    std::vector<std::uint32_t> words(count);
    for (std::uint32_t& w : words) {
        seed = seed * 1664525u + 1013904223u;
        w = seed ^ (seed >> 13);
    }
    return words;
}

// Every normalised IBM word inside the single range must survive the trip
// through IEEE unchanged, and its IEEE value must equal the arithmetic value
// of the IBM word.
TEST(IbmConversion, NormalisedWordsRoundTripAndMatchTheirArithmeticValue)
{
    std::vector<std::uint32_t> ibm = RandomWords(20000, 12345);
    for (std::uint32_t& w : ibm) {
        const std::uint32_t exponent = 0x22 + (w >> 8) % (0x60 - 0x22 + 1);
        const std::uint32_t fraction = 0x100000 + (w >> 4) % 0xF00000; // leading digit != 0
        w = (w & 0x80000000u) | (exponent << 24) | fraction;
    }
    const auto n = static_cast<std::int64_t>(ibm.size());
    std::vector<std::uint32_t> ieee(ibm.size());
    ibm2ieee(ieee.data(), ibm.data(), n);
    std::vector<std::uint32_t> back(ibm.size());
    ieee2ibm(back.data(), ieee.data(), n);
    for (std::size_t i = 0; i < ibm.size(); ++i) {
        float value;
        std::memcpy(&value, &ieee[i], 4);
        ASSERT_EQ(value, static_cast<float>(test::SegyBytes::ValueOfIbmWord(ibm[i])))
            << std::hex << ibm[i];
        ASSERT_EQ(back[i], ibm[i]);
    }
}

// Any bit pattern at all (denormals, NaN, unnormalised and out-of-range IBM
// words mixed into blocks) converts in an array exactly as on its own.
TEST(IbmConversion, ArraysGiveTheWordByWordResultForEveryPattern)
{
    for (Converter convert : {ibm2ieee, ieee2ibm}) {
        std::vector<std::uint32_t> words = RandomWords(64 * 400 + 11, 777);
        for (std::size_t i = 0; i < words.size() / 2; ++i) // mostly regular blocks first
            words[i] = (words[i] & 0x80FFFFFFu) | (0x30000000u + ((words[i] >> 4) & 0x0F000000u));
        for (std::size_t i = 0; i < words.size(); i += 97)
            words[i] &= 0x80FFFFFFu; // tiny IBM, denormal IEEE
        std::vector<std::uint32_t> whole(words.size());
        convert(whole.data(), words.data(), static_cast<std::int64_t>(words.size()));
        for (std::size_t i = 0; i < words.size(); ++i) {
            std::uint32_t alone = 0;
            convert(&alone, &words[i], 1);
            ASSERT_EQ(whole[i], alone) << std::hex << words[i] << " at " << std::dec << i;
        }
    }
}

TEST(IbmConversion, ArraysConvertBetweenBuffersAndCountsBelowOneDoNothing)
{
    const std::uint32_t ibm[3] = {0x41100000, 0xC276A000, 0x80000000};
    std::uint32_t ieee[3] = {};
    ibm2ieee(ieee, ibm, 3);
    EXPECT_EQ(ieee[0], 0x3F800000u);
    EXPECT_EQ(ieee[1], 0xC2ED4000u);
    EXPECT_EQ(ieee[2], 0x80000000u);
    std::uint32_t words[2] = {0x41100000, 0x3F800000};
    ibm2ieee(words, words, 0);
    ibm2ieee(words, words, -1);
    ieee2ibm(words, words, 0);
    ieee2ibm(words, words, -7);
    EXPECT_EQ(words[0], 0x41100000u);
    EXPECT_EQ(words[1], 0x3F800000u);
}

TEST(ByteOrder, SwapReversesBytesAndKeepsSignedTypesSigned)
{
    EXPECT_EQ(Swap(std::uint16_t{0x1234}), 0x3412);
    EXPECT_EQ(Swap(std::int16_t{0x00FF}), std::int16_t{-256});
    EXPECT_EQ(Swap(std::int32_t{0x000000FF}), std::int32_t{-16777216});
    EXPECT_EQ(Swap(std::uint32_t{0x12345678}), 0x78563412u);
}

TEST(ByteOrder, SwapNReversesFloatsByTheirBitPattern)
{
    // A signalling NaN and a denormal would be altered by any numeric detour.
    const std::uint32_t patterns[7] = {
        0x7FA00001, 0x00000001, 0x80000000, 0x3F800000, 0x7FA00002, 0x01020304, 0xFF800001};
    float f[7];
    std::memcpy(f, patterns, sizeof f);
    SwapN(f, 7);
    const auto* bytes = reinterpret_cast<const unsigned char*>(f);
    EXPECT_EQ(bytes[0], 0x7F); // 0x7FA00001 now stored most significant byte first
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[20], 0x01); // 0x01020304, past the groups of four
    EXPECT_EQ(bytes[27], 0x01);
    SwapN(f, 0);
    SwapN(f, -4);
    SwapN(f, 7);
    EXPECT_EQ(std::memcmp(f, patterns, sizeof f), 0);

    std::int16_t s[2] = {0x0102, -2};
    SwapN(s, 2);
    EXPECT_EQ(s[0], 0x0201);
    EXPECT_EQ(s[1], std::int16_t{-257}); // 0xFFFE -> 0xFEFF
}

struct EncodeCase {
    int code;
    double value;
    std::vector<unsigned char> bytes; // big-endian, as written to the file
};
std::ostream& operator<<(std::ostream& os, const EncodeCase& c)
{
    return os << "code " << c.code << " value " << c.value;
}

class EncodeSample : public ::testing::TestWithParam<EncodeCase>
{
};

TEST_P(EncodeSample, WritesTheExpectedBigEndianBytes)
{
    const EncodeCase& c = GetParam();
    for (std::size_t count : {1u, 130u}) { // one sample, and whole blocks plus a tail
        const std::vector<double> in(count, c.value);
        const std::size_t width = c.bytes.size();
        std::vector<unsigned char> out(count * width + 1, 0xAA);
        EncodeSamplesBigEndian(c.code, in.data(), static_cast<std::int64_t>(count), out.data());
        for (std::size_t i = 0; i < count; ++i) {
            const auto at = out.begin() + static_cast<std::ptrdiff_t>(i * width);
            ASSERT_EQ(std::vector<unsigned char>(at, at + static_cast<std::ptrdiff_t>(width)),
                      c.bytes)
                << "sample " << i << " of " << count;
        }
        EXPECT_EQ(out.back(), 0xAA) << "wrote past the samples";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats,
    EncodeSample,
    ::testing::Values(EncodeCase{3, 40000.0, {0x9C, 0x40}}, // low 16 bits: -25536
                      EncodeCase{3, -1.7, {0xFF, 0xFF}},
                      EncodeCase{3, 70000.0, {0x11, 0x70}},
                      EncodeCase{3, kNaN, {0x00, 0x00}},
                      EncodeCase{2, -2.9, {0xFF, 0xFF, 0xFF, 0xFE}},
                      EncodeCase{2, 2147483647.9, {0x7F, 0xFF, 0xFF, 0xFF}},
                      EncodeCase{2, 2147483648.0, {0x80, 0x00, 0x00, 0x00}},
                      EncodeCase{2, -1e300, {0x80, 0x00, 0x00, 0x00}},
                      EncodeCase{2, kNaN, {0x80, 0x00, 0x00, 0x00}},
                      EncodeCase{5, -118.625, {0xC2, 0xED, 0x40, 0x00}},
                      EncodeCase{5, 0.1, {0x3D, 0xCC, 0xCC, 0xCD}}, // nearest, not truncated
                      EncodeCase{5, 1e39, {0x7F, 0x80, 0x00, 0x00}},
                      EncodeCase{1, -118.625, {0xC2, 0x76, 0xA0, 0x00}},
                      EncodeCase{1, 0.1, {0x40, 0x19, 0x99, 0x99}},
                      EncodeCase{1, -0.0, {0x80, 0x00, 0x00, 0x00}},
                      EncodeCase{1, 1e39, {0x7F, 0xFF, 0xFF, 0xFF}},
                      EncodeCase{1, -kNaN, {0xFF, 0xFF, 0xFF, 0xFF}},
                      EncodeCase{8, 127.9, {0x7F}},
                      EncodeCase{8, 200.0, {0x7F}},
                      EncodeCase{8, -1.9, {0xFF}},
                      EncodeCase{8, -128.9, {0x80}},
                      EncodeCase{8, -3e9, {0x80}},
                      EncodeCase{8, kNaN, {0x00}}));

struct DecodeCase {
    int code;
    bool swapBytes;
    std::vector<unsigned char> raw;
    double value;
};
std::ostream& operator<<(std::ostream& os, const DecodeCase& c)
{
    return os << "code " << c.code << (c.swapBytes ? " big" : " little") << "-endian";
}

class DecodeSample : public ::testing::TestWithParam<DecodeCase>
{
};

TEST_P(DecodeSample, GivesTheExactValue)
{
    const DecodeCase& c = GetParam();
    for (std::size_t count : {1u, 130u}) { // one sample, and whole blocks plus a tail
        std::vector<unsigned char> raw;
        for (std::size_t i = 0; i < count; ++i)
            raw.insert(raw.end(), c.raw.begin(), c.raw.end());
        std::vector<double> out(count + 1, 99.0);
        ASSERT_TRUE(DecodeSamples(
            c.code, raw.data(), static_cast<std::int64_t>(count), c.swapBytes, out.data()));
        for (std::size_t i = 0; i < count; ++i)
            ASSERT_EQ(out[i], c.value) << "sample " << i << " of " << count;
        EXPECT_EQ(out[count], 99.0) << "decoded past the samples";
    }
}

TEST_P(DecodeSample, GivesTheSameValueAsAFloatWhereAFloatHoldsEveryValue)
{
    const DecodeCase& c = GetParam();
    for (std::size_t count : {1u, 130u}) {
        std::vector<unsigned char> raw;
        for (std::size_t i = 0; i < count; ++i)
            raw.insert(raw.end(), c.raw.begin(), c.raw.end());
        std::vector<float> out(count + 1, 99.0f);
        const bool decoded = DecodeSamplesToFloat(
            c.code, raw.data(), static_cast<std::int64_t>(count), c.swapBytes, out.data());
        if (c.code == 2) {
            EXPECT_FALSE(decoded) << "32-bit integers beyond 2^24 do not fit a float";
            EXPECT_EQ(out[0], 99.0f) << "a refusal writes nothing";
            continue;
        }
        ASSERT_TRUE(decoded);
        for (std::size_t i = 0; i < count; ++i)
            ASSERT_EQ(out[i], c.value) << "sample " << i << " of " << count;
        EXPECT_EQ(out[count], 99.0f) << "decoded past the samples";
    }
}

// IBM words outside the normal single range, inside a block of regular ones:
// the block is redone word by word, to a denormal and to the largest finite
// single, as into doubles.
TEST(DecodeSample, IbmBeyondTheSingleRangeDecodesToFloatsAsToDoubles)
{
    std::vector<unsigned char> raw;
    for (int i = 0; i < 70; ++i) {
        // 0x21100000: 16^-32 = 2^-128, below the smallest normal single;
        // 0x7FFFFFFF: about 7.2e75, above the largest.
        const std::uint32_t w = i == 3 ? 0x21100000u : i == 66 ? 0x7FFFFFFFu : 0xC276A000u;
        for (int shift : {24, 16, 8, 0})
            raw.push_back(static_cast<unsigned char>(w >> shift));
    }
    std::vector<float> floats(70);
    std::vector<double> doubles(70);
    ASSERT_TRUE(DecodeSamplesToFloat(1, raw.data(), 70, true, floats.data()));
    ASSERT_TRUE(DecodeSamples(1, raw.data(), 70, true, doubles.data()));
    EXPECT_EQ(floats[0], -118.625f);
    EXPECT_GT(floats[3], 0.0f);
    EXPECT_LT(floats[3], std::numeric_limits<float>::min()) << "a denormal";
    EXPECT_EQ(floats[66], std::numeric_limits<float>::max());
    for (std::size_t i = 0; i < 70; ++i)
        EXPECT_EQ(static_cast<double>(floats[i]), doubles[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Formats,
    DecodeSample,
    ::testing::Values(DecodeCase{1, true, {0xC2, 0x76, 0xA0, 0x00}, -118.625},
                      DecodeCase{1, false, {0x00, 0xA0, 0x76, 0xC2}, -118.625},
                      DecodeCase{5, false, {0x00, 0x00, 0x80, 0x3F}, 1.0},
                      DecodeCase{5, true, {0x3D, 0xCC, 0xCC, 0xCD}, static_cast<double>(0.1f)},
                      DecodeCase{2, true, {0x80, 0x00, 0x00, 0x00}, -2147483648.0},
                      DecodeCase{2, false, {0xFE, 0xFF, 0xFF, 0xFF}, -2.0},
                      DecodeCase{3, true, {0x80, 0x00}, -32768.0},
                      DecodeCase{3, false, {0x40, 0x9C}, -25536.0},
                      DecodeCase{8, true, {0xFF}, -1.0},
                      DecodeCase{8, false, {0x80}, -128.0}));

TEST(DecodeSample, UnreadableCodeWritesNothing)
{
    const unsigned char raw[4] = {1, 2, 3, 4};
    double out = 7.0;
    for (int code : {0, 4, 6, 7, 9})
        EXPECT_FALSE(DecodeSamples(code, raw, 1, false, &out));
    EXPECT_EQ(out, 7.0);
}

// The translation table, row by row as the format documentation lists it:
// {first EBCDIC code, last EBCDIC code, ASCII of the first}.
struct EbcdicRow {
    int first, last, ascii;
};
constexpr EbcdicRow kEbcdicRows[] = {
    {0x00, 0x2F, 0x00}, {0x30, 0x30, '.'},  {0x31, 0x31, '.'},  {0x32, 0x3D, 0x32},
    {0x3E, 0x3E, '.'},  {0x3F, 0x3F, '?'},  {0x40, 0x40, ' '},  {0x4C, 0x4C, '<'},
    {0x4D, 0x4D, '('},  {0x4E, 0x4E, '+'},  {0x4F, 0x4F, '|'},  {0x50, 0x50, '&'},
    {0x5A, 0x5A, '!'},  {0x5B, 0x5B, '$'},  {0x5C, 0x5C, '*'},  {0x5D, 0x5D, ')'},
    {0x5E, 0x5E, ';'},  {0x5F, 0x5F, '^'},  {0x60, 0x60, '-'},  {0x61, 0x61, '/'},
    {0x6A, 0x6A, '|'},  {0x6B, 0x6B, ','},  {0x6C, 0x6C, '%'},  {0x6D, 0x6D, '_'},
    {0x6E, 0x6E, '>'},  {0x6F, 0x6F, '?'},  {0x7A, 0x7A, ':'},  {0x7B, 0x7B, '#'},
    {0x7C, 0x7C, '@'},  {0x7D, 0x7D, '\''}, {0x7E, 0x7E, '='},  {0x7F, 0x7F, '"'},
    {0x81, 0x89, 'a'},  {0x91, 0x99, 'j'},  {0xA1, 0xA1, '~'},  {0xA2, 0xA9, 's'},
    {0xAD, 0xAD, '['},  {0xBD, 0xBD, ']'},  {0xC0, 0xC0, '{'},  {0xC1, 0xC9, 'A'},
    {0xD0, 0xD0, '}'},  {0xD1, 0xD9, 'J'},  {0xE0, 0xE0, '\\'}, {0xE2, 0xE9, 'S'},
    {0xF0, 0xF9, '0'},
};

TEST(Ebcdic, EveryCodeTranslatesAsListed)
{
    int expected[256];
    for (int code = 0; code < 256; ++code)
        expected[code] = '.'; // every unlisted code from 0x41 up
    for (const EbcdicRow& row : kEbcdicRows) {
        for (int code = row.first; code <= row.last; ++code)
            expected[code] = row.ascii + (code - row.first);
    }
    for (std::size_t code = 0; code < 256; ++code)
        EXPECT_EQ(EBCDIC_translate_ASCII[code], expected[code]) << "EBCDIC code " << code;
}

std::string Blank3200()
{
    return std::string(3200, ' ');
}

TEST(Ebcdic, AsciiHeaderStartingWithCIsNeverTranslated)
{
    std::string text = Blank3200();
    text.replace(0, 8, "C 1 A\tB\x85");
    text[3199] = '\0';
    EXPECT_FALSE(CheckEBCDIC(text.data()));
    EXPECT_EQ(text.substr(0, 8), "C 1 A B ");
    EXPECT_EQ(text[3199], ' ');
}

TEST(Ebcdic, HeaderWithAHighByteIsTranslatedWhole)
{
    // EBCDIC "C 1 Hi%" then a line feed (0x25) and a NUL, high byte far in.
    std::string text(3200, '\x40');
    const unsigned char card[] = {0xC3, 0x40, 0xF1, 0x40, 0xC8, 0x89, 0x6C, 0x25, 0x00};
    std::memcpy(text.data(), card, sizeof card);
    text[3000] = '\xC1';
    EXPECT_TRUE(CheckEBCDIC(text.data()));
    EXPECT_EQ(text.substr(0, 9), "C 1 Hi%% ");
    EXPECT_EQ(text[3000], 'A');
    EXPECT_EQ(text[3199], ' ');
}

TEST(Ebcdic, LowBytesOnlyAreTakenAsAsciiAndCleaned)
{
    std::string text = Blank3200();
    text.replace(0, 6, "@x\x01y\x7Fz"); // 0x40 would be a blank in EBCDIC
    EXPECT_FALSE(CheckEBCDIC(text.data()));
    EXPECT_EQ(text.substr(0, 6), "@x y z");
}

} // namespace
} // namespace tessara
