// The look both windows share: the font and the frames.
#pragma once

#include <QGroupBox>

// The system's sans face at `points`, in its semi-condensed cut: the layout
// was drawn for a narrow face, and this keeps captions inside their controls.
[[nodiscard]] QFont WindowFont(qreal points, bool bold = false);

// A frame whose caption sits on its border line, as the layout expects:
// styles that put the caption above the line would run the border through
// the first row of controls.
class CaptionedFrame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *event) override;
};
