// section: the picture of a SEG-Y file as PNG, traces across and true
// two-way time down.
#include "cli/cli_format.h"
#include "cli/commands.h"
#include "cli/output_target.h"
#include "cli/section_image.h"
#include "segy/io/segy_finishing_writer.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace tessara::cli
{
namespace
{

struct SectionCommand {
    const CLI::App* command = nullptr; // the values as the user typed them
    std::string file;
    std::string output;
    PictureSize size;
    std::string gain = "none";
    std::string clip = "99";
    std::string palette = "auto";
    std::string wiggles = "off";
    bool removeDc = false;
    std::string bandpass;
    std::string depthAxis;
    bool waterfall = false;
    bool noFlipPort = false;
    double soundSpeed = 1500.0;
    std::string traces;
    std::string time;
};

/// "A:B" as two numbers; false when the text is anything else.
template <typename T> bool ParsePair(const std::string& text, const char* pattern, T& a, T& b)
{
    int used = 0;
    return std::sscanf(text.c_str(), pattern, &a, &b, &used) == 2 &&
           static_cast<std::size_t>(used) == text.size();
}

/// A whole text as one number; false when it is anything else.
bool ParseNumber(const std::string& text, double& value)
{
    int used = 0;
    return std::sscanf(text.c_str(), "%lf%n", &value, &used) == 1 &&
           static_cast<std::size_t>(used) == text.size();
}

/// A picture is written as PNG only: a name that says otherwise would be
/// opened by the wrong decoder. A name without an extension says nothing.
std::string PictureNameProblem(const std::string& output)
{
    const std::string extension = LowerCaseExtension(output);
    if (extension.empty() || extension == ".png")
        return {};
    return "-o " + output + ": extension " + std::filesystem::path(output).extension().string() +
           " not .png (the picture is written as PNG)";
}

/// The display processing and how the picture is drawn, or a usage problem.
std::string TranslateLook(const SectionCommand& c, SectionOptions& o, SectionLook& look)
{
    for (const PaletteName& p : kPaletteNames)
        if (c.palette == p.option)
            look.palette = p.palette;
    for (std::size_t k = 0; k < std::size(kWiggleNames); ++k)
        if (c.wiggles == kWiggleNames[k])
            look.wiggles = static_cast<WiggleMode>(k);
    o.processing.removeDc = c.removeDc;
    // The band's top may lie past a file's Nyquist frequency: it then passes
    // everything above its lower corner.
    constexpr double kHighestHz = 1e6;
    TraceProcessing& p = o.processing;
    if (!c.bandpass.empty() &&
        (!ParsePair(c.bandpass, "%lf,%lf%n", p.bandLowHz, p.bandHighHz) || !(p.bandLowHz >= 0.0) ||
         !(p.bandHighHz > p.bandLowHz) || !(p.bandHighHz <= kHighestHz)))
        return "--bandpass " + c.bandpass +
               ": expected LOW,HIGH in Hz with 0 <= LOW < HIGH <= 1000000";
    constexpr double kSlowestMps = 300.0;
    constexpr double kFastestMps = 10000.0;
    if (!c.depthAxis.empty() &&
        (!ParseNumber(c.depthAxis, look.depthSpeedMps) || !(look.depthSpeedMps >= kSlowestMps) ||
         !(look.depthSpeedMps <= kFastestMps)))
        return "--depth-axis " + c.depthAxis +
               ": the sound speed must be 300 <= SPEED <= 10000 m/s";
    return {};
}

/// The options as the library takes them, or a usage problem.
std::string Translate(const SectionCommand& c, SectionOptions& o, SectionLook& look)
{
    if (c.gain.rfind("agc:", 0) == 0) {
        if (!ParseNumber(c.gain.substr(4), o.agcWindowMs) || !(o.agcWindowMs > 0.0) ||
            o.agcWindowMs > 100000.0)
            return "--gain " + c.gain + ": the AGC window must be 0 < MS <= 100000";
        o.gain = SectionGain::Agc;
    } else if (c.gain != "none") {
        return "--gain " + c.gain + " not none or agc:MS";
    }
    if (std::string problem = TranslateLook(c, o, look); !problem.empty())
        return problem;
    // NaN passes every range check and would draw a blank picture.
    if (!ParseNumber(c.clip, o.clipPercent) || !std::isfinite(o.clipPercent) ||
        !(o.clipPercent > 0.0) || o.clipPercent > 100.0)
        return "--clip " + c.clip + ": the percentile must be a finite number, 0 < P <= 100";
    for (const auto& [option, side] :
         {std::pair{"--width", c.size.width}, std::pair{"--height", c.size.height}}) {
        if (std::string problem = OptionRangeProblem(
                *c.command, option, side, kSmallestPictureSide, kLargestPictureSide);
            !problem.empty())
            return problem;
    }
    const long long pixels = 1LL * c.size.width * c.size.height;
    if (pixels > kLargestPicturePixels)
        return "--width " + std::to_string(c.size.width) + " --height " +
               std::to_string(c.size.height) + ": a picture of " + std::to_string(pixels) +
               " pixels, more than " + std::to_string(kLargestPicturePixels);
    o.waterfall = c.waterfall;
    o.portFlipped = !c.noFlipPort;
    o.soundSpeed = c.soundSpeed;
    if (!c.traces.empty() && (!ParsePair(c.traces, "%lld:%lld%n", o.firstTrace, o.lastTrace) ||
                              o.firstTrace < 1 || o.lastTrace < o.firstTrace))
        return "--traces " + c.traces + ": expected FIRST:LAST with 1 <= FIRST <= LAST";
    // Delays are 16-bit milliseconds and traces at most 65535 samples of
    // 32767 us: every sample lies within 10^7 ms of zero.
    constexpr double kLongestMs = 1e7;
    if (!c.time.empty() &&
        (!ParsePair(c.time, "%lf:%lf%n", o.startMs, o.endMs) || !(o.endMs > o.startMs) ||
         !(o.startMs >= -kLongestMs) || !(o.endMs <= kLongestMs)))
        return "--time " + c.time + ": expected MS0:MS1 with -10000000 <= MS0 < MS1 <= 10000000";
    return {};
}

int RunSection(const SectionCommand& c)
{
    SectionOptions options;
    SectionLook look;
    if (const std::string problem = Translate(c, options, look); !problem.empty()) {
        std::cerr << "tessara-cli: " << problem << '\n';
        return kExitUsage;
    }
    // Refused before the file is read: the answer would be the same after.
    const OutputTarget target = ClassifyOutput(c.file, c.output);
    if (target.kind == OutputKind::Refused) {
        PrintError(c.output, target.why);
        return target.exitCode;
    }
    if (const std::string problem = PictureNameProblem(c.output);
        target.kind == OutputKind::File && !problem.empty()) {
        std::cerr << "tessara-cli: " << problem << '\n';
        return kExitUsage;
    }
    // A reader of the picture that goes away fails the write, with a message.
    (void)std::signal(SIGPIPE, SIG_IGN);
    CTemporaryFileOnStop onStop;
    const CGuiForPainting gui;
    std::string error;
    const QImage image = SectionImage(c.file, options, c.size, look, error);
    if (image.isNull() || !WritePicture(image, c.output, target.kind, onStop, error)) {
        PrintError(c.file, error);
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

void RegisterSection(CLI::App& app, std::vector<Command>& commands)
{
    auto c = std::make_shared<SectionCommand>();
    auto* sub = app.add_subcommand(
        "section",
        "Paint the section of a SEG-Y file as PNG: traces across, two-way time down (each "
        "trace placed by its delay recording time), the largest magnitude of the samples and "
        "traces that share a pixel kept with its sign, amplitudes clipped at a percentile of "
        "the magnitudes. Exit 0 written, 1 unreadable or not written, 2 usage");
    sub->add_option("FILE", c->file, "SEG-Y file")->required();
    sub->add_option("-o,--output",
                    c->output,
                    "PNG file to write (replaced when complete); - for standard output, a "
                    "FIFO or a device is written into")
        ->required();
    const std::string sides =
        " in pixels (" + std::to_string(kSmallestPictureSide) + ".." +
        std::to_string(kLargestPictureSide) + ", at most " + std::to_string(kLargestPicturePixels) +
        " pixels in all; axes and title from " + std::to_string(kSmallestPicture.width) + " x " +
        std::to_string(kSmallestPicture.height) + ")";
    c->command = sub;
    sub->add_option("--width", c->size.width, "Picture width" + sides)->capture_default_str();
    sub->add_option("--height", c->size.height, "Picture height" + sides)->capture_default_str();
    sub->add_option("--gain", c->gain, "none, or agc:MS for automatic gain control over MS ms")
        ->capture_default_str();
    sub->add_option(
           "--clip", c->clip, "Percentile of the magnitudes shown at full colour (0 < P <= 100)")
        ->capture_default_str();
    std::vector<std::string> palettes;
    for (const PaletteName& p : kPaletteNames)
        palettes.emplace_back(p.option);
    sub->add_option("--palette",
                    c->palette,
                    "auto (grey when no sample is negative, else seismic), grey (by magnitude, "
                    "black = large), seismic (blue-white-red), grey-bipolar (negative white, "
                    "positive black), grey-bipolar-reversed, envelope (white-yellow-red by "
                    "magnitude)")
        ->check(CLI::IsMember(palettes));
    sub->add_flag("--dc", c->removeDc, "Remove each trace's mean (DC) before display");
    sub->add_option("--bandpass",
                    c->bandpass,
                    "LOW,HIGH: zero-phase band-pass for display, corners in Hz at half "
                    "amplitude with smooth flanks (LOW 0: low-pass)");
    auto* waterfall = sub->add_flag(
        "--waterfall",
        c->waterfall,
        "Sidescan pairs as combine --sidescan writes them (any channel field): one pair per "
        "row, pings down, slant range across, port left");
    sub->add_flag("--no-flip-port",
                  c->noFlipPort,
                  "The pairs' port halves run from nadir out (combine --no-flip-port)")
        ->needs(waterfall);
    sub->add_option("--sound-speed", c->soundSpeed, "m/s for the waterfall's slant range")
        ->check(CLI::Range(1000.0, 2000.0))
        ->needs(waterfall)
        ->capture_default_str();
    sub->add_option("--traces", c->traces, "FIRST:LAST, 1-based trace numbers");
    sub->add_option("--time", c->time, "MS0:MS1, two-way time window in ms")->excludes(waterfall);
    sub->add_option("--wiggles",
                    c->wiggles,
                    "off, over (wiggle traces with the positive lobes filled, over the "
                    "colours) or only (on white); drawn when each trace has at least " +
                        std::to_string(kWigglePixelsPerTrace) + " pixels across")
        ->check(CLI::IsMember(
            std::vector<std::string>(std::begin(kWiggleNames), std::end(kWiggleNames))))
        ->excludes(waterfall);
    sub->add_option("--depth-axis",
                    c->depthAxis,
                    "SPEED: label the left axis in metres of depth at SPEED m/s (two-way "
                    "time), e.g. 1500")
        ->excludes(waterfall);
    commands.push_back({sub, [c] { return RunSection(*c); }});
}

} // namespace tessara::cli
