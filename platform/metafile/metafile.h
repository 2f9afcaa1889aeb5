#pragma once

#include "platform/picture.h"
#include "platform/picture_format.h"

#include <QByteArrayView>

#include <memory>

namespace platform::metafile {

/// Loads a WMF (placeable or standard) or EMF from `bytes` as a vector graphic that owns a
/// copy of them. Its extent: the EMF's frame, the placeable header's bounding box at its
/// units per inch, or for a standard WMF what standardWmfFrame() assumes. Raises
/// InvalidPicture when the headers are unreadable or the extent is empty or larger than
/// 32767 pixels at 96 dpi. Records are checked only when played: a damaged record ends the
/// picture there.
std::shared_ptr<const VectorGraphic> loadMetafile(PictureFormat format, QByteArrayView bytes);

} // namespace platform::metafile
