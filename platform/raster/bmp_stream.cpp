#include "bmp_stream.h"

#include "../errors.h"
#include "colour_profile.h"
#include "dib.h"
#include "pixel_budget.h"

#include <QFile>

#include <memory>

namespace platform::raster {

namespace {

// Enough of a BMP file for every header and the bitfield masks.
constexpr qint64 HeadBytes = 14 + 124 + 16;
constexpr QRgb AlphaBits = 0xFF000000;

/// The rows of a plain bitmap, read from the file one by one in picture order.
class BmpRows final : public PendingRows {
public:
    explicit BmpRows(const QString& path)
        : m_file(path)
    {
    }

    /// Opens the file and reads its layout; nothing when it is not a plain bitmap.
    std::optional<PlainBitmap> open()
    {
        if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            raise(PathFileAccessError);
        const std::optional<PlainBitmap> layout = plainBitmap(m_file.read(HeadBytes),
                                                              m_file.size());
        if (layout) {
            m_layout = *layout;
            if (layout->profileSize > 0 && m_file.seek(layout->profileOffset))
                m_profile = ColourProfile::fromIcc(m_file.read(layout->profileSize));
        }
        return layout;
    }

    qint64 fileSize() const { return m_file.size(); }

    /// Takes the picture's pixels (Format_RGB32 of the layout's size), before any row is read.
    void start(QImage image) { adopt(std::move(image)); }

    int rowsReady() const override { return m_ready; }

    bool decodeMore(int rows) override
    {
        const int stop = qMin(m_layout.height, m_ready + qMax(rows, 1));
        while (m_ready < stop) {
            if (!readRow(m_ready))
                fill(m_ready);
            ++m_ready;
        }
        if (m_ready >= m_layout.height)
            m_file.close();
        return m_ready < m_layout.height;
    }

private:
    // Reads picture row `y` into its line: the stored bytes go to the end of the line and
    // spread out to 32 bits from the front, so each byte is read before it is overwritten.
    bool readRow(int y)
    {
        const int stored = m_layout.topDown ? y : m_layout.height - 1 - y;
        const qint64 bytes = qint64(m_layout.width) * m_layout.bitCount / 8;
        uchar* start = line(y);
        auto* out = reinterpret_cast<QRgb*>(start);
        uchar* in = start + (qint64(m_layout.width) * 4 - bytes);
        if (!m_file.seek(m_layout.offset + stored * m_layout.stride)
            || m_file.read(reinterpret_cast<char*>(in), bytes) != bytes)
            return false;
        if (m_layout.bitCount == 24) {
            for (int x = 0; x < m_layout.width; ++x, in += 3)
                out[x] = AlphaBits | QRgb(in[2]) << 16 | QRgb(in[1]) << 8 | in[0];
        } else {
            for (int x = 0; x < m_layout.width; ++x)
                out[x] |= AlphaBits; // the fourth byte is not alpha in a plain bitmap
        }
        if (m_profile)
            m_profile->convert(out, m_layout.width);
        return true;
    }

    // A row the file no longer holds (it shrank since it was measured) shows black.
    void fill(int y)
    {
        auto* out = reinterpret_cast<QRgb*>(line(y));
        std::fill(out, out + m_layout.width, AlphaBits);
    }

    QFile m_file;
    PlainBitmap m_layout;
    std::unique_ptr<ColourProfile> m_profile;
    int m_ready = 0;
};

} // namespace

std::optional<Picture> openPlainBmp(const QString& path, int firstRows, CostBudget& budget)
{
    auto rows = std::make_shared<BmpRows>(path);
    const std::optional<PlainBitmap> layout = rows->open();
    if (!layout)
        return std::nullopt;
    rows->start(allocatePicture(budget, layout->width, layout->height, QImage::Format_RGB32,
                                rows->fileSize()));
    rows->decodeMore(firstRows);
    return Picture(std::move(rows));
}

} // namespace platform::raster
