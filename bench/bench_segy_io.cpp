// Read and copy throughput of SEG-Y files through CSegyFileIn / CSegyFileOut,
// beside a plain buffered copy of the same bytes in the same run.
//
//   bench_segy_io [--io_mb=300] [--io_dir=DIR] [--benchmark_repetitions=N]
//
// Two files of about --io_mb megabytes each are generated into a fresh folder
// in DIR (default /dev/shm when it exists, else /tmp) with the synthetic
// survey generator: little-endian IEEE and big-endian IBM, 5000 samples a
// trace; plus two a tenth of that size. In /dev/shm (tmpfs) the files and the
// copies live in the page cache, so the figures measure the classes' own cost
// rather than the disk's. Everything is deleted at the end. Throughput is in
// bytes of input per second. A copy writes a real file next to its input,
// removed after each iteration outside the timed region; the plain copy uses
// the same stdio buffering (1 MiB) as the SEG-Y classes. Ratios are printed
// for wall and CPU time; the limits apply to CPU time, which the other users
// of a shared machine disturb less. peak_MB, the peak resident memory of the
// process during a benchmark (VmHWM, reset before it), shows whether memory
// grows with the file size: compare the small files with the large ones.

#include "bench/bench_segy_ratio.h"
#include "segy/segy_file_in.h"
#include "segy/segy_file_out.h"
#include "tools/synth/synth_survey.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

using namespace tessara;

constexpr std::size_t kPlainBufferBytes = 1 << 20; // as the SEG-Y classes' stream buffer

struct InputFile {
    std::string tag; // le_ieee_300MB ...
    std::string path;
    std::int64_t bytes = 0;
    std::int64_t traces = 0;
};

std::string g_dir;

std::string OutPath()
{
    return g_dir + "/bench_copy_out.sgy";
}

/// Forgets the peak resident set so far (Linux: "5" to clear_refs).
void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

/// Peak resident set since the last reset, in MB.
double PeakMemoryMB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return -1;
}

void RemoveOutput(benchmark::State& state)
{
    state.PauseTiming();
    std::filesystem::remove(OutPath());
    state.ResumeTiming();
}

void PlainRead(benchmark::State& state, const InputFile* f)
{
    auto buffer = std::make_unique<char[]>(kPlainBufferBytes);
    for (auto _ : state) {
        std::FILE* in = std::fopen(f->path.c_str(), "rb");
        std::int64_t total = 0;
        std::size_t got = 0;
        while ((got = std::fread(buffer.get(), 1, kPlainBufferBytes, in)) > 0)
            total += static_cast<std::int64_t>(got);
        (void)std::fclose(in); // read-only
        if (total != f->bytes)
            state.SkipWithError("short plain read");
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * f->bytes);
}

void SegyRead(benchmark::State& state, const InputFile* f)
{
    ResetPeakMemory();
    for (auto _ : state) {
        CSegyFileIn in;
        if (!in.Open(f->path)) {
            state.SkipWithError("cannot open");
            break;
        }
        CSegyTrace trace;
        std::int64_t traces = 0;
        for (;;) {
            in.Read(trace, -1);
            if (in.atEnd)
                break;
            ++traces;
            benchmark::DoNotOptimize(trace.samples.data());
        }
        if (traces != f->traces)
            state.SkipWithError("wrong trace count");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * f->bytes);
    state.counters["peak_MB"] = PeakMemoryMB();
}

void PlainCopy(benchmark::State& state, const InputFile* f)
{
    auto buffer = std::make_unique<char[]>(kPlainBufferBytes);
    auto inBuffer = std::make_unique<char[]>(kPlainBufferBytes);
    auto outBuffer = std::make_unique<char[]>(kPlainBufferBytes);
    for (auto _ : state) {
        std::FILE* in = std::fopen(f->path.c_str(), "rb");
        std::FILE* out = std::fopen(OutPath().c_str(), "wb");
        if (in == nullptr || out == nullptr) {
            state.SkipWithError("cannot open");
            break;
        }
        // The same stdio buffering as the SEG-Y classes.
        (void)std::setvbuf(in, inBuffer.get(), _IOFBF, kPlainBufferBytes);
        (void)std::setvbuf(out, outBuffer.get(), _IOFBF, kPlainBufferBytes);
        std::size_t got = 0;
        bool ok = true;
        while ((got = std::fread(buffer.get(), 1, kPlainBufferBytes, in)) > 0)
            ok = ok && std::fwrite(buffer.get(), 1, got, out) == got;
        (void)std::fclose(in); // read-only
        ok = std::fclose(out) == 0 && ok;
        if (!ok)
            state.SkipWithError("plain copy failed");
        RemoveOutput(state);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * f->bytes);
}

void SegyCopy(benchmark::State& state, const InputFile* f)
{
    ResetPeakMemory();
    for (auto _ : state) {
        CSegyFileIn in;
        CSegyFileOut out;
        if (!in.Open(f->path) || !out.Open(OutPath())) {
            state.SkipWithError("cannot open");
            break;
        }
        *out.tapeHeader = *in.tapeHeader;
        out.SetFormat(in.GetFormat());
        out.SetSamples(static_cast<std::uint16_t>(in.GetSamples()));
        out.WriteHeader();
        CSegyTrace trace;
        std::int64_t traces = 0;
        for (;;) {
            in.Read(trace, -1);
            if (in.atEnd)
                break;
            out.Write(trace);
            ++traces;
        }
        out.Close();
        if (out.bHasFailed() || traces != f->traces)
            state.SkipWithError("copy failed");
        RemoveOutput(state);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * f->bytes);
    state.counters["peak_MB"] = PeakMemoryMB();
}

bool Generate(InputFile& f, const std::string& tag, bool bigEndian, int format, double megabytes)
{
    synth::SurveyOptions o;
    o.outDir = g_dir;
    o.fileCount = 1;
    o.bigEndian = bigEndian;
    o.formatCode = format;
    o.ebcdicText = bigEndian;
    o.samplesPerTrace = 5000;
    o.sampleIntervalUs = 20;
    o.firstSequence = tag == "le_ieee" ? 1 : tag == "be_ibm" ? 2 : tag == "le_ieee_small" ? 3 : 4;
    o.tracesPerFile = static_cast<int>(megabytes * 1e6 / (240 + 4 * 5000));
    const synth::SurveyResult r = synth::WriteSurvey(o);
    if (!r.ok) {
        std::fprintf(stderr, "bench_segy_io: %s\n", r.error.c_str());
        return false;
    }
    f.path = r.files[0].path.string();
    f.bytes = r.files[0].bytes;
    f.traces = r.files[0].traces;
    char name[64];
    std::snprintf(name, sizeof name, "%s_%.0fMB", tag.c_str(), static_cast<double>(f.bytes) / 1e6);
    f.tag = name;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    double megabytes = 300;
    g_dir = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    // Own flags first; the rest goes to Google Benchmark.
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--io_mb=", 0) == 0)
            megabytes = std::stod(a.substr(8));
        else if (a.rfind("--io_dir=", 0) == 0)
            g_dir = a.substr(9);
        else
            rest.push_back(argv[i]);
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data()))
        return 1;

    std::string templ = g_dir + "/bench_segy_io_XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) {
        std::perror("bench_segy_io: mkdtemp");
        return 1;
    }
    g_dir = templ;
    struct Cleanup {
        ~Cleanup()
        {
            std::error_code ignored; // best effort: the run's figures are out already
            std::filesystem::remove_all(g_dir, ignored);
        }
    } cleanup;

    static InputFile le, be, leSmall, beSmall;
    if (!Generate(le, "le_ieee", false, 5, megabytes) ||
        !Generate(be, "be_ibm", true, 1, megabytes) ||
        !Generate(leSmall, "le_ieee_small", false, 5, megabytes / 10) ||
        !Generate(beSmall, "be_ibm_small", true, 1, megabytes / 10))
        return 1;

    const auto add = [](const std::string& name, auto fn, const InputFile* f) {
        benchmark::RegisterBenchmark(name.c_str(), fn, f)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0);
    };
    for (const InputFile* f : {&le, &be}) {
        add("PlainRead/" + f->tag, PlainRead, f);
        add("SegyRead/" + f->tag, SegyRead, f);
        add("PlainCopy/" + f->tag, PlainCopy, f);
        add("SegyCopy/" + f->tag, SegyCopy, f);
    }
    for (const InputFile* f : {&leSmall, &beSmall}) {
        add("PlainCopy/" + f->tag, PlainCopy, f);
        add("SegyCopy/" + f->tag, SegyCopy, f);
    }

    tessara::bench::CRatioReporter reporter(true);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bool ok = reporter.PrintRatios({
        {"SegyRead/" + le.tag, "PlainRead/" + le.tag, "read, little-endian IEEE", 0},
        {"SegyRead/" + be.tag, "PlainRead/" + be.tag, "read, big-endian IBM", 0},
        {"SegyCopy/" + le.tag, "PlainCopy/" + le.tag, "copy, little-endian IEEE", 1.3},
        {"SegyCopy/" + be.tag, "PlainCopy/" + be.tag, "copy, big-endian IBM", 1.5},
        {"SegyCopy/" + leSmall.tag,
         "PlainCopy/" + leSmall.tag,
         "copy, little-endian IEEE, small",
         0},
        {"SegyCopy/" + beSmall.tag, "PlainCopy/" + beSmall.tag, "copy, big-endian IBM, small", 0},
    });
    benchmark::Shutdown();
    return ok ? 0 : 2;
}
