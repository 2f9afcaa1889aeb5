#include "jpeg_stream.h"

#include "../byte_reader.h"
#include "../errors.h"
#include "jpeg.h"
#include "pixel_budget.h"

#include <QFile>

#include <array>
#include <csetjmp>
#include <cstring>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

namespace platform::raster {

namespace {

// Markers [ITU-T T.81 Table B.1].
constexpr int SOI = 0xD8;
constexpr int EOI = 0xD9;
constexpr int SOS = 0xDA;
constexpr int TEM = 0x01;
constexpr int RST0 = 0xD0;
constexpr int RST7 = 0xD7;
constexpr int APP1 = 0xE1;
constexpr int SOF0 = 0xC0;
constexpr int SOF15 = 0xCF;
constexpr int DHT = 0xC4;
constexpr int JPG = 0xC8;
constexpr int DAC = 0xCC;

// As many marker segments as any real picture has (ICC profiles split over up to 255 APP2
// segments included); beyond, libjpeg's marker handling slows to minutes.
constexpr int MaxSegments = 4096;

constexpr qint64 ReadChunk = 64 * 1024;
constexpr QRgb DamagedFill = 0xFFC0C0C0; // the picture control's own grey

/// Reads a file byte by byte through a buffer, without mapping it into memory.
class ChunkReader {
public:
    explicit ChunkReader(QIODevice& device) : m_device(device), m_buffer(ReadChunk, Qt::Uninitialized) {}

    /// The next byte, or -1 at the end of the file.
    int next()
    {
        if (m_at == m_end) {
            const qint64 n = m_device.read(m_buffer.data(), m_buffer.size());
            if (n <= 0)
                return -1;
            m_at = 0;
            m_end = n;
        }
        return quint8(m_buffer[m_at++]);
    }

    /// Steps to just after the next 0xFF byte; false when the file ends first.
    bool skipPastFF()
    {
        for (;;) {
            const auto* begin = reinterpret_cast<const uchar*>(m_buffer.constData());
            const void* hit = std::memchr(begin + m_at, 0xFF, size_t(m_end - m_at));
            if (hit) {
                m_at = static_cast<const uchar*>(hit) - begin + 1;
                return true;
            }
            m_at = m_end;
            if (next() < 0)
                return false;
            if (quint8(m_buffer[m_at - 1]) == 0xFF)
                return true;
        }
    }

    /// Skips `count` bytes; false when the file ends first.
    bool skip(qint64 count)
    {
        const qint64 buffered = qMin(count, m_end - m_at);
        m_at += buffered;
        count -= buffered;
        if (count == 0)
            return true;
        const qint64 target = m_device.pos() + count;
        if (target > m_device.size())
            return false;
        return m_device.seek(target);
    }

private:
    QIODevice& m_device;
    QByteArray m_buffer;
    qint64 m_at = 0;
    qint64 m_end = 0;
};

// Walks the marker segments of the whole file the way libjpeg's marker reader does: each
// segment's length must make sense, a frame header must come before the first scan, and
// the entropy-coded data after each scan run to the next marker. A file cut short is
// accepted (it decodes partly, as libjpeg pads it); a segment that claims more bytes than
// the file has, or too many segments, is not.
bool structureIsSound(QIODevice& device)
{
    ChunkReader in(device);
    if (in.next() != 0xFF || in.next() != SOI)
        return false;
    int segments = 0;
    bool frame = false;
    bool inScan = false;
    for (;;) {
        // Entropy-coded data, or stray bytes that libjpeg steps over, up to the next marker.
        if (!in.skipPastFF())
            return frame; // cut short: decodes partly
        int marker = in.next();
        while (marker == 0xFF)
            marker = in.next();
        if (marker < 0)
            return frame;
        if (marker == 0 || marker == TEM || (marker >= RST0 && marker <= RST7))
            continue; // stuffed byte or restart marker inside the scan data
        if (marker == EOI)
            return frame;
        if (++segments > MaxSegments)
            return false;
        const int high = in.next();
        const int low = in.next();
        if (high < 0 || low < 0)
            return inScan;
        const int length = high << 8 | low;
        if (length < 2)
            return false;
        if (marker >= SOF0 && marker <= SOF15 && marker != DHT && marker != JPG && marker != DAC)
            frame = true;
        if (marker == SOS && !frame)
            return false;
        if (!in.skip(length - 2))
            return inScan; // cut short inside a segment: only scan data before it decode
        inScan = inScan || marker == SOS;
    }
}

// The EXIF orientation (1 to 8) of a saved APP1 segment, or 1 when it states none.
int exifOrientation(jpeg_saved_marker_ptr marker)
{
    for (; marker; marker = marker->next) {
        if (marker->marker != APP1 || marker->data_length < 14)
            continue;
        ByteReader r(QByteArrayView(reinterpret_cast<const char*>(marker->data),
                                    qsizetype(marker->data_length)));
        if (r.bytes(6) != QByteArrayView("Exif\0\0", 6))
            continue;
        ByteReader tiff(r.rest());
        const quint16 order = tiff.u16();
        const bool big = order == 0x4D4D; // "MM"
        if (!big && order != 0x4949)      // "II"
            continue;
        auto u16 = [&](ByteReader& b) { return big ? b.u16be() : b.u16(); };
        auto u32 = [&](ByteReader& b) { return big ? b.u32be() : b.u32(); };
        u16(tiff); // 42
        tiff.seek(u32(tiff));
        const int entries = u16(tiff);
        for (int i = 0; i < entries && !tiff.failed(); ++i) {
            ByteReader entry = tiff.take(12);
            if (u16(entry) != 0x0112) // Orientation
                continue;
            u16(entry); // SHORT
            u32(entry); // count
            const int value = u16(entry);
            return !entry.failed() && value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

// libjpeg's fatal errors jump back to the call that started the work.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void quietMessage(j_common_ptr) {}

// A source that reads the file in chunks; the end of the file reads as an EOI marker, as
// libjpeg's own file source does, so a file cut short decodes partly.
struct FileSource {
    jpeg_source_mgr pub;
    QFile* file;
    std::array<JOCTET, ReadChunk> buffer;
};

void initSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    qint64 n = src->file->read(reinterpret_cast<char*>(src->buffer.data()), qint64(src->buffer.size()));
    if (n <= 0) {
        src->buffer[0] = 0xFF;
        src->buffer[1] = EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer.data();
    src->pub.bytes_in_buffer = size_t(n);
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        fillInputBuffer(cinfo);
    }
    if (count > 0) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= size_t(count);
    }
}

void termSource(j_decompress_ptr) {}

/// One JPEG being decoded into a picture's pixels, top row first.
class JpegRows final : public PendingRows {
public:
    explicit JpegRows(const QString& path) : m_file(path)
    {
        m_cinfo.err = jpeg_std_error(&m_error.pub);
        m_error.pub.error_exit = errorExit;
        m_error.pub.output_message = quietMessage;
        m_source.pub.init_source = initSource;
        m_source.pub.fill_input_buffer = fillInputBuffer;
        m_source.pub.skip_input_data = skipInputData;
        m_source.pub.resync_to_restart = jpeg_resync_to_restart;
        m_source.pub.term_source = termSource;
        m_source.pub.bytes_in_buffer = 0;
        m_source.pub.next_input_byte = nullptr;
        m_source.file = &m_file;
    }

    ~JpegRows() override
    {
        if (m_created)
            jpeg_destroy_decompress(&m_cinfo);
    }

    JpegRows(const JpegRows&) = delete;
    JpegRows& operator=(const JpegRows&) = delete;

    QFile& file() { return m_file; }

    /// Reads the header; false when libjpeg cannot. Fills `width`, `height`, `orientation`
    /// and whether the fast path can write the pixels (not CMYK).
    bool readHeader(int& width, int& height, int& orientation, bool& direct)
    {
        if (setjmp(m_error.jump))
            return false;
        jpeg_create_decompress(&m_cinfo);
        m_created = true;
        m_cinfo.src = &m_source.pub;
        jpeg_save_markers(&m_cinfo, APP1, 0xFFFF);
        if (jpeg_read_header(&m_cinfo, TRUE) != JPEG_HEADER_OK)
            return false;
        width = int(m_cinfo.image_width);
        height = int(m_cinfo.image_height);
        orientation = exifOrientation(m_cinfo.marker_list);
        direct = m_cinfo.jpeg_color_space != JCS_CMYK && m_cinfo.jpeg_color_space != JCS_YCCK;
        return true;
    }

    /// Starts the decompression into `image` (Format_RGB32 of the header's size); false when
    /// libjpeg cannot.
    bool start(QImage& image)
    {
        m_pixels = image.bits();
        m_bytesPerLine = image.bytesPerLine();
        m_height = image.height();
        if (setjmp(m_error.jump))
            return false;
        m_cinfo.out_color_space = JCS_EXT_BGRX; // the byte order of Format_RGB32
        m_cinfo.dct_method = JDCT_ISLOW;
        jpeg_start_decompress(&m_cinfo);
        return m_cinfo.output_width == JDIMENSION(image.width())
            && m_cinfo.output_height == JDIMENSION(image.height())
            && m_cinfo.output_components == 4;
    }

    int rowsReady() const override { return m_ready; }

    bool decodeMore(int rows) override
    {
        if (m_ready >= m_height)
            return false;
        if (!readRows(qMin(rows, m_height - m_ready)))
            fillRest();
        if (m_ready >= m_height)
            finish();
        return m_ready < m_height;
    }

private:
    // Decodes up to `count` rows; false when libjpeg gave up on the data.
    bool readRows(int count)
    {
        if (setjmp(m_error.jump))
            return false;
        const int stop = m_ready + count;
        while (m_ready < stop) {
            std::array<JSAMPROW, 16> rows{};
            const int n = qMin(stop - m_ready, int(rows.size()));
            for (int i = 0; i < n; ++i)
                rows[size_t(i)] = m_pixels + qsizetype(m_ready + i) * m_bytesPerLine;
            const JDIMENSION got = jpeg_read_scanlines(&m_cinfo, rows.data(), JDIMENSION(n));
            if (got == 0)
                return false;
            m_ready += int(got);
        }
        return true;
    }

    void fillRest()
    {
        for (int y = m_ready; y < m_height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_pixels + qsizetype(y) * m_bytesPerLine);
            std::fill(line, line + m_bytesPerLine / 4, DamagedFill);
        }
        m_ready = m_height;
    }

    // Frees libjpeg's state and the file as soon as the last row is in.
    void finish()
    {
        if (m_created) {
            if (!setjmp(m_error.jump))
                jpeg_abort_decompress(&m_cinfo);
            jpeg_destroy_decompress(&m_cinfo);
            m_created = false;
        }
        m_file.close();
    }

    QFile m_file;
    jpeg_decompress_struct m_cinfo{};
    ErrorManager m_error{};
    FileSource m_source{};
    bool m_created = false;
    uchar* m_pixels = nullptr;
    qsizetype m_bytesPerLine = 0;
    int m_height = 0;
    int m_ready = 0;
};

// The whole file through decodeJpeg(), for the pictures the fast path does not take.
QImage decodeWhole(QFile& file)
{
    const qint64 size = file.size();
    if (const uchar* mapped = file.map(0, size)) {
        QImage image = decodeJpeg(QByteArrayView(mapped, size));
        file.unmap(const_cast<uchar*>(mapped));
        return image;
    }
    file.seek(0);
    return decodeJpeg(file.readAll());
}

} // namespace

Picture openJpeg(const QString& path, int firstRows)
{
    auto rows = std::make_shared<JpegRows>(path);
    QFile& file = rows->file();
    if (!file.open(QIODevice::ReadOnly))
        raise(PathFileAccessError);
    if (!structureIsSound(file) || !file.seek(0))
        raise(InvalidPicture);

    int width = 0;
    int height = 0;
    int orientation = 1;
    bool direct = true;
    if (!rows->readHeader(width, height, orientation, direct))
        raise(InvalidPicture);
    if (orientation != 1 || !direct)
        return Picture(decodeWhole(file));

    QImage image = allocatePicture(width, height, QImage::Format_RGB32, file.size());
    if (!rows->start(image))
        raise(InvalidPicture);
    rows->decodeMore(firstRows);
    return Picture(std::move(image), std::move(rows));
}

} // namespace platform::raster
