#include "marker.h"

#include <algorithm>
#include <cstdlib>

namespace bench {

namespace {

// Grid points per side checked inside a candidate block, and their distance from its edges
// (where lossy compression blends the block with its surroundings).
constexpr int GridPoints = 5;

bool gridMatches(const PixelView& frame, const MarkerSpec& spec, Point corner)
{
    const int margin = std::max(1, spec.size / 8);
    const int span = spec.size - 1 - 2 * margin;
    for (int j = 0; j < GridPoints; ++j) {
        for (int i = 0; i < GridPoints; ++i) {
            const int x = corner.x + margin + span * i / (GridPoints - 1);
            const int y = corner.y + margin + span * j / (GridPoints - 1);
            if (!matchesMarker(frame.at(x, y), spec))
                return false;
        }
    }
    return true;
}

} // namespace

bool matchesMarker(std::uint32_t pixel, const MarkerSpec& spec)
{
    const int red = int((pixel >> 16) & 0xff);
    const int green = int((pixel >> 8) & 0xff);
    const int blue = int(pixel & 0xff);
    return std::abs(red - spec.colour.red) <= spec.tolerance
        && std::abs(green - spec.colour.green) <= spec.tolerance
        && std::abs(blue - spec.colour.blue) <= spec.tolerance;
}

std::optional<Point> findMarker(const PixelView& frame, const MarkerSpec& spec, Box area)
{
    if (spec.size < 8 || frame.width < spec.size || frame.height < spec.size)
        return std::nullopt;
    const int left = std::max(area.x, 0);
    const int top = std::max(area.y, 0);
    const int right = std::min(area.x + area.width, frame.width);
    const int bottom = std::min(area.y + area.height, frame.height);
    // A whole block holds at least three points of this lattice each way, whatever its place.
    const int step = spec.size / 4;
    const auto firstOnLattice = [step](int from) { return (from + step - 1) / step * step; };
    for (int y = firstOnLattice(top); y < bottom; y += step) {
        for (int x = firstOnLattice(left); x < right; x += step) {
            if (!matchesMarker(frame.at(x, y), spec))
                continue;
            // Walk to the block's left and top edges from this point of it.
            Point corner{x, y};
            while (corner.x > 0 && corner.x > x - spec.size
                   && matchesMarker(frame.at(corner.x - 1, y), spec))
                --corner.x;
            while (corner.y > 0 && corner.y > y - spec.size
                   && matchesMarker(frame.at(x, corner.y - 1), spec))
                --corner.y;
            if (corner.x + spec.size > frame.width || corner.y + spec.size > frame.height)
                continue;
            if (gridMatches(frame, spec, corner))
                return corner;
        }
    }
    return std::nullopt;
}

} // namespace bench
