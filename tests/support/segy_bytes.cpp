#include "segy_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tessara::test
{

SegyBytes::SegyBytes(bool bigEndian) : m_big(bigEndian) {}

SegyBytes& SegyBytes::Put8(std::size_t offset, int value)
{
    if (m_bytes.size() < offset + 1)
        m_bytes.resize(offset + 1);
    m_bytes[offset] = static_cast<unsigned char>(value & 0xFF);
    return *this;
}

SegyBytes& SegyBytes::Put16(std::size_t offset, int value)
{
    const auto v = static_cast<std::uint16_t>(value);
    if (m_bytes.size() < offset + 2)
        m_bytes.resize(offset + 2);
    const unsigned char hi = static_cast<unsigned char>(v >> 8);
    const unsigned char lo = static_cast<unsigned char>(v & 0xFF);
    m_bytes[offset] = m_big ? hi : lo;
    m_bytes[offset + 1] = m_big ? lo : hi;
    return *this;
}

SegyBytes& SegyBytes::Put32(std::size_t offset, std::int64_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    if (m_bytes.size() < offset + 4)
        m_bytes.resize(offset + 4);
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<unsigned char>((v >> (8 * (3 - i))) & 0xFF);
        m_bytes[offset + static_cast<std::size_t>(m_big ? i : 3 - i)] = byte;
    }
    return *this;
}

SegyBytes& SegyBytes::FileHeader(int formatCode,
                                 int samplesPerTrace,
                                 int sampleIntervalUs,
                                 const std::string& text)
{
    m_bytes.assign(3600, 0);
    if (text.size() == 3200) {
        std::memcpy(m_bytes.data(), text.data(), 3200);
    } else {
        std::memset(m_bytes.data(), ' ', 3200);
        std::memcpy(m_bytes.data(), text.data(), std::min<std::size_t>(text.size(), 3200));
    }
    Put16(3216, sampleIntervalUs);
    Put16(3220, samplesPerTrace);
    Put16(3224, formatCode);
    return *this;
}

SegyBytes& SegyBytes::TraceHeader(int sampleCount, int sampleIntervalUs)
{
    m_lastTrace = m_bytes.size();
    m_bytes.resize(m_bytes.size() + 240, 0);
    Put16(m_lastTrace + 114, sampleCount);
    Put16(m_lastTrace + 116, sampleIntervalUs);
    return *this;
}

SegyBytes& SegyBytes::TraceTime(int year, int day, int hour, int minute, int second, int ms)
{
    Trace16(156, year);
    Trace16(158, day);
    Trace16(160, hour);
    Trace16(162, minute);
    Trace16(164, second);
    Trace16(166, ms);
    return *this;
}

std::uint32_t SegyBytes::IbmWordOf(double value)
{
    if (value == 0.0)
        return std::signbit(value) ? 0x80000000u : 0u;
    const std::uint32_t sign = value < 0 ? 0x80000000u : 0u;
    double m = std::fabs(value);
    int e = 64;
    while (m >= 1.0) {
        m /= 16.0;
        ++e;
    }
    while (m < 1.0 / 16.0) {
        m *= 16.0;
        --e;
    }
    const auto fraction = static_cast<std::uint32_t>(m * 16777216.0); // truncates
    return sign | (static_cast<std::uint32_t>(e) << 24) | fraction;
}

double SegyBytes::ValueOfIbmWord(std::uint32_t w)
{
    const double sign = (w & 0x80000000u) ? -1.0 : 1.0;
    const int e = static_cast<int>((w >> 24) & 0x7F) - 64;
    const double f = (w & 0x00FFFFFFu) / 16777216.0;
    return sign * f * std::pow(16.0, e);
}

SegyBytes& SegyBytes::Samples(int formatCode, const std::vector<double>& values)
{
    std::size_t at = m_bytes.size();
    for (double v : values) {
        switch (formatCode) {
        case 1:
            Put32(at, IbmWordOf(v));
            at += 4;
            break;
        case 2:
            Put32(at, static_cast<std::int32_t>(v));
            at += 4;
            break;
        case 3:
            Put16(at, static_cast<std::int16_t>(v));
            at += 2;
            break;
        case 5: {
            const float f = static_cast<float>(v);
            std::uint32_t bits;
            std::memcpy(&bits, &f, 4);
            Put32(at, bits);
            at += 4;
            break;
        }
        case 8:
            Put8(at, static_cast<std::int8_t>(v));
            at += 1;
            break;
        default:
            break;
        }
    }
    return *this;
}

SegyBytes& SegyBytes::Raw(const std::vector<unsigned char>& bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

bool SegyBytes::WriteTo(const std::string& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(m_bytes.data()),
              static_cast<std::streamsize>(m_bytes.size()));
    return static_cast<bool>(out);
}

std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Get16BE(const std::vector<unsigned char>& b, std::size_t offset)
{
    return static_cast<std::int16_t>((b.at(offset) << 8) | b.at(offset + 1));
}

std::int32_t Get32BE(const std::vector<unsigned char>& b, std::size_t offset)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(b.at(offset)) << 24) |
                                     (static_cast<std::uint32_t>(b.at(offset + 1)) << 16) |
                                     (static_cast<std::uint32_t>(b.at(offset + 2)) << 8) |
                                     b.at(offset + 3));
}

std::string SharedSegyDir()
{
    const std::filesystem::path dir = std::filesystem::path(TESSARA_SHARED_DATA) / "segy";
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) ? dir.string() : std::string();
}

} // namespace tessara::test
