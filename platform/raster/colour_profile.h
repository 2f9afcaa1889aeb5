#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QRgb>

#include <memory>
#include <vector>

namespace platform::raster {

/// Converts pixels from the colours of an embedded ICC profile to sRGB, as the screen and
/// the printer show them: LittleCMS 2 (perceptual intent) converts a grid of 33 x 33 x 33
/// colours once to linear light, each pixel is interpolated inside it (tetrahedrally, as
/// LittleCMS's own precalculated transforms do) and encoded as sRGB, within two levels of
/// LittleCMS's own result at a small part of its cost. Only RGB profiles
/// convert; a picture without one, or with one that cannot be read, keeps its pixels exactly.
class ColourProfile {
public:
    /// The conversion from the ICC profile `icc`; nothing (nullptr) when it is empty, cannot
    /// be read, or does not describe RGB colours.
    static std::unique_ptr<ColourProfile> fromIcc(QByteArrayView icc);

    ~ColourProfile();
    ColourProfile(const ColourProfile&) = delete;
    ColourProfile& operator=(const ColourProfile&) = delete;

    /// Converts `count` pixels (QRgb, alpha kept) in place.
    void convert(QRgb* pixels, qsizetype count) const;

    /// Converts every pixel of `image` in place (RGB32 and the ARGB32 formats; a fully
    /// transparent premultiplied pixel stays 0); other formats are converted to ARGB32 first.
    void convert(QImage& image) const;

    /// Nodes of the grid on each axis.
    static constexpr int GridPoints = 33;

private:
    ColourProfile() = default;

    // The sRGB colours of the grid's nodes in 8-bit levels, unclipped: red, green and blue,
    // with blue running fastest.
    std::vector<float> m_grid;
};

/// An ICC profile of Display P3 (the DCI-P3 primaries, D65 white, the sRGB tone curve), made
/// by LittleCMS, to tag pictures with wide-gamut colours.
QByteArray displayP3Icc();

/// `image` with its ICC profile (as Qt's readers keep it in the image's colour space)
/// converted to sRGB; the same image when it has none that converts.
QImage toSrgb(QImage image);

} // namespace platform::raster
