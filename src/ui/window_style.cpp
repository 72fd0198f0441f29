#include "window_style.h"

#include <QFontDatabase>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

QFont WindowFont(qreal points, bool bold)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setStretch(QFont::SemiCondensed);
    return font;
}

void CaptionedFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics fm(font());
    // Drawn here: some styles place their group box frame below the caption
    // whatever rectangle they are given.
    qDrawShadeRect(&painter, rect().adjusted(0, fm.height() / 2, 0, 0), palette(), true, 1, 0);
    if (title().isEmpty())
        return;
    const QRect caption(6, 0, fm.horizontalAdvance(title()) + 4, fm.height());
    painter.fillRect(caption, palette().window());
    style()->drawItemText(&painter, caption, Qt::AlignCenter, palette(), isEnabled(), title(), QPalette::WindowText);
}
