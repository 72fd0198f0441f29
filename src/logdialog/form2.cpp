#include "form2.h"

#include "board_link.h"
#include "drop_down_combo.h"
#include "gateway_commands.h"
#include "main_window_access.h"
#include "message_boxes.h"
#include "port_names.h"
#include "serial_devices.h"
#include "twips.h"
#include "widget_factory.h"
#include "window_style.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <string>

using widgets::Button;
using widgets::Frame;
using widgets::Label;
using widgets::Make;

namespace {

// The library takes and gives file names in the system's 8-bit encoding.
std::string ToLibraryName(const QString &name)
{
    return name.toLocal8Bit().toStdString();
}

} // namespace

Form2::Form2(BoardLink &link, GatewayCommands &commands, MessageBoxes &boxes,
             MainWindowAccess &mainWindow, QWidget *parent)
    : QDialog(parent), link_(link), commands_(commands), boxes_(boxes), mainWindow_(mainWindow)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Logging & Serial Port Selection"));

    setFont(WindowFont(8.25));

    CreateControls();
    Form_Load();
}

void Form2::CreateControls()
{
    const qreal dpi = twips::LogicalDpi(this);
    setFixedSize(twips::ToPixels(6300, dpi), twips::ToPixels(4605, dpi));

    Frame2 = Frame(this, "Frame2", QStringLiteral("Serial Port"), {120, 120, 4455, 1455});
    // One line in the face the layout was drawn for; a wider face wraps it
    // into the room above the combo box instead of cutting it off.
    (void)Label(Frame2, "Label2", QStringLiteral("Select the serial port that your gateway is connected to"),
                   {240, 240, 3975, 480}, true);
    ComPortCombo = Make<DropDownCombo>(Frame2, "ComPortCombo", {1080, 720, 2175, 315});

    Frame3 = Frame(this, "Frame3", QStringLiteral("Logging"), {120, 1680, 4575, 2775});
    WantLogging = Button<QCheckBox>(Frame3, "WantLogging", QStringLiteral("Gateway logging to File. "),
                                    {120, 240, 4095, 615});
    WantLogging->setChecked(true);
    Label3 = Label(Frame3, "Label3", QStringLiteral("File name with extension:"), {120, 840, 2895, 255});
    FileName = Make<QLineEdit>(Frame3, "FileName", {120, 1200, 2895, 375});
    FileName->setText(QStringLiteral("TovrikLog1.txt"));
    (void)Label(Frame3, "Label1", QStringLiteral("The log file will be created in the folder where you ran Tovrik."),
                   {120, 1680, 3735, 495}, true);
    LogConfig = Button<QPushButton>(Frame3, "LogConfig", QStringLiteral("Log running config and build info"),
                                    {720, 2280, 2895, 375});
    cmdOK = Button<QPushButton>(this, "cmdOK", QStringLiteral("&OK"), {4800, 240, 1335, 495});
    cmdCancel = Button<QPushButton>(this, "cmdCancel", QStringLiteral("&Cancel"), {4800, 960, 1335, 495});
    // QDialog makes its push buttons auto-default, which would let Enter
    // press one of them.
    for (auto *button : {LogConfig, cmdOK, cmdCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    // The captions of these two are a frame's and a label's: a screen reader
    // would not read them as the control's name.
    widgets::SetAccessibleName(ComPortCombo, QStringLiteral("Serial Port"));
    widgets::SetAccessibleName(FileName, QStringLiteral("File name with extension"));

    setTabOrder(ComPortCombo, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, WantLogging);
    setTabOrder(WantLogging, FileName);
    setTabOrder(FileName, LogConfig);
    ComPortCombo->setFocus();

    // toggled, not clicked: Form_Load's write runs the handler as a click does.
    connect(WantLogging, &QCheckBox::toggled, this, &Form2::WantLogging_Click);
    connect(LogConfig, &QPushButton::clicked, this, &Form2::LogConfig_Click);
    connect(cmdOK, &QPushButton::clicked, this, &Form2::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &Form2::cmdCancel_Click);
}

void Form2::Form_Load()
{
    // Which device each entry is, as the dialog opens: names change when an
    // adapter is plugged into another socket.
    const auto present = devices::FindSerialDevices();
    for (int port = devices::kFirstPort; port <= devices::kLastPort; ++port) {
        ComPortCombo->addItem(QStringLiteral("Com%1").arg(port));
        ComPortCombo->setItemData(port - devices::kFirstPort,
                                  QString::fromStdString(devices::DescribePort(port, present)), Qt::ToolTipRole);
    }
    ComPortCombo->SetListIndex(link_.GetComPort() - devices::kFirstPort);

    WantLogging->setChecked(link_.IsLogging());
    if (WantLogging->isChecked()) {
        if (const auto name = link_.LogFileName())
            FileName->setText(QString::fromLocal8Bit(name->c_str()));
    } else {
        FileName->setEnabled(false);
        LogConfig->setEnabled(false);
    }
}

void Form2::WantLogging_Click()
{
    FileName->setEnabled(WantLogging->isChecked());
    LogConfig->setEnabled(WantLogging->isChecked());
}

void Form2::LogConfig_Click()
{
    if (!commands_.SendLines({gateway::LogConfigLine()}))
        ReportWriteFailure(boxes_);
}

void Form2::cmdOK_Click()
{
    if (const int index = ComPortCombo->ListIndex(); index != -1) {
        const int port = index + devices::kFirstPort;
        // The card awaited on the same port is still awaited, as the status says.
        if (const auto opening = link_.SelectComPort(static_cast<std::int16_t>(port));
            !opening.open && !opening.awaiting)
            ReportOpenFailure(boxes_, port, opening.why);
    }

    const bool wanted = WantLogging->isChecked();
    if (wanted != link_.IsLogging()) {
        const QString name = FileName->text();
        if (!wanted) {
            mainWindow_.SetStatusCaption(QString());
            link_.StopLogging();
            mainWindow_.SetExpectedLog(QString());
        } else if (!name.isEmpty()) {
            // Only claim logging that is happening: the library leaves it off
            // when the file cannot be opened (a folder, no write permission).
            if (link_.StartLogging(ToLibraryName(name))) {
                mainWindow_.SetStatusCaption(QStringLiteral("Logging To File ") + name);
                mainWindow_.SetExpectedLog(name);
            } else {
                mainWindow_.SetExpectedLog(QString());
                boxes_.Report("Failed to open log file " + ToLibraryName(name));
            }
        }
    }

    // Closing only schedules the deletion, so the main window can still be
    // reached through the reference afterwards.
    close();
    mainWindow_.CheckIfButtonEnabled();
}

void Form2::cmdCancel_Click()
{
    close();
}

void Form2::reject()
{
    cmdCancel->click();
}

void Form2::closeEvent(QCloseEvent *event)
{
    // QDialog would run reject() here, which presses Cancel and closes again;
    // a close by any means applies nothing, so just let it happen.
    event->accept();
}
