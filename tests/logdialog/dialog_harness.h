// What both dialog tests share: a recording stand-in for the main window,
// the main window's way of opening the dialog, and a technician's hands.
#pragma once

#include "board_link.h"
#include "drop_down_combo.h"
#include "form2.h"
#include "main_window_access.h"
#include "window_driver.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QWindow>

#include <vector>

namespace dialogtest {

// Records what the dialog does to the main window. Each readiness check
// notes the port state it would see, as the real check reads it.
class FakeMainWindow : public MainWindowAccess {
public:
    explicit FakeMainWindow(BoardLink &link) : link_(link) {}

    std::vector<QString> captions;  // every Status write, in order
    std::vector<QString> expectedLogs; // every log the dialog said the library now writes
    std::vector<bool> checksSawOpen; // one per readiness check: the port was open
    QPointer<Form2> dialog;          // the open dialog, as the main window keeps it

    void SetStatusCaption(const QString &caption) override { captions.push_back(caption); }
    void SetExpectedLog(const QString &fileName) override { expectedLogs.push_back(fileName); }
    void CheckIfButtonEnabled() override { checksSawOpen.push_back(link_.IsPortOpen()); }

private:
    BoardLink &link_;
};

// The offscreen platform warns that it cannot raise windows or grab the
// keyboard for the drop-down list; neither matters to these tests.
inline QtMessageHandler previousHandler = nullptr;

inline void DropPlatformWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("This plugin does not support")))
        return;
    previousHandler(type, context, text);
}

inline void QuietPlatformWarnings()
{
    previousHandler = qInstallMessageHandler(DropPlatformWarnings);
}

template <typename W>
W *Find(QWidget *dialog, const char *name)
{
    return driver::Find<W>(dialog, QString::fromLatin1(name));
}

// The main window's button: a new dialog when none is open, else the open
// one brought to the front.
inline Form2 *OpenDialog(FakeMainWindow &main, BoardLink &link, GatewayCommands &commands,
                             MessageBoxes &boxes)
{
    if (!main.dialog)
        main.dialog = new Form2(link, commands, boxes, main);
    main.dialog->show();
    main.dialog->raise();
    main.dialog->activateWindow();
    if (!QTest::qWaitForWindowActive(main.dialog))
        qWarning("the dialog did not become active");
    return main.dialog;
}

// Lets a closed dialog's deferred deletion run.
inline void FlushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The window manager's close button.
inline void CloseByTitleBar(QWidget *window)
{
    QCloseEvent event;
    QCoreApplication::sendEvent(window->windowHandle(), &event);
}

// Opens the list with a click on its arrow, moves to entry `index` with the
// arrow keys and takes it with Enter.
inline void PickEntry(QComboBox *combo, int index)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QRect arrow = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxArrow, combo);
    QTest::mouseClick(combo, Qt::LeftButton, {}, arrow.center());
    QAbstractItemView *view = combo->view();
    if (!QTest::qWaitForWindowExposed(view->window()))
        qWarning("the list did not open");
    QTest::keyClick(view, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->window()->isVisible());
}

// Replaces the combo box's text by typing, as a technician would.
inline void TypeIntoCombo(QComboBox *combo, const QString &text)
{
    driver::ReplaceText(combo->lineEdit(), text);
}

} // namespace dialogtest
