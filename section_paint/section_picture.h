// Painting of a section: palette, axes, title and the PNG file. Shared by
// `tessara-cli section`, the quicklooks of `combine` and the desktop viewer.
#pragma once

#include "section/section_file.h"
#include "segy/io/segy_finishing_writer.h"

#include <QImage>
#include <QtGlobal>

#include <memory>
#include <string>
#include <vector>

class QGuiApplication;

namespace tessara
{

enum class SectionPalette {
    Auto,                ///< grey when every sample shown is non-negative, else seismic
    Grey,                ///< by magnitude: white for 0, black for the clip level and above
    Seismic,             ///< blue for negative, white for 0, red for positive
    GreyBipolar,         ///< white for -clip, mid-grey for 0, black for +clip
    GreyBipolarReversed, ///< black for -clip, mid-grey for 0, white for +clip
    Envelope,            ///< by magnitude: white, yellow, orange, red to dark red at the clip
};

/// A palette's name on the command line and its caption in the viewer, in
/// the order of SectionPalette.
struct PaletteName {
    SectionPalette palette;
    const char* option;
    const char* caption;
};
inline constexpr PaletteName kPaletteNames[] = {
    {SectionPalette::Auto, "auto", "Auto"},
    {SectionPalette::Grey, "grey", "Grey by magnitude"},
    {SectionPalette::Seismic, "seismic", "Seismic"},
    {SectionPalette::GreyBipolar, "grey-bipolar", "Grey, positive black"},
    {SectionPalette::GreyBipolarReversed, "grey-bipolar-reversed", "Grey, negative black"},
    {SectionPalette::Envelope, "envelope", "Envelope"},
};

/// The colour of a sample of `value` in `palette` (not Auto) at clip level
/// `clip` (> 0; 0 shows every value as 0). Values beyond the clip level take
/// its colour.
[[nodiscard]] QRgb ShadeOf(SectionPalette palette, double value, double clip);

/// Wiggle traces: a line per trace through its samples, the positive lobes
/// filled (variable area), drawn where every trace has at least
/// kWigglePixelsPerTrace columns of its own; fewer show the density alone.
enum class WiggleMode {
    Off,  ///< density alone
    Over, ///< wiggles over the density picture
    Only, ///< wiggles on white instead of the density
};
constexpr int kWigglePixelsPerTrace = 4;
/// A wiggle option's name on the command line, in the order of WiggleMode.
inline constexpr const char* kWiggleNames[] = {"off", "over", "only"};

/// How a section is drawn, whatever its cells.
struct SectionLook {
    SectionPalette palette = SectionPalette::Auto;
    WiggleMode wiggles = WiggleMode::Off;
    /// m/s of sound in water, > 0: the left axis in metres of depth at that
    /// speed (two-way time: depth = time x speed / 2); 0: in ms.
    double depthSpeedMps = 0.0;
    /// Device pixels per logical pixel the picture is shown at (> 0): the
    /// cells and the margins given are device pixels, the text and ticks are
    /// scaled by it, and the picture carries it as its device pixel ratio.
    double pixelRatio = 1.0;
};

/// Whether `section` is drawn with wiggles under `look`: asked for, a
/// section of traces (not a waterfall), kWigglePixelsPerTrace columns each.
[[nodiscard]] bool bDrawsWiggles(const Section& section, const SectionLook& look);

/// Size of the picture in pixels, axes and title included.
struct PictureSize {
    int width = 1600;
    int height = 900;
};

/// Pixels around the data area: time axis on the left, title and trace axis
/// on top.
struct PictureMargins {
    int left = 70;
    int top = 56;
    int right = 12;
    int bottom = 12;
};
constexpr PictureMargins kPictureMargins{};
/// The smallest picture with axes and title; a smaller one holds the cells
/// alone.
constexpr PictureSize kSmallestPicture{200, 150};
/// Sides a picture may have, in pixels, and its largest area: 100 million
/// pixels are 400 MB as a picture and as much again as the grid of cells
/// it is painted from.
constexpr int kSmallestPictureSide = 16;
constexpr int kLargestPictureSide = 32768;
constexpr long long kLargestPicturePixels = 100'000'000;

/// The margins of a picture of `size`: kPictureMargins from kSmallestPicture
/// on, none below.
[[nodiscard]] PictureMargins MarginsFor(const PictureSize& size);
/// kPictureMargins in the device pixels of a screen of `pixelRatio` (> 0).
[[nodiscard]] PictureMargins ScaledMargins(double pixelRatio);

/// Cells across and down for a picture of `size`: one cell per pixel of the
/// data area (at least one).
[[nodiscard]] SectionOptions WithDataArea(SectionOptions options, const PictureSize& size);

/// A tick of an axis: its value and its pixel from the axis' start.
struct AxisTick {
    double value = 0.0;
    int pixel = 0;
};

/// A step of 1, 2 or 5 times a power of ten, no smaller than `smallest`,
/// that gives about `wanted` (>= 1) ticks over `span` (> 0).
[[nodiscard]] double RoundStep(double span, int wanted, double smallest);

/// Ticks of an axis that shows the values `from` (at pixel 0) to `to` (at
/// `pixels`), from < to: every whole multiple of one step (1, 2 or 5 times a
/// power of ten, no smaller than `smallestStep`) that lies inside, about
/// `spacing` pixels apart, leaving out any within `inset` pixels of either
/// end so that no label touches an edge. Empty for an empty axis.
[[nodiscard]] std::vector<AxisTick>
AxisTicks(double from, double to, int pixels, int spacing, double smallestStep, int inset);

/// The section painted on a picture of the grid's size plus the margins:
/// cells coloured by `palette`, the clip level at full colour, cells no
/// sample reached in light grey; two-way time (ms) down the left; trace
/// numbers and times of day along the top at round trace numbers (the
/// waterfall: slant range in metres to port and starboard along the top,
/// trace numbers of the pairs down); `title` above. A file without recording
/// times says so over the trace axis. Without margins, the cells alone.
/// Needs a QGuiApplication for the text (CGuiForPainting). A null image when
/// the picture's memory cannot be had.
[[nodiscard]] QImage PaintSection(const Section& section,
                                  SectionPalette palette,
                                  const std::string& title,
                                  const PictureMargins& margins = kPictureMargins);
/// The same drawn as `look` says: its palette, wiggles (see bDrawsWiggles;
/// a trace's baseline in the middle of its columns, the clip level reaching
/// one trace's width to either side, positive lobes filled black) and depth
/// axis.
[[nodiscard]] QImage PaintSection(const Section& section,
                                  const SectionLook& look,
                                  const std::string& title,
                                  const PictureMargins& margins = kPictureMargins);

/// "NAME: first time to last time, traces FIRST to LAST of N", "no recording
/// times" in place of the times for a file whose clock fields are all zero,
/// " (sidescan pairs)" after a waterfall's.
[[nodiscard]] std::string SectionTitle(const std::string& fileName, const Section& section);

/// For a program without a GUI: while it lives, the process has the
/// QGuiApplication that painting text needs, on the offscreen platform (no
/// display needed), and Qt's own diagnostics (such as a missing runtime
/// folder) are kept off stderr, whose lines belong to the program. Does
/// nothing when an application object exists already.
class CGuiForPainting
{
public:
    CGuiForPainting();
    ~CGuiForPainting();
    CGuiForPainting(const CGuiForPainting&) = delete;
    CGuiForPainting& operator=(const CGuiForPainting&) = delete;

private:
    std::unique_ptr<QGuiApplication> m_app;
    QtMessageHandler m_previousHandler = nullptr;
};

/// Writes `image` as PNG to a file of its own beside `path` (see
/// CreateBeside, which tells `created` its name) and gives it the name `path`
/// only when complete, replacing a file or a link of that name (never what a
/// link points to). False with `error` set when it could not be written,
/// the reason in a few words ("file too large", "No space left on device");
/// the file of its own is then gone and whatever had the name `path` is as
/// it was.
[[nodiscard]] bool SavePng(const QImage& image,
                           const std::string& path,
                           std::string& error,
                           const WorkingFileCreated& created = {});

/// Writes `image` as PNG into `fd`, open for writing (a pipe, a terminal, a
/// device), front to back; `fd` stays open. False with `error` set as by
/// SavePng when a write failed.
[[nodiscard]] bool WritePng(const QImage& image, int fd, std::string& error);

} // namespace tessara
