#include "cli/section_image.h"

#include "segy/tools/segy_file_tools.h"

#include <filesystem>

namespace tessara::cli
{
namespace
{

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
        return "--waterfall: trace identification code " + std::to_string(s.badTraceIdCode) +
               " not 25 (sidescan pairs)";
    }
    return {};
}

} // namespace

bool WriteSectionImage(const std::string& input,
                       const std::string& png,
                       const SectionOptions& options,
                       const PictureSize& size,
                       SectionPalette palette,
                       std::string& error)
{
    const Section section = BuildSection(input, WithDataArea(options, size));
    if (section.status != SectionStatus::Ok) {
        error = WhyNoSection(input, section);
        return false;
    }
    const QImage image = PaintSection(
        section, palette, SectionTitle(std::filesystem::path(input).filename().string(), section));
    if (!SavePng(image, png, error)) {
        error = "cannot write " + png + " (" + error + ")";
        return false;
    }
    return true;
}

std::string QuicklookPath(const std::string& output)
{
    return std::filesystem::path(output).replace_extension(".png").string();
}

} // namespace tessara::cli
