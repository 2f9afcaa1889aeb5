#pragma once

#include <cstdint>
#include <optional>

namespace bench {

/// A colour as 8-bit red, green and blue.
struct Colour {
    int red = 0;
    int green = 0;
    int blue = 0;
};

/// A point or a rectangle in screen pixels.
struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};
struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

/// The solid block that every benchmark picture carries at its top-left corner.
struct MarkerSpec {
    Colour colour{17, 231, 83};
    int tolerance = 24; ///< per channel, for the colour shift of lossy compression
    int size = 64;      ///< the block's side in pixels
};

/// Read-only 32-bit pixels 0x00RRGGBB (the top byte is ignored), `stride` pixels per row.
struct PixelView {
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;

    std::uint32_t at(int x, int y) const
    {
        return pixels[std::size_t(y) * std::size_t(stride) + std::size_t(x)];
    }
};

/// Whether a pixel is the marker's colour within the tolerance on each channel.
bool matchesMarker(std::uint32_t pixel, const MarkerSpec& spec);

/// The top-left corner of a whole marker block in `frame` that has a pixel inside `area`
/// (clipped to the frame), or nothing. A block counts only when a grid of points spread over
/// its whole area matches, so a block painted in part, or a smaller patch of the colour,
/// does not.
std::optional<Point> findMarker(const PixelView& frame, const MarkerSpec& spec, Box area);

} // namespace bench
