// The main window: the technician's answers, the address rows, and the
// Configure, Delete, Clear, dialog and Exit buttons.
#pragma once

#include "answers.h"
#include "card_watch.h"
#include "form2.h"
#include "send_run.h"
#include "section_rules.h"
#include "main_window_access.h"
#include "octet_field.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>
#include <string>
#include <vector>

class BoardLink;
class GraphicalButton;
class OctetBinding;
class GatewayCommands;
class MessageBoxes;
class Ticker;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class Form1 final : public QMainWindow, public WindowSections, public MainWindowAccess {
    Q_OBJECT
public:
    // Runs Form_Load before returning; the caller shows the window.
    // `lineWatch` ticks about once a second: it notices a card that went
    // away and opens its port again when the card is back.
    Form1(BoardLink &link, GatewayCommands &commands, MessageBoxes &boxes, Ticker &timer, Ticker &lineWatch,
          QWidget *parent = nullptr);
    ~Form1() override;

    void CheckIfButtonEnabled() override;
    void SetStatusCaption(const QString &caption) override;
    void SetExpectedLog(const QString &fileName) override;

    // The answers and box texts as the controls hold them now.
    [[nodiscard]] Answers ReadAnswers() const;
    [[nodiscard]] int ProgressTicks() const { return progressTicks_; }
    [[nodiscard]] Form2 *Dialog() const { return dialog_; }

    // The handlers, public so that tests and the toolkit's signals reach them.
    void Command1_Click();
    void Timer1_Timer();
    void WatchForCard();
    void Command3_Click();
    void Command2_Click();
    void Clear_Click();
    void Advanced_Click();
    void Version_Click();

    // Fills the shown window (a hidden box takes no focus, so typing would
    // not move along a row) from the site profile at `path`, its [card NAME]
    // laid over [defaults] (`card` empty: [defaults] alone), through the
    // handlers that a technician's clicks and typing run; sends nothing. A
    // refused profile is reported in one box, a refusal a line, and leaves
    // the window as it was. Returns "not used: subnet (Ethernet)" for each
    // value that met a closed row or question.
    std::vector<std::string> FillFromProfile(const std::string &path, const std::string &card);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    class ProfileEntry; // the profile's steps as clicks and keys: form1_profile.cpp

    void BuildControls();
    void BuildProtocolRow();
    void BuildIPSettings();
    void BuildNBXFrames();
    void BuildCountryAudioAndStatus();
    void BuildButtons();
    // The enabled and selected states the controls are created with.
    void SetCreatedStates();
    // Labels and frames never take the focus.
    void SetFocusOrder();
    // One exclusive group per container, and each button's section rule.
    void WireOptionButtons();
    void BuildOctetRows();
    void NameControls();
    void Form_Load();
    void Form_Unload();
    void CloseDialog();
    void DeleteGatewayConfig();
    void EnableSendButtons(bool enabled);
    // Says on the status line when logging has stopped by itself.
    void ShowIfLoggingStopped();

    // The section procedures.
    void EnableIPSettings(bool enabled) override;
    void EnableDHCPChoice(bool enabled) override;
    void EnableNBXIPAddress(bool enabled) override;
    void EnableNBXMacAddress(bool enabled) override;
    void EnableRemoteChoice(bool enabled) override;

    BoardLink &link_;
    GatewayCommands &commands_;
    MessageBoxes &boxes_;
    Ticker &Timer1;
    Ticker &lineWatch_;
    SendRun run_;
    CardWatch watch_;
    int progressTicks_ = 0;
    bool unloaded_ = false;
    QString expectedLog_; // the log the library should be writing; empty when switched off
    QPointer<Form2> dialog_;

    QWidget *client_ = nullptr;
    QRadioButton *Option1 = nullptr, *Option2 = nullptr, *Option3 = nullptr;
    QGroupBox *DHCP = nullptr, *NBX = nullptr, *Frame1 = nullptr, *RemoteNbx = nullptr, *Frame3 = nullptr;
    QGroupBox *Frame2 = nullptr, *Frame4 = nullptr, *Frame5 = nullptr, *Frame7 = nullptr;
    QLabel *DHCP1 = nullptr, *DHCP2 = nullptr, *IPAddress = nullptr, *Subnet = nullptr, *Gateway = nullptr;
    QRadioButton *DHCPYes = nullptr, *DHCPNo = nullptr;
    QLabel *NBXRemoteLabel = nullptr, *NBX1 = nullptr, *MacAddr = nullptr;
    QRadioButton *NBXYes = nullptr, *NBXNo = nullptr, *RemoteYes = nullptr, *RemoteNo = nullptr;
    std::array<QLineEdit *, 4> IP {}, Sub {}, gw {}, NBXIP {};
    std::array<QLineEdit *, 6> Mac {};
    QComboBox *CountryCode = nullptr;
    QCheckBox *Check1 = nullptr, *Check2 = nullptr;
    QLabel *Status = nullptr;
    GraphicalButton *Command1 = nullptr, *Command3 = nullptr;
    QPushButton *Clear = nullptr, *Advanced = nullptr, *Command2 = nullptr;
    QAction *Version = nullptr;

    std::vector<std::unique_ptr<OctetBinding>> octets_;
};
