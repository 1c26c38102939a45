// SEG-Y file and trace header records.
//
// Both records are held in memory with exactly the file layout, multi-byte
// fields in host byte order (little-endian). Byte reversal happens only at the
// file boundary, through SwapFileHeader and SwapHeader. Comments give the
// 0-based byte offset of each field in the file or in the trace header.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tessara
{

constexpr int kTextHeaderBytes = 3200;
constexpr int kBinaryHeaderBytes = 400;
constexpr int kFileHeaderBytes = 3600;
constexpr int kTraceHeaderBytes = 240;

/// 3600-byte SEG-Y file header: 40 cards of text, then the binary header.
/// Only the named binary fields are interpreted; the rest is carried as is.
struct SegyTapeHeaderType {
    char textHeader[kTextHeaderBytes];        // 0-3199
    std::int32_t binJobId;                    // 3200
    std::int32_t binLineNumber;               // 3204
    std::int32_t binReelNumber;               // 3208
    std::int16_t binTracesPerEnsemble;        // 3212
    std::int16_t binAuxTracesPerEnsemble;     // 3214
    std::uint16_t binSampleInterval;          // 3216, microseconds
    std::uint16_t binOriginalSampleInterval;  // 3218
    std::uint16_t binSamplesPerTrace;         // 3220
    std::uint16_t binOriginalSamplesPerTrace; // 3222
    std::int16_t binFormatCode;               // 3224
    std::uint16_t binCarried[137];            // 3226-3499, never interpreted
    std::uint16_t binRevision;        // 3500, 0x0100 = revision 1.0 (see SegyRevisionAtLeast1)
    std::int16_t binFixedLengthFlag;  // 3502, 1 = every trace has binSamplesPerTrace samples
    std::int16_t binExtendedHeaders;  // 3504, 3200-byte extended text headers; -1 variable
    std::uint16_t binCarried3506[47]; // 3506-3599, never interpreted
};

/// 240-byte SEG-Y trace header. Unnamed ranges are carried unchanged but take
/// part in byte reversal by the groups of SwapHeader.
struct SegyHeaderType {
    std::int32_t traceSequenceLine;  // 0
    std::int32_t traceSequenceFile;  // 4, channel source 0
    std::int32_t fieldRecord;        // 8
    std::int32_t traceInFieldRecord; // 12
    std::int32_t sourcePoint;        // 16
    std::int32_t ensembleNumber;     // 20
    std::int32_t traceInEnsemble;    // 24, channel source 1
    std::int16_t traceIdCode;        // 28, channel source 2
    std::int16_t carried30[3];       // 30-35
    std::int32_t carried36[8];       // 36-67
    std::int16_t elevationScalar;    // 68
    std::int16_t coordinateScalar;   // 70, <0 divide, >0 multiply, 0 as stored
    std::int32_t sourceX;            // 72
    std::int32_t sourceY;            // 76
    std::int32_t groupX;             // 80
    std::int32_t groupY;             // 84
    std::int16_t coordinateUnits;    // 88, 1 length, 2 arc seconds, 3 degrees, 4 DDDMMSS
    std::int16_t carried90[9];       // 90-107
    std::int16_t delayRecordingTime; // 108, milliseconds
    std::int16_t carried110[2];      // 110-113
    std::uint16_t sampleCount;       // 114
    std::int16_t sampleInterval;     // 116, microseconds, signed
    std::int16_t carried118[19];     // 118-155
    std::int16_t year;               // 156
    std::int16_t dayOfYear;          // 158, 1 = 1 January
    std::int16_t hour;               // 160
    std::int16_t minute;             // 162
    std::int16_t second;             // 164
    std::int16_t millisecond;        // 166, milliseconds in this system
    std::int16_t carried168[6];      // 168-179
    std::int8_t digitizerChannel;    // 180, channel source 3
    std::uint8_t carried181;         // 181
    std::int16_t carried182[3];      // 182-187
    std::uint8_t carried188[52];     // 188-239, never byte-reversed
};

// The records are read and written with memcpy and their fields used directly,
// so "host order" is little-endian: a little-endian file needs no reversal.
static_assert(std::endian::native == std::endian::little, "headers assume a little-endian host");
static_assert(sizeof(SegyTapeHeaderType) == kFileHeaderBytes);
static_assert(offsetof(SegyTapeHeaderType, binJobId) == 3200);
static_assert(offsetof(SegyTapeHeaderType, binSampleInterval) == 3216);
static_assert(offsetof(SegyTapeHeaderType, binSamplesPerTrace) == 3220);
static_assert(offsetof(SegyTapeHeaderType, binFormatCode) == 3224);
static_assert(offsetof(SegyTapeHeaderType, binRevision) == 3500);
static_assert(offsetof(SegyTapeHeaderType, binFixedLengthFlag) == 3502);
static_assert(offsetof(SegyTapeHeaderType, binExtendedHeaders) == 3504);
static_assert(sizeof(SegyHeaderType) == kTraceHeaderBytes);
static_assert(offsetof(SegyHeaderType, traceIdCode) == 28);
static_assert(offsetof(SegyHeaderType, coordinateScalar) == 70);
static_assert(offsetof(SegyHeaderType, sourceX) == 72);
static_assert(offsetof(SegyHeaderType, coordinateUnits) == 88);
static_assert(offsetof(SegyHeaderType, delayRecordingTime) == 108);
static_assert(offsetof(SegyHeaderType, sampleCount) == 114);
static_assert(offsetof(SegyHeaderType, year) == 156);
static_assert(offsetof(SegyHeaderType, millisecond) == 166);
static_assert(offsetof(SegyHeaderType, digitizerChannel) == 180);
static_assert(offsetof(SegyHeaderType, carried182) == 182);
static_assert(offsetof(SegyHeaderType, carried188) == 188);

/// Reverses the binary header in place: three 32-bit words at 3200-3211, then
/// 194 16-bit words at 3212-3599. The text header is untouched.
void SwapFileHeader(SegyTapeHeaderType& header);

/// Reverses a trace header in place by the fixed SEG-Y groups. Bytes 180-181
/// and 188-239 are never reversed. Applying it twice restores the record.
void SwapHeader(SegyHeaderType& header);

/// Reverses bytes 188-239 of a trace header in place by the field widths of
/// SEG-Y revision 1 (inline 188, crossline 192, shot point 196 as 32-bit; shot
/// point scalar 200, measurement unit 202 as 16-bit; transduction constant
/// 204 as 32 + 16 bits; units, device, time scalar, source type 210-217 as
/// 16-bit; source energy direction 218 and source measurement 224 as 32 + 16
/// bits; measurement unit 230 as 16-bit; 232-239 as two 32-bit words).
/// SwapHeader never touches these bytes, which stay in the order of the file
/// they were read from; the writer uses this for headers read from a
/// little-endian file. Applying it twice restores the record.
void SwapHeaderTail(SegyHeaderType& header);

/// Whether a binary header in host order says SEG-Y revision 1 or later: the
/// standard's 0x0100 form (major revision in the high byte, 1 or 2), or a
/// plain 1 or 2 as some writers store it.
[[nodiscard]] bool SegyRevisionAtLeast1(const SegyTapeHeaderType& header);

/// True when a binary header, as stored in the file, is big-endian: the format
/// code at bytes 3224-3225 read little-endian lies outside 1..8.
[[nodiscard]] bool IsBigEndianFileHeader(const unsigned char* fileHeader3600);

/// Seconds of year of a trace time stamp, without the year and without
/// milliseconds: ((dayOfYear * 24 + hour) * 60 + minute) * 60 + second.
[[nodiscard]] inline std::int64_t WholeSecondsOfYear(const SegyHeaderType& h)
{
    return ((static_cast<std::int64_t>(h.dayOfYear) * 24 + h.hour) * 60 + h.minute) * 60 + h.second;
}

/// Seconds of year including milliseconds / 1000.
[[nodiscard]] inline double SecondsOfYear(const SegyHeaderType& h)
{
    return static_cast<double>(WholeSecondsOfYear(h)) + h.millisecond / 1000.0;
}

} // namespace tessara
