// The main window's handlers: loading and unloading, the answers, the
// sections, Configure and its timer, Delete, Clear, Exit, the dialog, and
// the watch over a card that went away. Its controls: form1_layout.cpp.
#include "form1.h"

#include "address_check.h"
#include "board_link.h"
#include "configuration.h"
#include "form2.h"
#include "gateway_commands.h"
#include "graphical_button.h"
#include "message_boxes.h"
#include "octet_binding.h"
#include "readiness.h"
#include "ticker.h"
#include "window_style.h"

#include "tovrik.xpm"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr const char *kLogFileName = "TovrikLog.txt";
constexpr const char *kAwaitingCard = "Card disconnected, waiting for it on Com%1";
constexpr const char *kCardBack = "Card connected again on Com%1";

} // namespace

Form1::Form1(BoardLink &link, GatewayCommands &commands, MessageBoxes &boxes, Ticker &timer, Ticker &lineWatch,
             QWidget *parent)
    : QMainWindow(parent), link_(link), commands_(commands), boxes_(boxes), Timer1(timer), lineWatch_(lineWatch)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Brenlock Configuration"));
    setWindowIcon(QIcon(QPixmap(tovrik_xpm)));
    setFont(WindowFont(8.25));

    BuildControls();
    Timer1.onTick = [this] { Timer1_Timer(); };
    lineWatch_.onTick = [this] { WatchForCard(); };

    Form_Load();

    // A fresh window starts on "Ethernet", as if the first focus had chosen
    // it, so the readiness check has run and the buttons follow the port.
    Option1->setChecked(true);
}

Form1::~Form1()
{
    Timer1.SetEnabled(false);
    Timer1.onTick = nullptr;
    lineWatch_.SetEnabled(false);
    lineWatch_.onTick = nullptr;
    CloseDialog();
}

void Form1::Form_Load()
{
    const bool reading = link_.Start();
    if (const auto opening = link_.SelectComPort(1); !opening.open)
        ReportOpenFailure(boxes_, 1, opening.why);
    EnableRemoteChoice(false);
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

void Form1::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    Timer1.SetEnabled(false);
    lineWatch_.SetEnabled(false);
    CloseDialog();
    link_.ClosePort();
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_Unload();
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

// The one place where the window's controls become the answers.
Answers Form1::ReadAnswers() const
{
    Answers a;
    a.protocol = Option1->isChecked() ? Protocol::Ethernet
        : Option2->isChecked()        ? Protocol::IPOnTheFly
        : Option3->isChecked()        ? Protocol::StandardIP
                                      : Protocol::None;
    a.dhcpServer = DHCPYes->isChecked();
    a.moreThanOneNbx = NBXYes->isChecked();
    a.remoteNbx = RemoteYes->isChecked();
    const auto texts = [](const auto &row, auto &out) {
        for (std::size_t i = 0; i < row.size(); ++i)
            out[i] = row[i]->text().toStdString();
    };
    texts(IP, a.ip);
    texts(Sub, a.subnet);
    texts(gw, a.gateway);
    texts(NBXIP, a.nbxIp);
    a.nbxIpOpen = NBXIP[0]->isEnabled();
    texts(Mac, a.mac);
    a.country = CountryCode->currentText().toStdString();
    const auto state = [](const QCheckBox *box) {
        switch (box->checkState()) {
        case Qt::Checked: return CheckState::Checked;
        case Qt::PartiallyChecked: return CheckState::Greyed;
        default: return CheckState::Unchecked;
        }
    };
    a.rememberAudio = state(Check1);
    a.boostAudio = state(Check2);
    return a;
}

void Form1::CheckIfButtonEnabled()
{
    const bool entriesFilled = RequiredEntriesFilled(ReadAnswers());
    Command1->setEnabled(link_.IsPortOpen() && entriesFilled);
    Command3->setEnabled(link_.IsPortOpen());
}

// Every write of the status line comes here.
void Form1::SetStatusCaption(const QString &caption)
{
    Status->setText(caption);
    // The status line never holds the focus, and a label has no live region:
    // its name stays "Status" and what it says goes out as its description,
    // whose setter sends QAccessible::DescriptionChanged on every call.
    Status->setAccessibleDescription(caption);
}

void Form1::SetExpectedLog(const QString &fileName) { expectedLog_ = fileName; }

void Form1::ShowIfLoggingStopped()
{
    // The library stops by itself when the file cannot be written (a full
    // disk, the file made read-only).
    if (!expectedLog_.isEmpty() && !link_.IsLogging())
        SetStatusCaption(QStringLiteral("Logging stopped: %1 could not be written").arg(expectedLog_));
}

void Form1::EnableIPSettings(bool enabled)
{
    DHCP2->setEnabled(enabled);
    for (auto *row : {&IP, &Sub, &gw})
        for (auto *box : *row)
            box->setEnabled(enabled);
    IPAddress->setEnabled(enabled);
    Subnet->setEnabled(enabled);
    Gateway->setEnabled(enabled);
}

void Form1::EnableDHCPChoice(bool enabled)
{
    DHCP->setEnabled(enabled);
    DHCP1->setEnabled(enabled);
    DHCPYes->setEnabled(enabled);
    DHCPNo->setEnabled(enabled);
}

void Form1::EnableNBXIPAddress(bool enabled)
{
    NBX1->setEnabled(enabled);
    for (auto *box : NBXIP)
        box->setEnabled(enabled);
}

void Form1::EnableNBXMacAddress(bool enabled)
{
    for (auto *box : Mac)
        box->setEnabled(enabled);
    MacAddr->setEnabled(enabled);
}

void Form1::EnableRemoteChoice(bool enabled)
{
    NBXRemoteLabel->setEnabled(enabled);
    RemoteYes->setEnabled(enabled);
    RemoteNo->setEnabled(enabled);
}

void Form1::Command1_Click()
{
    progressTicks_ = 0;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // No tick may run inside this handler, not even one of an earlier send
    // that is still going out while the question below waits.
    const bool timerWasRunning = Timer1.Enabled();
    Timer1.SetEnabled(false);
    const auto giveUp = [&] {
        Timer1.SetEnabled(timerWasRunning);
        QGuiApplication::restoreOverrideCursor();
    };
    const Answers answers = ReadAnswers();

    // A malformed address would reach the card as it stands; say which one.
    if (const auto problem = MalformedAddressMessage(answers)) {
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
    if (!link_.IsPortOpen()) {
        SetStatusCaption(QStringLiteral("Sending failed"));
        giveUp();
        return;
    }

    // Nothing of an earlier send may stand beside this one's error box.
    SetStatusCaption(QString());
    sendFailed_ = !commands_.SendLines(ConfigurationLines(answers));
    if (sendFailed_)
        ReportWriteFailure(boxes_);
    // Started only now, so that no tick runs inside this handler (an error
    // box above runs an event loop of its own).
    Timer1.SetEnabled(true);
    QGuiApplication::restoreOverrideCursor();
}

void Form1::Timer1_Timer()
{
    if (link_.IsSending()) {
        Command1->setEnabled(false);
        Command2->setEnabled(false);
        Advanced->setEnabled(false);
        Clear->setEnabled(false);
        SetStatusCaption(QString::fromStdString(NextProgressCaption(progressTicks_)));
        return;
    }
    // This tick runs inside a box's event loop: the end of the send and its
    // question wait for the first tick after the box has closed.
    if (boxes_.IsShowing())
        return;

    Command1->setEnabled(true);
    Command2->setEnabled(true);
    Advanced->setEnabled(true);
    Clear->setEnabled(true);
    // Boxes may have been emptied during the send.
    CheckIfButtonEnabled();
    // Stopped before asking, so the question comes once per send.
    Timer1.SetEnabled(false);

    if (sendFailed_) {
        SetStatusCaption(QStringLiteral("Sending failed"));
        return;
    }
    // Gone from the queue is not gone out: a line that failed dropped them.
    if (link_.LostData()) {
        SetStatusCaption(QStringLiteral("Sending failed"));
        boxes_.Report("The line to the card was lost during the send.");
        return;
    }
    SetStatusCaption(QStringLiteral("Data Sent"));
    ShowIfLoggingStopped();
    if (boxes_.Ask("All configuration data has been sent to the gateway card. Do you now want to exit ?")) {
        CloseDialog();
        close();
    }
}

void Form1::Command3_Click()
{
    if (!link_.IsPortOpen())
        return;
    if (!boxes_.Ask("Delete the config on the gateway and restart the board now?"))
        return;
    // The question ran an event loop of its own: the window may have closed,
    // or the line gone, meanwhile.
    if (unloaded_ || !link_.IsPortOpen())
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

void Form1::Command2_Click()
{
    if (!boxes_.Ask("Are you sure that you want to exit?"))
        return;
    CloseDialog();
    close();
}

void Form1::Clear_Click()
{
    Option1->setChecked(true);
    Option2->setChecked(false);
    Option3->setChecked(false);
    DHCPYes->setChecked(false);
    DHCPNo->setChecked(true);
    NBXYes->setChecked(false);
    NBXNo->setChecked(true);
    for (auto *row : {&IP, &Sub, &gw, &NBXIP})
        for (auto *box : *row)
            box->setText(QString());
    for (auto *box : Mac)
        box->setText(QString());
    CountryCode->setCurrentIndex(-1);
    CountryCode->setEditText(QString::fromLatin1(kNoCountry));
    EnableNBXAddress(false);
    EnableDHCPChoice(false);
    EnableIPSettings(false);
    Check1->setChecked(true);
    Check2->setChecked(false);
    CheckIfButtonEnabled();
}

void Form1::WatchForCard()
{
    // No port changes under a handler that waits in a box.
    if (unloaded_ || boxes_.IsShowing())
        return;
    const auto caption = [](const char *text, int port) { return QString::fromLatin1(text).arg(port); };
    if (awaitedPort_ == 0) {
        if (link_.IsPortOpen() || !link_.IsAwaitingCard())
            return;
        // A send in progress ends with the line; it is never resumed by itself.
        awaitedPort_ = link_.GetComPort();
        SetStatusCaption(caption(kAwaitingCard, awaitedPort_));
        CheckIfButtonEnabled();
        return;
    }
    if (link_.IsAwaitingCard() && !link_.TryReopen())
        return;
    // Back, or the technician chose a port in the dialog meanwhile.
    if (Status->text() == caption(kAwaitingCard, awaitedPort_)) {
        const bool back = link_.GetComPort() == awaitedPort_ && link_.IsPortOpen();
        SetStatusCaption(back ? caption(kCardBack, awaitedPort_) : QString());
    }
    awaitedPort_ = 0;
    CheckIfButtonEnabled();
}

void Form1::Advanced_Click()
{
    ShowIfLoggingStopped();
    // A dialog that was closed is only waiting to be deleted.
    if (!dialog_ || dialog_->isHidden())
        dialog_ = new Form2(link_, commands_, boxes_, *this, this);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void Form1::Version_Click()
{
    boxes_.Report("Tovrik, the Brenlock card configuration tool of the Tovrik project. Version " TOVRIK_VERSION);
}
