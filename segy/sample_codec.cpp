#include "sample_codec.h"

#include "byte_order.h"

#include <cmath>
#include <cstring>

namespace tessara {

std::uint32_t IbmToIeeeWord(std::uint32_t w)
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

std::uint32_t IeeeToIbmWord(std::uint32_t w)
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

void ibm2ieee(std::uint32_t* to, const std::uint32_t* from, std::int64_t count)
{
    for (std::int64_t i = 0; i < count; ++i)
        to[i] = IbmToIeeeWord(from[i]);
}

void ieee2ibm(std::uint32_t* to, const std::uint32_t* from, std::int64_t count)
{
    for (std::int64_t i = 0; i < count; ++i)
        to[i] = IeeeToIbmWord(from[i]);
}

namespace {

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
// the conversion defined for every double.
inline float NarrowToFloat(double x)
{
    constexpr double kOverflow = 0x1.ffffffp127; // FLT_MAX plus half an ulp
    if (x >= kOverflow)
        return HUGE_VALF;
    if (x <= -kOverflow)
        return -HUGE_VALF;
    return static_cast<float>(x);
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

inline void Store32BigEndian(unsigned char* p, std::uint32_t v)
{
    v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

} // namespace

bool DecodeSamples(int code,
                   const unsigned char* raw,
                   std::int64_t count,
                   bool swapBytes,
                   double* out)
{
    switch (code) {
    case 1:
        for (std::int64_t i = 0; i < count; ++i)
            out[i] = BitsToFloat(IbmToIeeeWord(Load32(raw + 4 * i, swapBytes)));
        return true;
    case 5:
        for (std::int64_t i = 0; i < count; ++i)
            out[i] = BitsToFloat(Load32(raw + 4 * i, swapBytes));
        return true;
    case 2:
        for (std::int64_t i = 0; i < count; ++i)
            out[i] = static_cast<std::int32_t>(Load32(raw + 4 * i, swapBytes));
        return true;
    case 3:
        for (std::int64_t i = 0; i < count; ++i)
            out[i] = static_cast<std::int16_t>(Load16(raw + 2 * i, swapBytes));
        return true;
    case 8:
        for (std::int64_t i = 0; i < count; ++i)
            out[i] = static_cast<std::int8_t>(raw[i]);
        return true;
    default:
        return false;
    }
}

void EncodeSamplesBigEndian(int code, const double* in, std::int64_t count, unsigned char* out)
{
    switch (code) {
    case 1:
        for (std::int64_t i = 0; i < count; ++i)
            Store32BigEndian(out + 4 * i, IeeeToIbmWord(FloatToBits(NarrowToFloat(in[i]))));
        return;
    case 2:
        for (std::int64_t i = 0; i < count; ++i)
            Store32BigEndian(out + 4 * i, static_cast<std::uint32_t>(TruncateToInt32(in[i])));
        return;
    case 3:
        for (std::int64_t i = 0; i < count; ++i) {
            // Not clipped: only the low 16 bits of the 32-bit value are kept.
            const auto v = static_cast<std::uint16_t>(TruncateToInt32(in[i]));
            out[2 * i] = static_cast<unsigned char>(v >> 8);
            out[2 * i + 1] = static_cast<unsigned char>(v & 0xFF);
        }
        return;
    case 8:
        for (std::int64_t i = 0; i < count; ++i)
            out[i] = static_cast<unsigned char>(TruncateToInt8(in[i]));
        return;
    default:
        for (std::int64_t i = 0; i < count; ++i)
            Store32BigEndian(out + 4 * i, FloatToBits(NarrowToFloat(in[i])));
        return;
    }
}

namespace {

constexpr std::array<unsigned char, 256> MakeEbcdicTable()
{
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = i < 0x41 ? static_cast<unsigned char>(i) : 0x2E;
    t[0x30] = t[0x31] = t[0x3E] = 0x2E;
    t[0x3F] = 0x3F;
    t[0x40] = 0x20;
    const auto set = [&t](int from, const char* ascii) {
        for (int k = 0; ascii[k] != 0; ++k)
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
