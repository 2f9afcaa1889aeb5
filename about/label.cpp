#include "label.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace about {

namespace {

// A trailing blank belongs to the caption and takes its room when the line is centred.
constexpr int CaptionFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine
    | Qt::TextIncludeTrailingSpaces;

qreal captionWidth(const QFont& font, const QString& caption)
{
    return QFontMetricsF(font).boundingRect(QRectF(), CaptionFlags, caption).width();
}

} // namespace

Label::Label(const QString& caption, int tabIndex, QWidget* parent)
    : Control(parent)
    , m_caption(caption)
    , m_tabIndex(tabIndex)
{
    // Opaque, in the window colour it takes from the window.
    setAutoFillBackground(true);
}

QFont Label::drawnFont() const
{
    QFont drawn = font();
    const qreal natural = captionWidth(drawn, m_caption);
    if (natural <= width())
        return drawn;
    // The faces installed here run wider than the Windows faces the design was measured
    // with; narrower glyphs keep the whole caption inside the box at its point size.
    int stretch = int(std::floor(100.0 * width() / natural));
    drawn.setStretch(qMax(stretch, 1));
    while (stretch > 1 && captionWidth(drawn, m_caption) > width())
        drawn.setStretch(--stretch);
    return drawn;
}

void Label::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(drawnFont());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), CaptionFlags, m_caption);
}

} // namespace about
