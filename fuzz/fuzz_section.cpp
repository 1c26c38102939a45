// libFuzzer target: trace records of any bytes through the section reducer
// with the picture options decoded from the first bytes. The options choose
// the grid (1..64 cells each way), the sample format and byte order of the
// file, AGC, clip percentile, trace range and step, time window, waterfall,
// and a stop from the progress; every further byte is the traces, after a
// file header the target writes (its sample count and interval those of the
// first trace header, or a count of 0). Besides the sanitizers it checks the
// promises: a section has a grid of the cells asked for, values that are
// numbers or NaN (none reached), a clip level that is a number, traces shown
// within the file; no section has no grid; two readers give the grid of one,
// and so does the list of the file's traces.
//
// Build with clang in its own tree and run it on a scratch copy of the seed
// corpus; undefined behaviour counts as a crash only with halt_on_error:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTESSARA_FUZZ=ON
//   cmake --build build-fuzz --target fuzz_section
//   mkdir -p /tmp/section-corpus && cp fuzz/section_corpus/* /tmp/section-corpus/
//   export UBSAN_OPTIONS=halt_on_error=1
//   build-fuzz/fuzz/fuzz_section /tmp/section-corpus -max_total_time=240 -max_len=20000
#include "section/section_file.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace
{

using namespace tessara;

constexpr std::size_t kOptionBytes = 13;
constexpr std::size_t kFileHeader = 3600;

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

int Get16(const std::uint8_t* at)
{
    return static_cast<std::int16_t>((at[0] << 8) | at[1]);
}

/// The option bytes: 0 columns - 1, 1 rows - 1 (both mod 64), 2 flags, 3 the
/// sample format (mod 5 of 1, 2, 3, 5, 8), 4 the clip percentile in 256ths,
/// 5 the AGC window in ms, 6 the first trace, 7 the last (0: the file's),
/// 8-9 and 10-11 the time window in ms (big-endian, signed), 12 the step.
struct Decoded {
    SectionOptions options;
    int format = 1;
    bool littleEndian = false;
    bool zeroCount = false; ///< the binary header declares no samples
    int stopAfter = -1;     ///< progress calls before a stop; -1 never
};

Decoded Decode(const std::uint8_t* d)
{
    enum Flags {
        kWaterfall = 1,
        kAgc = 2,
        kLittleEndian = 4,
        kTimeWindow = 8,
        kTraceRange = 16,
        kZeroCount = 32,
        kStop = 64,
    };
    constexpr int kFormats[] = {1, 2, 3, 5, 8};
    Decoded r;
    SectionOptions& o = r.options;
    o.columns = 1 + d[0] % 64;
    o.rows = 1 + d[1] % 64;
    o.waterfall = (d[2] & kWaterfall) != 0;
    if ((d[2] & kAgc) != 0) {
        o.gain = SectionGain::Agc;
        o.agcWindowMs = 1 + d[5];
    }
    r.littleEndian = (d[2] & kLittleEndian) != 0;
    r.zeroCount = (d[2] & kZeroCount) != 0;
    r.stopAfter = (d[2] & kStop) != 0 ? d[12] >> 4 : -1;
    r.format = kFormats[d[3] % 5];
    o.clipPercent = (d[4] + 1) * 100.0 / 256.0;
    if ((d[2] & kTraceRange) != 0) {
        o.firstTrace = 1 + d[6] % 16;
        o.lastTrace = d[7] == 0 ? 0 : o.firstTrace + d[7] % 32;
    }
    if ((d[2] & kTimeWindow) != 0 && !o.waterfall) {
        o.startMs = Get16(d + 8);
        o.endMs = Get16(d + 10);
    }
    o.traceStep = 1 + (d[12] & 3);
    return r;
}

void Put16(unsigned char* at, int value, bool littleEndian)
{
    const auto hi = static_cast<unsigned char>((value >> 8) & 0xFF);
    const auto lo = static_cast<unsigned char>(value & 0xFF);
    at[0] = littleEndian ? lo : hi;
    at[1] = littleEndian ? hi : lo;
}

/// A file header for `traces`, which follow it.
std::vector<unsigned char> BuildFile(const Decoded& c, const std::uint8_t* traces, std::size_t size)
{
    std::vector<unsigned char> file(kFileHeader + size, 0);
    std::memset(file.data(), ' ', 3200);
    file[0] = 'C';
    // The first trace header's count (bytes 114-115) and interval (116-117).
    int samples = 0;
    int interval = 100;
    if (size >= 118) {
        const bool le = c.littleEndian;
        samples = le ? traces[114] | traces[115] << 8 : traces[114] << 8 | traces[115];
        interval = le ? traces[116] | traces[117] << 8 : traces[116] << 8 | traces[117];
    }
    Put16(&file[3216], interval, c.littleEndian);
    Put16(&file[3220], c.zeroCount ? 0 : samples, c.littleEndian);
    Put16(&file[3224], c.format, c.littleEndian);
    if (size > 0)
        std::memcpy(file.data() + kFileHeader, traces, size);
    return file;
}

/// The file in memory, reached through /proc so that the reader (two of
/// them) opens it by path; reused by every run.
struct MemFile {
    int fd = -1;
    std::string path;

    MemFile()
    {
        fd = memfd_create("section", 0);
        if (fd < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path = "/proc/self/fd/" + std::to_string(fd);
    }

    void Fill(const std::vector<unsigned char>& bytes) const
    {
        if (ftruncate(fd, 0) != 0 ||
            pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
            std::perror("memfd write");
            std::abort();
        }
    }
};

bool SameValue(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

void RequireSameGrid(const Section& got, const Section& want, const char* what)
{
    Require(got.status == want.status && got.cells.size() == want.cells.size() &&
                got.clip == want.clip && got.anyNegative == want.anyNegative &&
                got.fileTraces == want.fileTraces && got.lastTrace == want.lastTrace,
            what);
    for (std::size_t k = 0; k < want.cells.size(); ++k)
        Require(SameValue(got.cells[k], want.cells[k]), what);
}

void CheckSection(const Section& s, const SectionOptions& o)
{
    if (s.status != SectionStatus::Ok) {
        Require(s.cells.empty(), "no grid without a section");
        return;
    }
    const SectionFrame& f = s.frame;
    Require(f.columns == o.columns && f.rows == o.rows, "the grid of the cells asked for");
    Require(s.cells.size() ==
                static_cast<std::size_t>(f.columns) * static_cast<std::size_t>(f.rows),
            "every cell held");
    Require(s.waterfall || s.columnTraces.size() == static_cast<std::size_t>(f.columns),
            "a trace origin per column");
    Require(std::isfinite(s.clip) && s.clip >= 0.0, "the clip level is a number");
    Require(s.firstTrace >= 1 && s.firstTrace <= s.lastTrace && s.lastTrace <= s.fileTraces,
            "the traces shown lie in the file");
    Require(f.endMs > f.startMs, "the time span is not empty");
    for (int c = 0; c < f.columns; ++c) {
        for (int r = 0; r < f.rows; ++r) {
            const float v = s.Cell(c, r);
            Require(std::isnan(v) || std::isfinite(v), "a cell is a number or none");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < kOptionBytes)
        return 0;
    const Decoded c = Decode(data);
    static const MemFile file;
    file.Fill(BuildFile(c, data + kOptionBytes, size - kOptionBytes));

    SectionOptions one = c.options;
    one.readers = 1;
    int calls = 0;
    const SectionProgress stop = [&](std::int64_t done, std::int64_t all) {
        Require(done >= 0 && done <= all, "progress within the traces");
        return c.stopAfter < 0 || calls++ < c.stopAfter;
    };
    const Section s = BuildSection(file.path, one, stop);
    CheckSection(s, one);
    if (s.status != SectionStatus::Ok || c.stopAfter >= 0)
        return 0; // a stopped grid is whatever was reduced by then

    SectionOptions two = c.options;
    two.readers = 2;
    RequireSameGrid(BuildSection(file.path, two), s, "two readers give the grid of one");
    CSegyFileIn in;
    Require(in.Open(file.path), "a file with a section opens");
    const std::vector<FileTrace> listed = ReadFileTraces(in);
    RequireSameGrid(BuildSection(file.path, two, listed, {}),
                    s,
                    "the list of the file's traces gives the grid of reading them");
    return 0;
}
