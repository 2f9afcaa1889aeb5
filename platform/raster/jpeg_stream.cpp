#include "jpeg_stream.h"

#include "../byte_reader.h"
#include "../cost_budget.h"
#include "../errors.h"
#include "jpeg.h"
#include "jpeg_markers.h"
#include "pixel_budget.h"

#include <QFile>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include <jpeglib.h>

namespace platform::raster {

namespace {

using jpeg::APP1;
using jpeg::EOI;

constexpr qint64 ReadChunk = 64 * 1024;
constexpr QRgb DamagedFill = 0xFFC0C0C0; // the picture control's own grey

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

void quietMessage(j_common_ptr)
{
}

// A source that reads the file in chunks; the end of the file reads as an EOI marker, as
// libjpeg's own file source does, so a file cut short decodes partly.
struct FileSource {
    jpeg_source_mgr pub;
    QFile* file;
    std::array<JOCTET, ReadChunk> buffer;
};

void initSource(j_decompress_ptr)
{
}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    qint64 n = src->file->read(reinterpret_cast<char*>(src->buffer.data()),
                               qint64(src->buffer.size()));
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

void termSource(j_decompress_ptr)
{
}

// Counts the scans libjpeg reads as it reads them, whatever the file held when it was
// walked: each scan is charged to the budget as a pass over its components' pixels, and a
// file of more scans than any encoder writes is given up.
struct ScanMonitor {
    jpeg_progress_mgr pub;
    CostBudget* budget;
    int scan;
};

void monitorScans(j_common_ptr common)
{
    auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    auto* monitor = reinterpret_cast<ScanMonitor*>(common->progress);
    if (cinfo->input_scan_number == monitor->scan)
        return;
    monitor->scan = cinfo->input_scan_number;
    const qint64 pixels = qint64(cinfo->image_width) * cinfo->image_height;
    if (monitor->scan > jpeg::MaxScans
        || !monitor->budget->charge(pixels * qMax(cinfo->comps_in_scan, 1)))
        (*common->err->error_exit)(common);
}

// The coefficients libjpeg keeps for the whole picture when it reads more than one scan
// before the first row comes out (progressive pictures, and sequential ones whose
// components come in scans of their own); nothing for a picture of one interleaved scan.
qint64 coefficientBytes(const jpeg_decompress_struct& cinfo)
{
    if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&cinfo)))
        return 0;
    qint64 bytes = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& component = cinfo.comp_info[c];
        const qint64 rows = (qint64(component.height_in_blocks) + component.v_samp_factor - 1)
            / component.v_samp_factor * component.v_samp_factor;
        bytes += qint64(component.width_in_blocks + component.h_samp_factor) * rows
            * qint64(sizeof(JBLOCK));
    }
    return bytes;
}

/// One JPEG being decoded into a picture's pixels, top row first. It charges a budget of its
/// own, the file's as it stood when the file was opened, as the rows come later.
class JpegRows final : public PendingRows {
public:
    JpegRows(const QString& path, const CostBudget& budget)
        : m_file(path)
        , m_budget(budget)
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
        m_monitor.pub.progress_monitor = monitorScans;
        m_monitor.budget = &m_budget;
    }

    ~JpegRows() override
    {
        if (m_created)
            jpeg_destroy_decompress(&m_cinfo);
    }

    JpegRows(const JpegRows&) = delete;
    JpegRows& operator=(const JpegRows&) = delete;

    QFile& file() { return m_file; }
    const CostBudget& budget() const { return m_budget; }
    void takeBudget(const CostBudget& budget) { m_budget = budget; }

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

    /// Holds libjpeg's working memory for the picture in the budget, and keeps libjpeg from
    /// taking more than the budget leaves; false when it does not fit.
    bool holdWorkingMemory()
    {
        const qint64 coefficients = coefficientBytes(m_cinfo);
        const qint64 left = m_budget.memoryAllowed() - m_budget.memoryHeld();
        if (!m_budget.hold(coefficients))
            return false;
        m_working = coefficients;
        m_cinfo.mem->max_memory_to_use = long(qMin<qint64>(left, std::numeric_limits<long>::max()));
        return true;
    }

    /// Starts the decompression into `image` (Format_RGB32 of the header's size); false when
    /// libjpeg cannot.
    bool start(QImage image)
    {
        adopt(std::move(image));
        m_height = this->image().height();
        if (setjmp(m_error.jump))
            return false;
        m_cinfo.out_color_space = JCS_EXT_BGRX; // the byte order of Format_RGB32
        m_cinfo.dct_method = JDCT_ISLOW;
        // From here on, when the picture's size is in the budget.
        m_cinfo.progress = &m_monitor.pub;
        jpeg_start_decompress(&m_cinfo);
        return m_cinfo.output_width == JDIMENSION(this->image().width())
            && m_cinfo.output_height == JDIMENSION(m_height) && m_cinfo.output_components == 4;
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
                rows[size_t(i)] = line(m_ready + i);
            const JDIMENSION got = jpeg_read_scanlines(&m_cinfo, rows.data(), JDIMENSION(n));
            if (got == 0)
                return false;
            m_ready += int(got);
        }
        return true;
    }

    void fillRest()
    {
        const qsizetype pixelsPerLine = image().bytesPerLine() / 4;
        for (int y = m_ready; y < m_height; ++y) {
            auto* out = reinterpret_cast<QRgb*>(line(y));
            std::fill(out, out + pixelsPerLine, DamagedFill);
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
    CostBudget m_budget;
    jpeg_decompress_struct m_cinfo{};
    ErrorManager m_error{};
    FileSource m_source{};
    ScanMonitor m_monitor{};
    qint64 m_working = 0; // libjpeg's memory held in the budget
    bool m_created = false;
    int m_height = 0;
    int m_ready = 0;
};

// The whole file through decodeJpeg(), for the pictures the fast path does not take: read
// into memory, not mapped, so that a file cut short meanwhile by another program reads as a
// shorter file.
QImage decodeWhole(QFile& file, CostBudget& budget)
{
    if (!file.seek(0))
        raise(PathFileAccessError);
    return decodeJpeg(file.readAll(), budget);
}

} // namespace

Picture openJpeg(const QString& path, int firstRows, CostBudget& budget)
{
    auto rows = std::make_shared<JpegRows>(path, budget);
    QFile& file = rows->file();
    if (!file.open(QIODevice::ReadOnly))
        raise(PathFileAccessError);
    const jpeg::Structure structure = jpeg::walkSegments(file);
    if (!structure.sound || structure.segments > jpeg::MaxSegments || !file.seek(0))
        raise(InvalidPicture);
    // Refused before a row is decoded when its scans alone would spend the budget; libjpeg's
    // scans are charged as it reads them.
    scanWork(budget, structure, file.size());

    int width = 0;
    int height = 0;
    int orientation = 1;
    bool direct = true;
    if (!rows->readHeader(width, height, orientation, direct))
        raise(InvalidPicture);
    if (orientation != 1 || !direct)
        return Picture(decodeWhole(file, budget));

    QImage image = allocatePicture(budget, width, height, QImage::Format_RGB32, file.size());
    rows->takeBudget(budget);
    if (!rows->holdWorkingMemory())
        raise(OutOfMemory);
    if (!rows->start(std::move(image)))
        raise(InvalidPicture);
    rows->decodeMore(firstRows);
    budget = rows->budget();
    return Picture(std::move(rows));
}

} // namespace platform::raster
