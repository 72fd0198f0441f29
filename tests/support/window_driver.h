// A technician's hands on any of our windows: find a control by its design
// name, click it, type into it key by key, read the status line.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace driver {

template <typename W = QWidget>
W *Find(const QWidget *window, const QString &name)
{
    auto *w = window->findChild<W *>(name);
    if (!w)
        qFatal("no control named %s", qPrintable(name));
    return w;
}

// Option buttons and check boxes are clicked on their indicator.
inline void Click(QWidget *w)
{
    const bool indicator = w->inherits("QRadioButton") || w->inherits("QCheckBox");
    QTest::mouseClick(w, Qt::LeftButton, {}, indicator ? QPoint(6, w->height() / 2) : QPoint());
}

inline void Click(const QWidget *window, const QString &name) { Click(Find(window, name)); }

// Types each key into whichever control holds the focus, as a keyboard does:
// the octet boxes move the focus along their row by themselves.
inline void TypeHere(const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

// Puts the focus in the box first.
inline void Type(const QWidget *window, const QString &box, const QString &text)
{
    Find(window, box)->setFocus();
    TypeHere(text);
}

// Replaces a box's whole text, as select-all and typing do.
inline void ReplaceText(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

inline QString Status(const QWidget *window) { return Find<QLabel>(window, QStringLiteral("Status"))->text(); }

} // namespace driver
