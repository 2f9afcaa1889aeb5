#include "support/fixtures.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QImageWriter>

namespace testing {

QByteArray encodeWithQt(const QImage& image, const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        qFatal("cannot encode a %s fixture: %s", format, qPrintable(writer.errorString()));
    return bytes;
}

namespace {

void put16(QByteArray& out, int v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

// LZW data that never compresses: every pixel is sent as its own code, and a clear code
// comes before the code width would grow, so a plain writer stays short.
QByteArray lzwUncompressed(const QImage& indexed, int minCodeSize)
{
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    const int width = minCodeSize + 1;
    QByteArray out;
    quint32 bits = 0;
    int count = 0;
    auto emit = [&](int code) {
        bits |= quint32(code) << count;
        count += width;
        while (count >= 8) {
            out.append(char(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    // After a clear code the decoder adds one table entry per code; the width grows when the
    // table reaches 1 << width, so clear again before that.
    const int run = (1 << width) - clear - 3;
    int sinceClear = 0;
    emit(clear);
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* line = indexed.constScanLine(y);
        for (int x = 0; x < indexed.width(); ++x) {
            if (sinceClear == run) {
                emit(clear);
                sinceClear = 0;
            }
            emit(line[x]);
            ++sinceClear;
        }
    }
    emit(end);
    if (count > 0)
        out.append(char(bits & 0xFF));
    return out;
}

} // namespace

QByteArray encodeGif(const QImage& indexed, int transparentIndex)
{
    Q_ASSERT(indexed.format() == QImage::Format_Indexed8);
    const int minCodeSize = 8;
    QByteArray out("GIF89a");
    put16(out, indexed.width());
    put16(out, indexed.height());
    out.append(char(0xF7)); // global colour table of 256 entries
    out.append(char(0));    // background index
    out.append(char(0));    // aspect
    const QList<QRgb> table = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table.at(i) : 0;
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    if (transparentIndex >= 0) {
        out.append("\x21\xF9\x04\x01", 4);
        put16(out, 0);
        out.append(char(transparentIndex));
        out.append(char(0));
    }
    out.append(char(0x2C));
    put16(out, 0);
    put16(out, 0);
    put16(out, indexed.width());
    put16(out, indexed.height());
    out.append(char(0));
    out.append(char(minCodeSize));
    const QByteArray data = lzwUncompressed(indexed, minCodeSize);
    for (qsizetype i = 0; i < data.size(); i += 255) {
        const QByteArray block = data.mid(i, 255);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append(char(0));
    out.append(char(0x3B));
    return out;
}

QImage patternImage(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y,
                qRgba((x * 37 + y * 11) & 0xFF, (x * 5 + y * 29) & 0xFF, (x * y + 77) & 0xFF, 255));
    }
    return image.convertToFormat(format);
}

QImage gradientImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / qMax(1, width - 1), y * 255 / qMax(1, height - 1), 128));
    }
    return image;
}

QString writeFile(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the fixture %s", qPrintable(path));
    return path;
}

QString corpusDir()
{
    const QString dir = QStringLiteral(PAVEX_CORPUS_DIR);
    return QDir(dir).exists() ? QDir(dir).absolutePath() : QString();
}

QStringList corpusFiles(const QString& subfolder)
{
    const QString root = corpusDir();
    if (root.isEmpty())
        return {};
    QStringList files;
    const QDir dir(root + u'/' + subfolder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
        files.append(dir.filePath(name));
    return files;
}

MessageBoxRecorder::MessageBoxRecorder()
    : m_previous(
        platform::setMessageBoxHandler([this](const QString& title, const QString& prompt) {
            titles.append(title);
            prompts.append(prompt);
        }))
{
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    platform::setMessageBoxHandler(m_previous);
}

FrozenClock::FrozenClock(const QDateTime& now)
    : m_previous(platform::setClock([now] { return now; }))
{
}

FrozenClock::~FrozenClock()
{
    platform::setClock(m_previous);
}

} // namespace testing
