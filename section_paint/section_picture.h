// Painting of a section: palette, axes, title and the PNG file. Shared by
// `tessara-cli section`, the quicklooks of `combine` and the desktop viewer.
#pragma once

#include "section/section_file.h"

#include <QImage>
#include <QtGlobal>

#include <memory>
#include <string>

class QGuiApplication;

namespace tessara
{

enum class SectionPalette {
    Auto,    ///< grey when every sample shown is non-negative, else seismic
    Grey,    ///< white for 0, black for the clip level and above (envelopes)
    Seismic, ///< blue for negative, white for 0, red for positive
};

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
/// The smallest picture that leaves room for the data.
constexpr PictureSize kSmallestPicture{200, 150};

/// Cells across and down for a picture of `size`: one cell per pixel of the
/// data area.
[[nodiscard]] SectionOptions WithDataArea(SectionOptions options, const PictureSize& size);

/// The section painted on a picture of the grid's size plus the margins:
/// cells coloured by `palette`, the clip level at full colour, cells no
/// sample reached in light grey; two-way time (ms) down the left; trace
/// numbers and times of day along the top (the waterfall: samples across,
/// pair numbers down); `title` above. Needs a QGuiApplication for the text
/// (CGuiForPainting).
[[nodiscard]] QImage
PaintSection(const Section& section, SectionPalette palette, const std::string& title);

/// "NAME: first time to last time, traces FIRST to LAST of N".
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

/// Writes `image` as PNG beside `path` and gives it that name only when
/// complete. False with `error` set when it could not be written; an
/// existing file of that name is then left as it was.
[[nodiscard]] bool SavePng(const QImage& image, const std::string& path, std::string& error);

} // namespace tessara
