// make-picture icc-p3: writes a Display P3 ICC profile (DCI-P3 primaries, D65 white, the sRGB
// tone curve) to standard output, to tag a picture with.
// make-picture FORMAT WIDTH HEIGHT: writes a photo-like test picture to standard output, with
// a solid marker block of an unusual colour at its top-left corner and a second one at its
// centre (for viewers that centre a picture larger than their window). FORMAT is "ppm" (binary
// P6, for cjpeg) or "bmp" (24-bit, bottom-up, uncompressed). The content is smooth colour
// fields with texture at three scales and fine grain, so that a JPEG of it is about as large
// as one of a real photo; it is a pure function of the pixel's position, so every run writes
// the same bytes. No pixel outside the marker comes near the marker's colour.
#include "marker.h"

#include "platform/raster/colour_profile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

// A random value in [-1, 1] at each node of a grid; bilinear in between.
float valueNoise(int x, int y, int cell, std::uint32_t seed)
{
    const int gx = x / cell;
    const int gy = y / cell;
    const float fx = float(x % cell) / float(cell);
    const float fy = float(y % cell) / float(cell);
    auto node = [&](int nx, int ny) {
        return float(hash(std::uint32_t(nx), std::uint32_t(ny), seed) & 0xffff) / 32767.5f - 1.0f;
    };
    const float top = node(gx, gy) + (node(gx + 1, gy) - node(gx, gy)) * fx;
    const float bottom = node(gx, gy + 1) + (node(gx + 1, gy + 1) - node(gx, gy + 1)) * fx;
    return top + (bottom - top) * fy;
}

std::uint8_t clampByte(float v)
{
    return v <= 0.0f ? 0 : v >= 255.0f ? 255 : std::uint8_t(v + 0.5f);
}

struct Scene {
    int width;
    int height;

    bool inMarker(int x, int y, const bench::MarkerSpec& marker) const
    {
        const int centreX = (width - marker.size) / 2;
        const int centreY = (height - marker.size) / 2;
        return (x < marker.size && y < marker.size)
            || (x >= centreX && x < centreX + marker.size && y >= centreY
                && y < centreY + marker.size);
    }

    // One row of the picture as R, G, B bytes.
    void row(int y, std::uint8_t* out) const
    {
        const bench::MarkerSpec marker;
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = out + 3 * x;
            if (inMarker(x, y, marker)) {
                p[0] = std::uint8_t(marker.colour.red);
                p[1] = std::uint8_t(marker.colour.green);
                p[2] = std::uint8_t(marker.colour.blue);
                continue;
            }
            // Light: a broad field plus shapes and texture, and a little grain.
            const float light = 128.0f + 70.0f * valueNoise(x, y, 700, 1)
                + 35.0f * valueNoise(x, y, 90, 2) + 14.0f * valueNoise(x, y, 11, 3)
                + float(int(hash(std::uint32_t(x), std::uint32_t(y), 4) & 15) - 8);
            // Colour: slow tints, as of sky, foliage and walls.
            const float warm = 40.0f * valueNoise(x, y, 1100, 5) + 10.0f * valueNoise(x, y, 60, 6);
            const float green = 30.0f * valueNoise(x, y, 900, 7);
            float r = light + warm;
            float g = light + green;
            float b = light - warm;
            // Keep well away from the marker's colour, whatever the tolerance of a finder.
            if (r < float(marker.colour.red + 60) && g > float(marker.colour.green - 60)
                && b < float(marker.colour.blue + 60))
                g -= 120.0f;
            p[0] = clampByte(r);
            p[1] = clampByte(g);
            p[2] = clampByte(b);
        }
    }
};

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

bool writeAll(const void* data, std::size_t size)
{
    return std::fwrite(data, 1, size, stdout) == size;
}

bool writePpm(const Scene& scene)
{
    const std::string header = "P6\n" + std::to_string(scene.width) + " "
        + std::to_string(scene.height) + "\n255\n";
    if (!writeAll(header.data(), header.size()))
        return false;
    std::vector<std::uint8_t> row(std::size_t(scene.width) * 3);
    for (int y = 0; y < scene.height; ++y) {
        scene.row(y, row.data());
        if (!writeAll(row.data(), row.size()))
            return false;
    }
    return true;
}

bool writeBmp(const Scene& scene)
{
    const std::uint32_t stride = (std::uint32_t(scene.width) * 3 + 3) & ~3u;
    const std::uint32_t imageSize = stride * std::uint32_t(scene.height);
    std::vector<std::uint8_t> header;
    header.push_back('B');
    header.push_back('M');
    putLe(header, 14 + 40 + imageSize, 4); // file size
    putLe(header, 0, 4);                   // reserved
    putLe(header, 14 + 40, 4);             // offset of the pixels
    putLe(header, 40, 4);                  // BITMAPINFOHEADER
    putLe(header, std::uint32_t(scene.width), 4);
    putLe(header, std::uint32_t(scene.height), 4); // positive: bottom-up
    putLe(header, 1, 2);                           // planes
    putLe(header, 24, 2);                          // bits per pixel
    putLe(header, 0, 4);                           // BI_RGB
    putLe(header, imageSize, 4);
    putLe(header, 3780, 4); // 96 dpi in pixels per metre
    putLe(header, 3780, 4);
    putLe(header, 0, 4);
    putLe(header, 0, 4);
    if (!writeAll(header.data(), header.size()))
        return false;
    std::vector<std::uint8_t> rgb(std::size_t(scene.width) * 3);
    std::vector<std::uint8_t> bgr(stride, 0);
    for (int y = scene.height - 1; y >= 0; --y) {
        scene.row(y, rgb.data());
        for (int x = 0; x < scene.width; ++x) {
            bgr[3 * std::size_t(x)] = rgb[3 * std::size_t(x) + 2];
            bgr[3 * std::size_t(x) + 1] = rgb[3 * std::size_t(x) + 1];
            bgr[3 * std::size_t(x) + 2] = rgb[3 * std::size_t(x)];
        }
        if (!writeAll(bgr.data(), bgr.size()))
            return false;
    }
    return true;
}

bool writeDisplayP3()
{
    const QByteArray icc = platform::raster::displayP3Icc();
    return !icc.isEmpty() && writeAll(icc.constData(), std::size_t(icc.size()));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "icc-p3") == 0)
        return writeDisplayP3() && std::fflush(stdout) == 0 ? 0 : 1;
    if (argc != 4) {
        std::fprintf(
            stderr, "usage: make-picture ppm|bmp WIDTH HEIGHT >OUT, or make-picture icc-p3 >OUT\n");
        return 2;
    }
    const std::string format = argv[1];
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    if ((format != "ppm" && format != "bmp") || width < 128 || height < 128 || width > 30000
        || height > 30000) {
        std::fprintf(stderr, "make-picture: a format of ppm or bmp and a size from 128 to 30000\n");
        return 2;
    }
    const Scene scene{width, height};
    const bool written = format == "ppm" ? writePpm(scene) : writeBmp(scene);
    if (!written || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "make-picture: cannot write: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
