// The viewer's first picture of a large composite, on the offscreen platform:
// the time from asking for the file to the first picture on screen, and to
// the whole picture (and, after it, to the track beside it), for an IEEE little-endian and an IBM
// big-endian file of 5000 samples per trace written by tessara-synth, each round beside `cat FILE
// >/dev/null` run just before it. Targets: the first picture within 2 s for 2 GB, the whole picture
// within 2.5x cat (the median of the ratios taken within each round: on a machine shared with other
// work the load then weighs on both sides of a ratio alike). The viewer's cpu time (all its
// threads, until the whole picture) is given beside: on a busy machine it
// tells more of the work done than the wall time.
//
//   QT_QPA_PLATFORM=offscreen bench_viewer [TOTAL_BYTES] [ROUNDS]
//
// TOTAL_BYTES defaults to 2000000000, ROUNDS to 5. The files live under
// /dev/shm and are removed at the end; the page cache is warm, as it is
// right after a job wrote the file.
#include "ui/section_viewer.h"

#include <gsl/gsl_errno.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

/// One file of about `totalBytes` written by the generator's benchmark
/// preset with `options` added; exits on failure.
fs::path Generate(const fs::path& dir, std::int64_t totalBytes, const std::string& options)
{
    const std::string command = std::string("\"") + TESSARA_SYNTH + "\" --out \"" + dir.string() +
                                "\" --preset big --files 1 --total-bytes " +
                                std::to_string(totalBytes) + " " + options + " >/dev/null";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "bench_viewer: tessara-synth failed\n");
        std::exit(1);
    }
    for (const auto& entry : fs::directory_iterator(dir))
        return entry.path();
    std::fprintf(stderr, "bench_viewer: tessara-synth wrote nothing\n");
    std::exit(1);
}

void WarmCache(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> block(1 << 20);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())))
        ;
}

struct Times {
    double firstS = 0.0;
    double wholeS = 0.0;
    double cpuS = 0.0;   ///< user and system time of every thread until the whole picture
    double trackS = 0.0; ///< until the track is drawn too, which comes after the picture
};

/// User and system seconds this process has used, all its threads together.
double CpuSeconds()
{
    rusage usage{};
    (void)getrusage(RUSAGE_SELF, &usage); // cannot fail for RUSAGE_SELF
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/// Seconds that `cat` takes to read `file` to /dev/null; exits on failure.
double CatSeconds(const fs::path& file)
{
    const std::string command = "cat \"" + file.string() + "\" >/dev/null";
    QElapsedTimer clock;
    clock.start();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "bench_viewer: cat failed\n");
        std::exit(1);
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

Times ViewOnce(const fs::path& file)
{
    tessara::CSectionViewer viewer;
    viewer.resize(1100, 640);
    viewer.show();
    QCoreApplication::processEvents();
    Times t;
    const double cpuBefore = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    viewer.SetFiles({QString::fromStdString(file.string())});
    while (viewer.view_section->Picture().isNull() && viewer.bIsLoading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    t.firstS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    while ((viewer.view_section->Picture().isNull() || viewer.bIsPreview()) && viewer.bIsLoading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    t.wholeS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    t.cpuS = CpuSeconds() - cpuBefore;
    while (viewer.bIsLoading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    t.trackS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (viewer.view_section->Picture().isNull() || viewer.bIsPreview()) {
        std::fprintf(stderr, "bench_viewer: no whole picture of %s\n", file.c_str());
        std::exit(1);
    }
    return t;
}

} // namespace

int main(int argc, char* argv[])
{
    (void)gsl_set_error_handler_off(); // GSL status codes are checked where they arise
    QApplication app(argc, argv);
    const std::int64_t totalBytes = argc > 1 ? std::atoll(argv[1]) : 2'000'000'000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const fs::path work = fs::path("/dev/shm") / ("bench_viewer." + std::to_string(getpid()));
    struct Kind {
        const char* name;
        const char* options;
    };
    const Kind kinds[] = {{"IEEE little-endian", ""},
                          {"IBM big-endian", "--format 1 --byte-order big"}};
    bool met = true;
    for (const Kind& kind : kinds) {
        fs::remove_all(work);
        fs::create_directories(work);
        const fs::path file = Generate(work, totalBytes, kind.options);
        WarmCache(file);
        std::vector<double> first;
        std::vector<double> whole;
        std::vector<double> cpu;
        std::vector<double> track;
        std::vector<double> cat;
        std::vector<double> ratio;
        for (int r = 0; r < rounds; ++r) {
            cat.push_back(CatSeconds(file));
            const Times t = ViewOnce(file);
            first.push_back(t.firstS);
            whole.push_back(t.wholeS);
            cpu.push_back(t.cpuS);
            track.push_back(t.trackS);
            ratio.push_back(t.wholeS / std::max(cat.back(), 1e-3));
        }
        const double f = Median(first);
        const double r = Median(ratio);
        std::printf(
            "%s, %.2f GB: first picture median %.3f s (target 2 s), whole picture "
            "median %.3f s (cpu %.3f s), with the track %.3f s, cat %.3f s, whole / cat %.2f "
            "(target 2.5), %d rounds\n",
            kind.name,
            static_cast<double>(fs::file_size(file)) / 1e9,
            f,
            Median(whole),
            Median(cpu),
            Median(track),
            Median(cat),
            r,
            rounds);
        met = met && f <= 2.0 && r <= 2.5;
    }
    fs::remove_all(work);
    std::printf("%s\n", met ? "target met" : "target missed");
    return met ? 0 : 1;
}
