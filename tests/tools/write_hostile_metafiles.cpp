// write_hostile_metafiles DIR: writes the costly small metafiles of
// support/hostile_metafiles.h into DIR, to time pavex-render on them.
#include "support/hostile_metafiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <functional>
#include <utility>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_hostile_metafiles DIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const std::pair<const char*, std::function<QByteArray()>> files[] = {
        {"exclude_clip_holes.wmf", [] { return testing::wmfExcludeClipHoles(); }},
        {"huge_mono_pattern.wmf", [] { return testing::wmfHugeMonoPattern(); }},
        {"large_mono_pattern_with_bits.wmf",
         [] { return testing::wmfHugeMonoPattern(1500, 2800, true); }},
        {"huge_pattern_brushes.emf", [] { return testing::emfHugePatternBrushes(); }},
        {"empty_rle_blits.emf", [] { return testing::emfEmptyRleBlits(); }},
        {"oversized_png.emf", [] { return testing::emfOversizedEmbeddedPicture(false); }},
        {"oversized_jpeg.emf", [] { return testing::emfOversizedEmbeddedPicture(true); }},
        {"overflowing_transforms.emf", [] { return testing::emfOverflowingTransforms(); }},
        {"full_object_table.wmf", [] { return testing::wmfFullObjectTable(); }},
        {"double_byte_text.wmf", [] { return testing::wmfDoubleByteText(); }},
    };
    for (const auto& [name, make] : files) {
        QFile out(dir.filePath(QString::fromLatin1(name)));
        if (!out.open(QIODevice::WriteOnly) || out.write(make()) < 0) {
            std::fprintf(stderr, "write_hostile_metafiles: cannot write %s\n", name);
            return 1;
        }
    }
    return 0;
}
