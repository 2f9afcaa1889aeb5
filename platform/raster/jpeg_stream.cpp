#include "jpeg_stream.h"

#include "../byte_reader.h"
#include "../cost_budget.h"
#include "../errors.h"
#include "colour_profile.h"
#include "jpeg.h"
#include "jpeg_markers.h"
#include "pixel_budget.h"
#include "turn.h"

#include <QFile>
#include <QRegion>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace platform::raster {

namespace {

using jpeg::EOI;

constexpr qint64 ReadChunk = 64 * 1024;
constexpr QRgb DamagedFill = 0xFFC0C0C0; // the picture control's own grey

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

    /// Reads the header; false when libjpeg cannot. Fills `width`, `height` and whether the
    /// fast path can write the pixels (not CMYK).
    bool readHeader(int& width, int& height, bool& direct)
    {
        if (setjmp(m_error.jump))
            return false;
        jpeg_create_decompress(&m_cinfo);
        m_created = true;
        m_cinfo.src = &m_source.pub;
        jpeg_save_markers(&m_cinfo, JPEG_APP0 + 2, 0xFFFF); // ICC profile segments
        if (jpeg_read_header(&m_cinfo, TRUE) != JPEG_HEADER_OK)
            return false;
        JOCTET* icc = nullptr;
        unsigned int iccSize = 0;
        if (jpeg_read_icc_profile(&m_cinfo, &icc, &iccSize)) {
            m_profile = ColourProfile::fromIcc(
                QByteArrayView(reinterpret_cast<const char*>(icc), qsizetype(iccSize)));
            std::free(icc);
        }
        width = int(m_cinfo.image_width);
        height = int(m_cinfo.image_height);
        direct = m_cinfo.jpeg_color_space != JCS_CMYK && m_cinfo.jpeg_color_space != JCS_YCCK;
        return true;
    }

    /// Holds libjpeg's working memory for the picture in the budget, and keeps libjpeg from
    /// taking more than the budget leaves; false when it does not fit.
    bool holdWorkingMemory()
    {
        const qint64 coefficients = coefficientBytes(m_cinfo);
        m_budget.allowWorkingMemory(coefficients);
        const qint64 left = m_budget.memoryAllowed() - m_budget.memoryHeld();
        if (!m_budget.hold(coefficients))
            return false;
        m_working = coefficients;
        m_cinfo.mem->max_memory_to_use = long(qMin<qint64>(left, std::numeric_limits<long>::max()));
        return true;
    }

    /// Starts the decompression into `image` (Format_RGB32 of the size shown under `turn`)
    /// and decodes first the stored part that `turn` shows inside `firstView` (from the
    /// shown top-left corner), when the stored rows do not come top down; false when libjpeg
    /// cannot start.
    bool start(QImage image, const Turn& turn, QSize firstView)
    {
        adopt(std::move(image));
        m_turn = turn;
        m_height = turn.stored().height();
        if (!turn.keepsRowOrder()) {
            const QRect view = QRect(QPoint(0, 0), firstView) & QRect(QPoint(0, 0), turn.shown());
            if (!beginOutput() || !readFirstView(turn.storedRect(view)))
                m_firstView = QRect(); // damaged: the main pass decides what shows
            else
                m_firstView = view;
            if (!restart())
                return false;
        } else if (turn.orientation() == 1 && m_cinfo.progressive_mode) {
            return beginProgressive();
        }
        return beginOutput();
    }

    int rowsReady() const override
    {
        if (m_ready >= m_height)
            return image().height();
        if (m_pass != Pass::Single)
            return m_ready;
        const int view = m_firstView.width() == image().width() ? m_firstView.height() : 0;
        return m_turn.keepsRowOrder() ? qMax(m_ready, view) : view;
    }

    QRegion readyRegion() const override
    {
        return QRegion(m_firstView)
            + m_turn.shownRect(QRect(0, 0, m_turn.stored().width(), m_ready));
    }

    int refinedRows() const override
    {
        return m_pass == Pass::Fine ? m_refined : m_pass == Pass::Done ? m_height : 0;
    }

    bool complete() const override
    {
        return m_pass == Pass::Single ? m_ready >= m_height : m_pass == Pass::Done;
    }

    bool decodeMore(int rows) override
    {
        if (m_pass != Pass::Single)
            return refine(qMax(rows, 1));
        if (m_ready >= m_height)
            return false;
        if (!readRows(qMin(qMax(rows, 1), m_height - m_ready)))
            fillRest();
        if (m_ready >= m_height)
            finish();
        return m_ready < m_height;
    }

private:
    // Sets the output that the picture takes and starts the decompression.
    bool beginOutput()
    {
        if (setjmp(m_error.jump))
            return false;
        m_cinfo.out_color_space = JCS_EXT_BGRX; // the byte order of Format_RGB32
        m_cinfo.dct_method = JDCT_ISLOW;
        // From here on, when the picture's size is in the budget.
        m_cinfo.progress = &m_monitor.pub;
        jpeg_start_decompress(&m_cinfo);
        return m_cinfo.output_width == JDIMENSION(m_turn.stored().width())
            && m_cinfo.output_height == JDIMENSION(m_height) && m_cinfo.output_components == 4;
    }

    // A picture of several scans: libjpeg keeps the coefficients of every scan read so far
    // and draws the picture from them whenever asked, so the first scans show all of it,
    // coarsely, long before the last one is read.
    bool beginProgressive()
    {
        if (setjmp(m_error.jump))
            return false;
        m_cinfo.buffered_image = TRUE;
        if (!beginOutput())
            return false;
        // Every component's DC coefficients, so the coarse picture has its colours.
        for (;;) {
            bool dcOfAll = true;
            for (int c = 0; c < m_cinfo.num_components; ++c)
                dcOfAll = dcOfAll && m_cinfo.coef_bits[c][0] >= 0;
            if (dcOfAll)
                break;
            const int status = jpeg_consume_input(&m_cinfo);
            if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED)
                return false; // no picture to show
        }
        jpeg_start_output(&m_cinfo, m_cinfo.input_scan_number);
        m_pass = Pass::Coarse;
        return true;
    }

    // One step of a picture of several scans: the coarse pass's rows, then the rest of the
    // scans (about one block row per eight rows asked for), then the final pass's rows.
    bool refine(int rows)
    {
        const Pass was = m_pass;
        if (setjmp(m_error.jump)) {
            // Damaged: a coarse pass cut short is filled; a finer pass keeps what it drew.
            if (was == Pass::Coarse)
                fillRest();
            m_pass = Pass::Done;
            finish();
            return false;
        }
        switch (m_pass) {
        case Pass::Coarse:
            m_ready += readLines(m_ready, qMin(rows, m_height - m_ready));
            if (m_cinfo.output_scanline >= m_cinfo.output_height || m_ready >= m_height) {
                m_ready = m_height;
                jpeg_finish_output(&m_cinfo);
                m_pass = Pass::Gather;
            }
            break;
        case Pass::Gather:
            for (int i = 0; i < qMax(1, rows / 8); ++i) {
                const int status = jpeg_consume_input(&m_cinfo);
                if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED) {
                    jpeg_start_output(&m_cinfo, m_cinfo.input_scan_number);
                    m_pass = Pass::Fine;
                    break;
                }
            }
            break;
        case Pass::Fine:
            m_refined += readLines(m_refined, qMin(rows, m_height - m_refined));
            if (m_cinfo.output_scanline >= m_cinfo.output_height || m_refined >= m_height) {
                jpeg_finish_output(&m_cinfo);
                m_pass = Pass::Done;
                finish();
            }
            break;
        case Pass::Single:
        case Pass::Done:
            break;
        }
        return m_pass != Pass::Done;
    }

    // Reads up to `count` rows of the current output pass into the picture's lines from
    // `top`; the rows read (fewer only at the end of the data). Call under setjmp.
    int readLines(int top, int count)
    {
        int done = 0;
        while (done < count) {
            std::array<JSAMPROW, StripRows> rows{};
            const int n = qMin(count - done, StripRows);
            for (int i = 0; i < n; ++i)
                rows[size_t(i)] = line(top + done + i);
            const JDIMENSION got = jpeg_read_scanlines(&m_cinfo, rows.data(), JDIMENSION(n));
            if (got == 0)
                break;
            toSrgb(rows.data(), int(got));
            done += int(got);
        }
        return done;
    }

    // Converts `count` rows just decoded from the picture's embedded profile to sRGB.
    void toSrgb(const JSAMPROW* rows, int count) const
    {
        if (!m_profile)
            return;
        for (int i = 0; i < count; ++i)
            m_profile->convert(reinterpret_cast<QRgb*>(rows[i]), qsizetype(m_cinfo.output_width));
    }

    // Back to the file's start for a decompression of the whole picture.
    bool restart()
    {
        if (setjmp(m_error.jump))
            return false;
        jpeg_abort_decompress(&m_cinfo);
        if (!m_file.seek(0))
            return false;
        m_source.pub.bytes_in_buffer = 0;
        m_source.pub.next_input_byte = nullptr;
        return jpeg_read_header(&m_cinfo, TRUE) == JPEG_HEADER_OK;
    }

    // Decodes the stored rectangle `wanted` only: libjpeg skips the rows above it and crops
    // the columns around it. A margin on each side keeps the smoothing of subsampled colour
    // at the cut out of the wanted pixels, so they equal those of the whole decode.
    bool readFirstView(const QRect& wanted)
    {
        constexpr int Margin = 16;
        if (setjmp(m_error.jump))
            return false;
        const int storedWidth = m_turn.stored().width();
        JDIMENSION left = JDIMENSION(qMax(0, wanted.left() - Margin));
        JDIMENSION width = JDIMENSION(qMin(storedWidth, wanted.right() + 1 + Margin)) - left;
        if (width < JDIMENSION(storedWidth))
            jpeg_crop_scanline(&m_cinfo, &left, &width);
        const int top = qMax(0, wanted.top() - Margin);
        if (top > 0 && jpeg_skip_scanlines(&m_cinfo, JDIMENSION(top)) != JDIMENSION(top))
            return false;
        const qsizetype stride = qsizetype(m_cinfo.output_width) * 4;
        m_strip.resize(size_t(stride) * StripRows);
        int y = top;
        while (y <= wanted.bottom()) {
            const int n = qMin(StripRows, wanted.bottom() + 1 - y);
            const int got = readStrip(n);
            if (got <= 0)
                return false;
            const int from = qMax(y, wanted.top());
            writeStrip(int(left), wanted.left(), wanted.right() + 1, y, from, y + got);
            y += got;
        }
        return true;
    }

    // Reads up to `count` (at most StripRows) rows into the strip; the rows read.
    int readStrip(int count)
    {
        std::array<JSAMPROW, StripRows> rows{};
        const qsizetype stride = qsizetype(m_cinfo.output_width) * 4;
        for (int i = 0; i < count; ++i)
            rows[size_t(i)] = m_strip.data() + i * stride;
        int got = 0;
        while (got < count) {
            const JDIMENSION n = jpeg_read_scanlines(&m_cinfo, rows.data() + got,
                                                     JDIMENSION(count - got));
            if (n == 0)
                break;
            got += int(n);
        }
        toSrgb(rows.data(), got);
        return got;
    }

    // Puts the strip's stored rows `from` to `to` (the strip starting at stored row
    // `stripTop` and column `stripLeft`), columns `x0` to `x1`, where the turn shows them.
    void writeStrip(int stripLeft, int x0, int x1, int stripTop, int from, int to)
    {
        const qsizetype stride = qsizetype(m_cinfo.output_width);
        const auto* strip = reinterpret_cast<const QRgb*>(m_strip.data());
        auto* out = reinterpret_cast<QRgb*>(line(0));
        const Turn::Walk walk = m_turn.walk(image().bytesPerLine() / 4);
        if (m_turn.transposes()) {
            // A stored column is a shown row: walk it so the writes stay on one line.
            for (int x = x0; x < x1; ++x) {
                QRgb* at = out + walk.origin + x * walk.perColumn + from * walk.perRow;
                const QRgb* in = strip + (from - stripTop) * stride + (x - stripLeft);
                for (int y = from; y < to; ++y, at += walk.perRow, in += stride)
                    *at = *in;
            }
            return;
        }
        for (int y = from; y < to; ++y) {
            QRgb* at = out + walk.origin + x0 * walk.perColumn + y * walk.perRow;
            const QRgb* in = strip + (y - stripTop) * stride + (x0 - stripLeft);
            for (int x = x0; x < x1; ++x, at += walk.perColumn)
                *at = *in++;
        }
    }

    // Decodes up to `count` stored rows; false when libjpeg gave up on the data.
    bool readRows(int count)
    {
        if (setjmp(m_error.jump))
            return false;
        const int stop = m_ready + count;
        if (m_turn.orientation() == 1) {
            // Upright: straight into the picture's lines.
            const int got = readLines(m_ready, count);
            m_ready += got;
            return got == count;
        }
        m_strip.resize(size_t(m_cinfo.output_width) * 4 * StripRows);
        while (m_ready < stop) {
            const int got = readStrip(qMin(stop - m_ready, StripRows));
            if (got <= 0)
                return false;
            writeStrip(0, 0, m_turn.stored().width(), m_ready, m_ready, m_ready + got);
            m_ready += got;
        }
        return true;
    }

    // Fills what the stored rows from the first one not decoded down show.
    void fillRest()
    {
        const QRect rest = m_turn.shownRect(
            QRect(0, m_ready, m_turn.stored().width(), m_height - m_ready));
        for (int y = rest.top(); y <= rest.bottom(); ++y) {
            auto* out = reinterpret_cast<QRgb*>(line(y));
            std::fill(out + rest.left(), out + rest.right() + 1, DamagedFill);
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
        m_strip = {};
        m_file.close();
    }

    // Stored rows read at a time where they are turned: one iMCU row of 2x2-subsampled colour.
    static constexpr int StripRows = 16;

    QFile m_file;
    CostBudget m_budget;
    jpeg_decompress_struct m_cinfo{};
    ErrorManager m_error{};
    FileSource m_source{};
    ScanMonitor m_monitor{};
    qint64 m_working = 0; // libjpeg's memory held in the budget
    bool m_created = false;
    // The output passes: one for most pictures; a coarse one, the rest of the scans, and a
    // final one for a picture of several scans.
    enum class Pass {
        Single,
        Coarse,
        Gather,
        Fine,
        Done
    };

    Turn m_turn{1, QSize()};
    Pass m_pass = Pass::Single;
    std::unique_ptr<ColourProfile> m_profile;
    int m_refined = 0; // rows of the final pass in the picture
    QRect m_firstView; // shown pixels decoded ahead of the main pass
    std::vector<uchar> m_strip;
    int m_height = 0; // stored rows
    int m_ready = 0;  // stored rows of the main pass in the picture
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
    bool direct = true;
    if (!rows->readHeader(width, height, direct))
        raise(InvalidPicture);
    if (!direct)
        return Picture(decodeWhole(file, budget));

    const Turn turn(structure.orientation, QSize(width, height));
    const QSize shown = turn.shown();
    QImage image = allocatePicture(budget, shown.width(), shown.height(), QImage::Format_RGB32,
                                   file.size());
    rows->takeBudget(budget);
    if (!rows->holdWorkingMemory())
        raise(OutOfMemory);
    if (!rows->start(std::move(image), turn, QSize(2 * firstRows, firstRows)))
        raise(InvalidPicture);
    if (turn.keepsRowOrder())
        rows->decodeMore(firstRows);
    budget = rows->budget();
    return Picture(std::move(rows));
}

} // namespace platform::raster
