// The section picture of one SEG-Y file, shared by the section command and
// the quicklooks of combine.
#pragma once

#include "section/section_file.h"
#include "section_paint/section_picture.h"

#include <string>

namespace tessara::cli
{

/// Reads `input`, paints its section and writes it to `png` (written beside,
/// renamed when complete). False with `error` set to one line of text naming
/// what went wrong (without the path) when no picture was written. Needs a
/// CGuiForPainting (or an application object) alive.
[[nodiscard]] bool WriteSectionImage(const std::string& input,
                                     const std::string& png,
                                     const SectionOptions& options,
                                     const PictureSize& size,
                                     SectionPalette palette,
                                     std::string& error);

/// The quicklook of a composite: NAME.png beside NAME.sgy.
[[nodiscard]] std::string QuicklookPath(const std::string& output);

} // namespace tessara::cli
