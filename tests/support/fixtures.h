#pragma once

#include "platform/message_box.h"
#include "platform/text.h"

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QString>
#include <QStringList>

namespace testing {

/// `image` written by Qt's writer for `format` ("bmp", "jpeg", "ico", "png").
QByteArray encodeWithQt(const QImage& image, const char* format, int quality = -1);

/// A GIF89a of an indexed image (Format_Indexed8, at most 256 colours), written by our own
/// minimal encoder; `transparentIndex` >= 0 adds a graphic control extension.
QByteArray encodeGif(const QImage& indexed, int transparentIndex = -1);

/// A picture with distinct, position-dependent colours, so that a decoded copy that is
/// shifted, flipped or cropped does not compare equal.
QImage patternImage(int width, int height, QImage::Format format = QImage::Format_RGB32);

/// A smooth gradient (red across, green down): survives lossy compression closely.
QImage gradientImage(int width, int height);

/// Writes `bytes` to `dir`/`name` and returns the path.
QString writeFile(const QDir& dir, const QString& name, const QByteArray& bytes);

/// The corpus of real picture files beside the project, or "" when it is absent.
QString corpusDir();

/// The files of a corpus subfolder ("raster/bmp/good"), sorted; empty when absent.
QStringList corpusFiles(const QString& subfolder);

/// Answers every message box while it lives and records the prompts.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    QStringList prompts;
    QStringList titles;

private:
    platform::MessageBoxHandler m_previous;
};

/// Freezes Now() at a given time while it lives.
class FrozenClock {
public:
    explicit FrozenClock(const QDateTime& now);
    ~FrozenClock();
    FrozenClock(const FrozenClock&) = delete;
    FrozenClock& operator=(const FrozenClock&) = delete;

private:
    platform::Clock m_previous;
};

} // namespace testing
