#include "graphical_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

void GraphicalButton::SetFaceColour(const QColor &face, const QColor &bevel)
{
    setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 2px outset %2; border-radius: 2px; }"
                                 "QPushButton:pressed { border-style: inset; }"
                                 "QPushButton:focus { outline: 1px dotted black; }")
                      .arg(face.name(), bevel.name()));
}

void GraphicalButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect textRect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
}
