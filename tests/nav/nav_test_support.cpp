#include "tests/nav/nav_test_support.h"

#include "tests/support/segy_bytes.h"

#include <cstring>

namespace tessara::test
{

std::vector<FixSpec> LineFixes(int count, int stepMetres)
{
    std::vector<FixSpec> fixes;
    for (int i = 0; i < count; ++i) {
        FixSpec f;
        f.x = 500000 + static_cast<std::int64_t>(i) * stepMetres;
        f.y = 6000000;
        f.hour = 12 + i / 3600;
        f.minute = i / 60 % 60;
        f.second = i % 60;
        f.sequence = i + 1;
        fixes.push_back(f);
    }
    return fixes;
}

bool WriteFixFile(const std::string& path, const std::vector<FixSpec>& fixes, bool bigEndian)
{
    SegyBytes b(bigEndian);
    b.FileHeader(5, 4, 100);
    for (std::size_t k = 0; k < fixes.size(); ++k) {
        const FixSpec& f = fixes[k];
        const double v = static_cast<double>(k) + 1.0;
        b.TraceHeader(4, 100)
            .Trace32(0, static_cast<std::int64_t>(k) + 1)
            .Trace32(4, f.sequence)
            .Trace16(70, f.scalar)
            .Trace32(72, f.x)
            .Trace32(76, f.y)
            .Trace16(88, f.units)
            .Trace16(108, f.delay)
            .TraceTime(f.year, f.day, f.hour, f.minute, f.second, f.ms)
            .Samples(5, {v, v + 0.25, v + 0.5, v + 0.75});
    }
    return b.WriteTo(path);
}

std::vector<TraceFields> ReadBackTraces(const std::string& path)
{
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    std::vector<TraceFields> traces;
    constexpr std::size_t kRecord = 240 + 4 * 4;
    for (std::size_t at = 3600; at + kRecord <= bytes.size(); at += kRecord) {
        TraceFields t;
        t.source = Get32BE(bytes, at + 0);
        t.scalar = Get16BE(bytes, at + 70);
        t.x = Get32BE(bytes, at + 72);
        t.y = Get32BE(bytes, at + 76);
        t.units = Get16BE(bytes, at + 88);
        t.year = Get16BE(bytes, at + 156);
        t.day = Get16BE(bytes, at + 158);
        t.hour = Get16BE(bytes, at + 160);
        t.minute = Get16BE(bytes, at + 162);
        t.second = Get16BE(bytes, at + 164);
        t.ms = Get16BE(bytes, at + 166);
        const auto word = static_cast<std::uint32_t>(Get32BE(bytes, at + 240));
        std::memcpy(&t.firstSample, &word, 4);
        traces.push_back(t);
    }
    return traces;
}

} // namespace tessara::test
