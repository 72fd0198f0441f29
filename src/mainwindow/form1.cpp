// The main window's life: loading and unloading, readiness, the status
// line, Exit, the dialog, and the watch over a card that went away. Its
// controls: form1_layout.cpp; showing the form model: form1_render.cpp;
// Configure and Delete: form1_send.cpp.
#include "form1.h"

#include "board_link.h"
#include "graphical_button.h"
#include "message_boxes.h"
#include "ticker.h"
#include "tovrik_version.h"
#include "window_style.h"

#include "tovrik.xpm"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QRadioButton>

namespace {

constexpr const char *kLogFileName = "TovrikLog.txt";
constexpr const char *kAwaitingCard = "Card disconnected, waiting for it on Com%1";
constexpr const char *kCardBack = "Card connected again on Com%1";
constexpr const char *kFilledIn = "Filled in from %1";
constexpr const char *kFilledInForCard = "Filled in from %1, card %2";

} // namespace

Form1::Form1(BoardLink &link, GatewayCommands &commands, MessageBoxes &boxes, Ticker &sendTimer, Ticker &lineWatch,
             QWidget *parent)
    : QMainWindow(parent), link_(link), commands_(commands), boxes_(boxes), sendTimer_(sendTimer),
      lineWatch_(lineWatch), run_(link, commands), watch_(link)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Brenlock Configuration"));
    setWindowIcon(QIcon(QPixmap(tovrik_xpm)));
    setFont(WindowFont(8.25));

    // A line edit lays out its empty text in the application's font while it
    // is made: made under the window's font, the boxes load no other font.
    const QFont applicationFont = QApplication::font();
    QApplication::setFont(font());
    BuildControls();
    QApplication::setFont(applicationFont);
    sendTimer_.onTick = [this] { OnSendTimerTick(); };
    lineWatch_.onTick = [this] { WatchForCard(); };

    Load();

    // A fresh form starts on "Ethernet", as if the first focus had chosen
    // it; shown, the readiness check has run and the buttons follow the port.
    Render();
}

Form1::~Form1()
{
    // QWidget's destructor hides the window and moves the focus away, after
    // this object's members are gone.
    disconnect(focusWatch_);
    sendTimer_.SetEnabled(false);
    sendTimer_.onTick = nullptr;
    lineWatch_.SetEnabled(false);
    lineWatch_.onTick = nullptr;
    CloseDialog();
}

void Form1::Load()
{
    const bool reading = link_.Start();
    if (const auto opening = link_.SelectComPort(1); !opening.open)
        ReportOpenFailure(boxes_, 1, opening.why);
    const bool logging = link_.StartLogging(kLogFileName);
    // Without its reader the library never sees what the card answers: a
    // log that is open would stay empty.
    if (!reading)
        SetStatusCaption(QStringLiteral("Not logging: the serial library could not start reading the card"));
    else if (logging)
        expectedLog_ = QString::fromLatin1(kLogFileName);
    else
        SetStatusCaption(QStringLiteral("Not logging: %1 could not be opened").arg(QLatin1String(kLogFileName)));
    lineWatch_.SetEnabled(true);
}

void Form1::Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    sendTimer_.SetEnabled(false);
    lineWatch_.SetEnabled(false);
    CloseDialog();
    link_.ClosePort();
}

void Form1::closeEvent(QCloseEvent *event)
{
    Unload();
    event->accept();
}

void Form1::CloseDialog()
{
    // The dialog never outlives the window it acts on, and applies nothing.
    // Closed, not deleted: one of its handlers may be running below us, in
    // a message box's event loop; it deletes itself once that has returned.
    if (dialog_)
        dialog_->close();
}

void Form1::CheckIfButtonEnabled()
{
    const bool entriesFilled = form_.Ready();
    link_.NoticeLostLine();
    configureButton_->setEnabled(link_.IsPortOpen() && entriesFilled);
    deleteButton_->setEnabled(link_.IsPortOpen());
}

// Every write of the status line comes here.
void Form1::SetStatusCaption(const QString &caption)
{
    statusLabel_->setText(caption);
    // The status line never holds the focus, and a label has no live region:
    // its name stays "Status" and what it says goes out as its description,
    // whose setter sends QAccessible::DescriptionChanged on every call.
    statusLabel_->setAccessibleDescription(caption);
}

void Form1::SetExpectedLog(const QString &fileName) { expectedLog_ = fileName; }

void Form1::ShowIfLoggingStopped()
{
    // The library stops by itself when the file cannot be written (a full
    // disk, the file made read-only).
    if (expectedLog_.isEmpty() || link_.IsLogging())
        return;
    if (const auto why = link_.LogError())
        SetStatusCaption(QStringLiteral("Not logging: %1: %2").arg(expectedLog_, QString::fromStdString(*why)));
    else
        SetStatusCaption(QStringLiteral("Logging stopped: %1 could not be written").arg(expectedLog_));
    // Said once: the line watch asks every second, and would write over
    // whatever the status says next.
    expectedLog_.clear();
}

void Form1::ShowFilledIn(const QString &file, const QString &card)
{
    // Whatever is there already weighs more: at start, a log that would not open.
    if (!statusLabel_->text().isEmpty())
        return;
    SetStatusCaption(card.isEmpty() ? QString::fromLatin1(kFilledIn).arg(file)
                                    : QString::fromLatin1(kFilledInForCard).arg(file, card));
}

void Form1::OnExitClicked()
{
    if (!boxes_.Ask("Are you sure that you want to exit?"))
        return;
    CloseDialog();
    close();
}

void Form1::WatchForCard()
{
    ShowIfLoggingStopped();
    // No port changes under a handler that waits in a box.
    if (unloaded_ || boxes_.IsShowing())
        return;
    // A profile's notes that a box held back; the card is looked at again
    // at the next tick, since the window may have changed under this box.
    if (ShowHeldNotes())
        return;
    const auto report = watch_.Tick();
    const auto caption = [&](const char *text) { return QString::fromLatin1(text).arg(report.port); };
    switch (report.event) {
    case CardEvent::None:
        return;
    case CardEvent::Lost:
        SetStatusCaption(caption(kAwaitingCard));
        break;
    case CardEvent::Back:
    case CardEvent::Abandoned:
        // Only a status that still speaks of the wait; never "again" for another port.
        if (statusLabel_->text() == caption(kAwaitingCard))
            SetStatusCaption(report.event == CardEvent::Back ? caption(kCardBack) : QString());
        break;
    }
    CheckIfButtonEnabled();
}

void Form1::OnDialogClicked()
{
    ShowIfLoggingStopped();
    // A dialog that was closed is only waiting to be deleted.
    if (!dialog_ || dialog_->isHidden())
        dialog_ = new Form2(link_, commands_, boxes_, *this, this);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void Form1::OnVersionTriggered()
{
    boxes_.Report("Tovrik, the Brenlock card configuration tool of the Tovrik project. Version " TOVRIK_VERSION);
}
