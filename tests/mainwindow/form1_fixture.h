// The real main window on a recording library, scripted message boxes and a
// hand-driven timer.
#pragma once

#include "board_link.h"
#include "fake_ticker.h"
#include "fakes.h"
#include "form1.h"
#include "gateway_commands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <memory>

struct Form1Rig {
    testsupport::FakeSerialLibrary library;
    testsupport::FakeMessageBoxes boxes;
    FakeTicker timer;
    FakeTicker watch; // the line watch
    BoardLink link {library, boxes};
    GatewayCommands commands {link};
    std::unique_ptr<Form1> form;

    explicit Form1Rig(bool com1Opens = true, bool logOpens = true)
    {
        if (!com1Opens)
            library.openablePorts.clear();
        library.refuseLog = !logOpens;
        form = std::make_unique<Form1>(link, commands, boxes, timer, watch);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the main window was not exposed");
    }

    template <typename W = QWidget>
    W *get(const char *name) const
    {
        auto *w = form->findChild<W *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control named %s", name);
        return w;
    }
    QLineEdit *box(const char *name) const { return get<QLineEdit>(name); }
    bool checked(const char *name) const { return get<QAbstractButton>(name)->isChecked(); }
    // The Enabled property the section procedures set, not what a disabled
    // frame does to the controls inside it.
    bool enabledProperty(const char *name) const
    {
        return !get(name)->testAttribute(Qt::WA_ForceDisabled);
    }
    // Option buttons and check boxes are clicked on their indicator.
    void click(const char *name) const
    {
        QWidget *w = get(name);
        const bool indicator = w->inherits("QRadioButton") || w->inherits("QCheckBox");
        QTest::mouseClick(w, Qt::LeftButton, {}, indicator ? QPoint(6, w->height() / 2) : QPoint());
    }
    // Puts the focus in the box, then types each key into whichever control
    // holds the focus, as a keyboard does.
    void type(const char *name, const QString &text) const
    {
        box(name)->setFocus();
        typeHere(text);
    }
    // In the open dialog: moves `downs` entries down the port list, then
    // presses OK.
    void dialogOk(int downs = 0) const
    {
        QWidget *dialog = form->Dialog();
        auto *combo = dialog->findChild<QComboBox *>("ComPortCombo");
        combo->setFocus();
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        QTest::mouseClick(dialog->findChild<QWidget *>("cmdOK"), Qt::LeftButton);
    }
    void typeHere(const QString &text) const
    {
        for (const QChar c : text)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
};
