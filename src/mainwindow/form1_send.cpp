// The main window's sends: Configure and the timer that follows its bytes
// out, and Delete.
#include "form1.h"

#include "board_link.h"
#include "configuration.h"
#include "gateway_commands.h"
#include "graphical_button.h"
#include "message_boxes.h"
#include "ticker.h"

#include <QGuiApplication>


namespace {

constexpr const char *kSendingFailed = "Sending failed";

} // namespace

void Form1::OnConfigureClicked()
{
    progressTicks_ = 0;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // No tick may run inside this handler, not even one of an earlier send
    // that is still going out while the question below waits.
    const bool timerWasRunning = sendTimer_.Enabled();
    sendTimer_.SetEnabled(false);
    const auto giveUp = [&] {
        sendTimer_.SetEnabled(timerWasRunning);
        QGuiApplication::restoreOverrideCursor();
    };
    // What is sent is what the form held when Configure was pressed.
    const std::vector<std::string> lines = form_.Lines();

    // A malformed address would reach the card as it stands; say which one.
    if (const auto problem = form_.MalformedAddress()) {
        boxes_.Report(*problem);
        giveUp();
        return;
    }
    if (!boxes_.Ask("Do you want to send your IP configuration data to the gateway card and restart it?")) {
        giveUp();
        return;
    }
    // The question ran an event loop of its own: the window may have closed meanwhile.
    if (unloaded_) {
        QGuiApplication::restoreOverrideCursor();
        return;
    }
    link_.NoticeLostLine();
    if (!link_.IsPortOpen()) {
        SetStatusCaption(QString::fromLatin1(kSendingFailed));
        giveUp();
        return;
    }

    // Nothing of an earlier send may stand beside this one's error box.
    SetStatusCaption(QString());
    if (!run_.Begin(lines))
        ReportWriteFailure(boxes_);
    // Started only now, so that no tick runs inside this handler (an error
    // box above runs an event loop of its own).
    sendTimer_.SetEnabled(true);
    QGuiApplication::restoreOverrideCursor();
}

void Form1::OnSendTimerTick()
{
    if (run_.Sending()) {
        EnableSendButtons(false);
        SetStatusCaption(QString::fromStdString(NextProgressCaption(progressTicks_)));
        return;
    }
    // This tick runs inside a box's event loop: the end of the send and its
    // question wait for the first tick after the box has closed.
    if (boxes_.IsShowing())
        return;

    EnableSendButtons(true);
    // Boxes may have been emptied during the send.
    CheckIfButtonEnabled();
    // Stopped before asking, so the question comes once per send.
    sendTimer_.SetEnabled(false);

    switch (run_.End()) {
    case SendEnd::WriteFailed:
        SetStatusCaption(QString::fromLatin1(kSendingFailed));
        return;
    case SendEnd::LineLost:
        SetStatusCaption(QString::fromLatin1(kSendingFailed));
        boxes_.Report("The line to the card was lost during the send.");
        return;
    case SendEnd::Sent:
        break;
    }
    SetStatusCaption(QStringLiteral("Data Sent"));
    ShowIfLoggingStopped();
    if (boxes_.Ask("All configuration data has been sent to the gateway card. Do you now want to exit ?")) {
        CloseDialog();
        close();
    }
}

// The buttons that a send in progress holds still.
void Form1::EnableSendButtons(bool enabled)
{
    for (QWidget *button : std::initializer_list<QWidget *> {configureButton_, exitButton_, dialogButton_, clearButton_})
        button->setEnabled(enabled);
}

void Form1::OnDeleteClicked()
{
    link_.NoticeLostLine();
    if (!link_.IsPortOpen())
        return;
    if (!boxes_.Ask("Delete the config on the gateway and restart the board now?"))
        return;
    // The question ran an event loop of its own: the window may have closed,
    // or the line gone, meanwhile.
    if (unloaded_)
        return;
    link_.NoticeLostLine();
    if (!link_.IsPortOpen())
        return;
    DeleteGatewayConfig();
}

void Form1::DeleteGatewayConfig()
{
    // After a failed write the card will not restart; do not say it will.
    if (commands_.SendLines({gateway::ClearConfigLine()}))
        boxes_.Report("Board should now be restarting");
    else
        ReportWriteFailure(boxes_);
}
