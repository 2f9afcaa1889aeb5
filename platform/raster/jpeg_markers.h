#pragma once

#include <QByteArrayView>
#include <QIODevice>

#include <optional>

namespace platform::raster::jpeg {

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

/// As many marker segments as any real picture has (ICC profiles split over up to 255 APP2
/// segments included); beyond, libjpeg's marker handling slows to minutes.
constexpr int MaxSegments = 4096;

/// More scans than any encoder writes (progressive pictures have about ten); each scan is a
/// pass of the decoder over the whole picture, so a file of thousands of empty scans costs
/// minutes.
constexpr int MaxScans = 500;

/// What a walk over a JPEG file's marker segments found.
struct Structure {
    /// Each segment's length makes sense, a frame header comes before the first scan, and
    /// nothing is cut short before the scan data begin. A file cut short inside its scan
    /// data is sound: it decodes partly, as libjpeg pads it.
    bool sound = false;
    /// Marker segments counted; the walk stops one beyond MaxSegments.
    int segments = 0;
    /// The EXIF orientation (1 to 8) of the first APP1 "Exif" segment; 1 without one.
    int orientation = 1;
    /// Scans (SOS segments) counted; the walk stops, not sound, one beyond MaxScans.
    int scans = 0;
    /// The components of every scan counted, in sum: each is a pass over one component's
    /// coefficients.
    qint64 scanComponents = 0;
    /// The frame's size and components as its header (the first SOF) states them.
    int width = 0;
    int height = 0;
    int components = 0;
};

/// The EXIF orientation that `app1`, the payload of an APP1 segment, gives in IFD0 of its
/// TIFF structure: 1 to 8 as stored in any TIFF integer type (BYTE, SHORT, LONG and their
/// signed kinds) in either byte order; 1 when the tag is missing, damaged or out of range.
/// Nothing when the segment is not an Exif segment at all.
std::optional<int> exifOrientation(QByteArrayView app1);

/// Walks the marker segments of the whole file from the device's start, the way libjpeg's
/// marker reader does: entropy-coded data and stray bytes are stepped over up to the next
/// marker. Reads in chunks; never holds the file.
Structure walkSegments(QIODevice& device);

} // namespace platform::raster::jpeg
