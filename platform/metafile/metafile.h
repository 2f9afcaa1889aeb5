#pragma once

#include "platform/cost_budget.h"
#include "platform/picture.h"
#include "platform/picture_format.h"

#include <QByteArrayView>

#include <memory>

class QPainter;

namespace platform::metafile {

/// A loaded WMF or EMF: a vector graphic whose every play is bounded by a cost budget.
class MetafileGraphic : public VectorGraphic {
public:
    /// Plays within what the file's size and the larger of the picture's own size and the
    /// target's size on the device justify (playBudget()).
    void play(QPainter& painter, const QRectF& target) const final;

    /// Plays within `budget`: once its work is spent, drawing stops and what was drawn stays;
    /// bitmaps and brushes that do not fit in its memory are left out.
    virtual void play(QPainter& painter, const QRectF& target, CostBudget& budget) const = 0;

    /// A fresh budget for one play onto `painter`'s device into `target`.
    CostBudget playBudget(const QPainter& painter, const QRectF& target) const;

protected:
    explicit MetafileGraphic(qint64 fileBytes)
        : m_fileBytes(fileBytes)
    {
    }

private:
    qint64 m_fileBytes;
};

/// Loads a WMF (placeable or standard) or EMF from `bytes` as a vector graphic that owns a
/// copy of them. Its extent: the EMF's frame, the placeable header's bounding box at its
/// units per inch, or for a standard WMF what standardWmfFrame() assumes. Raises
/// InvalidPicture when the headers are unreadable or the extent is empty or larger than
/// 32767 pixels at 96 dpi. Records are checked only when played: a damaged record ends the
/// picture there. What loading plays (the bounds of a standard WMF without a window) is
/// charged to `loadBudget`, or to a budget of the file's size when none is given.
std::shared_ptr<const MetafileGraphic> loadMetafile(PictureFormat format, QByteArrayView bytes,
                                                    CostBudget* loadBudget = nullptr);

} // namespace platform::metafile
