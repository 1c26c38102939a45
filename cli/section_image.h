// The section picture of one SEG-Y file, shared by the section command and
// the quicklooks of combine.
#pragma once

#include "cli/output_target.h"
#include "combine/api/combine_settings.h"
#include "section/section_file.h"
#include "section_paint/section_picture.h"

#include <QImage>

#include <string>

namespace tessara::cli
{

/// Reads `input` and paints its section on a picture of `size` (axes and
/// title from kSmallestPicture on, the cells alone below). A null image,
/// with `error` set to one line naming what went wrong (without the path),
/// when the file gives no section; a null image and no error when `progress`
/// stopped the reading. Throws std::bad_alloc when the grid or the picture
/// does not fit in memory. Needs a CGuiForPainting (or an application
/// object) alive.
[[nodiscard]] QImage SectionImage(const std::string& input,
                                  const SectionOptions& options,
                                  const PictureSize& size,
                                  const SectionLook& look,
                                  std::string& error,
                                  const SectionProgress& progress = {});

/// Writes `image` as PNG to `path`, a target of `kind` File (see SavePng;
/// `onStop` is told of the temporary file) or Stream. False with `error`
/// set ("cannot write PATH (reason)") when it could not be written.
[[nodiscard]] bool WritePicture(const QImage& image,
                                const std::string& path,
                                OutputKind kind,
                                CTemporaryFileOnStop& onStop,
                                std::string& error);

/// The quicklook of a composite: NAME.png beside NAME.sgy.
[[nodiscard]] std::string QuicklookPath(const std::string& output);

/// The quicklook of the composite `output` at QuicklookPath, replacing a
/// file or link of that name as the composite replaced one at its own, drawn
/// as `options` say (QuicklookOptions). False with `error` set (one line,
/// without the composite's path) when it was not written, for want of memory
/// too; false with no error when a stop was asked for (see
/// CTemporaryFileOnStop) before it was.
[[nodiscard]] bool WriteQuicklook(const std::string& output,
                                  const SectionOptions& options,
                                  CTemporaryFileOnStop& onStop,
                                  std::string& error);

/// How the quicklooks of a job run with `settings` are drawn: the sidescan
/// pairs it writes as a waterfall (their halves as it laid them out), other
/// composites as a section, or a waterfall where every trace is marked a pair.
[[nodiscard]] SectionOptions QuicklookOptions(const CombineSettings& settings);

} // namespace tessara::cli
