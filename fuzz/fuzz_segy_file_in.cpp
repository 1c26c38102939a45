// libFuzzer target: arbitrary bytes as a SEG-Y file through CSegyFileIn
// (Open, sequential Read to the end, Rewind, random-access Read by index,
// reading into a released trace) and the traces read through CSegyFileOut.
// Besides the sanitizers it checks the reader's promises: no trace from a
// file that failed to open, every delivered trace whole and sized to its
// header, never more traces than the file has room for.
//
// Build with clang in its own tree and run it on a scratch copy of the seed
// corpus; undefined behaviour counts as a crash only with halt_on_error:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTESSARA_FUZZ=ON
//   cmake --build build-fuzz --target fuzz_segy_file_in
//   mkdir -p /tmp/segy-corpus && cp fuzz/corpus/* /tmp/segy-corpus/
//   export UBSAN_OPTIONS=halt_on_error=1
//   build-fuzz/fuzz/fuzz_segy_file_in /tmp/segy-corpus -max_total_time=240 -max_len=20000
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace
{

using namespace tessara;

// Files live in memory: one memfd each for the input and the output, reused
// by every run and reached through /proc so that the classes open them by path.
struct MemFile {
    int fd = -1;
    std::string path;

    explicit MemFile(const char* name)
    {
        fd = memfd_create(name, 0);
        if (fd < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path = "/proc/self/fd/" + std::to_string(fd);
    }

    void Fill(const std::uint8_t* data, std::size_t size) const
    {
        if (ftruncate(fd, 0) != 0 ||
            (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
            std::perror("memfd write");
            std::abort();
        }
    }
};

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

/// A delivered trace must be whole: a header and numSamples = sampleCount
/// samples, with the two spare values the trace record keeps.
void CheckTrace(const CSegyTrace& t)
{
    Require(t.header != nullptr, "delivered trace has a header");
    Require(t.numSamples == t.header->sampleCount, "numSamples equals the header's sampleCount");
    Require(t.samples.size() >= static_cast<std::size_t>(t.numSamples),
            "sample storage holds numSamples values");
    double sum = 0;
    for (std::uint32_t i = 0; i < t.numSamples; ++i)
        sum += t.samples[i]; // reads every sample: ASan sees any short storage
    (void)sum;
    (void)CSegyFileIn::sensibleHeaderValues(t);
}

/// A trace index taken from the last bytes of the data: 32-bit ones as a
/// caller might compute them, and any 64-bit value.
std::int64_t Index32From(const std::uint8_t* data, std::size_t size, std::size_t at)
{
    std::int32_t v = 0;
    if (size >= at + 4)
        std::memcpy(&v, data + size - at - 4, 4);
    return v;
}

std::int64_t Index64From(const std::uint8_t* data, std::size_t size)
{
    std::int64_t v = 0;
    if (size >= 8)
        std::memcpy(&v, data + size - 8, 8);
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const MemFile input("segy-in");
    static const MemFile output("segy-out");
    input.Fill(data, size);

    CSegyFileIn in;
    CSegyTrace trace;
    if (!in.Open(input.path)) {
        // A file that failed to open delivers nothing, sequentially or by index.
        in.Read(trace, -1);
        Require(in.atEnd, "no trace from a file that failed to open");
        in.Read(trace, 0);
        Require(in.atEnd, "no trace by index from a file that failed to open");
        return 0;
    }
    Require(in.bytesPerSample == 1 || in.bytesPerSample == 2 || in.bytesPerSample == 4,
            "bytes per sample of an open file");

    // Every trace record is at least its 240-byte header.
    const std::int64_t maxTraces =
        size >= 3600 ? static_cast<std::int64_t>((size - 3600) / 240) : 0;

    CSegyFileOut out;
    const bool writing = out.Open(output.path);
    if (writing) {
        *out.tapeHeader = *in.tapeHeader;
        out.SetFormat(in.GetFormat());
        out.SetSamples(static_cast<std::uint16_t>(in.GetSamples()));
        out.WriteHeader();
    }

    std::int64_t count = 0;
    for (;;) {
        in.Read(trace, -1);
        if (in.atEnd)
            break;
        CheckTrace(trace);
        ++count;
        Require(count <= maxTraces, "no more traces than the file has room for");
        Require(in.currentTrace == count, "currentTrace counts the traces delivered");
        if (writing && count <= 8)
            out.Write(trace);
    }
    Require(in.atEnd, "the end is reported");
    if (writing) {
        out.Close();
        Require(!out.bHasFailed(), "writing to memory does not fail");
    }

    // Again from the start: the same number of traces.
    in.Rewind();
    Require(!in.atEnd && in.currentTrace == 0, "Rewind goes back to the first trace");
    std::int64_t again = 0;
    for (;;) {
        in.Read(trace, -1);
        if (in.atEnd)
            break;
        CheckTrace(trace);
        ++again;
    }
    Require(again == count, "a second pass reads as many traces");

    // Random access: the edges of the file and indices taken from the data.
    const std::int64_t indices[] = {0,
                                    1,
                                    in.traceCount - 2,
                                    in.traceCount - 1,
                                    in.traceCount,
                                    in.traceCount + 1,
                                    -1,
                                    Index32From(data, size, 0),
                                    Index32From(data, size, 4),
                                    Index64From(data, size)};
    for (const std::int64_t index : indices) {
        in.Read(trace, index);
        if (!in.atEnd)
            CheckTrace(trace);
        // Past the last whole trace of a constant-length file there is nothing
        // to read: the read must not deliver a trace from somewhere else.
        if (in.constantLength && index > in.traceCount)
            Require(in.atEnd, "no trace beyond the end by index");
    }

    // A released trace can be read into again.
    trace.Delete();
    in.Rewind();
    in.Read(trace, -1);
    if (!in.atEnd)
        CheckTrace(trace);

    in.Close();
    in.Read(trace, -1);
    Require(in.atEnd, "no trace after Close");
    return 0;
}
