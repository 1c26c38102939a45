#include "ui/track_outline.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace tessara
{
namespace
{

/// Squared distance, in pixels, of `p` from the segment `a`-`b`.
double SquaredDistanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    // A segment whose ends coincide (a ship back where it started) measures
    // from that point, so the far end of a round trip is kept.
    const double t =
        length2 > 0.0 ? std::clamp(QPointF::dotProduct(p - a, ab) / length2, 0.0, 1.0) : 0.0;
    const QPointF d = p - (a + t * ab);
    return QPointF::dotProduct(d, d);
}

/// The points of `pixels` at `tolerance` pixels: first those farther than it
/// from the last point kept (fixes crowding one pixel cost nothing to drop),
/// then of those the ones a straight line between their neighbours kept would
/// miss by more (Douglas and Peucker, on a stack: a track can be long enough
/// to overflow a recursion).
std::vector<std::size_t> Outline(const std::vector<QPointF>& pixels, double tolerance)
{
    const double tolerance2 = tolerance * tolerance;
    std::vector<std::size_t> apart{0};
    for (std::size_t i = 1; i + 1 < pixels.size(); ++i) {
        const QPointF d = pixels[i] - pixels[apart.back()];
        if (QPointF::dotProduct(d, d) > tolerance2)
            apart.push_back(i);
    }
    apart.push_back(pixels.size() - 1);

    std::vector<bool> keep(apart.size(), false);
    keep.front() = keep.back() = true;
    std::vector<std::pair<std::size_t, std::size_t>> spans{{0, apart.size() - 1}};
    while (!spans.empty()) {
        const auto [first, last] = spans.back();
        spans.pop_back();
        double farthest = tolerance2;
        std::size_t at = first;
        for (std::size_t i = first + 1; i < last; ++i) {
            const double d = SquaredDistanceToSegment(
                pixels[apart[i]], pixels[apart[first]], pixels[apart[last]]);
            if (d > farthest) {
                farthest = d;
                at = i;
            }
        }
        if (at == first)
            continue;
        keep[at] = true;
        spans.emplace_back(first, at);
        spans.emplace_back(at, last);
    }
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < apart.size(); ++i)
        if (keep[i])
            kept.push_back(apart[i]);
    return kept;
}

} // namespace

std::vector<std::size_t>
OutlineOfTrack(const std::vector<QPointF>& track, QSizeF unitsPerPixel, std::size_t most)
{
    const auto bPixel = [](double units) { return std::isfinite(units) && units > 0.0; };
    if (track.size() <= 2 || !bPixel(unitsPerPixel.width()) || !bPixel(unitsPerPixel.height())) {
        std::vector<std::size_t> every(track.size());
        std::iota(every.begin(), every.end(), std::size_t{0});
        return every;
    }
    std::vector<QPointF> pixels;
    pixels.reserve(track.size());
    for (const QPointF& p : track)
        pixels.emplace_back(p.x() / unitsPerPixel.width(), p.y() / unitsPerPixel.height());
    // Half a pixel: the line drawn passes within it of every fix.
    double tolerance = 0.5;
    std::vector<std::size_t> kept = Outline(pixels, tolerance);
    // Bounded: a point at no finite place would stay at any tolerance.
    for (int coarser = 0; kept.size() > std::max<std::size_t>(most, 2) && coarser < 64; ++coarser) {
        tolerance *= 2.0;
        kept = Outline(pixels, tolerance);
    }
    return kept;
}

} // namespace tessara
