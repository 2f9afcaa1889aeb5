#pragma once

#include "control.h"

#include <QFont>

namespace about {

/// A label: an opaque light-grey box without border that shows its caption on one line,
/// centred horizontally at the top of the box, in its font and text colour (the palette's
/// window text). It never sizes itself.
class Label : public Control {
    Q_OBJECT
public:
    /// A label showing `caption` with `tabIndex` as its place in the tab order.
    Label(const QString& caption, int tabIndex, QWidget* parent);

    /// The text shown.
    QString Caption() const { return m_caption; }

    /// The label's place in the tab order. Labels never take the focus, so it only records
    /// their sequence.
    int TabIndex() const { return m_tabIndex; }

    /// The font the caption is drawn with: the label's font, narrowed just enough for the
    /// caption to fit the box when the installed face is wider than the one it stands for.
    QFont drawnFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
    int m_tabIndex;
};

} // namespace about
