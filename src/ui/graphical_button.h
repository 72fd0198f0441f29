// A push button in the "graphical" style: its own background colour, and a
// caption that wraps onto several lines instead of being cut off.
#pragma once

#include <QPushButton>

class GraphicalButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

    // A face of this colour with a raised bevel, under every style. Without
    // one, the style draws the button.
    void SetFaceColour(const QColor &face, const QColor &bevel);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor face_;
    QColor bevel_;
};
