#include "hostile_rasters.h"

#include "raster_fixtures.h"

#include <QtEndian>

#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

namespace testing {

namespace {

void appendBigEndian32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

// A PNG chunk: length, type, data, CRC of type and data.
QByteArray pngChunk(const char* type, const QByteArray& data, quint32 declaredLength)
{
    QByteArray chunk;
    appendBigEndian32(chunk, declaredLength);
    const QByteArray body = QByteArray(type, 4) + data;
    chunk += body;
    appendBigEndian32(
        chunk,
        quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
    return chunk;
}

QByteArray pngHead(QSize size)
{
    QByteArray ihdr;
    appendBigEndian32(ihdr, quint32(size.width()));
    appendBigEndian32(ihdr, quint32(size.height()));
    ihdr.append(char(8)).append(char(6)).append(3, '\0'); // 8 bits, RGBA, deflate, no interlace
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr, quint32(ihdr.size()));
}

// The zlib stream of `rows` rows of filter byte 0 and `rowBytes` zero bytes each; with
// `stopAfter` > 0, only its first `stopAfter` bytes or so, however many rows that covers.
QByteArray deflatedZeroRows(qint64 rowBytes, qint64 rows, qint64 stopAfter)
{
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    const std::vector<Bytef> zeros(size_t(rowBytes + 1), 0);
    std::vector<Bytef> chunk(64 * 1024);
    QByteArray out;
    for (qint64 row = 0; row <= rows; ++row) {
        const bool last = row == rows;
        z.next_in = const_cast<Bytef*>(zeros.data());
        z.avail_in = last ? 0 : uInt(zeros.size());
        do {
            z.next_out = chunk.data();
            z.avail_out = uInt(chunk.size());
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(reinterpret_cast<const char*>(chunk.data()),
                       qsizetype(chunk.size() - z.avail_out));
        } while (z.avail_out == 0);
        if (stopAfter > 0 && out.size() >= stopAfter)
            break;
    }
    deflateEnd(&z);
    return stopAfter > 0 ? out.left(stopAfter) : out;
}

void putLittle32(QByteArray& out, qsizetype at, quint32 value)
{
    qToLittleEndian(value, out.data() + at);
}

} // namespace

QByteArray pngCutShort(int side, qint64 dataBytes)
{
    const QByteArray data = deflatedZeroRows(qint64(side) * 4, side, dataBytes);
    // The chunk claims the stream it would take; the file ends inside it.
    return pngHead(QSize(side, side)) + pngChunk("IDAT", data, quint32(dataBytes * 64)).chopped(4);
}

QByteArray pngOfZeros(QSize size)
{
    const QByteArray data = deflatedZeroRows(qint64(size.width()) * 4, size.height(), 0);
    return pngHead(size) + pngChunk("IDAT", data, quint32(data.size())) + pngChunk("IEND", {}, 0);
}

QByteArray iconOfOneCutPng(int entries, int side, qint64 dataBytes)
{
    const QByteArray png = pngCutShort(side, dataBytes);
    QByteArray file(6 + 16 * entries, '\0');
    file[2] = 1; // icons
    file[4] = char(entries & 0xFF);
    file[5] = char(entries >> 8);
    for (int i = 0; i < entries; ++i) {
        const qsizetype at = 6 + 16 * i;
        file[at + 4] = 1;  // planes
        file[at + 6] = 32; // bits
        putLittle32(file, at + 8, quint32(png.size()));
        putLittle32(file, at + 12, quint32(file.size()));
    }
    return file + png;
}

QByteArray jpegWithEmptyScans(int side, int emptyScans)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(side);
    cinfo.image_height = JDIMENSION(side);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    // The DC coefficients alone: a progressive script of one scan.
    jpeg_scan_info dcScan{};
    dcScan.comps_in_scan = 1;
    dcScan.component_index[0] = 0;
    cinfo.scan_info = &dcScan;
    cinfo.num_scans = 1;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(side), 128);
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.next_scanline < cinfo.image_height)
        jpeg_write_scanlines(&cinfo, rows, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray jpeg(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);

    // An AC table of one code (end of block), then the scans, before EOI.
    QByteArray tail("\xFF\xC4\x00\x14\x10", 5);
    tail += QByteArray("\x01", 1) + QByteArray(15, '\0') + QByteArray(1, '\0');
    const QByteArray emptyScan("\xFF\xDA\x00\x08\x01\x01\x00\x01\x3F\x00", 10);
    tail += emptyScan.repeated(emptyScans);
    return jpeg.chopped(2) + tail + QByteArray("\xFF\xD9", 2);
}

QByteArray bmpOfClaimedSize(qint32 width, qint32 height, int bitCount, int bitsBytes)
{
    DibFixture d;
    d.width = width;
    d.height = height;
    d.bitCount = bitCount;
    d.bits = QByteArray(bitsBytes, '\x55');
    return d.file();
}

QByteArray bmpWithPng(QSize claimed, QSize actual)
{
    DibFixture d;
    d.width = claimed.width();
    d.height = claimed.height();
    d.bitCount = 0;
    d.compression = 5; // BI_PNG
    d.bits = pngOfZeros(actual);
    return d.file();
}

} // namespace testing
