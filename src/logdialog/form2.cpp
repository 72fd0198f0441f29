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
    Load();
}

void Form2::CreateControls()
{
    const qreal dpi = twips::LogicalDpi(this);
    setFixedSize(twips::ToPixels(6300, dpi), twips::ToPixels(4605, dpi));

    portFrame_ = Frame(this, "Frame2", QStringLiteral("Serial Port"), {120, 120, 4455, 1455});
    // One line in the face the layout was drawn for; a wider face wraps it
    // into the room above the combo box instead of cutting it off.
    (void)Label(portFrame_, "Label2", QStringLiteral("Select the serial port that your gateway is connected to"),
                   {240, 240, 3975, 480}, true);
    portCombo_ = Make<DropDownCombo>(portFrame_, "ComPortCombo", {1080, 720, 2175, 315});

    logFrame_ = Frame(this, "Frame3", QStringLiteral("Logging"), {120, 1680, 4575, 2775});
    logCheckBox_ = Button<QCheckBox>(logFrame_, "WantLogging", QStringLiteral("Gateway logging to File. "),
                                    {120, 240, 4095, 615});
    logCheckBox_->setChecked(true);
    fileNameLabel_ = Label(logFrame_, "Label3", QStringLiteral("File name with extension:"), {120, 840, 2895, 255});
    fileNameEdit_ = Make<QLineEdit>(logFrame_, "FileName", {120, 1200, 2895, 375});
    fileNameEdit_->setText(QStringLiteral("TovrikLog1.txt"));
    (void)Label(logFrame_, "Label1", QStringLiteral("The log file will be created in the folder where you ran Tovrik."),
                   {120, 1680, 3735, 495}, true);
    logConfigButton_ = Button<QPushButton>(logFrame_, "LogConfig", QStringLiteral("Log running config and build info"),
                                    {720, 2280, 2895, 375});
    okButton_ = Button<QPushButton>(this, "cmdOK", QStringLiteral("&OK"), {4800, 240, 1335, 495});
    cancelButton_ = Button<QPushButton>(this, "cmdCancel", QStringLiteral("&Cancel"), {4800, 960, 1335, 495});
    // QDialog makes its push buttons auto-default, which would let Enter
    // press one of them.
    for (auto *button : {logConfigButton_, okButton_, cancelButton_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    // The captions of these two are a frame's and a label's: a screen reader
    // would not read them as the control's name.
    widgets::SetAccessibleName(portCombo_, QStringLiteral("Serial Port"));
    widgets::SetAccessibleName(fileNameEdit_, QStringLiteral("File name with extension"));

    setTabOrder(portCombo_, okButton_);
    setTabOrder(okButton_, cancelButton_);
    setTabOrder(cancelButton_, logCheckBox_);
    setTabOrder(logCheckBox_, fileNameEdit_);
    setTabOrder(fileNameEdit_, logConfigButton_);
    portCombo_->setFocus();

    // toggled, not clicked: Load's write runs the handler as a click does.
    connect(logCheckBox_, &QCheckBox::toggled, this, &Form2::OnLoggingToggled);
    connect(logConfigButton_, &QPushButton::clicked, this, &Form2::OnLogConfigClicked);
    connect(okButton_, &QPushButton::clicked, this, &Form2::OnOkClicked);
    connect(cancelButton_, &QPushButton::clicked, this, &Form2::OnCancelClicked);
}

void Form2::Load()
{
    // Which device each entry is, as the dialog opens: names change when an
    // adapter is plugged into another socket.
    const auto present = devices::FindSerialDevices();
    for (int port = devices::kFirstPort; port <= devices::kLastPort; ++port) {
        portCombo_->addItem(QStringLiteral("Com%1").arg(port));
        portCombo_->setItemData(port - devices::kFirstPort,
                                  QString::fromStdString(devices::DescribePort(port, present)), Qt::ToolTipRole);
    }
    portCombo_->SetListIndex(link_.GetComPort() - devices::kFirstPort);

    logCheckBox_->setChecked(link_.IsLogging());
    if (logCheckBox_->isChecked()) {
        if (const auto name = link_.LogFileName())
            fileNameEdit_->setText(QString::fromLocal8Bit(name->c_str()));
    } else {
        fileNameEdit_->setEnabled(false);
        logConfigButton_->setEnabled(false);
    }
}

void Form2::OnLoggingToggled()
{
    fileNameEdit_->setEnabled(logCheckBox_->isChecked());
    logConfigButton_->setEnabled(logCheckBox_->isChecked());
}

void Form2::OnLogConfigClicked()
{
    if (!commands_.SendLines({gateway::LogConfigLine()}))
        ReportWriteFailure(boxes_);
}

void Form2::OnOkClicked()
{
    if (const int index = portCombo_->ListIndex(); index != -1) {
        const int port = index + devices::kFirstPort;
        // The card awaited on the same port is still awaited, as the status says.
        if (const auto opening = link_.SelectComPort(static_cast<std::int16_t>(port));
            !opening.open && !opening.awaiting)
            ReportOpenFailure(boxes_, port, opening.why);
    }

    const bool wanted = logCheckBox_->isChecked();
    if (wanted != link_.IsLogging()) {
        const QString name = fileNameEdit_->text();
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

void Form2::OnCancelClicked()
{
    close();
}

void Form2::reject()
{
    cancelButton_->click();
}

void Form2::closeEvent(QCloseEvent *event)
{
    // QDialog would run reject() here, which presses Cancel and closes again;
    // a close by any means applies nothing, so just let it happen.
    event->accept();
}
