// Read and copy throughput of SEG-Y files through CSegyFileIn / CSegyFileOut,
// beside a plain buffered copy of the same bytes in the same run.
//
//   bench_segy_io [--io_mb=300] [--io_dir=DIR] [--io_rounds=9] [--benchmark_...]
//
// Two files of about --io_mb megabytes each are generated into a fresh folder
// in DIR (default /dev/shm when it exists, else /tmp) with the synthetic
// survey generator: little-endian IEEE and big-endian IBM, 5000 samples a
// trace; plus two a tenth of that size. In /dev/shm (tmpfs) the files and the
// copies live in the page cache, so the figures measure the classes' own cost
// rather than the disk's. Everything is deleted at the end. Throughput is in
// bytes of input per second. A copy writes a real file next to its input,
// removed after each iteration outside the timed region; the plain copy is
// stdio with 1 MiB buffers, a careful copy tool at its best. Ratios are printed
// for wall and CPU time; the limits apply to CPU time, which the other users
// of a shared machine disturb less. peak_MB, the peak resident memory of the
// process during a benchmark (VmHWM, reset before it), shows whether memory
// grows with the file size: compare the small files with the large ones.
// The limits (SEG-Y copy within 1.3x of the plain copy for little-endian
// IEEE and for big-endian IBM) are checked on PairedCopy, which runs both
// copies back to back --io_rounds times; the exit code is 2 when one is missed.

#include "bench/bench_segy_ratio.h"
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"
#include "tools/synth/synth_survey.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
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

/// A plain buffered copy of the file; false on any failure.
bool PlainCopyOnce(const InputFile& f, char* buffer, char* inBuffer, char* outBuffer)
{
    std::FILE* in = std::fopen(f.path.c_str(), "rb");
    std::FILE* out = std::fopen(OutPath().c_str(), "wb");
    if (in == nullptr || out == nullptr) {
        if (in != nullptr)
            (void)std::fclose(in); // read-only
        if (out != nullptr)
            (void)std::fclose(out); // failing anyway
        return false;
    }
    // Large stdio buffers: a plain copy at its best.
    (void)std::setvbuf(in, inBuffer, _IOFBF, kPlainBufferBytes);
    (void)std::setvbuf(out, outBuffer, _IOFBF, kPlainBufferBytes);
    std::size_t got = 0;
    bool ok = true;
    while ((got = std::fread(buffer, 1, kPlainBufferBytes, in)) > 0)
        ok = ok && std::fwrite(buffer, 1, got, out) == got;
    (void)std::fclose(in); // read-only
    return std::fclose(out) == 0 && ok;
}

/// The file copied trace by trace through CSegyFileIn and CSegyFileOut, as
/// the combine job writes its outputs; false on any failure.
bool SegyCopyOnce(const InputFile& f)
{
    CSegyFileIn in;
    CSegyFileOut out;
    if (!in.Open(f.path) || !out.Open(OutPath()))
        return false;
    *out.tapeHeader = *in.tapeHeader;
    out.SetFormat(in.GetFormat());
    out.SetSamples(static_cast<std::uint16_t>(in.GetSamples()));
    out.WriteHeader();
    CSegyTrace trace;
    std::int64_t traces = 0;
    for (;;) {
        const StoredSamples stored = in.ReadStored(trace);
        if (in.atEnd)
            break;
        out.WriteStored(trace, stored);
        ++traces;
    }
    out.Close();
    return !out.bHasFailed() && traces == f.traces;
}

struct PlainBuffers {
    std::unique_ptr<char[]> data = std::make_unique<char[]>(kPlainBufferBytes);
    std::unique_ptr<char[]> in = std::make_unique<char[]>(kPlainBufferBytes);
    std::unique_ptr<char[]> out = std::make_unique<char[]>(kPlainBufferBytes);
};

void PlainCopy(benchmark::State& state, const InputFile* f)
{
    PlainBuffers b;
    for (auto _ : state) {
        if (!PlainCopyOnce(*f, b.data.get(), b.in.get(), b.out.get()))
            state.SkipWithError("plain copy failed");
        RemoveOutput(state);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * f->bytes);
}

void SegyCopy(benchmark::State& state, const InputFile* f)
{
    ResetPeakMemory();
    for (auto _ : state) {
        if (!SegyCopyOnce(*f))
            state.SkipWithError("copy failed");
        RemoveOutput(state);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * f->bytes);
    state.counters["peak_MB"] = PeakMemoryMB();
}

struct Clock {
    double wall;
    double cpu;
};

Clock Now()
{
    timespec wall{};
    timespec cpu{};
    (void)clock_gettime(CLOCK_MONOTONIC, &wall);         // cannot fail for these clocks
    (void)clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu); // user and system time
    return {static_cast<double>(wall.tv_sec) + static_cast<double>(wall.tv_nsec) * 1e-9,
            static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) * 1e-9};
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The plain copy and the SEG-Y copy back to back in every iteration, in
// alternating order, so that both see the same machine; the ratios are the
// medians of the paired ratios. This is what the limits are checked on: a
// shared machine's load drifts between separate benchmarks.
void PairedCopy(benchmark::State& state, const InputFile* f)
{
    PlainBuffers b;
    std::vector<double> wallRatios;
    std::vector<double> cpuRatios;
    std::vector<double> plainCpu;
    std::vector<double> segyCpu;
    bool segyFirst = false;
    for (auto _ : state) {
        Clock plain{};
        Clock segy{};
        for (int k = 0; k < 2; ++k) {
            const bool doSegy = (k == 0) == segyFirst;
            const Clock t0 = Now();
            const bool ok = doSegy ? SegyCopyOnce(*f)
                                   : PlainCopyOnce(*f, b.data.get(), b.in.get(), b.out.get());
            const Clock t1 = Now();
            if (!ok)
                state.SkipWithError("copy failed");
            (doSegy ? segy : plain) = {t1.wall - t0.wall, t1.cpu - t0.cpu};
            RemoveOutput(state);
        }
        segyFirst = !segyFirst;
        wallRatios.push_back(segy.wall / plain.wall);
        cpuRatios.push_back(segy.cpu / plain.cpu);
        plainCpu.push_back(plain.cpu);
        segyCpu.push_back(segy.cpu);
    }
    state.counters["wall_ratio"] = Median(wallRatios);
    state.counters["cpu_ratio"] = Median(cpuRatios);
    state.counters["plain_MBps"] = static_cast<double>(f->bytes) / 1e6 / Median(plainCpu);
    state.counters["segy_MBps"] = static_cast<double>(f->bytes) / 1e6 / Median(segyCpu);
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
    int pairedRounds = 9;
    g_dir = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    // Own flags first; the rest goes to Google Benchmark.
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--io_mb=", 0) == 0)
            megabytes = std::stod(a.substr(8));
        else if (a.rfind("--io_dir=", 0) == 0)
            g_dir = a.substr(9);
        else if (a.rfind("--io_rounds=", 0) == 0)
            pairedRounds = std::max(1, std::stoi(a.substr(12)));
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
    for (const InputFile* f : {&le, &be}) {
        benchmark::RegisterBenchmark(("PairedCopy/" + f->tag).c_str(), PairedCopy, f)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(pairedRounds);
    }

    tessara::bench::CRatioReporter reporter(true);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bool pairedOk = reporter.PrintCounterLimits(
        "Paired rounds (median of " + std::to_string(pairedRounds) +
            " ratios, SEG-Y copy / plain copy; limits on CPU time):",
        {
            {"PairedCopy/" + le.tag, "wall_ratio", "copy, little-endian IEEE, wall", 0},
            {"PairedCopy/" + le.tag, "cpu_ratio", "copy, little-endian IEEE, CPU", 1.3},
            {"PairedCopy/" + be.tag, "wall_ratio", "copy, big-endian IBM, wall", 0},
            {"PairedCopy/" + be.tag, "cpu_ratio", "copy, big-endian IBM, CPU", 1.3},
        });
    const bool ok = reporter.PrintRatios({
        {"SegyRead/" + le.tag, "PlainRead/" + le.tag, "read, little-endian IEEE", 0},
        {"SegyRead/" + be.tag, "PlainRead/" + be.tag, "read, big-endian IBM", 0},
        {"SegyCopy/" + le.tag, "PlainCopy/" + le.tag, "copy, little-endian IEEE", 0},
        {"SegyCopy/" + be.tag, "PlainCopy/" + be.tag, "copy, big-endian IBM", 0},
        {"SegyCopy/" + leSmall.tag,
         "PlainCopy/" + leSmall.tag,
         "copy, little-endian IEEE, small",
         0},
        {"SegyCopy/" + beSmall.tag, "PlainCopy/" + beSmall.tag, "copy, big-endian IBM, small", 0},
    });
    benchmark::Shutdown();
    return ok && pairedOk ? 0 : 2;
}
