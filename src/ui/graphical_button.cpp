#include "graphical_button.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

void GraphicalButton::SetFaceColour(const QColor &face, const QColor &bevel)
{
    face_ = face;
    bevel_ = bevel;
    update();
}

void GraphicalButton::paintEvent(QPaintEvent *)
{
    const QColor text = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    if (!face_.isValid()) {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        painter.setPen(text);
        painter.drawText(style()->subElementRect(QStyle::SE_PushButtonContents, &option, this), flags, caption);
        return;
    }
    // The face is drawn here rather than by a style sheet, so that its
    // colour holds under every style without loading the style-sheet engine.
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, face_);
    QColor light = bevel_, dark = face_.darker(160);
    if (isDown())
        std::swap(light, dark);
    for (int i = 0; i < 2; ++i) {
        painter.setPen(light);
        painter.drawLine(r.left() + i, r.top() + i, r.right() - i, r.top() + i);
        painter.drawLine(r.left() + i, r.top() + i, r.left() + i, r.bottom() - i);
        painter.setPen(dark);
        painter.drawLine(r.left() + i, r.bottom() - i, r.right() - i, r.bottom() - i);
        painter.drawLine(r.right() - i, r.top() + i, r.right() - i, r.bottom() - i);
    }
    if (hasFocus()) {
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(r.adjusted(4, 4, -5, -5));
    }
    painter.setPen(text);
    painter.drawText(r.adjusted(2, 2, -2, -2), flags, this->text());
}
