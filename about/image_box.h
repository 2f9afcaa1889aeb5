#pragma once

#include "control.h"

#include <QImage>

namespace about {

/// A picture control: shows its picture at the top-left corner at the picture's own size,
/// not stretched, without border.
class ImageBox : public Control {
    Q_OBJECT
public:
    ImageBox(QImage picture, QWidget* parent);

    /// The picture shown.
    const QImage& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

} // namespace about
