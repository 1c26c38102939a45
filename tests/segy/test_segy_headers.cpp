// Header records: byte-reversal groups, byte-order detection, time of year.
#include "segy/format/segy_headers.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <type_traits>
#include <vector>

namespace tessara
{
namespace
{

struct Group {
    std::size_t first, last, width; // bytes first..last, reversed as words of `width`
};

// Where each byte of a record must land after reversal by the given groups;
// bytes outside every group stay in place.
std::vector<std::size_t> ExpectedPositions(std::size_t size, std::initializer_list<Group> groups)
{
    std::vector<std::size_t> source(size);
    for (std::size_t i = 0; i < size; ++i)
        source[i] = i;
    for (const Group& g : groups) {
        for (std::size_t word = g.first; word <= g.last; word += g.width) {
            for (std::size_t k = 0; k < g.width; ++k)
                source[word + k] = word + g.width - 1 - k;
        }
    }
    return source;
}

TEST(SwapHeader, ReversesEachGroupByItsWordWidthAndLeavesBytes180And188To239)
{
    const std::vector<std::size_t> source = ExpectedPositions(240,
                                                              {{0, 27, 4},
                                                               {28, 35, 2},
                                                               {36, 67, 4},
                                                               {68, 71, 2},
                                                               {72, 87, 4},
                                                               {88, 179, 2},
                                                               {182, 187, 2}});
    unsigned char bytes[240];
    for (int i = 0; i < 240; ++i)
        bytes[i] = static_cast<unsigned char>(i);
    SegyHeaderType header;
    std::memcpy(&header, bytes, 240);
    SwapHeader(header);
    const auto* swapped = reinterpret_cast<const unsigned char*>(&header);
    for (std::size_t i = 0; i < 240; ++i)
        EXPECT_EQ(swapped[i], source[i]) << "byte " << i;
    SwapHeader(header);
    EXPECT_EQ(std::memcmp(&header, bytes, 240), 0) << "applying it twice must restore";
}

TEST(SwapHeaderTail, ReversesBytes188To239ByTheStandardsFieldWidths)
{
    SegyHeaderType header{};
    auto* b = reinterpret_cast<unsigned char*>(&header);
    for (int k = 0; k < 52; ++k)
        b[188 + k] = static_cast<unsigned char>(k);
    b[187] = 0xAA;
    SwapHeaderTail(header);
    // Worked from the standard's table: 32-bit inline, crossline, shot point;
    // 16-bit scalar and unit; 32 + 16 transduction constant; five 16-bit
    // fields; 32 + 16 energy direction; 32 + 16 + 16 source measurement; two
    // unassigned 32-bit words.
    const unsigned char expected[52] = {3,  2,  1,  0,  7,  6,  5,  4,  11, 10, 9,  8,  13,
                                        12, 15, 14, 19, 18, 17, 16, 21, 20, 23, 22, 25, 24,
                                        27, 26, 29, 28, 33, 32, 31, 30, 35, 34, 39, 38, 37,
                                        36, 41, 40, 43, 42, 47, 46, 45, 44, 51, 50, 49, 48};
    for (int k = 0; k < 52; ++k)
        EXPECT_EQ(b[188 + k], expected[k]) << "byte " << 188 + k;
    EXPECT_EQ(b[187], 0xAA);
    SwapHeaderTail(header);
    for (int k = 0; k < 52; ++k)
        EXPECT_EQ(b[188 + k], k);
}

// The trace header's fields as the record declares them: where each starts,
// the width of its words and how many it holds. Fields of single bytes
// (180, 181, 188-239) have nothing to reverse.
struct Field {
    std::size_t offset, width, count;
};

template <typename Declared> Field FieldOf(std::size_t offset)
{
    using Word = std::remove_all_extents_t<Declared>;
    return {offset, sizeof(Word), sizeof(Declared) / sizeof(Word)};
}

#define TESSARA_FIELD(name) FieldOf<decltype(SegyHeaderType::name)>(offsetof(SegyHeaderType, name))
const Field kDeclaredFields[] = {TESSARA_FIELD(traceSequenceLine),
                                 TESSARA_FIELD(traceSequenceFile),
                                 TESSARA_FIELD(fieldRecord),
                                 TESSARA_FIELD(traceInFieldRecord),
                                 TESSARA_FIELD(sourcePoint),
                                 TESSARA_FIELD(ensembleNumber),
                                 TESSARA_FIELD(traceInEnsemble),
                                 TESSARA_FIELD(traceIdCode),
                                 TESSARA_FIELD(carried30),
                                 TESSARA_FIELD(carried36),
                                 TESSARA_FIELD(elevationScalar),
                                 TESSARA_FIELD(coordinateScalar),
                                 TESSARA_FIELD(sourceX),
                                 TESSARA_FIELD(sourceY),
                                 TESSARA_FIELD(groupX),
                                 TESSARA_FIELD(groupY),
                                 TESSARA_FIELD(coordinateUnits),
                                 TESSARA_FIELD(carried90),
                                 TESSARA_FIELD(delayRecordingTime),
                                 TESSARA_FIELD(carried110),
                                 TESSARA_FIELD(sampleCount),
                                 TESSARA_FIELD(sampleInterval),
                                 TESSARA_FIELD(carried118),
                                 TESSARA_FIELD(year),
                                 TESSARA_FIELD(dayOfYear),
                                 TESSARA_FIELD(hour),
                                 TESSARA_FIELD(minute),
                                 TESSARA_FIELD(second),
                                 TESSARA_FIELD(millisecond),
                                 TESSARA_FIELD(carried168),
                                 TESSARA_FIELD(digitizerChannel),
                                 TESSARA_FIELD(carried181),
                                 TESSARA_FIELD(carried182),
                                 TESSARA_FIELD(carried188)};
#undef TESSARA_FIELD

// Bytes 188-239 field by field as the revision-1 standard lists them:
// inline, crossline, shot point, its scalar, measurement unit, transduction
// constant (32 + 16), transduction units, device id, time scalar, source
// type, energy direction (32 + 16), source measurement (32 + 16), its unit,
// two unassigned words.
const Field kTailFields[] = {{188, 4, 1},
                             {192, 4, 1},
                             {196, 4, 1},
                             {200, 2, 1},
                             {202, 2, 1},
                             {204, 4, 1},
                             {208, 2, 1},
                             {210, 2, 1},
                             {212, 2, 1},
                             {214, 2, 1},
                             {216, 2, 1},
                             {218, 4, 1},
                             {222, 2, 1},
                             {224, 4, 1},
                             {228, 2, 1},
                             {230, 2, 1},
                             {232, 4, 1},
                             {236, 4, 1}};

// Word by word, byte by byte: the plain reversal the shuffles must match.
template <std::size_t N>
std::vector<unsigned char> ReversedByFields(const unsigned char* record, const Field (&fields)[N])
{
    std::vector<unsigned char> out(record, record + 240);
    for (const Field& f : fields) {
        for (std::size_t w = 0; w < f.count; ++w) {
            const std::size_t at = f.offset + w * f.width;
            for (std::size_t k = 0; k < f.width; ++k)
                out[at + k] = record[at + f.width - 1 - k];
        }
    }
    return out;
}

TEST(SwapHeader, EveryByteOfRandomHeadersLandsWhereTheDeclaredFieldsPutIt)
{
    std::size_t covered = 0; // a field left out of the table would pass unreversed
    for (const Field& f : kDeclaredFields)
        covered += f.width * f.count;
    ASSERT_EQ(covered, 240u);
    std::mt19937 random(240);
    for (int round = 0; round < 2000; ++round) {
        unsigned char bytes[240];
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(random());
        const std::vector<unsigned char> fields = ReversedByFields(bytes, kDeclaredFields);
        const std::vector<unsigned char> tail = ReversedByFields(bytes, kTailFields);
        SegyHeaderType header;
        std::memcpy(&header, bytes, 240);
        SwapHeader(header);
        const auto* swapped = reinterpret_cast<const unsigned char*>(&header);
        for (std::size_t i = 0; i < 240; ++i)
            ASSERT_EQ(swapped[i], fields[i]) << "byte " << i << " of header " << round;
        SwapHeader(header);
        ASSERT_EQ(std::memcmp(&header, bytes, 240), 0) << "twice, header " << round;

        SwapHeaderTail(header);
        for (std::size_t i = 0; i < 240; ++i)
            ASSERT_EQ(swapped[i], tail[i]) << "tail, byte " << i << " of header " << round;
        SwapHeaderTail(header);
        ASSERT_EQ(std::memcmp(&header, bytes, 240), 0) << "tail twice, header " << round;
    }
}

TEST(SwapFileHeader, ReversesThreeLongWordsThen194ShortWords)
{
    const std::vector<std::size_t> source =
        ExpectedPositions(3600, {{3200, 3211, 4}, {3212, 3599, 2}});
    std::vector<unsigned char> bytes(3600);
    for (std::size_t i = 0; i < 3600; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7);
    SegyTapeHeaderType header;
    std::memcpy(&header, bytes.data(), 3600);
    SwapFileHeader(header);
    const auto* swapped = reinterpret_cast<const unsigned char*>(&header);
    for (std::size_t i = 0; i < 3600; ++i)
        ASSERT_EQ(swapped[i], bytes[source[i]]) << "byte " << i;
}

struct OrderCase {
    unsigned char b3224, b3225;
    bool bigEndian;
};

class ByteOrderDetection : public ::testing::TestWithParam<OrderCase>
{
};

TEST_P(ByteOrderDetection, DependsOnTheFormatCodeReadLittleEndian)
{
    std::vector<unsigned char> header(3600, 0);
    header[3224] = GetParam().b3224;
    header[3225] = GetParam().b3225;
    EXPECT_EQ(IsBigEndianFileHeader(header.data()), GetParam().bigEndian);
}

INSTANTIATE_TEST_SUITE_P(Codes,
                         ByteOrderDetection,
                         ::testing::Values(OrderCase{0x01, 0x00, false},
                                           OrderCase{0x05, 0x00, false},
                                           OrderCase{0x08, 0x00, false},
                                           OrderCase{0x00, 0x01, true}, // 256
                                           OrderCase{0x00, 0x05, true},
                                           OrderCase{0x00, 0x00, true},
                                           OrderCase{0x09, 0x00, true},
                                           OrderCase{0xFF, 0xFF, true}, // -1
                                           OrderCase{0x01, 0x80, true}));

TEST(SecondsOfYear, CountsFromTheStartOfDayZero)
{
    SegyHeaderType h{};
    h.dayOfYear = 2;
    h.hour = 1;
    h.minute = 2;
    h.second = 3;
    h.millisecond = 500;
    h.year = 2020; // not part of it
    EXPECT_EQ(WholeSecondsOfYear(h), 2 * 86400 + 3600 + 120 + 3);
    EXPECT_DOUBLE_EQ(SecondsOfYear(h), 176523.5);
    h.dayOfYear = 366;
    h.hour = 23;
    h.minute = 59;
    h.second = 59;
    EXPECT_EQ(WholeSecondsOfYear(h), 367 * 86400 - 1);
}

} // namespace
} // namespace tessara
