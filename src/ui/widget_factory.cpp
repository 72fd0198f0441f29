#include "widget_factory.h"

#include "window_style.h"

#include <QLabel>

namespace widgets {

QLabel *Label(QWidget *container, const char *name, const QString &caption, Twips at, bool wrap)
{
    auto *label = Make<QLabel>(container, name, at);
    label->setTextFormat(Qt::PlainText);
    label->setText(caption);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(wrap);
    return label;
}

QGroupBox *Frame(QWidget *container, const char *name, const QString &caption, Twips at)
{
    auto *frame = Make<CaptionedFrame>(container, name, at);
    frame->setTitle(caption);
    return frame;
}

} // namespace widgets
