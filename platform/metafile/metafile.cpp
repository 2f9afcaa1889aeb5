#include "metafile.h"

#include "emf_player.h"
#include "platform/errors.h"
#include "wmf_player.h"

#include <QPainter>

namespace platform::metafile {

namespace {

// The largest picture we show: the widest image and window Qt makes, at 96 dpi.
constexpr double MaxPixels = 32767;

class EmfGraphic final : public VectorGraphic {
public:
    EmfGraphic(QByteArray bytes, const EmfHeader& header)
        : m_bytes(std::move(bytes))
        , m_header(header)
    {
    }
    QSizeF extentHimetric() const override { return emfExtentHimetric(m_header); }
    void play(QPainter& painter, const QRectF& target) const override
    {
        playEmf(m_bytes, m_header, painter, target);
    }

private:
    QByteArray m_bytes;
    EmfHeader m_header;
};

class WmfGraphic final : public VectorGraphic {
public:
    WmfGraphic(QByteArray bytes, const WmfHeader& header)
        : m_bytes(std::move(bytes))
        , m_header(header)
    {
        // A WMF that carries an EMF of itself is shown from the EMF, which says more.
        QByteArray emf = embeddedEmf(m_bytes, m_header);
        if (const std::optional<EmfHeader> emfHeader = readEmfHeader(emf)) {
            m_emf = std::move(emf);
            m_emfHeader = *emfHeader;
        }
    }
    QSizeF extentHimetric() const override { return wmfExtentHimetric(m_header); }
    void play(QPainter& painter, const QRectF& target) const override
    {
        if (m_emfHeader)
            playEmf(m_emf, *m_emfHeader, painter, target);
        else
            playWmf(m_bytes, m_header, painter, target);
    }

private:
    QByteArray m_bytes;
    WmfHeader m_header;
    QByteArray m_emf;
    std::optional<EmfHeader> m_emfHeader;
};

void checkExtent(QSizeF himetric)
{
    const int w = himetricToPixels(himetric.width(), 96);
    const int h = himetricToPixels(himetric.height(), 96);
    if (!(himetric.width() > 0 && himetric.height() > 0) || w < 1 || h < 1 || w > MaxPixels
        || h > MaxPixels)
        raise(InvalidPicture);
}

} // namespace

std::shared_ptr<const VectorGraphic> loadMetafile(PictureFormat format, QByteArrayView bytes)
{
    std::shared_ptr<const VectorGraphic> graphic;
    switch (format) {
    case PictureFormat::Emf:
        if (const std::optional<EmfHeader> header = readEmfHeader(bytes)) {
            checkExtent(emfExtentHimetric(*header));
            graphic = std::make_shared<EmfGraphic>(bytes.toByteArray(), *header);
        }
        break;
    case PictureFormat::PlaceableWmf:
    case PictureFormat::Wmf:
        if (const std::optional<WmfHeader> header = readWmfHeader(bytes)) {
            checkExtent(wmfExtentHimetric(*header));
            graphic = std::make_shared<WmfGraphic>(bytes.toByteArray(), *header);
        }
        break;
    default:
        break;
    }
    if (!graphic)
        raise(InvalidPicture);
    return graphic;
}

} // namespace platform::metafile
