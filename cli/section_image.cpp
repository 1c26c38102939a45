#include "cli/section_image.h"

#include "segy/tools/segy_file_tools.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>
#include <unistd.h>

namespace tessara::cli
{
namespace
{

std::string FormatHz(double hz)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", hz);
    return text;
}

std::string WhyNoSection(const std::string& input, const Section& s)
{
    switch (s.status) {
    case SectionStatus::Ok:
        break;
    case SectionStatus::CannotOpen:
        return SegyOpenFailure(input);
    case SectionStatus::NoTraces:
        return "no complete trace";
    case SectionStatus::TracesOutOfRange:
        return "--traces: the file has " + std::to_string(s.fileTraces) + " traces";
    case SectionStatus::NoSampleInterval:
        return "no trace shown has samples and a sample interval";
    case SectionStatus::EmptyTimeWindow:
        return "--time: no sample of the traces shown lies in that window";
    case SectionStatus::NotSidescanPairs:
        return "--waterfall: trace " + std::to_string(s.unpairedTrace) + " has " +
               std::to_string(s.unpairedSamples) +
               " samples, not a port and a starboard half (sidescan pairs)";
    case SectionStatus::BandPastNyquist:
        return "--bandpass: the low corner is not below " + FormatHz(s.nyquistHz) +
               " Hz, the Nyquist frequency of the traces shown";
    }
    return {};
}

/// `image` into the stream `path`: a descriptor of its own, closed after.
bool WriteIntoStream(const QImage& image, const std::string& path, std::string& error)
{
    const int fd = OpenStreamTarget(path, error);
    if (fd < 0)
        return false;
    const bool written = WritePng(image, fd, error);
    if (::close(fd) != 0 && written) {
        error = WriteFailureText(errno);
        return false;
    }
    return written;
}

} // namespace

QImage SectionImage(const std::string& input,
                    const SectionOptions& options,
                    const PictureSize& size,
                    const SectionLook& look,
                    std::string& error,
                    const SectionProgress& progress)
{
    bool stopped = false;
    const Section section =
        BuildSection(input, WithDataArea(options, size), [&](std::int64_t done, std::int64_t all) {
            stopped = progress && !progress(done, all);
            return !stopped;
        });
    if (stopped)
        return {}; // a part of the section is no picture of it
    if (section.status != SectionStatus::Ok) {
        error = WhyNoSection(input, section);
        return {};
    }
    QImage image =
        PaintSection(section,
                     look,
                     SectionTitle(std::filesystem::path(input).filename().string(), section),
                     MarginsFor(size));
    if (image.isNull())
        throw std::bad_alloc();
    return image;
}

bool WritePicture(const QImage& image,
                  const std::string& path,
                  OutputKind kind,
                  CTemporaryFileOnStop& onStop,
                  std::string& error)
{
    bool written = false;
    if (kind == OutputKind::Stream) {
        written = WriteIntoStream(image, path, error);
    } else {
        written = SavePng(image, path, error, [&onStop](const std::string& t) { onStop.Arm(t); });
        onStop.Disarm();
    }
    if (!written)
        error = "cannot write " + path + " (" + error + ")";
    return written;
}

std::string QuicklookPath(const std::string& output)
{
    return std::filesystem::path(output).replace_extension(".png").string();
}

SectionOptions QuicklookOptions(const CombineSettings& settings)
{
    SectionOptions options;
    // Single channel wins when both modes are on: its traces are no pairs.
    options.waterfall = settings.demultiplex_sidescan && !settings.demultiplex_single_channel;
    options.waterfallWhenMarked = true;
    options.portFlipped = settings.flip_port;
    return options;
}

bool WriteQuicklook(const std::string& output,
                    const SectionOptions& options,
                    CTemporaryFileOnStop& onStop,
                    std::string& error)
{
    try {
        const QImage image =
            SectionImage(output, options, PictureSize{}, SectionLook{}, error, [&](auto, auto) {
                return !onStop.bStopRequested();
            });
        return !image.isNull() && !onStop.bStopRequested() &&
               WritePicture(image, QuicklookPath(output), OutputKind::File, onStop, error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

} // namespace tessara::cli
