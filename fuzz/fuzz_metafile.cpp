// libFuzzer target: the metafile loader and player. Each input is sniffed like a file; a
// WMF or EMF is loaded and played at a real size onto an image, as the viewer shows it, and
// into a PDF, as it is printed, each within a low budget: an input that costs much time or
// memory is as much a finding as one that crashes.
#include "fuzz_application.h"
#include "platform/cost_budget.h"
#include "platform/errors.h"
#include "platform/metafile/metafile.h"
#include "platform/picture_format.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <cstddef>
#include <cstdint>

namespace {

// What one play may spend: a few full-screen fills' worth of work, and far less memory than
// the run's limit.
constexpr qint64 WorkLimit = 8LL << 20;
constexpr qint64 MemoryLimit = 96LL << 20;

platform::CostBudget lowBudget(qint64 fileBytes)
{
    platform::CostBudget budget(fileBytes);
    budget.charge(std::max<qint64>(0, budget.workLeft() - WorkLimit));
    budget.hold(std::max<qint64>(0, budget.memoryAllowed() - MemoryLimit));
    return budget;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    return startFuzzApplication(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const platform::PictureFormat format = platform::sniffFormat(
        bytes.first(std::min<qsizetype>(64, bytes.size())));
    if (format != platform::PictureFormat::Wmf && format != platform::PictureFormat::PlaceableWmf
        && format != platform::PictureFormat::Emf)
        return 0;
    try {
        platform::CostBudget load = lowBudget(bytes.size());
        const auto graphic = platform::metafile::loadMetafile(format, bytes, &load);
        {
            QImage image(1024, 768, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            platform::CostBudget budget = lowBudget(bytes.size());
            graphic->play(painter, QRectF(0, 0, 1024, 768), budget);
        }
        {
            QBuffer pdf;
            pdf.open(QIODevice::WriteOnly);
            QPdfWriter writer(&pdf);
            writer.setResolution(300);
            QPainter painter(&writer);
            platform::CostBudget budget = lowBudget(bytes.size());
            graphic->play(painter, QRectF(0, 0, 2400, 1800), budget);
        }
    } catch (const platform::Error&) {
        // Refused: the loader's answer to a file that is no picture.
    }
    return 0;
}
