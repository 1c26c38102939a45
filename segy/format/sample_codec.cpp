#include "sample_codec.h"

#include "byte_order.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#endif

namespace tessara
{

namespace
{

// The word rules, inlined into the whole-trace conversions below. A call
// from their AVX2 build to a function that leaves the vector registers alone
// makes GCC take the upper halves for clean after it, and the function then
// returns without clearing them: every SSE instruction of the caller then
// waits on the dirty upper halves, which slows the code that works on the
// decoded trace by half.
[[gnu::always_inline]] inline std::uint32_t IbmToIeeeBits(std::uint32_t w)
{
    const std::uint32_t sign = w & 0x80000000u;
    const std::uint32_t e7 = (w >> 24) & 0x7Fu;
    std::uint32_t f = w << 8; // IBM fraction in bits 31..8
    if (f == 0)
        return sign;
    // Normalise so that the leading one sits in bit 31; an IBM number is
    // normalised to a hex digit, so at most three shifts unless it is not.
    const int shift = __builtin_clz(f);
    f <<= shift;
    int e = 4 * static_cast<int>(e7) - 130 - shift;
    if (e <= 0) {
        // Below the smallest normal single: denormalise, keeping the leading
        // one inside the fraction, or flush to a signed zero.
        f = e < -24 ? 0 : f >> -e;
        e = 0;
    } else if (e >= 255) {
        // Above the single range: clamp to a finite value, never infinity.
        e = 254;
    } else {
        f <<= 1; // drop the implicit leading one
    }
    return sign | (static_cast<std::uint32_t>(e) << 23) | (f >> 9);
}

[[gnu::always_inline]] inline std::uint32_t IeeeToIbmBits(std::uint32_t w)
{
    const std::uint32_t sign = w & 0x80000000u;
    int e = static_cast<int>((w >> 23) & 0xFFu);
    std::uint32_t f = w << 9; // IEEE fraction in bits 31..9
    if (e == 255)
        return sign | 0x7FFFFFFFu; // infinity and NaN: largest IBM magnitude
    if (e > 0)
        f = (f >> 1) | 0x80000000u;
    else if (f == 0)
        return sign;
    e += 130;
    f >>= (-e) & 3;
    e = (e + 3) >> 2;
    // Only denormalised inputs need more than the hex-digit alignment above.
    while (f < 0x10000000u) {
        --e;
        f <<= 4;
    }
    return sign | (static_cast<std::uint32_t>(e) << 24) | (f >> 8);
}

} // namespace

std::uint32_t IbmToIeeeWord(std::uint32_t w)
{
    return IbmToIeeeBits(w);
}

std::uint32_t IeeeToIbmWord(std::uint32_t w)
{
    return IeeeToIbmBits(w);
}

// With GCC on x86-64 Linux the whole-trace conversions are built twice, for
// AVX2 and for the baseline, and the loader picks the one the processor runs:
// the block loops below then work on eight words at a time instead of four.
// (Clang 14 renames such functions, which callers in other files would not
// find, so it builds the baseline only.)
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define TESSARA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TESSARA_VECTOR_CLONES
#endif

namespace
{

// Whole traces are converted in blocks of this many samples: the loops over a
// block have a fixed trip count and work on small local arrays, so the
// compiler turns them into vector code, and the rare word that needs the
// exact word-by-word rules sends only its block down the scalar path.
constexpr std::int64_t kBlock = 64;

inline float BitsToFloat(std::uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

inline std::uint32_t FloatToBits(float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

// Round to nearest single precision. Values beyond the single range become
// infinities, as the hardware conversion would give; doing it explicitly keeps
// the conversion defined for every double. A select of doubles, then one
// conversion that is always defined (an infinity converts to an infinity),
// keeps the block loops vector code.
inline float NarrowToFloat(double x)
{
    constexpr double kOverflow = 0x1.ffffffp127; // FLT_MAX plus half an ulp
    const double bounded = std::fabs(x) >= kOverflow ? std::copysign(HUGE_VAL, x) : x;
    return static_cast<float>(bounded);
}

// Truncation toward zero to int32; out of range or NaN gives INT32_MIN, the
// integer-indefinite value of the usual hardware conversion.
inline std::int32_t TruncateToInt32(double x)
{
    if (!(x > -2147483649.0 && x < 2147483648.0))
        return INT32_MIN;
    return static_cast<std::int32_t>(x);
}

inline std::int8_t TruncateToInt8(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 127.0)
        return 127;
    if (x <= -128.0)
        return -128;
    return static_cast<std::int8_t>(static_cast<int>(x));
}

inline std::uint32_t Load32(const unsigned char* p, bool swapBytes)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return swapBytes ? __builtin_bswap32(v) : v;
}

inline std::uint16_t Load16(const unsigned char* p, bool swapBytes)
{
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return swapBytes ? __builtin_bswap16(v) : v;
}

inline void Store32BigEndian(unsigned char* p, std::uint32_t v)
{
    v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

// Copies a block of 32-bit words, reversing the bytes of each.
inline void CopyReversedBlock(const void* from, void* to)
{
    CopyReversed32(from, to, kBlock);
}

// One block of file words in host order.
inline void LoadBlock32(const unsigned char* raw, bool swapBytes, std::uint32_t* w)
{
    if (swapBytes)
        CopyReversedBlock(raw, w);
    else
        std::memcpy(w, raw, 4 * kBlock);
}

// The input and output sides of the block conversions: host words, or the
// 64-bit samples of a trace (narrowed to single precision on the way in,
// widened exactly on the way out).
inline std::uint32_t WordOf(std::uint32_t w)
{
    return w;
}

inline std::uint32_t WordOf(double x)
{
    return FloatToBits(NarrowToFloat(x));
}

inline void Put(std::uint32_t* out, std::uint32_t bits)
{
    *out = bits;
}

inline void Put(double* out, std::uint32_t bits)
{
    *out = BitsToFloat(bits);
}

inline void Put(float* out, std::uint32_t bits)
{
    *out = BitsToFloat(bits);
}

// IBM to IEEE for a block, exact wherever the result is zero or a normal
// single: the 24-bit fraction converts to float without rounding, and the
// float's own exponent then gives the normalisation shift that the
// word-by-word rules find with a bit scan. Returns false when a word of the
// block underflows or overflows; its results must then be redone word by word.
template <typename Out> inline bool IbmToIeeeBlock(const std::uint32_t* in, Out* out)
{
    std::uint32_t irregular = 0;
    for (std::int64_t i = 0; i < kBlock; ++i) {
        const std::uint32_t w = in[i];
        const std::uint32_t sign = w & 0x80000000u;
        const auto fraction = static_cast<std::int32_t>(w & 0x00FFFFFFu);
        const std::uint32_t bits = FloatToBits(static_cast<float>(fraction));
        // 4 x (e7 - 64) - 24 added to the exponent of the fraction as a float.
        const std::int32_t e = static_cast<std::int32_t>(bits >> 23) +
                               4 * static_cast<std::int32_t>((w >> 24) & 0x7Fu) - 280;
        const std::uint32_t normal =
            sign | (static_cast<std::uint32_t>(e) << 23) | (bits & 0x007FFFFFu);
        Put(out + i, fraction == 0 ? sign : normal);
        irregular |= static_cast<std::uint32_t>(fraction != 0) &
                     static_cast<std::uint32_t>(static_cast<std::uint32_t>(e - 1) >= 254u);
    }
    return irregular == 0;
}

template <typename Out> inline void IbmToIeeeBlockExact(const std::uint32_t* in, Out* out)
{
    if (!IbmToIeeeBlock(in, out)) {
        for (std::int64_t i = 0; i < kBlock; ++i)
            Put(out + i, IbmToIeeeBits(in[i]));
    }
}

// IEEE to IBM for a block, exact for zeros, normal numbers, infinities and
// NaN. The hex alignment shifts the 24-bit significand right by
// (-(e + 130)) & 3 places; done as a float multiplied by a power of two and
// truncated, the shift is exact and needs no per-word variable shift.
// Returns false when the block holds a denormal, which takes the word rules.
template <typename In> inline bool IeeeToIbmBlock(const In* in, std::uint32_t* out)
{
    std::uint32_t denormal = 0;
    for (std::int64_t i = 0; i < kBlock; ++i) {
        const std::uint32_t w = WordOf(in[i]);
        const std::uint32_t sign = w & 0x80000000u;
        const std::uint32_t e = (w >> 23) & 0xFFu;
        const std::uint32_t mantissa = w & 0x007FFFFFu;
        const std::uint32_t shift = (2u - e) & 3u;
        const float scale = BitsToFloat((127u - shift) << 23);
        const auto significand = static_cast<std::int32_t>(mantissa | 0x00800000u);
        const auto fraction = static_cast<std::uint32_t>(
            static_cast<std::int32_t>(static_cast<float>(significand) * scale));
        const std::uint32_t normal = sign | (((e + 133u) >> 2) << 24) | fraction;
        // Masks rather than branches, so the loop stays one vector path:
        // infinity and NaN give the largest magnitude, a zero stays zero.
        const std::uint32_t top = 0u - static_cast<std::uint32_t>(e == 0xFFu);
        const std::uint32_t zero = 0u - static_cast<std::uint32_t>(e == 0u);
        const std::uint32_t special = sign | (top & 0x7FFFFFFFu);
        out[i] = (normal & ~(top | zero)) | (special & (top | zero));
        denormal |= zero & static_cast<std::uint32_t>(mantissa != 0);
    }
    return denormal == 0;
}

template <typename In> inline void IeeeToIbmBlockExact(const In* in, std::uint32_t* out)
{
    if (!IeeeToIbmBlock(in, out)) {
        for (std::int64_t i = 0; i < kBlock; ++i)
            out[i] = IeeeToIbmBits(WordOf(in[i]));
    }
}

} // namespace

TESSARA_VECTOR_CLONES
void ibm2ieee(std::uint32_t* to, const std::uint32_t* from, std::int64_t count)
{
    std::int64_t i = 0;
    // Through local copies: `to` may be `from`, and a block redone word by
    // word needs its input intact.
    for (; i + kBlock <= count; i += kBlock) {
        std::uint32_t in[kBlock];
        std::uint32_t out[kBlock];
        std::memcpy(in, from + i, sizeof in);
        IbmToIeeeBlockExact(in, out);
        std::memcpy(to + i, out, sizeof out);
    }
    for (; i < count; ++i)
        to[i] = IbmToIeeeBits(from[i]);
}

TESSARA_VECTOR_CLONES
void ieee2ibm(std::uint32_t* to, const std::uint32_t* from, std::int64_t count)
{
    std::int64_t i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        std::uint32_t in[kBlock];
        std::uint32_t out[kBlock];
        std::memcpy(in, from + i, sizeof in);
        IeeeToIbmBlockExact(in, out);
        std::memcpy(to + i, out, sizeof out);
    }
    for (; i < count; ++i)
        to[i] = IeeeToIbmBits(from[i]);
}

namespace
{

// The decoding of DecodeSamples into doubles or floats. Floats take no
// 32-bit integers (code 2), which they would round.
template <typename Out>
[[gnu::always_inline]] inline bool
DecodeInto(int code, const unsigned char* raw, std::int64_t count, bool swapBytes, Out* out)
{
    std::int64_t i = 0;
    std::uint32_t w[kBlock];
    switch (code) {
    case 1:
        for (; i + kBlock <= count; i += kBlock) {
            LoadBlock32(raw + 4 * i, swapBytes, w);
            IbmToIeeeBlockExact(w, out + i);
        }
        for (; i < count; ++i)
            out[i] = BitsToFloat(IbmToIeeeBits(Load32(raw + 4 * i, swapBytes)));
        return true;
    case 5:
        if constexpr (std::is_same_v<Out, float>) {
            // The file's words are the floats: a copy, reversed as needed.
            if (count > 0 && swapBytes)
                CopyReversed32(raw, out, count);
            else if (count > 0)
                std::memcpy(out, raw, 4 * static_cast<std::size_t>(count));
            return true;
        } else {
            // Without byte reversal the plain loop below is already vector code.
            for (; swapBytes && i + kBlock <= count; i += kBlock) {
                CopyReversedBlock(raw + 4 * i, w);
                for (std::int64_t j = 0; j < kBlock; ++j)
                    out[i + j] = BitsToFloat(w[j]);
            }
            for (; i < count; ++i)
                out[i] = BitsToFloat(Load32(raw + 4 * i, swapBytes));
            return true;
        }
    case 2:
        if constexpr (std::is_same_v<Out, float>) {
            return false;
        } else {
            for (; swapBytes && i + kBlock <= count; i += kBlock) {
                CopyReversedBlock(raw + 4 * i, w);
                for (std::int64_t j = 0; j < kBlock; ++j)
                    out[i + j] = static_cast<std::int32_t>(w[j]);
            }
            for (; i < count; ++i)
                out[i] = static_cast<std::int32_t>(Load32(raw + 4 * i, swapBytes));
            return true;
        }
    case 3:
        for (; i < count; ++i)
            out[i] = static_cast<std::int16_t>(Load16(raw + 2 * i, swapBytes));
        return true;
    case 8:
        for (; i < count; ++i)
            out[i] = static_cast<std::int8_t>(raw[i]);
        return true;
    default:
        return false;
    }
}

} // namespace

TESSARA_VECTOR_CLONES
bool DecodeSamples(
    int code, const unsigned char* raw, std::int64_t count, bool swapBytes, double* out)
{
    return DecodeInto(code, raw, count, swapBytes, out);
}

TESSARA_VECTOR_CLONES
bool DecodeSamplesToFloat(
    int code, const unsigned char* raw, std::int64_t count, bool swapBytes, float* out)
{
    return DecodeInto(code, raw, count, swapBytes, out);
}

TESSARA_VECTOR_CLONES
void EncodeSamplesBigEndian(int code, const double* in, std::int64_t count, unsigned char* out)
{
    std::int64_t i = 0;
    std::uint32_t w[kBlock];
    switch (code) {
    case 1:
        for (; i + kBlock <= count; i += kBlock) {
            IeeeToIbmBlockExact(in + i, w);
            CopyReversedBlock(w, out + 4 * i);
        }
        for (; i < count; ++i)
            Store32BigEndian(out + 4 * i, IeeeToIbmBits(FloatToBits(NarrowToFloat(in[i]))));
        return;
    case 2:
        for (; i + kBlock <= count; i += kBlock) {
            for (std::int64_t j = 0; j < kBlock; ++j)
                w[j] = static_cast<std::uint32_t>(TruncateToInt32(in[i + j]));
            CopyReversedBlock(w, out + 4 * i);
        }
        for (; i < count; ++i)
            Store32BigEndian(out + 4 * i, static_cast<std::uint32_t>(TruncateToInt32(in[i])));
        return;
    case 3:
        for (; i < count; ++i) {
            // Not clipped: only the low 16 bits of the 32-bit value are kept.
            const auto v = static_cast<std::uint16_t>(TruncateToInt32(in[i]));
            out[2 * i] = static_cast<unsigned char>(v >> 8);
            out[2 * i + 1] = static_cast<unsigned char>(v & 0xFF);
        }
        return;
    case 8:
        for (; i < count; ++i)
            out[i] = static_cast<unsigned char>(TruncateToInt8(in[i]));
        return;
    default:
        for (; i + kBlock <= count; i += kBlock) {
            for (std::int64_t j = 0; j < kBlock; ++j)
                w[j] = FloatToBits(NarrowToFloat(in[i + j]));
            CopyReversedBlock(w, out + 4 * i);
        }
        for (; i < count; ++i)
            Store32BigEndian(out + 4 * i, FloatToBits(NarrowToFloat(in[i])));
        return;
    }
}

namespace
{

// IBM zero of either sign, or a normalised number (leading hex digit not
// zero) with an exponent byte of 34 to 96: its value is a normal single,
// which holds its 24-bit fraction exactly, and encoding gives back the one
// normalised IBM word of that value.
inline std::uint32_t IbmPassesThrough(std::uint32_t w)
{
    const std::uint32_t e7 = (w >> 24) & 0x7Fu;
    return static_cast<std::uint32_t>((w & 0x7FFFFFFFu) == 0) |
           (static_cast<std::uint32_t>((w & 0x00F00000u) != 0) &
            static_cast<std::uint32_t>(e7 - 34u <= 62u));
}

// Everything but a signalling NaN: all exponent bits, the quiet bit clear
// and a non-zero payload.
inline std::uint32_t IeeePassesThrough(std::uint32_t w)
{
    return static_cast<std::uint32_t>((w & 0x7FC00000u) != 0x7F800000u) |
           static_cast<std::uint32_t>((w & 0x003FFFFFu) == 0);
}

// Whether every one of `count` 32-bit file words passes `test`, tested in
// blocks whose flags fold into one, so that the loops are vector code; the
// first block holding a refused word ends the search.
template <bool swapBytes, typename Test>
[[gnu::always_inline]] inline bool
AllWordsPass(const unsigned char* raw, std::int64_t count, Test test)
{
    std::uint32_t passes = 1;
    std::int64_t i = 0;
    for (; passes != 0 && i + kBlock <= count; i += kBlock) {
        for (std::int64_t j = 0; j < kBlock; ++j)
            passes &= test(Load32(raw + 4 * (i + j), swapBytes));
    }
    for (; i < count; ++i)
        passes &= test(Load32(raw + 4 * i, swapBytes));
    return passes != 0;
}

// Reverses the bytes of `count` 32-bit words. The AVX2 version shuffles the
// bytes of eight words at a time, written out: at -O2 (the packaged build)
// the compiler leaves a plain loop as one scalar bswap per word. The baseline
// keeps the SSE2 reversal of byte_order.h.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target("default"))) void
ReverseWords(const unsigned char* from, unsigned char* to, std::int64_t count)
{
    CopyReversed32(from, to, count);
}

__attribute__((target("avx2"))) void
ReverseWords(const unsigned char* from, unsigned char* to, std::int64_t count)
{
    const __m128i lane = _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    const __m256i order = _mm256_broadcastsi128_si256(lane);
    std::int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 4 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 4 * i), _mm256_shuffle_epi8(x, order));
    }
    for (; i < count; ++i) {
        std::uint32_t v;
        std::memcpy(&v, from + 4 * i, 4);
        v = __builtin_bswap32(v);
        std::memcpy(to + 4 * i, &v, 4);
    }
}
#else
void ReverseWords(const unsigned char* from, unsigned char* to, std::int64_t count)
{
    CopyReversed32(from, to, count);
}
#endif

// Copies 32-bit file words to big-endian when every one passes `test`: the
// file's bytes themselves when reading reverses them, their reversal
// otherwise. `out` may be `raw`.
template <typename Test>
[[gnu::always_inline]] inline bool PassWordsThrough(
    const unsigned char* raw, std::int64_t count, bool swapBytes, unsigned char* out, Test test)
{
    if (count <= 0)
        return true;
    if (swapBytes) {
        if (!AllWordsPass<true>(raw, count, test))
            return false;
        std::memmove(out, raw, static_cast<std::size_t>(4 * count));
    } else {
        if (!AllWordsPass<false>(raw, count, test))
            return false;
        ReverseWords(raw, out, count);
    }
    return true;
}

} // namespace

bool SamplePassesThrough(int code, std::uint32_t word)
{
    switch (code) {
    case 1:
        return IbmPassesThrough(word) != 0;
    case 5:
        return IeeePassesThrough(word) != 0;
    case 2:
    case 3:
    case 8:
        return true;
    default:
        return false;
    }
}

TESSARA_VECTOR_CLONES
bool PassSamplesThrough(
    int code, const unsigned char* raw, std::int64_t count, bool swapBytes, unsigned char* out)
{
    switch (code) {
    case 1:
        return PassWordsThrough(
            raw, count, swapBytes, out, [](std::uint32_t w) { return IbmPassesThrough(w); });
    case 5:
        return PassWordsThrough(
            raw, count, swapBytes, out, [](std::uint32_t w) { return IeeePassesThrough(w); });
    case 2:
        return PassWordsThrough(raw, count, swapBytes, out, [](std::uint32_t) { return 1u; });
    case 3:
        if (count <= 0)
            return true;
        if (swapBytes)
            std::memmove(out, raw, static_cast<std::size_t>(2 * count));
        else
            CopyReversed16(raw, out, count);
        return true;
    case 8:
        if (count > 0)
            std::memmove(out, raw, static_cast<std::size_t>(count));
        return true;
    default:
        return false;
    }
}

namespace
{

constexpr std::array<unsigned char, 256> MakeEbcdicTable()
{
    std::array<unsigned char, 256> t{};
    for (std::size_t i = 0; i < 256; ++i)
        t[i] = i < 0x41 ? static_cast<unsigned char>(i) : 0x2E;
    t[0x30] = t[0x31] = t[0x3E] = 0x2E;
    t[0x3F] = 0x3F;
    t[0x40] = 0x20;
    const auto set = [&t](std::size_t from, const char* ascii) {
        for (std::size_t k = 0; ascii[k] != 0; ++k)
            t[from + k] = static_cast<unsigned char>(ascii[k]);
    };
    set(0x4C, "<(+|");
    set(0x50, "&");
    set(0x5A, "!$*);^");
    set(0x60, "-/");
    set(0x6A, "|,%_>?");
    set(0x7A, ":#@'=\"");
    set(0x81, "abcdefghi");
    set(0x91, "jklmnopqr");
    set(0xA1, "~stuvwxyz");
    set(0xAD, "[");
    set(0xBD, "]");
    set(0xC0, "{ABCDEFGHI");
    set(0xD0, "}JKLMNOPQR");
    set(0xE0, "\\");
    set(0xE2, "STUVWXYZ");
    set(0xF0, "0123456789");
    return t;
}

} // namespace

const std::array<unsigned char, 256> EBCDIC_translate_ASCII = MakeEbcdicTable();

bool CheckEBCDIC(char* text)
{
    auto* bytes = reinterpret_cast<unsigned char*>(text);
    bool isEbcdic = false;
    if (bytes[0] != 0x43) {
        for (int i = 0; i < 3200; ++i) {
            if (bytes[i] >= 0x80) {
                isEbcdic = true;
                break;
            }
        }
    }
    if (isEbcdic) {
        for (int i = 0; i < 3200; ++i)
            bytes[i] = EBCDIC_translate_ASCII[bytes[i]];
    }
    for (int i = 0; i < 3200; ++i) {
        if (bytes[i] < 32 || bytes[i] > 126)
            bytes[i] = 0x20;
    }
    return isEbcdic;
}

} // namespace tessara
