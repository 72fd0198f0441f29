// The real main window on a recording library, scripted message boxes and a
// hand-driven timer.
#pragma once

#include "board_link.h"
#include "fake_ticker.h"
#include "fakes.h"
#include "form1.h"
#include "gateway_commands.h"
#include "window_driver.h"

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
    BoardLink link {library};
    GatewayCommands commands {link};
    std::unique_ptr<Form1> form;

    explicit Form1Rig(bool com1Opens = true, bool logOpens = true, bool readerStarts = true)
    {
        if (!com1Opens)
            library.openablePorts.clear();
        library.refuseLog = !logOpens;
        library.runFails = !readerStarts;
        form = std::make_unique<Form1>(link, commands, boxes, timer, watch);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the main window was not exposed");
    }

    template <typename W = QWidget>
    W *Get(const char *name) const
    {
        return driver::Find<W>(form.get(), QString::fromLatin1(name));
    }
    QLineEdit *Box(const char *name) const { return Get<QLineEdit>(name); }
    bool Checked(const char *name) const { return Get<QAbstractButton>(name)->isChecked(); }
    // The Enabled property the section procedures set, not what a disabled
    // frame does to the controls inside it.
    bool EnabledProperty(const char *name) const { return !Get(name)->testAttribute(Qt::WA_ForceDisabled); }
    void Click(const char *name) const { driver::Click(Get(name)); }
    void Type(const char *name, const QString &text) const { driver::Type(form.get(), name, text); }
    void TypeHere(const QString &text) const { driver::TypeHere(text); }
    QString Status() const { return driver::Status(form.get()); }
    // In the open dialog: moves `downs` entries down the port list, then
    // presses OK.
    void DialogOk(int downs = 0) const
    {
        QWidget *dialog = form->Dialog();
        auto *combo = driver::Find<QComboBox>(dialog, QStringLiteral("ComPortCombo"));
        combo->setFocus();
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        driver::Click(dialog, QStringLiteral("cmdOK"));
    }
};
