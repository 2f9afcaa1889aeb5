#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QRgb>

#include <memory>

namespace platform::raster {

/// Converts pixels from the colours of an embedded ICC profile to sRGB, as the screen and
/// the printer show them (LittleCMS 2, perceptual intent). Only RGB profiles convert; a
/// picture without one, or with one that cannot be read, keeps its pixels exactly.
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

private:
    explicit ColourProfile(void* transform);
    void* m_transform; // cmsHTRANSFORM
};

/// An ICC profile of Display P3 (the DCI-P3 primaries, D65 white, the sRGB tone curve), made
/// by LittleCMS, to tag pictures with wide-gamut colours.
QByteArray displayP3Icc();

/// `image` with its ICC profile (as Qt's readers keep it in the image's colour space)
/// converted to sRGB; the same image when it has none that converts.
QImage toSrgb(QImage image);

} // namespace platform::raster
