// The ship's track as the chart draws it: a survey's hundred thousand fixes
// drawn one by one cost the window's thread more than the picture being read
// beside it, while a few hundred draw the same line to the pixel.
#pragma once

#include <QPointF>
#include <QSizeF>

#include <cstddef>
#include <vector>

namespace tessara
{

/// Most points the track chart is given; a track still longer at half a pixel
/// (a ship circling on station) is drawn to a coarser tolerance instead.
constexpr std::size_t kTrackOutlineMost = 4000;

/// The indices, ascending, of the points of `track` that draw it to within
/// half a pixel, a pixel being `unitsPerPixel` of the chart's units across and
/// up: the first and last point are always kept, straight runs give their
/// ends only, and a turn keeps its farthest point. When more than `most`
/// points would remain the tolerance is doubled until they fit (`most` is at
/// least 2). Every index when `track` has two points or fewer, or when a
/// pixel has no positive finite size.
[[nodiscard]] std::vector<std::size_t> OutlineOfTrack(const std::vector<QPointF>& track,
                                                      QSizeF unitsPerPixel,
                                                      std::size_t most = kTrackOutlineMost);

} // namespace tessara
