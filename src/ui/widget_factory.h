// Every control of both windows is made the same way: named as in the
// design, placed in twips inside its container, with its caption.
#pragma once

#include "twips.h"

#include <QString>

class QGroupBox;
class QLabel;
class QWidget;

namespace widgets {

struct Twips {
    int left, top, width, height;
};

template <typename W>
W *Make(QWidget *container, const char *name, Twips at)
{
    auto *w = new W(container);
    w->setObjectName(QString::fromLatin1(name));
    twips::Place(w, at.left, at.top, at.width, at.height);
    return w;
}

// Push buttons, check boxes and option buttons.
template <typename B>
B *Button(QWidget *container, const char *name, const QString &caption, Twips at)
{
    auto *button = Make<B>(container, name, at);
    button->setText(caption);
    return button;
}

// Plain text from the top left, as the layout was drawn. With `wrap`, a
// face wider than the one it was drawn for wraps the caption instead of
// cutting it off.
[[nodiscard]] QLabel *Label(QWidget *container, const char *name, const QString &caption, Twips at,
                            bool wrap = false);
// A frame with its caption on the border line.
[[nodiscard]] QGroupBox *Frame(QWidget *container, const char *name, const QString &caption, Twips at);

// What a screen reader calls the control. A combo box's text field and its
// list take the focus on their own, so they are given the same name.
void SetAccessibleName(QWidget *control, const QString &name);

} // namespace widgets
