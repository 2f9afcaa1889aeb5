#include "colour_profile.h"

#include <QColorSpace>

#include <lcms2.h>

#include <limits>

namespace platform::raster {

namespace {

// Each conversion's own profiles are closed as soon as its transform is made.
struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

} // namespace

std::unique_ptr<ColourProfile> ColourProfile::fromIcc(QByteArrayView icc)
{
    if (icc.isEmpty() || icc.size() > std::numeric_limits<cmsUInt32Number>::max())
        return nullptr;
    const Profile source(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
    if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData)
        return nullptr;
    const Profile srgb(cmsCreate_sRGBProfile());
    // QRgb lies in memory as blue, green, red, alpha.
    cmsHTRANSFORM transform = cmsCreateTransform(source.get(), TYPE_BGRA_8, srgb.get(), TYPE_BGRA_8,
                                                 INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA);
    if (!transform)
        return nullptr;
    return std::unique_ptr<ColourProfile>(new ColourProfile(transform));
}

ColourProfile::ColourProfile(void* transform)
    : m_transform(transform)
{
}

ColourProfile::~ColourProfile()
{
    cmsDeleteTransform(m_transform);
}

void ColourProfile::convert(QRgb* pixels, qsizetype count) const
{
    // LittleCMS takes 32-bit counts; a line of pixels never comes near.
    constexpr qsizetype Step = qsizetype(1) << 30;
    for (qsizetype done = 0; done < count; done += Step)
        cmsDoTransform(m_transform, pixels + done, pixels + done,
                       cmsUInt32Number(qMin(Step, count - done)));
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
