#include "colour_profile.h"

#include <QColorSpace>

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace platform::raster {

namespace {

// Each conversion's own profiles are closed as soon as its transform is made.
struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// sRGB's primaries and white with linear tone curves.
void* linearSrgb()
{
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    void* profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(linear);
    return profile;
}

// Where an 8-bit level falls on the grid: the node below it and how far on (0 to 1).
struct Step {
    int node;
    float fraction;
};

constexpr std::array<Step, 256> gridSteps()
{
    std::array<Step, 256> steps{};
    constexpr int Intervals = ColourProfile::GridPoints - 1;
    for (int v = 0; v < 256; ++v) {
        const int node = qMin(v * Intervals / 255, Intervals - 1);
        steps[size_t(v)] = {node, float(v * Intervals - node * 255) / 255.0f};
    }
    return steps;
}

constexpr std::array<Step, 256> Steps = gridSteps();

// sRGB's encoding of linear light [IEC 61966-2-1], in EncodeSteps steps to 8-bit levels.
constexpr int EncodeSteps = 65535;
const std::array<quint8, EncodeSteps + 1> Encode = [] {
    std::array<quint8, EncodeSteps + 1> table{};
    for (int i = 0; i <= EncodeSteps; ++i) {
        const double linear = double(i) / EncodeSteps;
        const double encoded = linear <= 0.0031308 ? 12.92 * linear
                                                   : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
        table[size_t(i)] = quint8(std::clamp(encoded * 255 + 0.5, 0.0, 255.0));
    }
    return table;
}();

} // namespace

std::unique_ptr<ColourProfile> ColourProfile::fromIcc(QByteArrayView icc)
{
    if (icc.isEmpty() || icc.size() > std::numeric_limits<cmsUInt32Number>::max())
        return nullptr;
    const Profile source(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
    if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData)
        return nullptr;
    // The grid holds linear light in sRGB's primaries, unclipped, so that it is as smooth as
    // the profile's own curves allow; each pixel is then encoded with sRGB's curve, whose
    // steep start would not interpolate, and clipped.
    const Profile srgb(linearSrgb());
    cmsHTRANSFORM transform = cmsCreateTransform(source.get(), TYPE_RGB_FLT, srgb.get(),
                                                 TYPE_RGB_FLT, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    if (!transform)
        return nullptr;
    std::unique_ptr<ColourProfile> profile(new ColourProfile);
    std::vector<float>& grid = profile->m_grid;
    grid.resize(size_t(GridPoints) * GridPoints * GridPoints * 3);
    size_t at = 0;
    for (int r = 0; r < GridPoints; ++r) {
        for (int g = 0; g < GridPoints; ++g) {
            for (int b = 0; b < GridPoints; ++b) {
                grid[at++] = float(r) / (GridPoints - 1);
                grid[at++] = float(g) / (GridPoints - 1);
                grid[at++] = float(b) / (GridPoints - 1);
            }
        }
    }
    cmsDoTransform(transform, grid.data(), grid.data(),
                   cmsUInt32Number(GridPoints * GridPoints * GridPoints));
    for (float& v : grid)
        v *= float(EncodeSteps); // in steps of the encoding table
    cmsDeleteTransform(transform);
    return profile;
}

ColourProfile::~ColourProfile() = default;

void ColourProfile::convert(QRgb* pixels, qsizetype count) const
{
    constexpr qsizetype Blue = 3;
    constexpr qsizetype Green = Blue * GridPoints;
    constexpr qsizetype Red = Green * GridPoints;
    const float* grid = m_grid.data();
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb pixel = pixels[i];
        const Step r = Steps[size_t(qRed(pixel))];
        const Step g = Steps[size_t(qGreen(pixel))];
        const Step b = Steps[size_t(qBlue(pixel))];
        const float* c000 = grid + r.node * Red + g.node * Green + b.node * Blue;
        const float fr = r.fraction;
        const float fg = g.fraction;
        const float fb = b.fraction;
        // The tetrahedron of the cube that holds the colour: walk from the cube's first
        // corner to its last along the axes in the order of their fractions.
        qsizetype first, second;
        float f1, f2, f3;
        if (fr >= fg && fg >= fb) {
            first = Red, second = Red + Green, f1 = fr, f2 = fg, f3 = fb;
        } else if (fr >= fb && fb >= fg) {
            first = Red, second = Red + Blue, f1 = fr, f2 = fb, f3 = fg;
        } else if (fb >= fr && fr >= fg) {
            first = Blue, second = Red + Blue, f1 = fb, f2 = fr, f3 = fg;
        } else if (fg >= fr && fr >= fb) {
            first = Green, second = Red + Green, f1 = fg, f2 = fr, f3 = fb;
        } else if (fg >= fb && fb >= fr) {
            first = Green, second = Green + Blue, f1 = fg, f2 = fb, f3 = fr;
        } else {
            first = Blue, second = Green + Blue, f1 = fb, f2 = fg, f3 = fr;
        }
        const float* c1 = c000 + first;
        const float* c2 = c000 + second;
        const float* c3 = c000 + Red + Green + Blue;
        int out[3];
        for (int c = 0; c < 3; ++c) {
            const float v = c000[c] + f1 * (c1[c] - c000[c]) + f2 * (c2[c] - c1[c])
                + f3 * (c3[c] - c2[c]);
            out[c] = Encode[size_t(std::clamp(v, 0.0f, float(EncodeSteps)) + 0.5f)];
        }
        pixels[i] = (pixel & 0xFF000000) | QRgb(out[0]) << 16 | QRgb(out[1]) << 8 | QRgb(out[2]);
    }
}

void ColourProfile::convert(QImage& image) const
{
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32
        && format != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32);
    const bool premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        convert(line, image.width());
        if (premultiplied) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(line[x]) == 0)
                    line[x] = 0;
            }
        }
    }
}

QByteArray displayP3Icc()
{
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {
        {0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    // IEC 61966-2-1's curve as LittleCMS's parametric type 4.
    const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const Profile profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size))
        return {};
    QByteArray bytes(qsizetype(size), '\0');
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size))
        return {};
    return bytes;
}

QImage toSrgb(QImage image)
{
    const QColorSpace space = image.colorSpace();
    if (!space.isValid())
        return image;
    const std::unique_ptr<ColourProfile> profile = ColourProfile::fromIcc(space.iccProfile());
    if (!profile)
        return image;
    profile->convert(image);
    image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    return image;
}

} // namespace platform::raster
