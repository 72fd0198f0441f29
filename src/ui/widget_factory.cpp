#include "widget_factory.h"

#include "window_style.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

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

void SetAccessibleName(QWidget *control, const QString &name)
{
    control->setAccessibleName(name);
    if (auto *combo = qobject_cast<QComboBox *>(control)) {
        if (combo->lineEdit())
            combo->lineEdit()->setAccessibleName(name);
        combo->view()->setAccessibleName(name);
    }
}

} // namespace widgets
