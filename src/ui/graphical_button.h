// A push button in the "graphical" style: its own background colour, and a
// caption that wraps onto several lines instead of being cut off.
#pragma once

#include <QPushButton>

class GraphicalButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

    // The face colour under every style: with a border of its own, the
    // style sheet draws the whole button.
    void SetFaceColour(const QColor &face, const QColor &bevel);

protected:
    void paintEvent(QPaintEvent *) override;
};
