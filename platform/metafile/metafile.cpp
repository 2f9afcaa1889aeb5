#include "metafile.h"

#include "emf_player.h"
#include "platform/errors.h"
#include "wmf_player.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace platform::metafile {

namespace {

// The largest picture we show: the widest image and window Qt makes, at 96 dpi.
constexpr double MaxPixels = 32767;

class EmfGraphic final : public MetafileGraphic {
public:
    EmfGraphic(QByteArray bytes, const EmfHeader& header)
        : MetafileGraphic(bytes.size())
        , m_bytes(std::move(bytes))
        , m_header(header)
    {
    }
    QSizeF extentHimetric() const override { return emfExtentHimetric(m_header); }
    using MetafileGraphic::play;
    void play(QPainter& painter, const QRectF& target, CostBudget& budget) const override
    {
        playEmf(m_bytes, m_header, painter, target, budget);
    }

private:
    QByteArray m_bytes;
    EmfHeader m_header;
};

class WmfGraphic final : public MetafileGraphic {
public:
    WmfGraphic(QByteArray bytes, const WmfHeader& header)
        : MetafileGraphic(bytes.size())
        , m_bytes(std::move(bytes))
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
    using MetafileGraphic::play;
    void play(QPainter& painter, const QRectF& target, CostBudget& budget) const override
    {
        if (m_emfHeader)
            playEmf(m_emf, *m_emfHeader, painter, target, budget);
        else
            playWmf(m_bytes, m_header, painter, target, budget);
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

void MetafileGraphic::play(QPainter& painter, const QRectF& target) const
{
    CostBudget budget = playBudget(painter, target);
    play(painter, target, budget);
}

CostBudget MetafileGraphic::playBudget(const QPainter& painter, const QRectF& target) const
{
    // The pixels the target covers on the device: a printed page or an enlarged view of a
    // small picture justifies more than the picture's own size.
    const QSizeF himetric = extentHimetric();
    const double own = (himetric.width() * 96 / 2540) * (himetric.height() * 96 / 2540);
    double shown = 0;
    if (const QPaintDevice* device = painter.device()) {
        const QRectF covered = painter.deviceTransform().mapRect(target)
            & QRectF(0, 0, device->width() * device->devicePixelRatio(),
                     device->height() * device->devicePixelRatio());
        shown = covered.width() * covered.height();
    }
    CostBudget budget(m_fileBytes);
    budget.allowPicture(qint64(std::min(std::max(own, shown), 1e12)));
    return budget;
}

std::shared_ptr<const MetafileGraphic> loadMetafile(PictureFormat format, QByteArrayView bytes,
                                                    CostBudget* loadBudget)
{
    CostBudget ownBudget(bytes.size());
    CostBudget& budget = loadBudget ? *loadBudget : ownBudget;
    std::shared_ptr<const MetafileGraphic> graphic;
    switch (format) {
    case PictureFormat::Emf:
        if (const std::optional<EmfHeader> header = readEmfHeader(bytes)) {
            checkExtent(emfExtentHimetric(*header));
            graphic = std::make_shared<EmfGraphic>(bytes.toByteArray(), *header);
        }
        break;
    case PictureFormat::PlaceableWmf:
    case PictureFormat::Wmf:
        if (const std::optional<WmfHeader> header = readWmfHeader(bytes, budget)) {
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
