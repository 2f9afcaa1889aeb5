// write-hostile-rasters FOLDER: writes the small files that cost a careless raster decoder
// the most into FOLDER, one per kind, for measuring what opening each of them costs.
#include "hostile_rasters.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: write-hostile-rasters FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"icon-1000-entries-cut-png.ico", testing::iconOfOneCutPng(1000, 8192, 64 * 1024)},
        {"jpeg-4090-empty-scans.jpg", testing::jpegWithEmptyScans(8192, 4090)},
        {"jpeg-200-empty-scans.jpg", testing::jpegWithEmptyScans(8192, 200)},
        {"bmp-7fffffff-square.bmp", testing::bmpOfClaimedSize(0x7FFFFFFF, 0x7FFFFFFF, 32, 64)},
        {"bmp-png-larger-than-header.bmp", testing::bmpWithPng({16, 16}, {8000, 8000})},
    };
    for (const auto& file : files) {
        QFile out(dir.filePath(QString::fromLatin1(file.name)));
        if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) != file.bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
            return 1;
        }
        std::printf("%s %lld bytes\n", file.name, static_cast<long long>(file.bytes.size()));
    }
    return 0;
}
