// SEG-Y sample encodings: IBM and IEEE floats, integers, and the EBCDIC text
// header. Everything here works on whole traces with caller-owned buffers and
// allocates nothing.
#pragma once

#include <array>
#include <cstdint>

namespace tessara
{

/// Data sample format codes that the reader decodes.
constexpr bool IsReadableFormat(int code)
{
    return code == 1 || code == 2 || code == 3 || code == 5 || code == 8;
}

/// Bytes per sample as the reader sets them: 4 for codes 1, 2, 5; 2 for 3;
/// 1 for 8; 0 for any code that cannot be read.
constexpr int ReaderBytesPerSample(int code)
{
    switch (code) {
    case 1:
    case 2:
    case 5:
        return 4;
    case 3:
        return 2;
    case 8:
        return 1;
    default:
        return 0;
    }
}

/// Bytes per sample as the writer uses them: 2 for code 3, 1 for code 8,
/// 4 for every other code (written as IEEE-style 32-bit words).
constexpr int WriterBytesPerSample(int code)
{
    return code == 3 ? 2 : code == 8 ? 1 : 4;
}

/// IBM System/360 single floats to IEEE single, `count` 32-bit words in host
/// byte order; `to` may equal `from`. Inexact results round toward zero,
/// overflow gives a finite value, never an infinity. count <= 0 does nothing.
void ibm2ieee(std::uint32_t* to, const std::uint32_t* from, std::int64_t count);

/// IEEE single to IBM single, `count` words in host byte order; `to` may equal
/// `from`. Infinity and NaN give the largest IBM magnitude with their sign.
void ieee2ibm(std::uint32_t* to, const std::uint32_t* from, std::int64_t count);

/// One word of each conversion, for callers that convert on the fly.
[[nodiscard]] std::uint32_t IbmToIeeeWord(std::uint32_t ibm);
[[nodiscard]] std::uint32_t IeeeToIbmWord(std::uint32_t ieee);

/// Decodes `count` samples stored in format `code` (1, 2, 3, 5 or 8) from the
/// raw file bytes `raw`, reversing bytes first when `swapBytes` is set, into
/// `out`. Returns false, writing nothing, for any other code.
[[nodiscard]] bool
DecodeSamples(int code, const unsigned char* raw, std::int64_t count, bool swapBytes, double* out);

/// Decodes as DecodeSamples does, into single floats, for the codes whose
/// every value a float holds exactly: 1, 3, 5 and 8. Returns false, writing
/// nothing, for any other code, 2 included (32-bit integers beyond 2^24
/// would round). Half the bytes of doubles: a caller that looks at every
/// sample once and keeps none works from the first-level cache.
[[nodiscard]] bool DecodeSamplesToFloat(
    int code, const unsigned char* raw, std::int64_t count, bool swapBytes, float* out);

/// Encodes `count` samples big-endian in format `code` into `out`, which must
/// hold count * WriterBytesPerSample(code) bytes.
///   1: single precision (nearest), then IBM; 5: single precision (nearest);
///   2: truncated toward zero, out of range or NaN gives -2147483648;
///   3: as 2, then the low 16 bits (40000.0 -> -25536);
///   8: truncated toward zero and clipped to -128..127, NaN gives 0;
///   any other code: written as 4-byte IEEE singles, like 5.
void EncodeSamplesBigEndian(int code, const double* in, std::int64_t count, unsigned char* out);

/// Whether the sample word `word` (host order; the low 16 or 8 bits for codes
/// 3 and 8) of format `code` comes back as the same word from DecodeSamples
/// followed by EncodeSamplesBigEndian in the same format. Exact for the
/// integer formats (every word) and for IEEE (every word but a signalling
/// NaN, which the conversion to double quietens). For IBM it is a sufficient
/// rule, not an exact one: zero of either sign, and normalised numbers whose
/// value is a normal single (exponent byte 34 to 96); every other IBM word is
/// sent the long way even where it would survive.
[[nodiscard]] bool SamplePassesThrough(int code, std::uint32_t word);

/// Writes `count` samples of format `code` from the file bytes `raw`
/// (reversed first when `swapBytes` is set, as for DecodeSamples) to `out`
/// big-endian in the same format, without converting them: the bytes
/// EncodeSamplesBigEndian would write for the decoded samples, as long as
/// every sample passes through (SamplePassesThrough).
/// Returns false when one does not, or for a code DecodeSamples does not
/// read; `out` then holds nothing usable and the caller decodes and encodes.
[[nodiscard]] bool PassSamplesThrough(
    int code, const unsigned char* raw, std::int64_t count, bool swapBytes, unsigned char* out);

/// The system's own EBCDIC-to-ASCII table, indexed by the byte as unsigned.
extern const std::array<unsigned char, 256> EBCDIC_translate_ASCII;

/// Detects and cleans a 3200-byte text header in place: a header starting
/// with 'C' (0x43) is ASCII; otherwise any byte >= 0x80 marks it as EBCDIC and
/// the whole header is translated. Afterwards every byte outside 32..126
/// becomes a blank. Returns whether the header was EBCDIC.
bool CheckEBCDIC(char* textHeader3200);

} // namespace tessara
